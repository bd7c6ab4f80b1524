#include "services/host_redirect.h"

#include <cstring>
#include <new>

#include "control/module_state.h"
#include "proxy/socket_channel.h"
#include "settings/defaults.h"
#include "settings/settings_store.h"

namespace {

const char kComTarget[] = "http://www.%s.com/";
const char kRefreshPage[] = "<HTML><HEAD><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=%s\">"
                            "</HEAD><BODY></BODY></HTML>";
const char kPageHead[] = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: %d\r\n\r\n";

bool IsQuerySafe(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || std::strchr("*-.@_", byte) != nullptr;
}

// The search URL for `host`. The registry's format is used only when it holds
// exactly one "%s" and nothing else to fill; any other format (a "%n", a second
// "%s", a lone "%") would read arguments that are not there, so the suite's default
// search applies instead.
int SearchTarget(const TextBuffer& host, TextBuffer& target) {
    TextBuffer format;
    moduleState.settings->GetSearchURL(format);
    if (!IsSingleTextFormat(format.CStr())) {
        format.Assign(kDefaultSearchUrl);
    }
    TextBuffer words = EncodeQueryText(host);
    return target.Format(format.CStr(), words.CStr() ? words.CStr() : "");
}

} // namespace

bool IsSingleTextFormat(const char* format) {
    if (!format) {
        return false;
    }
    int texts = 0;
    for (const char* p = std::strchr(format, '%'); p; p = std::strchr(p + 2, '%')) {
        if (p[1] == 's') {
            ++texts;
        } else if (p[1] != '%') {
            return false;
        }
    }
    return texts == 1;
}

TextBuffer EncodeQueryText(const TextBuffer& text) {
    static const char kHex[] = "0123456789ABCDEF";
    int length = text.Length();
    int escaped = 0;
    for (int i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(text.CharAt(i));
        escaped += (byte != ' ' && !IsQuerySafe(byte)) ? 1 : 0;
    }
    TextBuffer result;
    if (length <= 0) {
        return result;
    }
    char* out = new (std::nothrow) char[static_cast<size_t>(length + 2 * escaped + 1)];
    if (!out) {
        return result;
    }
    char* p = out;
    for (int i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(text.CharAt(i));
        if (byte == ' ') {
            *p++ = '+';
        } else if (IsQuerySafe(byte)) {
            *p++ = static_cast<char>(byte);
        } else {
            *p++ = '%';
            *p++ = kHex[byte >> 4];
            *p++ = kHex[byte & 15];
        }
    }
    *p = '\0';
    result.Assign(out);
    delete[] out;
    return result;
}

int RedirectUnresolvedHost(SocketChannel& browser, const TextBuffer& host) {
    SettingsStore* settings = moduleState.settings;
    if (!settings) {
        return 0;
    }
    TextBuffer target;
    int ready = 1;
    if (!settings->GetRedirect(host.CStr(), target)) {
        ready = host.ContainsNonAscii() ? SearchTarget(host, target)
                                        : target.Format(kComTarget, host.CStr());
    }
    TextBuffer page;
    TextBuffer head;
    // A target too long for the page fails like a failed send: the request then
    // goes on as any other.
    if (!ready || !page.Format(kRefreshPage, target.CStr() ? target.CStr() : "") ||
        !head.Format(kPageHead, page.Length())) {
        return 0;
    }
    return (browser.Send(head.CStr(), head.Length()) >= 1 &&
            browser.Send(page.CStr(), page.Length()) >= 1)
               ? 1
               : 0;
}
