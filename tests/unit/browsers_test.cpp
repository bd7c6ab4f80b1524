#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "browsers/browser_manager.h"
#include "browsers/ie_browser.h"
#include "browsers/netscape_browser.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "settings/registry_functions.h"
#include "ui/dialogs.h"

namespace {

const RegRoot kHklm = platform::kHkeyLocalMachine;
const RegRoot kHkcu = platform::kHkeyCurrentUser;
const char kIEKey[] = "Software\\Microsoft\\Internet Explorer";
const char kSetupKey[] = "Software\\Microsoft\\IE4\\Setup";
const char kServerKey[] =
    "Software\\Classes\\CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
const char kSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string kNavigatorKey = "Software\\Netscape\\Netscape Navigator";
const char kLocalList[] = "ftp=127.0.0.1:8080;http=127.0.0.1:8080";
const char kApplyLines[] = "user_pref(\"network.proxy.ftp\", \"127.0.0.1\");\n"
                           "user_pref(\"network.proxy.ftp_port\", 8080);\n"
                           "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
                           "user_pref(\"network.proxy.http_port\", 8080);\n"
                           "user_pref(\"network.proxy.type\", 1);\n";
const char kNetscapeName[] = "\xB3\xDD\xBD\xBA\xC4\xC9\xC0\xCC\xC7\xC1 "
                             "\xB3\xD7\xBA\xF1\xB0\xD4\xC0\xCC\xC5\xCD"; // "넷스케이프 네비게이터"

std::string UniqueName(const char* stem) {
    static int counter = 0;
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::string("relvia-") + stem + "-" + std::to_string(now) + "-" +
           std::to_string(++counter);
}

std::string Text(const TextBuffer& text) {
    return text.IsEmpty() ? "" : text.CStr();
}

// Files in text mode, as the preference files are kept.
std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A file in the current folder, removed at the end.
struct TempFile {
    explicit TempFile(std::string name) : path(std::move(name)) { WriteFile(path, ""); }
    ~TempFile() { std::remove(path.c_str()); }
    std::string path;
};

// The outputs of ReadProxy, preset to marks that show what it left alone.
struct Proxy {
    int result = 0;
    TextBuffer httpHost{"keep"};
    int httpPort = -7;
    TextBuffer ftpHost{"keep"};
    int ftpPort = -7;
    int type = -7;
};

std::string Describe(const TextBuffer& httpHost, int httpPort, const TextBuffer& ftpHost,
                     int ftpPort, int type) {
    return Text(httpHost) + ":" + std::to_string(httpPort) + " " + Text(ftpHost) + ":" +
           std::to_string(ftpPort) + " " + std::to_string(type);
}

std::string Describe(const Proxy& p) {
    return Describe(p.httpHost, p.httpPort, p.ftpHost, p.ftpPort, p.type);
}

Proxy ReadProxyOf(Browser& browser) {
    Proxy p;
    p.result = browser.ReadProxy(p.httpHost, p.httpPort, p.ftpHost, p.ftpPort, p.type);
    return p;
}

void SetSaved(Browser& browser, const char* ftpHost, int ftpPort, const char* httpHost,
              int httpPort, int type) {
    browser.savedFtpHost.Assign(ftpHost);
    browser.savedFtpPort = ftpPort;
    browser.savedHttpHost.Assign(httpHost);
    browser.savedHttpPort = httpPort;
    browser.savedProxyType = type;
}

// The pass, over browsers that log what it asks of them.
std::string passLog;

class LoggingBrowser : public Browser {
public:
    LoggingBrowser(const char* name, int needsRestart) : name_(name), needs_(needsRestart) {}
    int NeedsRestart() override { return needs_; }
    TextBuffer& GetDisplayName(TextBuffer& out) override {
        out.Assign(name_);
        return out;
    }
    int CloseRunning() override { return Log("close"); }
    int ApplyProxy() override { return Log("apply"); }
    int RestoreProxy() override { return Log("restore"); }
    int NotifyChanged() override { return Log("notify"); }
    int Launch() override { return Log("launch"); }

private:
    int Log(const char* what) {
        passLog += std::string(name_) + ":" + what + " ";
        return 0;
    }
    const char* name_;
    int needs_;
};

struct Question {
    int calls = 0;
    std::string names;
    int mode = -1;
    int answer = 0;
} asked;

int Ask(const char* names, int mode) {
    ++asked.calls;
    asked.names = names;
    asked.mode = mode;
    return asked.answer;
}

class BrowserPass : public testing::Test {
protected:
    void SetUp() override {
        passLog.clear();
        asked = Question();
    }
    void Add(const char* name, int needsRestart) {
        auto* browser = new LoggingBrowser(name, needsRestart);
        if (head_) {
            head_->Last()->InsertAfter(browser);
        } else {
            head_.reset(browser);
        }
    }
    int Run(bool applying, BrowserExitQuestion ask) {
        return RunBrowserPass(head_.get(), applying, ask);
    }
    std::unique_ptr<Browser> head_;
};

TEST_F(BrowserPass, NoQuestionWhenNoBrowserNeedsARestart) {
    BrowserManager manager; // none detected: turning on fails
    EXPECT_EQ(0, manager.ApplyAll() + manager.RestoreAll() + Run(true, Ask) + Run(false, Ask));
    Add("A", 0);
    Add("B", 0);
    EXPECT_EQ(1, Run(true, Ask));
    EXPECT_EQ(1, Run(false, Ask));
    EXPECT_EQ("A:apply A:notify B:apply B:notify A:restore A:notify B:restore B:notify ", passLog);
    EXPECT_EQ(0, asked.calls);
}

TEST_F(BrowserPass, AsksOnceNamingOnlyTheBrowsersToRestartInListOrder) {
    Add(kNetscapeName, 1);
    Add("IE", 0);
    Add("Other", 1);
    asked.answer = kBrowserExitButton;
    Run(true, Ask);
    EXPECT_EQ(std::string(kNetscapeName) + ", Other", asked.names);
    EXPECT_EQ(1, asked.mode);
    Run(false, Ask);
    EXPECT_EQ(0, asked.mode);
    EXPECT_EQ(2, asked.calls);
    EXPECT_EQ(0, head_->NextBrowser()->restartNeeded);
}

TEST_F(BrowserPass, TheAnswerDecidesWhatIsClosedAndStartedAgain) {
    // {applying, asked, answer, closes, launches}; -1: the dialog could not be shown.
    const int cases[][5] = {{1, 0, 0, 1, 1},
                            {0, 0, 0, 1, 0},
                            {1, 1, kBrowserRestartButton, 1, 1},
                            {0, 1, kBrowserRestartButton, 1, 1},
                            {1, 1, kBrowserExitButton, 1, 0},
                            {0, 1, kBrowserExitButton, 1, 0},
                            {1, 1, kBrowserCancelButton, 0, 0},
                            {0, 1, kBrowserCancelButton, 0, 0},
                            {1, 1, -1, 1, 0},
                            {0, 1, -1, 1, 0}};
    Add("R", 1);
    Add("S", 0);
    for (const auto& c : cases) {
        passLog.clear();
        asked.answer = c[2];
        EXPECT_EQ(1, Run(c[0] == 1, c[1] ? Ask : nullptr));
        std::string change = c[0] ? "apply" : "restore";
        EXPECT_EQ(std::string(c[3] ? "R:close " : "") + "R:" + change + " R:notify " +
                      (c[4] ? "R:launch " : "") + "S:" + change + " S:notify ",
                  passLog)
            << c[0] << " " << c[1] << " " << c[2];
    }
}

// A browser whose program, version check and proxy settings the test gives.
class GivenBrowser : public Browser {
public:
    int LocateExecutable() override {
        exePath.Assign(program.c_str());
        return !program.empty();
    }
    int CheckVersion() override { return versionOk; }
    int ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost, int& ftpPort,
                  int& proxyType) override {
        ++reads;
        httpHost.Assign(host);
        httpPort = port;
        ftpHost.Assign("ftp.x");
        ftpPort = 21;
        proxyType = type;
        return 0;
    }
    std::string program;
    int versionOk = 1;
    const char* host = "";
    int port = 0;
    int type = 0;
    int reads = 0;
};

