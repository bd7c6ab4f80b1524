// Visible top-level browser frames that report when they are asked to close.
#pragma once

#include <string>
#include <vector>

// Opens one frame of the class per title and prints "ready". A frame that gets
// WM_CLOSE prints closedPrefix followed by its title and goes; after the last one the
// program prints "done". Returns the exit code.
int RunFrames(const char* className, const std::vector<std::string>& titles,
              const std::string& closedPrefix);
