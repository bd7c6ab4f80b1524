// Quenlo.dll: the names of the dial-up phonebook entries, as Remote Access lists them.
#include <new>
#include <vector>

#include <windows.h>

#include <ras.h>
#include <raserror.h>

#include "quenlo.h"

namespace {

// All phonebook entries; when Remote Access reports a bigger size the buffer grows
// (at least twice as large, so a list that keeps growing meanwhile still ends).
std::vector<RASENTRYNAMEA> PhonebookEntries() {
    std::vector<RASENTRYNAMEA> entries(1);
    for (;;) {
        entries[0].dwSize = sizeof(RASENTRYNAMEA);
        DWORD bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEA));
        DWORD count = 0;
        DWORD result = RasEnumEntriesA(nullptr, nullptr, entries.data(), &bytes, &count);
        if (result == ERROR_SUCCESS) {
            entries.resize(count);
            return entries;
        }
        if (result != ERROR_BUFFER_TOO_SMALL) {
            return {};
        }
        entries.resize(std::max<size_t>(entries.size() * 2, bytes / sizeof(RASENTRYNAMEA) + 1));
    }
}

} // namespace

extern "C" int qnlo_GetNames(char** names) {
    try {
        std::vector<RASENTRYNAMEA> entries = PhonebookEntries();
        int written = 0;
        for (size_t i = 0; i < entries.size() && written < kQuenloMaxNames; ++i) {
            QuenloStoreName(names[written++], entries[i].szEntryName);
        }
        return written;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}
