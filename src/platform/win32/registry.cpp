#include "platform/registry.h"

#include <windows.h>

namespace platform {

const RegKey kHkeyClassesRoot = HKEY_CLASSES_ROOT;
const RegKey kHkeyCurrentUser = HKEY_CURRENT_USER;
const RegKey kHkeyLocalMachine = HKEY_LOCAL_MACHINE;
const RegKey kHkeyUsers = HKEY_USERS;

namespace {

// HKEY_LOCAL_MACHINE\Software is seen as a 32-bit program sees it, in either build:
// every browser the library knows, and the suite that installs it, is a 32-bit program
// whose keys live in the 32-bit view of a 64-bit Windows. 32-bit Windows ignores the
// flag; HKEY_CURRENT_USER is the same in both views.
REGSAM InView(RegKey root, unsigned long access) {
    return root == HKEY_LOCAL_MACHINE ? access | KEY_WOW64_32KEY : access;
}

} // namespace

long RegOpenKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key) {
    HKEY opened = nullptr;
    long result =
        ::RegOpenKeyExA(static_cast<HKEY>(root), subkey, 0, InView(root, access), &opened);
    *key = opened;
    return result;
}

long RegCreateKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    char emptyClass[] = "";
    long result =
        ::RegCreateKeyExA(static_cast<HKEY>(root), subkey, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                          InView(root, access), nullptr, &opened, &disposition);
    *key = opened;
    return result;
}

long RegQueryValueExA(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                      unsigned long* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    long result = ::RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType, data,
                                     size ? &valueSize : nullptr);
    if (type) {
        *type = valueType;
    }
    if (size) {
        *size = valueSize;
    }
    return result;
}

long RegSetValueExA(RegKey key, const char* name, unsigned long type, const unsigned char* data,
                    unsigned long size) {
    return ::RegSetValueExA(static_cast<HKEY>(key), name, 0, type, data, size);
}

long RegCloseKey(RegKey key) {
    return ::RegCloseKey(static_cast<HKEY>(key));
}

unsigned long ExpandEnvironmentStringsA(const char* source, char* target, unsigned long size) {
    return ::ExpandEnvironmentStringsA(source, target, size);
}

} // namespace platform
