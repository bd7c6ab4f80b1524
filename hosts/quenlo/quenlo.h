// Quenlo.dll, the dial-up connection lister shipped beside Relvia.dll. The browser
// configurators call it to learn which connections carry proxy settings of their own.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

// The caller passes kQuenloMaxNames pointers, each to a writable buffer of
// kQuenloNameSize bytes.
constexpr int kQuenloMaxNames = 100;
constexpr size_t kQuenloNameSize = 256;

// Writes up to kQuenloMaxNames NUL-terminated connection names and returns how many it
// wrote.
extern "C" int qnlo_GetNames(char** names);

// Copies one name into a caller's buffer, cut to fit.
inline void QuenloStoreName(char* buffer, std::string_view name) {
    size_t length = std::min(name.size(), kQuenloNameSize - 1);
    std::memcpy(buffer, name.data(), length);
    buffer[length] = '\0';
}
