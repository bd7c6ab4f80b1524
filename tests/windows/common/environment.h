// The process environment as it is now, including changes made after start-up
// (which the C runtime's copy misses).
#pragma once

#include <string>

// The variable's value, or an empty string when it is not set.
std::string EnvironmentValue(const char* name);
