#include <windowsx.h>

#include "ui/win32/dialog_state.h"
#include "ui/win32/drawing.h"
#include "ui/win32/korean_text.h"
#include "ui/win32/open_dialogs.h"
#include "ui/win32/skin.h"

namespace {

const int kCloseBoxSize = 14;

RECT ClientRect(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    return client;
}

RECT CloseBoxHitRect(HWND window) {
    int width = ClientRect(window).right;
    return {width - 18, 3, width - 4, 15};
}

// The first bitmap button whose style marks it as what the close box stands for.
HWND CloseBoxTarget(HWND window) {
    HWND button = NextSkinButton(window, nullptr);
    while (button && !(GetWindowLongA(button, GWL_STYLE) & 0x8000)) {
        button = NextSkinButton(window, button);
    }
    return button;
}

void SetCloseBoxState(HWND window, int state) {
    if (dialogState.closeBoxState == state) {
        return;
    }
    dialogState.closeBoxState = state;
    PaintOutsidePaint(
        window, [](HWND w, HDC dc, void*) { PaintCloseBox(w, dc); }, nullptr);
}

void RealizeSkinPalette(HWND window) {
    HPALETTE palette = skin ? skin->GetPalette() : nullptr;
    if (!palette) {
        return;
    }
    HDC dc = GetDC(window);
    HPALETTE previous = SelectPalette(dc, palette, TRUE);
    if (RealizePalette(dc) > 0) {
        InvalidateRect(window, nullptr, TRUE);
    }
    SelectPalette(dc, previous, TRUE);
    ReleaseDC(window, dc);
}

void OnMouseMove(HWND window, int x, int y) {
    if (dialogState.dragging) {
        POINT cursor;
        GetCursorPos(&cursor);
        SetWindowPos(window, nullptr, cursor.x - dialogState.dragOffsetX,
                     cursor.y - dialogState.dragOffsetY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        UpdateWindow(window);
        return;
    }
    RECT hit = CloseBoxHitRect(window);
    POINT point = {x, y};
    if (PtInRect(&hit, point)) {
        SetCursor(dialogCursor);
        SetCloseBoxState(window, 1);
    } else {
        SetCloseBoxState(window, 0);
    }
}

void OnButtonDown(HWND window, int x, int y) {
    if (dialogState.closeBoxState == 1) {
        SetCursor(dialogCursor);
        SetCloseBoxState(window, 2);
    } else if (y <= kTitleHeight && !dialogState.dragging) {
        dialogState.dragging = 1;
        SetCapture(window);
        dialogState.dragOffsetX = x;
        dialogState.dragOffsetY = y;
    }
}

void OnButtonUp(HWND window) {
    if (dialogState.dragging) {
        dialogState.dragging = 0;
        ReleaseCapture();
    } else if (dialogState.closeBoxState == 2) {
        if (HWND target = CloseBoxTarget(window)) {
            EndDialog(window, GetDlgCtrlID(target));
        }
    }
}

// Title, size and place, and the children moved below the title bar.
void StartDialog(HWND window) {
    if (dialogState.captionText) {
        SetWindowTextW(window, KoreanText(dialogState.captionText).c_str());
    }
    RECT frame;
    GetWindowRect(window, &frame);
    int width = frame.right - frame.left;
    int height = frame.bottom - frame.top + kTitleHeight + kBottomHeight;
    MoveWindow(window, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
               (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, TRUE);
    SetForegroundWindow(window);
    SetFocus(window);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place = ChildRect(window, child);
        OffsetRect(&place, 0, kTitleHeight);
        MoveWindowToRect(child, place);
    }
}

} // namespace

SkinPaletteSelection::SkinPaletteSelection(HDC dc) : dc_(dc) {
    HPALETTE palette = skin ? skin->GetPalette() : nullptr;
    if (palette) {
        previous_ = SelectPalette(dc_, palette, FALSE);
        RealizePalette(dc_);
    }
}

SkinPaletteSelection::~SkinPaletteSelection() {
    if (previous_) {
        SelectPalette(dc_, previous_, FALSE);
    }
}

void PaintOutsidePaint(HWND window, void (*paint)(HWND window, HDC dc, void* context),
                       void* context) {
    HDC dc = GetDC(window);
    {
        SkinPaletteSelection palette(dc);
        paint(window, dc, context);
    }
    ReleaseDC(window, dc);
}

void PaintCloseBox(HWND window, HDC dc) {
    const Dib* boxes = skin ? skin->GetBitmap(kCloseBoxBitmap) : nullptr;
    if (!boxes) {
        return;
    }
    int left = kCloseBoxSize * dialogState.closeBoxState;
    RECT cell = {left, 0, left + kCloseBoxSize, 12};
    boxes->DrawPart(dc, ClientRect(window).right - 19, 3, cell, false);
}

INT_PTR SkinFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOUSEMOVE:
        OnMouseMove(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_LBUTTONDOWN:
        OnButtonDown(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_LBUTTONUP:
        OnButtonUp(window);
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            RealizeSkinPalette(window);
        }
        break;
    case WM_QUERYNEWPALETTE:
        RealizeSkinPalette(window);
        break;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != window) {
            RealizeSkinPalette(window);
        }
        break;
    case WM_CLOSE:
        EndDialog(window, 0);
        break;
    case WM_INITDIALOG:
        RememberOpenDialog(window);
        StartDialog(window);
        break;
    case WM_DESTROY:
        ForgetOpenDialog(window);
        break;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        SetBkColor(reinterpret_cast<HDC>(wParam), kBackgroundColor);
        return reinterpret_cast<INT_PTR>(dialogState.backgroundBrush);
    }
    return 0;
}
