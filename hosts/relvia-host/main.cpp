// The suite's host application: loads Relvia.dll, owns the main window and drives
// the library's exports, from a small window or from standard input (--console).
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "browser_record.h"
#include "host_window.h"
#include "relvia_library.h"

namespace {

struct Options {
    bool console = false;
    std::string libraryPath;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    options.libraryPath = DefaultLibraryPath();
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--console") {
            options.console = true;
        } else if (argument == "--dll" && i + 1 < argc) {
            options.libraryPath = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

// Reads commands until "quit" or the end of input, each run on the window's thread.
void ReadCommands(HostWindow& window) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!window.Execute(line)) {
            return;
        }
    }
    window.Execute("quit");
}

} // namespace

int main(int argc, char** argv) {
    // Protocol lines end in a bare line feed, as scripts expect.
    _setmode(_fileno(stdout), _O_BINARY);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        PrintLine("error usage: relvia-host [--console] [--dll PATH]");
        return 1;
    }
    // An earlier run that ended while on left the browsers pointing at the proxy.
    if (int restored = RestoreLeftOverBrowsers()) {
        std::fprintf(stderr, "relvia-host: gave %d browsers their settings back\n", restored);
    }
    RelviaLibrary library;
    std::string error;
    if (!library.Load(options.libraryPath, error)) {
        PrintLine("error " + error);
        return 1;
    }
    HostWindow window(library, options.console);
    if (!window.Create(GetModuleHandleA(nullptr))) {
        PrintLine("error cannot create the main window");
        library.Free();
        return 1;
    }
    if (!options.console) {
        return window.Loop();
    }
    PrintLine("ready");
    std::thread reader(ReadCommands, std::ref(window));
    int result = window.Loop();
    reader.join();
    return result;
}
