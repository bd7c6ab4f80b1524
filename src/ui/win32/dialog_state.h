#pragma once

#include <windows.h>

// The state of the dialog open on this thread. Dialogs are modal and run on the thread
// that shows them, so each thread's state belongs to at most one dialog: an agent's
// message and a question on the host's thread never share it.
struct DialogState {
    const char* messageText;
    const char* captionText;
    int iconIndex;
    HBRUSH backgroundBrush;
    int dragging;
    int dragOffsetX;
    int dragOffsetY;
    HWND hotButton;
    int hotState;
    int closeBoxState;
};

extern thread_local DialogState dialogState;

// Creates the background brush and clears everything else.
void ResetDialogState();

// Layout of the skin, in pixels.
const int kTitleHeight = 17;
const int kBottomHeight = 9;
// The message area's line spacing.
const int kLineSpacing = 5;

// Control ids of the templates.
const int kIconPlace = 1000;
const int kMessageArea = 1002;

// The frame's part of every skinned dialog: title bar dragging, the close box, the
// palette, the background colour, the start. The answer for colour requests (a
// brush), else 0.
INT_PTR SkinFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The close box as `closeBoxState` says, at the top right.
void PaintCloseBox(HWND window, HDC dc);
// The next bitmap button after `after` (the first for null): hidden children of class
// "Button", in template order.
HWND NextSkinButton(HWND window, HWND after);

// The skin's palette selected into a DC as its foreground palette and realized, for as
// long as this lives.
class SkinPaletteSelection {
public:
    explicit SkinPaletteSelection(HDC dc);
    ~SkinPaletteSelection();
    SkinPaletteSelection(const SkinPaletteSelection&) = delete;
    SkinPaletteSelection& operator=(const SkinPaletteSelection&) = delete;

private:
    HDC dc_;
    HPALETTE previous_ = nullptr;
};

// Runs `paint` on the window's DC with the skin's palette selected and realized.
void PaintOutsidePaint(HWND window, void (*paint)(HWND window, HDC dc, void* context),
                       void* context);
