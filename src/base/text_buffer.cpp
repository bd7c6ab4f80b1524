#include "base/text_buffer.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "platform/ansi.h"

namespace {

bool IsBlank(unsigned char byte) {
    return byte >= 1 && byte <= 32;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Length of a C string that is known to fit in an int, or -1 when it does not.
int LengthOf(const char* bytes) {
    size_t n = std::strlen(bytes);
    return n > static_cast<size_t>(INT_MAX - 1) ? -1 : static_cast<int>(n);
}

// Bytes taken by the character at `p`: a lead byte and its trail byte are one.
int CharWidth(const char* p) {
    return (IsAnsiLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// The character at `p` as one number, a double-byte character as lead * 256 + trail.
unsigned int CharCode(const char* p, int width) {
    unsigned int code = static_cast<unsigned char>(p[0]);
    return width == 2 ? (code << 8) | static_cast<unsigned char>(p[1]) : code;
}

} // namespace

TextBuffer::TextBuffer(const char* bytes) {
    Assign(bytes);
}

TextBuffer::TextBuffer(const TextBuffer& other) {
    Assign(other);
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
    other.data_ = nullptr;
    other.size_ = 0;
}

TextBuffer& TextBuffer::operator=(const TextBuffer& other) {
    Assign(other);
    return *this;
}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
    if (this != &other) {
        delete[] data_;
        data_ = other.data_;
        size_ = other.size_;
        other.data_ = nullptr;
        other.size_ = 0;
    }
    return *this;
}

TextBuffer::~TextBuffer() {
    delete[] data_;
}

int TextBuffer::Join(const char* head, int headCount, const char* tail, int tailCount) {
    if (tailCount > INT_MAX - 1 - headCount) {
        return 0;
    }
    int total = headCount + tailCount;
    char* block = new (std::nothrow) char[static_cast<size_t>(total) + 1];
    if (!block) {
        return 0;
    }
    std::memcpy(block, head, static_cast<size_t>(headCount));
    std::memcpy(block + headCount, tail, static_cast<size_t>(tailCount));
    block[total] = '\0';
    delete[] data_;
    data_ = block;
    size_ = total;
    return 1;
}

int TextBuffer::Replace(const char* bytes, int count) {
    return Join(bytes, count, "", 0);
}

int TextBuffer::Assign(const char* bytes) {
    if (!bytes || bytes[0] == '\0') {
        Empty();
        return 1;
    }
    int n = LengthOf(bytes);
    return n < 0 ? 0 : Replace(bytes, n);
}

int TextBuffer::Assign(const TextBuffer& text) {
    if (&text == this) {
        return 1;
    }
    return Assign(text.data_);
}

int TextBuffer::Assign(const char* bytes, int count) {
    if (!bytes || count <= 0) {
        Empty();
        return 1;
    }
    const void* end = std::memchr(bytes, '\0', static_cast<size_t>(count));
    if (end) {
        count = static_cast<int>(static_cast<const char*>(end) - bytes);
    }
    if (count == 0) {
        Empty();
        return 1;
    }
    return Replace(bytes, count);
}

int TextBuffer::AppendBytes(const char* bytes, int count) {
    return data_ ? Join(data_, size_, bytes, count) : Replace(bytes, count);
}

int TextBuffer::Append(const char* bytes) {
    if (!bytes || bytes[0] == '\0') {
        return 1;
    }
    int n = LengthOf(bytes);
    return n < 0 ? 0 : AppendBytes(bytes, n);
}

int TextBuffer::Append(const TextBuffer& text) {
    if (text.IsEmpty()) {
        return 1;
    }
    // Appending a text to itself reads the old block while the new one is filled.
    return AppendBytes(text.data_, text.size_);
}

int TextBuffer::AppendChar(char c) {
    if (c == '\0') {
        return 1;
    }
    return AppendBytes(&c, 1);
}

int TextBuffer::Format(const char* format, ...) {
    if (!format) {
        return 0;
    }
    char scratch[kFormatBufferSize] = {};
    va_list args;
    va_start(args, format);
    int written = std::vsnprintf(scratch, sizeof scratch, format, args);
    va_end(args);
    if (written < 0 || written >= kFormatBufferSize) {
        Empty();
        return 0;
    }
    return Assign(scratch);
}

char TextBuffer::CharAt(int index) const {
    return (index < 0 || index >= Length()) ? '\0' : data_[index];
}

void TextBuffer::Empty() {
    delete[] data_;
    data_ = nullptr;
    size_ = 0;
}

int TextBuffer::Compare(const char* bytes) const {
    if (IsEmpty() || !bytes || bytes[0] == '\0') {
        return -1;
    }
    const char* a = data_;
    const char* b = bytes;
    for (;;) {
        int widthA = CharWidth(a);
        int widthB = CharWidth(b);
        unsigned int codeA = CharCode(a, widthA);
        unsigned int codeB = CharCode(b, widthB);
        if (codeA != codeB) {
            return codeA < codeB ? -1 : 1;
        }
        if (codeA == 0) {
            return 0;
        }
        a += widthA;
        b += widthB;
    }
}

int TextBuffer::CompareNoCase(const char* bytes) const {
    if (IsEmpty() || !bytes || bytes[0] == '\0') {
        return -1;
    }
    if (bytes == data_) {
        return 0;
    }
    for (int i = 0;; ++i) {
        signed char a = static_cast<signed char>(LowerAscii(data_[i]));
        signed char b = static_cast<signed char>(LowerAscii(bytes[i]));
        if (a != b || a == 0) {
            return a - b;
        }
    }
}

int TextBuffer::Find(char c) const {
    if (IsEmpty() || c == '\0') {
        return -1;
    }
    for (const char* p = data_; *p; p += CharWidth(p)) {
        if (*p == c) {
            return static_cast<int>(p - data_);
        }
    }
    return -1;
}

int TextBuffer::Find(const char* bytes) const {
    if (IsEmpty() || !bytes || bytes[0] == '\0') {
        return -1;
    }
    size_t n = std::strlen(bytes);
    for (const char* p = data_; *p; p += CharWidth(p)) {
        if (*p == bytes[0] && std::strncmp(p, bytes, n) == 0) {
            return static_cast<int>(p - data_);
        }
    }
    return -1;
}

int TextBuffer::ReverseFind(char c) const {
    if (IsEmpty() || c == '\0') {
        return -1;
    }
    const char* p = std::strrchr(data_, c);
    return p ? static_cast<int>(p - data_) : -1;
}

int TextBuffer::Count(char c) const {
    if (!data_) {
        return -1;
    }
    int count = 0;
    for (int i = 0; i < size_; ++i) {
        count += data_[i] == c ? 1 : 0;
    }
    return count;
}

TextBuffer TextBuffer::Mid(int start, int count) const {
    TextBuffer result;
    int length = Length();
    if (start < 0 || count <= 0 || start >= length) {
        return result;
    }
    if (count > length - start) {
        count = length - start;
    }
    result.Replace(data_ + start, count);
    return result;
}

TextBuffer TextBuffer::Mid(int start) const {
    return Mid(start, Length() - start);
}

TextBuffer TextBuffer::Left(int count) const {
    return count < Length() ? Mid(0, count) : TextBuffer();
}

TextBuffer TextBuffer::Right(int count) const {
    return (count > 0 && count < Length()) ? Mid(Length() - count, count) : TextBuffer();
}

void TextBuffer::TrimLeft() {
    if (IsEmpty()) {
        return;
    }
    int skip = 0;
    while (IsBlank(static_cast<unsigned char>(data_[skip]))) {
        ++skip;
    }
    if (skip > 0) {
        Assign(data_ + skip, size_ - skip);
    }
}

void TextBuffer::TrimRight() {
    if (IsEmpty()) {
        return;
    }
    int keep = size_;
    while (keep > 0 && IsBlank(static_cast<unsigned char>(data_[keep - 1]))) {
        --keep;
    }
    if (keep < size_) {
        Assign(data_, keep);
    }
}

void TextBuffer::MakeLower() {
    for (int i = 0; i < Length(); ++i) {
        data_[i] = LowerAscii(data_[i]);
    }
}

bool TextBuffer::IsAllDigits() const {
    if (IsEmpty()) {
        return false;
    }
    for (int i = 0; i < size_; ++i) {
        if (data_[i] < '0' || data_[i] > '9') {
            return false;
        }
    }
    return true;
}

bool TextBuffer::ContainsNonAscii() const {
    for (int i = 0; i < Length(); ++i) {
        if (static_cast<unsigned char>(data_[i]) >= 128) {
            return true;
        }
    }
    return false;
}

TextBuffer TextBuffer::DirectoryOf() const {
    int separator = ReverseFind('\\');
    if (separator < 0) {
        separator = ReverseFind('/');
    }
    return separator < 0 ? TextBuffer() : Mid(0, separator + 1);
}

TextBuffer TextBuffer::ExtensionOf() const {
    int dot = ReverseFind('.');
    return (dot < 0 || dot == Length() - 1) ? TextBuffer() : Mid(dot);
}

int TextBuffer::Tokenize(int& pos, TextBuffer& out, const char* delimiters) const {
    if (pos < 0 || pos >= Length() || !delimiters || delimiters[0] == '\0') {
        return 0;
    }
    auto isDelimiter = [delimiters](char c) { return std::strchr(delimiters, c) != nullptr; };
    int start = pos;
    while (start < size_ && isDelimiter(data_[start])) {
        ++start;
    }
    if (start == size_) {
        pos = size_;
        out.Empty();
        return 0;
    }
    int end = start;
    while (end < size_ && !isDelimiter(data_[end])) {
        ++end;
    }
    pos = end;
    out.Assign(data_ + start, end - start);
    return 1;
}
