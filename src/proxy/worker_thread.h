#pragma once

#include "platform/sync.h"

// A thread object: Start() runs Run(), then OnExit(), then deletes the object, so
// a WorkerThread always deletes itself when its thread ends.
//
// Whoever waits for such a thread must not touch the object once its thread may
// have ended. Waiters therefore take a duplicate of the thread's handle
// (DuplicateExitHandle) while they know the object is alive, and then wait on that
// duplicate only (WaitForExit).
class WorkerThread {
public:
    // A duplicated handle of one thread, closed when it goes out of scope.
    struct ExitHandle {
        ExitHandle() = default;
        ExitHandle(const ExitHandle&) = delete;
        ExitHandle& operator=(const ExitHandle&) = delete;
        ~ExitHandle();
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
    // Whether the stop event was created.
    bool IsValid() const { return stopEvent_ != nullptr; }
    void SignalStop() const;
    bool IsStopSignalled() const;
    platform::Handle StopEvent() const { return stopEvent_; }

    int DuplicateExitHandle(ExitHandle& out) const;
    // Raises the thread's priority so that it finishes soon and waits for the thread
    // to end.
    static int WaitForExit(const ExitHandle& handle);

protected:
    platform::Handle stopEvent_ = nullptr;

private:
    static unsigned long ThreadMain(void* self);

    platform::Handle threadHandle_ = nullptr;
};
