#pragma once

// The library's modal dialogs, owned by the host's window.

// Template of the message dialog: a text and an OK button.
const int kMessageDialogTemplate = 105;

// Shows a message dialog and returns the result it ended with, or -1 when it could
// not be created.
int ShowMessageDialog(void* owner, const char* text, const char* caption, int iconIndex,
                      int templateId);

// Asks whether running browsers may be ended for a change of their proxy settings
// (`mode` 0: giving them back, otherwise: pointing them at the proxy). `names` lists
// the browsers. Returns kBrowserExitButton, kBrowserRestartButton, kBrowserCancelButton,
// 0, or -1 when the dialog could not be created.
const int kBrowserExitButton = 2000;
const int kBrowserRestartButton = 3000;
const int kBrowserCancelButton = 1007;
int ShowBrowserExitDialog(void* owner, const char* names, int mode);
