#pragma once

#include <windows.h>

#include "base/list_node.h"
#include "platform/sync.h"
#include "ui/win32/dib.h"

// One bitmap of the skin, by resource id.
class SkinEntry : public ListNode {
public:
    ~SkinEntry() override { delete dib; }
    SkinEntry* NextEntry() const { return static_cast<SkinEntry*>(Next()); }

    unsigned short resourceId = 0;
    Dib* dib = nullptr;
};

// The dialogs' bitmaps, loaded on first use and kept in the order first asked for.
// The palette of the first one (the logo, loaded with the library) is the palette all
// drawing uses. Dialogs on different threads may ask at once: the chain is changed
// under a lock.
class Skin {
public:
    Skin() = default;
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;
    virtual ~Skin() { delete first_; }

    // The bitmap, or null when it cannot be loaded (tried again at the next request).
    const Dib* GetBitmap(int id);
    HPALETTE GetPalette();

private:
    platform::CriticalSection lock_;
    SkinEntry* first_ = nullptr;
};

// The resources of the dialogs, made when the library loads: the skin (with the logo,
// bitmap 105), the dialogs' font and the cursor over buttons and the close box.
extern Skin* skin;
extern HFONT dialogFont;
extern HCURSOR dialogCursor;

// Bitmap ids.
const int kHoverButtonBitmap = 103;
const int kIconBitmap = 104;
const int kLogoBitmap = 105;
const int kCloseBoxBitmap = 106;
const int kButtonBitmap = 107;
const int kTitleTileBitmap = 108;
const int kBottomTileBitmap = 109;
