#include "control/module_state.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"
#include "services/request_class.h"
#include "services/translation.h"
#include "settings/settings_store.h"
#include "test_support.h"

namespace {

Url MakeUrl(const char* text) {
    Url url;
    url.SetUrl(text);
    return url;
}

// The module's settings in a key of their own, with the suite's domains listed.
class Services : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.SetRegRoot(platform::kHkeyCurrentUser, key_.c_str());
        moduleState.settings = &settings_;
        for (const char* domain : {"corvale.co.kr", "x.y.z", "0.0.1"}) {
            RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), domain, 1);
        }
    }
    void TearDown() override { moduleState.settings = nullptr; }
    std::string key_ = FreshTestKey("services");
    SettingsStore settings_;
};

} // namespace

// A one-word or non-ASCII host; a plain request; a listed domain (a host with one dot
// looked up whole, an address by its last three numbers); a switch request on one.
TEST_F(Services, RequestClasses) {
    // {URL, "class word"}: 1 one-word host, 0 plain request, 2 listed domain, 3 switch request
    const std::pair<const char*, const char*> rows[] = {
        {"http://corvale/", "1 "},
        {"http://\xB0\xA1.co.kr/", "1 "},
        {"http://www.example.com/", "0 "},
        {"http://corvale.co/", "0 "},
        {"http://www.x.y.z/", "2 "},
        {"http://127.0.0.1:81/", "2 "},
        {"http://w.corvale.co.kr/a/SPELL.CGI?x=EnableJ2KTrans", "3 EnableJ2KTrans"},
        {"http://w.corvale.co.kr/spell.cgi?a=1&b=2", "3 1&b=2"},
        {"http://w.corvale.co.kr/spell.cgi", "2 "},
        {"http://w.corvale.co.kr/spelling.cgi?x=1", "2 "}};
    ExpectRows(rows, [](const char* url) {
        TextBuffer word;
        int requestClass = ClassifySpecialUrl(MakeUrl(url), word);
        return std::to_string(requestClass) + " " + Str(word);
    });
}

// The ids and version go into the first "Cookie" field, keeping its name and items;
// items split at spaces and ";", and their names match without regard to case.
TEST_F(Services, ClientCookie) {
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "ClientVersion", "5.0.12");
    const std::string ids = "CID=000000; OID=000000; CLNTVER=5.0.12";
    const std::pair<const char*, std::string> rows[] = {
        {"", "\r\nCookie: " + ids},
        {"\r\ncookie: a=1;b=2\r\nCookie: c=3", "\r\ncookie: a=1; b=2; " + ids + "\r\nCookie: c=3"},
        {"\r\nCookie: cid=x; z", "\r\nCookie: cid=000000; z; OID=000000; CLNTVER=5.0.12"},
        {"\r\nCookie:  a = 1;b=two words;=lead;c=;d",
         "\r\nCookie: a; =; 1; b=two; words; =lead; c; d; " + ids},
        {"\r\nCookie:  ;; ", "\r\nCookie: " + ids}};
    ExpectRows(rows, [](const char* fields) {
        HttpRequest request;
        request.SetHead((std::string("GET http://h.x/ HTTP/1.0") + fields + "\r\n\r\n").c_str());
        TextBuffer head;
        int added = request.Parse() ? AddClientCookie(request) : -1;
        request.BuildProxyRequest(head);
        return Str(head).substr(24, Str(head).size() - 28) + (added == 1 ? "" : " not added");
    });
    CookieList list;
    EXPECT_EQ(0, list.Parse());
    list.SetText(" ;; ");
    EXPECT_EQ(0, list.Parse());
    list.SetText("a");
    EXPECT_EQ(1, list.Parse());
}

