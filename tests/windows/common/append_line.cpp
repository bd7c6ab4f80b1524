#include "append_line.h"

#include <cstdio>

bool AppendLine(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) {
        return false;
    }
    bool written = std::fputs((text + "\r\n").c_str(), file) >= 0;
    return std::fclose(file) == 0 && written;
}
