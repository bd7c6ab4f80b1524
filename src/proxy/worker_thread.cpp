#include "proxy/worker_thread.h"

#include <initializer_list>

using namespace platform;

WorkerThread::ExitHandles::~ExitHandles() {
    if (done) {
        CloseHandle(done);
    }
    if (thread) {
        CloseHandle(thread);
    }
}

WorkerThread::WorkerThread()
    : stopEvent_(CreateEventA(true, false)), doneEvent_(CreateEventA(true, false)) {}

// The thread handle is closed here too: waiters hold duplicates of their own, so
// nothing needs this one once the object goes.
WorkerThread::~WorkerThread() {
    for (Handle handle : {stopEvent_, doneEvent_, threadHandle_}) {
        if (handle) {
            CloseHandle(handle);
        }
    }
}

int WorkerThread::Run() {
    return 1;
}

void WorkerThread::OnExit() {
    SetEvent(doneEvent_);
}

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

int WorkerThread::DuplicateExitHandles(ExitHandles& out) const {
    if (!threadHandle_ || !DuplicateHandle(doneEvent_, &out.done)) {
        return 0;
    }
    return DuplicateHandle(threadHandle_, &out.thread) ? 1 : 0;
}

int WorkerThread::WaitForExit(const ExitHandles& handles, bool waitForThread) {
    if (!handles.done || !handles.thread) {
        return 0;
    }
    SetThreadPriority(handles.thread, kThreadPriorityAboveNormal);
    WaitForSingleObject(handles.done, kInfinite);
    if (waitForThread) {
        WaitForSingleObject(handles.thread, kInfinite);
    }
    return 1;
}

unsigned long WorkerThread::ThreadMain(void* self) {
    WorkerThread* thread = static_cast<WorkerThread*>(self);
    thread->Run();
    thread->OnExit();
    delete thread;
    return 0;
}
