// dialog-probe: reports the dialogs on the screen for the dialog tests, which cannot
// see inside Wine's windows from X. For every top-level window of the dialog class:
//   dialog <handle> <title in hex> <x> <y> <width> <height>
// and for each of its child controls, in template order:
//   control <id> <class> <visible 0|1> <checked 0|1> <x> <y> <width> <height> <text in hex>
// with screen coordinates, then "end". Titles and texts are given as the hex of their
// ANSI bytes ("-" for none), so Korean text arrives intact.
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

std::string Hex(const char* text) {
    std::string out;
    char pair[3];
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        std::snprintf(pair, sizeof pair, "%02x", *p);
        out += pair;
    }
    return out.empty() ? "-" : out;
}

void PrintRect(const RECT& r, const char* tail = nullptr) {
    std::printf(" %ld %ld %ld %ld%s%s\n", r.left, r.top, r.right - r.left, r.bottom - r.top,
                tail ? " " : "", tail ? tail : "");
}

void PrintControls(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[64] = {};
        GetClassNameA(child, className, sizeof className);
        RECT place;
        GetWindowRect(child, &place);
        bool checked = SendMessageA(child, BM_GETCHECK, 0, 0) == BST_CHECKED &&
                       lstrcmpA(className, "Button") == 0;
        char text[512] = {};
        GetWindowTextA(child, text, sizeof text);
        std::printf("control %d %s %d %d", GetDlgCtrlID(child), className,
                    IsWindowVisible(child) ? 1 : 0, checked ? 1 : 0);
        PrintRect(place, Hex(text).c_str());
    }
}

BOOL CALLBACK VisitWindow(HWND window, LPARAM) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window)) {
        return TRUE;
    }
    char title[512] = {};
    GetWindowTextA(window, title, sizeof title);
    RECT place;
    GetWindowRect(window, &place);
    std::printf("dialog %p %s", static_cast<void*>(window), Hex(title).c_str());
    PrintRect(place);
    PrintControls(window);
    return TRUE;
}

} // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    EnumWindows(VisitWindow, 0);
    std::printf("end\n");
    return 0;
}
