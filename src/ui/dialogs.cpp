#include "ui/dialogs.h"

// The library carries no dialog templates yet, so no dialog can be created; the
// result is the one the dialog manager gives for a missing template.
int ShowMessageDialog(void* /*owner*/, const char* /*text*/, const char* /*caption*/,
                      int /*iconIndex*/, int /*templateId*/) {
    return -1;
}

int ShowBrowserExitDialog(void* /*owner*/, const char* /*names*/, int /*mode*/) {
    return -1;
}
