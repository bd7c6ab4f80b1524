// The small text parsers (cookie lists, media types, query encoding, search formats),
// the text operations they rest on, and their callers: the client cookie added to a
// hostile "Cookie" field, the redirect page for a hostile host.
#include "control/module_state.h"
#include "fuzz_input.h"
#include "proxy/http_request.h"
#include "proxy/media_class.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"
#include "settings/settings_store.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static SettingsStore settings;
    moduleState.settings = &settings;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = FuzzText(FuzzPieces(data, size, 1)[0]);
    TextBuffer text(input.c_str()), subtype, filled, token;
    CookieList cookies;
    cookies.SetText(input.c_str());
    cookies.Parse();
    cookies.Set("CID", input.c_str());
    HttpRequest request;
    request.SetHead(("GET http://h.x/ HTTP/1.0\r\nCookie: " + input + "\r\n\r\n").c_str());
    if (request.Parse()) {
        AddClientCookie(request);
    }
    ClassifyMediaType(text, subtype);
    IsTextExtension(text.ExtensionOf());
    IsBinaryExtension(text.ExtensionOf());
    EncodeQueryText(text);
    if (IsSingleTextFormat(input.c_str())) {
        filled.Format(input.c_str(), input.c_str());
    }
    // Not connected: the page is built whole and only its sending fails.
    SocketChannel browser;
    RedirectUnresolvedHost(browser, text);
    filled.Format("%s: %s\r\n", input.c_str(), input.c_str());
    for (int pos = 0; text.Tokenize(pos, token, "\r\n\t ;=/");) {
        token.Find(input.c_str());
        token.CompareNoCase(input.c_str());
    }
    text.Right(static_cast<int>(size % 7));
    text.DirectoryOf();
    return 0;
}
