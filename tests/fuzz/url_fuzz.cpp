// Url parsing and every derived part on arbitrary request targets.
#include "base/url.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text = FuzzText(data, size);
    Url url;
    url.SetUrl(text.c_str());
    for (int round = 0; round < 2; ++round) {
        url.GetDirectory();
        url.GetFileName();
        url.GetFileNameNoQuery();
        url.GetHostAndDirectory();
        url.GetUrlNoSchemeNoQuery();
        url.GetDomain();
        url.IsValid();
        url.EnsureTrailingSlash();
    }
    return 0;
}
