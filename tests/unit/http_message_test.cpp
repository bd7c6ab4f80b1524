#include "proxy/data_chunk.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "";
}

const char kBrowserHead[] = "GET http://h.x.y/a?b HTTP/1.1\r\n"
                            "Host: h.x.y\r\n"
                            "Proxy-Connection: Keep-Alive\r\n"
                            "Pragma: no-cache\r\n"
                            "\r\n";

} // namespace

TEST(HttpRequest, OriginAndProxyHeadsForTheSameBrowserRequest) {
    HttpRequest request;
    request.SetHead(kBrowserHead);
    ASSERT_EQ(1, request.Parse());
    EXPECT_EQ("GET", Str(request.GetMethod()));
    EXPECT_EQ(1, request.GetScheme());

    TextBuffer origin;
    ASSERT_EQ(1, request.BuildOriginRequest(origin));
    EXPECT_EQ("GET /a?b HTTP/1.0\r\n"
              "Host: h.x.y\r\n"
              "Connection: Close\r\n"
              "\r\n",
              Str(origin));

    TextBuffer proxy;
    ASSERT_EQ(1, request.BuildProxyRequest(proxy));
    EXPECT_EQ("GET http://h.x.y/a?b HTTP/1.0\r\n"
              "Host: h.x.y\r\n"
              "Proxy-Connection: Close\r\n"
              "Pragma: no-cache\r\n"
              "\r\n",
              Str(proxy));

    TextBuffer host;
    int port = 0;
    ASSERT_EQ(1, request.GetHostPort(host, port));
    EXPECT_EQ("h.x.y", Str(host));
    EXPECT_EQ(80, port);
}

TEST(HttpRequest, HeaderLinesAreParsedLeniently) {
    HttpRequest request;
    request.SetHead("POST\thttp://h/p\n"
                    ": lone colon\r\n"
                    "no colon here\r\n"
                    "Empty:\r\n"
                    "Name  :   spaced value \r\n"
                    "pragma: a\r\n"
                    "PRAGMA: b\r\n"
                    "Connection: keep-alive\r\n"
                    "Keep-Alive: 300\r\n"
                    "X-Keep: Keep-Alive, x\r\n"
                    "Content-Length: 12abc\r\n\r\n");
    ASSERT_EQ(1, request.Parse());
    EXPECT_EQ("POST", Str(request.GetMethod()));
    EXPECT_EQ(12, request.GetContentLength());

    TextBuffer value("stale");
    EXPECT_EQ(1, request.FindHeader("empty", value));
    EXPECT_EQ(nullptr, value.CStr());
    EXPECT_EQ(0, request.FindHeader("no colon here", value));

    TextBuffer origin;
    ASSERT_EQ(1, request.BuildOriginRequest(origin));
    EXPECT_EQ("POST /p HTTP/1.0\r\n"
              "Empty: \r\n"
              "Name: spaced value \r\n"
              "Connection: Close\r\n"
              "Keep-Alive: 300\r\n"
              "X-Keep: Keep-Alive, x\r\n"
              "Content-Length: 12abc\r\n"
              "\r\n",
              Str(origin));
}

TEST(HttpRequest, SetHeaderKeepsSpellingAndPlace) {
    HttpRequest request;
    request.SetHead("GET http://h/ HTTP/1.0\r\ncookie: a=1\r\nAccept: */*\r\n\r\n");
    ASSERT_EQ(1, request.Parse());
    EXPECT_EQ(-1, request.GetContentLength());
    EXPECT_EQ(1, request.SetHeader("Cookie", "a=1; CID=7"));
    EXPECT_EQ(1, request.SetHeader("X-New", "v"));
    TextBuffer head;
    ASSERT_EQ(1, request.BuildProxyRequest(head));
    EXPECT_EQ("GET http://h/ HTTP/1.0\r\ncookie: a=1; CID=7\r\nAccept: */*\r\nX-New: v\r\n\r\n",
              Str(head));

    HttpRequest bare;
    bare.SetHead("GET http://h/\r\n\r\n");
    ASSERT_EQ(1, bare.Parse());
    EXPECT_EQ(1, bare.SetHeader("Cookie", "CID=1"));
    ASSERT_EQ(1, bare.BuildOriginRequest(head));
    EXPECT_EQ("GET / HTTP/1.0\r\nCookie: CID=1\r\n\r\n", Str(head));
}

