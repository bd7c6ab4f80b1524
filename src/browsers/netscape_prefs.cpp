// The Netscape 4 family: version, program and the profile's preference file.
#include <cstdlib>
#include <string>

#include "browsers/netscape_browser.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "settings/registry_functions.h"

namespace {

const char kNavigatorKey[] = "Software\\Netscape\\Netscape Navigator";
const char kUsersKey[] = "Software\\Netscape\\Netscape Navigator\\Users";
const char kBiffKey[] = "Software\\Netscape\\Netscape Navigator\\biff";
// What "popstatePath" has behind the profile folder and its separator:
// "Mail\popstate.dat". The separator stays, and "%s\prefs.js" doubles it, which
// Windows takes as one.
const int kPopstateTailLength = 17;
// A string of "nsreg.dat" longer than this is not a folder name: the read fails.
const size_t kMaxRegistryString = 32 * 1024;
// Preference lines are read in pieces of at most this many characters.
const int kPrefsLineLength = 254;

std::FILE* OpenPrefsIn(const TextBuffer& folder) {
    TextBuffer path;
    if (folder.IsEmpty() || !path.Format("%s\\prefs.js", folder.CStr())) {
        return nullptr;
    }
    return platform::OpenForAppendText(path.CStr());
}

// The next string of "nsreg.dat": bytes up to a zero byte, runs of zero bytes
// skipped, the end of the file ending the last one. False when none is left.
bool ReadRegistryString(std::FILE* file, std::string& out) {
    out.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF) {
        if (c != 0) {
            out += static_cast<char>(c);
            if (out.size() > kMaxRegistryString) {
                return false;
            }
        } else if (!out.empty()) {
            break;
        }
    }
    return !out.empty();
}

// The folder named after "ProfileLocation" in the Windows folder's "nsreg.dat".
TextBuffer ProfileFromRegistryFile() {
    char windows[128] = {};
    TextBuffer path;
    if (!platform::GetWindowsDirectoryA(windows, sizeof windows) ||
        !path.Format("%s\\nsreg.dat", windows)) {
        return TextBuffer();
    }
    std::FILE* file = std::fopen(path.CStr(), "rb");
    if (!file) {
        return TextBuffer();
    }
    std::string text;
    bool found = false;
    while (!found && ReadRegistryString(file, text)) {
        found = text == "ProfileLocation";
    }
    bool read = found && ReadRegistryString(file, text);
    std::fclose(file);
    return read ? TextBuffer(text.c_str()) : TextBuffer();
}

// The proxy preferences read from the file, in the order of TakePreference.
const char* const kProxyPreferences[] = {"network.proxy.ftp", "network.proxy.ftp_port",
                                         "network.proxy.http", "network.proxy.http_port",
                                         "network.proxy.type"};

// Which proxy preference `token` names (any letter case), or -1.
int PreferenceIndex(const TextBuffer& token) {
    for (int i = 0; i < 5; ++i) {
        if (token.CompareNoCase(kProxyPreferences[i]) == 0) {
            return i;
        }
    }
    return -1;
}

struct ProxySettings {
    TextBuffer& httpHost;
    int& httpPort;
    TextBuffer& ftpHost;
    int& ftpPort;
    int& proxyType;
};

void TakePreference(int index, const TextBuffer& value, ProxySettings& out) {
    switch (index) {
    case 0:
        out.ftpHost.Assign(value);
        break;
    case 1:
        out.ftpPort = std::atoi(value.CStr());
        break;
    case 2:
        out.httpHost.Assign(value);
        break;
    case 3:
        out.httpPort = std::atoi(value.CStr());
        break;
    default:
        out.proxyType = std::atoi(value.CStr());
        break;
    }
}

// One line (or piece of a longer one): each preference name is followed by its value.
void ReadPreferenceLine(const TextBuffer& line, ProxySettings& out) {
    const char delimiters[] = "\"\t ),";
    int pos = 0;
    TextBuffer token;
    TextBuffer value;
    while (line.Tokenize(pos, token, delimiters)) {
        int index = PreferenceIndex(token);
        if (index < 0) {
            continue;
        }
        if (!line.Tokenize(pos, value, delimiters)) {
            return;
        }
        TakePreference(index, value, out);
    }
}

} // namespace

bool Netscape4Browser::ReadVersion(double& version) {
    TextBuffer text;
    if (!RegReadText(platform::kHkeyLocalMachine, kNavigatorKey, "CurrentVersion", text)) {
        return false;
    }
    int pos = 0;
    TextBuffer number;
    if (!text.Tokenize(pos, number, " (")) {
        return false;
    }
    version = std::atof(number.CStr());
    return true;
}

