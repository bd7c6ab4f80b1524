// Request and response heads as browsers and servers might send them: parsed, edited
// and rebuilt.
#include "fuzz_input.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string head = FuzzText(FuzzPieces(data, size, 1)[0]);
    HttpRequest request;
    request.SetHead(head.c_str());
    TextBuffer out;
    if (request.Parse()) {
        request.GetContentLength();
        request.SetHeader("Cookie", "CID=1");
        request.BuildOriginRequest(out);
        request.BuildProxyRequest(out);
    }
    HttpResponse response;
    response.SetHead(head.c_str());
    if (response.Parse()) {
        response.GetMediaClass(out);
    }
    return 0;
}
