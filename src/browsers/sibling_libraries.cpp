#include "browsers/sibling_libraries.h"

#include <new>

#include "platform/library.h"

namespace {

const int kMaxNames = 100;
const int kNameSize = 256;

// qnlo_GetNames fills the buffers the caller gives (the caller cleans the stack).
using GetNamesFunction = int (*)(char** names);
using ApplyFunction = int (*)();

// The names, each ended by a line feed; the count, capped at kMaxNames.
int CollectNames(GetNamesFunction getNames, TextBuffer& out) {
    char* names[kMaxNames] = {};
    char* storage = new (std::nothrow) char[kMaxNames * kNameSize];
    if (!storage) {
        return 0;
    }
    for (int i = 0; i < kMaxNames; ++i) {
        names[i] = storage + i * kNameSize;
        names[i][0] = '\0';
    }
    int count = getNames(names);
    count = count > kMaxNames ? kMaxNames : count;
    for (int i = 0; i < count; ++i) {
        names[i][kNameSize - 1] = '\0';
        out.Append(names[i]);
        out.Append("\n");
    }
    delete[] storage;
    return count > 0 ? count : 0;
}

} // namespace

int GetConnectionNames(TextBuffer& out) {
    out.Empty();
    platform::Library library = platform::LoadLibraryA("Quenlo.dll");
    if (!library) {
        return 0;
    }
    auto getNames =
        reinterpret_cast<GetNamesFunction>(platform::GetProcAddress(library, "qnlo_GetNames"));
    int count = getNames ? CollectNames(getNames, out) : 0;
    platform::FreeLibrary(library);
    return count;
}

int NotifySettingsChanged() {
    platform::Library library = platform::LoadLibraryA("Tessik.dll");
    if (!library) {
        return 0;
    }
    auto apply = reinterpret_cast<ApplyFunction>(platform::GetProcAddress(library, "tessik_Apply"));
    int result = apply ? apply() : 0;
    platform::FreeLibrary(library);
    return result;
}
