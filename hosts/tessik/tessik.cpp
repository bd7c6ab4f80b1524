// Tessik.dll: WinINet's "settings changed" notice, then its request to reread them.
#include <windows.h>

#include <wininet.h>

#include "tessik.h"

extern "C" int tessik_Apply() {
    bool changed = InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    bool refreshed = InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
    return changed && refreshed ? 1 : 0;
}
