#include "proxy/worker_thread.h"

#include "proxy/thread_group.h"

using namespace platform;

WorkerThread::WorkerThread() : stopEvent_(CreateEventA(true, false)) {}

WorkerThread::~WorkerThread() {
    if (stopEvent_) {
        CloseHandle(stopEvent_);
    }
}

int WorkerThread::Run() {
    return 1;
}

void WorkerThread::OnExit() {}

int WorkerThread::Start(ThreadGroup& group) {
    Handle thread = IsValid() ? CreateThread(ThreadMain, this) : nullptr;
    if (!thread) {
        return 0;
    }
    group.Add(thread);
    return 1;
}

void WorkerThread::SignalStop() const {
    SetEvent(stopEvent_);
}

bool WorkerThread::IsStopSignalled() const {
    return WaitForSingleObject(stopEvent_, 0) != kWaitTimeout;
}

unsigned long WorkerThread::ThreadMain(void* self) {
    WorkerThread* thread = static_cast<WorkerThread*>(self);
    thread->Run();
    thread->OnExit();
    delete thread;
    return 0;
}
