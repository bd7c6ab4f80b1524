// The engine as a native console program, for benchmarks and load runs: the proxy
// with its settings in memory, driven by the host application's console protocol
// (one command line in, one result line out). With --serve it turns on at once and
// runs until Ctrl-C or SIGTERM instead.
//
//   relvia-proxy [--serve] [--port N] [--idle-ms N]
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "browsers/browser_manager.h"
#include "browsers/ie_browser.h"
#include "control/lifecycle.h"
#include "platform/stop_request.h"
#include "settings/registry_functions.h"

namespace {

struct Options {
    bool serve = false;
    int port = 8080;
    unsigned long idleMs = 3 * 60 * 1000;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--serve") {
            options.serve = true;
            continue;
        }
        long value = i + 1 < argc ? std::strtol(argv[++i], nullptr, 10) : 0;
        if (name == "--port" && value > 0 && value < 65536) {
            options.port = static_cast<int>(value);
        } else if (name == "--idle-ms" && value > 0) {
            options.idleMs = static_cast<unsigned long>(value);
        } else {
            return false;
        }
    }
    return true;
}

void PrintLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// The settings key under HKEY_CURRENT_USER last given to "regroot".
std::string settingsKey;

std::string RunCommand(const std::string& line, bool& quit) {
    std::istringstream words(line);
    std::string verb;
    words >> verb;
    quit = verb == "quit";
    int number = 0;
    if (verb == "on") {
        return "on " + std::to_string(TurnOn(nullptr));
    }
    if (verb == "off") {
        TurnOff();
        return "off";
    }
    std::string root;
    if (verb == "regroot" && words >> root && root == "HKCU") {
        std::getline(words >> std::ws, settingsKey);
        return "regroot " +
               std::to_string(SetRegRoot(platform::kHkeyCurrentUser, settingsKey.c_str()));
    }
    std::string name;
    if (verb == "set" && words >> name) {
        // "set NAME TEXT": a string value in the settings key.
        std::string text;
        std::getline(words >> std::ws, text);
        return "set " +
               std::to_string(RegWriteString(platform::kHkeyCurrentUser, settingsKey.c_str(),
                                             name.c_str(), text.c_str()));
    }
    if (verb == "dword" && words >> name >> number) {
        return "dword " + std::to_string(RegWriteDword(platform::kHkeyCurrentUser,
                                                       settingsKey.c_str(), name.c_str(), number));
    }
    if (verb == "enable" && words >> number) {
        EnableJ2KTrans(number);
        return "enable";
    }
    if (verb == "mode" && words >> number) {
        SetJ2KTransMode(number);
        return "mode";
    }
    if (verb == "count") {
        int busy = -1;
        int idle = -1;
        int total = GetAgentCount(&busy, &idle);
        return "count " + std::to_string(total) + " " + std::to_string(busy) + " " +
               std::to_string(idle);
    }
    return quit ? "bye" : "error unknown command " + line;
}

// Turning on needs a browser to point at the proxy. The settings here start empty, so
// this program stands in for one: registered as the old Internet Explorer's program.
void RegisterStandInBrowser(const char* program) {
    BrowserManager probe;
    probe.DetectBrowsers();
    if (probe.First()) {
        return;
    }
    std::string command = "\"" + std::string(program) + "\" -Embedding";
    RegWriteString(platform::kHkeyLocalMachine, kIEComServerKey, nullptr, command.c_str());
}

void ReadCommands() {
    std::string line;
    bool quit = false;
    while (!quit && std::getline(std::cin, line)) {
        PrintLine(RunCommand(line, quit));
    }
}

} // namespace

int main(int argc, char** argv) {
    platform::HoldStopRequests();
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintLine("error usage: relvia-proxy [--serve] [--port N] [--idle-ms N]");
        return 1;
    }
    SetListenerOptions(options.port, options.idleMs);
    RegisterStandInBrowser(argv[0]);
    if (ModuleLoad() != 1) {
        PrintLine("error the socket layer did not start");
        return 1;
    }
    PrintLine("ready");
    if (options.serve) {
        TurnOn(nullptr);
        platform::WaitForStopRequest();
    } else {
        ReadCommands();
    }
    // Turning off first waits for every thread, so nothing outlives the engine.
    TurnOff();
    ModuleUnload();
    return 0;
}
