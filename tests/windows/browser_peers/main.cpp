// browser-peers: plays running browsers for the tests of the browser configurators.
// Each event is one line on standard output, ending in a bare line feed:
//   browser-peers ieframe N        N windows of class IEFrame titled "IEFrame 1".."IEFrame N";
//                                  "ready", then "closed IEFrame k" per WM_CLOSE, "done"
//   browser-peers cabinet TITLE... one CabinetWClass window per title; "ready", then
//                                  "closed cabinet TITLE" per WM_CLOSE, "done"
//   browser-peers netscape [LOG]   "Netscape's Hidden Frame" and the NETSCAPE DDE service;
//                                  "ready", then "poke WWW_Exit" and "done" ("wildcard
//                                  connect" for a connect naming no service); LOG gets the
//                                  lines "started" and "exited"
// Copied under the name netscape.exe it always plays Navigator, logging to netscape.log
// in its own folder, so that a copy the library starts itself can be observed too.
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "frames.h"
#include "netscape.h"
#include "peer_support.h"

namespace {

// This program's folder (with its trailing separator) and file name.
std::string OwnPath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

size_t FileNameStart(const std::string& path) {
    size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? 0 : separator + 1;
}

int RunIeFrames(const std::string& countText) {
    int count = std::atoi(countText.c_str());
    if (count <= 0) {
        PrintLine("error the window count must be positive");
        return 1;
    }
    std::vector<std::string> titles;
    for (int k = 1; k <= count; ++k) {
        titles.push_back("IEFrame " + std::to_string(k));
    }
    return RunFrames("IEFrame", titles, "closed ");
}

int RunMode(const std::vector<std::string>& arguments) {
    const std::string mode = arguments.empty() ? std::string() : arguments[0];
    if (mode == "ieframe" && arguments.size() == 2) {
        return RunIeFrames(arguments[1]);
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
    std::string own = OwnPath();
    size_t nameStart = FileNameStart(own);
    if (lstrcmpiA(own.c_str() + nameStart, "netscape.exe") == 0) {
        return RunNetscape(own.substr(0, nameStart) + "netscape.log");
    }
    return RunMode({argv + 1, argv + argc});
}
