#include <gtest/gtest.h>

#include "platform/base/wintypes.h"

TEST(MulDiv, RoundsHalfAwayFromZeroAndRefusesOverflow) {
    EXPECT_EQ(MulDiv(12, 96, 72), 16);
    EXPECT_EQ(MulDiv(10, 3, 4), 8);    // 7.5 -> 8
    EXPECT_EQ(MulDiv(-10, 3, 4), -8);  // -7.5 -> -8
    EXPECT_EQ(MulDiv(10, -3, -4), 8);
    EXPECT_EQ(MulDiv(7, 1, 3), 2);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 2, 1), -1);
    EXPECT_EQ(MulDiv(0x40000000, 4, 4), 0x40000000);
}

TEST(WinTypes, PackingHelpers) {
    EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
    EXPECT_EQ(GetGValue(RGB(1, 2, 3)), 2);
    EXPECT_EQ(LOWORD(0x12345678u), 0x5678);
    EXPECT_EQ(HIWORD(0x12345678u), 0x1234);
    EXPECT_EQ(GET_X_LPARAM(MAKELPARAM(static_cast<WORD>(-5), 7)), -5);
    EXPECT_EQ(GET_Y_LPARAM(MAKELPARAM(3, static_cast<WORD>(-9))), -9);
}
