#include "control/lifecycle.h"

#include <new>

#include "base/trace.h"
#include "browsers/browser_manager.h"
#include "control/module_state.h"
#include "platform/socket.h"
#include "proxy/agent_list.h"
#include "proxy/host_name_cache.h"
#include "proxy/listener.h"
#include "settings/settings_store.h"
#include "ui/dialogs.h"

using platform::CriticalSectionGuard;

namespace {

int listenPort = Listener::kProxyPort;
unsigned long agentIdleTimeoutMs = Agent::kIdleTimeoutMs;

// 1 after a load whose Winsock started, -1 after one whose did not, 0 before.
int loadResult = 0;

bool Loaded() {
    return ModuleLoad() == 1;
}

// The settings, made by the first call that needs them; null when they could not be.
SettingsStore* Settings() {
    ModuleLoad();
    return moduleState.settings;
}

void DeleteBrowserManager() {
    delete moduleState.browserManager;
    moduleState.browserManager = nullptr;
}

// The objects a turn-on made, once no thread of the proxy is left to use them.
void DeleteTurnOnObjects() {
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        delete moduleState.agentList;
        moduleState.agentList = nullptr;
    }
    delete moduleState.hostNameCache;
    moduleState.hostNameCache = nullptr;
}

} // namespace

// Made on the first call from the host rather than by the entry point: that runs
// under the system's loader lock, where creating windows (the DDE client), starting
// Winsock or loading a sibling library may deadlock.
int ModuleLoad() {
    if (loadResult != 0) {
        return loadResult;
    }
    LoadDialogResources();
    moduleState.settings = new (std::nothrow) SettingsStore;
    moduleState.hostWindow = nullptr;
    moduleState.listener = nullptr;
    moduleState.hostNameCache = nullptr;
    moduleState.agentList = nullptr;
    // Detection keeps each browser's settings as they are now, for turn-off to restore.
    moduleState.browserManager = new (std::nothrow) BrowserManager;
    if (moduleState.browserManager) {
        moduleState.browserManager->DetectBrowsers();
    }
    loadResult = platform::WinsockStartup() == 0 ? 1 : -1;
    if (loadResult != 1) {
        Trace("Unable to initialize Winsock.dll\n");
    }
    return loadResult;
}

// Every thread of the proxy keeps the library loaded until it has ended, so a
// library that is freed has no thread left to stop or wait for (the last one may be
// the very thread this runs on): one that is still "on" is one whose listener could
// not bind its port.
void ModuleUnload() {
    if (loadResult == 0) {
        return;
    }
    DeleteTurnOnObjects();
    moduleState.turnedOn = 0;
    DeleteBrowserManager();
    delete moduleState.settings;
    moduleState.settings = nullptr;
    FreeDialogResources();
    if (loadResult == 1) {
        platform::WinsockCleanup();
    }
    loadResult = 0;
}

// The system has ended every other thread and holds the loader lock: the browsers'
// settings are written back, and nothing else is done; the objects go with the
// process.
void ModuleProcessEnd() {
    if (moduleState.turnedOn && moduleState.listener && moduleState.browserManager) {
        moduleState.browserManager->RestoreAtProcessEnd();
    }
}

int TurnOn(void* hostWindow) {
    if (!Loaded()) {
        return 0;
    }
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        if (moduleState.turnedOn || moduleState.listener) {
            return 1;
        }
    }
    moduleState.turnedOn = 1;
    moduleState.hostWindow = hostWindow;
    // Without a browser to point at the proxy there is nothing to turn on, now or later.
    if (!moduleState.browserManager || !moduleState.browserManager->ApplyAll()) {
        DeleteBrowserManager();
        moduleState.turnedOn = 0;
        return 0;
    }
    moduleState.hostNameCache = new (std::nothrow) HostNameCache;
    AgentList* agents = new (std::nothrow) AgentList;
    Listener* listener = new (std::nothrow) Listener(listenPort, agentIdleTimeoutMs);
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        moduleState.agentList = agents;
        moduleState.listener = listener;
    }
    // A listener that cannot start is deleted; like one that cannot bind its port,
    // it leaves the proxy "on" with nothing listening, which turn-off then skips.
    if (listener && !listener->Start(moduleState.threads)) {
        delete listener;
    }
    return 1;
}

// A proxy whose listener could not bind stays "on" and is not given back, but its
// listener's thread, which is ending by itself, is waited for all the same.
void TurnOff() {
    bool listening = false;
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        listening = moduleState.turnedOn && moduleState.listener;
    }
    if (!listening) {
        moduleState.threads.WaitForAll();
        return;
    }
    moduleState.turnedOn = 0;
    moduleState.hostWindow = nullptr;
    if (moduleState.settings && moduleState.settings->GetJ2KTransEnabled() == -1) {
        moduleState.settings->SetJ2KTransEnabled(0);
    }
    if (moduleState.browserManager) {
        moduleState.browserManager->RestoreAll();
    }
    CloseDialogs();
    Listener::Shutdown();
    AllowDialogs();
    DeleteTurnOnObjects();
}

int SetRegRoot(platform::RegKey root, const char* path) {
    SettingsStore* settings = Settings();
    return settings ? settings->SetRegRoot(root, path) : 0;
}

void EnableJ2KTrans(int value) {
    SettingsStore* settings = Settings();
    if (!settings) {
        return;
    }
    // Switching translation on explains it first, until the user asks not to.
    if (settings->GetJ2KTransEnabled() != 1 && value == 1 && settings->GetJ2KAlert()) {
        ShowJ2KNoticeDialog(moduleState.hostWindow);
    }
    settings->SetJ2KTransEnabled(value);
}

void SetJ2KTransMode(int mode) {
    if (SettingsStore* settings = Settings()) {
        settings->SetJ2KTransMode(mode);
    }
}

int J2KTransEnabled() {
    SettingsStore* settings = Settings();
    return settings ? settings->GetJ2KTransEnabled() : 0;
}

int GetJ2KTransMode() {
    SettingsStore* settings = Settings();
    return settings ? settings->GetJ2KTransMode() : -1;
}

int GetAgentCount(int* busy, int* idle) {
    CriticalSectionGuard hold(moduleState.agentListLock);
    if (!moduleState.listener || !moduleState.agentList || !busy || !idle) {
        return -1;
    }
    moduleState.agentList->GetCounts(*busy, *idle);
    return *busy + *idle;
}

void SetListenerOptions(int port, unsigned long idleTimeoutMs) {
    listenPort = port;
    agentIdleTimeoutMs = idleTimeoutMs;
}
