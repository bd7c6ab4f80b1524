#include "control/module_state.h"
#include "proxy/http_request.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"
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
        RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), "corvale.co.kr", 1);
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
         "\r\nCookie: a; =; 1; b=two; words; =lead; c; d; " + ids}};
    ExpectRows(rows, [](const char* fields) {
        HttpRequest request;
        request.SetHead((std::string("GET http://h.x/ HTTP/1.0") + fields + "\r\n\r\n").c_str());
        TextBuffer head;
        int added = request.Parse() ? AddClientCookie(request) : -1;
        request.BuildProxyRequest(head);
        return Str(head).substr(24, Str(head).size() - 28) + (added == 1 ? "" : " not added");
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
        {"http://h.com/b.rlvbin", "1 0"}};
    ExpectRows(rows, [](const char* url) {
        return Numbers(CheckHostDir(MakeUrl(url)), CheckObject(MakeUrl(url)));
    });
}