TEST(Browser, DetectKeepsTheSettingsAndSwitchesOffThisProxy) {
    TempFile program(UniqueName("browser") + ".exe");
    GivenBrowser missing, gone, other;
    gone.program = program.path + ".gone";
    other.program = program.path;
    other.versionOk = 0;
    EXPECT_EQ(0, missing.Detect() + gone.Detect() + other.Detect());
    EXPECT_EQ(0, missing.reads + gone.reads + other.reads);

    // Still pointing at this proxy: a restore switches the manual proxy off.
    const std::tuple<const char*, int, int, const char*> cases[] = {
        {"127.0.0.1", 8080, 1, "127.0.0.1:8080 ftp.x:21 0"},
        {"127.0.0.1", 8081, 1, "127.0.0.1:8081 ftp.x:21 1"},
        {"127.0.0.10", 8080, 1, "127.0.0.10:8080 ftp.x:21 1"},
        {"127.0.0.1", 8080, 2, "127.0.0.1:8080 ftp.x:21 2"}};
    for (const auto& [host, port, type, saved] : cases) {
        GivenBrowser found;
        found.program = program.path;
        found.host = host;
        found.port = port;
        found.type = type;
        EXPECT_EQ(1, found.Detect()); // ReadProxy's 0 is not consulted
        EXPECT_EQ(saved, Describe(found.savedHttpHost, found.savedHttpPort, found.savedFtpHost,
                                  found.savedFtpPort, found.savedProxyType));
    }
}

