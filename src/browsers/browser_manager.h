#pragma once

class Browser;

// The browser classes, in the order detection tries them: Netscape 4.5, Netscape 4,
// the older Netscape, Internet Explorer 5, 4 and the older one.
const int kBrowserKinds = 6;
// A new browser object of that kind (its `kind` set), or null.
Browser* NewBrowserOfKind(int kind);

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
    // Gives every browser its settings back as the process ends: no question, no
    // browser closed or started, no sibling library called.
    void RestoreAtProcessEnd();

    Browser* First() const { return browsers_; }

private:
    void Append(Browser* browser);

    Browser* browsers_ = nullptr;
    Browser* last_ = nullptr;
};

// The browser-exit question for the names of the browsers that need a restart
// (`mode` 1 when pointing them at the proxy, 0 when giving their settings back): the
// button the user pressed.
using BrowserExitQuestion = int (*)(const char* names, int mode);

// One apply (or restore) pass over the browsers from `first` on, asking `ask` first when
// any of them needs a restart; null `ask` closes them without a question. 0 when there
// is no browser, else 1.
int RunBrowserPass(Browser* first, bool applying, BrowserExitQuestion ask);

// The DDE client the Netscape exit request talks through; 0 when there is none. The
// manager starts it and ends it.
extern unsigned long browserDdeInstance;
