#include "platform/registry.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ansi.h"

// An in-memory registry with the semantics the engine relies on: typed values,
// key and value names compared without regard to ASCII letter case, keys created
// on demand by RegCreateKeyExA, and one lock around every call.

namespace platform {

namespace {

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive for ASCII letters; the trail bytes of double-byte characters
// are compared as they are.
struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        bool trail = false;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
            char ca = trail ? a[i] : FoldAscii(a[i]);
            char cb = trail ? b[i] : FoldAscii(b[i]);
            if (ca != cb) {
                return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
            }
            trail = !trail && IsAnsiLeadByte(static_cast<unsigned char>(a[i]));
        }
        return a.size() < b.size();
    }
};

struct Value {
    unsigned long type = kRegNone;
    std::vector<unsigned char> data;
};

struct Key {
    std::map<std::string, std::unique_ptr<Key>, NoCaseLess> subkeys;
    std::map<std::string, Value, NoCaseLess> values;
};

const long kErrorInvalidHandle = 6;

Key roots[4];
std::mutex lock;

// Walks `path` (backslash-separated) below `from`; creates missing keys when asked.
Key* Walk(Key* from, const char* path, bool create) {
    Key* key = from;
    const char* part = path ? path : "";
    while (*part) {
        const char* end = std::strchr(part, '\\');
        std::string name = end ? std::string(part, end) : std::string(part);
        if (!name.empty()) {
            auto found = key->subkeys.find(name);
            if (found == key->subkeys.end()) {
                if (!create) {
                    return nullptr;
                }
                found = key->subkeys.emplace(name, std::unique_ptr<Key>(new Key)).first;
            }
            key = found->second.get();
        }
        part = end ? end + 1 : part + name.size();
    }
    return key;
}

long Open(RegKey root, const char* subkey, RegKey* key, bool create) {
    if (!key) {
        return kErrorInvalidParameter;
    }
    *key = nullptr;
    if (!root) {
        return kErrorInvalidHandle;
    }
    std::lock_guard<std::mutex> hold(lock);
    Key* found = Walk(static_cast<Key*>(root), subkey, create);
    if (!found) {
        return kErrorFileNotFound;
    }
    *key = found;
    return kErrorSuccess;
}

std::string NameOf(const char* name) {
    return name ? name : "";
}

} // namespace

const RegKey kHkeyClassesRoot = &roots[0];
const RegKey kHkeyCurrentUser = &roots[1];
const RegKey kHkeyLocalMachine = &roots[2];
const RegKey kHkeyUsers = &roots[3];

long RegOpenKeyExA(RegKey root, const char* subkey, unsigned long /*access*/, RegKey* key) {
    return Open(root, subkey, key, false);
}

long RegCreateKeyExA(RegKey root, const char* subkey, unsigned long /*access*/, RegKey* key) {
    return Open(root, subkey, key, true);
}

long RegQueryValueExA(RegKey key, const char* name, unsigned long* type, unsigned char* data,
                      unsigned long* size) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if (data && !size) {
        return kErrorInvalidParameter;
    }
    std::lock_guard<std::mutex> hold(lock);
    const auto& values = static_cast<Key*>(key)->values;
    auto found = values.find(NameOf(name));
    if (found == values.end()) {
        return kErrorFileNotFound;
    }
    const Value& value = found->second;
    if (type) {
        *type = value.type;
    }
    if (!size) {
        return kErrorSuccess;
    }
    unsigned long needed = static_cast<unsigned long>(value.data.size());
    if (data && *size < needed) {
        *size = needed;
        return kErrorMoreData;
    }
    if (data && needed > 0) {
        std::memcpy(data, value.data.data(), needed);
    }
    *size = needed;
    return kErrorSuccess;
}

long RegSetValueExA(RegKey key, const char* name, unsigned long type, const unsigned char* data,
                    unsigned long size) {
    if (!key) {
        return kErrorInvalidHandle;
    }
    if (!data && size > 0) {
        return kErrorInvalidParameter;
    }
    std::lock_guard<std::mutex> hold(lock);
    Value& value = static_cast<Key*>(key)->values[NameOf(name)];
    value.type = type;
    value.data.assign(data, data + size);
    return kErrorSuccess;
}

// Keys live as long as the process, so a handle needs no release.
long RegCloseKey(RegKey key) {
    return key ? kErrorSuccess : kErrorInvalidHandle;
}

unsigned long ExpandEnvironmentStringsA(const char* source, char* target, unsigned long size) {
    if (!source) {
        return 0;
    }
    std::string result;
    for (const char* p = source; *p;) {
        const char* close = *p == '%' ? std::strchr(p + 1, '%') : nullptr;
        const char* value = nullptr;
        if (close && close > p + 1) {
            value = std::getenv(std::string(p + 1, close).c_str());
        }
        if (value) {
            result += value;
            p = close + 1;
        } else {
            result += *p++;
        }
    }
    unsigned long needed = static_cast<unsigned long>(result.size()) + 1;
    if (target && needed <= size) {
        std::memcpy(target, result.c_str(), needed);
    }
    return needed;
}

} // namespace platform
