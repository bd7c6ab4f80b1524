#include "base/url.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "";
}

struct Parts {
    int scheme;
    const char* host;
    int port;
    const char* path;
    const char* user;
    const char* password;
};

void ExpectParts(const char* text, const Parts& want) {
    SCOPED_TRACE(text);
    Url url;
    ASSERT_EQ(1, url.SetUrl(text));
    EXPECT_EQ(want.scheme, url.GetScheme());
    EXPECT_EQ(want.host, Str(url.GetHost()));
    EXPECT_EQ(want.port, url.GetPort());
    EXPECT_EQ(want.path, Str(url.GetPath()));
    EXPECT_EQ(want.user, Str(url.GetUser()));
    EXPECT_EQ(want.password, Str(url.GetPassword()));
}

} // namespace

TEST(Url, SchemesAndAuthorities) {
    const char* anon = Url::kAnonymousPassword;
    ExpectParts("http://h.x.y", {1, "h.x.y", 80, "/", "", ""});
    ExpectParts(" \tHTTP://h.x.y:8080/a?b=1\r\n", {1, "h.x.y", 8080, "/a?b=1", "", ""});
    ExpectParts("ftp://f.x.y/pub/", {2, "f.x.y", 21, "/pub/", "anonymous", anon});
    ExpectParts("FTP://f.x.y:2121", {2, "f.x.y", 2121, "/", "anonymous", anon});
    ExpectParts("ftp://usr@f.x.y/", {2, "f.x.y", 21, "/", "usr", ""});
    ExpectParts("ftp://usr:pw@f.x.y/", {2, "f.x.y", 21, "/", "usr", "pw"});
    ExpectParts("ftp://usr:@h/", {2, "h", 21, "/", "usr:", ""});
    ExpectParts("ftp://:pw@h/", {2, "h", 21, "/", "", "pw"});
    ExpectParts("ftp://a:b:c@h/", {2, "h", 21, "/", "a", "b:c"});
    // An "@" first or last is part of the host.
    ExpectParts("ftp://@h/", {2, "@h", 21, "/", "anonymous", anon});
    ExpectParts("http://h@/", {1, "h@", 80, "/", "", ""});
    ExpectParts("http://u@h:81/", {1, "h", 81, "/", "u", ""});
    // The two bytes behind the scheme word are skipped whatever they are.
    ExpectParts("http:/Xh/p", {1, "h", 80, "/p", "", ""});
}

TEST(Url, TextsWithoutAKnownSchemeAreHttpHosts) {
    ExpectParts("h.x.y/a", {1, "h.x.y", 80, "/a", "", ""});
    ExpectParts("h.x.y", {1, "h.x.y", 80, "/", "", ""});
    ExpectParts("h.x.y:81", {1, "h.x.y", 81, "/", "", ""});
    ExpectParts("https://h.x.y/a", {1, "https:", 80, "//h.x.y/a", "", ""});
    ExpectParts("gopher://h/", {1, "gopher:", 80, "//h/", "", ""});
}

TEST(Url, PortsAreReadLikeAtoi) {
    ExpectParts("h:abc/", {1, "h", 0, "/", "", ""});
    ExpectParts("h: +81x/", {1, "h", 81, "/", "", ""});
    ExpectParts("h:-5/", {1, "h", -5, "/", "", ""});
    ExpectParts("h:99999999999999999999/", {1, "h", 2147483647, "/", "", ""});
    // A colon first or last stays in the host and the default port remains.
    ExpectParts("http://h:/", {1, "h:", 80, "/", "", ""});
    ExpectParts("ftp://:21/", {2, ":21", 21, "/", "anonymous", Url::kAnonymousPassword});
    Url url;
    url.SetUrl("h:abc/");
    EXPECT_EQ(0, url.IsValid());
}

