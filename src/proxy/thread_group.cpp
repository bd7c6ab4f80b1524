#include "proxy/thread_group.h"

#include <algorithm>

using namespace platform;

namespace {

bool HasEnded(Handle thread) {
    return WaitForSingleObject(thread, 0) == kWaitObject0;
}

} // namespace

ThreadGroup::~ThreadGroup() {
    for (Handle thread : threads_) {
        CloseHandle(thread);
    }
}

void ThreadGroup::Add(Handle thread) {
    CriticalSectionGuard hold(lock_);
    auto ended = std::partition(threads_.begin(), threads_.end(),
                                [](Handle live) { return !HasEnded(live); });
    std::for_each(ended, threads_.end(), CloseHandle);
    threads_.erase(ended, threads_.end());
    threads_.push_back(thread);
}

// A thread may still start others while it is waited for (the listener its agents),
// so the group is emptied round by round until a round finds it empty.
void ThreadGroup::WaitForAll() {
    for (;;) {
        std::vector<Handle> round;
        {
            CriticalSectionGuard hold(lock_);
            round.swap(threads_);
        }
        if (round.empty()) {
            return;
        }
        for (Handle thread : round) {
            // Ending threads run ahead of new work, so the wait is short.
            SetThreadPriority(thread, kThreadPriorityAboveNormal);
            WaitForSingleObject(thread, kInfinite);
            CloseHandle(thread);
        }
    }
}
