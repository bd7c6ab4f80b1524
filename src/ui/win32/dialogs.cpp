#include "ui/dialogs.h"

#include <string>

#include "control/module_state.h"
#include "settings/settings_store.h"
#include "ui/win32/dialog_state.h"
#include "ui/win32/skin_dialog.h"

namespace {

// "일한 번역 확인"
const char kNoticeCaption[] = "\xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA \xC8\xAE\xC0\xCE";
const char kNoticeText[] =
    "'\xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA' \xB1\xE2\xB4\xC9\xC0\xBA \xC0\xCF\xBA\xBB\xBE\xEE\xB7\xCE "
    "\xB5\xC8 \xC8\xA8\xC6\xE4\xC0\xCC\xC1\xF6\xB8\xA6 \xC0\xDA\xB5\xBF\xC0\xB8\xB7\xCE "
    "\xC7\xD1\xB1\xDB\xB7\xCE \xB9\xF8\xBF\xAA\xC7\xD8\xBC\xAD \xBA\xB8\xBF\xA9\xC1\xD6\xB4\xC2 "
    "\xB1\xE2\xB4\xC9\xC0\xD4\xB4\xCF\xB4\xD9.\n\n\xC0\xCC \xB1\xE2\xB4\xC9\xC0\xBB "
    "\xBB\xE7\xBF\xEB\xC7\xCF\xB4\xC2 \xBB\xF3\xC5\xC2\xBF\xA1\xBC\xAD\xB4\xC2 "
    "\xC0\xCF\xBA\xBB\xBE\xEE\xB0\xA1 \xBE\xC6\xB4\xD1 \xC8\xA8\xC6\xE4\xC0\xCC\xC1\xF6\xBF\xA1 "
    "\xB4\xEB\xC7\xD1 \xC1\xA2\xBC\xD3\xC0\xCC \xB4\xC0\xB7\xC1\xC1\xFA \xBC\xF6 "
    "\xC0\xD6\xBD\xC0\xB4\xCF\xB4\xD9.";
// "웹브라우저 종료 확인"
const char kBrowserExitCaption[] =
    "\xC0\xA5\xBA\xEA\xB6\xF3\xBF\xEC\xC0\xFA \xC1\xBE\xB7\xE1 \xC8\xAE\xC0\xCE";
const char kRestoreText[] =
    "Corvale Pellora\xBF\xA1 \xC0\xC7\xC7\xD8 \xBA\xAF\xB0\xE6\xB5\xC8 "
    "\xC0\xA5\xBA\xEA\xB6\xF3\xBF\xEC\xC0\xFA\xC0\xC7 \xBC\xB3\xC1\xA4\xC0\xBB "
    "\xBA\xB9\xB1\xB8\xC7\xCF\xB1\xE2 \xC0\xA7\xC7\xD8 \xC7\xF6\xC0\xE7 "
    "\xBD\xC7\xC7\xE0\xC1\xDF\xC0\xCE [%s]\xB8\xA6 \xC1\xBE\xB7\xE1\xC7\xD5\xB4\xCF\xB4\xD9.";
const char kApplyText[] =
    "Corvale Pellora\xC0\xC7 \xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA \xB1\xE2\xB4\xC9\xC0\xBB "
    "\xC0\xCC\xBF\xEB\xC7\xCF\xB7\xC1\xB8\xE9 \xC7\xF6\xC0\xE7 \xBD\xC7\xC7\xE0\xC1\xDF\xC0\xCE "
    "[%s]\xB8\xA6 \xC1\xBE\xB7\xE1\xC7\xCF\xB0\xC5\xB3\xAA \xC0\xE7\xBD\xC7\xC7\xE0 "
    "\xC7\xD8\xBE\xDF\xC7\xD5\xB4\xCF\xB4\xD9.";

const int kNoticeCheckBox = 1009;
const int kBrowserExitCheckBox = 1014;
// The host's message for the guide button.
const UINT kGuideMessage = 1182;

bool IsClick(UINT message, WPARAM wParam, int id) {
    return message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == id;
}

// OK stops the notice for later when its box is checked; the guide button tells the
// host.
INT_PTR CALLBACK J2KNoticeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = SkinDialogProc(window, message, wParam, lParam);
    if (IsClick(message, wParam, kOkButton)) {
        if (IsDlgButtonChecked(window, kNoticeCheckBox) == BST_CHECKED && moduleState.settings) {
            moduleState.settings->ClearJ2KAlert();
        }
        EndDialog(window, kOkButton);
    } else if (IsClick(message, wParam, kGuideButton)) {
        auto host = static_cast<HWND>(moduleState.hostWindow.load());
        if (host && IsWindow(host)) {
            PostMessageA(host, kGuideMessage, 0, 0);
        }
        EndDialog(window, kGuideButton);
    }
    return result;
}

// The question is switched off as soon as its box is checked, whatever ends it.
INT_PTR CALLBACK BrowserExitProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = SkinDialogProc(window, message, wParam, lParam);
    if (IsDlgButtonChecked(window, kBrowserExitCheckBox) == BST_CHECKED && moduleState.settings) {
        moduleState.settings->ClearWBAlert();
    }
    return result;
}

// The question for `mode` with the browser names in place of its "%s".
std::string BrowserExitMessage(int mode, const char* names) {
    std::string text = mode ? kApplyText : kRestoreText;
    text.replace(text.find("%s"), 2, names ? names : "");
    return text;
}

// A modal dialog disables its owner and enables it again with messages sent to the
// owner's thread. An owner on another thread (an agent's message owned by the host's
// window) would then hold the dialog's end until that thread takes messages, which it
// does not while it waits for the agents to end (turn-off, unload): such a dialog
// stands on its own instead.
HWND OwnerOnThisThread(void* owner) {
    auto window = static_cast<HWND>(owner);
    return window && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId() ? window
                                                                                       : nullptr;
}

int RunDialog(void* owner, int templateId, DLGPROC procedure) {
    INT_PTR result =
        DialogBoxParamW(static_cast<HINSTANCE>(moduleState.moduleInstance),
                        MAKEINTRESOURCEW(templateId), OwnerOnThisThread(owner), procedure, 0);
    DeleteObject(dialogState.backgroundBrush);
    dialogState.backgroundBrush = nullptr;
    return static_cast<int>(result);
}

} // namespace

int ShowMessageDialog(void* owner, const char* text, const char* caption, int iconIndex,
                      int templateId) {
    ResetDialogState();
    dialogState.messageText = text;
    dialogState.captionText = caption;
    dialogState.iconIndex = iconIndex;
    return RunDialog(owner, templateId, SkinDialogProc);
}

int ShowJ2KNoticeDialog(void* owner) {
    ResetDialogState();
    dialogState.messageText = kNoticeText;
    dialogState.captionText = kNoticeCaption;
    return RunDialog(owner, kJ2KNoticeDialogTemplate, J2KNoticeProc);
}

int ShowBrowserExitDialog(void* owner, const char* names, int mode) {
    ResetDialogState();
    std::string message = BrowserExitMessage(mode, names);
    dialogState.messageText = message.c_str();
    dialogState.captionText = kBrowserExitCaption;
    dialogState.iconIndex = 1;
    return RunDialog(owner, kBrowserExitDialogTemplate, BrowserExitProc);
}
