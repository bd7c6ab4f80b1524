#pragma once

#include <atomic>

#include "platform/socket.h"
#include "platform/sync.h"

class TextBuffer;

// One blocking IPv4 TCP socket and an optional stop event. Every connect, send and
// receive first polls the stop event and fails at once when it is signalled, which
// is how turning the proxy off makes busy agents give up.
class SocketChannel {
public:
    SocketChannel() = default;
    SocketChannel(const SocketChannel&) = delete;
    SocketChannel& operator=(const SocketChannel&) = delete;
    ~SocketChannel();

    int Create();
    int Bind(int port);
    // Binds to 127.0.0.1 only: connections to any other address of the machine are
    // refused.
    int BindLoopback(int port);
    // Listens with the longest queue the system allows, so that a burst of
    // connections waits to be accepted instead of being refused or retried.
    int Listen();
    // A new heap channel without a stop event, or null.
    SocketChannel* Accept();
    // Resolves through the module's host-name cache; fails when there is none.
    int Connect(const char* host, int port);
    // Bytes sent (all of them), 0 for nothing to send, or -1.
    int Send(const char* data, int length);
    // As Send, telling the system that more bytes follow at once: where it can, it
    // holds them back until the next Send or Push.
    int SendMore(const char* data, int length);
    void Push();
    // Zero-fills `length` bytes, then makes one receive: the count, 0 when the peer
    // closed, or -1.
    int Receive(char* buffer, int length);
    // As Receive, but platform::kSocketNotReady instead of waiting when nothing has
    // arrived.
    int ReceiveIfReady(char* buffer, int length);
    // As Receive, and terminates the text; `buffer` holds `length` + 1 bytes.
    int ReceiveText(char* buffer, int length);
    int Close();
    // Keeps a duplicate of `event` as this channel's stop event.
    int AttachStopEvent(platform::Handle event);
    int IsStopped() const;

    // Makes a receive blocked in another thread return (the owner still closes).
    void CancelIo();
    // The local port of a bound socket, or -1.
    int LocalPort() const;
    // The dotted address of a connected socket's peer; 0 when there is none.
    int PeerAddress(TextBuffer& dotted) const;

private:
    explicit SocketChannel(platform::Socket accepted) : socket_(accepted) {}
    platform::Socket Raw() const { return socket_.load(std::memory_order_relaxed); }
    int SendWith(const char* data, int length, bool more);
    int ReceiveWith(char* buffer, int length, bool ifReady);

    // Atomic because CancelIo may read it on the thread that turns the proxy off
    // while the owner closes it. Should the number be reused by a new socket in that
    // moment, the cut reaches a connection that turning off ends anyway.
    std::atomic<platform::Socket> socket_{platform::kInvalidSocket};
    platform::Handle stopEvent_ = nullptr;
};
