// What every mode of browser-peers shares: the output protocol and the window plumbing.
#pragma once

#include <string>

#include <windows.h>

// Writes one protocol line, ending in a bare line feed, and flushes it.
void PrintLine(const std::string& line);

// Registers a window class of this program under the given name.
bool RegisterFrameClass(const char* className, WNDPROC procedure);

// Dispatches messages until WM_QUIT.
void RunMessageLoop();
