#include <tuple>

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

// The module's settings in a key of their own, with the suite's domain listed.
class Services : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.SetRegRoot(platform::kHkeyCurrentUser, key_.c_str());
        moduleState.settings = &settings_;
        for (const char* domain : {"corvale.co.kr", "listed.kr", "intranet"}) {
            RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), domain, 1);
        }
    }
    void TearDown() override { moduleState.settings = nullptr; }
    std::string key_ = FreshTestKey("services");
    SettingsStore settings_;
};

} // namespace

// The ids and version go into the first "Cookie" field, keeping its name and items;
// items split at spaces and ";", and their names match without regard to case.
TEST_F(Services, ClientCookie) {
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "ClientVersion", "5.0.12");
    const std::string ids = "CID=000000; OID=000000; CLNTVER=5.0.12";
    const std::pair<const char*, std::string> rows[] = {
        {"\r\nCookie: cid=x; z", "\r\nCookie: cid=000000; z; OID=000000; CLNTVER=5.0.12"},
        {"\r\nCookie:  a = 1;b=two words;=lead;c=;d",
         "\r\nCookie: a; =; 1; b=two; words; =lead; c; d; " + ids},
        // The first field, whatever its case, and only that one.
        {"\r\ncookie: a=1\r\nCookie: b=2", "\r\ncookie: a=1; " + ids + "\r\nCookie: b=2"}};
    ExpectRows(rows, [](const char* fields) {
        HttpRequest request;
        request.SetHead((std::string("GET http://h.x/ HTTP/1.0") + fields + "\r\n\r\n").c_str());
        TextBuffer head;
        int added = request.Parse() ? AddClientCookie(request) : -1;
        request.BuildProxyRequest(head);
        return Str(head).substr(24, Str(head).size() - 28) + (added == 1 ? "" : " not added");
    });
}

// A host without a dot or with a byte of 128 or more is one word; a listed domain is the
// host without its first label, or the whole host when it has one dot; "spell.cgi" in
// any case with an "=" in the URL asks for a switch, the word being all behind the "=".
TEST_F(Services, RequestClasses) {
    const std::pair<const char*, const char*> rows[] = {
        {"http://intranet/spell.cgi?x=1", "1 "},
        {"http://www.corvale.co.kr\xB0\xA1/", "1 "},
        {"http://listed.kr/", "2 "},
        {"http://www.listed.kr/", "2 "},
        {"http://a.www.listed.kr/", "0 "},
        {"http://corvale.co.kr/spell.cgi?x=EnableJ2KTrans", "0 "},
        {"http://www.corvale.co.kr/cgi/spell.cgi", "2 "},
        {"http://www.corvale.co.kr/cgi/SPELL.CGI?x=EnableJ2KTrans&y=z", "3 EnableJ2KTrans&y=z"}};
    ExpectRows(rows, [](const char* url) {
        TextBuffer word;
        std::string found = Numbers(ClassifySpecialUrl(MakeUrl(url), word)) + " ";
        return found + Str(word);
    });
}

TEST(HostRedirect, QueryEncodingAndSearchFormats) {
    EXPECT_EQ("a+b%2F%25%2B*-.@_AZz09%B0%A1%0A%7F%60%7B%5B%3A",
              Str(EncodeQueryText(TextBuffer("a b/%+*-.@_AZz09\xB0\xA1\n\x7F`{[:"))));
    EXPECT_EQ(nullptr, EncodeQueryText(TextBuffer()).CStr());
    // Exactly one "%s" and nothing else to fill: the first three formats only.
    std::string single;
    for (const char* format : {"http://s/?q=%s", "http://s/%%20?q=%s&p=100%%", "%s%%", "http://s/",
                               "%s%s", "%d", "%n%s", "%s%", "%", "%-s"}) {
        single += IsSingleTextFormat(format) ? '1' : '0';
    }
    EXPECT_EQ("1110000000", single);
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
    settings_.SetObject("h.com/learned.rlvbin", 1);
    settings_.SetObject("h.com/learned.html", 0);
    // {URL, "CheckHostDir CheckObject"}
    const std::pair<const char*, const char*> rows[] = {
        {"http://jp.example.com/", "2 2"},
        {"http://127.0.0.2/a.cfm", "1 2"},
        {"http://www.naver.co.kr/a.js", "0 2"},
        {"http://jp.corvale.co.kr/a.DBM", "0 2"},
        {"http://www.example.com/news/a.rmm", "0 0"},
        {"http://www.example.com/ja/a.rlvunknown", "2 1"},
        {"http://www.example.com/news/sub/a.RLVTEXT?q", "1 2"},
        {"http://h.com/a.rlvodd", "1 1"},
        {"http://h.com/b.rlvbin", "1 0"},
        {"http://h.com/learned.rlvbin?q", "1 2"},
        {"http://h.com/learned.html", "1 0"}};
    ExpectRows(rows, [](const char* url) {
        return Numbers(CheckHostDir(MakeUrl(url)), CheckObject(MakeUrl(url)));
    });
}

// Where a decision was 1 the answer teaches: the directory is Korean when "Language"
// holds "ko", the object text or not by its media class; a missing field teaches nothing.
TEST_F(Services, LearningFromTheTranslationHost) {
    // {the answer's fields, the two decisions, "HostDir Object" written ("-": nothing)}
    const std::tuple<const char*, int, int, const char*> rows[] = {
        {"language: ja, ko-KR\r\nContent-Type: text/html", 1, 1, "1 1"},
        {"Language: KO\r\nContent-Type: image/gif", 1, 1, "0 0"},
        {"Content-Type: video/mpeg", 1, 1, "- 0"},
        {"Language: ja", 1, 1, "0 -"},
        {"Language: ko\r\nContent-Type: text/html", 2, 1, "- 1"},
        {"Language: ko\r\nContent-Type: text/html", 1, 2, "1 -"}};
    int row = 0;
    for (const auto& [fields, hostDir, object, expected] : rows) {
        Url url = MakeUrl(("http://h.com/d" + std::to_string(++row) + "/a.x?q").c_str());
        HttpResponse answer;
        answer.SetHead((std::string("HTTP/1.0 200 OK\r\n") + fields + "\r\n\r\n").c_str());
        ASSERT_TRUE(answer.Parse());
        LearnFromTranslation(url, answer, hostDir, object);
        int dir = 0, text = 0;
        bool dirFound = settings_.GetHostDir(Str(url.GetHostAndDirectory()).c_str(), dir);
        bool textFound = settings_.GetObject(Str(url.GetUrlNoSchemeNoQuery()).c_str(), text);
        EXPECT_EQ(expected, (dirFound ? std::to_string(dir) : "-") + " " +
                                (textFound ? std::to_string(text) : "-"))
            << fields;
    }
}
