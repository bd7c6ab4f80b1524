// Test build of Quenlo.dll: the connection names are the lines (CR LF or LF) of the file
// named by RELVIA_TEST_CONNECTIONS; no variable or no file means no connections. It
// returns the number of lines even beyond kQuenloMaxNames, so that the caller's own limit
// can be tested, but never writes past the caller's buffers.
#include <fstream>
#include <string>

#include "environment.h"
#include "quenlo.h"

extern "C" int qnlo_GetNames(char** names) {
    std::ifstream file(EnvironmentValue("RELVIA_TEST_CONNECTIONS"), std::ios::binary);
    int lines = 0;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (lines < kQuenloMaxNames) {
            QuenloStoreName(names[lines], line);
        }
        ++lines;
    }
    return lines;
}
