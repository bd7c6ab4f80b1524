#pragma once

#include "platform/registry.h"

// The library's life: load and unload, turning the proxy on and off, and the
// calls behind the exported functions. Every function runs on the host's thread.
// Turning off returns once every thread the proxy started has ended.

// Makes the module's objects and detects the browsers, once: the first call that
// needs them does, on the host's thread. 1 when the library can serve, -1 when
// Winsock did not start.
int ModuleLoad();
// Deletes what ModuleLoad made: the library is being freed, with none of its
// threads left.
void ModuleUnload();
// The process is ending: only gives the browsers their settings back.
void ModuleProcessEnd();

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
