#include "ui/win32/drawing.h"

namespace {

bool EndsWord(wchar_t c) {
    return c >= 1 && c <= 32;
}

SIZE TextSize(HDC dc, const wchar_t* text, int length) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text, length, &size);
    return size;
}

} // namespace

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

void FillRectFramed(HDC dc, const RECT& r, COLORREF frame, COLORREF fill) {
    for (int y = r.top; y <= r.bottom; ++y) {
        DrawLine(dc, r.left, y, r.right, y, fill);
    }
    DrawLine(dc, r.left, r.top, r.right, r.top, frame);
    DrawLine(dc, r.right, r.top, r.right, r.bottom, frame);
    DrawLine(dc, r.right, r.bottom, r.left, r.bottom, frame);
    DrawLine(dc, r.left, r.bottom, r.left, r.top, frame);
}

int LayoutText(HDC dc, const wchar_t* text, const RECT& r, int spacing, bool draw) {
    SIZE space = TextSize(dc, L" ", 1);
    int x = r.left;
    int y = r.top;
    const wchar_t* word = nullptr;
    for (const wchar_t* p = text ? text : L"";; ++p) {
        wchar_t c = *p;
        if (c != 0 && !EndsWord(c)) {
            word = word ? word : p;
            continue;
        }
        if (word) {
            int length = static_cast<int>(p - word);
            int width = TextSize(dc, word, length).cx;
            if (x + width > r.right) {
                x = r.left;
                y += space.cy + spacing;
            }
            if (draw) {
                TextOutW(dc, x, y, word, length);
            }
            x += width;
            word = nullptr;
        }
        if (c == 0) {
            break;
        }
        if (c == ' ') {
            x += space.cx;
        } else if (c == '\n') {
            x = r.left;
            y += space.cy;
        } else if (c == '\t') {
            x += 8 * space.cx;
        }
    }
    return y + space.cy + spacing;
}

void MoveWindowToRect(HWND window, const RECT& r) {
    MoveWindow(window, r.left, r.top, r.right - r.left - 1, r.bottom - r.top - 1, TRUE);
}

void RectToClient(HWND window, RECT& r) {
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ScreenToClient(window, &corners[0]);
    ScreenToClient(window, &corners[1]);
    r = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

RECT ChildRect(HWND window, HWND child) {
    RECT place;
    GetWindowRect(child, &place);
    RectToClient(window, place);
    return place;
}