TEST(Browser, DefaultsNamesAndTheProgramFolder) {
    Browser plain;
    EXPECT_EQ(0, plain.Launch()); // no program
    EXPECT_EQ(1, plain.NeedsRestart());
    TextBuffer name;
    EXPECT_EQ("\xC0\xA5\xBA\xEA\xB6\xF3\xBF\xEC\xC0\xFA", Text(plain.GetDisplayName(name)));
    IEBrowser ie;
    EXPECT_EQ(0, ie.NeedsRestart());
    EXPECT_EQ("\xC0\xCE\xC5\xCD\xB3\xDD \xC0\xCD\xBD\xBA\xC7\xC3\xB7\xCE\xB7\xAF",
              Text(ie.GetDisplayName(name)));
    EXPECT_EQ(kNetscapeName, Text(NetscapeBrowser().GetDisplayName(name)));
    EXPECT_EQ("C:\\Program Files\\", Text(FolderOf(TextBuffer("C:\\Program Files\\a.exe"))));
    EXPECT_EQ("C:\\", Text(FolderOf(TextBuffer("C:\\a/b.exe"))));
    EXPECT_EQ("", Text(FolderOf(TextBuffer("a.exe"))));
}

TEST(IEBrowser, ConnectionRecordsByteForByte) {
    auto record = [](size_t size, std::vector<unsigned> head, const char* list) {
        std::vector<unsigned char> bytes(size, 0);
        for (size_t i = 0; i < 4 * head.size(); ++i) {
            bytes[i] = static_cast<unsigned char>(head[i / 4] >> (8 * (i % 4)));
        }
        std::memcpy(&bytes[16], list, std::strlen(list));
        return bytes;
    };
    using Bytes = std::vector<unsigned char>;
    EXPECT_EQ(record(90, {60, 2, 3, 38}, kLocalList),
              Bytes(std::begin(kConnectionProxyRecord), std::end(kConnectionProxyRecord)));
    EXPECT_EQ(record(52, {60, 1, 1, 0}, ""),
              Bytes(std::begin(kConnectionDirectRecord), std::end(kConnectionDirectRecord)));
}

// A Netscape 4 whose preference file is a file of the test's own.
class FilePrefsBrowser : public Netscape4Browser {
public:
    explicit FilePrefsBrowser(std::string path) : path_(std::move(path)) {}
    std::FILE* OpenPrefsFile() override { return platform::OpenForAppendText(path_.c_str()); }

private:
    std::string path_;
};

class NetscapePrefs : public testing::Test {
protected:
    void TearDown() override { std::remove(path_.c_str()); }
    std::string path_ = UniqueName("prefs") + ".js";
    FilePrefsBrowser browser_{path_};
};

