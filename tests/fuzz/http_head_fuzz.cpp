// Request and response heads as browsers and servers might send them: parsed,
// edited and rebuilt.
#include "fuzz_input.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string head = FuzzText(data, size);
    HttpRequest request;
    request.SetHead(head.c_str());
    if (request.Parse()) {
        TextBuffer out;
        request.GetContentLength();
        request.SetHeader("Cookie", "CID=1");
        request.BuildOriginRequest(out);
        request.BuildProxyRequest(out);
    }
    HttpResponse response;
    response.SetHead(head.c_str());
    if (response.Parse()) {
        TextBuffer subtype;
        response.GetMediaClass(subtype);
    }
    return 0;
}
