// The gauge: bar and LED geometry, values kept in range, and its painting.
#include <gtest/gtest.h>

#include <vector>

#include "platform/framework/gauge.h"
#include "platform/wm/backend.h"

namespace {

class GaugeTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        parent.Attr.Style = WS_POPUP | WS_VISIBLE;
        parent.Attr.W = 300;
        parent.Attr.H = 100;
        ASSERT_TRUE(parent.Create());
    }
    void TearDown() override { qsm::wm::ResetForTests(); }
    TWindow parent{static_cast<TWindow*>(nullptr), "parent"};
};

TEST_F(GaugeTest, BarAndLedBlocksFollowTheValue) {
    // As the progress dialog makes it: horizontal, 100 x 10, margin 2.
    auto* g = new TGauge(&parent, "", 112, 0, 0, 100, 10, true, 2);
    ASSERT_TRUE(g->Create());
    TRect client(0, 0, 100, 10);
    EXPECT_TRUE(g->BarRects(client).empty());  // value 0
    g->SetValue(50);
    EXPECT_EQ(g->BarRects(client), std::vector<TRect>{TRect(4, 4, 50, 6)});  // 92 pixels inside, half
    g->SetValue(150);
    EXPECT_EQ(g->GetValue(), 100);
    g->DeltaValue(-120);
    EXPECT_EQ(g->GetValue(), 0);

    // LEDs of spacing 3 at 85 percent: a block of 2 units every 3, those starting below the value.
    g->SetLed(3, 85);
    g->SetValue(7);
    std::vector<TRect> leds = g->BarRects(client);
    ASSERT_EQ(leds.size(), 3u);  // blocks at 0, 3 and 6
    EXPECT_EQ(leds[0], TRect(4, 4, 5, 6));
    EXPECT_EQ(leds[1], TRect(6, 4, 8, 6));
    EXPECT_EQ(leds[2], TRect(9, 4, 11, 6));
    g->SetValue(100);
    EXPECT_EQ(g->BarRects(client).size(), 34u);

    // A new range keeps the value inside it; an empty range shows nothing.
    g->SetRange(0, 40);
    EXPECT_EQ(g->GetValue(), 40);
    g->SetRange(5, 5);
    EXPECT_EQ(g->GetValue(), 5);
    EXPECT_TRUE(g->BarRects(client).empty());
}

TEST_F(GaugeTest, VerticalGaugesFillFromTheBottomAndPaintInTheHighlight) {
    auto* v = new TGauge(&parent, "", 113, 0, 0, 20, 60, false, 0);
    ASSERT_TRUE(v->Create());
    v->SetRange(0, 4);
    v->SetValue(1);
    EXPECT_EQ(v->BarRects(TRect(0, 0, 20, 60)), std::vector<TRect>{TRect(2, 44, 18, 58)});

    TMemoryDC mem;
    TBitmap bmp(TScreenDC(), 20, 60);
    mem.SelectObject(bmp);
    TRect all(0, 0, 20, 60);
    v->Paint(mem, true, all);
    EXPECT_EQ(mem.GetPixel(10, 50), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(mem.GetPixel(10, 30), GetSysColor(COLOR_BTNFACE));
    EXPECT_NE(mem.GetPixel(0, 0), GetSysColor(COLOR_BTNFACE));  // the sunken edge
}

}  // namespace
