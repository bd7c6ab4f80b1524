#include "platform/files.h"

#include <io.h>
#include <windows.h>

#include <shellapi.h>

namespace platform {

bool CanReadFile(const char* path) {
    return path && _access(path, 4) == 0;
}

std::FILE* OpenForAppendText(const char* path) {
    return std::fopen(path, "a+t");
}

unsigned int GetWindowsDirectoryA(char* buffer, unsigned int size) {
    return ::GetWindowsDirectoryA(buffer, size);
}

bool SetCurrentDirectoryA(const char* path) {
    return ::SetCurrentDirectoryA(path) != FALSE;
}

long ShellExecuteShow(const char* file, const char* directory) {
    HINSTANCE result = ::ShellExecuteA(nullptr, nullptr, file, nullptr, directory, SW_SHOW);
    return static_cast<long>(reinterpret_cast<INT_PTR>(result));
}

} // namespace platform
