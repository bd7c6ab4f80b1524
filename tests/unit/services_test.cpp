#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "control/module_state.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"
#include "services/cookie_list.h"
#include "services/host_redirect.h"
#include "services/request_class.h"
#include "services/translation.h"
#include "settings/settings_store.h"
#include "test_registry_key.h"

namespace {

std::string Str(const TextBuffer& t) {
    return t.CStr() ? t.CStr() : "";
}

// Module settings in a fresh key, with the suite's domains listed.
class ServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        key_ = FreshTestKey("services");
        settings_.SetRegRoot(platform::kHkeyCurrentUser, key_.c_str());
        moduleState.settings = &settings_;
        for (const char* domain : {"corvale.co.kr", "x.y.z"}) {
            RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), domain, 1);
        }
    }
    void TearDown() override { moduleState.settings = nullptr; }

    static int Classify(const char* text, std::string* word = nullptr) {
        Url url;
        url.SetUrl(text);
        TextBuffer found;
        int result = ClassifySpecialUrl(url, found);
        if (word) {
            *word = Str(found);
        }
        return result;
    }

    std::string key_;
    SettingsStore settings_;
};

Url MakeUrl(const char* text) {
    Url url;
    url.SetUrl(text);
    return url;
}

} // namespace

TEST_F(ServicesTest, RequestClasses) {
    std::string word;
    EXPECT_EQ(kOneWordHost, Classify("http://corvale/"));
    EXPECT_EQ(kOneWordHost, Classify("http://\xB0\xA1.co.kr/"));
    EXPECT_EQ(kPlainRequest, Classify("http://www.example.com/"));
    EXPECT_EQ(kSuiteDomain, Classify("http://www.corvale.co.kr/index.html"));
    // A host with one dot is looked up whole; a dotted address by its last three
    // numbers.
    EXPECT_EQ(kPlainRequest, Classify("http://corvale.co/"));
    EXPECT_EQ(kSuiteDomain, Classify("http://www.x.y.z/"));
    RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), "0.0.1", 1);
    EXPECT_EQ(kSuiteDomain, Classify("http://127.0.0.1:81/"));

    EXPECT_EQ(kSwitchRequest,
              Classify("http://w.corvale.co.kr/a/SPELL.CGI?x=EnableJ2KTrans", &word));
    EXPECT_EQ("EnableJ2KTrans", word);
    EXPECT_EQ(kSwitchRequest, Classify("http://w.corvale.co.kr/spell.cgi?a=1&b=2", &word));
    EXPECT_EQ("1&b=2", word);
    EXPECT_EQ(kSuiteDomain, Classify("http://w.corvale.co.kr/spell.cgi"));
    EXPECT_EQ(kSuiteDomain, Classify("http://w.corvale.co.kr/spelling.cgi?x=1"));
}

TEST_F(ServicesTest, ClientCookieKeepsExistingItems) {
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "ClientVersion", "5.0.12");
    auto cookieAfter = [](const char* head) {
        HttpRequest request;
        request.SetHead(head);
        EXPECT_EQ(1, request.Parse());
        AddClientCookie(request);
        TextBuffer out;
        request.BuildProxyRequest(out);
        return Str(out);
    };
    std::string ids = "CID=000000; OID=000000; CLNTVER=5.0.12";
    EXPECT_EQ("GET http://h.x/ HTTP/1.0\r\nCookie: " + ids + "\r\n\r\n",
              cookieAfter("GET http://h.x/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ("GET http://h.x/ HTTP/1.0\r\ncookie: a=1; b=2; " + ids + "\r\nCookie: c=3\r\n\r\n",
              cookieAfter("GET http://h.x/ HTTP/1.0\r\ncookie: a=1;b=2\r\nCookie: c=3\r\n\r\n"));
    EXPECT_EQ(
        "GET http://h.x/ HTTP/1.0\r\nCookie: cid=000000; z; OID=000000; CLNTVER=5.0.12\r\n\r\n",
        cookieAfter("GET http://h.x/ HTTP/1.0\r\nCookie: cid=x; z\r\n\r\n"));
}

TEST(CookieList, ParsesItemsAtSpacesAndSemicolons) {
    CookieList list;
    EXPECT_EQ(0, list.Parse());
    list.SetText(" ;; ");
    EXPECT_EQ(0, list.Parse());
    list.SetText("  a = 1;b=two words;=lead;c=;d");
    ASSERT_EQ(1, list.Parse());
    list.Set("B", "2");
    EXPECT_EQ("a; =; 1; b=2; words; =lead; c; d", Str(list.GetText()));
    list.Set("CID", "");
    EXPECT_EQ("a; =; 1; b=2; words; =lead; c; d; CID", Str(list.GetText()));
}

TEST(HostRedirect, QueryEncodingAndSafeFormats) {
    EXPECT_EQ("a+b%2F%25%2B*-.@_%B0%A1%0A",
              Str(EncodeQueryText(TextBuffer("a b/%+*-.@_\xB0\xA1\n"))));
    EXPECT_EQ("Az09", Str(EncodeQueryText(TextBuffer("Az09"))));
    EXPECT_EQ(nullptr, EncodeQueryText(TextBuffer()).CStr());

    EXPECT_TRUE(IsSingleTextFormat("http://s/?q=%s"));
    EXPECT_TRUE(IsSingleTextFormat("http://s/%%20?q=%s&p=100%%"));
    const char* const bads[] = {"http://s/", "%s%s", "%d", "%n%s", "%s%", "%", "%-s", nullptr};
    for (const char* bad : bads) {
        EXPECT_FALSE(IsSingleTextFormat(bad)) << (bad ? bad : "null");
    }
}

