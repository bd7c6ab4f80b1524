#include "services/cookie_list.h"

#include <new>
#include <utility>

#include "control/module_state.h"
#include "proxy/http_fields.h"
#include "proxy/http_request.h"
#include "settings/settings_store.h"

CookieList::~CookieList() {
    delete items_;
}

int CookieList::Parse() {
    delete items_;
    items_ = nullptr;
    if (text_.IsEmpty()) {
        return 0;
    }
    int pos = 0;
    TextBuffer token;
    while (text_.Tokenize(pos, token, " ;")) {
        TextBuffer name = token;
        TextBuffer value;
        int equals = token.Find('=');
        if (equals > 0) {
            name = token.Left(equals);
            name.TrimRight();
            value = token.Mid(equals + 1);
            value.TrimLeft();
        }
        NameValue* item = new (std::nothrow) NameValue(name.CStr(), value.CStr());
        if (!item) {
            return 0;
        }
        AppendNode(items_, item);
    }
    return items_ ? 1 : 0;
}

int CookieList::Set(const char* name, const char* value) {
    NameValue* item = FindField(items_, name);
    if (item) {
        item->SetValue(value);
    } else {
        item = new (std::nothrow) NameValue(name, value);
        if (!item) {
            return 0;
        }
        AppendNode(items_, item);
    }
    return Rebuild();
}

int CookieList::Rebuild() {
    TextBuffer text;
    for (NameValue* item = items_; item; item = item->Next()) {
        if (item != items_ && !text.Append("; ")) {
            return 0;
        }
        if (!text.Append(item->GetName()) ||
            (item->GetValue() && (!text.AppendChar('=') || !text.Append(item->GetValue())))) {
            return 0;
        }
    }
    text_ = std::move(text);
    return 1;
}

int AddClientCookie(HttpRequest& request) {
    SettingsStore* settings = moduleState.settings;
    if (!settings) {
        return 1;
    }
    TextBuffer cid, oid, version;
    settings->GetUserIds(cid, oid);
    settings->GetClientVersion(version);
    CookieList cookies;
    TextBuffer existing;
    if (request.FindHeader("Cookie", existing)) {
        cookies.SetText(existing.CStr());
        cookies.Parse();
    }
    cookies.Set("CID", cid.CStr());
    cookies.Set("OID", oid.CStr());
    cookies.Set("CLNTVER", version.CStr());
    request.SetHeader("Cookie", cookies.GetText().CStr());
    return 1;
}
