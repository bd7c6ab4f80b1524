#pragma once

#include <windows.h>

class DataChunk;

// One 8-bit device-independent bitmap as stored in a "DIB" resource: its rows
// (bottom-up), its header with the colour table, and a palette made from that table.
class Dib {
public:
    Dib() = default;
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    virtual ~Dib();

    // Non-zero when resource `id` of type "DIB" of this module loaded.
    int LoadFromResource(int id);
    // A whole BMP file from the chunk: the bytes consumed, 0 on failure.
    int LoadFromChunk(const DataChunk& chunk);
    int BuildPalette();
    int GetColorCount() const;
    int GetWidth() const;
    int GetHeight() const;
    HPALETTE GetPalette() const { return palette_; }

    // Copies `source` onto `destination`, unscaled when both have the same size and
    // stretched otherwise, through this bitmap's palette (realized when asked).
    int Draw(HDC dc, const RECT& destination, const RECT& source, bool realize) const;
    void DrawAt(HDC dc, int x, int y, bool realize) const;
    void DrawPart(HDC dc, int x, int y, const RECT& source, bool realize) const;
    void DrawStretched(HDC dc, const RECT& destination, bool realize) const;

private:
    void Release();
    const BITMAPINFOHEADER* Header() const {
        return reinterpret_cast<const BITMAPINFOHEADER*>(info_);
    }

    unsigned char* bits_ = nullptr;
    unsigned char* info_ = nullptr;
    // The size of the `info_` block, which ends 1024 bytes behind what was read into it.
    int infoSize_ = 0;
    HPALETTE palette_ = nullptr;
};
