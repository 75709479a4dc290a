// The saved-state record of a toolbar: reading repairs what does not fit, writing keeps the layout.
#include <gtest/gtest.h>

#include <cstdint>

#include "ui/toolbar_state.h"

namespace {

using qsm::DecodeToolbarState;
using qsm::EncodeToolbarState;
using qsm::TToolbarState;

TToolbarState Decode(std::initializer_list<uint8_t> bytes, int width = 1280, int height = 1024) {
    uint8_t record[22] = {};
    int i = 0;
    for (uint8_t b : bytes)
        record[i++] = b;
    TToolbarState s;
    DecodeToolbarState(record, s, width, height);
    return s;
}

TEST(ToolbarStateTest, RoundTripOfEveryField) {
    TToolbarState s;
    s.Placement = 0x4190;
    s.FloatX = 300;
    s.FloatY = 200;
    s.ShapeIndex = 3;
    s.RowOrder = 2;
    s.StartsRow = 1;
    s.ButtonSize = 30;
    uint8_t record[11];
    ASSERT_EQ(EncodeToolbarState(s, record), 11);
    EXPECT_EQ(record[0], 0x90);
    EXPECT_EQ(record[1], 0x41);
    TToolbarState back;
    DecodeToolbarState(record, back, 1280, 1024);
    EXPECT_EQ(back.Placement, 0x4190);
    EXPECT_EQ(back.FloatX, 300);
    EXPECT_EQ(back.FloatY, 200);
    EXPECT_EQ(back.ShapeIndex, 3);
    EXPECT_EQ(back.RowOrder, 2);
    EXPECT_EQ(back.StartsRow, 1);
    EXPECT_EQ(back.ButtonSize, 30);
    // The default button size is not written; wide values are cut to their field.
    s.ButtonSize = 18;
    s.RowOrder = 0x1234;
    EXPECT_EQ(EncodeToolbarState(s, record), 10);
    EXPECT_EQ(record[8], 0x34);
}

TEST(ToolbarStateTest, ButtonSizeOutsideSixToOneTwentyIsTheDefault) {
    EXPECT_EQ(Decode({0x80, 0x28}).ButtonSize, 18);  // ten bytes
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 5}).ButtonSize, 18);
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 121}).ButtonSize, 18);
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 6}).ButtonSize, 6);
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0, 0, 0, 0, 0, 0, 120}).ButtonSize, 120);
}

TEST(ToolbarStateTest, FloatingPositionsOffTheScreenBecomeTen) {
    // x 1275 + 10 passes a 1280-pixel screen; 1270 + 10 does not.
    EXPECT_EQ(Decode({0x80, 0x28, 0xFB, 0x04}).FloatX, 10);
    EXPECT_EQ(Decode({0x80, 0x28, 0xF6, 0x04}).FloatX, 1270);
    EXPECT_EQ(Decode({0x80, 0x28, 0xFF, 0xFF, 0xFF, 0xFF}).FloatX, 10);  // negative
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0xFF, 0xFF}).FloatY, 10);
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0x10, 0x04}, 1280, 1024).FloatY, 10);  // 1040 + 10 > 1024
    // A negative shape index is read as it stands; the toolbar keeps it to its shapes later.
    EXPECT_EQ(Decode({0x80, 0x28, 0, 0, 0, 0, 0xFE, 0xFF}).ShapeIndex, -2);
}

TEST(ToolbarStateTest, APlacementMustNameExactlyOneSide) {
    EXPECT_EQ(Decode({0x10, 0x00}).Placement, 0x2810);  // floating, no side
    EXPECT_EQ(Decode({0x80, 0x14}).Placement, 0x1480);
    // Several sides would dock nowhere and float nowhere: read as the top.
    EXPECT_EQ(Decode({0x80, 0x32}).Placement, 0x2A80);
    EXPECT_EQ(Decode({0x20, 0xF0}).Placement, 0x2820);
}

}  // namespace
