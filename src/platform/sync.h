#pragma once

// Kernel objects for the threaded engine, shaped after the Win32 calls: events,
// waits, handle duplication, threads and critical sections. Handles are opaque;
// every handle from this layer is closed with CloseHandle.

namespace platform {

using Handle = void*;

const unsigned long kInfinite = 0xFFFFFFFF;
const unsigned long kWaitObject0 = 0;
const unsigned long kWaitTimeout = 0x102;
const unsigned long kWaitFailed = 0xFFFFFFFF;
const int kThreadPriorityAboveNormal = 1;

// Null on failure.
Handle CreateEventA(bool manualReset, bool initialState);
bool SetEvent(Handle event);
bool ResetEvent(Handle event);

// kWaitObject0 (+ index), kWaitTimeout or kWaitFailed. Waits for any one object.
unsigned long WaitForSingleObject(Handle object, unsigned long milliseconds);
unsigned long WaitForMultipleObjects(unsigned long count, const Handle* objects,
                                     unsigned long milliseconds);

// A second handle to the same object, with the same access, in this process.
bool DuplicateHandle(Handle source, Handle* target);
bool CloseHandle(Handle object);

// Starts `body(argument)` on a new thread with the default stack size and returns
// its handle, which is signalled when the thread has ended; null on failure. Where
// code is loaded as a module (Windows), the thread keeps the module loaded from
// before it starts until it has ended.
using ThreadBody = unsigned long (*)(void* argument);
Handle CreateThread(ThreadBody body, void* argument);
bool SetThreadPriority(Handle thread, int priority);

void Sleep(unsigned long milliseconds);

// A lock for short sections, not recursive in use.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;
    void Enter();
    void Leave();

private:
    // Storage for the system's lock object, sized for every target.
    alignas(8) unsigned char storage_[64];
};

// Holds a critical section for the lifetime of the guard.
class CriticalSectionGuard {
public:
    explicit CriticalSectionGuard(CriticalSection& section) : section_(section) {
        section_.Enter();
    }
    ~CriticalSectionGuard() { section_.Leave(); }
    CriticalSectionGuard(const CriticalSectionGuard&) = delete;
    CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

private:
    CriticalSection& section_;
};

} // namespace platform
