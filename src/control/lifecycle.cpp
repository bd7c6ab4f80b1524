#include "control/lifecycle.h"

#include <new>

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

// At process exit the system has already ended every other thread.
void TurnOffAs(bool processExit) {
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        if (!moduleState.turnedOn || !moduleState.listener) {
            return;
        }
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
    // There is nothing to stop or wait for then, and the objects go with the process.
    if (processExit) {
        return;
    }
    Listener::Shutdown();
    AllowDialogs();
    {
        CriticalSectionGuard hold(moduleState.agentListLock);
        delete moduleState.agentList;
        moduleState.agentList = nullptr;
    }
    delete moduleState.hostNameCache;
    moduleState.hostNameCache = nullptr;
}

} // namespace

int ModuleLoad() {
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
    return platform::WinsockStartup() == 0 ? 1 : 0;
}

namespace {

void DeleteBrowserManager() {
    delete moduleState.browserManager;
    moduleState.browserManager = nullptr;
}

} // namespace

// Every thread of the proxy keeps the library loaded until it has ended, so a
// library that is freed has no thread left: one that is still "on" is one whose
// listener could not bind its port, and what its turn-on made goes now.
void ModuleUnload(UnloadKind kind) {
    TurnOffAs(kind == UnloadKind::kProcessExit);
    if (kind == UnloadKind::kLibraryFreed) {
        delete moduleState.agentList;
        moduleState.agentList = nullptr;
        delete moduleState.hostNameCache;
        moduleState.hostNameCache = nullptr;
        moduleState.turnedOn = 0;
    }
    DeleteBrowserManager();
    delete moduleState.settings;
    moduleState.settings = nullptr;
    FreeDialogResources();
    platform::WinsockCleanup();
}

int TurnOn(void* hostWindow) {
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
    if (listener && !listener->Start()) {
        delete listener;
    }
    return 1;
}

void TurnOff() {
    TurnOffAs(false);
}

int SetRegRoot(platform::RegKey root, const char* path) {
    return moduleState.settings ? moduleState.settings->SetRegRoot(root, path) : 0;
}

void EnableJ2KTrans(int value) {
    SettingsStore* settings = moduleState.settings;
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
    if (moduleState.settings) {
        moduleState.settings->SetJ2KTransMode(mode);
    }
}

int J2KTransEnabled() {
    return moduleState.settings ? moduleState.settings->GetJ2KTransEnabled() : 0;
}

int GetJ2KTransMode() {
    return moduleState.settings ? moduleState.settings->GetJ2KTransMode() : -1;
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