TEST_F(NetscapePrefs, ReadTakesTheLastValueOfEachProxyPreference) {
    WriteFile(path_, "// Netscape User Preferences\n"
                     "user_pref(\"browser.startup.homepage\", \"http://www.x.co.kr/\");\n"
                     "user_pref(\"network.proxy.http_port\", 3128);\n"
                     "user_pref(\"NETWORK.Proxy.HTTP\", \"proxy.a\");\n"
                     "user_pref(\"network.proxy.ftp_port\",\t2121);\n"
                     "user_pref(\"network.proxy.http_port\", 8000);\n"
                     "user_pref(\"network.proxy.type\", 1);\n");
    Proxy proxy = ReadProxyOf(browser_);
    EXPECT_EQ(1, proxy.result);
    // "network.proxy.ftp_port" is not "network.proxy.ftp": the FTP host is left alone.
    EXPECT_EQ("proxy.a:8000 keep:2121 1", Describe(proxy));
}

TEST_F(NetscapePrefs, ALongLineIsReadInPiecesOf254Characters) {
    const std::string typeName = " network.proxy.type";
    WriteFile(path_, std::string(254, 'x') + "network.proxy.ftp \"ftp.b\");\n" +
                         std::string(254 - typeName.size(), 'x') + typeName + " 3);\n");
    // "network.proxy.ftp" starts the second piece of the first line; the value of
    // "network.proxy.type" is in the next piece of the second.
    EXPECT_EQ("keep:-7 ftp.b:-7 -7", Describe(ReadProxyOf(browser_)));
}

TEST_F(NetscapePrefs, ApplyAndRestoreAppendBehindWhatIsThere) {
    std::string expected = "user_pref(\"network.proxy.type\", 3);\n";
    WriteFile(path_, expected);
    ASSERT_EQ(1, browser_.ApplyProxy());
    EXPECT_EQ(expected += kApplyLines, ReadFile(path_));
    ASSERT_EQ(1, browser_.RestoreProxy()); // nothing saved: only the proxy type
    EXPECT_EQ(expected += "user_pref(\"network.proxy.type\", 0);\n", ReadFile(path_));
    SetSaved(browser_, "f.x", -1, "", 3128, 2);
    ASSERT_EQ(1, browser_.RestoreProxy());
    EXPECT_EQ(expected += "user_pref(\"network.proxy.ftp\", \"f.x\");\n"
                          "user_pref(\"network.proxy.http_port\", 3128);\n"
                          "user_pref(\"network.proxy.type\", 2);\n",
              ReadFile(path_));
    SetSaved(browser_, "f.y", 21, "h.y", 80, 1);
    ASSERT_EQ(1, browser_.RestoreProxy());
    EXPECT_EQ(expected += "user_pref(\"network.proxy.ftp\", \"f.y\");\n"
                          "user_pref(\"network.proxy.ftp_port\", 21);\n"
                          "user_pref(\"network.proxy.http\", \"h.y\");\n"
                          "user_pref(\"network.proxy.http_port\", 80);\n"
                          "user_pref(\"network.proxy.type\", 1);\n",
              ReadFile(path_));

    FilePrefsBrowser nowhere("");
    EXPECT_EQ(0, nowhere.ApplyProxy() + nowhere.RestoreProxy() + ReadProxyOf(nowhere).result);
}

// The browsers' registry places. Under Windows the registry is the machine's and
// already describes its browsers: these tests skip there. Natively it starts empty;
// the texts they set are written back at the end (a missing one as empty text, which
// the configurators take like a missing value).
bool MachineRegistry() {
    static const bool machine = [] {
        TextBuffer value;
        return RegReadText(kHklm, kIEKey, "Version", value) ||
               RegReadText(kHklm, kSetupKey, "Path", value) ||
               RegReadText(kHklm, kNavigatorKey.c_str(), "CurrentVersion", value);
    }();
    return machine;
}

using RawValue = std::pair<unsigned long, std::vector<unsigned char>>;

RawValue ReadRaw(RegRoot root, const std::string& key, const char* name) {
    RawValue value{platform::kRegNone, {}};
    platform::RegKey handle = nullptr;
    unsigned char bytes[64];
    unsigned long size = sizeof bytes;
    if (platform::RegOpenKeyExA(root, key.c_str(), platform::kKeyRead, &handle) == 0) {
        if (platform::RegQueryValueExA(handle, name, &value.first, bytes, &size) == 0) {
            value.second.assign(bytes, bytes + size);
        }
        platform::RegCloseKey(handle);
    }
    return value;
}

std::string ReadText(RegRoot root, const std::string& key, const char* name) {
    TextBuffer text;
    return RegReadText(root, key.c_str(), name, text) ? Text(text) : "(none)";
}