TEST(Url, FailedParsesResetEveryPartButTheText) {
    Url url;
    EXPECT_EQ(0, url.GetScheme());
    EXPECT_EQ(0, url.GetPort());
    EXPECT_EQ(0, url.IsValid());
    ASSERT_EQ(1, url.SetUrl("ftp://u:p@h:99/a/b"));
    const char* const bads[] = {"", "   ", "/a/b", "http://", "http://a", "ftp:/x", nullptr};
    for (const char* bad : bads) {
        SCOPED_TRACE(bad ? bad : "null");
        EXPECT_EQ(0, url.SetUrl(bad));
        EXPECT_EQ(0, url.GetScheme());
        EXPECT_EQ(0, url.GetPort());
        EXPECT_EQ(nullptr, url.GetHost().CStr());
        EXPECT_EQ(nullptr, url.GetPath().CStr());
        EXPECT_EQ(nullptr, url.GetUser().CStr());
        EXPECT_EQ(nullptr, url.GetPassword().CStr());
        EXPECT_EQ(0, url.IsValid());
    }
    url.SetUrl(" /a/b ");
    EXPECT_EQ("/a/b", Str(url.GetUrl()));
    // An empty authority parses but is not a valid request target.
    EXPECT_EQ(1, url.SetUrl("http:///x"));
    EXPECT_EQ(0, url.IsValid());
}

TEST(Url, DerivedPartsOfThePath) {
    Url url;
    url.SetUrl("http://h.x.y/a/b/c.html");
    EXPECT_EQ("a/b", Str(url.GetDirectory()));
    EXPECT_EQ("c.html", Str(url.GetFileName()));
    EXPECT_EQ("h.x.y/a/b", Str(url.GetHostAndDirectory()));
    EXPECT_EQ("x.y", Str(url.GetDomain()));

    url.SetUrl("http://h/a/b.cgi?x=1/2");
    EXPECT_EQ("2", Str(url.GetFileName()));
    url.SetUrl("http://h/a/b.cgi?x=1");
    EXPECT_EQ("b.cgi?x=1", Str(url.GetFileName()));
    EXPECT_EQ("b.cgi", Str(url.GetFileNameNoQuery()));
    EXPECT_EQ("h/a/b.cgi", Str(url.GetUrlNoSchemeNoQuery()));
    EXPECT_EQ("h", Str(url.GetDomain()));

    url.SetUrl("http://h/?q");
    EXPECT_EQ("?q", Str(url.GetFileNameNoQuery()));
    url.SetUrl("http://h/a/");
    EXPECT_EQ("a", Str(url.GetDirectory()));
    EXPECT_EQ("", Str(url.GetFileName()));
    url.SetUrl("http://h/index.html");
    EXPECT_EQ("", Str(url.GetDirectory()));
    url.SetUrl("http://h.x.y/");
    EXPECT_EQ("h.x.y", Str(url.GetHostAndDirectory()));
    EXPECT_EQ("h.x.y/", Str(url.GetUrlNoSchemeNoQuery()));
    url.SetUrl("http://x.y.z/");
    EXPECT_EQ("y.z", Str(url.GetDomain()));
    url.SetUrl("http://x.y");
    EXPECT_EQ("x.y", Str(url.GetDomain()));
    EXPECT_EQ("", Str(url.GetHostAndDirectory()));

    url.SetUrl("h.x.y/a/b?c");
    EXPECT_EQ("", Str(url.GetHostAndDirectory()));
    EXPECT_EQ("", Str(url.GetUrlNoSchemeNoQuery()));
    EXPECT_EQ("a", Str(url.GetDirectory()));
}

TEST(Url, EnsureTrailingSlashReparses) {
    Url url;
    url.SetUrl("ftp://h/pub");
    EXPECT_EQ("pub", Str(url.GetFileName()));
    EXPECT_EQ(1, url.EnsureTrailingSlash());
    EXPECT_EQ("ftp://h/pub/", Str(url.GetUrl()));
    EXPECT_EQ("/pub/", Str(url.GetPath()));
    EXPECT_EQ("pub", Str(url.GetDirectory()));
    EXPECT_EQ("", Str(url.GetFileName()));
    EXPECT_EQ(1, url.EnsureTrailingSlash());
    EXPECT_EQ("ftp://h/pub/", Str(url.GetUrl()));

    url.SetUrl("ftp://h");
    EXPECT_EQ(1, url.EnsureTrailingSlash());
    EXPECT_EQ("/", Str(url.GetPath()));
    EXPECT_EQ("h", Str(url.GetHost()));
}
