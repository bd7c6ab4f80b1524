#pragma once

#include "platform/sync.h"

// A thread object: Start() runs Run(), then OnExit(), then deletes the object, so
// a WorkerThread always deletes itself when its thread ends.
//
// Whoever waits for such a thread must not touch the object once its thread may
// have ended. Waiters therefore take duplicates of the handles they wait on
// (DuplicateExitHandles) while they know the object is alive, and then wait on
// those duplicates only (WaitForExit).
class WorkerThread {
public:
    // Duplicated handles of one thread, closed when they go out of scope.
    struct ExitHandles {
        ExitHandles() = default;
        ExitHandles(const ExitHandles&) = delete;
        ExitHandles& operator=(const ExitHandles&) = delete;
        ~ExitHandles();
        platform::Handle done = nullptr;
        platform::Handle thread = nullptr;
    };

    WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();
    virtual int Run();
    virtual void OnExit();

    // 0 when the thread could not be started (the object is not deleted then).
    int Start();
    // Whether the events were created.
    bool IsValid() const { return stopEvent_ && doneEvent_; }
    void SignalStop() const;
    bool IsStopSignalled() const;
    platform::Handle StopEvent() const { return stopEvent_; }

    int DuplicateExitHandles(ExitHandles& out) const;
    // Raises the thread's priority so that it finishes soon, waits for its done
    // event and, when `waitForThread`, for the thread itself to end.
    static int WaitForExit(const ExitHandles& handles, bool waitForThread);

protected:
    platform::Handle stopEvent_ = nullptr;
    platform::Handle doneEvent_ = nullptr;

private:
    static unsigned long ThreadMain(void* self);

    platform::Handle threadHandle_ = nullptr;
};
