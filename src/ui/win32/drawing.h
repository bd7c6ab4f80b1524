#pragma once

#include <windows.h>

// The skin's colours, relative to the selected palette.
const COLORREF kBackgroundColor = PALETTERGB(235, 235, 228);
const COLORREF kTitleLeftColor = PALETTERGB(143, 178, 254);
const COLORREF kBodyLeftColor = PALETTERGB(255, 255, 255);
const COLORREF kTitleRightColor = PALETTERGB(0, 86, 135);
const COLORREF kBodyRightColor = PALETTERGB(157, 157, 157);
const COLORREF kTextColor = PALETTERGB(0, 0, 0);

// One horizontal line of `fill` for every row from top to bottom inclusive, then the
// outline in `frame`.
void FillRectFramed(HDC dc, const RECT& rectangle, COLORREF frame, COLORREF fill);
// A one-pixel line without its end point.
void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF color);
// Word-wraps `text` into the rectangle's width with the DC's font: lines advance by the
// line height plus `spacing`, a line feed by the line height alone, a tab by eight
// spaces; a word is never split. Draws the words when `draw` is set. The y below the
// text.
int LayoutText(HDC dc, const wchar_t* text, const RECT& rectangle, int spacing, bool draw);
// Moves the window to the rectangle (parent client coordinates for a child, screen
// coordinates otherwise) with its width and height each one pixel less, repainting.
void MoveWindowToRect(HWND window, const RECT& rectangle);
// Both corners from screen to the window's client coordinates.
void RectToClient(HWND window, RECT& rectangle);
// A child window's rectangle in its parent's client coordinates.
RECT ChildRect(HWND window, HWND child);
