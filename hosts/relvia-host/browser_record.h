#pragma once

#include <windows.h>

#include "relvia_library.h"

// The browsers' proxy settings as they were before the proxy went on, kept in the
// registry until the browsers have them back. The library gives them back when it
// turns off; what it did not give back (a proxy that could not listen, a host that
// crashed or was killed while on) the host gives back from the record, as it quits
// or at its next start.

// Turn-on and turn-off through the library, with the record kept in between. The
// record is written only when there is none: one that exists holds the settings
// from before the proxy, which a second turn-on must not replace with the proxy's.
int TurnOnRecorded(RelviaLibrary& library, HWND window);
// Once the library has turned off, the browsers tell whether it gave them back: those
// it did not (its listener could not take the port) get their settings from the
// record. True when they did.
bool TurnOffRecorded(RelviaLibrary& library);
// Restores the settings a record holds and removes it; the number of browsers
// restored (0 without a record).
int RestoreRecordedBrowsers();
