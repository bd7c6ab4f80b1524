#include <gtest/gtest.h>

#include "proxy/http_request.h"
#include "proxy/http_response.h"
#include "test_support.h"

namespace {

// "results origin head|proxy head" rebuilt from `head`, or "unparsed".
std::string Rebuilt(const std::string& head) {
    HttpRequest request;
    request.SetHead(head.c_str());
    if (!request.Parse()) {
        return "unparsed";
    }
    TextBuffer origin("stale"), proxy("stale");
    std::string built =
        Numbers(request.BuildOriginRequest(origin), request.BuildProxyRequest(proxy));
    return built + " " + Str(origin) + "|" + Str(proxy);
}

} // namespace

TEST(HttpRequest, HeadsRebuiltForOriginAndProxy) {
    const std::string longPath(TextBuffer::kFormatBufferSize, 'p');
    const std::pair<std::string, std::string> rows[] = {
        // Lines end at CR or LF; a field needs a name before its colon; only a whole
        // "Keep-Alive" value becomes "Close"; no "Pragma" goes to the origin, and
        // "Proxy-Connection" goes there as "Connection".
        {"POST\thttp://h/p\n: lone colon\r\nno colon\r\nEmpty:\r\nName  :   spaced \r\n"
         "pragma: a\r\nProxy-Connection: KEEP-ALIVE\r\nX: Keep-Alive, x\r\n\r\n",
         "1 1 POST /p HTTP/1.0\r\nEmpty: \r\nName: spaced \r\nConnection: Close\r\n"
         "X: Keep-Alive, x\r\n\r\n|POST http://h/p HTTP/1.0\r\nEmpty: \r\nName: spaced \r\n"
         "pragma: a\r\nProxy-Connection: Close\r\nX: Keep-Alive, x\r\n\r\n"},
        // Too long for the format buffer, or no request target: parsed, not rebuilt.
        {"GET http://h/" + longPath + " HTTP/1.0\r\n\r\n", "0 0 |"},
        {"GET http://h/ HTTP/1.0\r\nCookie: " + longPath + "\r\n\r\n", "0 0 |"},
        {"GET http://h:0/ HTTP/1.0\r\n\r\n", "0 0 |"},
        {"GET /relative HTTP/1.0\r\n", "unparsed"}};
    ExpectRows(rows, Rebuilt);
}

// The media class and subtype of an answer (the translation host's); -1: not parsed.
TEST(HttpResponse, MediaClass) {
    const std::pair<std::string, std::string> rows[] = {
        {"HTTP/1.1 404\r\nConnection: Keep-Alive\r\n\r\n", "0 "},
        {"HTTP/1.0 200 OK\r\nContent-Type: Text/HTML; charset=x\r\n\r\n", "1 HTML;"},
        // Only the slash and the space end the major type.
        {"HTTP/1.0 200 OK\r\nContent-Type: text;charset=x\r\n\r\n", "5 "},
        {"HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n", "2 gif"},
        {"HTTP/1.0 200 OK\r\nContent-Type: AUDIO/x\r\n\r\n", "3 x"},
        {"HTTP/1.0 200 OK\r\nContent-Type: video\r\n\r\n", "4 "},
        {"ICY 200 OK\r\n\r\n", "-1 stale"}};
    ExpectRows(rows, [](const std::string& head) {
        HttpResponse response;
        response.SetHead(head.c_str());
        TextBuffer subtype("stale");
        int media = response.Parse() ? response.GetMediaClass(subtype) : -1;
        return Numbers(media) + " " + Str(subtype);
    });
}