class BrowserRegistry : public testing::Test {
protected:
    void SetUp() override {
        if (MachineRegistry()) {
            GTEST_SKIP() << "the registry describes this machine's browsers";
        }
    }
    void TearDown() override {
        for (auto undo = undo_.rbegin(); undo != undo_.rend(); ++undo) {
            RegWriteString(undo->root, undo->key.c_str(), undo->name, undo->text.c_str());
        }
    }
    void SetText(RegRoot root, const std::string& key, const char* name, const std::string& text) {
        std::string old = ReadText(root, key, name);
        undo_.push_back({root, key, old == "(none)" ? "" : old, name});
        RegWriteString(root, key.c_str(), name, text.c_str());
    }
    struct Undo {
        RegRoot root;
        std::string key, text;
        const char* name;
    };
    std::vector<Undo> undo_;
};

TEST_F(BrowserRegistry, VersionsPickOneClassOfEachFamily) {
    IEBrowser ie;
    IE4Browser ie4;
    IE5Browser ie5;
    auto ies = [&] {
        return std::to_string(ie.CheckVersion()) + std::to_string(ie4.CheckVersion()) +
               std::to_string(ie5.CheckVersion());
    };
    EXPECT_EQ("100", ies()); // no "Version"
    const char* const ieVersions[][2] = {{"5.00.2614.3500", "001"}, {"11.0.9600", "001"},
                                         {"4.72.3110.0", "010"},    {"4", "010"},
                                         {"3.02", "100"},           {"Version 5", "100"}};
    for (const auto& c : ieVersions) {
        SetText(kHklm, kIEKey, "Version", c[0]);
        EXPECT_EQ(c[1], ies()) << c[0];
    }
    Netscape4Browser netscape4;
    Netscape45Browser netscape45;
    const char* const netscapeVersions[][2] = {
        {"4.08 (ko)", "10"}, {"4.0", "10"},  {"4.49", "10"},      {"4.5 (en)", "01"},
        {"4.75(en)", "01"},  {"10.0", "01"}, {"3.04 (ko)", "00"}, {" (ko)", "00"}};
    for (const auto& c : netscapeVersions) {
        SetText(kHklm, kNavigatorKey, "CurrentVersion", c[0]);
        EXPECT_EQ(c[1], std::to_string(netscape4.CheckVersion()) +
                            std::to_string(netscape45.CheckVersion()))
            << c[0];
    }
}

TEST_F(BrowserRegistry, ProgramPaths) {
    const char* const servers[][2] = {
        {"\"C:\\Program Files\\Plus!\\IEXPLORE.EXE\" -nohome",
         "C:\\Program Files\\Plus!\\IEXPLORE.EXE"},
        {"C:\\IE\\IEXPLORE.EXE -nohome", "C:\\IE\\IEXPLORE.EXE -nohome"},
        {"\"\"", ""}};
    for (const auto& c : servers) {
        SetText(kHklm, kServerKey, nullptr, c[0]);
        IEBrowser ie;
        EXPECT_EQ(c[1][0] ? 1 : 0, ie.LocateExecutable()) << c[0];
        EXPECT_EQ(c[1], Text(ie.exePath));
    }
    SetText(kHklm, kNavigatorKey, "CurrentVersion", "4.08 (ko)");
    SetText(kHklm, kNavigatorKey + "\\4.08 (ko)\\Main", "Install Directory", "C:\\Communicator");
    Netscape4Browser netscape4;
    EXPECT_EQ(1, netscape4.LocateExecutable());
    EXPECT_EQ("C:\\Communicator\\Program\\netscape.exe", Text(netscape4.exePath));
}

