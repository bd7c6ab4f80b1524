#include "settings/settings_store.h"

#include <utility>

#include "settings/defaults.h"

SettingsStore::SettingsStore() : root_(platform::kHkeyLocalMachine), keyPath_(kDefaultKeyPath) {}

int SettingsStore::SetRegRoot(RegRoot root, const char* path) {
    if (!root || !path) {
        return 0;
    }
    TextBuffer replacement(path);
    platform::CriticalSectionGuard hold(locationLock_);
    root_ = root;
    keyPath_ = std::move(replacement);
    return 1;
}

SettingsStore::Location SettingsStore::Current() const {
    platform::CriticalSectionGuard hold(locationLock_);
    return Location{root_, keyPath_};
}

SettingsStore::Location SettingsStore::ListKey(const char* list) const {
    Location location = Current();
    if (location.keyPath.IsEmpty() ||
        !location.keyPath.Format("%s\\%s", location.keyPath.CStr(), list)) {
        location.keyPath.Empty();
    }
    return location;
}

int SettingsStore::ReadDword(const char* name, int preset) const {
    Location location = Current();
    int value = preset;
    RegReadDword(location.root, location.keyPath.CStr(), name, value);
    return value;
}

int SettingsStore::WriteDword(const char* name, int value) const {
    Location location = Current();
    return RegWriteDword(location.root, location.keyPath.CStr(), name, value);
}

int SettingsStore::ReadText(const char* name, TextBuffer& out) const {
    Location location = Current();
    return RegReadText(location.root, location.keyPath.CStr(), name, out);
}

int SettingsStore::GetJ2KTransHost(TextBuffer& out) const {
    if (!ReadText("J2KTransHost", out)) {
        out.Assign(kDefaultJ2KTransHost);
    }
    return 1;
}

int SettingsStore::GetJ2KTransEnabled() const {
    return ReadDword("J2KTransEnabled", 0);
}

int SettingsStore::SetJ2KTransEnabled(int value) const {
    return WriteDword("J2KTransEnabled", value);
}

int SettingsStore::GetJ2KTransMode() const {
    return ReadDword("J2KTransMode", 1);
}

int SettingsStore::SetJ2KTransMode(int value) const {
    return WriteDword("J2KTransMode", value);
}

int SettingsStore::GetJ2KAlert() const {
    return ReadDword("J2KAlert", 1);
}

void SettingsStore::ClearJ2KAlert() const {
    WriteDword("J2KAlert", 0);
}

int SettingsStore::GetWBAlert() const {
    return ReadDword("WBAlert", 1);
}

void SettingsStore::ClearWBAlert() const {
    WriteDword("WBAlert", 0);
}

int SettingsStore::GetSearchURL(TextBuffer& out) const {
    if (!ReadText("SearchURL", out)) {
        out.Assign(kDefaultSearchUrl);
    }
    return 1;
}

int SettingsStore::GetClientVersion(TextBuffer& out) const {
    out.Assign(kDefaultClientVersion);
    ReadText("ClientVersion", out);
    return 1;
}

int SettingsStore::ReadListDword(const char* list, const char* name, int& out) const {
    Location key = ListKey(list);
    return RegReadDword(key.root, key.keyPath.CStr(), name, out);
}

int SettingsStore::WriteListDword(const char* list, const char* name, int value) const {
    Location key = ListKey(list);
    return RegWriteDword(key.root, key.keyPath.CStr(), name, value);
}

int SettingsStore::GetHostDir(const char* name, int& out) const {
    return ReadListDword("HostDir", name, out);
}

int SettingsStore::SetHostDir(const char* name, int value) const {
    return WriteListDword("HostDir", name, value);
}

int SettingsStore::GetObject(const char* name, int& out) const {
    return ReadListDword("Object", name, out);
}

int SettingsStore::SetObject(const char* name, int value) const {
    return WriteListDword("Object", name, value);
}

int SettingsStore::GetRedirect(const char* name, TextBuffer& out) const {
    Location key = ListKey("Redirect");
    return RegReadText(key.root, key.keyPath.CStr(), name, out);
}

// Only the presence of a readable number counts, not its value.
int SettingsStore::IsDomainListed(const char* name) const {
    int scratch = 0;
    return ReadListDword("Domain", name, scratch);
}

int SettingsStore::GetUserIds(TextBuffer& cid, TextBuffer& oid) const {
    Location location = Current();
    cid.Assign(kDefaultUserId);
    oid.Assign(kDefaultUserId);
    RegReadText(location.root, kUserKeyPath, "CID", cid);
    RegReadText(location.root, kUserKeyPath, "OID", oid);
    return 1;
}
