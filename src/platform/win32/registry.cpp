#include "platform/registry.h"

#include <windows.h>

namespace platform {

const RegKey kHkeyClassesRoot = HKEY_CLASSES_ROOT;
const RegKey kHkeyCurrentUser = HKEY_CURRENT_USER;
const RegKey kHkeyLocalMachine = HKEY_LOCAL_MACHINE;
const RegKey kHkeyUsers = HKEY_USERS;

long RegOpenKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key) {
    HKEY opened = nullptr;
    long result = ::RegOpenKeyExA(static_cast<HKEY>(root), subkey, 0, access, &opened);
    *key = opened;
    return result;
}

long RegCreateKeyExA(RegKey root, const char* subkey, unsigned long access, RegKey* key) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    char emptyClass[] = "";
    long result =
        ::RegCreateKeyExA(static_cast<HKEY>(root), subkey, 0, emptyClass, REG_OPTION_NON_VOLATILE,
                          access, nullptr, &opened, &disposition);
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
