#include "platform/window.h"

namespace platform {

bool IsWindow(WindowHandle /*window*/) {
    return false;
}

bool PostMessageA(WindowHandle /*window*/, unsigned int /*message*/, std::uintptr_t /*wParam*/,
                  std::intptr_t /*lParam*/) {
    return false;
}

} // namespace platform
