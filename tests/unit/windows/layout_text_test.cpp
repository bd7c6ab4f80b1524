// The dialogs' word wrap, measured with a real font on a memory device context.
#include "ui/win32/drawing.h"

#include <tuple>

#include <gtest/gtest.h>

TEST(LayoutText, LinesWrapAtWholeWords) {
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SIZE space = {}, word = {};
    GetTextExtentPoint32A(dc, " ", 1, &space);
    GetTextExtentPoint32A(dc, "word", 4, &word);
    const int line = space.cy, twoWords = 2 * word.cx + space.cx;
    // {text, box width, lines that advance with the spacing of 5, bare line feeds}: a
    // word too wide for the box starts a line of its own, unsplit; a tab is 8 spaces.
    const std::tuple<const wchar_t*, int, int, int> rows[] = {
        {L"", 1000, 1, 0},
        {L"word word", twoWords, 1, 0},
        {L"word\n\nword", 1000, 1, 2},
        {L"word word", twoWords - 1, 2, 0},
        {L"word", word.cx - 1, 2, 0},
        {L"word word", word.cx - 1, 3, 0},
        {L"word\tword", 2 * word.cx + 7 * space.cx, 2, 0},
    };
    for (const auto& [text, width, lines, feeds] : rows) {
        RECT box = {0, 10, width, 500};
        EXPECT_EQ(10 + lines * (line + 5) + feeds * line, LayoutText(dc, text, box, 5, false))
            << text << " in " << width;
    }
    DeleteDC(dc);
}
