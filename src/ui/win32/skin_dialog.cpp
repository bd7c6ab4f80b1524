#include "ui/win32/skin_dialog.h"

#include <windowsx.h>

#include "ui/dialogs.h"
#include "ui/win32/dialog_state.h"
#include "ui/win32/drawing.h"
#include "ui/win32/korean_text.h"
#include "ui/win32/skin.h"

namespace {

const int kIconSize = 36;
const int kButtonLeftCap = 15;
const int kButtonRightCap = 16;
const int kButtonInset = 3;
const int kPressShift = 3;

HWND SkinButtonAt(HWND window, int x, int y) {
    POINT point = {x, y};
    for (HWND button = NextSkinButton(window, nullptr); button;
         button = NextSkinButton(window, button)) {
        RECT place = ChildRect(window, button);
        if (PtInRect(&place, point)) {
            return button;
        }
    }
    return nullptr;
}

void PaintSkinButton(HWND window, HDC dc, HWND button) {
    RECT outer = ChildRect(window, button);
    RECT inner = {outer.left, outer.top, outer.right - kButtonInset, outer.bottom - kButtonInset};
    bool hot = button == dialogState.hotButton;
    if (hot && dialogState.hotState == 2) {
        OffsetRect(&inner, kPressShift, kPressShift);
    }
    const Dib* face = skin ? skin->GetBitmap(hot ? kHoverButtonBitmap : kButtonBitmap) : nullptr;
    if (!face) {
        return;
    }
    FillRectFramed(dc, outer, kBackgroundColor, kBackgroundColor);
    int width = face->GetWidth();
    int height = face->GetHeight();
    RECT leftCap = {0, 0, kButtonLeftCap, height};
    face->DrawPart(dc, inner.left, inner.top, leftCap, false);
    RECT rightCap = {width - kButtonRightCap, 0, width, height};
    face->DrawPart(dc, inner.right - kButtonRightCap, inner.top, rightCap, false);
    RECT middle = {kButtonLeftCap, 0, kButtonLeftCap + 8, height};
    RECT stretched = {inner.left + kButtonLeftCap, inner.top, inner.right - kButtonRightCap,
                      inner.top + height};
    face->Draw(dc, stretched, middle, false);

    wchar_t caption[126] = {};
    GetWindowTextW(button, caption, 126);
    HGDIOBJ previousFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(button, WM_GETFONT, 0, 0)));
    SetTextColor(dc, kTextColor);
    SetBkMode(dc, TRANSPARENT);
    RECT text = {inner.left - 1, inner.top - 1, inner.right - 1, inner.top + height - 1};
    DrawTextW(dc, caption, -1, &text, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(dc, previousFont);
}

void RepaintButton(HWND window, HWND button) {
    PaintOutsidePaint(
        window, [](HWND w, HDC dc, void* b) { PaintSkinButton(w, dc, static_cast<HWND>(b)); },
        button);
}

void ClearHotButton(HWND window) {
    HWND button = dialogState.hotButton;
    if (!button) {
        return;
    }
    dialogState.hotButton = nullptr;
    dialogState.hotState = 0;
    RepaintButton(window, button);
}

void SetHotButton(HWND window, HWND button, int state) {
    if (button != dialogState.hotButton) {
        ClearHotButton(window);
    } else if (dialogState.hotState == state) {
        return;
    }
    dialogState.hotButton = button;
    dialogState.hotState = state;
    RepaintButton(window, button);
}

void PaintFrame(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    int w = client.right;
    int h = client.bottom;
    FillRectFramed(dc, client, kBackgroundColor, kBackgroundColor);
    if (const Dib* tile = skin ? skin->GetBitmap(kTitleTileBitmap) : nullptr) {
        tile->DrawStretched(dc, {0, 0, w, kTitleHeight}, false);
    }
    if (const Dib* tile = skin ? skin->GetBitmap(kBottomTileBitmap) : nullptr) {
        tile->DrawStretched(dc, {0, h - kBottomHeight, w, h}, false);
    }
    if (const Dib* logo = skin ? skin->GetBitmap(kLogoBitmap) : nullptr) {
        logo->DrawAt(dc, 7, 1, false);
    }
    DrawLine(dc, 0, 1, 0, 17, kTitleLeftColor);
    DrawLine(dc, 0, 18, 0, h - 10, kBodyLeftColor);
    DrawLine(dc, 0, h - 9, 0, h - 1, kTitleLeftColor);
    DrawLine(dc, w - 1, 1, w - 1, 17, kTitleRightColor);
    DrawLine(dc, w - 1, 18, w - 1, h - 10, kBodyRightColor);
    DrawLine(dc, w - 1, h - 9, w - 1, h, kTitleRightColor);
    PaintCloseBox(window, dc);
}

