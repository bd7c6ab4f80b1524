#include "proxy/socket_channel.h"

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "control/module_state.h"
#include "proxy/host_name_cache.h"
#include "proxy/stream_copy.h"

namespace {

class SocketChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, platform::WinsockStartup());
        moduleState.hostNameCache = &cache;
        ASSERT_EQ(1, listener.Create());
        ASSERT_EQ(1, listener.Bind(0));
        ASSERT_EQ(1, listener.Listen());
        port = listener.LocalPort();
        ASSERT_GT(port, 0);
    }
    void TearDown() override {
        moduleState.hostNameCache = nullptr;
        platform::WinsockCleanup();
    }

    // Connects `client` to the listener and returns the accepted end.
    std::unique_ptr<SocketChannel> ConnectClient() {
        EXPECT_EQ(1, client.Create());
        EXPECT_EQ(1, client.Connect("127.0.0.1", port));
        return std::unique_ptr<SocketChannel>(listener.Accept());
    }

    // Reads until the peer closes or fails; returns the byte count.
    static long long Drain(SocketChannel& channel) {
        std::vector<char> buffer(65536);
        long long total = 0;
        int n;
        while ((n = channel.Receive(buffer.data(), static_cast<int>(buffer.size()))) > 0) {
            total += n;
        }
        return total;
    }

    HostNameCache cache;
    SocketChannel listener;
    SocketChannel client;
    int port = 0;
};

struct Event {
    Event() : handle(platform::CreateEventA(true, false)) {}
    ~Event() { platform::CloseHandle(handle); }
    platform::Handle handle;
};

} // namespace

TEST_F(SocketChannelTest, ReceiveZeroFillsAndCloseIsIdempotent) {
    auto server = ConnectClient();
    ASSERT_TRUE(server);
    EXPECT_EQ(0, client.Send("abc", 0));
    EXPECT_EQ(3, client.Send("abc", 3));
    char buffer[1025];
    std::fill(buffer, buffer + sizeof buffer, 'x');
    int n = server->Receive(buffer, 1024);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string("abc").substr(0, static_cast<size_t>(n)), std::string(buffer, n));
    for (int i = n; i < 1024; ++i) {
        ASSERT_EQ('\0', buffer[i]) << i;
    }
    EXPECT_EQ('x', buffer[1024]);

    EXPECT_EQ(2, client.Send("de", 2));
    std::string text(buffer, static_cast<size_t>(n));
    while (text.size() < 5) {
        buffer[2] = 'x';
        int m = server->ReceiveText(buffer, 2);
        ASSERT_GT(m, 0);
        EXPECT_EQ('\0', buffer[m]);
        text += buffer;
    }
    EXPECT_EQ("abcde", text);

    EXPECT_EQ(1, client.Close());
    EXPECT_EQ(0, client.Close());
    EXPECT_EQ(0, server->Receive(buffer, 1024));
    EXPECT_EQ(-1, client.Send("x", 1));
    EXPECT_EQ(-1, client.Receive(buffer, 1));
    EXPECT_EQ(-1, server->Receive(nullptr, 1));
    EXPECT_EQ(0, client.Bind(0));
    EXPECT_EQ(0, client.Listen());
    EXPECT_EQ(nullptr, client.Accept());
    EXPECT_EQ(0, client.Connect("127.0.0.1", port));
}

TEST_F(SocketChannelTest, LargeSendArrivesWholeAndInOrder) {
    auto server = ConnectClient();
    ASSERT_TRUE(server);
    const int size = 8 * 1024 * 1024;
    std::vector<char> data(size);
    for (int i = 0; i < size; ++i) {
        data[i] = static_cast<char>(i * 31 % 251);
    }
    std::string received;
    std::thread reader([&] {
        std::vector<char> buffer(4096);
        int n;
        while ((n = server->Receive(buffer.data(), 4096)) > 0) {
            received.append(buffer.data(), static_cast<size_t>(n));
        }
    });
    EXPECT_EQ(size, client.Send(data.data(), size));
    client.Close();
    reader.join();
    ASSERT_EQ(static_cast<size_t>(size), received.size());
    EXPECT_TRUE(std::equal(data.begin(), data.end(), received.begin()));
}

