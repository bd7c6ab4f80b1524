#pragma once

#include "base/text_buffer.h"
#include "platform/sync.h"
#include "proxy/name_value.h"

// Host name to dotted IPv4 address, kept for as long as the proxy is on. Shared by
// every agent; entries are appended in order and never replaced or removed.
class HostNameCache {
public:
    HostNameCache() = default;
    HostNameCache(const HostNameCache&) = delete;
    HostNameCache& operator=(const HostNameCache&) = delete;
    virtual ~HostNameCache();

    // 1 with `address` set, or 0 when the name cannot be resolved. Dotted addresses
    // come back unchanged and are not stored; names match byte for byte.
    int Resolve(const char* name, TextBuffer& address);

    int Count() const;

private:
    // Guards the chain. Searching and appending hold it only briefly; the resolver is
    // asked without it, so a slow lookup does not hold up other agents.
    mutable platform::CriticalSection lock_;
    NameValue* entries_ = nullptr;
};
