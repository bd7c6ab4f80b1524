#include <gtest/gtest.h>

#include "proxy/data_chunk.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"
#include "proxy/media_class.h"
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
        {"GET http://h.x.y/a?b HTTP/1.1\r\nHost: h.x.y\r\nProxy-Connection: Keep-Alive\r\n"
         "Pragma: no-cache\r\n\r\n",
         "1 1 GET /a?b HTTP/1.0\r\nHost: h.x.y\r\nConnection: Close\r\n\r\n|"
         "GET http://h.x.y/a?b HTTP/1.0\r\nHost: h.x.y\r\nProxy-Connection: Close\r\n"
         "Pragma: no-cache\r\n\r\n"},
        // Lines end at CR or LF; a field needs a name before its colon; only a whole
        // "Keep-Alive" value becomes "Close"; no "Pragma" goes to the origin.
        {"POST\thttp://h/p\n: lone colon\r\nno colon\r\nEmpty:\r\nName  :   spaced \r\n"
         "pragma: a\r\nPRAGMA: b\r\nkeep-alive: KEEP-ALIVE\r\nX: Keep-Alive, x\r\n\r\n",
         "1 1 POST /p HTTP/1.0\r\nEmpty: \r\nName: spaced \r\nkeep-alive: Close\r\n"
         "X: Keep-Alive, x\r\n\r\n|POST http://h/p HTTP/1.0\r\nEmpty: \r\nName: spaced \r\n"
         "pragma: a\r\nPRAGMA: b\r\nkeep-alive: Close\r\nX: Keep-Alive, x\r\n\r\n"},
        {"GET ftp://h/\r\n\r\n", "1 1 GET / HTTP/1.0\r\n\r\n|GET ftp://h/ HTTP/1.0\r\n\r\n"},
        // Too long for the format buffer, or no request target: parsed, not rebuilt.
        {"GET http://h/" + longPath + " HTTP/1.0\r\n\r\n", "0 0 |"},
        {"GET http://h/ HTTP/1.0\r\nCookie: " + longPath + "\r\n\r\n", "0 0 |"},
        {"GET http://h:0/ HTTP/1.0\r\n\r\n", "0 0 |"},
        {"", "unparsed"},
        {"\r\n\r\n", "unparsed"},
        {"GET\r\n\r\n", "unparsed"},
        {"   \r\nHost: h\r\n", "unparsed"},
        {"GET /relative HTTP/1.0\r\n", "unparsed"}};
    ExpectRows(rows, Rebuilt);
}

// A field keeps its spelling and place when set; a new one goes last.
TEST(HttpRequest, FieldsByName) {
    HttpRequest request;
    request.SetHead(
        "GET http://h:81/ HTTP/1.0\r\ncookie: a\r\nEmpty:\r\nContent-Length: 12x\r\n\r\n");
    ASSERT_EQ(1, request.Parse());
    TextBuffer host, value("stale");
    int port = 0;
    EXPECT_EQ("1 1 0", Numbers(request.GetHostPort(host, port), request.FindHeader("EMPTY", value),
                               request.FindHeader("X", value)));
    EXPECT_EQ("h 81 12 ",
              Str(host) + " " + Numbers(port, request.GetContentLength()) + " " + Str(value));
    EXPECT_EQ("1 1", Numbers(request.SetHeader("Cookie", "a; CID=7"), request.SetHeader("X", "v")));
    TextBuffer head;
    ASSERT_EQ(1, request.BuildOriginRequest(head));
    EXPECT_EQ(
        "GET / HTTP/1.0\r\ncookie: a; CID=7\r\nEmpty: \r\nContent-Length: 12x\r\nX: v\r\n\r\n",
        Str(head));
    // No "Content-Length"; a URL that is no request target gives no host.
    request.SetHead("GET http://h:0/\r\n\r\n");
    ASSERT_EQ(1, request.Parse());
    EXPECT_EQ("-1 0 h 81", Numbers(request.GetContentLength(), request.GetHostPort(host, port)) +
                               " " + Str(host) + " " + std::to_string(port));
}

