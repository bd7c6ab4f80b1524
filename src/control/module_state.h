#pragma once

class HostNameCache;
class SettingsStore;

// The library's module-wide objects. They are created and deleted on the host's
// thread (load, turn-on, turn-off, unload) while no agent runs, so the agents read
// them without a lock.
struct ModuleState {
    SettingsStore* settings = nullptr;
    // Exists while the proxy is on; connects fail without it.
    HostNameCache* hostNameCache = nullptr;
};

extern ModuleState moduleState;
