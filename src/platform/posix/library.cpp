#include "platform/library.h"

// The suite's sibling libraries exist only on Windows.

namespace platform {

Library LoadLibraryA(const char* /*name*/) {
    return nullptr;
}

void* GetProcAddress(Library /*library*/, const char* /*name*/) {
    return nullptr;
}

void FreeLibrary(Library /*library*/) {}

} // namespace platform
