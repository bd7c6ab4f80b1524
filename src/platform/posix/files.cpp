#include "platform/files.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace platform {

bool CanReadFile(const char* path) {
    return path && ::access(path, R_OK) == 0;
}

// Text and binary files are the same here.
std::FILE* OpenForAppendText(const char* path) {
    return std::fopen(path, "a+");
}

unsigned int GetWindowsDirectoryA(char* buffer, unsigned int size) {
    const char* folder = std::getenv("WINDIR");
    size_t length = folder ? std::strlen(folder) : 0;
    if (!buffer || length == 0 || length >= size) {
        return 0;
    }
    std::memcpy(buffer, folder, length + 1);
    return static_cast<unsigned int>(length);
}

bool SetCurrentDirectoryA(const char* path) {
    return path && ::chdir(path) == 0;
}

// No shell to start programs with: the result of a file that was not found.
long ShellExecuteShow(const char* /*file*/, const char* /*directory*/) {
    return 2;
}

} // namespace platform
