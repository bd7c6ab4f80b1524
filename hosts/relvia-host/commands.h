#pragma once

#include <string>

#include <windows.h>

#include "relvia_library.h"

// What the last "on" and "off" did, for the status line.
struct RunState {
    bool turnOnFailed = false;
    bool on = false;
    // The last "off" found the browsers still pointing at a proxy that never
    // listened, and the host gave them their settings back.
    bool gaveBack = false;
};

// One line of the console protocol, run on the window's thread. Returns the reply
// line; `quit` is set for "quit", which the caller carries out.
std::string RunCommand(RelviaLibrary& library, HWND window, const std::string& line,
                       RunState& state, bool& quit);

// The proxy's state: its agents or why nothing listens, then translation on or off,
// joined by `separator`.
std::string StatusText(RelviaLibrary& library, const RunState& state, const char* separator);
