#include "proxy_fixture.h"

namespace {

// Bytes 0..255 over and over, NULs included.
std::string BinaryBody(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>(i * 7 % 256);
    }
    return body;
}

} // namespace

TEST_F(ProxyTest, RequestsReachTheOriginAsHttp10AndAnswersComeBackUnchanged) {
    std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" +
                         BinaryBody(3 * 1024 * 1024 + 17);
    TestOrigin origin(answer);
    std::string host = "127.0.0.1:" + std::to_string(origin.Port());
    std::string got = Exchange("GET http://" + host +
                               "/a/b?c=1 HTTP/1.1\r\n"
                               "Host: " +
                               host +
                               "\r\n"
                               "Proxy-Connection: Keep-Alive\r\n"
                               "Pragma: no-cache\r\n"
                               "Accept: */*\r\n\r\n");
    EXPECT_TRUE(got == answer) << got.size() << " of " << answer.size() << " bytes";
    EXPECT_EQ("GET /a/b?c=1 HTTP/1.0\r\n"
              "Host: " +
                  host +
                  "\r\n"
                  "Connection: Close\r\n"
                  "Accept: */*\r\n\r\n",
              origin.Received(0));
}

TEST_F(ProxyTest, PostBodiesAreForwardedOnlyForPost) {
    TestOrigin origin("HTTP/1.0 200 OK\r\n\r\n");
    std::string target = "http://127.0.0.1:" + std::to_string(origin.Port()) + "/form";

    // The whole body with the head.
    std::string head =
        "POST " + target + " HTTP/1.0\r\nContent-Length: 5\r\nX-Expect-Body: 5\r\n\r\n";
    Exchange(head + "abcde");
    EXPECT_EQ("POST /form HTTP/1.0\r\nContent-Length: 5\r\nX-Expect-Body: 5\r\n\r\nabcde",
              origin.Received(0));

    // A body that follows the head later, in several parts.
    auto browser = Browse();
    head =
        "POST " + target + " HTTP/1.0\r\nContent-Length: 3000\r\nX-Expect-Body: 3000\r\n\r\nfirst";
    browser->Send(head.data(), static_cast<int>(head.size()));
    ASSERT_TRUE(WaitUntil([] { return Busy() == 1; }));
    std::string rest(2995, 'r');
    browser->Send(rest.data(), static_cast<int>(rest.size()));
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\n", ReadAll(*browser));
    EXPECT_TRUE(origin.Received(1) ==
                "POST /form HTTP/1.0\r\nContent-Length: 3000\r\nX-Expect-Body: 3000\r\n\r\nfirst" +
                    rest);

    // Without a length only what came with the head goes on; other methods (and
    // "post" in lower case) forward no body at all.
    Exchange("POST " + target + " HTTP/1.0\r\nX-Expect-Body: 9\r\n\r\nonly-this");
    EXPECT_EQ("POST /form HTTP/1.0\r\nX-Expect-Body: 9\r\n\r\nonly-this", origin.Received(2));
    Exchange("post " + target + " HTTP/1.0\r\nContent-Length: 4\r\n\r\nbody");
    EXPECT_EQ("post /form HTTP/1.0\r\nContent-Length: 4\r\n\r\n", origin.Received(3));
    Exchange("PUT " + target + " HTTP/1.0\r\nContent-Length: 4\r\n\r\nbody");
    EXPECT_EQ("PUT /form HTTP/1.0\r\nContent-Length: 4\r\n\r\n", origin.Received(4));
}

TEST_F(ProxyTest, FailedRelaysCloseWithoutAnAnswer) {
    SocketChannel probe;
    ASSERT_EQ(1, probe.Create());
    ASSERT_EQ(1, probe.Bind(0));
    int unused = probe.LocalPort();
    probe.Close();
    EXPECT_EQ("",
              Exchange("GET http://127.0.0.1:" + std::to_string(unused) + "/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ("", Exchange("GET http://no-such-host.invalid/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ("", Exchange("GET ftp://127.0.0.1:1/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ("", Exchange("GET /relative HTTP/1.0\r\n\r\n"));
    // The agent serves the next request as usual.
    TestOrigin origin("HTTP/1.0 204 No Content\r\n\r\n");
    EXPECT_EQ(
        "HTTP/1.0 204 No Content\r\n\r\n",
        Exchange("GET http://127.0.0.1:" + std::to_string(origin.Port()) + "/ HTTP/1.0\r\n\r\n"));
}
