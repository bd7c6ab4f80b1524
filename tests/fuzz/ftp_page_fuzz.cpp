// The listing page: a hostile URL, then a hostile listing arriving in pieces on the
// data connection, parsed and rendered to a browser.
#include "base/url.h"
#include "ftp/ftp_listing.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = FuzzPieces(data, size, 8);
    Url url;
    url.SetUrl(FuzzText(pieces.front()).c_str());
    url.EnsureTrailingSlash();
    pieces.erase(pieces.begin());
    LoopbackPeer server(std::move(pieces));
    LoopbackPeer browser;
    FtpSendListing(browser.Channel(), url, server.Channel());
    return 0;
}
