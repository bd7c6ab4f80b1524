#include "settings/registry_functions.h"

#include <cstdint>
#include <cstring>

using namespace platform;

namespace {

const unsigned long kTextBufferSize = 1024;

// Opens root\subkey with full access for reading, or returns null.
RegKey OpenForRead(RegRoot root, const char* subkey) {
    RegKey key = nullptr;
    if (!root || !subkey || RegOpenKeyExA(root, subkey, kKeyAllAccess, &key) != kErrorSuccess) {
        return nullptr;
    }
    return key;
}

int Write(RegRoot root, const char* subkey, const char* name, unsigned long type,
          const unsigned char* data, unsigned long size) {
    RegKey key = nullptr;
    if (!root || !subkey || RegCreateKeyExA(root, subkey, kKeyAllAccess, &key) != kErrorSuccess) {
        return 0;
    }
    long result = RegSetValueExA(key, name, type, data, size);
    RegCloseKey(key);
    return result == kErrorSuccess ? 1 : 0;
}

// Replaces the `length` bytes of `buffer` with their environment expansion when it
// fits both the scratch buffers and `buffer`; otherwise leaves them as they are.
void ExpandInPlace(char* buffer, unsigned long length, unsigned long size) {
    char raw[kTextBufferSize] = {};
    std::memcpy(raw, buffer, length < kTextBufferSize - 1 ? length : kTextBufferSize - 1);
    char expanded[kTextBufferSize] = {};
    unsigned long needed = ExpandEnvironmentStringsA(raw, expanded, kTextBufferSize);
    if (needed > 0 && needed <= kTextBufferSize && needed <= size) {
        std::memcpy(buffer, expanded, needed);
    }
}

} // namespace

int RegReadString(RegRoot root, const char* subkey, const char* name, char* buffer,
                  unsigned long size) {
    if (!buffer) {
        return 0;
    }
    RegKey key = OpenForRead(root, subkey);
    if (!key) {
        return 0;
    }
    unsigned long type = kRegNone;
    unsigned long length = size;
    long result =
        RegQueryValueExA(key, name, &type, reinterpret_cast<unsigned char*>(buffer), &length);
    RegCloseKey(key);
    if (result != kErrorSuccess) {
        return 0;
    }
    if (type == kRegExpandSz) {
        ExpandInPlace(buffer, length, size);
    }
    return 1;
}

int RegReadText(RegRoot root, const char* subkey, const char* name, TextBuffer& out) {
    char buffer[kTextBufferSize] = {};
    if (!RegReadString(root, subkey, name, buffer, sizeof buffer)) {
        return 0;
    }
    // A value of exactly 1024 bytes has no terminator in the buffer.
    return out.Assign(buffer, static_cast<int>(sizeof buffer));
}

int RegReadDword(RegRoot root, const char* subkey, const char* name, int& out) {
    RegKey key = OpenForRead(root, subkey);
    if (!key) {
        return 0;
    }
    uint32_t value = 0;
    unsigned long length = sizeof value;
    long result =
        RegQueryValueExA(key, name, nullptr, reinterpret_cast<unsigned char*>(&value), &length);
    RegCloseKey(key);
    if (result != kErrorSuccess) {
        return 0;
    }
    out = static_cast<int>(value);
    return 1;
}

int RegReadBinary(RegRoot root, const char* subkey, const char* name, unsigned char* buffer,
                  unsigned long& size) {
    if (!buffer) {
        return 0;
    }
    RegKey key = OpenForRead(root, subkey);
    if (!key) {
        return 0;
    }
    long result = RegQueryValueExA(key, name, nullptr, buffer, &size);
    RegCloseKey(key);
    return result == kErrorSuccess ? 1 : 0;
}

int RegWriteString(RegRoot root, const char* subkey, const char* name, const char* text) {
    if (!text) {
        return 0;
    }
    return Write(root, subkey, name, kRegSz, reinterpret_cast<const unsigned char*>(text),
                 static_cast<unsigned long>(std::strlen(text)));
}

int RegWriteDword(RegRoot root, const char* subkey, const char* name, int value) {
    uint32_t bits = static_cast<uint32_t>(value);
    return Write(root, subkey, name, kRegDword, reinterpret_cast<const unsigned char*>(&bits),
                 sizeof bits);
}

int RegWriteBinary(RegRoot root, const char* subkey, const char* name, const unsigned char* bytes,
                   unsigned long length) {
    if (!bytes) {
        return 0;
    }
    return Write(root, subkey, name, kRegBinary, bytes, length);
}
