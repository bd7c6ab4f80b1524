#include "platform/window.h"

namespace platform {

bool IsWindow(WindowHandle /*window*/) {
    return false;
}

bool PostMessageA(WindowHandle /*window*/, unsigned int /*message*/, std::uintptr_t /*wParam*/,
                  std::intptr_t /*lParam*/) {
    return false;
}

WindowHandle FindWindowA(const char* /*className*/, const char* /*title*/) {
    return nullptr;
}

void EnumWindows(WindowVisitor /*visit*/, void* /*context*/) {}

int GetClassNameA(WindowHandle /*window*/, char* buffer, int size) {
    if (buffer && size > 0) {
        buffer[0] = '\0';
    }
    return 0;
}

int GetWindowTextA(WindowHandle window, char* buffer, int size) {
    return GetClassNameA(window, buffer, size);
}

} // namespace platform