TEST_F(ServicesTest, HostAndDirectoryDecisions) {
    EXPECT_EQ(2, CheckHostDir(MakeUrl("http://www.asahi.co.jp/a/b.html")));
    EXPECT_EQ(2, CheckHostDir(MakeUrl("http://jp.example.com/")));
    EXPECT_EQ(1, CheckHostDir(MakeUrl("http://com.example.jp/")));
    EXPECT_EQ(1, CheckHostDir(MakeUrl("http://www.example.com/")));
    EXPECT_EQ(1, CheckHostDir(MakeUrl("http://ex..ample.to/")));
    EXPECT_EQ(1, CheckHostDir(MakeUrl("http://127.0.0.1/")));
    EXPECT_EQ(0, CheckHostDir(MakeUrl("http://www.naver.co.kr/")));
    EXPECT_EQ(0, CheckHostDir(MakeUrl("http://jp.corvale.co.kr/")));

    // Learned entries decide, per host and directory.
    settings_.SetHostDir("www.example.com/news", 0);
    settings_.SetHostDir("www.example.com/ja", 1);
    EXPECT_EQ(0, CheckHostDir(MakeUrl("http://www.example.com/news/a.html")));
    EXPECT_EQ(2, CheckHostDir(MakeUrl("http://www.example.com/ja/a.html")));
    EXPECT_EQ(1, CheckHostDir(MakeUrl("http://www.example.com/news/sub/a.html")));
}

TEST_F(ServicesTest, ObjectDecisions) {
    EXPECT_EQ(2, CheckObject(MakeUrl("http://h.com/dir/")));
    EXPECT_EQ(2, CheckObject(MakeUrl("http://h.com/page?x=a.gif")));
    // Extensions the registry does not know fall back to the two tables.
    EXPECT_EQ(2, CheckObject(MakeUrl("http://h.com/a.DBM")));
    EXPECT_EQ(0, CheckObject(MakeUrl("http://h.com/a.rmm")));
    EXPECT_EQ(1, CheckObject(MakeUrl("http://h.com/a.rlvunknown")));
    // The registry's content type is asked first.
    std::string classes = ".rlvtext";
    RegWriteString(platform::kHkeyClassesRoot, classes.c_str(), "Content Type", "Text/x-test");
    RegWriteString(platform::kHkeyClassesRoot, ".rlvbin", "Content Type", "application/x");
    RegWriteString(platform::kHkeyClassesRoot, ".rlvodd", "Content Type", "///");
    EXPECT_EQ(2, CheckObject(MakeUrl("http://h.com/a.RLVTEXT?q")));
    EXPECT_EQ(0, CheckObject(MakeUrl("http://h.com/a.rlvbin")));
    EXPECT_EQ(1, CheckObject(MakeUrl("http://h.com/a.rlvodd")));
    // Learned objects decide before anything else.
    settings_.SetObject("h.com/a.rlvbin", 1);
    settings_.SetObject("h.com/dir/", 0);
    EXPECT_EQ(2, CheckObject(MakeUrl("http://h.com/a.rlvbin?v=2")));
    EXPECT_EQ(0, CheckObject(MakeUrl("http://h.com/dir/")));
}

TEST_F(ServicesTest, LearningFromTheTranslationHost) {
    Url url = MakeUrl("http://www.example.com/ja/page.html?x=1");
    auto learn = [&](const char* head, int h, int o) {
        HttpResponse response;
        response.SetHead(head);
        ASSERT_EQ(1, response.Parse());
        LearnFromTranslation(url, response, h, o);
    };
    int value = -5;
    learn("HTTP/1.0 200 OK\r\nContent-Type: image/gif\r\n\r\n", 1, 1);
    EXPECT_EQ(0, settings_.GetHostDir("www.example.com/ja", value));
    ASSERT_EQ(1, settings_.GetObject("www.example.com/ja/page.html", value));
    EXPECT_EQ(0, value);
    learn("HTTP/1.0 200 OK\r\nlanguage: ja, ko-KR\r\nContent-Type: TEXT/html\r\n\r\n", 1, 1);
    ASSERT_EQ(1, settings_.GetHostDir("www.example.com/ja", value));
    EXPECT_EQ(1, value);
    ASSERT_EQ(1, settings_.GetObject("www.example.com/ja/page.html", value));
    EXPECT_EQ(1, value);
    learn("HTTP/1.0 200 OK\r\nLanguage: KO\r\nContent-Type: image/png\r\n\r\n", 1, 2);
    ASSERT_EQ(1, settings_.GetHostDir("www.example.com/ja", value));
    EXPECT_EQ(0, value);
    ASSERT_EQ(1, settings_.GetObject("www.example.com/ja/page.html", value));
    EXPECT_EQ(1, value); // decision 2: nothing stored
}
