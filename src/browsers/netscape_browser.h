#pragma once

#include <cstdio>

#include "browsers/browser.h"

// Netscape Navigator. A running Navigator must be ended before its settings change
// (it writes them back when it ends), so it counts as needing a restart while it runs.

// The older Navigator, which keeps its proxy in the registry.
class NetscapeBrowser : public Browser {
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
    int NeedsRestart() override { return IsRunning(); }
};

// Versions 4.0 up to 4.5: the proxy lives in the profile's preference file, to which
// every change is appended.
class Netscape4Browser : public NetscapeBrowser {
public:
    int CheckVersion() override;
    int ApplyProxy() override;
    int RestoreProxy() override;
    int ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost, int& ftpPort,
                  int& proxyType) override;
    int LocateExecutable() override;
    // The profile's "prefs.js" opened for reading and appending, or null; the caller
    // closes it.
    virtual std::FILE* OpenPrefsFile();

protected:
    // "CurrentVersion" as a number; false when it is missing or has no number.
    static bool ReadVersion(double& version);
};

// Version 4.5 and later: the profile is found through the mail settings or the
// profile registry file "nsreg.dat".
class Netscape45Browser : public Netscape4Browser {
public:
    int CheckVersion() override;
    std::FILE* OpenPrefsFile() override;
};
