// The listing page: a hostile URL, then a hostile listing arriving in pieces on the
// data connection, parsed and rendered to a browser.
#include <cstring>

#include "base/url.h"
#include "ftp/ftp_listing.h"
#include "fuzz_input.h"

static size_t Count(const std::string& text, const char* part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = FuzzPieces(data, size, 8);
    Url url;
    url.SetUrl(FuzzText(pieces.front()).c_str());
    url.EnsureTrailingSlash();
    pieces.erase(pieces.begin());
    std::string page;
    int sent;
    {
        LoopbackPeer server(std::move(pieces));
        LoopbackPeer browser(&page);
        sent = FtpSendListing(browser.Channel(), url, server.Channel());
    }
    // It opens with its fixed head and, when whole, ends as a page. Names and listings
    // go in as they stand, so only when the input holds no "<" must every row close.
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    bool quoted = std::memchr(data, '<', size) != nullptr;
    if (page.rfind(head, 0) != 0 ||
        (sent && page.rfind("</body></html>\r\n") + 16 != page.size()) ||
        (!quoted && Count(page, "<tr>") != Count(page, "</tr>"))) {
        std::fprintf(stderr, "badly formed listing page:\n%s\n", page.c_str());
        std::abort();
    }
    return 0;
}
