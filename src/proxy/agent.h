#pragma once

#include <atomic>

#include "base/text_buffer.h"
#include "platform/sync.h"
#include "proxy/data_chunk.h"
#include "proxy/http_request.h"
#include "proxy/http_response.h"
#include "proxy/socket_channel.h"
#include "proxy/worker_thread.h"

// A pooled worker thread that serves one browser connection at a time, one request
// per connection, and ends itself after a time without work.
class Agent : public WorkerThread {
public:
    static const unsigned long kIdleTimeoutMs = 180000;
    static const int kHeadBlockSize = 8192;
    // A request head that has not ended within this many bytes is refused: real
    // browsers send heads of tens of KiB at most, and an endless head must not grow
    // without limit.
    static const int kMaxHeadBytes = 64 * 1024;

    explicit Agent(unsigned long idleTimeoutMs = kIdleTimeoutMs);
    ~Agent() override;
    int Run() override;
    void OnExit() override;

    // Whether every event the agent needs was created.
    bool IsReady() const { return IsValid() && workEvent_; }
    bool IsIdle() const;
    int ServedCount() const { return servedCount_; }
    // Hands `channel` to an idle agent and marks it busy; called with the agent-list
    // lock held, so an agent that is about to time out cannot take it after leaving.
    void AssignConnection(SocketChannel* channel);
    int ReadRequestHead();
    int ServeConnection();
    void ReleaseConnection();
    // Makes the agent's blocked receives and sends return, so that turning the proxy
    // off never waits on a peer that stays silent.
    void CancelIo();

    const TextBuffer& Remainder() const { return remainder_; }
    HttpRequest* Request() const { return request_; }
    int TranslationMode() const { return translationMode_; }

private:
    // Registers an upstream channel for CancelIo while a handler uses it.
    class UpstreamWatch {
    public:
        UpstreamWatch(Agent& agent, SocketChannel& channel);
        ~UpstreamWatch();

    private:
        Agent& agent_;
        SocketChannel** slot_ = nullptr;
    };

    int FixTranslationMode() const;
    // Leaves the pool unless a connection was handed over after the wait ended.
    bool LeavePool(unsigned long waitResult);

    int RelayHttp();
    int ServeFtp();
    // Lets the service features answer or adjust the request; 1 when answered.
    int ServeSpecialRequest(const TextBuffer& host);
    void LearnFromAnswer(const TextBuffer& head, int hostDirDecision, int objectDecision);
    int ForwardRequestBody(SocketChannel& server);
    int CopyToClient(SocketChannel& server, DataChunk* chunks);

    SocketChannel* client_ = nullptr;
    HttpRequest* request_ = nullptr;
    TextBuffer remainder_;
    HttpResponse* response_ = nullptr;
    platform::Handle workEvent_;
    std::atomic<int> servedCount_{0};
    int translationMode_ = 0;
    const unsigned long idleTimeoutMs_;

    // Guards `client_` and `upstream_` against CancelIo from the stopping thread.
    // An FTP session watches two upstream channels: control and data.
    mutable platform::CriticalSection ioLock_;
    SocketChannel* upstream_[2] = {nullptr, nullptr};
};

// Reads a translation host's answer head in 1024-byte blocks. Returns every block
// received, in order, as a chain of chunks (null when nothing came or a receive
// failed); `head` is the head text when its end was found, else empty.
DataChunk* ReadResponseHead(SocketChannel& server, TextBuffer& head);

// The position behind the first "\r\n\r\n", else behind the first "\n\n"; -1 when
// the text holds neither.
int HeadEnd(const TextBuffer& text);
