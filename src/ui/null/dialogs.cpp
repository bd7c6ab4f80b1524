#include "ui/dialogs.h"

// Without a window system no dialog can be created: every show reports what the
// dialog manager gives for a dialog that could not be made.

void LoadDialogResources() {}

void FreeDialogResources() {}

void CloseDialogs() {}

void AllowDialogs() {}

int ShowMessageDialog(void* /*owner*/, const char* /*text*/, const char* /*caption*/,
                      int /*iconIndex*/, int /*templateId*/) {
    return -1;
}

int ShowJ2KNoticeDialog(void* /*owner*/) {
    return -1;
}

int ShowBrowserExitDialog(void* /*owner*/, const char* /*names*/, int /*mode*/) {
    return -1;
}
