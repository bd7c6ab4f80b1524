#include <cstdio>
#include <fstream>
#include <iterator>
#include <tuple>

#include "browsers/browser_manager.h"
#include "browsers/ie_browser.h"
#include "browsers/netscape_browser.h"
#include "platform/files.h"
#include "settings/registry_functions.h"
#include "test_support.h"
#include "ui/dialogs.h"

namespace {

const RegRoot kHklm = platform::kHkeyLocalMachine;
const RegRoot kHkcu = platform::kHkeyCurrentUser;
const char kIEKey[] = "Software\\Microsoft\\Internet Explorer";
const char kSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string kNavigatorKey = "Software\\Netscape\\Netscape Navigator";
const std::string kPref = "user_pref(\"network.proxy.";
const std::string kApplyLines = kPref + "ftp\", \"127.0.0.1\");\n" + kPref +
                                "ftp_port\", 8080);\n" + kPref + "http\", \"127.0.0.1\");\n" +
                                kPref + "http_port\", 8080);\n" + kPref + "type\", 1);\n";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A Netscape 4 whose preference file is one of the test's own.
class FilePrefs : public Netscape4Browser {
public:
    explicit FilePrefs(std::string path) : path_(std::move(path)) {}
    ~FilePrefs() override { std::remove(path_.c_str()); }
    std::FILE* OpenPrefsFile() override { return platform::OpenForAppendText(path_.c_str()); }

private:
    std::string path_;
};

} // namespace

// The last value of each proxy preference counts, named in any case; lines are read in
// pieces of 254 characters; restoring appends what was kept.
TEST(Browsers, NetscapePreferenceFile) {
    const std::string path = UniqueName("relvia-prefs") + ".js";
    FilePrefs browser(path);
    std::ofstream(path) << std::string(254, 'x') << "network.proxy.ftp \"ftp.b\");\n"
                        << kPref << "http_port\", 3128);\n"
                        << kPref << "HTTP\", \"proxy.a\");\n"
                        << kPref << "ftp_port\",\t2121);\n"
                        << kPref << "http_port\", 8000);\n"
                        << kPref << "type\", 2);\n"
                        << std::string(235, 'x') << " network.proxy.type 3);\n";
    const std::string before = ReadFile(path);
    EXPECT_EQ(1,
              browser.ReadProxy(browser.savedHttpHost, browser.savedHttpPort, browser.savedFtpHost,
                                browser.savedFtpPort, browser.savedProxyType));
    ASSERT_EQ(1, browser.ApplyProxy());
    ASSERT_EQ(1, browser.RestoreProxy());
    browser.savedFtpHost.Empty();
    browser.savedHttpPort = browser.savedFtpPort = -1;
    ASSERT_EQ(1, browser.RestoreProxy());
    EXPECT_EQ(before + kApplyLines + kPref + "ftp\", \"ftp.b\");\n" + kPref +
                  "ftp_port\", 2121);\n" + kPref + "http\", \"proxy.a\");\n" + kPref +
                  "http_port\", 8000);\n" + kPref + "type\", 2);\n" + kPref +
                  "http\", \"proxy.a\");\n" + kPref + "type\", 2);\n",
              ReadFile(path));
}

namespace {

std::string asked;

// Records the question and answers "cancel": nothing is closed or started.
int Ask(const char* names, int mode) {
    asked = std::string(names) + " " + std::to_string(mode);
    return kBrowserCancelButton;
}

} // namespace

// The question names the browsers to restart, "A, B", with 1 when pointing them at the
// proxy and 0 when giving their settings back.
TEST(Browsers, APassAsksAboutTheBrowsersToRestart) {
    Browser plain; // each needs a restart
    plain.InsertAfter(new Browser);
    const std::string name = "\xC0\xA5\xBA\xEA\xB6\xF3\xBF\xEC\xC0\xFA";
    EXPECT_EQ(1, RunBrowserPass(&plain, true, Ask));
    EXPECT_EQ(name + ", " + name + " 1", asked);
    EXPECT_EQ(1, RunBrowserPass(&plain, false, Ask));
    EXPECT_EQ(name + ", " + name + " 0", asked);
}

namespace {

// The browsers' registry places. Under Windows the registry is the machine's and
// already describes its browsers: these tests skip there. Natively it starts empty.
class BrowserRegistry : public testing::Test {
protected:
    void SetUp() override {
        static const bool machine = [] {
            TextBuffer value;
            return RegReadText(kHklm, kIEKey, "Version", value) ||
                   RegReadText(kHklm, kNavigatorKey.c_str(), "CurrentVersion", value);
        }();
        if (machine) {
            GTEST_SKIP() << "the registry describes this machine's browsers";
        }
    }
    static void Set(RegRoot root, const std::string& key, const char* name,
                    const std::string& text) {
        RegWriteString(root, key.c_str(), name, text.c_str());
    }
};

} // namespace

