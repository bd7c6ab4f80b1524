#pragma once

#include <string>

#include <windows.h>

#include "relvia_library.h"

// One line of the console protocol, run on the window's thread. Returns the reply
// line; `quit` is set for "quit", which the caller carries out.
std::string RunCommand(RelviaLibrary& library, HWND window, const std::string& line, bool& quit);
