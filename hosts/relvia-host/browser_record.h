#pragma once

#include <windows.h>

#include "relvia_library.h"

// The browsers' proxy settings as they were before the proxy went on, kept in the
// registry for as long as it is on. The library gives them back when it turns off or
// is unloaded; a host that ended without either (it crashed or was killed) finds the
// record at its next start and gives them back itself.

// Turn-on and turn-off through the library, with the record kept in between.
int TurnOnRecorded(RelviaLibrary& library, HWND window);
void TurnOffRecorded(RelviaLibrary& library);
// After the library was freed, which turned the proxy off.
void DiscardBrowserRecord();
// At start, before the library is loaded: restores the settings a record left behind
// holds and removes it. The number of browsers restored.
int RestoreLeftOverBrowsers();
