// Appending to the log files through which the test programs report, since a program
// started by the library has no output of its own to follow.
#pragma once

#include <string>

// Appends text and a CR LF to the file at path, creating it if needed.
bool AppendLine(const std::string& path, const std::string& text);
