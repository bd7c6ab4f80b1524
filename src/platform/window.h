#pragma once

#include <cstdint>

// The few window calls the engine makes, shaped after Win32. Without a window
// system (the native build) no window exists.

namespace platform {

using WindowHandle = void*;

bool IsWindow(WindowHandle window);
bool PostMessageA(WindowHandle window, unsigned int message, std::uintptr_t wParam,
                  std::intptr_t lParam);

} // namespace platform
