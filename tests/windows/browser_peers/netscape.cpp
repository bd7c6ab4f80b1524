#include "netscape.h"

#include "append_line.h"
#include "exit_server.h"
#include "peer_support.h"

namespace {

const char kFrameClass[] = "BrowserPeerHiddenFrame";

// Never shown, as in the real program.
HWND CreateHiddenFrame() {
    if (!RegisterFrameClass(kFrameClass, DefWindowProcA)) {
        return nullptr;
    }
    return CreateWindowExA(0, kFrameClass, "Netscape's Hidden Frame", WS_OVERLAPPEDWINDOW, 0, 0,
                           100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void Log(const std::string& logPath, const char* event) {
    if (!logPath.empty()) {
        AppendLine(logPath, event);
    }
}

} // namespace

int RunNetscape(const std::string& logPath) {
    HWND frame = CreateHiddenFrame();
    if (!frame || !StartExitServer()) {
        PrintLine("error cannot create the hidden frame or the DDE service");
        return 1;
    }
    PrintLine("ready");
    // Logged once the frame and the service exist, so a test that sees it can ask
    // the running Navigator to end.
    Log(logPath, "started");
    RunMessageLoop();
    StopExitServer();
    DestroyWindow(frame);
    PrintLine("done");
    Log(logPath, "exited");
    return 0;
}
