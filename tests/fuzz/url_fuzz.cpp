// Url parsing and every derived part, before and after the trailing slash, on
// arbitrary request targets: a URL that parses renders to a text that parses to the
// same parts.
#include "base/url.h"
#include "fuzz_input.h"

static std::string Str(const TextBuffer& text) {
    return text.CStr() ? text.CStr() : "";
}

static std::string Parts(const Url& url) {
    return std::to_string(url.GetScheme()) + " " + std::to_string(url.GetPort()) + "\n" +
           Str(url.GetUrl()) + "\n" + Str(url.GetHost()) + "\n" + Str(url.GetPath()) + "\n" +
           Str(url.GetUser()) + "\n" + Str(url.GetPassword());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Url url;
    int parsed = url.SetUrl(FuzzText(FuzzPieces(data, size, 1)[0]).c_str());
    for (int round = 0; round < 2; ++round) {
        Url again;
        if (parsed && (!again.SetUrl(url.GetUrl().CStr()) || Parts(again) != Parts(url))) {
            std::fprintf(stderr, "parsed again, other parts:\n%s\n", Parts(again).c_str());
            std::abort();
        }
        url.GetDirectory();
        url.GetFileName();
        url.GetFileNameNoQuery();
        url.GetHostAndDirectory();
        url.GetUrlNoSchemeNoQuery();
        url.GetDomain();
        url.IsValid();
        parsed = url.EnsureTrailingSlash() && parsed;
    }
    return 0;
}