TEST(HttpRequest, BadHeadsFailWithoutHarm) {
    const char* const bad[] = {
        nullptr, "", "\r\n\r\n", "GET\r\n\r\n", "   \r\nHost: h\r\n", "GET /relative HTTP/1.0\r\n",
    };
    for (const char* head : bad) {
        SCOPED_TRACE(head ? head : "null");
        HttpRequest request;
        request.SetHead(head);
        EXPECT_EQ(0, request.Parse());
        TextBuffer out("stale");
        EXPECT_EQ(0, request.BuildOriginRequest(out));
        EXPECT_EQ(nullptr, out.CStr());
        EXPECT_EQ(0, request.BuildProxyRequest(out));
        TextBuffer host;
        int port = -1;
        EXPECT_EQ(0, request.GetHostPort(host, port));
        EXPECT_EQ(-1, port);
    }

    // A URL or field longer than the format buffer parses, but no head is built.
    std::string path(TextBuffer::kFormatBufferSize, 'p');
    HttpRequest longUrl;
    std::string head = "GET http://h/" + path + " HTTP/1.0\r\n\r\n";
    longUrl.SetHead(head.c_str());
    ASSERT_EQ(1, longUrl.Parse());
    TextBuffer out("stale");
    EXPECT_EQ(0, longUrl.BuildOriginRequest(out));
    EXPECT_EQ(nullptr, out.CStr());

    HttpRequest longField;
    head = "GET http://h/ HTTP/1.0\r\nCookie: " + path + "\r\n\r\n";
    longField.SetHead(head.c_str());
    ASSERT_EQ(1, longField.Parse());
    EXPECT_EQ(0, longField.BuildProxyRequest(out));
    EXPECT_EQ(nullptr, out.CStr());
}

TEST(HttpResponse, StatusFieldsAndMediaClass) {
    HttpResponse response;
    response.SetHead("HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=x\r\n"
                     "Language: ko\r\nConnection: Keep-Alive\r\n\r\n");
    ASSERT_EQ(1, response.Parse());
    EXPECT_EQ(200, response.GetStatus());
    EXPECT_EQ("HTTP/1.0 200 OK", Str(response.GetStatusLine()));
    TextBuffer value;
    ASSERT_EQ(1, response.FindHeader("connection", value));
    EXPECT_EQ("Keep-Alive", Str(value));
    TextBuffer subtype;
    EXPECT_EQ(1, response.GetMediaClass(subtype));
    EXPECT_EQ("html;", Str(subtype));

    HttpResponse plain;
    plain.SetHead("HTTP/1.1 404\r\n\r\n");
    ASSERT_EQ(1, plain.Parse());
    EXPECT_EQ(404, plain.GetStatus());
    subtype.Assign("stale");
    EXPECT_EQ(0, plain.GetMediaClass(subtype));
    EXPECT_EQ(nullptr, subtype.CStr());

    for (const char* bad : {"ICY 200 OK\r\n\r\n", "HTTP/1.0", "\r\n", ""}) {
        HttpResponse response2;
        response2.SetHead(bad);
        EXPECT_EQ(0, response2.Parse()) << bad;
    }
}

TEST(DataChunk, OwnedCopiesAndBorrowedBlocks) {
    char bytes[] = "abcdef";
    DataChunk chunk;
    EXPECT_EQ(0, chunk.SetData(nullptr, 3, 1));
    EXPECT_EQ(0, chunk.SetData(bytes, -1, 1));

    ASSERT_EQ(1, chunk.SetData(bytes, 3, 1));
    EXPECT_NE(bytes, chunk.GetData());
    EXPECT_FALSE(chunk.IsBorrowed());
    const char* owned = chunk.GetData();
    ASSERT_EQ(1, chunk.SetData(bytes + 3, 3, 1));
    EXPECT_EQ(owned, chunk.GetData()); // same length: the block is reused
    EXPECT_EQ("def", std::string(chunk.GetData(), 3));

    ASSERT_EQ(1, chunk.SetData(bytes, 6, 0));
    EXPECT_EQ(bytes, chunk.GetData());
    EXPECT_TRUE(chunk.IsBorrowed());
    EXPECT_EQ(6, chunk.GetLength());
    // A copy after borrowing never writes into the borrowed bytes.
    ASSERT_EQ(1, chunk.SetData("xyzuvw", 6, 1));
    EXPECT_STREQ("abcdef", bytes);
    EXPECT_EQ("xyzuvw", std::string(chunk.GetData(), 6));

    DataChunk* head = new DataChunk;
    head->InsertAfter(new DataChunk);
    head->Next()->SetData(bytes, 6, 0);
    delete head; // frees the chain, leaves borrowed bytes alone
    EXPECT_STREQ("abcdef", bytes);
}
