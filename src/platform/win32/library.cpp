#include "platform/library.h"

#include <windows.h>

namespace platform {

Library LoadLibraryA(const char* name) {
    return ::LoadLibraryA(name);
}

void* GetProcAddress(Library library, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibrary(Library library) {
    ::FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace platform
