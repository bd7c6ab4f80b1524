#pragma once

#include <atomic>

#include "platform/sync.h"
#include "proxy/thread_group.h"

class AgentList;
class BrowserManager;
class HostNameCache;
class Listener;
class SettingsStore;

// The library's module-wide objects. The host's thread creates and deletes them
// (load, turn-on, turn-off, unload); agents and the listener read `settings` and
// `hostNameCache`, which exist for as long as any of them runs. `agentList` and
// `listener` are read and changed only with `agentListLock` held.
struct ModuleState {
    void* moduleInstance = nullptr;
    SettingsStore* settings = nullptr;
    // Made and run once at load; gone for good after a turn-on that found no browser.
    BrowserManager* browserManager = nullptr;
    // Written by the host's thread, read by agents that notify the host.
    std::atomic<void*> hostWindow{nullptr};
    int turnedOn = 0;
    platform::CriticalSection agentListLock;
    HostNameCache* hostNameCache = nullptr;
    AgentList* agentList = nullptr;
    Listener* listener = nullptr;
    // The listener's and the agents' threads, which turning off waits for.
    ThreadGroup threads;
};

extern ModuleState moduleState;
