#include "base/url.h"

#include "test_support.h"

namespace {

// SetUrl's result over a URL that had every part, then "valid scheme host port path
// user password", empty parts as "".
std::string Parse(const char* text) {
    Url url;
    url.SetUrl("ftp://u:p@h:99/a/b");
    int parsed = url.SetUrl(text);
    return Numbers(parsed, url.IsValid(), url.GetScheme()) + " " + Str(url.GetHost()) + " " +
           std::to_string(url.GetPort()) + " " + Str(url.GetPath()) + " " + Str(url.GetUser()) +
           " " + Str(url.GetPassword());
}

// "directory|file|file without query|host and directory|without scheme and query|domain"
// of `text`, after EnsureTrailingSlash when it ends in "+".
std::string Derived(const std::string& text) {
    Url url;
    url.SetUrl(text.substr(0, text.find('+')).c_str());
    std::string slashed;
    if (text.back() == '+') {
        int ensured = url.EnsureTrailingSlash();
        slashed = std::to_string(ensured) + " " + Str(url.GetUrl()) + " ";
    }
    return slashed + Str(url.GetDirectory()) + "|" + Str(url.GetFileName()) + "|" +
           Str(url.GetFileNameNoQuery()) + "|" + Str(url.GetHostAndDirectory()) + "|" +
           Str(url.GetUrlNoSchemeNoQuery()) + "|" + Str(url.GetDomain());
}

} // namespace

TEST(Url, Parts) {
    const std::string anonymous = std::string(" anonymous ") + Url::kAnonymousPassword;
    const std::pair<const char*, std::string> rows[] = {
        {"http://h.x.y", "1 1 1 h.x.y 80 /  "},
        {" \tHTTP://h.x.y:8080/a?b=1\r\n", "1 1 1 h.x.y 8080 /a?b=1  "},
        {"ftp://f.x.y/pub/", "1 1 2 f.x.y 21 /pub/" + anonymous},
        {"FTP://f.x.y:2121", "1 1 2 f.x.y 2121 /" + anonymous},
        {"ftp://usr@f/", "1 1 2 f 21 / usr "},
        {"ftp://usr:pw@f/", "1 1 2 f 21 / usr pw"},
        {"ftp://a:b:c@h/", "1 1 2 h 21 / a b:c"},
        // An "@" or ":" first or last stays where it is.
        {"ftp://usr:@h/", "1 1 2 h 21 / usr: "},
        {"ftp://:pw@h/", "1 1 2 h 21 /  pw"},
        {"ftp://@h/", "1 1 2 @h 21 /" + anonymous},
        {"http://h@/", "1 1 1 h@ 80 /  "},
        {"http://u@h:81/", "1 1 1 h 81 / u "},
        {"http://h:/", "1 1 1 h: 80 /  "},
        {"ftp://:21/", "1 1 2 :21 21 /" + anonymous},
        // The two bytes behind the scheme word are skipped, whatever they are; any
        // other word before the first "/" is an HTTP host.
        {"http:/Xh/p", "1 1 1 h 80 /p  "},
        {"h.x.y:81", "1 1 1 h.x.y 81 /  "},
        {"https://h.x.y/a", "1 1 1 https: 80 //h.x.y/a  "},
        // Ports are read like atoi; 0 is no port, and an empty host no target.
        {"h:abc/", "1 0 1 h 0 /  "},
        {"h: +81x/", "1 1 1 h 81 /  "},
        {"h:-5/", "1 1 1 h -5 /  "},
        {"h:99999999999999999999/", "1 1 1 h 2147483647 /  "},
        {"http:///x", "1 0 1  80 /x  "},
        // A failure resets every part.
        {"", "0 0 0  0   "},
        {"/a/b", "0 0 0  0   "},
        {"http://a", "0 0 0  0   "},
        {nullptr, "0 0 0  0   "}};
    ExpectRows(rows, Parse);
    Url url;
    url.SetUrl(" /a/b ");
    EXPECT_EQ("/a/b", Str(url.GetUrl()));
}

TEST(Url, DerivedParts) {
    const std::pair<std::string, std::string> rows[] = {
        {"http://h.x.y/a/b/c.html", "a/b|c.html|c.html|h.x.y/a/b|h.x.y/a/b/c.html|x.y"},
        {"http://h/a/b.cgi?x=1/2", "a/b.cgi?x=1|2|2|h/a/b.cgi?x=1|h/a/b.cgi|h"},
        {"http://h/a/b.cgi?x=1", "a|b.cgi?x=1|b.cgi|h/a|h/a/b.cgi|h"},
        {"http://h/?q", "|?q|?q|h|h/|h"},
        {"http://x.y.z/", "|||x.y.z|x.y.z/|y.z"},
        {"http://x.y", "||||x.y|x.y"},
        {"h.x.y/a/b?c", "a|b?c|b|||x.y"},
        // A slash is added, and the URL parsed again, only where there is none.
        {"ftp://h/pub+", "1 ftp://h/pub/ pub|||h/pub|h/pub/|h"},
        {"http://h/a/+", "1 http://h/a/ a|||h/a|h/a/|h"},
        {"ftp://h+", "1 ftp://h/ |||h|h/|h"}};
    ExpectRows(rows, Derived);
}
