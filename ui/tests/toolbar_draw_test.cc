// Border lines by placement word, border insets, button-face masks with the hatch painted through them,
// the rectangle difference and the module's work bitmap.
#include "ui/toolbar_draw.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/sys_info.h"
#include "platform/framework/frame.h"
#include "ui/tests/ui_test_util.h"

namespace {

using qsm::uitest::Canvas;
using qsm::uitest::Show;
using Map = std::vector<std::string>;

class ToolbarDrawTest : public ::testing::Test {
protected:
    void SetUp() override {
        qsm::wm::ResetForTests();
        qsm::uitest::SetTestColours();
        ASSERT_TRUE(SysInfo.IsVersion4OrLater());
    }
    void TearDown() override {
        ToolbarModuleExit();
        qsm::wm::ResetForTests();
    }
};

TEST_F(ToolbarDrawTest, Draw3dEdgesDrawsDarkLinesAndTheEtchedLook) {
    {
        Canvas c(8, 6);
        Draw3dEdges(c.dc, TRect(1, 1, 7, 5), 0x2800);
        EXPECT_EQ(c.Map(), (Map{"........", "........", "........", "........", ".SSSSSS.", "........"}))
            << Show(c.Map());
    }
    {
        // Top and bottom etched; the dark lines stop a pixel short on the right.
        Canvas c(8, 6);
        Draw3dEdges(c.dc, TRect(1, 1, 7, 5), 0x2A80);
        EXPECT_EQ(c.Map(), (Map{"........", ".SSSSS..", ".HHHHHH.", ".SSSSS..", ".HHHHHH.", "........"}))
            << Show(c.Map());
    }
    {
        // All four edges etched: the side lines run between the bordered ends, shortened by g = 2.
        Canvas c(8, 8);
        Draw3dEdges(c.dc, TRect(0, 0, 8, 8), 0x0F80);
        const Map want = {"SSSSSSS.", "HHHHHHHH", "SH....SH", "SH....SH",
                          "SH....SH", "SH....SH", "SSSSSSS.", "HHHHHHHH"};
        EXPECT_EQ(c.Map(), want) << Show(c.Map());
    }
    {
        // No border bit: nothing; the DC's background colour is left as it was.
        Canvas c(4, 4);
        SetBkColor(c.dc, qsm::uitest::kRed);
        Draw3dEdges(c.dc, TRect(0, 0, 4, 4), 0x20F0);
        Draw3dEdges(c.dc, TRect(0, 0, 4, 4), 0x0100);
        EXPECT_EQ(c.Map(), (Map{"S...", "S...", "S...", "S..."})) << Show(c.Map());
        EXPECT_EQ(GetBkColor(c.dc), qsm::uitest::kRed);
    }
}

TEST(SubtractRectPiecesTest, BandsAboveAndBelowThenTheSides) {
    auto pieces = [](TRect a, TRect b) {
        TRect p[4];
        return std::vector<TRect>(p, p + SubtractRectPieces(a, b, p));
    };
    EXPECT_EQ(pieces(TRect(0, 0, 20, 20), TRect(5, 5, 15, 15)),
              (std::vector<TRect>{TRect(0, 0, 20, 5), TRect(0, 15, 20, 20), TRect(0, 5, 5, 15),
                                  TRect(15, 5, 20, 15)}));
    // Touching edges do not overlap; a covered rectangle leaves nothing; an overhang leaves one side.
    EXPECT_EQ(pieces(TRect(0, 0, 10, 10), TRect(10, 0, 20, 10)), std::vector<TRect>{TRect(0, 0, 10, 10)});
    EXPECT_TRUE(pieces(TRect(2, 2, 8, 8), TRect(0, 0, 10, 10)).empty());
    EXPECT_EQ(pieces(TRect(0, 0, 10, 10), TRect(4, -5, 20, 20)), std::vector<TRect>{TRect(0, 0, 4, 10)});
}

TEST_F(ToolbarDrawTest, EdgeInsetsFollowTheLayoutMetricsAndTheBorderBits) {
    TLayoutWindow parent(nullptr, "frame");
    auto* child = new TWindow(&parent, "station");
    TLayoutMetrics m;
    m.X.SameAs(lmParent, lmLeft);
    m.Y.SameAs(lmParent, lmTop);
    m.Width.SameAs(lmParent, lmRight);  // the right edge tied to the parent's right edge
    m.Height.Absolute(20);
    parent.SetChildLayoutMetrics(*child, m);
    const int cx = GetSystemMetrics(SM_CXBORDER), cy = GetSystemMetrics(SM_CYBORDER);

    TRect r(0, 0, 100, 20);
    ComputeEdgeInsets(*child, r, 0x2A80, 0);
    EXPECT_EQ(r, TRect(cx, cy + 2, 100 - cx, 20 - 2));
    // Empty: with top and bottom bordered only the left edge moves by g.
    r = TRect(0, 0, 0, 0);
    ComputeEdgeInsets(*child, r, 0x2A80, 1);
    EXPECT_EQ(r, TRect(cx + 2, cy, -cx, 0));
    r = TRect(0, 0, 0, 0);
    ComputeEdgeInsets(*child, r, 0x1500, 1);
    EXPECT_EQ(r, TRect(cx, cy + 2, -cx, 0));
    // A window without metrics in a layout parent: only the border bits.
    TWindow loose(nullptr, "loose");
    r = TRect(0, 0, 10, 10);
    ComputeEdgeInsets(loose, r, 0x0F00, 0);
    EXPECT_EQ(r, TRect(2, 2, 8, 8));
}

TEST_F(ToolbarDrawTest, HatchGoesThroughTheFaceMaskOnly) {
    // Source: face with two red pixels.
    Canvas src(4, 2);
    HBRUSH face = CreateSolidBrush(qsm::uitest::kFace);
    RECT all{0, 0, 4, 2};
    FillRect(src.dc, &all, face);
    DeleteObject(face);
    SetPixelV(src.dc, 1, 0, qsm::uitest::kRed);
    SetPixelV(src.dc, 2, 1, qsm::uitest::kRed);

    HDC maskDc = CreateCompatibleDC(nullptr);
    HBITMAP maskBmp = CreateBitmap(4, 2, 1, 1, nullptr);
    HGDIOBJ old = SelectObject(maskDc, maskBmp);
    BuildButtonFaceMask(maskDc, TRect(0, 0, 4, 2), src.dc, TRect(0, 0, 4, 2));
    EXPECT_EQ(GetPixel(maskDc, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(maskDc, 1, 0), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(maskDc, 2, 1), RGB(0, 0, 0));

    // The checker has the face where x + y is even (from the DC origin); red pixels keep the destination.
    Canvas dst(6, 3);
    PaintHatchThroughMask(dst.dc, maskDc, TRect(1, 1, 5, 3));
    EXPECT_EQ(dst.Map(), (Map{"......", ".B.BH.", ".HB.B."})) << Show(dst.Map());
    SelectObject(maskDc, old);
    DeleteObject(maskBmp);
    DeleteDC(maskDc);

    // A new face colour reaches the hatch when it is rebuilt.
    const int id = COLOR_BTNFACE;
    const COLORREF red = qsm::uitest::kRed;
    SetSysColors(1, &id, &red);
    RebuildToolbarHatchBrush();
    Canvas again(2, 1);
    FillRect(again.dc, &all, ToolbarHatchBrush());
    EXPECT_EQ(again.Map(), (Map{"rH"}));
}

TEST_F(ToolbarDrawTest, TheWorkBitmapGrowsToTheLargestCel) {
    BITMAP bm{};
    ASSERT_TRUE(GetObjectA(ButtonWorkBitmap(16, 16), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 128);
    EXPECT_EQ(bm.bmBitsPixel, 1);
    // A 22:18 glyph on a 120-pixel button is 146 wide.
    ASSERT_TRUE(GetObjectA(ButtonWorkBitmap(146, 120), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 146);
    EXPECT_EQ(bm.bmHeight, 128);
    ASSERT_TRUE(GetObjectA(ButtonWorkBitmap(20, 130), sizeof bm, &bm));
    EXPECT_EQ(bm.bmWidth, 146);
    EXPECT_EQ(bm.bmHeight, 130);
    EXPECT_EQ(ToolbarFaceBrush(), ToolbarFaceBrush());
}

}  // namespace
