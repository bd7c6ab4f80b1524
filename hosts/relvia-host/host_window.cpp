#include "host_window.h"

#include <cstdio>

#include "browser_record.h"
#include "commands.h"

namespace {

const char kClassName[] = "RelviaHostWindow";
const UINT kRunLine = WM_APP + 1;
const UINT_PTR kCountsTimer = 1;

enum ButtonId { kButtonOn = 100, kButtonOff, kButtonTranslationOn, kButtonTranslationOff };

struct LineRequest {
    const std::string* line;
    bool quit;
};

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
                              CW_USEDEFAULT, 360, 180, nullptr, nullptr, instance, this);
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

bool HostWindow::Execute(const std::string& line) {
    LineRequest request{&line, false};
    SendMessageA(window_, kRunLine, 0, reinterpret_cast<LPARAM>(&request));
    return !request.quit;
}

int HostWindow::Loop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
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
        auto* request = reinterpret_cast<LineRequest*>(lParam);
        std::string reply = RunCommand(library_, window_, *request->line, request->quit);
        if (request->quit) {
            Quit();
        }
        PrintLine(reply);
        return 0;
    }
    case kRelviaMessage:
        if (console_) {
            PrintLine("msg 1182 " + std::to_string(static_cast<long long>(wParam)) + " " +
                      std::to_string(static_cast<long long>(lParam)));
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kButtonOn:
            TurnOnRecorded(library_, window_);
            break;
        case kButtonOff:
            TurnOffRecorded(library_);
            break;
        case kButtonTranslationOn:
            library_.EnableJ2KTrans(1);
            break;
        case kButtonTranslationOff:
            library_.EnableJ2KTrans(0);
            break;
        }
        ShowCounts();
        return 0;
    case WM_TIMER:
        ShowCounts();
        return 0;
    case WM_CLOSE:
        Quit();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
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
    status_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 85, 320, 40, window_,
                              nullptr, instance, nullptr);
    ShowCounts();
}

void HostWindow::ShowCounts() {
    if (!status_) {
        return;
    }
    int busy = 0;
    int idle = 0;
    int total = library_.GetAgentCount(&busy, &idle);
    std::string text = total < 0 ? std::string("Proxy off")
                                 : "Proxy on at port 8080: " + std::to_string(busy) + " busy, " +
                                       std::to_string(idle) + " idle agents";
    text += library_.J2KTransEnabled() > 0 ? "\r\nTranslation on" : "\r\nTranslation off";
    SetWindowTextA(status_, text.c_str());
}

// Turning off is the library's own business at unload; the host frees it and goes.
void HostWindow::Quit() {
    KillTimer(window_, kCountsTimer);
    status_ = nullptr;
    library_.Free();
    DiscardBrowserRecord();
    DestroyWindow(window_);
}
