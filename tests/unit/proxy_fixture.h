#pragma once

// A running proxy for tests: the module loaded, settings in a fresh key, the
// listener on a port the system picks, and helpers to act as browser and origin.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "control/lifecycle.h"
#include "control/module_state.h"
#include "proxy/agent.h"
#include "proxy/listener.h"
#include "proxy/socket_channel.h"
#include "test_browser.h"
#include "test_registry_key.h"

// Polls `condition` until it holds or a generous deadline passes.
inline bool WaitUntil(const std::function<bool()>& condition, int seconds = 60) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Reads from `channel` until the peer closes; the bytes received.
inline std::string ReadAll(SocketChannel& channel) {
    std::string all;
    char block[4096];
    int count;
    while ((count = channel.Receive(block, sizeof block)) > 0) {
        all.append(block, static_cast<size_t>(count));
    }
    return all;
}

// An origin server on a port of its own. Each connection is read up to the end of
// its head and then as many body bytes as its "X-Expect-Body" field says (none
// without it); what arrived is kept, and the connection is answered with `answer`
// and closed.
class TestOrigin {
public:
    explicit TestOrigin(std::string answer) : answer_(std::move(answer)) {
        listening_.Create();
        listening_.Bind(0);
        listening_.Listen();
        port_ = listening_.LocalPort();
        thread_ = std::thread([this] { Serve(); });
    }
    // Wakes the accept with a connection of its own, which needs no proxy running.
    ~TestOrigin() {
        stopping_ = true;
        platform::Socket wake = platform::OpenTcpSocket();
        platform::ConnectSocket(wake, platform::InetAddr("127.0.0.1"), port_);
        platform::CloseSocket(wake);
        thread_.join();
    }
    int Port() const { return port_; }
    int Connections() const { return connections_; }
    // The bytes of the n-th connection, once it has been answered.
    std::string Received(int index) {
        EXPECT_TRUE(WaitUntil([&] { return connections_ > index; }));
        std::lock_guard<std::mutex> hold(lock_);
        return index < connections_ ? received_[static_cast<size_t>(index)] : std::string();
    }

private:
    void Serve() {
        for (;;) {
            std::unique_ptr<SocketChannel> peer(listening_.Accept());
            if (stopping_ || !peer) {
                return;
            }
            std::string request = ReadRequest(*peer);
            {
                std::lock_guard<std::mutex> hold(lock_);
                received_.push_back(request);
            }
            peer->Send(answer_.data(), static_cast<int>(answer_.size()));
            peer->Close();
            ++connections_;
        }
    }
    static std::string ReadRequest(SocketChannel& peer) {
        std::string bytes;
        char block[4096];
        size_t want = std::string::npos;
        while (bytes.size() < want) {
            int count = peer.Receive(block, sizeof block);
            if (count <= 0) {
                break;
            }
            bytes.append(block, static_cast<size_t>(count));
            size_t end = bytes.find("\r\n\r\n");
            if (want == std::string::npos && end != std::string::npos) {
                size_t field = bytes.find("X-Expect-Body: ");
                size_t length = field < end ? std::stoul(bytes.substr(field + 15)) : 0;
                want = end + 4 + length;
            }
        }
        return bytes;
    }

    std::string answer_;
    SocketChannel listening_;
    int port_ = 0;
    std::thread thread_;
    std::mutex lock_;
    std::vector<std::string> received_;
    std::atomic<int> connections_{0};
    std::atomic<bool> stopping_{false};
};

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override { Start(Agent::kIdleTimeoutMs); }

    void Start(unsigned long idleTimeoutMs) {
        EnsureBrowserInstalled();
        ASSERT_EQ(1, ModuleLoad());
        ASSERT_EQ(1, SetRegRoot(platform::kHkeyCurrentUser, FreshTestKey("proxy").c_str()));
        SetListenerOptions(0, idleTimeoutMs);
        ASSERT_EQ(1, TurnOn(nullptr));
        ASSERT_TRUE(WaitUntil([this] { return (port_ = BoundPort()) > 0; }));
    }

    void TearDown() override {
        TurnOff();
        ModuleUnload(UnloadKind::kLibraryFreed);
        SetListenerOptions(Listener::kProxyPort, Agent::kIdleTimeoutMs);
    }

    static int BoundPort() {
        platform::CriticalSectionGuard hold(moduleState.agentListLock);
        return moduleState.listener ? moduleState.listener->BoundPort() : 0;
    }

    // A browser connection to the proxy.
    std::unique_ptr<SocketChannel> Browse() {
        auto browser = std::make_unique<SocketChannel>();
        EXPECT_EQ(1, browser->Create());
        EXPECT_EQ(1, browser->Connect("127.0.0.1", port_));
        return browser;
    }

    // Sends `head` as a browser and returns everything the proxy answered.
    std::string Exchange(const std::string& request) {
        auto browser = Browse();
        browser->Send(request.data(), static_cast<int>(request.size()));
        return ReadAll(*browser);
    }

    static int Total() {
        int busy = -1, idle = -1;
        return GetAgentCount(&busy, &idle);
    }
    static Listener* CurrentListener() {
        platform::CriticalSectionGuard hold(moduleState.agentListLock);
        return moduleState.listener;
    }
    static int Busy() {
        int busy = -1, idle = -1;
        GetAgentCount(&busy, &idle);
        return busy;
    }
    static int Idle() {
        int busy = -1, idle = -1;
        GetAgentCount(&busy, &idle);
        return idle;
    }

    int port_ = 0;
};
