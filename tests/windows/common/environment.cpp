#include "environment.h"

#include <windows.h>

std::string EnvironmentValue(const char* name) {
    DWORD size = GetEnvironmentVariableA(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::string value(size, '\0');
    DWORD length = GetEnvironmentVariableA(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}
