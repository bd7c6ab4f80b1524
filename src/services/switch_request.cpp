#include "services/switch_request.h"

#include "control/module_state.h"
#include "platform/window.h"
#include "proxy/socket_channel.h"
#include "settings/settings_store.h"
#include "ui/dialogs.h"

namespace {

const unsigned int kHostNotification = 0x49E;
const int kNotifySwitchedOn = 1;
const int kNotifySwitchedOff = 2;

const char kSwitchCaption[] = "Pellora - \xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA";
const char kSwitchedOnText[] =
    "\xC1\xF6\xB1\xDD\xBA\xCE\xC5\xCD Pellora\xC0\xC7 \xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA "
    "\xB1\xE2\xB4\xC9\xC0\xBB \xC0\xCC\xBF\xEB\xC7\xCF\xBF\xA9 \xC0\xCF\xBA\xBB\xBE\xEE "
    "\xC8\xA8\xC6\xE4\xC0\xCC\xC1\xF6\xC0\xC7 \xB3\xBB\xBF\xEB\xC0\xBB \xC0\xDA\xB5\xBF\xC0\xB8"
    "\xB7\xCE \xC7\xD1\xB1\xB9\xBE\xEE\xB7\xCE \xB9\xF8\xBF\xAA\xC7\xD8\xBC\xAD "
    "\xBA\xB8\xBF\xA9\xC1\xD9 \xB0\xCD\xC0\xD4\xB4\xCF\xB4\xD9.\n\n\xC0\xCC "
    "\xB1\xE2\xB4\xC9\xC0\xBB \xBB\xE7\xBF\xEB\xC7\xCF\xB4\xC2 \xC1\xDF\xBF\xA1\xB4\xC2 "
    "\xC0\xCF\xBA\xBB\xBE\xEE\xB0\xA1 \xBE\xC6\xB4\xD1 \xC8\xA8\xC6\xE4\xC0\xCC\xC1\xF6\xBF\xA1 "
    "\xB4\xEB\xC7\xD1 \xC1\xA2\xBC\xD3\xC0\xCC \xB4\xC0\xB7\xC1\xC1\xFA \xBC\xF6 "
    "\xC0\xD6\xBD\xC0\xB4\xCF\xB4\xD9.";
const char kSwitchedOffText[] = "Pellora\xC0\xC7 \xC0\xCF\xC7\xD1 \xB9\xF8\xBF\xAA "
                                "\xB1\xE2\xB4\xC9\xC0\xBB \xC7\xD8\xC1\xA6\xC7\xDF\xBD\xC0"
                                "\xB4\xCF\xB4\xD9.";

// Tells the user, then the host window if there still is one.
void Announce(const char* text, int notification) {
    ShowMessageDialog(moduleState.hostWindow, text, kSwitchCaption, 0, kMessageDialogTemplate);
    void* window = moduleState.hostWindow;
    if (window && platform::IsWindow(window)) {
        platform::PostMessageA(window, kHostNotification, static_cast<std::uintptr_t>(notification),
                               0);
    }
}

} // namespace

int SendNoContent(SocketChannel& browser) {
    static const char kNoContent[] = "HTTP/1.1 204 No Content\r\n";
    if (browser.Send(kNoContent, sizeof kNoContent - 1) < 1) {
        return 0;
    }
    browser.Close();
    return 1;
}

int HandleJ2KSwitchUrl(SocketChannel& browser, const TextBuffer& word) {
    SettingsStore* settings = moduleState.settings;
    bool on = word.CompareNoCase("EnableJ2KTrans") == 0;
    if (!settings || (!on && word.CompareNoCase("DisableJ2KTrans") != 0)) {
        return 0;
    }
    int previous = settings->GetJ2KTransEnabled();
    if (previous < 0) {
        return 0;
    }
    SendNoContent(browser);
    settings->SetJ2KTransEnabled(on ? 1 : 0);
    if (on && previous == 0) {
        Announce(kSwitchedOnText, kNotifySwitchedOn);
    } else if (!on && previous == 1) {
        Announce(kSwitchedOffText, kNotifySwitchedOff);
    }
    return 1;
}
