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

WindowHandle FindWindowA(const char* className, const char* title) {
    return ::FindWindowA(className, title);
}

namespace {

struct Visit {
    WindowVisitor visit;
    void* context;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM visit) {
    auto* call = reinterpret_cast<Visit*>(visit);
    return call->visit(window, call->context) ? TRUE : FALSE;
}

} // namespace

void EnumWindows(WindowVisitor visit, void* context) {
    Visit call{visit, context};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&call));
}

int GetClassNameA(WindowHandle window, char* buffer, int size) {
    return ::GetClassNameA(static_cast<HWND>(window), buffer, size);
}

int GetWindowTextA(WindowHandle window, char* buffer, int size) {
    return ::GetWindowTextA(static_cast<HWND>(window), buffer, size);
}

} // namespace platform
