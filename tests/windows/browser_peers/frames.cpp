#include "frames.h"

#include "peer_support.h"

namespace {

int openFrames = 0;

// Each frame keeps its "closed ..." line in its user data.
LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE: {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case WM_CLOSE:
        PrintLine(*reinterpret_cast<const std::string*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (--openFrames == 0) {
            PostQuitMessage(0);
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A visible popup rather than a captioned frame: Wine's X11 driver leaves it to itself
// instead of handing it to a window manager, and with none running (as under Xvfb) it
// would wait two seconds for each managed window to go.
bool OpenFrame(const char* className, const std::string& title, const std::string& closedLine) {
    HWND frame =
        CreateWindowExA(0, className, title.c_str(), WS_POPUP | WS_BORDER, 0, 0, 400, 300, nullptr,
                        nullptr, GetModuleHandleA(nullptr), const_cast<std::string*>(&closedLine));
    if (!frame) {
        return false;
    }
    ++openFrames;
    ShowWindow(frame, SW_SHOWNOACTIVATE);
    return true;
}

} // namespace

int RunFrames(const char* className, const std::vector<std::string>& titles,
              const std::string& closedPrefix) {
    std::vector<std::string> closedLines;
    for (const std::string& title : titles) {
        closedLines.push_back(closedPrefix + title);
    }
    if (!RegisterFrameClass(className, FrameProcedure)) {
        PrintLine("error cannot register the window class");
        return 1;
    }
    for (size_t i = 0; i < titles.size(); ++i) {
        if (!OpenFrame(className, titles[i], closedLines[i])) {
            PrintLine("error cannot create the window " + titles[i]);
            return 1;
        }
    }
    PrintLine("ready");
    RunMessageLoop();
    PrintLine("done");
    return 0;
}
