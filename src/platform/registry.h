#pragma once

// The registry, shaped after the Win32 calls. Results are Win32 error codes:
// kErrorSuccess (0) or the reason for the failure.

namespace platform {

using RegKey = void*;

extern const RegKey kHkeyClassesRoot;
extern const RegKey kHkeyCurrentUser;
extern const RegKey kHkeyLocalMachine;
extern const RegKey kHkeyUsers;

const long kErrorSuccess = 0;
const long kErrorFileNotFound = 2;
const long kErrorAccessDenied = 5;
const long kErrorInvalidParameter = 87;
const long kErrorMoreData = 234;

const unsigned long kRegNone = 0;
const unsigned long kRegSz = 1;
const unsigned long kRegExpandSz = 2;
const unsigned long kRegBinary = 3;
const unsigned long kRegDword = 4;

const unsigned long kKeyAllAccess = 0xF003F;
const unsigned long kKeyRead = 0x20019;

long RegOpenKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key);
// Opens the key, creating it and the keys above it when missing (non-volatile).
long RegCreateKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key);
// With `data` null only the size is reported. A value larger than *size gives
// kErrorMoreData and the size it needs.
long RegQueryValueExA(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                      unsigned long* size);
long RegSetValueExA(RegKey key, const char* name, unsigned long type, const unsigned char* data,
                    unsigned long size);
long RegCloseKey(RegKey key);

// Replaces %NAME% with the process environment's value of NAME. Returns the size
// the result needs, terminator included (more than `size` when it did not fit),
// or 0 on failure.
unsigned long ExpandEnvironmentStringsA(const char* source, char* target, unsigned long size);

} // namespace platform
