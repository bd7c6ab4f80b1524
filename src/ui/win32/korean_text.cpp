#include "ui/win32/korean_text.h"

#include <windows.h>

namespace {
const UINT kKoreanCodePage = 949;
} // namespace

std::wstring KoreanText(const char* cp949) {
    int length = cp949 ? MultiByteToWideChar(kKoreanCodePage, 0, cp949, -1, nullptr, 0) : 0;
    if (length <= 1) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kKoreanCodePage, 0, cp949, -1, &text[0], length);
    text.resize(static_cast<size_t>(length - 1));
    return text;
}
