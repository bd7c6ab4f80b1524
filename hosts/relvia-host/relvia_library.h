#pragma once

#include <string>

#include <windows.h>

// Relvia.dll loaded at run time with its ten exports resolved by name.
struct RelviaLibrary {
    HMODULE module = nullptr;
    int(__stdcall* TurnOn)(HWND) = nullptr;
    void(__stdcall* TurnOff)() = nullptr;
    int(__stdcall* SetRegRoot)(HKEY, const char*) = nullptr;
    void(__stdcall* EnableJ2KTrans)(int) = nullptr;
    void(__stdcall* SetJ2KTransMode)(int) = nullptr;
    int(__stdcall* J2KTransEnabled)() = nullptr;
    int(__stdcall* GetJ2KTransMode)() = nullptr;
    int(__stdcall* GetAgentCount)(int*, int*) = nullptr;
    void(__stdcall* OpenDnBox)() = nullptr;
    void(__stdcall* CloseDnBox)() = nullptr;

    // False with `error` set when the library or one of its exports is missing.
    bool Load(const std::string& path, std::string& error);
    bool IsLoaded() const { return module != nullptr; }
    void Free();
};

// Relvia.dll in the folder of this program.
std::string DefaultLibraryPath();
