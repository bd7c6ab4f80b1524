// The dialogs' word wrap, measured with a real font on a memory device context.
#include "ui/win32/drawing.h"

#include <gtest/gtest.h>

namespace {

class LayoutTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc_ = CreateCompatibleDC(nullptr);
        SelectObject(dc_, GetStockObject(SYSTEM_FONT));
        GetTextExtentPoint32A(dc_, " ", 1, &space_);
        GetTextExtentPoint32A(dc_, "word", 4, &word_);
    }
    void TearDown() override { DeleteDC(dc_); }

    // The y below `text` laid out from y 10 in a box `width` pixels wide.
    int Bottom(const char* text, int width) {
        RECT box = {0, 10, width, 500};
        return LayoutText(dc_, text, box, 5, false);
    }

    HDC dc_ = nullptr;
    SIZE space_ = {};
    SIZE word_ = {};
};

} // namespace

TEST_F(LayoutTextTest, LinesAdvanceWithSpacingParagraphsWithout) {
    int line = space_.cy;
    EXPECT_EQ(10 + line + 5, Bottom("", 1000));
    EXPECT_EQ(10 + line + 5, Bottom("word word", 1000));
    // Each line feed advances one line height, without the spacing.
    EXPECT_EQ(10 + 3 * line + 5, Bottom("word\n\nword", 1000));
    // Too wide for one line: the second word wraps, with the spacing.
    int fitsOne = word_.cx + space_.cx + word_.cx / 2;
    EXPECT_EQ(10 + 2 * (line + 5), Bottom("word word", fitsOne));
}

TEST_F(LayoutTextTest, AWordWiderThanTheBoxStartsOnANewLineUnsplit) {
    int line = space_.cy;
    // The first line stays empty, and the next word starts another one.
    EXPECT_EQ(10 + 2 * (line + 5), Bottom("word", word_.cx - 1));
    EXPECT_EQ(10 + 3 * (line + 5), Bottom("word word", word_.cx - 1));
}
