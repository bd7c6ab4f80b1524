#include "relvia_library.h"

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char* name, Function& function, std::string& error) {
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!function) {
        error = std::string("missing export ") + name;
    }
    return function != nullptr;
}

} // namespace

bool RelviaLibrary::Load(const std::string& path, std::string& error) {
    module = LoadLibraryA(path.c_str());
    if (!module) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    bool ok = Resolve(module, "rlvia_TurnOn", TurnOn, error) &&
              Resolve(module, "rlvia_TurnOff", TurnOff, error) &&
              Resolve(module, "rlvia_SetRegRoot", SetRegRoot, error) &&
              Resolve(module, "rlvia_EnableJ2KTrans", EnableJ2KTrans, error) &&
              Resolve(module, "rlvia_SetJ2KTransMode", SetJ2KTransMode, error) &&
              Resolve(module, "rlvia_J2KTransEnabled", J2KTransEnabled, error) &&
              Resolve(module, "rlvia_GetJ2KTransMode", GetJ2KTransMode, error) &&
              Resolve(module, "rlvia_GetAgentCount", GetAgentCount, error) &&
              Resolve(module, "rlvia_OpenDnBox", OpenDnBox, error) &&
              Resolve(module, "rlvia_CloseDnBox", CloseDnBox, error);
    if (!ok) {
        Free();
    }
    return ok;
}

void RelviaLibrary::Free() {
    if (module) {
        FreeLibrary(module);
        module = nullptr;
    }
}

std::string DefaultLibraryPath() {
    char path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string own(path, length);
    size_t slash = own.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : own.substr(0, slash + 1)) + "Relvia.dll";
}
