#pragma once

#include <cstdint>

// The few window calls the engine makes, shaped after Win32. Without a window
// system (the native build) no window exists.

namespace platform {

using WindowHandle = void*;

const unsigned int kWmClose = 16;

bool IsWindow(WindowHandle window);
bool PostMessageA(WindowHandle window, unsigned int message, std::uintptr_t wParam,
                  std::intptr_t lParam);
// A top-level window of that class and title (null for either matches any), or null.
WindowHandle FindWindowA(const char* className, const char* title);
// Calls `visit` for every top-level window, in the system's order, until it returns false.
using WindowVisitor = bool (*)(WindowHandle window, void* context);
void EnumWindows(WindowVisitor visit, void* context);
// Copy the class name or title into `buffer` (terminated); the length copied, 0 on failure.
int GetClassNameA(WindowHandle window, char* buffer, int size);
int GetWindowTextA(WindowHandle window, char* buffer, int size);

} // namespace platform
