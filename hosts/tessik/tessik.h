// Tessik.dll, shipped beside Relvia.dll: tells running browsers that the Internet
// settings changed, so they take up a new proxy without a restart.
#pragma once

// Returns 1 when WinINet accepted both notifications, else 0.
extern "C" int tessik_Apply();
