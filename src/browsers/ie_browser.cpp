#include "browsers/ie_browser.h"

#include <cstring>

#include "base/decimal.h"
#include "browsers/sibling_libraries.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "platform/window.h"
#include "settings/registry_functions.h"

namespace {

const char kVersionKey[] = "Software\\Microsoft\\Internet Explorer";
const char kSetupKey[] = "Software\\Microsoft\\IE4\\Setup";
const char kInternetSettingsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char kConnectionsKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
const char kLocalProxyList[] = "ftp=127.0.0.1:8080;http=127.0.0.1:8080";

// The number before the first '.' of "Version"; -1 when there is no such value.
int MajorVersion() {
    TextBuffer version;
    if (!RegReadText(platform::kHkeyLocalMachine, kVersionKey, "Version", version)) {
        return -1;
    }
    int pos = 0;
    TextBuffer major;
    version.Tokenize(pos, major, ".");
    return LeadingDecimal(major.CStr());
}

void WriteProxyEnable(unsigned char first) {
    const unsigned char bytes[4] = {first, 0, 0, 0};
    RegWriteBinary(platform::kHkeyCurrentUser, kInternetSettingsKey, "ProxyEnable", bytes, 4);
}

// Writes `record` as the value of every dial-up connection `names` lists, one a line.
void WriteConnectionRecords(const TextBuffer& names, const unsigned char* record,
                            unsigned long length) {
    int pos = 0;
    TextBuffer name;
    while (names.Tokenize(pos, name, "\n")) {
        RegWriteBinary(platform::kHkeyCurrentUser, kConnectionsKey, name.CStr(), record, length);
    }
}

// Shell windows of Internet Explorer: class "CabinetWClass" with " - " in the title
// past its first character. Counted, and closed when `close` is set.
struct ShellWindows {
    bool close;
    int count;
};

bool VisitShellWindow(platform::WindowHandle window, void* context) {
    auto* walk = static_cast<ShellWindows*>(context);
    char className[129] = {};
    char title[257] = {};
    if (platform::GetClassNameA(window, className, 128) == 0 ||
        TextBuffer(className).Compare("CabinetWClass") != 0) {
        return true;
    }
    platform::GetWindowTextA(window, title, 256);
    if (TextBuffer(title).Find(" - ") > 0) {
        ++walk->count;
        if (walk->close) {
            platform::PostMessageA(window, platform::kWmClose, 0, 0);
            platform::Sleep(100);
        }
    }
    return true;
}

int WalkShellWindows(bool close) {
    ShellWindows walk{close, 0};
    platform::EnumWindows(VisitShellWindow, &walk);
    return walk.count;
}

} // namespace

const char kIEComServerKey[] =
    "Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";

const unsigned char kConnectionProxyRecord[90] = {
    0x3C, 0,   0,   0,   2,   0,   0,   0,   3,   0,   0,   0,   38,  0,   0,   0,   'f', 't',
    'p',  '=', '1', '2', '7', '.', '0', '.', '0', '.', '1', ':', '8', '0', '8', '0', ';', 'h',
    't',  't', 'p', '=', '1', '2', '7', '.', '0', '.', '0', '.', '1', ':', '8', '0', '8', '0'};
const unsigned char kConnectionDirectRecord[52] = {0x3C, 0, 0, 0, 1, 0, 0, 0, 1};

int IEBrowser::CheckVersion() {
    return MajorVersion() < 4 ? 1 : 0;
}

int IEBrowser::LocateExecutable() {
    TextBuffer server;
    if (!RegReadText(platform::kHkeyLocalMachine, kIEComServerKey, nullptr, server)) {
        return 0;
    }
    int pos = 0;
    return server.Tokenize(pos, exePath, "\"");
}

int IEBrowser::ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost, int& ftpPort,
                         int& proxyType) {
    unsigned char enable[4] = {};
    unsigned long size = sizeof enable;
    if (RegReadBinary(platform::kHkeyCurrentUser, kInternetSettingsKey, "ProxyEnable", enable,
                      size)) {
        proxyType = enable[0] == 1 ? 1 : 0;
    }
    TextBuffer list;
    if (!RegReadText(platform::kHkeyCurrentUser, kInternetSettingsKey, "ProxyServer", list)) {
        return 1;
    }
    const char delimiters[] = "=:;\"";
    int pos = 0;
    TextBuffer token;
    while (list.Tokenize(pos, token, delimiters)) {
        bool ftp = token.CompareNoCase("ftp") == 0;
        if (!ftp && token.CompareNoCase("http") != 0) {
            continue;
        }
        TextBuffer host;
        TextBuffer port;
        if (!list.Tokenize(pos, host, delimiters)) {
            return 0;
        }
        (ftp ? ftpHost : httpHost).Assign(host);
        if (!list.Tokenize(pos, port, delimiters)) {
            return 0;
        }
        (ftp ? ftpPort : httpPort) = LeadingDecimal(port.CStr());
    }
    return 1;
}

