#include "ui/win32/skin.h"

#include <new>

#include "control/module_state.h"
#include "ui/dialogs.h"
#include "ui/win32/korean_text.h"

Skin* skin = nullptr;
HFONT dialogFont = nullptr;
HCURSOR dialogCursor = nullptr;

namespace {

const int kCursorResource = 110;

} // namespace

const Dib* Skin::GetBitmap(int id) {
    platform::CriticalSectionGuard hold(lock_);
    SkinEntry* last = nullptr;
    for (SkinEntry* entry = first_; entry; entry = entry->NextEntry()) {
        if (entry->resourceId == id) {
            return entry->dib;
        }
        last = entry;
    }
    auto* entry = new (std::nothrow) SkinEntry;
    Dib* dib = new (std::nothrow) Dib;
    if (!entry || !dib || !dib->LoadFromResource(id)) {
        delete dib;
        delete entry;
        return nullptr;
    }
    entry->resourceId = static_cast<unsigned short>(id);
    entry->dib = dib;
    if (last) {
        last->InsertAfter(entry);
    } else {
        first_ = entry;
    }
    return dib;
}

HPALETTE Skin::GetPalette() {
    platform::CriticalSectionGuard hold(lock_);
    return first_ && first_->dib ? first_->dib->GetPalette() : nullptr;
}

void LoadDialogResources() {
    // "굴림", 9 points for the dialogs' 96 dots per inch.
    dialogFont = CreateFontW(-12, 0, 0, 0, 400, FALSE, FALSE, FALSE, HANGUL_CHARSET, 3, 2, 1, 0x32,
                             KoreanText("\xB1\xBC\xB8\xB2").c_str());
    skin = new (std::nothrow) Skin;
    if (skin) {
        skin->GetBitmap(kLogoBitmap);
    }
    dialogCursor = LoadCursorA(static_cast<HINSTANCE>(moduleState.moduleInstance),
                               MAKEINTRESOURCEA(kCursorResource));
}

void FreeDialogResources() {
    delete skin;
    skin = nullptr;
    if (dialogFont) {
        DeleteObject(dialogFont);
        dialogFont = nullptr;
    }
}
