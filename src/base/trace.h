#pragma once

#include "base/printf_check.h"

// The diagnostic trace, called on failure paths. Its sink writes nothing: no trace
// text ever reaches a browser, the host or a file. The format is still checked
// against its arguments at compile time.
void Trace(const char* format, ...) RELVIA_PRINTF(1, 2);
