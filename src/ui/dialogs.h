#pragma once

// The library's three modal dialogs, in Korean, drawn with the skin (title bar, close
// box, icon, wrapped message, bitmap buttons) and owned by the host's window. Each
// shows on the thread that calls it; dialogs on different threads keep their own
// state, so an agent's message may be open while the host's thread asks a question.
// Where there are no windows, no dialog can be created and every call reports -1.

// Template ids.
const int kMessageDialogTemplate = 105;
const int kBrowserExitDialogTemplate = 106;
const int kJ2KNoticeDialogTemplate = 109;

// Results (the buttons' ids).
const int kOkButton = 1004;
const int kGuideButton = 1012;
const int kBrowserExitButton = 2000;
const int kBrowserRestartButton = 3000;
const int kBrowserCancelButton = 1007;

// The font, the skin with its first bitmap and the cursor: made when the library
// loads, freed when it unloads.
void LoadDialogResources();
void FreeDialogResources();

// While the proxy turns off: ends every open dialog (as its system close would: result
// 0) and every one that opens until AllowDialogs, so that no agent's message that
// nobody closes keeps the agent, and the turn-off, waiting.
void CloseDialogs();
void AllowDialogs();

// A message with an OK button: the result the dialog ended with, or -1.
int ShowMessageDialog(void* owner, const char* text, const char* caption, int iconIndex,
                      int templateId);
// The translation notice: kOkButton (its check box stops the notice for later),
// kGuideButton (the host is told through message 1182), 0 (closed), or -1.
int ShowJ2KNoticeDialog(void* owner);
// Whether running browsers may be ended for a change of their proxy settings (`mode`
// 0: giving them back, otherwise: pointing them at the proxy); `names` lists them.
// kBrowserExitButton, kBrowserRestartButton, kBrowserCancelButton, 0, or -1. Its check
// box switches the question off.
int ShowBrowserExitDialog(void* owner, const char* names, int mode);
