#pragma once

#include "platform/sync.h"

class ThreadGroup;

// A thread object: Start() runs Run(), then OnExit(), then deletes the object, so
// a WorkerThread always deletes itself when its thread ends. Nobody may touch the
// object once its thread may have ended: whoever waits for the thread waits on the
// handle its group keeps.
class WorkerThread {
public:
    WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    virtual ~WorkerThread();
    virtual int Run();
    virtual void OnExit();

    // Starts the thread and adds its handle to `group`. 0 when the thread could not
    // be started (the object is not deleted then).
    int Start(ThreadGroup& group);
    // Whether the stop event was created.
    bool IsValid() const { return stopEvent_ != nullptr; }
    void SignalStop() const;
    bool IsStopSignalled() const;
    platform::Handle StopEvent() const { return stopEvent_; }

protected:
    platform::Handle stopEvent_ = nullptr;

private:
    static unsigned long ThreadMain(void* self);
};
