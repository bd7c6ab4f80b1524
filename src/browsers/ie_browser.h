#pragma once

#include "browsers/browser.h"

// Internet Explorer, which reads its proxy from the registry. It is never closed or
// restarted: after every change Tessik.dll tells the running browser.

// Before version 4: found through its COM server registration.
class IEBrowser : public Browser {
public:
    int CheckVersion() override;
    int CloseRunning() override;
    int ApplyProxy() override;
    int RestoreProxy() override;
    int ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost, int& ftpPort,
                  int& proxyType) override;
    int LocateExecutable() override;
    int IsRunning() override;
    TextBuffer& GetDisplayName(TextBuffer& out) override;
    int NeedsRestart() override { return 0; }
    int NotifyChanged() override;
};

// Version 4: found through its setup path; its windows may be shell windows.
class IE4Browser : public IEBrowser {
public:
    int CheckVersion() override;
    int CloseRunning() override;
    int LocateExecutable() override;
    int IsRunning() override;
};

// Version 5 and later: the proxy is set per dial-up connection.
class IE5Browser : public IE4Browser {
public:
    int CheckVersion() override;
    int ApplyProxy() override;
    int RestoreProxy() override;
    int RestoreProxyAtProcessEnd() override;
    int HoldsLocalProxy() override;

private:
    // The connections the last apply pointed at the proxy, as GetConnectionNames gave
    // them: a process that ends cannot ask Quenlo.dll again.
    TextBuffer appliedConnections_;
};

// Where the older Internet Explorer registers its program (HKEY_LOCAL_MACHINE, the
// key's default value: the quoted path, perhaps followed by arguments).
extern const char kIEComServerKey[];

// The per-connection records written by IE5Browser: proxy on, and direct.
extern const unsigned char kConnectionProxyRecord[90];
extern const unsigned char kConnectionDirectRecord[52];
