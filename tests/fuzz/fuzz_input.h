#pragma once

// What the fuzz targets share: the input as texts or pieces, and a loopback peer.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "proxy/socket_channel.h"

// Text parsers never see a zero byte inside a text, so a text ends at the first one.
inline std::string FuzzText(const std::string& bytes) {
    return bytes.substr(0, bytes.find('\0'));
}

// The input cut at each '\x01' (which no protocol text the targets read holds) into at
// most `count` pieces, the last keeping the rest, breaks and zero bytes included.
inline std::vector<std::string> FuzzPieces(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> pieces{std::string(reinterpret_cast<const char*>(data), size)};
    for (size_t end;
         pieces.size() < count && (end = pieces.back().find('\x01')) != std::string::npos;) {
        std::string rest = pieces.back().substr(end + 1);
        pieces.back().resize(end);
        pieces.push_back(rest);
    }
    return pieces;
}

// A channel connected over loopback to a server or browser that a thread plays. It
// never leaves the code under test waiting: it sends and closes, or reads until the
// channel is closed, which the destructor does first.
class LoopbackPeer {
public:
    // Sends `pieces` apart, so that each may arrive in a receive of its own, then closes.
    explicit LoopbackPeer(std::vector<std::string> pieces) {
        Start([pieces = std::move(pieces)](platform::Socket peer) {
            for (size_t i = 0; i < pieces.size(); ++i) {
                std::this_thread::sleep_for(std::chrono::microseconds(i > 0 ? 200 : 0));
                // A blocking send queues every byte before it returns.
                if (platform::SendSocket(peer, pieces[i].data(),
                                         static_cast<int>(pieces[i].size())) < 0) {
                    return;
                }
            }
        });
    }
    // Reads all it is sent, keeping it in `kept` (complete once the peer is destroyed)
    // when there is one.
    explicit LoopbackPeer(std::string* kept = nullptr) {
        Start([kept](platform::Socket peer) {
            char block[4096];
            for (int got; (got = platform::ReceiveSocket(peer, block, sizeof block)) > 0;) {
                if (kept) {
                    kept->append(block, got);
                }
            }
        });
    }
    ~LoopbackPeer() {
        channel_.reset();
        thread_.join();
    }
    SocketChannel& Channel() { return *channel_; }

private:
    // A run without connections would test nothing: failing to make one ends it.
    template <typename Serve> void Start(Serve serve) {
        static SocketChannel listener;
        static int port = platform::WinsockStartup() == 0 && listener.Create() &&
                                  listener.Bind(0) && listener.Listen()
                              ? listener.LocalPort()
                              : -1;
        platform::Socket peer = platform::OpenTcpSocket();
        if (port > 0 && platform::ConnectSocket(peer, platform::InetAddr("127.0.0.1"), port) == 0) {
            channel_.reset(listener.Accept());
        }
        if (!channel_) {
            std::fprintf(stderr, "no loopback connection (error %d)\n",
                         platform::LastSocketError());
            std::abort();
        }
        thread_ = std::thread([peer, serve] {
            serve(peer);
            platform::CloseSocket(peer);
        });
    }

    std::unique_ptr<SocketChannel> channel_;
    std::thread thread_;
};
