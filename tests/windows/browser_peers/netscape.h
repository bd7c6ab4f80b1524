// A running Navigator as the library sees it: the top-level window titled "Netscape's
// Hidden Frame" and the DDE exit service.
#pragma once

#include <string>

// Prints "ready" once both exist and "done" after a WWW_Exit poke ended it. With a log
// path it also appends "started" and "exited" there. Returns the exit code.
int RunNetscape(const std::string& logPath);
