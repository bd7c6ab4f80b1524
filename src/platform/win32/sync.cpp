#include "platform/sync.h"

#include <new>

#include <windows.h>

namespace platform {

Handle CreateEventA(bool manualReset, bool initialState) {
    return ::CreateEventA(nullptr, manualReset, initialState, nullptr);
}

bool SetEvent(Handle event) {
    return ::SetEvent(event) != FALSE;
}

bool ResetEvent(Handle event) {
    return ::ResetEvent(event) != FALSE;
}

unsigned long WaitForSingleObject(Handle object, unsigned long milliseconds) {
    return ::WaitForSingleObject(object, milliseconds);
}

unsigned long WaitForMultipleObjects(unsigned long count, const Handle* objects,
                                     unsigned long milliseconds) {
    return ::WaitForMultipleObjects(count, objects, FALSE, milliseconds);
}

bool DuplicateHandle(Handle source, Handle* target) {
    HANDLE self = ::GetCurrentProcess();
    return ::DuplicateHandle(self, source, self, target, 0, FALSE, DUPLICATE_SAME_ACCESS) != FALSE;
}

bool CloseHandle(Handle object) {
    return ::CloseHandle(object) != FALSE;
}

namespace {

struct ThreadStart {
    ThreadBody body;
    void* argument;
    HMODULE module;
};

DWORD WINAPI ThreadEntry(LPVOID parameter) {
    ThreadStart start = *static_cast<ThreadStart*>(parameter);
    delete static_cast<ThreadStart*>(parameter);
    DWORD result = start.body(start.argument);
    // Gives the thread's reference back and ends the thread without returning into
    // the module, which may be unmapped the moment the reference is gone.
    ::FreeLibraryAndExitThread(start.module, result);
}

// A reference to the module this code is part of (the library, or the program the
// code is linked into), or null.
HMODULE ReferenceOwnModule() {
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCSTR>(&ThreadEntry), &module);
    return module;
}

} // namespace

// The reference is taken before the thread exists, so a thread that has not started
// yet keeps the module too; it cannot be unloaded while any of its threads is alive.
Handle CreateThread(ThreadBody body, void* argument) {
    HMODULE module = ReferenceOwnModule();
    ThreadStart* start = module ? new (std::nothrow) ThreadStart{body, argument, module} : nullptr;
    if (!start) {
        if (module) {
            ::FreeLibrary(module);
        }
        return nullptr;
    }
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadEntry, start, 0, &id);
    if (!thread) {
        delete start;
        ::FreeLibrary(module);
        return nullptr;
    }
    return thread;
}

bool SetThreadPriority(Handle thread, int priority) {
    return ::SetThreadPriority(thread, priority) != FALSE;
}

void Sleep(unsigned long milliseconds) {
    ::Sleep(milliseconds);
}

static_assert(sizeof(CRITICAL_SECTION) <= 64, "critical section storage too small");

CriticalSection::CriticalSection() {
    ::InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

CriticalSection::~CriticalSection() {
    ::DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

void CriticalSection::Enter() {
    ::EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

void CriticalSection::Leave() {
    ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

} // namespace platform
