#include "services/translation.h"

#include <cstdlib>
#include <ctime>

#include "control/module_state.h"
#include "proxy/http_response.h"
#include "proxy/media_class.h"
#include "proxy/socket_channel.h"
#include "settings/registry_functions.h"
#include "settings/settings_store.h"

namespace {

const int kPrimaryPortBase = 4000;
const int kFallbackPortBase = 3000;
const int kPortsPerRange = 6;

bool IsGenericTopLabel(const TextBuffer& label) {
    return label == "com" || label == "net" || label == "org" || label == "to" ||
           label.IsAllDigits();
}

// The runtime's generator seeded with the current second, so every choice within
// one second gives the same port.
int ConnectTranslationHost(SocketChannel& server, int portBase) {
    SettingsStore* settings = moduleState.settings;
    if (!settings) {
        return 0;
    }
    std::srand(static_cast<unsigned int>(std::time(nullptr)));
    int port = portBase + std::rand() % kPortsPerRange;
    TextBuffer host;
    settings->GetJ2KTransHost(host);
    return server.Connect(host.CStr(), port);
}

// The decision stored under a learned entry: 2 for a non-zero value, else 0.
int LearnedDecision(int value) {
    return value != 0 ? 2 : 0;
}

} // namespace

int CheckHostDir(const Url& url) {
    SettingsStore* settings = moduleState.settings;
    if (!settings || settings->IsDomainListed(url.GetDomain().CStr())) {
        return 0;
    }
    int learned = 0;
    if (settings->GetHostDir(url.GetHostAndDirectory().CStr(), learned)) {
        return LearnedDecision(learned);
    }
    TextBuffer host = url.GetHost();
    host.MakeLower();
    int pos = 0;
    TextBuffer label;
    while (host.Tokenize(pos, label, ".")) {
        if (label == "jp") {
            return 2;
        }
        if (IsGenericTopLabel(label)) {
            return 1;
        }
    }
    return 0;
}

int CheckObject(const Url& url) {
    SettingsStore* settings = moduleState.settings;
    if (!settings) {
        return 0;
    }
    int learned = 0;
    if (settings->GetObject(url.GetUrlNoSchemeNoQuery().CStr(), learned)) {
        return LearnedDecision(learned);
    }
    TextBuffer extension = url.GetFileNameNoQuery().ExtensionOf();
    if (extension.IsEmpty()) {
        return 2;
    }
    extension.MakeLower();
    TextBuffer contentType;
    if (RegReadText(platform::kHkeyClassesRoot, extension.CStr(), "Content Type", contentType)) {
        int pos = 0;
        TextBuffer major;
        if (!contentType.Tokenize(pos, major, "/")) {
            return 1;
        }
        return major.CompareNoCase("text") == 0 ? 2 : 0;
    }
    if (IsTextExtension(extension)) {
        return 2;
    }
    return IsBinaryExtension(extension) ? 0 : 1;
}

int ConnectTranslationHostPrimary(SocketChannel& server) {
    return ConnectTranslationHost(server, kPrimaryPortBase);
}

int ConnectTranslationHostFallback(SocketChannel& server) {
    return ConnectTranslationHost(server, kFallbackPortBase);
}

void LearnFromTranslation(const Url& url, const HttpResponse& response, int hostDirDecision,
                          int objectDecision) {
    SettingsStore* settings = moduleState.settings;
    if (!settings) {
        return;
    }
    TextBuffer language;
    if (hostDirDecision == 1 && response.FindHeader("Language", language)) {
        settings->SetHostDir(url.GetHostAndDirectory().CStr(), language.Find("ko") >= 0 ? 1 : 0);
    }
    if (objectDecision == 1) {
        TextBuffer subtype;
        int media = response.GetMediaClass(subtype);
        if (media != kMediaNone) {
            settings->SetObject(url.GetUrlNoSchemeNoQuery().CStr(), media == kMediaText ? 1 : 0);
        }
    }
}
