// Rules of the engine that only show inside it: where a browser's head ends, which idle
// agent takes the next connection, and what the host-name cache keeps.
#include "proxy/agent.h"

#include "proxy/agent_list.h"
#include "proxy/host_name_cache.h"
#include "test_support.h"

// Behind the first "\r\n\r\n", else the first "\n\n", searched byte by byte, so that a
// field ending in what looks like a lead byte (raw UTF-8) ends all the same.
TEST(Agent, WhereAHeadEnds) {
    const std::pair<const char*, int> rows[] = {{"GET / HTTP/1.0\r\n\r\nbody", 18},
                                                {"GET /\nA: 1\n\nbody", 12},
                                                {"GET /\nA: 1\n\nB\r\n\r\nC", 17},
                                                {"GET /\r\nX: \xED\x95\x9C\r\n\r\n", 17},
                                                {"GET /\r\n\r", -1},
                                                {"", -1}};
    ExpectRows(rows, [](const char* head) { return HeadEnd(TextBuffer(head)); });
}

// Each Run serves the connection handed over, on the test's thread: nothing is
// connected, so serving fails at once, and the idle time of 1 ms then ends Run.
TEST(Agent, TheIdleAgentThatServedFewestTakesTheConnectionTheEarliestOnATie) {
    Agent first(1), second(1), third(1);
    AgentList list;
    for (Agent* agent : {&first, &second, &third}) {
        list.Add(agent);
    }
    auto serve = [](Agent& agent, int times) {
        while (times-- > 0) {
            agent.AssignConnection(new SocketChannel);
            agent.Run();
        }
    };
    EXPECT_EQ(&first, list.PickIdleAgent());
    serve(first, 2);
    serve(second, 1);
    EXPECT_EQ(&third, list.PickIdleAgent());
    serve(third, 1);
    EXPECT_EQ(&second, list.PickIdleAgent());
    second.AssignConnection(new SocketChannel); // busy now
    EXPECT_EQ(&third, list.PickIdleAgent());
    int busy = -1, idle = -1;
    list.GetCounts(busy, idle);
    EXPECT_EQ("2 1 1 1 2",
              Numbers(first.ServedCount(), second.ServedCount(), third.ServedCount(), busy, idle));
}

// Dotted addresses come back as they are and are not kept; names are kept as asked,
// byte for byte; a name that does not resolve leaves the address alone.
TEST(HostNameCache, KeepsNamesAsAsked) {
    ASSERT_EQ(0, platform::WinsockStartup());
    HostNameCache cache;
    TextBuffer address("kept");
    std::string got;
    for (const char* name :
         {"", "no-such-host.invalid", "10.1.2.3", "localhost", "localhost", "LOCALHOST"}) {
        int resolved = cache.Resolve(name, address);
        got += Numbers(resolved, cache.Count()) + " " + Str(address) + "|";
    }
    EXPECT_EQ("0 0 kept|0 0 kept|1 0 10.1.2.3|1 1 127.0.0.1|1 1 127.0.0.1|1 2 127.0.0.1|", got);
    EXPECT_EQ(0, cache.Resolve(nullptr, address));
}
