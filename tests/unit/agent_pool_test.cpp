#include <future>

#include "proxy/agent_list.h"
#include "proxy_fixture.h"

namespace {

// The served counts of the agents in list order.
std::vector<int> ServedCounts() {
    platform::CriticalSectionGuard hold(moduleState.agentListLock);
    std::vector<int> counts;
    for (int i = 0; moduleState.agentList && i < moduleState.agentList->Count(); ++i) {
        counts.push_back(moduleState.agentList->At(i)->ServedCount());
    }
    return counts;
}

const char kUnparsable[] = "x\r\n\r\n";

} // namespace

TEST_F(ProxyTest, ConnectionsGoToTheLeastUsedIdleAgent) {
    int busy = -1, idle = -1;
    EXPECT_EQ(0, GetAgentCount(&busy, &idle));
    EXPECT_EQ(0, busy);
    EXPECT_EQ(0, idle);

    // Two connections at once need two agents.
    auto first = Browse();
    auto second = Browse();
    ASSERT_TRUE(WaitUntil([] { return Busy() == 2; }));
    EXPECT_EQ(0, Idle());
    first->Send(kUnparsable, 5);
    second->Send(kUnparsable, 5);
    EXPECT_EQ("", ReadAll(*first)); // an unparsable head is closed unanswered
    EXPECT_EQ("", ReadAll(*second));
    ASSERT_TRUE(WaitUntil([] { return Idle() == 2; }));
    EXPECT_EQ((std::vector<int>{1, 1}), ServedCounts());

    // A tie goes to the agent made first, then the other has served fewer.
    EXPECT_EQ("", Exchange(kUnparsable));
    ASSERT_TRUE(WaitUntil([] { return Idle() == 2 && ServedCounts() == std::vector<int>{2, 1}; }));
    EXPECT_EQ("", Exchange(kUnparsable));
    ASSERT_TRUE(WaitUntil([] { return Idle() == 2 && ServedCounts() == std::vector<int>{2, 2}; }));

    // A browser that connects and closes costs nothing but a served count.
    Browse()->Close();
    ASSERT_TRUE(WaitUntil([] { return Idle() == 2 && ServedCounts() == std::vector<int>{3, 2}; }));
}

class IdleAgentTest : public ProxyTest {
protected:
    void SetUp() override { Start(200); }
};

TEST_F(IdleAgentTest, AgentsEndAfterTheirIdleTime) {
    EXPECT_EQ("", Exchange(kUnparsable));
    ASSERT_TRUE(WaitUntil([] { return Busy() == 0 && Idle() == 0; }));
    EXPECT_EQ(std::vector<int>{}, ServedCounts());
    // The next connection makes a new agent.
    auto browser = Browse();
    ASSERT_TRUE(WaitUntil([] { return Busy() == 1; }));
    browser->Send(kUnparsable, 5);
    EXPECT_EQ("", ReadAll(*browser));
}

TEST_F(ProxyTest, RequestHeadsEndAtABlankLineWithinTheBound) {
    TestOrigin origin("HTTP/1.0 200 OK\r\n\r\nok");
    std::string target = "http://127.0.0.1:" + std::to_string(origin.Port());
    // Line feeds alone end a head too; what follows the blank line is the body.
    EXPECT_EQ(
        "HTTP/1.0 200 OK\r\n\r\nok",
        Exchange("POST " + target + "/x HTTP/1.0\nContent-Length: 5\nX-Expect-Body: 5\n\nhello"));
    EXPECT_EQ("POST /x HTTP/1.0\r\nContent-Length: 5\r\nX-Expect-Body: 5\r\n\r\nhello",
              origin.Received(0));

    // A last field ending in a byte that looks like a lead byte (raw UTF-8) still
    // ends at its blank line.
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\nok",
              Exchange("GET " + target + "/u HTTP/1.0\r\nCookie: k=\xED\x95\x9C\r\n\r\n"));

    // A head that does not end within the bound is refused without an answer.
    auto browser = Browse();
    std::string endless = "GET " + target + "/ HTTP/1.0\r\nX: " + std::string(70 * 1024, 'a');
    browser->Send(endless.data(), static_cast<int>(endless.size()));
    EXPECT_EQ("", ReadAll(*browser));
    EXPECT_EQ(2, origin.Connections());

    // A head of tens of KiB just below the bound is served.
    std::string fields;
    for (int i = 0; i < 8; ++i) {
        fields += "Cookie" + std::to_string(i) + ": " + std::string(7 * 1024, 'c') + "\r\n";
    }
    EXPECT_EQ("HTTP/1.0 200 OK\r\n\r\nok",
              Exchange("GET " + target + "/big HTTP/1.1\r\n" + fields + "\r\n"));
    EXPECT_TRUE(origin.Received(2) == "GET /big HTTP/1.0\r\n" + fields + "\r\n");
}

TEST_F(ProxyTest, TurnOffCutsAgentsBlockedOnSilentPeers) {
    // A browser that never sends, and an HTTP origin and an FTP server that accept
    // and then never say a word.
    SocketChannel silent;
    ASSERT_EQ(1, silent.Create());
    ASSERT_EQ(1, silent.Bind(0));
    ASSERT_EQ(1, silent.Listen());
    std::string peer = "127.0.0.1:" + std::to_string(silent.LocalPort());
    auto quiet = Browse();
    std::vector<std::unique_ptr<SocketChannel>> browsers, upstreams;
    for (const char* scheme : {"http", "ftp"}) {
        browsers.push_back(Browse());
        std::string request =
            std::string("GET ") + scheme + "://" + peer + "/pub/ HTTP/1.0\r\n\r\n";
        browsers.back()->Send(request.data(), static_cast<int>(request.size()));
        upstreams.emplace_back(silent.Accept());
        ASSERT_TRUE(upstreams.back());
    }
    ASSERT_TRUE(WaitUntil([] { return Busy() == 3; }));

    auto off = std::async(std::launch::async, [] { TurnOff(); });
    ASSERT_EQ(std::future_status::ready, off.wait_for(std::chrono::seconds(60)));
    EXPECT_EQ(-1, Total());
    EXPECT_EQ("", ReadAll(*quiet));
    for (auto& browser : browsers) {
        EXPECT_EQ("", ReadAll(*browser));
    }
}
