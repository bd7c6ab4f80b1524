// The suite's host application: loads Relvia.dll, owns the main window and drives
// the library's exports, from a small window or from standard input (--console).
#include <cstdio>
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

HWND hostWindow = nullptr;

// Hands every line of standard input to the window, and "quit" at its end. Reads
// the handle itself rather than through the C library, whose stream lock a reader
// blocked here would hold while the process exits.
void ReadCommands(HWND window) {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string text;
    char block[512];
    DWORD count = 0;
    bool open = true;
    while (open) {
        open = ReadFile(input, block, sizeof block, &count, nullptr) && count > 0;
        text.append(block, open ? count : 0);
        if (!open && !text.empty() && text.back() != '\n') {
            text += '\n';
        }
        for (size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
            std::string line = text.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (!HostWindow::PostLine(window, line)) {
                return;
            }
        }
    }
    HostWindow::PostLine(window, "quit");
}

// Ctrl-C, Ctrl-Break, the console window closed, logging off, shutting down: each
// ends the run as "quit" does before the process goes.
BOOL WINAPI OnConsoleEvent(DWORD) {
    HostWindow::EndRun(hostWindow);
    return TRUE;
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
    if (int restored = RestoreRecordedBrowsers()) {
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
    hostWindow = window.Handle();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    if (options.console) {
        PrintLine("ready");
        // Not joined: once the window is gone the process ends, even while the reader
        // still waits for input.
        std::thread(ReadCommands, hostWindow).detach();
    }
    return window.Loop();
}
