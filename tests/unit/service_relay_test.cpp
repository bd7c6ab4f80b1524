// The service features as a browser meets them through the proxy.
#include "proxy_fixture.h"
#include "settings/registry_functions.h"
#include "settings/settings_store.h"

namespace {

std::string PageFor(const std::string& target) {
    std::string page = "<HTML><HEAD><META HTTP-EQUIV=\"Refresh\" CONTENT=\"0; URL=" + target +
                       "\"></HEAD><BODY></BODY></HTML>";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(page.size()) + "\r\n\r\n" + page;
}

const char kNoContent[] = "HTTP/1.1 204 No Content\r\n";

} // namespace

TEST_F(ProxyTest, OneWordHostsAreRedirected) {
    EXPECT_EQ(PageFor("http://www.intranet.com/"),
              Exchange("GET http://intranet:81/any/path HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(PageFor("http://search.corvale.co.kr/cgi-bin/search.cgi?q=%B0%A1%B3%AA"),
              Exchange("GET http://\xB0\xA1\xB3\xAA/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(PageFor("http://search.corvale.co.kr/cgi-bin/search.cgi?q=a.%C7%D1.kr"),
              Exchange("GET http://a.\xC7\xD1.kr/ HTTP/1.0\r\n\r\n"));

    RegWriteString(platform::kHkeyCurrentUser, (key_ + "\\Redirect").c_str(), "mail",
                   "http://mail.corvale.co.kr/");
    RegWriteString(platform::kHkeyCurrentUser, (key_ + "\\Redirect").c_str(), "empty", "");
    EXPECT_EQ(PageFor("http://mail.corvale.co.kr/"), Exchange("GET http://MAIL/ HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(PageFor(""), Exchange("GET http://empty/ HTTP/1.0\r\n\r\n"));

    // The search format is the registry's when it is safe to fill, else the default.
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "SearchURL", "http://s/?w=%s&p=1%%");
    EXPECT_EQ(PageFor("http://s/?w=%B0%A1&p=1%"),
              Exchange("GET http://\xB0\xA1/ HTTP/1.0\r\n\r\n"));
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "SearchURL", "http://s/%n%s%s");
    EXPECT_EQ(PageFor("http://search.corvale.co.kr/cgi-bin/search.cgi?q=%B0%A1"),
              Exchange("GET http://\xB0\xA1/ HTTP/1.0\r\n\r\n"));
}

TEST_F(ProxyTest, SwitchRequestsAndCookiesOnTheSuitesDomains) {
    TestOrigin origin("HTTP/1.0 200 OK\r\n\r\n");
    std::string site = "http://127.0.0.1:" + std::to_string(origin.Port());
    // Dotted addresses are looked up by their last three numbers.
    RegWriteDword(platform::kHkeyCurrentUser, (key_ + "\\Domain").c_str(), "0.0.1", 1);
    SettingsStore& settings = *moduleState.settings;
    auto request = [&](const std::string& query) {
        return Exchange("GET " + site + "/cgi/spell.cgi?cmd=" + query + " HTTP/1.0\r\n\r\n");
    };
    EXPECT_EQ(kNoContent, request("enablej2ktrans"));
    EXPECT_EQ(1, settings.GetJ2KTransEnabled());
    EXPECT_EQ(kNoContent, request("EnableJ2KTrans"));
    EXPECT_EQ(1, settings.GetJ2KTransEnabled());
    EXPECT_EQ(kNoContent, request("DisableJ2KTrans"));
    EXPECT_EQ(0, settings.GetJ2KTransEnabled());
    EXPECT_EQ(kNoContent, request("DisableJ2KTrans"));
    EXPECT_EQ(0, settings.GetJ2KTransEnabled());
    EXPECT_EQ(0, origin.Connections());

    // Locked, or not a switch word: relayed as it is, without the cookie.
    settings.SetJ2KTransEnabled(-1);
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\n", request("EnableJ2KTrans"));
    EXPECT_EQ(-1, settings.GetJ2KTransEnabled());
    settings.SetJ2KTransEnabled(0);
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\n", request("EnableJ2KTrans&x=1"));
    EXPECT_EQ(0, settings.GetJ2KTransEnabled());
    EXPECT_EQ("GET /cgi/spell.cgi?cmd=EnableJ2KTrans HTTP/1.0\r\n\r\n", origin.Received(0));
    EXPECT_EQ("GET /cgi/spell.cgi?cmd=EnableJ2KTrans&x=1 HTTP/1.0\r\n\r\n", origin.Received(1));

    // Any other page of the suite's domains gets the identification cookie.
    Exchange("GET " + site + "/page HTTP/1.0\r\nCookie: a=1\r\n\r\n");
    EXPECT_EQ("GET /page HTTP/1.0\r\nCookie: a=1; CID=000000; OID=000000; CLNTVER=0.0.00\r\n\r\n",
              origin.Received(2));
}

namespace {

// A translation host on one range of ports, answering every request the same way.
struct TranslationHost {
    TranslationHost(int base, const std::string& answer) {
        for (int port = base; port < base + 6; ++port) {
            ports.push_back(std::make_unique<TestOrigin>(answer, port));
        }
    }
    int Connections() const {
        int total = 0;
        for (const auto& port : ports) {
            total += port->Connections();
        }
        return total;
    }
    std::string Received() {
        for (auto& port : ports) {
            if (port->Connections() > 0) {
                return port->Received(0);
            }
        }
        return "";
    }
    std::vector<std::unique_ptr<TestOrigin>> ports;
};

} // namespace

TEST_F(ProxyTest, TranslationRoutesLearnsAndFallsBack) {
    const std::string answer = "HTTP/1.0 200 OK\r\nLanguage: ja\r\nContent-Type: text/html\r\n\r\n"
                               "translated";
    TestOrigin origin("HTTP/1.0 200 OK\r\n\r\norigin");
    std::string site = "127.0.0.1:" + std::to_string(origin.Port());
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "J2KTransHost", "127.0.0.1");
    SettingsStore& settings = *moduleState.settings;
    settings.SetJ2KTransEnabled(1);
    std::string head =
        "GET http://" + site + "/ja/page.rlvdoc HTTP/1.1\r\nPragma: no-cache\r\n\r\n";
    {
        // Mode 2 tries the primary range first.
        TranslationHost primary(4000, answer);
        TranslationHost fallback(3000, answer);
        EXPECT_EQ(answer, Exchange(head));
        EXPECT_EQ(1, primary.Connections());
        EXPECT_EQ(0, fallback.Connections());
        EXPECT_EQ("GET http://" + site + "/ja/page.rlvdoc HTTP/1.0\r\nPragma: no-cache\r\n\r\n",
                  primary.Received());
    }
    int learned = -1;
    ASSERT_EQ(1, settings.GetHostDir((site + "/ja").c_str(), learned));
    EXPECT_EQ(0, learned); // the answer was not Korean
    ASSERT_EQ(1, settings.GetObject((site + "/ja/page.rlvdoc").c_str(), learned));
    EXPECT_EQ(1, learned); // an unknown extension is learned from the media class

    // Mode 1 uses the fallback range only; the learned directory now goes straight
    // to the origin, a new one through the translation host.
    settings.SetJ2KTransMode(0);
    TranslationHost primary(4000, answer);
    TranslationHost fallback(3000, answer);
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\norigin", Exchange(head));
    EXPECT_EQ(0, fallback.Connections());
    EXPECT_EQ(answer, Exchange("GET http://" + site + "/ko/page.rlvdoc HTTP/1.0\r\n\r\n"));
    EXPECT_EQ(1, fallback.Connections());
    EXPECT_EQ(0, primary.Connections());
}

TEST_F(ProxyTest, NoTranslationHostMeansTheOrigin) {
    TestOrigin origin("HTTP/1.0 200 OK\r\n\r\norigin");
    RegWriteString(platform::kHkeyCurrentUser, key_.c_str(), "J2KTransHost", "127.0.0.1");
    moduleState.settings->SetJ2KTransEnabled(1);
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\norigin",
              Exchange("GET http://127.0.0.1:" + std::to_string(origin.Port()) +
                       "/a.html HTTP/1.0\r\n\r\n"));
    EXPECT_EQ("GET /a.html HTTP/1.0\r\n\r\n", origin.Received(0));
}
