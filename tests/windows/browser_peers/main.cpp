// browser-peers: plays a running Navigator for the tests of the browser configurators.
// Each event is one line on standard output, ending in a bare line feed:
//   browser-peers netscape [LOG]   "Netscape's Hidden Frame" and the NETSCAPE DDE service
//                                  (topic and item "WWW_Exit"); "ready", then "poke
//                                  WWW_Exit" and "done" ("wildcard connect" for a connect
//                                  naming no service); LOG gets "started" and "exited"
// Copied under the name netscape.exe it always plays Navigator, logging to netscape.log
// in its own folder, so that a copy the library starts itself can be observed too.
#include <cstdio>
#include <string>

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

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    char path[MAX_PATH] = {};
    std::string own(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    size_t nameStart = own.find_last_of("\\/") + 1; // npos + 1 is 0
    if (lstrcmpiA(own.c_str() + nameStart, "netscape.exe") == 0) {
        return RunNetscape(own.substr(0, nameStart) + "netscape.log");
    }
    if (argc >= 2 && argc <= 3 && std::string(argv[1]) == "netscape") {
        return RunNetscape(argc == 3 ? argv[2] : "");
    }
    PrintLine("error usage: browser-peers netscape [LOGFILE]");
    return 1;
}
