// The small text parsers: cookie lists, media types, query encoding, search
// formats, and the text operations they rest on, with arguments of any length.
#include "fuzz_input.h"
#include "proxy/media_class.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string input = FuzzText(data, size);
    TextBuffer text(input.c_str());

    CookieList cookies;
    cookies.SetText(input.c_str());
    cookies.Parse();
    cookies.Set("CID", input.c_str());

    TextBuffer subtype;
    ClassifyMediaType(text, subtype);
    IsTextExtension(text.ExtensionOf());
    EncodeQueryText(text);
    if (IsSingleTextFormat(input.c_str())) {
        TextBuffer filled;
        filled.Format(input.c_str(), input.c_str());
    }

    TextBuffer formatted;
    formatted.Format("%s: %s\r\n", input.c_str(), input.c_str());
    int pos = 0;
    TextBuffer token;
    while (text.Tokenize(pos, token, "\r\n\t ;=/")) {
        token.Find(input.c_str());
        token.CompareNoCase(input.c_str());
    }
    text.Right(static_cast<int>(size % 7));
    text.DirectoryOf();
    return 0;
}