namespace {

// "status status-line Connection|media class subtype" of a response head, or "0".
std::string Response(const std::string& head) {
    HttpResponse response;
    response.SetHead(head.c_str());
    TextBuffer connection, subtype("stale");
    if (!response.Parse()) {
        return "0";
    }
    response.FindHeader("connection", connection);
    int media = response.GetMediaClass(subtype);
    return std::to_string(response.GetStatus()) + " " + Str(response.GetStatusLine()) + " " +
           Str(connection) + "|" + std::to_string(media) + " " + Str(subtype);
}

} // namespace

TEST(HttpResponse, StatusFieldsAndMediaClass) {
    const std::string ok = "HTTP/1.0 200 OK\r\nContent-Type:";
    const std::pair<std::string, std::string> rows[] = {
        {"HTTP/1.1 404\r\nConnection: Keep-Alive\r\n\r\n", "404 HTTP/1.1 404 Keep-Alive|0 "},
        {ok + " Text/HTML; charset=x\r\n\r\n", "200 HTTP/1.0 200 OK |1 HTML;"},
        {ok + "  image/gif\r\n\r\n", "200 HTTP/1.0 200 OK |2 gif"},
        {ok + " AUDIO/basic\r\n\r\n", "200 HTTP/1.0 200 OK |3 basic"},
        {ok + " video\r\n\r\n", "200 HTTP/1.0 200 OK |4 "},
        {ok + " text;charset=x\r\n\r\n", "200 HTTP/1.0 200 OK |5 "},
        {ok + " application/zip\r\n\r\n", "200 HTTP/1.0 200 OK |5 zip"},
        {ok + " / /\r\n\r\n", "200 HTTP/1.0 200 OK |0 "},
        {"ICY 200 OK\r\n\r\n", "0"},
        {"HTTP/1.0", "0"},
        {"\r\n", "0"},
        {"", "0"}};
    ExpectRows(rows, Response);
    TextBuffer subtype("stale");
    EXPECT_EQ("1 0 0 1 1",
              Numbers(IsTextExtension(TextBuffer(".js")), IsTextExtension(TextBuffer(".JS")),
                      IsBinaryExtension(TextBuffer(".js")), IsBinaryExtension(TextBuffer(".zip")),
                      ClassifyMediaType(TextBuffer("text"), subtype)));
    EXPECT_EQ(nullptr, subtype.CStr());
}

// An owned copy reuses its block for the same length; borrowed bytes are never written
// or freed.
TEST(DataChunk, OwnedCopiesAndBorrowedBytes) {
    char bytes[] = "abcdef";
    DataChunk chunk;
    EXPECT_EQ("0 0 1", Numbers(chunk.SetData(nullptr, 3, 1), chunk.SetData(bytes, -1, 1),
                               chunk.SetData(bytes, 3, 1)));
    const char* owned = chunk.GetData();
    ASSERT_EQ(1, chunk.SetData(bytes + 3, 3, 1));
    EXPECT_EQ("1 def 0", Numbers(owned == chunk.GetData()) + " " + std::string(owned, 3) + " " +
                             std::to_string(chunk.IsBorrowed()));
    ASSERT_EQ(1, chunk.SetData(bytes, 6, 0));
    char piece[8] = {};
    std::string reads;
    int position = 0;
    for (int count : {4, 4, 0, 7}) {
        int read = chunk.ReadAt(piece, position, count);
        reads +=
            std::string(piece, static_cast<size_t>(read)) + "@" + std::to_string(position) + " ";
    }
    EXPECT_EQ("abcd@4 ef@0 @0 abcdef@0 ", reads);
    ASSERT_EQ(1, chunk.SetData("xyzuvw", 6, 1));
    EXPECT_STREQ("abcdef", bytes);
}
