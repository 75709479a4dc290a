// Edges of the eleven border styles, the mono, flat and middle forms and the rectangle arithmetic, pixel
// by pixel on a memory bitmap.
#include "ui/edge_border.h"

#include <gtest/gtest.h>

#include "ui/tests/ui_test_util.h"

namespace {

using qsm::uitest::Canvas;
using qsm::uitest::Show;
using Map = std::vector<std::string>;

class EdgeBorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::uitest::SetTestColours();
    }
    void TearDown() override { qsm::wm::ResetForTests(); }

    // The 8 x 7 bitmap after painting the border of (1, 1, 7, 6).
    static Map Painted(const EdgeBorder& border) {
        Canvas c(8, 7);
        border.Paint(c.dc);
        return c.Map();
    }
};

TEST_F(EdgeBorderTest, TheElevenStylesDrawTheirRingsInTheirRows) {
    const TRect r(1, 1, 7, 6);
    const Map none = {"........", "........", "........", "........", "........", "........", "........"};
    // One ring: top and left in the first colour, bottom and right in the second; the top run stops short
    // of the right column, the bottom run takes the whole width.
    const Map raisedOuter = {"........", ".BBBBBF.", ".B....F.", ".B....F.",
                             ".B....F.", ".FFFFFF.", "........"};
    const Map sunkenOuter = {"........", ".SSSSST.", ".S....T.", ".S....T.",
                             ".S....T.", ".TTTTTT.", "........"};
    // Two rings; the inner one shrinks by a pixel on every side.
    const Map bump = {"........", ".BBBBBF.", ".BHHHSF.", ".BH..SF.", ".BSSSSF.", ".FFFFFF.", "........"};
    // Etched: sunken outer in row 2, and its raised inner ring takes row 2 as well.
    const Map etched = {"........", ".SSSSST.", ".SFFFBT.", ".SF..BT.", ".SBBBBT.", ".TTTTTT.", "........"};
    const Map raisedSoft = {"........", ".TTTTTF.", ".TBBBSF.", ".TB..SF.",
                            ".TSSSSF.", ".FFFFFF.", "........"};
    const Map sunkenSoft = {"........", ".FFFFFT.", ".FSSSBT.", ".FS..BT.",
                            ".FBBBBT.", ".TTTTTT.", "........"};
    const Map raised = {"........", ".BBBBBF.", ".BHHHSF.", ".BH..SF.", ".BSSSSF.", ".FFFFFF.", "........"};
    const Map sunken = {"........", ".SSSSST.", ".SFFFBT.", ".SF..BT.", ".SBBBBT.", ".TTTTTT.", "........"};
    const Map* want[EdgeBorder::NumStyles] = {&none,   &none,   &raisedOuter, &sunkenOuter,
                                              &bump,   &etched, &raisedSoft,  &sunkenSoft,
                                              &raised, &sunken, &etched};
    for (int style = 0; style < EdgeBorder::NumStyles; ++style) {
        Map got = Painted(EdgeBorder(r, EdgeBorder::Style{style}));
        EXPECT_EQ(got, *want[style]) << "style " << style << Show(got);
    }
    // A style outside the table draws nothing.
    EXPECT_EQ(Painted(EdgeBorder(r, EdgeBorder::Style{11})), none);
}