TEST_F(SocketChannelTest, StopEventSetBeforeOrDuringAStreamEndsIt) {
    auto server = ConnectClient();
    ASSERT_TRUE(server);
    Event stop;
    ASSERT_EQ(0, client.AttachStopEvent(nullptr));
    ASSERT_EQ(1, client.AttachStopEvent(stop.handle));
    EXPECT_EQ(0, client.IsStopped());

    // Set from another thread while a sending loop runs: the loop's next send fails.
    std::vector<char> block(65536, 'b');
    int last = 0;
    std::thread sender([&] {
        for (int i = 0; i < 100000 && (last = client.Send(block.data(), 65536)) > 0; ++i) {
        }
        client.Close();
    });
    char buffer[65536];
    long long seen = 0;
    while (seen < 256 * 1024) {
        int n = server->Receive(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        seen += n;
    }
    platform::SetEvent(stop.handle);
    seen += Drain(*server);
    sender.join();
    EXPECT_EQ(-1, last);
    EXPECT_LT(seen, 100000LL * 65536);

    // Already set: nothing is connected, sent or received.
    SocketChannel other;
    ASSERT_EQ(1, other.Create());
    ASSERT_EQ(1, other.AttachStopEvent(stop.handle));
    EXPECT_EQ(1, other.IsStopped());
    EXPECT_EQ(0, other.Connect("127.0.0.1", port));
    EXPECT_EQ(-1, other.Send("x", 1));
    EXPECT_EQ(-1, other.Receive(buffer, 1));
    EXPECT_EQ(1, other.Close());
}

TEST_F(SocketChannelTest, StopEventIsTheChannelsOwnDuplicate) {
    SocketChannel channel;
    platform::Handle original = platform::CreateEventA(true, false);
    ASSERT_EQ(1, channel.AttachStopEvent(original));
    ASSERT_EQ(1, channel.AttachStopEvent(original)); // replaces (and closes) the first copy
    platform::SetEvent(original);
    platform::CloseHandle(original);
    EXPECT_EQ(1, channel.IsStopped());
}

TEST_F(SocketChannelTest, SendToAPeerThatClosedFails) {
    auto server = ConnectClient();
    ASSERT_TRUE(server);
    server->Close();
    std::vector<char> block(65536, 'c');
    int result = 0;
    for (int i = 0; i < 1000 && (result = client.Send(block.data(), 65536)) > 0; ++i) {
    }
    EXPECT_EQ(-1, result);
}

TEST_F(SocketChannelTest, ConnectFailures) {
    SocketChannel probe;
    ASSERT_EQ(1, probe.Create());
    ASSERT_EQ(1, probe.Bind(0));
    int unused = probe.LocalPort();
    probe.Close();

    SocketChannel channel;
    EXPECT_EQ(0, channel.Connect("127.0.0.1", port)); // no socket yet
    ASSERT_EQ(1, channel.Create());
    EXPECT_EQ(0, channel.Connect("127.0.0.1", unused));
    ASSERT_EQ(1, channel.Create());
    EXPECT_EQ(0, channel.Connect("no-such-host.invalid", port));
    moduleState.hostNameCache = nullptr;
    EXPECT_EQ(0, channel.Connect("127.0.0.1", port));
}

TEST(HostNameCache, CachesNamesExactlyAsAsked) {
    ASSERT_EQ(0, platform::WinsockStartup());
    HostNameCache cache;
    TextBuffer address;
    ASSERT_EQ(1, cache.Resolve("10.1.2.3", address));
    EXPECT_STREQ("10.1.2.3", address.CStr());
    EXPECT_EQ(0, cache.Count());

    ASSERT_EQ(1, cache.Resolve("localhost", address));
    EXPECT_STREQ("127.0.0.1", address.CStr());
    EXPECT_EQ(1, cache.Count());
    ASSERT_EQ(1, cache.Resolve("localhost", address));
    EXPECT_EQ(1, cache.Count());
    ASSERT_EQ(1, cache.Resolve("LOCALHOST", address));
    EXPECT_STREQ("127.0.0.1", address.CStr());
    EXPECT_EQ(2, cache.Count());

    // The all-ones address is not dotted text to inet_addr; the resolver answers it.
    if (cache.Resolve("255.255.255.255", address)) {
        EXPECT_STREQ("255.255.255.255", address.CStr());
        EXPECT_EQ(3, cache.Count());
    }
    int before = cache.Count();
    address.Assign("kept");
    EXPECT_EQ(0, cache.Resolve("no-such-host.invalid", address));
    EXPECT_EQ(0, cache.Resolve("", address));
    EXPECT_EQ(0, cache.Resolve(nullptr, address));
    EXPECT_STREQ("kept", address.CStr());
    EXPECT_EQ(before, cache.Count());
    platform::WinsockCleanup();
}

TEST(HostNameCache, ConcurrentLookupsSeeOnlyWholeEntries) {
    ASSERT_EQ(0, platform::WinsockStartup());
    HostNameCache cache;
    std::vector<std::thread> threads;
    std::vector<int> bad(6, 0);
    const char* const names[] = {"localhost", "LocalHost", "localHost"};
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            TextBuffer address;
            for (int i = 0; i < 50; ++i) {
                if (!cache.Resolve(names[(t + i) % 3], address) || !(address == "127.0.0.1")) {
                    ++bad[t];
                }
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int count : bad) {
        EXPECT_EQ(0, count);
    }
    EXPECT_GE(cache.Count(), 3);
    platform::WinsockCleanup();
}

// Full blocks may be held back for the blocks that follow; when the source pauses on
// a block boundary they go out (here the reader waits for them before the source goes
// on; without the push they would wait for the system's own timer).
TEST_F(SocketChannelTest, CopyStreamPassesFullBlocksOnWhenTheSourcePauses) {
    auto sourceEnd = ConnectClient();
    SocketChannel sinkReader;
    ASSERT_EQ(1, sinkReader.Create());
    ASSERT_EQ(1, sinkReader.Connect("127.0.0.1", port));
    std::unique_ptr<SocketChannel> sinkEnd(listener.Accept());
    ASSERT_TRUE(sourceEnd && sinkEnd);

    StreamEnd end = StreamEnd::kSourceFailed;
    std::thread copier([&] { end = CopyStream(*sourceEnd, *sinkEnd); });
    const std::string blocks(3 * kStreamBlockSize, 'b');
    ASSERT_EQ(static_cast<int>(blocks.size()), client.Send(blocks.data(), 3 * kStreamBlockSize));
    // The source says nothing more until the sink has had every byte.
    std::string received;
    char buffer[kStreamBlockSize];
    while (received.size() < blocks.size()) {
        int n = sinkReader.Receive(buffer, kStreamBlockSize);
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(blocks, received);
    ASSERT_EQ(4, client.Send("tail", 4));
    client.Close();
    copier.join();
    EXPECT_EQ(StreamEnd::kSourceClosed, end);
    sinkEnd->Close();
    EXPECT_EQ(4, Drain(sinkReader));
}
