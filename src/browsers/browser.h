#pragma once

#include "base/list_node.h"
#include "base/text_buffer.h"

// One installed web browser whose proxy settings the proxy changes while it is on.
// Detection (at load) reads and keeps the settings in use; apply points the browser
// at 127.0.0.1:8080 and restore writes the kept settings back. The concrete classes
// are the Internet Explorer and Netscape families.
class Browser : public ListNode {
public:
    Browser() = default;
    ~Browser() override = default;

    // Found, readable, the right version: then the proxy settings in use are kept.
    virtual int Detect();
    virtual int CheckVersion() { return 0; }
    // Starts the program from its own folder, which becomes the current folder.
    virtual int Launch();
    virtual int CloseRunning() { return 0; }
    virtual int ApplyProxy() { return 0; }
    virtual int RestoreProxy() { return 0; }
    // As RestoreProxy, writing registry values and files only: the process is ending,
    // under the system's loader lock, where no library may be loaded.
    virtual int RestoreProxyAtProcessEnd() { return RestoreProxy(); }
    virtual int ReadProxy(TextBuffer& /*httpHost*/, int& /*httpPort*/, TextBuffer& /*ftpHost*/,
                          int& /*ftpPort*/, int& /*proxyType*/) {
        return 0;
    }
    // 1 when the settings in use now point the browser at this proxy.
    virtual int HoldsLocalProxy();
    virtual int LocateExecutable() { return 0; }
    virtual int IsRunning() { return 0; }
    virtual TextBuffer& GetDisplayName(TextBuffer& out);
    virtual int NeedsRestart() { return 1; }
    virtual int NotifyChanged() { return 0; }

    Browser* NextBrowser() const { return static_cast<Browser*>(Next()); }

    // The class, as an index of the detection order (browser_manager.h).
    int kind = -1;
    int restartNeeded = 0;
    TextBuffer exePath;
    TextBuffer savedHttpHost;
    int savedHttpPort = -1;
    TextBuffer savedFtpHost;
    int savedFtpPort = -1;
    // 1: a manual proxy was in use, 0: none; another number is written back as read.
    int savedProxyType = 0;
};

// Adds `item` to a list: it becomes the list when that is empty, else `format` (two
// "%s", list and item) joins them.
void AppendToList(TextBuffer& list, const TextBuffer& item, const char* format);

// The folder part of `path`: up to and including the last '\', else the last '/';
// empty when there is neither.
TextBuffer FolderOf(const TextBuffer& path);

// Whether read settings name this proxy as the manual proxy in use.
bool IsLocalProxy(const TextBuffer& httpHost, int httpPort, int proxyType);

// The address every browser is pointed at.
extern const char kLocalProxyHost[];
const int kLocalProxyPort = 8080;