TEST_F(EdgeBorderTest, MiddleMonoFlatAndPartialSides) {
    const TRect r(1, 1, 7, 6);
    // Styles 0 and 1 with BF_MIDDLE fill the whole rectangle with the face.
    const Map filled = {"........", ".BBBBBB.", ".BBBBBB.", ".BBBBBB.", ".BBBBBB.", ".BBBBBB.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, EdgeBorder::Style{1}, BF_MIDDLE)), filled);
    // Sunken with the middle: the face inside both rings.
    const Map sunkenMiddle = {"........", ".SSSSST.", ".SFFFBT.", ".SFBBBT.",
                              ".SBBBBT.", ".TTTTTT.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, EdgeBorder::Style{9}, BF_MIDDLE)), sunkenMiddle);
    // Mono: one window-frame ring, the window colour inside; no ring without an outer bit.
    const Map mono = {"........", ".FFFFFF.", ".FWWWWF.", ".FWWWWF.", ".FWWWWF.", ".FFFFFF.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, EDGE_SUNKEN, BF_MONO | BF_MIDDLE)), mono);
    const Map monoInner = {"........", ".WWWWWW.", ".WWWWWW.", ".WWWWWW.",
                           ".WWWWWW.", ".WWWWWW.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, BDR_SUNKENINNER, BF_MONO | BF_MIDDLE)), monoInner);
    // Flat: one shadow ring, the face inside.
    const Map flat = {"........", ".SSSSSS.", ".SBBBBS.", ".SBBBBS.", ".SBBBBS.", ".SSSSSS.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, EDGE_RAISED, BF_FLAT | BF_MIDDLE)), flat);
    // Only the bottom and right sides; the rings still shrink on every side.
    const Map bottomRight = {"........", "......F.", ".....SF.", ".....SF.",
                             "..SSSSF.", ".FFFFFF.", "........"};
    EXPECT_EQ(Painted(EdgeBorder(r, EDGE_RAISED, BF_BOTTOM | BF_RIGHT)), bottomRight);
    // No side named: all four.
    EXPECT_EQ(EdgeBorder(r, EDGE_RAISED, BF_SOFT).GetFlags(), static_cast<int>(BF_SOFT | BF_RECT));
    EXPECT_EQ(EdgeBorder(r, EdgeBorder::Style{6}).GetFlags(), static_cast<int>(BF_SOFT | BF_RECT));
    // A rectangle too small for its rings draws what fits and nothing outside.
    Canvas c(4, 4);
    EdgeBorder::DrawEdge(c.dc, TRect(1, 1, 2, 2), EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
    EXPECT_EQ(c.Map(), (Map{"....", ".T..", "....", "...."})) << Show(c.Map());
    EXPECT_EQ(EdgeBorder::DrawEdge(c.dc, TRect(3, 3, 1, 1), EDGE_SUNKEN, BF_RECT), 1);
}

TEST_F(EdgeBorderTest, RectangleOperations) {
    EdgeBorder b(TRect(10, 20, 30, 50), EdgeBorder::Style{9});
    EXPECT_EQ(b.InnerRect(), TRect(12, 22, 28, 48));
    EXPECT_EQ(EdgeBorder(TRect(0, 0, 10, 10), EdgeBorder::Style{3}).InnerRect(), TRect(1, 1, 9, 9));
    EXPECT_EQ(EdgeBorder(TRect(0, 0, 10, 10), EdgeBorder::Style{1}).InnerRect(), TRect(0, 0, 10, 10));
    b.Offset(5, -5);
    EXPECT_EQ(b.GetRect(), TRect(15, 15, 35, 45));
    b.MoveTo(0, 0);
    EXPECT_EQ(b.GetRect(), TRect(0, 0, 20, 30));
    b.Resize(4, 6);
    EXPECT_EQ(b.GetRect(), TRect(0, 0, 4, 6));
    b.SetRect(TRect(1, 2, 3, 4));
    EXPECT_EQ(b.GetRect(), TRect(1, 2, 3, 4));
}

TEST_F(EdgeBorderTest, TheRingPainterSetsTheCornersInItsThirdColour) {
    Canvas c(8, 7);
    HBRUSH a = CreateSolidBrush(qsm::uitest::kHilite);
    HBRUSH d = CreateSolidBrush(qsm::uitest::kShadow);
    EdgeBorder::PaintRing(c.dc, TRect(1, 1, 7, 6), BF_RECT, a, d, qsm::uitest::kRed);
    DeleteObject(a);
    DeleteObject(d);
    const Map want = {"........", ".HHHHrS.", ".H....S.", ".H....S.", ".H....S.", ".rSSSSS.", "........"};
    EXPECT_EQ(c.Map(), want) << Show(c.Map());
}

}  // namespace
