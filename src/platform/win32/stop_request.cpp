#include "platform/stop_request.h"

#include <windows.h>

namespace platform {
namespace {

HANDLE stopRequested = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD) {
    SetEvent(stopRequested);
    return TRUE;
}

} // namespace

void HoldStopRequests() {
    stopRequested = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void WaitForStopRequest() {
    ::WaitForSingleObject(stopRequested, INFINITE);
}

} // namespace platform
