#include "services/request_class.h"

#include "control/module_state.h"
#include "settings/settings_store.h"

int ClassifySpecialUrl(const Url& url, TextBuffer& word) {
    TextBuffer host = url.GetHost();
    if (host.Find('.') < 0 || host.ContainsNonAscii()) {
        return kOneWordHost;
    }
    SettingsStore* settings = moduleState.settings;
    if (!settings || !settings->IsDomainListed(url.GetDomain().CStr())) {
        return kPlainRequest;
    }
    TextBuffer file = url.GetFileName();
    file.MakeLower();
    if (file.Find("spell.cgi") < 0) {
        return kSuiteDomain;
    }
    TextBuffer whole = url.GetUrl();
    int equals = whole.Find('=');
    if (equals < 0) {
        return kSuiteDomain;
    }
    word = whole.Mid(equals + 1);
    return kSwitchRequest;
}
