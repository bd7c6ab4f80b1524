#pragma once

#include <string>

#include <windows.h>

// Relvia.dll loaded at run time with its ten exports resolved by name; they use the C
// calling convention.
struct RelviaLibrary {
    HMODULE module = nullptr;
    int(__cdecl* TurnOn)(HWND) = nullptr;
    void(__cdecl* TurnOff)() = nullptr;
    int(__cdecl* SetRegRoot)(HKEY, const char*) = nullptr;
    void(__cdecl* EnableJ2KTrans)(int) = nullptr;
    void(__cdecl* SetJ2KTransMode)(int) = nullptr;
    int(__cdecl* J2KTransEnabled)() = nullptr;
    int(__cdecl* GetJ2KTransMode)() = nullptr;
    int(__cdecl* GetAgentCount)(int*, int*) = nullptr;
    void(__cdecl* OpenDnBox)() = nullptr;
    void(__cdecl* CloseDnBox)() = nullptr;

    // False with `error` set when the library or one of its exports is missing.
    bool Load(const std::string& path, std::string& error);
    bool IsLoaded() const { return module != nullptr; }
    void Free();
};

// Relvia.dll in the folder of this program.
std::string DefaultLibraryPath();
