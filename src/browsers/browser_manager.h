#pragma once

class Browser;

// The installed browsers, found once when the library loads, and the passes that
// point all of them at the proxy and give them their settings back. Browsers that
// must be restarted for a change are named in the browser-exit question first,
// unless the user switched that question off.
class BrowserManager {
public:
    BrowserManager();
    ~BrowserManager();
    BrowserManager(const BrowserManager&) = delete;
    BrowserManager& operator=(const BrowserManager&) = delete;

    void DetectBrowsers();
    // 0 when no browser was detected, else 1.
    int ApplyAll();
    int RestoreAll();

    Browser* First() const { return browsers_; }

private:
    enum class Change { kApply, kRestore };
    int RunPass(Change change);
    void Append(Browser* browser);

    Browser* browsers_ = nullptr;
    Browser* last_ = nullptr;
};

// The DDE client the Netscape exit request talks through; 0 when there is none. The
// manager starts it and ends it.
extern unsigned long browserDdeInstance;