int Netscape4Browser::CheckVersion() {
    double version = 0;
    return ReadVersion(version) && version >= 4.0 && version < 4.5 ? 1 : 0;
}

int Netscape45Browser::CheckVersion() {
    double version = 0;
    return ReadVersion(version) && version >= 4.5 ? 1 : 0;
}

int Netscape4Browser::LocateExecutable() {
    TextBuffer version;
    TextBuffer mainKey;
    TextBuffer folder;
    if (!RegReadText(platform::kHkeyLocalMachine, kNavigatorKey, "CurrentVersion", version) ||
        !mainKey.Format("%s\\%s\\Main", kNavigatorKey, version.CStr()) ||
        !RegReadText(platform::kHkeyLocalMachine, mainKey.CStr(), "Install Directory", folder)) {
        return 0;
    }
    exePath.Format("%s\\Program\\netscape.exe", folder.CStr());
    return 1;
}

std::FILE* Netscape4Browser::OpenPrefsFile() {
    TextBuffer user;
    TextBuffer userKey;
    TextBuffer folder;
    if (!RegReadText(platform::kHkeyLocalMachine, kUsersKey, "CurrentUser", user) ||
        !userKey.Format("%s\\%s", kUsersKey, user.CStr()) ||
        !RegReadText(platform::kHkeyLocalMachine, userKey.CStr(), "DirRoot", folder)) {
        return nullptr;
    }
    return OpenPrefsIn(folder);
}

std::FILE* Netscape45Browser::OpenPrefsFile() {
    TextBuffer user;
    TextBuffer mailKey;
    TextBuffer popstate;
    if (RegReadText(platform::kHkeyCurrentUser, kBiffKey, "CurrentUser", user) &&
        mailKey.Format("%s\\users\\%s\\servers\\mail", kBiffKey, user.CStr()) &&
        RegReadText(platform::kHkeyCurrentUser, mailKey.CStr(), "popstatePath", popstate)) {
        // A path no longer than its tail names no folder.
        std::FILE* file = OpenPrefsIn(popstate.Left(popstate.Length() - kPopstateTailLength));
        if (file) {
            return file;
        }
    }
    return OpenPrefsIn(ProfileFromRegistryFile());
}

int Netscape4Browser::ReadProxy(TextBuffer& httpHost, int& httpPort, TextBuffer& ftpHost,
                                int& ftpPort, int& proxyType) {
    std::FILE* file = OpenPrefsFile();
    if (!file) {
        return 0;
    }
    ProxySettings settings{httpHost, httpPort, ftpHost, ftpPort, proxyType};
    char line[kPrefsLineLength + 1];
    while (std::fgets(line, sizeof line, file)) {
        ReadPreferenceLine(TextBuffer(line), settings);
    }
    std::fclose(file);
    return 1;
}

int Netscape4Browser::ApplyProxy() {
    std::FILE* file = OpenPrefsFile();
    if (!file) {
        return 0;
    }
    std::fputs("user_pref(\"network.proxy.ftp\", \"127.0.0.1\");\n"
               "user_pref(\"network.proxy.ftp_port\", 8080);\n"
               "user_pref(\"network.proxy.http\", \"127.0.0.1\");\n"
               "user_pref(\"network.proxy.http_port\", 8080);\n"
               "user_pref(\"network.proxy.type\", 1);\n",
               file);
    std::fclose(file);
    return 1;
}

int Netscape4Browser::RestoreProxy() {
    std::FILE* file = OpenPrefsFile();
    if (!file) {
        return 0;
    }
    if (!savedFtpHost.IsEmpty()) {
        std::fprintf(file, "user_pref(\"network.proxy.ftp\", \"%s\");\n", savedFtpHost.CStr());
    }
    if (savedFtpPort != -1) {
        std::fprintf(file, "user_pref(\"network.proxy.ftp_port\", %d);\n", savedFtpPort);
    }
    if (!savedHttpHost.IsEmpty()) {
        std::fprintf(file, "user_pref(\"network.proxy.http\", \"%s\");\n", savedHttpHost.CStr());
    }
    if (savedHttpPort != -1) {
        std::fprintf(file, "user_pref(\"network.proxy.http_port\", %d);\n", savedHttpPort);
    }
    std::fprintf(file, "user_pref(\"network.proxy.type\", %d);\n", savedProxyType);
    std::fclose(file);
    return 1;
}