TEST_F(BrowserRegistry, VersionsPickOneClassOfEachFamily) {
    IEBrowser ie;
    IE4Browser ie4;
    IE5Browser ie5;
    Netscape4Browser netscape4;
    Netscape45Browser netscape45;
    auto classes = [&] {
        return Numbers(ie.CheckVersion(), ie4.CheckVersion(), ie5.CheckVersion(),
                       netscape4.CheckVersion(), netscape45.CheckVersion());
    };
    EXPECT_EQ("1 0 0 0 0", classes()); // neither version is there
    // {Internet Explorer's "Version", Navigator's "CurrentVersion", the classes}
    const char* const rows[][3] = {{"5.00.2614.3500", "4.08 (ko)", "0 0 1 1 0"},
                                   {"11.0", "4.0", "0 0 1 1 0"},
                                   {"4.72.3110.0", "4.49", "0 1 0 1 0"},
                                   {"4", "4.5 (en)", "0 1 0 0 1"},
                                   {"3.02", "4.75(en)", "1 0 0 0 1"},
                                   {"Version 5", "10.0", "1 0 0 0 1"},
                                   {"3", "3.04 (ko)", "1 0 0 0 0"},
                                   {"3", " (ko)", "1 0 0 0 0"}};
    for (const auto& [ieVersion, navigatorVersion, expected] : rows) {
        Set(kHklm, kIEKey, "Version", ieVersion);
        Set(kHklm, kNavigatorKey, "CurrentVersion", navigatorVersion);
        EXPECT_EQ(expected, classes()) << ieVersion << " " << navigatorVersion;
    }
}

// Of "ProxyServer" the "ftp" and "http" entries are kept, of "ProxyEnable" the first
// byte; a browser still pointing at this proxy is switched off when given back.
TEST_F(BrowserRegistry, InternetExplorerGetsItsSettingsBack) {
    const std::string program = UniqueName("relvia-iexplore") + ".exe";
    Set(kHklm, kIEKey, "Version", "3");
    Set(kHklm, kIEComServerKey, nullptr, program);
    // {"ProxyServer", "ProxyEnable" (a DWORD, or 5 bytes for -1), both after turn-off}
    const std::tuple<const char*, int, const char*> rows[] = {
        {"HTTP=proxy.a:3128;Ftp=proxy.b:21", 0, "ftp=proxy.b:21;http=proxy.a:3128 0"},
        {"gopher=g:70;https=s:443;\"http=h:81x\"", 257, "http=h:81 1"},
        {"ftp=f:21;http=h", 1, "ftp=f:21 1"},
        {"http=h:80;ftp=f", 256, "http=h:80 0"},
        {"proxy.a:3128", 2, "ftp=127.0.0.1:8080;http=127.0.0.1:8080 0"},
        {"http=127.0.0.1:8080", 1, "http=127.0.0.1:8080 0"},
        {"http=127.0.0.1:8081", 1, "http=127.0.0.1:8081 1"},
        {"http=127.0.0.10:8080", 1, "http=127.0.0.10:8080 1"},
        {"ftp=f:1", -1, "ftp=f:1 0"}};
    for (const auto& [list, enable, after] : rows) {
        Set(kHkcu, kSettingsKey, "ProxyServer", list);
        const unsigned char five[5] = {1};
        enable < 0 ? RegWriteBinary(kHkcu, kSettingsKey, "ProxyEnable", five, 5)
                   : RegWriteDword(kHkcu, kSettingsKey, "ProxyEnable", enable);
        IEBrowser ie;
        EXPECT_EQ(0, ie.Detect()); // the program is not there yet
        std::ofstream(program).put('x');
        EXPECT_EQ(1, ie.Detect());
        std::remove(program.c_str());
        EXPECT_EQ(1, ie.ApplyProxy());
        EXPECT_EQ(1, ie.RestoreProxy());
        TextBuffer written;
        unsigned char bytes[8] = {9, 9, 9, 9, 9};
        unsigned long size = sizeof bytes;
        RegReadText(kHkcu, kSettingsKey, "ProxyServer", written);
        RegReadBinary(kHkcu, kSettingsKey, "ProxyEnable", bytes, size);
        EXPECT_EQ(std::string(after) + " 0 0 0 9 4",
                  Str(written) + " " +
                      Numbers(bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], size));
    }
}

// Natively "folder\prefs.js" names a file in the current folder. Netscape 4.5's profile
// is the mail settings' "popstatePath" without "Mail\popstate.dat".
TEST_F(BrowserRegistry, NetscapeProfiles) {
    const std::string folder = UniqueName("relvia-profile");
    const std::string users = kNavigatorKey + "\\Users";
    const std::string biff = kNavigatorKey + "\\biff";
    Set(kHklm, users, "CurrentUser", "tester");
    Set(kHklm, users + "\\tester", "DirRoot", folder);
    Set(kHkcu, biff, "CurrentUser", "tester");
    Set(kHkcu, biff + "\\users\\tester\\servers\\mail", "popstatePath",
        folder + "\\Mail\\popstate.dat");
    EXPECT_EQ("1 1", Numbers(Netscape4Browser().ApplyProxy(), Netscape45Browser().ApplyProxy()));
    for (const std::string& path : {folder + "\\prefs.js", folder + "\\\\prefs.js"}) {
        EXPECT_EQ(kApplyLines, ReadFile(path)) << path;
        std::remove(path.c_str());
    }
}
