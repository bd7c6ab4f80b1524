// The library's entry point and its ten exported functions (Windows only). They
// forward to the portable lifecycle; the .def file exports them undecorated. The
// exports use the C calling convention (the caller removes the arguments), as the
// suite's other library does.
#include "control/lifecycle.h"
#include "control/module_state.h"

namespace {
const unsigned long kProcessDetach = 0;
} // namespace

extern "C" {

// Runs under the system's loader lock, so it does only what is safe there: the
// first call from the host loads the module (lifecycle.h).
int __stdcall DllMain(void* instance, unsigned long reason, void* reserved) {
    moduleState.moduleInstance = instance;
    if (reason == kProcessDetach) {
        // A non-null `reserved` means the process is ending rather than the library
        // being freed.
        if (reserved) {
            ModuleProcessEnd();
        } else {
            ModuleUnload();
        }
    }
    return 1;
}

int __cdecl rlvia_TurnOn(void* hostWindow) {
    return TurnOn(hostWindow);
}

void __cdecl rlvia_TurnOff() {
    TurnOff();
}

int __cdecl rlvia_SetRegRoot(void* root, const char* path) {
    return SetRegRoot(root, path);
}

void __cdecl rlvia_EnableJ2KTrans(int value) {
    EnableJ2KTrans(value);
}

void __cdecl rlvia_SetJ2KTransMode(int mode) {
    SetJ2KTransMode(mode);
}

int __cdecl rlvia_J2KTransEnabled() {
    return J2KTransEnabled();
}

int __cdecl rlvia_GetJ2KTransMode() {
    return GetJ2KTransMode();
}

int __cdecl rlvia_GetAgentCount(int* busy, int* idle) {
    return GetAgentCount(busy, idle);
}

// Exported as both rlvia_OpenDnBox and rlvia_CloseDnBox.
void __cdecl rlvia_OpenDnBox() {}

} // extern "C"
