#include "platform/window.h"

#include <windows.h>

namespace platform {

bool IsWindow(WindowHandle window) {
    return ::IsWindow(static_cast<HWND>(window)) != FALSE;
}

bool PostMessageA(WindowHandle window, unsigned int message, std::uintptr_t wParam,
                  std::intptr_t lParam) {
    return ::PostMessageA(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

} // namespace platform
