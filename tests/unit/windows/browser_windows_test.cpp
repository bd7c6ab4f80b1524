// Closing a running Internet Explorer, against real windows of browser-peers.exe, built
// beside this test.
#include "browsers/ie_browser.h"

#include <chrono>
#include <set>
#include <string>

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// browser-peers.exe with `arguments`, its output read line by line.
class Peers {
public:
    explicit Peers(const std::string& arguments) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE writeEnd = nullptr;
        CreatePipe(&output_, &writeEnd, &inherit, 0);
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = writeEnd;
        char own[MAX_PATH] = {};
        std::string path(own, GetModuleFileNameA(nullptr, own, MAX_PATH));
        std::string command =
            "\"" + path.substr(0, path.rfind('\\')) + "\\browser-peers.exe\" " + arguments;
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process_);
        CloseHandle(writeEnd);
    }
    ~Peers() {
        TerminateProcess(process_.hProcess, 1);
        for (HANDLE handle : {process_.hProcess, process_.hThread, output_}) {
            CloseHandle(handle);
        }
    }
    // The next line, or "(none)" when the program says nothing more within a minute.
    std::string ReadLine() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::string line;
        for (DWORD waiting = 0, read = 0; std::chrono::steady_clock::now() < deadline;) {
            char c = 0;
            if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &waiting, nullptr)) {
                break;
            } else if (waiting == 0) {
                Sleep(10);
            } else if (ReadFile(output_, &c, 1, &read, nullptr) && c == '\n') {
                return line;
            } else {
                line += c;
            }
        }
        return "(none)";
    }

private:
    HANDLE output_ = nullptr;
    PROCESS_INFORMATION process_ = {};
};

// Whether `browser` finds itself running, then whether it closed anything.
std::string RunningThenClosed(IEBrowser&& browser) {
    int running = browser.IsRunning();
    return std::to_string(running) + " " + std::to_string(browser.CloseRunning());
}

} // namespace

// Every frame is closed until none is left. Version 4 first closes the shell windows
// whose title has " - " after its first character, and only those.
TEST(BrowserWindows, RunningInternetExplorersAreClosed) {
    Peers frames("ieframe 3");
    ASSERT_EQ("ready", frames.ReadLine());
    EXPECT_EQ("1 1", RunningThenClosed(IEBrowser()));
    std::set<std::string> closed; // in whatever order the windows are found
    for (int i = 0; i < 3; ++i) {
        closed.insert(frames.ReadLine());
    }
    EXPECT_EQ((std::set<std::string>{"closed IEFrame 1", "closed IEFrame 2", "closed IEFrame 3"}),
              closed);
    EXPECT_EQ("done", frames.ReadLine());
    EXPECT_EQ("0 0", RunningThenClosed(IEBrowser()));
    Peers shells("cabinet \"Start - Internet Explorer\" \" - leading\" Folder");
    Peers frame("ieframe 1");
    ASSERT_EQ("ready ready", shells.ReadLine() + " " + frame.ReadLine());
    EXPECT_EQ("1 1", RunningThenClosed(IE4Browser()));
    EXPECT_EQ("closed cabinet Start - Internet Explorer", shells.ReadLine());
    EXPECT_EQ("1 1", RunningThenClosed(IE4Browser()));
    EXPECT_EQ("closed IEFrame 1", frame.ReadLine());
}
