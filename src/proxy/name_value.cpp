#include "proxy/name_value.h"

void AppendNode(NameValue*& head, NameValue* node) {
    if (!head) {
        head = node;
    } else {
        head->Last()->InsertAfter(node);
    }
}
