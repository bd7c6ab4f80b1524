#pragma once

// The library's modal dialogs, owned by the host's window.

// Template of the message dialog: a text and an OK button.
const int kMessageDialogTemplate = 105;

// Shows a message dialog and returns the result it ended with, or -1 when it could
// not be created.
int ShowMessageDialog(void* owner, const char* text, const char* caption, int iconIndex,
                      int templateId);
