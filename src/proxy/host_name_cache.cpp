#include "proxy/host_name_cache.h"

#include <cstring>
#include <new>

#include "platform/socket.h"

HostNameCache::~HostNameCache() {
    delete entries_;
}

int HostNameCache::Resolve(const char* name, TextBuffer& address) {
    if (!name || !name[0]) {
        return 0;
    }
    if (platform::InetAddr(name) != platform::kInaddrNone) {
        return address.Assign(name);
    }
    {
        platform::CriticalSectionGuard hold(lock_);
        for (NameValue* entry = entries_; entry; entry = entry->Next()) {
            if (std::strcmp(entry->GetName(), name) == 0) {
                return address.Assign(entry->GetValue());
            }
        }
    }
    char dotted[64] = {};
    if (!platform::ResolveHostName(name, dotted, sizeof dotted)) {
        return 0;
    }
    // The entry is complete before it joins the chain, under the lock.
    NameValue* entry = new (std::nothrow) NameValue(name, dotted);
    if (entry && entry->GetName() && entry->GetValue()) {
        platform::CriticalSectionGuard hold(lock_);
        AppendNode(entries_, entry);
    } else {
        delete entry;
    }
    return address.Assign(dotted);
}

int HostNameCache::Count() const {
    platform::CriticalSectionGuard hold(lock_);
    return entries_ ? entries_->Count() : 0;
}
