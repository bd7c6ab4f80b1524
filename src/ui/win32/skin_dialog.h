#pragma once

#include <windows.h>

// The dialog procedure every skinned dialog runs: the frame's part first, then
// painting, fitting the message, the bitmap buttons and the commands that end the
// dialog (1004, 1007, 2000, 3000; Enter and Escape are ignored).
INT_PTR CALLBACK SkinDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