TEST(HostRedirect, QueryEncodingAndSearchFormats) {
    EXPECT_EQ("a+b%2F%25%2B*-.@_AZz09%B0%A1%0A%7F%60%7B%5B%3A",
              Str(EncodeQueryText(TextBuffer("a b/%+*-.@_AZz09\xB0\xA1\n\x7F`{[:"))));
    EXPECT_EQ(nullptr, EncodeQueryText(TextBuffer()).CStr());
    // Exactly one "%s" and nothing else to fill.
    for (const char* single : {"http://s/?q=%s", "http://s/%%20?q=%s&p=100%%", "%s%%"}) {
        EXPECT_TRUE(IsSingleTextFormat(single)) << single;
    }
    for (const char* other : {"http://s/", "%s%s", "%d", "%n%s", "%s%", "%", "%-s"}) {
        EXPECT_FALSE(IsSingleTextFormat(other)) << other;
    }
    EXPECT_FALSE(IsSingleTextFormat(nullptr));
}

// 0: to the origin; 1: through the translation host, learning from its answer; 2:
// through it without learning. Learned entries, then the registry's content type,
// then the extension tables decide about objects.
TEST_F(Services, TranslationDecisions) {
    settings_.SetHostDir("www.example.com/news", 0);
    settings_.SetHostDir("www.example.com/ja", 1);
    RegWriteString(platform::kHkeyClassesRoot, ".rlvtext", "Content Type", "Text/x-test");
    RegWriteString(platform::kHkeyClassesRoot, ".rlvbin", "Content Type", "application/x");
    RegWriteString(platform::kHkeyClassesRoot, ".rlvodd", "Content Type", "///");
    settings_.SetObject("h.com/a.rlvbin", 1);
    settings_.SetObject("h.com/learned/", 0);
    // {URL, "CheckHostDir CheckObject"}
    const std::pair<const char*, const char*> rows[] = {
        {"http://www.asahi.co.jp/a/b.html", "2 2"},
        {"http://jp.example.com/", "2 2"},
        {"http://com.example.jp/", "1 2"},
        {"http://ex..ample.to/a.zip", "1 0"},
        {"http://h.net/a.ai", "1 0"},
        {"http://h.org/page?x=a.gif", "1 2"},
        {"http://127.0.0.2/a.cfm", "1 2"},
        {"http://www.naver.co.kr/a.js", "0 2"},
        {"http://jp.corvale.co.kr/a.DBM", "0 2"},
        {"http://www.example.com/news/a.rmm", "0 0"},
        {"http://www.example.com/ja/a.rlvunknown", "2 1"},
        {"http://www.example.com/news/sub/a.RLVTEXT?q", "1 2"},
        {"http://h.com/a.rlvodd", "1 1"},
        {"http://h.com/a.rlvbin?v=2", "1 2"},
        {"http://h.com/b.rlvbin", "1 0"},
        {"http://h.com/learned/", "1 0"}};
    ExpectRows(rows, [](const char* url) {
        return Numbers(CheckHostDir(MakeUrl(url)), CheckObject(MakeUrl(url)));
    });
}

// The answer teaches the directory from "Language" when host and directory were
// undecided (1), and the object from the media class when the object was.
TEST_F(Services, LearningFromTheTranslationHost) {
    // {"decisions for host and directory and for the object|answer head", "learned"}
    const std::pair<const char*, const char*> rows[] = {
        {"1 1|Content-Type: image/gif", "- 0"},
        {"1 1|language: ja, ko-KR\r\nContent-Type: TEXT/html", "1 1"},
        {"1 2|Language: KO\r\nContent-Type: image/png", "0 1"},
        {"2 1|Language: ko", "0 1"},
        {"0 1|Language: ko\r\nContent-Type: x/y", "0 0"}};
    ExpectRows(rows, [this](const std::string& row) {
        HttpResponse response;
        response.SetHead(("HTTP/1.0 200 OK\r\n" + row.substr(4) + "\r\n\r\n").c_str());
        response.Parse();
        LearnFromTranslation(MakeUrl("http://www.example.com/ja/page.html?x=1"), response,
                             row[0] - '0', row[2] - '0');
        int directory = -1, page = -1;
        std::string got =
            settings_.GetHostDir("www.example.com/ja", directory) ? std::to_string(directory) : "-";
        settings_.GetObject("www.example.com/ja/page.html", page);
        return got + " " + std::to_string(page);
    });
}
