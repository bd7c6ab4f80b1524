#include "browser_record.h"

#include <string>

#include "browsers/browser.h"
#include "browsers/browser_manager.h"
#include "platform/registry.h"
#include "settings/registry_functions.h"

namespace {

const char kRecordKey[] = "Software\\Corvale\\Pellora5\\RelviaHost\\BrowserRecord";

std::string EntryKey(int index) {
    return std::string(kRecordKey) + "\\" + std::to_string(index);
}

void WriteEntry(int index, const Browser& browser) {
    std::string key = EntryKey(index);
    const RegRoot user = platform::kHkeyCurrentUser;
    RegWriteDword(user, key.c_str(), "Kind", browser.kind);
    RegWriteDword(user, key.c_str(), "HttpPort", browser.savedHttpPort);
    RegWriteDword(user, key.c_str(), "FtpPort", browser.savedFtpPort);
    RegWriteDword(user, key.c_str(), "ProxyType", browser.savedProxyType);
    // An empty host is no value.
    if (!browser.savedHttpHost.IsEmpty()) {
        RegWriteString(user, key.c_str(), "HttpHost", browser.savedHttpHost.CStr());
    }
    if (!browser.savedFtpHost.IsEmpty()) {
        RegWriteString(user, key.c_str(), "FtpHost", browser.savedFtpHost.CStr());
    }
}

// The browser of one entry with its saved settings, or null.
Browser* ReadEntry(int index) {
    std::string key = EntryKey(index);
    const RegRoot user = platform::kHkeyCurrentUser;
    int kind = -1;
    if (!RegReadDword(user, key.c_str(), "Kind", kind)) {
        return nullptr;
    }
    Browser* browser = NewBrowserOfKind(kind);
    if (browser) {
        RegReadDword(user, key.c_str(), "HttpPort", browser->savedHttpPort);
        RegReadDword(user, key.c_str(), "FtpPort", browser->savedFtpPort);
        RegReadDword(user, key.c_str(), "ProxyType", browser->savedProxyType);
        RegReadText(user, key.c_str(), "HttpHost", browser->savedHttpHost);
        RegReadText(user, key.c_str(), "FtpHost", browser->savedFtpHost);
    }
    return browser;
}

void DiscardBrowserRecord() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kRecordKey);
}

bool HasBrowserRecord() {
    int count = 0;
    return RegReadDword(platform::kHkeyCurrentUser, kRecordKey, "Count", count) != 0;
}

// Detects the browsers as the library does at load and records what it keeps.
void SaveBrowserRecord() {
    BrowserManager browsers;
    browsers.DetectBrowsers();
    int count = 0;
    for (Browser* browser = browsers.First(); browser; browser = browser->NextBrowser()) {
        WriteEntry(count++, *browser);
    }
    RegWriteDword(platform::kHkeyCurrentUser, kRecordKey, "Count", count);
}

// Whether any browser still points at the proxy: detection reads what each holds now.
bool BrowsersHoldLocalProxy() {
    BrowserManager browsers;
    browsers.DetectBrowsers();
    for (Browser* browser = browsers.First(); browser; browser = browser->NextBrowser()) {
        if (browser->HoldsLocalProxy()) {
            return true;
        }
    }
    return false;
}

} // namespace

int TurnOnRecorded(RelviaLibrary& library, HWND window) {
    bool recorded = !HasBrowserRecord();
    if (recorded) {
        SaveBrowserRecord();
    }
    int result = library.TurnOn(window);
    if (!result && recorded) {
        DiscardBrowserRecord();
    }
    return result;
}

bool TurnOffRecorded(RelviaLibrary& library) {
    library.TurnOff();
    if (!BrowsersHoldLocalProxy()) {
        DiscardBrowserRecord();
        return false;
    }
    return RestoreRecordedBrowsers() > 0;
}

int RestoreRecordedBrowsers() {
    int count = 0;
    if (!RegReadDword(platform::kHkeyCurrentUser, kRecordKey, "Count", count)) {
        return 0;
    }
    int restored = 0;
    for (int index = 0; index < count; ++index) {
        Browser* browser = ReadEntry(index);
        if (browser) {
            browser->RestoreProxy();
            browser->NotifyChanged();
            delete browser;
            ++restored;
        }
    }
    DiscardBrowserRecord();
    return restored;
}