TEST_F(BrowserRegistry, IEReadProxyTakesTheFtpAndHttpEntries) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {kLocalList, 1, "127.0.0.1:8080 127.0.0.1:8080"},
        {"HTTP=proxy.a:3128;Ftp=proxy.b:21", 1, "proxy.a:3128 proxy.b:21"},
        {"gopher=g:70;https=s:443;\"http=h:81x\"", 1, "h:81 keep:-7"},
        {"proxy.a:3128", 1, "keep:-7 keep:-7"}, // the single-proxy form
        {"http=h:80;ftp", 0, "h:80 keep:-7"},
        {"ftp=f", 0, "keep:-7 f:-7"}};
    IEBrowser ie;
    for (const auto& [list, result, read] : cases) {
        SetText(kHkcu, kSettingsKey, "ProxyServer", list);
        Proxy p = ReadProxyOf(ie);
        EXPECT_EQ(result, p.result) << list;
        EXPECT_EQ(read, Describe(p).substr(0, std::strlen(read))) << list; // hosts and ports
    }

    // "ProxyEnable": its first byte, whatever its type; unreadable when too long.
    const unsigned char bytes[5] = {1, 0, 0, 0, 0};
    const int numbers[][2] = {{1, 1}, {0, 0}, {257, 1}, {256, 0}, {2, 0}};
    for (const auto& n : numbers) {
        RegWriteDword(kHkcu, kSettingsKey, "ProxyEnable", n[0]);
        EXPECT_EQ(n[1], ReadProxyOf(ie).type) << n[0];
    }
    RegWriteBinary(kHkcu, kSettingsKey, "ProxyEnable", bytes, 1);
    EXPECT_EQ(1, ReadProxyOf(ie).type);
    RegWriteBinary(kHkcu, kSettingsKey, "ProxyEnable", bytes, 5);
    EXPECT_EQ(-7, ReadProxyOf(ie).type);
}

TEST_F(BrowserRegistry, IEApplyAndRestoreWriteTheInternetSettings) {
    SetText(kHkcu, kSettingsKey, "ProxyServer", "");
    IEBrowser ie;
    ASSERT_EQ(1, ie.ApplyProxy());
    EXPECT_EQ(kLocalList, ReadText(kHkcu, kSettingsKey, "ProxyServer"));
    EXPECT_EQ(RawValue(platform::kRegBinary, {1, 0, 0, 0}),
              ReadRaw(kHkcu, kSettingsKey, "ProxyEnable"));
    // {saved FTP host, port, HTTP host, port, type, "ProxyServer" after the restore}
    const std::tuple<const char*, int, const char*, int, int, const char*> cases[] = {
        {"f.x", 21, "h.x", 80, 1, "ftp=f.x:21;http=h.x:80"},
        {"", 21, "h.x", 80, 0, "http=h.x:80"},
        {"f.x", -1, "h.x", 3128, 5, "http=h.x:3128"},
        {"f.x", 2121, "h.x", -1, 1, "ftp=f.x:2121"},
        {"", -1, "", -1, 0, kLocalList}}; // nothing saved: the list stays as applied
    for (const auto& [ftpHost, ftpPort, httpHost, httpPort, type, list] : cases) {
        ie.ApplyProxy();
        SetSaved(ie, ftpHost, ftpPort, httpHost, httpPort, type);
        EXPECT_EQ(1, ie.RestoreProxy());
        EXPECT_EQ(list, ReadText(kHkcu, kSettingsKey, "ProxyServer"));
        unsigned char enable = type ? 1 : 0;
        EXPECT_EQ(RawValue(platform::kRegBinary, {enable, 0, 0, 0}),
                  ReadRaw(kHkcu, kSettingsKey, "ProxyEnable"))
            << list;
    }
}

// Natively "folder\prefs.js" names a file in the current folder.
TEST_F(BrowserRegistry, NetscapeProfileFromTheUsersKeyOrTheMailSettings) {
    const std::string folder = UniqueName("profile");
    const std::string users = kNavigatorKey + "\\Users";
    const std::string biff = kNavigatorKey + "\\biff";
    SetText(kHklm, users, "CurrentUser", "tester");
    SetText(kHklm, users + "\\tester", "DirRoot", folder);
    SetText(kHkcu, biff, "CurrentUser", "tester");
    SetText(kHkcu, biff + "\\users\\tester\\servers\\mail", "popstatePath",
            folder + "\\Mail\\popstate.dat");
    EXPECT_EQ(1, Netscape4Browser().ApplyProxy());
    EXPECT_EQ(1, Netscape45Browser().ApplyProxy());
    // The 17 characters dropped are "Mail\popstate.dat": the separator before them
    // stays, which Windows reads as one.
    const std::string prefs[] = {folder + "\\prefs.js", folder + "\\\\prefs.js"};
    for (const std::string& path : prefs) {
        EXPECT_EQ(kApplyLines, ReadFile(path)) << path;
        std::remove(path.c_str());
    }
}

} // namespace
