#include "ui/win32/open_dialogs.h"

#include <algorithm>
#include <vector>

#include "platform/sync.h"
#include "ui/dialogs.h"

namespace {

platform::CriticalSection openLock;
std::vector<HWND> openDialogs;
bool closing = false;

void Close(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

} // namespace

void RememberOpenDialog(HWND window) {
    platform::CriticalSectionGuard hold(openLock);
    openDialogs.push_back(window);
    if (closing) {
        Close(window);
    }
}

void ForgetOpenDialog(HWND window) {
    platform::CriticalSectionGuard hold(openLock);
    openDialogs.erase(std::remove(openDialogs.begin(), openDialogs.end(), window),
                      openDialogs.end());
}

void CloseDialogs() {
    platform::CriticalSectionGuard hold(openLock);
    closing = true;
    std::for_each(openDialogs.begin(), openDialogs.end(), Close);
}

void AllowDialogs() {
    platform::CriticalSectionGuard hold(openLock);
    closing = false;
}
