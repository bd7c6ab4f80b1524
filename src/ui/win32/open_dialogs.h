#pragma once

#include <windows.h>

// The skinned dialogs open on any thread, for CloseOpenDialogs.
void RememberOpenDialog(HWND window);
void ForgetOpenDialog(HWND window);
