#pragma once

#include "base/list_node.h"
#include "base/text_buffer.h"

// A name and a value in a chain: a header field, a host-name cache entry, a
// cookie item.
class NameValue : public ListNode {
public:
    NameValue() = default;
    NameValue(const char* name, const char* value) : name_(name), value_(value) {}

    NameValue* Next() const { return static_cast<NameValue*>(ListNode::Next()); }

    // Null when the field is empty.
    const char* GetName() const { return name_.CStr(); }
    const char* GetValue() const { return value_.CStr(); }
    // A null argument empties the field.
    int SetName(const char* name) { return name_.Assign(name); }
    int SetValue(const char* value) { return value_.Assign(value); }
    // Whether the name equals `name`, ignoring ASCII letter case.
    bool NameIs(const char* name) const { return name_.CompareNoCase(name) == 0; }

private:
    TextBuffer name_;
    TextBuffer value_;
};

// Appends `node` at the end of the chain that `head` points to (which may be null).
void AppendNode(NameValue*& head, NameValue* node);
