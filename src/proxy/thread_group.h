#pragma once

#include <vector>

#include "platform/sync.h"

// The threads one turn-on started: the listener and every agent, each added with a
// handle of its own as it starts. Turning off waits on these handles, so it also
// waits for agents that have already left the list (they leave it just before their
// thread ends) and nothing of the proxy runs once it returns.
class ThreadGroup {
public:
    ThreadGroup() = default;
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;
    ~ThreadGroup();

    // Takes over `thread`, a handle no one else closes. Handles of threads that have
    // ended are closed on the way, so the group holds about as many as are alive.
    void Add(platform::Handle thread);
    // Returns once every thread added, before or during the wait, has ended.
    void WaitForAll();

private:
    platform::CriticalSection lock_;
    std::vector<platform::Handle> threads_;
};
