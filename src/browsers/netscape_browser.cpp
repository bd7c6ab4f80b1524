#include "browsers/netscape_browser.h"

#include "browsers/browser_manager.h"
#include "platform/dde.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/window.h"
#include "settings/registry_functions.h"

namespace {

const char kMainKey[] = "Software\\Netscape\\Netscape Navigator\\Main";
const char kProxyKey[] = "Software\\Netscape\\Netscape Navigator\\Proxy Information";

void ReadNumber(const char* name, int& out) {
    RegReadDword(platform::kHkeyCurrentUser, kProxyKey, name, out);
}

void ReadHost(const char* name, TextBuffer& out) {
    RegReadText(platform::kHkeyCurrentUser, kProxyKey, name, out);
}

void WriteNumber(const char* name, int value) {
    RegWriteDword(platform::kHkeyCurrentUser, kProxyKey, name, value);
}

void WriteHost(const char* name, const char* host) {
    RegWriteString(platform::kHkeyCurrentUser, kProxyKey, name, host);
}

} // namespace

int NetscapeBrowser::LocateExecutable() {
    TextBuffer folder;
    if (!RegReadText(platform::kHkeyCurrentUser, kMainKey, "Install Directory", folder)) {
        return 0;
    }
    exePath.Format("%s\\Program\\netscape.exe", folder.CStr());
    return 1;
}

// The older Navigator is the one without "master.ini" beside the program.
int NetscapeBrowser::CheckVersion() {
    TextBuffer folder = FolderOf(exePath);
    TextBuffer masterIni;
    masterIni.Format("%smaster.ini", folder.IsEmpty() ? "" : folder.CStr());
    return platform::CanReadFile(masterIni.CStr()) ? 0 : 1;
}

int NetscapeBrowser::ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost,
                               int& ftpPort, int& proxyType) {
    ReadNumber("Proxy Type", proxyType);
    ReadHost("HTTP_Proxy", httpHost);
    ReadNumber("Http_ProxyPort", httpPort);
    ReadHost("FTP_Proxy", ftpHost);
    ReadNumber("Ftp_ProxyPort", ftpPort);
    return 1;
}

int NetscapeBrowser::ApplyProxy() {
    WriteNumber("Proxy Type", 1);
    WriteHost("HTTP_Proxy", kLocalProxyHost);
    WriteNumber("Http_ProxyPort", kLocalProxyPort);
    WriteHost("FTP_Proxy", kLocalProxyHost);
    WriteNumber("Ftp_ProxyPort", kLocalProxyPort);
    return 1;
}

int NetscapeBrowser::RestoreProxy() {
    WriteNumber("Proxy Type", savedProxyType);
    if (!savedHttpHost.IsEmpty()) {
        WriteHost("HTTP_Proxy", savedHttpHost.CStr());
    }
    if (savedHttpPort != -1) {
        WriteNumber("Http_ProxyPort", savedHttpPort);
    }
    if (!savedFtpHost.IsEmpty()) {
        WriteHost("FTP_Proxy", savedFtpHost.CStr());
    }
    if (savedFtpPort != -1) {
        WriteNumber("Ftp_ProxyPort", savedFtpPort);
    }
    return 1;
}

// Asks the running Navigator to end, without waiting for it.
int NetscapeBrowser::CloseRunning() {
    if (!browserDdeInstance) {
        return 0;
    }
    return platform::DdePokeEmpty(browserDdeInstance, "NETSCAPE", "WWW_Exit", "WWW_Exit") == 1 ? 1
                                                                                               : 0;
}

int NetscapeBrowser::IsRunning() {
    return platform::FindWindowA(nullptr, "Netscape's Hidden Frame") ? 1 : 0;
}

TextBuffer& NetscapeBrowser::GetDisplayName(TextBuffer& out) {
    // "넷스케이프 네비게이터"
    out.Assign("\xB3\xDD\xBD\xBA\xC4\xC9\xC0\xCC\xC7\xC1 \xB3\xD7\xBA\xF1\xB0\xD4\xC0\xCC\xC5\xCD");
    return out;
}
