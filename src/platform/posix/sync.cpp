#include "platform/sync.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include <pthread.h>
#include <time.h>

// Kernel objects with Win32 semantics: an object is signalled or not; waits return
// as soon as one of their objects is signalled; a handle is a reference to an
// object, and duplicating a handle makes a second reference to the same object.

namespace platform {

namespace {

struct Waiter {
    std::condition_variable wake;
};

struct KernelObject {
    bool manualReset = true;
    bool signalled = false;
    std::vector<Waiter*> waiters;
};

struct HandleRecord {
    std::shared_ptr<KernelObject> object;
};

// One lock guards the state of every object; each waiting thread sleeps on its own
// condition variable, so signalling an object wakes only the threads that wait on it.
std::mutex& ObjectLock() {
    static std::mutex lock;
    return lock;
}

KernelObject* ObjectOf(Handle handle) {
    return handle ? static_cast<HandleRecord*>(handle)->object.get() : nullptr;
}

Handle NewHandle(std::shared_ptr<KernelObject> object) {
    return new (std::nothrow) HandleRecord{std::move(object)};
}

void Signal(KernelObject* object) {
    object->signalled = true;
    for (Waiter* waiter : object->waiters) {
        waiter->wake.notify_one();
    }
}

// Index of the first signalled object, consuming an auto-reset signal; -1 if none.
long TakeSignalled(KernelObject* const* objects, unsigned long count) {
    for (unsigned long i = 0; i < count; ++i) {
        if (objects[i]->signalled) {
            if (!objects[i]->manualReset) {
                objects[i]->signalled = false;
            }
            return static_cast<long>(i);
        }
    }
    return -1;
}

void RemoveWaiter(KernelObject* object, Waiter* waiter) {
    auto& list = object->waiters;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i] == waiter) {
            list.erase(list.begin() + static_cast<long>(i));
            return;
        }
    }
}

} // namespace

Handle CreateEventA(bool manualReset, bool initialState) {
    std::shared_ptr<KernelObject> object(new (std::nothrow) KernelObject);
    if (!object) {
        return nullptr;
    }
    object->manualReset = manualReset;
    object->signalled = initialState;
    return NewHandle(std::move(object));
}

bool SetEvent(Handle event) {
    KernelObject* object = ObjectOf(event);
    if (!object) {
        return false;
    }
    std::lock_guard<std::mutex> hold(ObjectLock());
    Signal(object);
    return true;
}

bool ResetEvent(Handle event) {
    KernelObject* object = ObjectOf(event);
    if (!object) {
        return false;
    }
    std::lock_guard<std::mutex> hold(ObjectLock());
    object->signalled = false;
    return true;
}

unsigned long WaitForSingleObject(Handle object, unsigned long milliseconds) {
    return WaitForMultipleObjects(1, &object, milliseconds);
}

unsigned long WaitForMultipleObjects(unsigned long count, const Handle* handles,
                                     unsigned long milliseconds) {
    // Win32's limit; a fixed array keeps the frequent zero-time polls free of the heap.
    const unsigned long kMaximumWaitObjects = 64;
    if (count == 0 || count > kMaximumWaitObjects || !handles) {
        return kWaitFailed;
    }
    KernelObject* objects[kMaximumWaitObjects];
    for (unsigned long i = 0; i < count; ++i) {
        objects[i] = ObjectOf(handles[i]);
        if (!objects[i]) {
            return kWaitFailed;
        }
    }
    std::unique_lock<std::mutex> hold(ObjectLock());
    long index = TakeSignalled(objects, count);
    if (index < 0 && milliseconds != 0) {
        Waiter waiter;
        for (unsigned long i = 0; i < count; ++i) {
            objects[i]->waiters.push_back(&waiter);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while ((index = TakeSignalled(objects, count)) < 0) {
            if (milliseconds == kInfinite) {
                waiter.wake.wait(hold);
            } else if (waiter.wake.wait_until(hold, deadline) == std::cv_status::timeout) {
                index = TakeSignalled(objects, count);
                break;
            }
        }
        for (unsigned long i = 0; i < count; ++i) {
            RemoveWaiter(objects[i], &waiter);
        }
    }
    return index < 0 ? kWaitTimeout : kWaitObject0 + static_cast<unsigned long>(index);
}

bool DuplicateHandle(Handle source, Handle* target) {
    if (!source || !target) {
        return false;
    }
    *target = NewHandle(static_cast<HandleRecord*>(source)->object);
    return *target != nullptr;
}

bool CloseHandle(Handle object) {
    if (!object) {
        return false;
    }
    // The last reference frees the object; the lock keeps that from racing a signal.
    std::lock_guard<std::mutex> hold(ObjectLock());
    delete static_cast<HandleRecord*>(object);
    return true;
}

namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
    std::shared_ptr<KernelObject> ended;
};

void* ThreadEntry(void* parameter) {
    ThreadStart* start = static_cast<ThreadStart*>(parameter);
    start->body(start->argument);
    {
        std::lock_guard<std::mutex> hold(ObjectLock());
        Signal(start->ended.get());
        start->ended.reset();
    }
    delete start;
    return nullptr;
}

} // namespace

Handle CreateThread(ThreadBody body, void* argument) {
    std::shared_ptr<KernelObject> ended(new (std::nothrow) KernelObject);
    Handle handle = ended ? NewHandle(ended) : nullptr;
    ThreadStart* start = handle ? new (std::nothrow) ThreadStart{body, argument, ended} : nullptr;
    if (!start) {
        CloseHandle(handle);
        return nullptr;
    }
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    int error = pthread_create(&thread, &attributes, ThreadEntry, start);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete start;
        CloseHandle(handle);
        return nullptr;
    }
    return handle;
}

// Thread priorities need privileges on Linux; the call succeeds without effect.
bool SetThreadPriority(Handle thread, int /*priority*/) {
    return thread != nullptr;
}

void Sleep(unsigned long milliseconds) {
    struct timespec delay;
    delay.tv_sec = static_cast<time_t>(milliseconds / 1000);
    delay.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&delay, &delay) != 0) {
    }
}

static_assert(sizeof(std::mutex) <= 64, "critical section storage too small");

CriticalSection::CriticalSection() {
    new (storage_) std::mutex;
}

CriticalSection::~CriticalSection() {
    reinterpret_cast<std::mutex*>(storage_)->~mutex();
}

void CriticalSection::Enter() {
    reinterpret_cast<std::mutex*>(storage_)->lock();
}

void CriticalSection::Leave() {
    reinterpret_cast<std::mutex*>(storage_)->unlock();
}

} // namespace platform
