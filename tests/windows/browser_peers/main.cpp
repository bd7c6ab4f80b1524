// browser-peers: plays running browsers for the tests of the browser configurators.
// Each event is one line on standard output, ending in a bare line feed:
//   browser-peers ieframe N        N windows of class IEFrame titled "IEFrame 1".."IEFrame N";
//                                  "ready", then "closed IEFrame k" per WM_CLOSE, "done"
//   browser-peers cabinet TITLE... one CabinetWClass window per title; "ready", then
//                                  "closed cabinet TITLE" per WM_CLOSE, "done"
//   browser-peers netscape [LOG]   "Netscape's Hidden Frame" and the NETSCAPE DDE service
//                                  (topic and item "WWW_Exit"); "ready", then "poke
//                                  WWW_Exit" and "done" ("wildcard connect" for a connect
//                                  naming no service); LOG gets "started" and "exited"
// Copied under the name netscape.exe it always plays Navigator, logging to netscape.log
// in its own folder, so that a copy the library starts itself can be observed too.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <ddeml.h>

#include "append_line.h"

namespace {

void PrintLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

bool RegisterFrameClass(const char* className, WNDPROC procedure) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    return RegisterClassA(&windowClass) != 0;
}

void RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Frames: each keeps its "closed ..." line in its user data.

int openFrames = 0;

LRESULT CALLBACK FrameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        break;
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

// Visible popups rather than captioned frames: Wine's X11 driver leaves them to
// themselves instead of handing them to a window manager, and with none running (as
// under Xvfb) it would wait two seconds for each managed window to go.
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
        HWND frame =
            CreateWindowExA(0, className, titles[i].c_str(), WS_POPUP | WS_BORDER, 0, 0, 400, 300,
                            nullptr, nullptr, GetModuleHandleA(nullptr), &closedLines[i]);
        if (!frame) {
            PrintLine("error cannot create the window " + titles[i]);
            return 1;
        }
        ++openFrames;
        ShowWindow(frame, SW_SHOWNOACTIVATE);
    }
    PrintLine("ready");
    RunMessageLoop();
    PrintLine("done");
    return 0;
}

// Navigator's DDE exit service: a poke of item "WWW_Exit" is acknowledged and ends
// the message loop.

HSZ exitName = nullptr; // both the topic and the item

HDDEDATA CALLBACK ExitService(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA,
                              ULONG_PTR, ULONG_PTR) {
    switch (type) {
    case XTYP_CONNECT:
        return reinterpret_cast<HDDEDATA>(DdeCmpStringHandles(topic, exitName) == 0);
    case XTYP_WILDCONNECT:
        // Reported, so that a client that should have named the service is caught.
        PrintLine("wildcard connect");
        return nullptr;
    case XTYP_POKE:
        if (DdeCmpStringHandles(item, exitName) != 0 || format != CF_TEXT) {
            return reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED);
        }
        PrintLine("poke WWW_Exit");
        PostQuitMessage(0);
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    return nullptr;
}

int RunNetscape(const std::string& logPath) {
    const char frameClass[] = "BrowserPeerHiddenFrame";
    DWORD instance = 0;
    HWND frame = nullptr; // never shown, as in the real program
    HSZ service = nullptr;
    if (RegisterFrameClass(frameClass, DefWindowProcA)) {
        frame = CreateWindowExA(0, frameClass, "Netscape's Hidden Frame", WS_OVERLAPPEDWINDOW, 0, 0,
                                100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }
    if (frame && DdeInitializeA(&instance, ExitService,
                                APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_REQUESTS |
                                    CBF_FAIL_EXECUTES | CBF_SKIP_ALLNOTIFICATIONS,
                                0) == DMLERR_NO_ERROR) {
        service = DdeCreateStringHandleA(instance, "NETSCAPE", CP_WINANSI);
        exitName = DdeCreateStringHandleA(instance, "WWW_Exit", CP_WINANSI);
    }
    if (!service || !exitName || !DdeNameService(instance, service, nullptr, DNS_REGISTER)) {
        PrintLine("error cannot create the hidden frame or the DDE service");
        return 1;
    }
    PrintLine("ready");
    // Logged once the frame and the service exist, so a test that sees it can ask the
    // running Navigator to end.
    if (!logPath.empty()) {
        AppendLine(logPath, "started");
    }
    RunMessageLoop();
    DdeNameService(instance, service, nullptr, DNS_UNREGISTER);
    DdeUninitialize(instance);
    DestroyWindow(frame);
    PrintLine("done");
    if (!logPath.empty()) {
        AppendLine(logPath, "exited");
    }
    return 0;
}

int RunMode(const std::vector<std::string>& arguments) {
    const std::string mode = arguments.empty() ? std::string() : arguments[0];
    if (mode == "ieframe" && arguments.size() == 2 && std::atoi(arguments[1].c_str()) > 0) {
        std::vector<std::string> titles;
        for (int k = 1; k <= std::atoi(arguments[1].c_str()); ++k) {
            titles.push_back("IEFrame " + std::to_string(k));
        }
        return RunFrames("IEFrame", titles, "closed ");
    }
    if (mode == "cabinet" && arguments.size() >= 2) {
        return RunFrames("CabinetWClass", {arguments.begin() + 1, arguments.end()},
                         "closed cabinet ");
    }
    if (mode == "netscape" && arguments.size() <= 2) {
        return RunNetscape(arguments.size() == 2 ? arguments[1] : std::string());
    }
    PrintLine("error usage: browser-peers ieframe N | cabinet TITLE... | netscape [LOGFILE]");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    char path[MAX_PATH] = {};
    std::string own(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    size_t nameStart = own.find_last_of("\\/") + 1; // npos + 1 is 0
    if (lstrcmpiA(own.c_str() + nameStart, "netscape.exe") == 0) {
        return RunNetscape(own.substr(0, nameStart) + "netscape.log");
    }
    return RunMode({argv + 1, argv + argc});
}
