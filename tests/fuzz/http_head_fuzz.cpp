// Request and response heads as browsers and servers might send them: parsed, edited
// and rebuilt.
#include <cctype>

#include "fuzz_input.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"

// A rebuilt head asks for HTTP/1.0 and ends at its one empty line; the origin server
// gets no "Pragma" or "Proxy-Connection" field.
static bool WellFormed(std::string head, bool forOrigin) {
    for (char& c : head) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return head.find("\r\n\r\n") + 4 == head.size() &&
           head.find(" http/1.0\r\n") + 9 == head.find("\r\n") &&
           !(forOrigin && (head.find("\npragma:") != std::string::npos ||
                           head.find("\nproxy-connection:") != std::string::npos));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string head = FuzzText(FuzzPieces(data, size, 1)[0]);
    HttpRequest request;
    request.SetHead(head.c_str());
    TextBuffer out;
    if (request.Parse()) {
        request.GetContentLength();
        request.SetHeader("Cookie", "CID=1");
        for (bool forOrigin : {true, false}) {
            if ((forOrigin ? request.BuildOriginRequest(out) : request.BuildProxyRequest(out)) &&
                !WellFormed(out.CStr(), forOrigin)) {
                std::fprintf(stderr, "badly rebuilt head:\n%s", out.CStr());
                std::abort();
            }
        }
    }
    HttpResponse response;
    response.SetHead(head.c_str());
    if (response.Parse()) {
        response.GetMediaClass(out);
    }
    return 0;
}
