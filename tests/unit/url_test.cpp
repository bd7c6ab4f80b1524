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
        {" \tHTTP://h.x.y:8080/a?b=1\r\n", "1 1 1 h.x.y 8080 /a?b=1  "},
        {"FTP://f.x.y:2121", "1 1 2 f.x.y 2121 /" + anonymous},
        {"http://u@h:81/", "1 1 1 h 81 / u "},
        // An "@" or ":" first or last stays where it is.
        {"ftp://:pw@h/", "1 1 2 h 21 /  pw"},
        {"http://h:/x", "1 1 1 h: 80 /x  "},
        // Any other word before the first "/" is an HTTP host; ports are read like atoi.
        {"h.x.y:81", "1 1 1 h.x.y 81 /  "},
        {"h: +81x/", "1 1 1 h 81 /  "},
        // An empty host is no request target; a failure resets every part.
        {"http:///x", "1 0 1  80 /x  "},
        {"http://a", "0 0 0  0   "},
        {"", "0 0 0  0   "}};
    ExpectRows(rows, Parse);
}

TEST(Url, DerivedParts) {
    const std::pair<std::string, std::string> rows[] = {
        {"http://h.x.y/a/b/c.html", "a/b|c.html|c.html|h.x.y/a/b|h.x.y/a/b/c.html|x.y"},
        {"http://h/a/b.cgi?x=1/2", "a/b.cgi?x=1|2|2|h/a/b.cgi?x=1|h/a/b.cgi|h"},
        // A slash is added, and the URL parsed again, only where there is none.
        {"http://h/a/+", "1 http://h/a/ a|||h/a|h/a/|h"},
        {"ftp://h+", "1 ftp://h/ |||h|h/|h"}};
    ExpectRows(rows, Derived);
}
