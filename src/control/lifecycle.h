#pragma once

#include "platform/registry.h"

// The library's life: load and unload, turning the proxy on and off, and the
// calls behind the exported functions. Every function runs on the host's thread.

// 1 when the library can serve: Winsock started.
int ModuleLoad();

enum class UnloadKind {
    kLibraryFreed, // FreeLibrary: the library's own threads have all ended
    kProcessExit,  // the system has already ended every other thread
};
void ModuleUnload(UnloadKind kind);

// 1 when on (also when it already was); the listener starts in the background.
int TurnOn(void* hostWindow);
void TurnOff();

int SetRegRoot(platform::RegKey root, const char* path);
void EnableJ2KTrans(int value);
void SetJ2KTransMode(int mode);
int J2KTransEnabled();
int GetJ2KTransMode();
// busy + idle, or -1 (outputs untouched) while the proxy is off.
int GetAgentCount(int* busy, int* idle);

// The port turn-on listens on and the idle time after which an agent ends. Tests
// set them before turning on; the product keeps 8080 and three minutes.
void SetListenerOptions(int port, unsigned long agentIdleTimeoutMs);
