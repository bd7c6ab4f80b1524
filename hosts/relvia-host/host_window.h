#pragma once

#include <deque>
#include <string>

#include <windows.h>

#include "commands.h"
#include "relvia_library.h"

// The host's main window. Its thread runs every call into the library, so the
// library's dialogs are owned by it. In console mode it stays hidden, runs the
// commands sent to it and prints the library's messages.
//
// One call into the library at a time: while one runs (and shows a dialog, whose
// loop dispatches this window's messages too), console lines and requests to quit
// wait in order until it has returned, and the buttons do nothing. Every way the
// run ends (the "quit" line, the end of input, the close box, the session ending, a
// console control event) turns the proxy off before the library is freed.
class HostWindow {
public:
    // The library's notification to the host.
    static const UINT kRelviaMessage = 1182;

    HostWindow(RelviaLibrary& library, bool console);
    bool Create(HINSTANCE instance);
    HWND Handle() const { return window_; }
    // Runs the message loop until the window is gone.
    int Loop();

    // From any thread: queues one console line for the window's thread. False once
    // the window is gone.
    static bool PostLine(HWND window, const std::string& line);
    // From any thread: ends the run as "quit" does, and returns once it has ended or
    // is queued behind the call into the library that is running.
    static void EndRun(HWND window);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    // Queues a line and, unless a call is running already, runs the queue.
    void Submit(const std::string& line);
    void RunLine(const std::string& line);
    void PressButton(int id);
    void CreateControls();
    void ShowCounts();
    // The run is to end while a call into the library may be running: its dialogs
    // (and any it opens until the end) are closed as their close box would, so the
    // call returns and the queued "quit" runs at once.
    void EndWhileBusy();
    void Quit();

    RelviaLibrary& library_;
    bool console_;
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    bool busy_ = false;
    bool ending_ = false;
    RunState state_;
    std::deque<std::string> pending_;
};

// Prints one line to standard output at once.
void PrintLine(const std::string& line);
