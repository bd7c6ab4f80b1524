#pragma once

#include "base/printf_check.h"

// A byte string in the ANSI code page, owning at most one heap block.
//
// The empty text is no block at all: Length() is -1 for it, CStr() is null and it
// compares equal to nothing, not even "". Every change allocates a block of exactly
// the needed size, so a text never holds an empty block. Operations that can fail
// for lack of memory return 0 and leave the old value in place.
class TextBuffer {
public:
    // Format() refuses results of this many bytes or more (terminator included).
    static const int kFormatBufferSize = 8096;

    TextBuffer() = default;
    explicit TextBuffer(const char* bytes);
    TextBuffer(const TextBuffer& other);
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(const TextBuffer& other);
    TextBuffer& operator=(TextBuffer&& other) noexcept;
    ~TextBuffer();

    int Assign(const char* bytes);
    int Assign(const TextBuffer& text);
    // Takes at most `count` bytes; a zero byte among them ends the text early.
    int Assign(const char* bytes, int count);
    int Append(const char* bytes);
    int Append(const TextBuffer& text);
    int AppendChar(char c);

    // printf-style formatting. Returns 0 and leaves the text empty when the result
    // would not fit in kFormatBufferSize bytes, so that protocol text is either whole
    // or absent, never cut. A null format changes nothing and returns 0.
    int Format(const char* format, ...) RELVIA_PRINTF(2, 3);

    int Length() const { return data_ ? size_ : -1; }
    bool IsEmpty() const { return !data_ || size_ == 0; }
    char CharAt(int index) const;
    const char* CStr() const { return data_; }
    void Empty();

    // Multibyte-aware ordering (-1, 0, 1); -1 when either side is empty or null.
    int Compare(const char* bytes) const;
    bool operator==(const char* bytes) const { return Compare(bytes) == 0; }
    bool operator!=(const char* bytes) const { return Compare(bytes) != 0; }
    // Byte-wise with A-Z lowered: the signed difference of the first differing bytes.
    int CompareNoCase(const char* bytes) const;

    // First occurrence at a character boundary; -1 when absent.
    int Find(char c) const;
    int Find(const char* bytes) const;
    // Last byte equal to c, byte-wise; -1 when absent.
    int ReverseFind(char c) const;
    int Count(char c) const;

    TextBuffer Mid(int start, int count) const;
    TextBuffer Mid(int start) const;
    TextBuffer Left(int count) const;
    TextBuffer Right(int count) const;

    void TrimLeft();
    void TrimRight();
    void MakeLower();
    bool IsAllDigits() const;
    bool ContainsNonAscii() const;
    TextBuffer DirectoryOf() const;
    TextBuffer ExtensionOf() const;

    // Skips delimiter bytes from `pos`, puts the next run of other bytes into `out`
    // and moves `pos` behind it. Returns 0 with `out` untouched when `pos` is out of
    // range or `delimiters` is empty, and 0 with `out` cleared when no run remains.
    int Tokenize(int& pos, TextBuffer& out, const char* delimiters) const;

private:
    // Replaces the value with a new block holding both runs of bytes; the runs may
    // lie in the old block.
    int Join(const char* head, int headCount, const char* tail, int tailCount);
    // Replaces the value with `count` bytes from `bytes` (count > 0).
    int Replace(const char* bytes, int count);
    int AppendBytes(const char* bytes, int count);

    char* data_ = nullptr;
    int size_ = 0;
};
