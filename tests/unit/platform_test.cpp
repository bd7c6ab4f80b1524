#include "platform/ansi.h"

#include <gtest/gtest.h>

// The product runs with the Korean ANSI code page; the Windows tests run in a
// prefix set up for it, so the code page rules below are really the system's.
TEST(Platform, AnsiCodePageIsKorean) {
    EXPECT_EQ(949u, AnsiCodePage());
    EXPECT_TRUE(IsAnsiLeadByte(0x81));
    EXPECT_TRUE(IsAnsiLeadByte(0xB0));
    EXPECT_TRUE(IsAnsiLeadByte(0xFE));
    EXPECT_FALSE(IsAnsiLeadByte(0x80));
    EXPECT_FALSE(IsAnsiLeadByte(0xFF));
    EXPECT_FALSE(IsAnsiLeadByte('A'));
    EXPECT_FALSE(IsAnsiLeadByte(0));
}
