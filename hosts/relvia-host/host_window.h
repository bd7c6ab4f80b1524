#pragma once

#include <string>

#include <windows.h>

#include "relvia_library.h"

// The host's main window. Its thread runs every call into the library, so the
// library's dialogs are owned by it. In console mode it stays hidden, runs the
// commands sent to it and prints the library's messages.
class HostWindow {
public:
    // The library's notification to the host.
    static const UINT kRelviaMessage = 1182;

    HostWindow(RelviaLibrary& library, bool console);
    bool Create(HINSTANCE instance);
    HWND Handle() const { return window_; }
    // Runs one console line on the window's thread; false once the host quits.
    bool Execute(const std::string& line);
    // Runs the message loop until the window is gone.
    int Loop();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void ShowCounts();
    void Quit();

    RelviaLibrary& library_;
    bool console_;
    HWND window_ = nullptr;
    HWND status_ = nullptr;
};

// Prints one line to standard output at once.
void PrintLine(const std::string& line);
