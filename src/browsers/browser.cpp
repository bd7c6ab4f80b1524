#include "browsers/browser.h"

#include "platform/files.h"

const char kLocalProxyHost[] = "127.0.0.1";

int Browser::Detect() {
    if (!LocateExecutable() || !platform::CanReadFile(exePath.CStr()) || !CheckVersion()) {
        return 0;
    }
    ReadProxy(savedHttpHost, savedHttpPort, savedFtpHost, savedFtpPort, savedProxyType);
    // Still pointing at this proxy (left so by an earlier run): restoring switches the
    // manual proxy off.
    if (IsLocalProxy(savedHttpHost, savedHttpPort, savedProxyType)) {
        savedProxyType = 0;
    }
    return 1;
}

int Browser::HoldsLocalProxy() {
    TextBuffer httpHost;
    TextBuffer ftpHost;
    int httpPort = -1;
    int ftpPort = -1;
    int proxyType = 0;
    ReadProxy(httpHost, httpPort, ftpHost, ftpPort, proxyType);
    return IsLocalProxy(httpHost, httpPort, proxyType) ? 1 : 0;
}

bool IsLocalProxy(const TextBuffer& httpHost, int httpPort, int proxyType) {
    return httpHost.Compare(kLocalProxyHost) == 0 && httpPort == kLocalProxyPort && proxyType == 1;
}

int Browser::Launch() {
    if (exePath.IsEmpty()) {
        return 0;
    }
    TextBuffer folder = FolderOf(exePath);
    const char* directory = folder.IsEmpty() ? "" : folder.CStr();
    platform::SetCurrentDirectoryA(directory);
    return platform::ShellExecuteShow(exePath.CStr(), directory) > 32 ? 1 : 0;
}

TextBuffer& Browser::GetDisplayName(TextBuffer& out) {
    out.Assign("\xC0\xA5\xBA\xEA\xB6\xF3\xBF\xEC\xC0\xFA"); // "웹브라우저"
    return out;
}

void AppendToList(TextBuffer& list, const TextBuffer& item, const char* format) {
    if (list.IsEmpty()) {
        list.Assign(item);
        return;
    }
    TextBuffer joined;
    joined.Format(format, list.CStr(), item.CStr());
    list.Assign(joined);
}

TextBuffer FolderOf(const TextBuffer& path) {
    int slash = path.ReverseFind('\\');
    if (slash < 0) {
        slash = path.ReverseFind('/');
    }
    return slash < 0 ? TextBuffer() : path.Left(slash + 1);
}
