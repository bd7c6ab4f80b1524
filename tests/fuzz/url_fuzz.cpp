// Url parsing and every derived part, before and after the trailing slash, on
// arbitrary request targets.
#include "base/url.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Url url;
    url.SetUrl(FuzzText(FuzzPieces(data, size, 1)[0]).c_str());
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