int IEBrowser::ApplyProxy() {
    WriteProxyEnable(1);
    RegWriteString(platform::kHkeyCurrentUser, kInternetSettingsKey, "ProxyServer",
                   kLocalProxyList);
    return 1;
}

int IEBrowser::RestoreProxy() {
    WriteProxyEnable(savedProxyType ? 1 : 0);
    TextBuffer list;
    if (!savedFtpHost.IsEmpty() && savedFtpPort != -1) {
        list.Format("ftp=%s:%d", savedFtpHost.CStr(), savedFtpPort);
    }
    if (!savedHttpHost.IsEmpty() && savedHttpPort != -1) {
        TextBuffer entry;
        entry.Format("http=%s:%d", savedHttpHost.CStr(), savedHttpPort);
        AppendToList(list, entry, "%s;%s");
    }
    if (!list.IsEmpty()) {
        RegWriteString(platform::kHkeyCurrentUser, kInternetSettingsKey, "ProxyServer",
                       list.CStr());
    }
    return 1;
}

int IEBrowser::CloseRunning() {
    platform::WindowHandle frame = platform::FindWindowA("IEFrame", nullptr);
    if (!frame) {
        return 0;
    }
    for (; frame; frame = platform::FindWindowA("IEFrame", nullptr)) {
        platform::PostMessageA(frame, platform::kWmClose, 0, 0);
        platform::Sleep(200);
    }
    return 1;
}

int IEBrowser::IsRunning() {
    return platform::FindWindowA("IEFrame", nullptr) ? 1 : 0;
}

TextBuffer& IEBrowser::GetDisplayName(TextBuffer& out) {
    out.Assign(
        "\xC0\xCE\xC5\xCD\xB3\xDD \xC0\xCD\xBD\xBA\xC7\xC3\xB7\xCE\xB7\xAF"); // "인터넷 익스플로러"
    return out;
}

int IEBrowser::NotifyChanged() {
    return NotifySettingsChanged();
}

int IE4Browser::CheckVersion() {
    return MajorVersion() == 4 ? 1 : 0;
}

int IE4Browser::LocateExecutable() {
    TextBuffer folder;
    if (!RegReadText(platform::kHkeyLocalMachine, kSetupKey, "Path", folder)) {
        return 0;
    }
    exePath.Format("%s\\IEXPLORE.EXE", folder.CStr());
    return 1;
}

int IE4Browser::CloseRunning() {
    return WalkShellWindows(true) > 0 ? 1 : IEBrowser::CloseRunning();
}

int IE4Browser::IsRunning() {
    return WalkShellWindows(false) > 0 ? 1 : IEBrowser::IsRunning();
}

int IE5Browser::CheckVersion() {
    return MajorVersion() >= 5 ? 1 : 0;
}

int IE5Browser::ApplyProxy() {
    GetConnectionNames(appliedConnections_);
    WriteConnectionRecords(appliedConnections_, kConnectionProxyRecord,
                           sizeof kConnectionProxyRecord);
    return 1;
}

int IE5Browser::RestoreProxy() {
    TextBuffer names;
    GetConnectionNames(names);
    WriteConnectionRecords(names, kConnectionDirectRecord, sizeof kConnectionDirectRecord);
    return 1;
}

int IE5Browser::RestoreProxyAtProcessEnd() {
    WriteConnectionRecords(appliedConnections_, kConnectionDirectRecord,
                           sizeof kConnectionDirectRecord);
    return 1;
}

int IE5Browser::HoldsLocalProxy() {
    TextBuffer names;
    GetConnectionNames(names);
    int pos = 0;
    TextBuffer name;
    while (names.Tokenize(pos, name, "\n")) {
        unsigned char record[sizeof kConnectionProxyRecord] = {};
        unsigned long size = sizeof record;
        if (RegReadBinary(platform::kHkeyCurrentUser, kConnectionsKey, name.CStr(), record, size) &&
            size == sizeof record &&
            std::memcmp(record, kConnectionProxyRecord, sizeof record) == 0) {
            return 1;
        }
    }
    return 0;
}
