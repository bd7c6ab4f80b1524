#pragma once

#include <atomic>

#include "proxy/agent.h"
#include "proxy/socket_channel.h"
#include "proxy/worker_thread.h"

// The accept loop: takes browser connections and hands each to an agent.
class Listener : public WorkerThread {
public:
    static const int kProxyPort = 8080;
    static const unsigned long kAcceptRetryMs = 10;

    // `port` 0 lets the system choose (tests); agents end after `agentIdleTimeoutMs`.
    explicit Listener(int port = kProxyPort,
                      unsigned long agentIdleTimeoutMs = Agent::kIdleTimeoutMs);
    // Clears the module's reference to this listener.
    ~Listener() override;
    int Run() override;
    int Dispatch(SocketChannel* channel);
    // The port the listening socket has, or 0 before it is bound.
    int BoundPort() const { return boundPort_; }

    // Turns the module's listener and every agent off and returns once every thread
    // of the module's group has ended. Returns 0 when there was no listener (nothing
    // is stopped then) or the wake-up connection failed (the accept is cut instead).
    static int Shutdown();

private:
    // Makes a blocked accept return when the wake-up connection could not be made.
    void CancelAccept();
    static int SendWakeUp(int port);
    // Signals every agent in the list and cuts the receive or send it is blocked in.
    static void StopAllAgents();

    const int port_;
    const unsigned long agentIdleTimeoutMs_;
    std::atomic<int> boundPort_{0};
    SocketChannel listening_;
};
