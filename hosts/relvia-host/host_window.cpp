#include "host_window.h"

#include <cstdio>
#include <memory>

#include "browser_record.h"

namespace {

const char kClassName[] = "RelviaHostWindow";
const UINT kRunLine = WM_APP + 1;
const UINT kEndRun = WM_APP + 2;
const UINT_PTR kCountsTimer = 1;
const UINT_PTR kEndingTimer = 2;
const UINT kEndingTimerMs = 100;

enum ButtonId { kButtonOn = 100, kButtonOff, kButtonTranslationOn, kButtonTranslationOff };

// Signalled once the run has ended: the library is freed and the window is gone.
HANDLE runEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);

BOOL CALLBACK CloseUnlessKept(HWND window, LPARAM keep) {
    if (window != reinterpret_cast<HWND>(keep)) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

// Posts WM_CLOSE to every top-level window of the calling thread but `keep`: the
// library's dialogs, which end as their close box ends them.
void CloseOtherThreadWindows(HWND keep) {
    EnumThreadWindows(GetCurrentThreadId(), CloseUnlessKept, reinterpret_cast<LPARAM>(keep));
}

} // namespace

void PrintLine(const std::string& line) {
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

HostWindow::HostWindow(RelviaLibrary& library, bool console)
    : library_(library), console_(console) {}

bool HostWindow::Create(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassA(&windowClass)) {
        return false;
    }
    window_ = CreateWindowExA(0, kClassName, "Relvia", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 360, 200, nullptr, nullptr, instance, this);
    if (!window_) {
        return false;
    }
    if (!console_) {
        CreateControls();
        ShowWindow(window_, SW_SHOW);
        SetTimer(window_, kCountsTimer, 1000, nullptr);
    }
    return true;
}

int HostWindow::Loop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

bool HostWindow::PostLine(HWND window, const std::string& line) {
    std::unique_ptr<std::string> copy(new std::string(line));
    if (!PostMessageA(window, kRunLine, 0, reinterpret_cast<LPARAM>(copy.get()))) {
        return false;
    }
    copy.release();
    return true;
}

void HostWindow::EndRun(HWND window) {
    if (SendMessageA(window, kEndRun, 0, 0)) {
        WaitForSingleObject(runEnded, INFINITE);
    }
}

LRESULT CALLBACK HostWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (!self->window_) {
        self->window_ = window;
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT HostWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kRunLine: {
        std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(lParam));
        Submit(*line);
        return 0;
    }
    case kEndRun:
        // A console event: the system ends the process soon after, so an open dialog
        // is not waited for.
        EndWhileBusy();
        Submit("quit");
        return 1;
    case WM_CLOSE:
        Submit("quit");
        return 1;
    case WM_QUERYENDSESSION:
        // A call into the library that runs cannot finish inside this message, and
        // the system may end the process as soon as WM_ENDSESSION returns: the
        // session waits, the call's dialogs close, and "quit" runs right after it.
        if (busy_) {
            EndWhileBusy();
            Submit("quit");
            return FALSE;
        }
        return TRUE;
    case WM_ENDSESSION:
        // The browsers get their settings back before the session ends.
        if (wParam) {
            Submit("quit");
        }
        return 0;
    case kRelviaMessage:
        if (console_) {
            PrintLine("msg 1182 " + std::to_string(static_cast<long long>(wParam)) + " " +
                      std::to_string(static_cast<long long>(lParam)));
        }
        return 0;
    case WM_COMMAND:
        PressButton(LOWORD(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == kEndingTimer) {
            CloseOtherThreadWindows(window_);
        } else {
            ShowCounts();
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void HostWindow::Submit(const std::string& line) {
    pending_.push_back(line);
    if (busy_) {
        return;
    }
    while (!pending_.empty() && window_) {
        std::string next = pending_.front();
        pending_.pop_front();
        RunLine(next);
    }
}

void HostWindow::RunLine(const std::string& line) {
    busy_ = true;
    if (!console_) {
        EnableWindow(window_, FALSE);
    }
    bool quit = false;
    std::string reply = RunCommand(library_, window_, line, state_, quit);
    if (quit) {
        Quit();
    } else if (!console_) {
        EnableWindow(window_, TRUE);
    }
    busy_ = false;
    PrintLine(reply);
    if (quit) {
        SetEvent(runEnded);
    }
    ShowCounts();
}

void HostWindow::PressButton(int id) {
    switch (id) {
    case kButtonOn:
        Submit("on");
        break;
    case kButtonOff:
        Submit("off");
        break;
    case kButtonTranslationOn:
        Submit("enable 1");
        break;
    case kButtonTranslationOff:
        Submit("enable 0");
        break;
    }
}

void HostWindow::CreateControls() {
    const struct {
        const char* text;
        int id;
        int x, y;
    } buttons[] = {
        {"Proxy on", kButtonOn, 10, 10},
        {"Proxy off", kButtonOff, 170, 10},
        {"Translation on", kButtonTranslationOn, 10, 45},
        {"Translation off", kButtonTranslationOff, 170, 45},
    };
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
    for (const auto& button : buttons) {
        CreateWindowExA(0, "BUTTON", button.text, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, button.x,
                        button.y, 150, 28, window_,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(button.id)), instance,
                        nullptr);
    }
    status_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 85, 330, 60, window_,
                              nullptr, instance, nullptr);
    ShowCounts();
}

// Not while a call into the library runs: the counts are a call too.
void HostWindow::ShowCounts() {
    if (!status_ || busy_) {
        return;
    }
    SetWindowTextA(status_, StatusText(library_, state_, "\r\n").c_str());
}

void HostWindow::EndWhileBusy() {
    if (!busy_ || ending_) {
        return;
    }
    ending_ = true;
    CloseOtherThreadWindows(window_);
    SetTimer(window_, kEndingTimer, kEndingTimerMs, nullptr);
}

// Turns the proxy off before the library is freed, then gives back what the library
// did not (a proxy that could not listen, a library freed while on).
void HostWindow::Quit() {
    KillTimer(window_, kCountsTimer);
    status_ = nullptr;
    if (library_.IsLoaded()) {
        TurnOffRecorded(library_);
        library_.Free();
    }
    RestoreRecordedBrowsers();
    DestroyWindow(window_);
    window_ = nullptr;
}
