// The Internet Explorer close paths and the Navigator exit request against real
// windows and a DDE service of another program:
// browser-peers.exe, built beside this test, plays the running browser.
#include "browsers/ie_browser.h"
#include "platform/dde.h"

#include <chrono>
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
        if (!CreatePipe(&output_, &writeEnd, &inherit, 0)) {
            return;
        }
        SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = writeEnd;
        std::string command = "\"" + ProgramPath() + "\" " + arguments;
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process_);
        CloseHandle(writeEnd);
    }
    ~Peers() {
        if (process_.hProcess) {
            TerminateProcess(process_.hProcess, 1);
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        CloseHandle(output_);
    }

    // The next line, or "(none)" when the program said nothing more within a minute.
    std::string ReadLine() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::string line;
        while (std::chrono::steady_clock::now() < deadline) {
            DWORD waiting = 0;
            if (!PeekNamedPipe(output_, nullptr, 0, nullptr, &waiting, nullptr)) {
                break;
            }
            char c;
            DWORD read = 0;
            if (waiting == 0) {
                Sleep(10);
            } else if (ReadFile(output_, &c, 1, &read, nullptr) && read == 1) {
                if (c == '\n') {
                    return line;
                }
                line += c;
            }
        }
        return "(none)";
    }

private:
    static std::string ProgramPath() {
        char own[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, own, MAX_PATH);
        std::string path = own;
        return path.substr(0, path.find_last_of('\\') + 1) + "browser-peers.exe";
    }

    HANDLE output_ = nullptr;
    PROCESS_INFORMATION process_ = {};
};

} // namespace

TEST(BrowserWindows, EveryFrameIsClosedUntilNoneIsLeft) {
    Peers frames("ieframe 3");
    ASSERT_EQ("ready", frames.ReadLine());
    IEBrowser browser;
    EXPECT_EQ(1, browser.IsRunning());
    EXPECT_EQ(1, browser.CloseRunning());
    for (int closed = 0; closed < 3; ++closed) {
        EXPECT_EQ(0u, frames.ReadLine().rfind("closed IEFrame ", 0));
    }
    EXPECT_EQ("done", frames.ReadLine());
    EXPECT_EQ(0, browser.IsRunning());
    EXPECT_EQ(0, browser.CloseRunning());
}

TEST(BrowserWindows, ShellWindowsWithAPageTitleAreClosedInsteadOfFrames) {
    Peers shells("cabinet \"Start - Internet Explorer\" \" - leading\" Folder");
    ASSERT_EQ("ready", shells.ReadLine());
    Peers frames("ieframe 1");
    ASSERT_EQ("ready", frames.ReadLine());
    IE4Browser browser;
    EXPECT_EQ(1, browser.IsRunning());
    EXPECT_EQ(1, browser.CloseRunning());
    EXPECT_EQ("closed cabinet Start - Internet Explorer", shells.ReadLine());
    // Only that one: " - " must come after the first character, and the frame stays.
    IE4Browser again;
    EXPECT_EQ(1, again.IsRunning());
    EXPECT_EQ(1, again.CloseRunning());
    EXPECT_EQ("closed IEFrame 1", frames.ReadLine());
}

// A name DDE cannot make (longer than an atom) must not leave the service open: the
// connect would then be a wildcard one that any server may answer.
TEST(BrowserWindows, AnExitRequestGoesOnlyToTheServiceNamed) {
    Peers navigator("netscape");
    ASSERT_EQ("ready", navigator.ReadLine());
    unsigned long instance = platform::DdeStartClient();
    ASSERT_NE(0ul, instance);
    std::string unnamable(300, 'N');
    EXPECT_EQ(-1, platform::DdePokeEmpty(instance, unnamable.c_str(), "WWW_Exit", "WWW_Exit"));
    EXPECT_EQ(-1, platform::DdePokeEmpty(instance, "NETSCAPE", unnamable.c_str(), "WWW_Exit"));
    EXPECT_EQ(1, platform::DdePokeEmpty(instance, "NETSCAPE", "WWW_Exit", "WWW_Exit"));
    EXPECT_EQ("poke WWW_Exit", navigator.ReadLine());
    platform::DdeStopClient(instance);
}
