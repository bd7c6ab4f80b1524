#pragma once

// Libraries loaded by name at run time, shaped after LoadLibraryA.

namespace platform {

using Library = void*;

// Null when the library cannot be loaded (always, where there are no such libraries).
Library LoadLibraryA(const char* name);
// The exported function of that name, or null.
void* GetProcAddress(Library library, const char* name);
void FreeLibrary(Library library);

} // namespace platform
