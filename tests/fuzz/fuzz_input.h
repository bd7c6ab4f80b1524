#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/socket.h"
#include "proxy/socket_channel.h"

// Text parsers never see a zero byte inside a text, so a text ends at the first one.
inline std::string FuzzText(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// The fuzzer's bytes as a C string.
inline std::string FuzzText(const uint8_t* data, size_t size) {
    return FuzzText(std::string(reinterpret_cast<const char*>(data), size));
}

// Separates the texts of an input that carries several (a URL and a head) or the
// pieces a peer sends one by one. No protocol text the targets read uses it.
const char kPieceBreak = '\x01';

// The input cut at each kPieceBreak into at most `count` pieces, the last keeping
// the rest, breaks included. Zero bytes stay.
inline std::vector<std::string> FuzzPieces(const uint8_t* data, size_t size, size_t count) {
    std::string rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    size_t end;
    while (pieces.size() + 1 < count && (end = rest.find(kPieceBreak)) != std::string::npos) {
        pieces.push_back(rest.substr(0, end));
        rest.erase(0, end + 1);
    }
    pieces.push_back(rest);
    return pieces;
}

// A SocketChannel connected over loopback to a plain socket that a thread of its
// own serves, for code that reads a server or writes to a browser. The peer never
// leaves that code waiting: it either sends and closes, or reads until the channel
// is closed, which the destructor does first.
class LoopbackPeer {
public:
    // The peer sends `pieces`, one send each, then closes. The pause between sends
    // lets each arrive in a receive of its own; a reader that is slow to run may
    // still get two at once, as from any network.
    explicit LoopbackPeer(std::vector<std::string> pieces) {
        platform::Socket peer = Connect();
        thread_ = std::thread([peer, pieces = std::move(pieces)] {
            for (size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                if (!SendAll(peer, pieces[i])) {
                    break;
                }
            }
            platform::CloseSocket(peer);
        });
    }

    // The peer reads and drops all it is sent.
    LoopbackPeer() {
        platform::Socket peer = Connect();
        thread_ = std::thread([peer] {
            char block[4096];
            while (platform::ReceiveSocket(peer, block, sizeof block) > 0) {
            }
            platform::CloseSocket(peer);
        });
    }

    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    ~LoopbackPeer() {
        channel_.reset();
        thread_.join();
    }

    SocketChannel& Channel() { return *channel_; }

private:
    // The peer's socket, connected to the channel. A fuzz run without connections
    // would test nothing, so failing to make one ends it.
    platform::Socket Connect() {
        static SocketChannel listener;
        static int port = platform::WinsockStartup() == 0 && listener.Create() &&
                                  listener.Bind(0) && listener.Listen()
                              ? listener.LocalPort()
                              : -1;
        platform::Socket peer = platform::OpenTcpSocket();
        if (port > 0 && peer != platform::kInvalidSocket &&
            platform::ConnectSocket(peer, platform::InetAddr("127.0.0.1"), port) == 0) {
            channel_.reset(listener.Accept());
        }
        if (!channel_) {
            std::fprintf(stderr, "no loopback connection (error %d)\n",
                         platform::LastSocketError());
            std::abort();
        }
        return peer;
    }

    static bool SendAll(platform::Socket peer, const std::string& bytes) {
        for (size_t sent = 0; sent < bytes.size();) {
            int count = platform::SendSocket(peer, bytes.data() + sent,
                                             static_cast<int>(bytes.size() - sent));
            if (count <= 0) {
                return false;
            }
            sent += static_cast<size_t>(count);
        }
        return true;
    }

    std::unique_ptr<SocketChannel> channel_;
    std::thread thread_;
};
