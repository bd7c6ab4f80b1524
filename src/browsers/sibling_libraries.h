#pragma once

#include "base/text_buffer.h"

// The suite's two sibling libraries, loaded by name for each call and released right
// after it. A missing library or function is no error.

// The dial-up connection names from Quenlo.dll's qnlo_GetNames, each followed by a
// line feed in `out`; the count (at most 100), 0 when there are none.
int GetConnectionNames(TextBuffer& out);

// Tessik.dll's tessik_Apply, which tells running browsers that their settings
// changed: its result, 0 when it could not be called.
int NotifySettingsChanged();