// The message is kept as the window text of its area: it is laid out and painted from
// there, and whoever looks at the dialog's controls can read it. The area is a frame
// static, which may drop a text it is sent, so the window's own text is set and read,
// whatever its length.
void SetMessage(HWND area, const char* cp949) {
    DefWindowProcW(area, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(KoreanText(cp949).c_str()));
}

std::wstring MessageOf(HWND area) {
    LRESULT length = DefWindowProcW(area, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(
        DefWindowProcW(area, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
    return text;
}

// The message, centred vertically in its area when it is shorter.
void PaintMessage(HWND window, HDC dc, HWND area) {
    RECT place = ChildRect(window, area);
    HGDIOBJ previousFont = SelectObject(dc, dialogFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColor);
    std::wstring message = MessageOf(area);
    int bottom = LayoutText(dc, message.c_str(), place, kLineSpacing, false);
    if (place.bottom - bottom > 0) {
        place.top += (place.bottom - bottom) / 2;
    }
    LayoutText(dc, message.c_str(), place, kLineSpacing, true);
    SelectObject(dc, previousFont);
}

void PaintContents(HWND window, HDC dc) {
    HWND icon = GetDlgItem(window, kIconPlace);
    const Dib* icons = skin ? skin->GetBitmap(kIconBitmap) : nullptr;
    if (icon && icons) {
        RECT place = ChildRect(window, icon);
        int left = kIconSize * dialogState.iconIndex;
        RECT cell = {left, 0, left + kIconSize, kIconSize};
        icons->DrawPart(dc, place.left, place.top, cell, false);
    }
    if (HWND area = GetDlgItem(window, kMessageArea)) {
        PaintMessage(window, dc, area);
    }
    for (HWND button = NextSkinButton(window, nullptr); button;
         button = NextSkinButton(window, button)) {
        PaintSkinButton(window, dc, button);
    }
}

void Paint(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    {
        SkinPaletteSelection palette(dc);
        PaintFrame(window, dc);
        PaintContents(window, dc);
    }
    EndPaint(window, &paint);
}

// Puts the message into its area. A message longer than the area pushes what lies
// below it down and the window's bottom with it (each move one pixel narrower and
// shorter, as MoveWindowToRect goes).
void FitMessageText(HWND window) {
    HWND area = GetDlgItem(window, kMessageArea);
    if (!area) {
        return;
    }
    SetMessage(area, dialogState.messageText);
    RECT place = ChildRect(window, area);
    HDC dc = GetDC(window);
    HGDIOBJ previousFont = SelectObject(dc, dialogFont);
    int extra = LayoutText(dc, MessageOf(area).c_str(), place, kLineSpacing, false) - place.bottom;
    SelectObject(dc, previousFont);
    ReleaseDC(window, dc);
    // A message that fits moves nothing, but the moves still take their pixel off.
    extra = extra > 0 ? extra : 0;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT below = ChildRect(window, child);
        if (below.top >= place.bottom) {
            OffsetRect(&below, 0, extra);
            MoveWindowToRect(child, below);
        }
    }
    RECT frame;
    GetWindowRect(window, &frame);
    frame.bottom += extra;
    MoveWindowToRect(window, frame);
}

bool EndsDialog(int id) {
    return id == kOkButton || id == kBrowserCancelButton || id == kBrowserExitButton ||
           id == kBrowserRestartButton;
}

void OnButtonMessage(HWND window, UINT message, int x, int y) {
    if (message == WM_MOUSEMOVE) {
        if (HWND button = SkinButtonAt(window, x, y)) {
            SetCursor(dialogCursor);
            SetHotButton(window, button, 1);
        } else {
            ClearHotButton(window);
        }
        return;
    }
    HWND button = dialogState.hotButton;
    if (!button) {
        return;
    }
    SetCursor(dialogCursor);
    if (message == WM_LBUTTONDOWN) {
        SetHotButton(window, button, 2);
        return;
    }
    ClearHotButton(window);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

} // namespace

HWND NextSkinButton(HWND window, HWND after) {
    HWND child = after ? GetWindow(after, GW_HWNDNEXT) : GetWindow(window, GW_CHILD);
    for (; child; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[16] = {};
        GetClassNameA(child, className, sizeof className);
        if (lstrcmpA(className, "Button") == 0 &&
            !(GetWindowLongA(child, GWL_STYLE) & WS_VISIBLE)) {
            return child;
        }
    }
    return nullptr;
}

INT_PTR CALLBACK SkinDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        Paint(window);
        return 0;
    }
    INT_PTR frameAnswer = SkinFrameProc(window, message, wParam, lParam);
    switch (message) {
    case WM_INITDIALOG:
        FitMessageText(window);
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        OnButtonMessage(window, message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && EndsDialog(LOWORD(wParam))) {
            EndDialog(window, LOWORD(wParam));
        }
        break;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return frameAnswer;
    }
    return 0;
}
