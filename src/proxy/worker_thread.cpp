#include "proxy/worker_thread.h"

#include <initializer_list>

using namespace platform;

WorkerThread::ExitHandle::~ExitHandle() {
    if (thread) {
        CloseHandle(thread);
    }
}

WorkerThread::WorkerThread() : stopEvent_(CreateEventA(true, false)) {}

// The thread handle is closed here too: waiters hold duplicates of their own, so
// nothing needs this one once the object goes.
WorkerThread::~WorkerThread() {
    for (Handle handle : {stopEvent_, threadHandle_}) {
        if (handle) {
            CloseHandle(handle);
        }
    }
}

int WorkerThread::Run() {
    return 1;
}

void WorkerThread::OnExit() {}

int WorkerThread::Start() {
    if (!IsValid()) {
        return 0;
    }
    return CreateThread(ThreadMain, this, &threadHandle_) ? 1 : 0;
}

void WorkerThread::SignalStop() const {
    SetEvent(stopEvent_);
}

bool WorkerThread::IsStopSignalled() const {
    return WaitForSingleObject(stopEvent_, 0) != kWaitTimeout;
}

int WorkerThread::DuplicateExitHandle(ExitHandle& out) const {
    return threadHandle_ && DuplicateHandle(threadHandle_, &out.thread) ? 1 : 0;
}

int WorkerThread::WaitForExit(const ExitHandle& handle) {
    if (!handle.thread) {
        return 0;
    }
    SetThreadPriority(handle.thread, kThreadPriorityAboveNormal);
    WaitForSingleObject(handle.thread, kInfinite);
    return 1;
}

unsigned long WorkerThread::ThreadMain(void* self) {
    WorkerThread* thread = static_cast<WorkerThread*>(self);
    thread->Run();
    thread->OnExit();
    delete thread;
    return 0;
}
