#include "browsers/browser_manager.h"

#include <new>

#include "base/text_buffer.h"
#include "browsers/browser.h"
#include "browsers/ie_browser.h"
#include "browsers/netscape_browser.h"
#include "control/module_state.h"
#include "platform/dde.h"
#include "settings/settings_store.h"
#include "ui/dialogs.h"

unsigned long browserDdeInstance = 0;

namespace {

Browser* NewBrowser(int kind) {
    switch (kind) {
    case 0:
        return new (std::nothrow) Netscape45Browser;
    case 1:
        return new (std::nothrow) Netscape4Browser;
    case 2:
        return new (std::nothrow) NetscapeBrowser;
    case 3:
        return new (std::nothrow) IE5Browser;
    case 4:
        return new (std::nothrow) IE4Browser;
    case 5:
        return new (std::nothrow) IEBrowser;
    default:
        return nullptr;
    }
}

// The display names of the browsers that need a restart, "first, second".
TextBuffer NamesNeedingRestart(Browser* first) {
    TextBuffer names;
    for (Browser* browser = first; browser; browser = browser->NextBrowser()) {
        browser->restartNeeded = browser->NeedsRestart();
        if (!browser->restartNeeded) {
            continue;
        }
        TextBuffer name;
        AppendToList(names, browser->GetDisplayName(name), "%s, %s");
    }
    return names;
}

} // namespace

Browser* NewBrowserOfKind(int kind) {
    Browser* browser = NewBrowser(kind);
    if (browser) {
        browser->kind = kind;
    }
    return browser;
}

BrowserManager::BrowserManager() {
    browserDdeInstance = platform::DdeStartClient();
}

BrowserManager::~BrowserManager() {
    delete browsers_;
    browsers_ = nullptr;
    last_ = nullptr;
    platform::DdeStopClient(browserDdeInstance);
    browserDdeInstance = 0;
}

void BrowserManager::DetectBrowsers() {
    delete browsers_;
    browsers_ = nullptr;
    last_ = nullptr;
    for (int kind = 0; kind < kBrowserKinds; ++kind) {
        Browser* browser = NewBrowserOfKind(kind);
        if (browser && browser->Detect()) {
            Append(browser);
        } else {
            delete browser;
        }
    }
}

void BrowserManager::Append(Browser* browser) {
    if (last_) {
        last_->InsertAfter(browser);
    } else {
        browsers_ = browser;
    }
    last_ = browser;
}

namespace {

// The browser-exit dialog, unless the user switched it off.
BrowserExitQuestion QuestionFromSettings() {
    SettingsStore* settings = moduleState.settings;
    if (!settings || !settings->GetWBAlert()) {
        return nullptr;
    }
    return [](const char* names, int mode) {
        return ShowBrowserExitDialog(moduleState.hostWindow, names, mode);
    };
}

} // namespace

int BrowserManager::ApplyAll() {
    return RunBrowserPass(browsers_, true, QuestionFromSettings());
}

int BrowserManager::RestoreAll() {
    return RunBrowserPass(browsers_, false, QuestionFromSettings());
}

void BrowserManager::RestoreAtProcessEnd() {
    for (Browser* browser = browsers_; browser; browser = browser->NextBrowser()) {
        browser->RestoreProxyAtProcessEnd();
    }
}

int RunBrowserPass(Browser* first, bool applying, BrowserExitQuestion ask) {
    if (!first) {
        return 0;
    }
    TextBuffer names = NamesNeedingRestart(first);
    bool closeFirst = true;
    bool startAgain = applying;
    if (!names.IsEmpty() && ask) {
        int answer = ask(names.CStr(), applying ? 1 : 0);
        startAgain = answer == kBrowserRestartButton;
        closeFirst = answer != kBrowserCancelButton;
    }
    for (Browser* browser = first; browser; browser = browser->NextBrowser()) {
        if (closeFirst && browser->restartNeeded) {
            browser->CloseRunning();
        }
        if (applying) {
            browser->ApplyProxy();
        } else {
            browser->RestoreProxy();
        }
        browser->NotifyChanged();
        if (startAgain && browser->restartNeeded) {
            browser->Launch();
        }
    }
    return 1;
}
