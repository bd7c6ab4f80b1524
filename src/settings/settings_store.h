#pragma once

#include "base/text_buffer.h"
#include "platform/sync.h"
#include "settings/registry_functions.h"

// The proxy's settings, read from the registry afresh on every call so that a value
// changed by another program applies to the next request. Getters with a default
// return it exactly when the read fails; lookups without one return 0.
class SettingsStore {
public:
    SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Moves the settings to root\path; a null root or path changes nothing (0).
    int SetRegRoot(RegRoot root, const char* path);

    int GetJ2KTransHost(TextBuffer& out) const;
    // 1 on, 0 off, -1 off and locked against the switch requests.
    int GetJ2KTransEnabled() const;
    int SetJ2KTransEnabled(int value) const;
    int GetJ2KTransMode() const;
    int SetJ2KTransMode(int value) const;
    int GetJ2KAlert() const;
    void ClearJ2KAlert() const;
    int GetWBAlert() const;
    void ClearWBAlert() const;
    int GetSearchURL(TextBuffer& out) const;
    int GetClientVersion(TextBuffer& out) const;

    // The learned per-host-and-directory and per-object decisions.
    int GetHostDir(const char* name, int& out) const;
    int SetHostDir(const char* name, int value) const;
    int GetObject(const char* name, int& out) const;
    int SetObject(const char* name, int value) const;
    int GetRedirect(const char* name, TextBuffer& out) const;
    int IsDomainListed(const char* name) const;
    int GetUserIds(TextBuffer& cid, TextBuffer& oid) const;

private:
    struct Location {
        RegRoot root;
        TextBuffer keyPath;
    };

    // SetRegRoot may run on the host's thread while agents read the settings. Every
    // call takes a copy of root and path under a lock held only for that copy, never
    // across a registry call, so a reader sees either the old or the new location.
    Location Current() const;
    int ReadDword(const char* name, int preset) const;
    int WriteDword(const char* name, int value) const;
    int ReadText(const char* name, TextBuffer& out) const;
    // Root and "<path>\<list>", or an empty subkey (which every call refuses).
    Location ListKey(const char* list) const;
    int ReadListDword(const char* list, const char* name, int& out) const;
    int WriteListDword(const char* list, const char* name, int value) const;

    mutable platform::CriticalSection locationLock_;
    RegRoot root_;
    TextBuffer keyPath_;
};
