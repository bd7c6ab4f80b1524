#include "ui/win32/dib.h"

#include <cstring>
#include <new>

#include "control/module_state.h"
#include "proxy/data_chunk.h"

namespace {

const int kFileHeaderSize = 14;
// The header block keeps this much room behind what is read into it.
const int kInfoSpare = 1010;

unsigned long LittleEndian32(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
           (static_cast<unsigned long>(bytes[3]) << 24);
}

} // namespace

Dib::~Dib() {
    Release();
}

void Dib::Release() {
    delete[] bits_;
    bits_ = nullptr;
    delete[] info_;
    info_ = nullptr;
    infoSize_ = 0;
    if (palette_) {
        DeleteObject(palette_);
        palette_ = nullptr;
    }
}

int Dib::LoadFromResource(int id) {
    auto module = static_cast<HMODULE>(moduleState.moduleInstance);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "DIB");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        return 0;
    }
    DataChunk chunk;
    int result = chunk.SetData(static_cast<const char*>(bytes),
                               static_cast<int>(SizeofResource(module, found)), 0) &&
                 LoadFromChunk(chunk);
    FreeResource(loaded);
    return result;
}

int Dib::LoadFromChunk(const DataChunk& chunk) {
    Release();
    int position = 0;
    unsigned char file[kFileHeaderSize];
    if (chunk.ReadAt(reinterpret_cast<char*>(file), position, kFileHeaderSize) != kFileHeaderSize ||
        file[0] != 'B' || file[1] != 'M') {
        return 0;
    }
    unsigned long offset = LittleEndian32(file + 10);
    int length = chunk.GetLength();
    if (offset < kFileHeaderSize + sizeof(BITMAPINFOHEADER) ||
        offset > static_cast<unsigned long>(length)) {
        return 0;
    }
    int infoLength = static_cast<int>(offset) - kFileHeaderSize;
    int bitsLength = length - static_cast<int>(offset);
    infoSize_ = static_cast<int>(offset) + kInfoSpare;
    info_ = new (std::nothrow) unsigned char[infoSize_]();
    bits_ = new (std::nothrow) unsigned char[bitsLength > 0 ? bitsLength : 1];
    if (!info_ || !bits_ ||
        chunk.ReadAt(reinterpret_cast<char*>(info_), position, infoLength) != infoLength ||
        (bitsLength > 0 &&
         chunk.ReadAt(reinterpret_cast<char*>(bits_), position, bitsLength) != bitsLength)) {
        Release();
        return 0;
    }
    BuildPalette();
    return length;
}

int Dib::GetColorCount() const {
    if (!info_) {
        return 0;
    }
    if (Header()->biClrUsed) {
        return static_cast<int>(Header()->biClrUsed);
    }
    switch (Header()->biBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

int Dib::BuildPalette() {
    if (!info_) {
        return 0;
    }
    int count = GetColorCount();
    // A count the header block cannot hold is cut to the entries it has room for.
    int room = (infoSize_ - static_cast<int>(Header()->biSize)) / static_cast<int>(sizeof(RGBQUAD));
    count = count < room ? count : room;
    if (count <= 0) {
        return 1;
    }
    size_t size = sizeof(LOGPALETTE) + static_cast<size_t>(count) * sizeof(PALETTEENTRY);
    auto* storage = new (std::nothrow) unsigned char[size]();
    if (!storage) {
        return 0;
    }
    auto* logical = reinterpret_cast<LOGPALETTE*>(storage);
    logical->palVersion = 0x300;
    logical->palNumEntries = static_cast<WORD>(count);
    const auto* table = reinterpret_cast<const RGBQUAD*>(info_ + Header()->biSize);
    for (int i = 0; i < count; ++i) {
        logical->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    }
    HPALETTE made = CreatePalette(logical);
    delete[] storage;
    if (palette_) {
        DeleteObject(palette_);
    }
    palette_ = made;
    return made ? 1 : 0;
}

int Dib::GetWidth() const {
    return info_ ? static_cast<int>(Header()->biWidth) : 0;
}

int Dib::GetHeight() const {
    return info_ ? static_cast<int>(Header()->biHeight) : 0;
}

int Dib::Draw(HDC dc, const RECT& destination, const RECT& source, bool realize) const {
    if (!info_) {
        return 0;
    }
    HPALETTE previous = palette_ ? SelectPalette(dc, palette_, TRUE) : nullptr;
    if (palette_ && realize) {
        RealizePalette(dc);
    }
    SetStretchBltMode(dc, COLORONCOLOR);
    int width = source.right - source.left;
    int height = source.bottom - source.top;
    auto* header = reinterpret_cast<const BITMAPINFO*>(info_);
    int result;
    if (destination.right - destination.left == width &&
        destination.bottom - destination.top == height) {
        result = SetDIBitsToDevice(dc, destination.left, destination.top, width, height,
                                   source.left, GetHeight() - source.bottom, 0, GetHeight(), bits_,
                                   header, DIB_RGB_COLORS);
    } else {
        result = StretchDIBits(
            dc, destination.left, destination.top, destination.right - destination.left,
            destination.bottom - destination.top, source.left, GetHeight() - source.bottom, width,
            height, bits_, header, DIB_RGB_COLORS, SRCCOPY);
    }
    if (previous) {
        SelectPalette(dc, previous, TRUE);
    }
    return result;
}

void Dib::DrawAt(HDC dc, int x, int y, bool realize) const {
    RECT whole = {0, 0, GetWidth(), GetHeight()};
    DrawPart(dc, x, y, whole, realize);
}

void Dib::DrawPart(HDC dc, int x, int y, const RECT& source, bool realize) const {
    RECT destination = {x, y, x + source.right - source.left, y + source.bottom - source.top};
    Draw(dc, destination, source, realize);
}

void Dib::DrawStretched(HDC dc, const RECT& destination, bool realize) const {
    RECT whole = {0, 0, GetWidth(), GetHeight()};
    Draw(dc, destination, whole, realize);
}
