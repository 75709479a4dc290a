// Frames and three-dimensional edges checked pixel by pixel on a memory DC, text fitting with the DC's own
// widths, and the window and image helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdi/gdi_surface.h"
#include "platform/wm/backend.h"
#include "ui/ui_draw.h"

namespace {

constexpr COLORREF kFace = 0xC0C0C0, kShadow = 0x808080, kHilight = 0xFFFFFF, kFrame = 0x000000,
                   kWindow = 0xFFFFFF, kPaper = 0x3366AA;

class Canvas {
public:
    Canvas(int w, int h) : screen("DISPLAY"), bitmap(screen, w, h), dc(screen, bitmap) {
        TRect all(0, 0, w, h);
        dc.SetBkColor(TColor(kPaper));
        dc.ExtTextOut(0, 0, ETO_OPAQUE, &all, "", 0);
    }
    COLORREF At(int x, int y) const { return GetPixel(dc, x, y); }
    TCreatedDC screen;
    TBitmap bitmap;
    TMemoryDC dc;
};

TEST(UiDraw, FrameSidesOwnTheirCornersAndShrinkTheRect) {
    Canvas c(6, 5);
    TRect r(0, 0, 6, 5);
    DrawFrameSides(c.dc, r, kSideAll, TColor(0x0000FF), TColor(0x00FF00));
    EXPECT_EQ(r, TRect(1, 1, 5, 4));
    EXPECT_EQ(c.At(0, 0), 0x0000FFu);  // top-left corner: top-left colour
    EXPECT_EQ(c.At(5, 0), 0x00FF00u);  // the other three: bottom-right colour
    EXPECT_EQ(c.At(0, 4), 0x00FF00u);
    EXPECT_EQ(c.At(5, 4), 0x00FF00u);
    EXPECT_EQ(c.At(0, 2), 0x0000FFu);
    EXPECT_EQ(c.At(3, 4), 0x00FF00u);
    EXPECT_EQ(c.At(2, 2), kPaper);
    EXPECT_EQ(c.dc.GetBkColor(), 0x00FF00u);

    // Only the right side: one column, the rect loses one pixel on the right.
    Canvas d(4, 3);
    TRect s(0, 0, 4, 3);
    DrawFrameSides(d.dc, s, kSideRight, TColor(0x0000FF), TColor(0x00FF00));
    EXPECT_EQ(s, TRect(0, 0, 3, 3));
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(d.At(3, y), 0x00FF00u);
        EXPECT_EQ(d.At(2, y), kPaper);
    }
}

TEST(UiDraw, RaisedEdgeWithExchangedColoursLeavesSixBySix) {
    Canvas c(10, 10);
    TRect r(0, 0, 10, 10);
    DrawEdge3d(c.dc, r, 5, 0xAF);
    EXPECT_EQ(r, TRect(2, 2, 8, 8));
    // Outer ring: highlight top-left (exchanged), window frame bottom-right.
    EXPECT_EQ(c.At(0, 0), kHilight);
    EXPECT_EQ(c.At(0, 5), kHilight);
    EXPECT_EQ(c.At(9, 0), kFrame);
    EXPECT_EQ(c.At(0, 9), kFrame);
    EXPECT_EQ(c.At(9, 9), kFrame);
    // Inner ring: face top-left (exchanged), shadow bottom-right.
    EXPECT_EQ(c.At(1, 1), kFace);
    EXPECT_EQ(c.At(5, 1), kFace);
    EXPECT_EQ(c.At(8, 1), kShadow);
    EXPECT_EQ(c.At(1, 8), kShadow);
    EXPECT_EQ(c.At(4, 4), kPaper);  // no fill

    // Sunken both rings, filled with the window colour and adjusted.
    Canvas d(10, 10);
    TRect s(0, 0, 10, 10);
    DrawEdge3d(d.dc, s, 10, 0x3F);
    EXPECT_EQ(s, TRect(2, 2, 8, 8));
    EXPECT_EQ(d.At(0, 0), kShadow);
    EXPECT_EQ(d.At(9, 9), kHilight);
    EXPECT_EQ(d.At(1, 1), kFrame);
    EXPECT_EQ(d.At(8, 8), kFace);
    EXPECT_EQ(d.At(4, 4), kWindow);
    EXPECT_EQ(d.At(7, 7), kWindow);

    // Without the adjust flag the rect stays; a groove on the bottom side only.
    Canvas e(8, 4);
    TRect g(0, 0, 8, 4);
    DrawEdge3d(e.dc, g, 9, 8);
    EXPECT_EQ(g, TRect(0, 0, 8, 4));
    EXPECT_EQ(e.At(3, 3), kHilight);  // outer sunken: bottom-right highlight
    EXPECT_EQ(e.At(3, 2), kShadow);   // inner raised: bottom-right shadow
    EXPECT_EQ(e.At(3, 1), kPaper);
}

TEST(UiDraw, EdgeSampleImage) {
    // A strip of the edges in use, written for looking at (docs/ui/edges.png).
    Canvas c(200, 48);
    c.dc.SetBkColor(TColor(kFace));
    TRect all(0, 0, 200, 48);
    c.dc.ExtTextOut(0, 0, ETO_OPAQUE, &all, "", 0);
    const struct {
        UINT edge, flags;
    } kinds[] = {{5, 0x0F}, {10, 0x0F}, {5, 0xAF}, {10, 0x3F}, {9, 8}, {9, 2}};
    int x = 4;
    for (auto k : kinds) {
        TRect r(x, 8, x + 28, 40);
        DrawEdge3d(c.dc, r, k.edge, k.flags);
        x += 32;
    }
    EXPECT_TRUE(qsm::gdi::WritePng(c.dc, QSM_BINARY_DIR "/ui_edges.png"));
}

TEST(UiDraw, FitTextCutsToTheLongestStartThatFitsWithDots) {
    TCreatedDC dc("DISPLAY");
    TFont font("Liberation Sans", -14);
    dc.SelectObject(font);
    auto width = [&](const std::string& s) {
        return dc.GetTextExtent(s.c_str(), static_cast<int>(s.size())).cx;
    };

    char two[] = "ab";
    FitTextToWidth(dc, two, 1);
    EXPECT_STREQ(two, "ab");
    char fits[] = "Sonata";
    FitTextToWidth(dc, fits, width("Sonata"));
    EXPECT_STREQ(fits, "Sonata");
    FitTextToWidth(dc, nullptr, 10);

    const std::string full = "Caf\xE9 Sonata in E minor";
    for (int maxWidth : {0, 20, 40, 60, 90, width(full) - 1}) {
        std::string buf = full;
        FitTextToWidth(dc, buf.data(), maxWidth);
        std::string out(buf.c_str());
        ASSERT_GE(out.size(), 3u);
        EXPECT_LE(out.size(), full.size());
        EXPECT_EQ(out.substr(out.size() - 3), "...");
        std::string start = out.substr(0, out.size() - 3);
        EXPECT_EQ(full.compare(0, start.size(), start), 0);
        // The start stays below the room left for the dots; one more character would not.
        int room = maxWidth - width("...");
        if (!start.empty()) {
            EXPECT_LT(width(start), room) << maxWidth;
        }
        if (start.size() < full.size() - 3) {
            EXPECT_GE(width(full.substr(0, start.size() + 1)), room) << maxWidth;
        }
    }
}

class UiWindowHelpers : public ::testing::Test {
protected:
    void SetUp() override { qsm::wm::ResetForTests(); }
    void TearDown() override { qsm::wm::ResetForTests(); }
};

TEST_F(UiWindowHelpers, CentreInAreaAndStyleChanges) {
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    TWindow over(static_cast<TWindow*>(nullptr), "over");
    over.Attr.Style = WS_OVERLAPPEDWINDOW;
    over.Attr.X = 100;
    over.Attr.Y = 50;
    over.Attr.W = 301;
    over.Attr.H = 200;
    TWindow win(static_cast<TWindow*>(nullptr), "win");
    win.Attr.Style = WS_POPUP;
    win.Attr.W = 100;
    win.Attr.H = 60;
    ASSERT_TRUE(over.Create());
    ASSERT_TRUE(win.Create());
    CenterWindowInArea(&over, win);
    EXPECT_EQ(win.GetWindowRect(), TRect(200, 120, 300, 180));  // (100 + 401 - 100) / 2 = 200
    CenterWindowInArea(nullptr, win);
    EXPECT_EQ(win.GetWindowRect().TopLeft(), TPoint((sw - 100) / 2, (sh - 60) / 2));
    // Past the screen's right and bottom edges: moved back onto it.
    over.MoveWindow(sw - 50, sh - 20, 200, 100);
    CenterWindowInArea(&over, win);
    EXPECT_EQ(win.GetWindowRect().TopLeft(), TPoint(sw - 100, sh - 60));

    DWORD style = win.GetStyle();
    EXPECT_FALSE(ModifyWindowStyle(win, GWL_STYLE, 0, WS_POPUP, 0));
    EXPECT_TRUE(ModifyWindowStyle(win, GWL_STYLE, 0, WS_BORDER, SWP_FRAMECHANGED));
    EXPECT_EQ(win.GetStyle(), style | WS_BORDER);
    EXPECT_TRUE(ModifyWindowStyle(win, GWL_STYLE, WS_BORDER, 0, 0));
    EXPECT_EQ(win.GetStyle(), style);
}

TEST(UiDraw, PalettesAreLeftAloneOnATrueColourScreen) {
    TCreatedDC screen("DISPLAY");
    EXPECT_EQ(screen.GetDeviceCaps(RASTERCAPS) & RC_PALETTE, 0);
    PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i)
        entries[i] = PALETTEENTRY{static_cast<BYTE>(i), 1, 2, 3};
    ClearSystemPalette();
    PrepareIdentityPalette(entries);
    EXPECT_EQ(entries[0].peRed, 0);
    EXPECT_EQ(entries[255].peRed, 255);
    EXPECT_EQ(entries[255].peFlags, 3);
}

TEST(UiDraw, KeyColourOfAnImageAndColourMasks) {
    // A 4 x 2 image of 16 colours, bottom-up: the first byte's high nibble is the bottom-left pixel.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[16];
        uint8_t bits[2][4];
    } packed{};
    packed.h.biSize = sizeof(BITMAPINFOHEADER);
    packed.h.biWidth = 4;
    packed.h.biHeight = 2;
    packed.h.biPlanes = 1;
    packed.h.biBitCount = 4;
    packed.colors[3] = RGBQUAD{0, 0, 255, 0};  // red
    packed.colors[5] = RGBQUAD{0, 255, 0, 0};  // green
    packed.bits[0][0] = 0x35;                  // bottom row: red, green, ...
    packed.bits[0][1] = 0x55;
    packed.bits[1][0] = 0x55;
    packed.bits[1][1] = 0x53;
    TDib dib(&packed, sizeof packed);
    ASSERT_TRUE(dib.IsOK());
    EXPECT_EQ(static_cast<COLORREF>(GetDibKeyColor(dib)), RGB(255, 0, 0));
    TBitmap* bmp = SetDibKeyColor(dib, TColor(0, 0, 255));
    EXPECT_EQ(static_cast<COLORREF>(GetDibKeyColor(dib)), RGB(0, 0, 255));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->Size(), TSize(4, 2));
    TBitmap* mask = CreateColorMask(*bmp, TColor(0, 0, 255));
    ASSERT_TRUE(mask);
    TMemoryDC m;
    m.SelectObject(*mask);
    EXPECT_EQ(GetPixel(m, 0, 1), RGB(255, 255, 255));  // the key colour: bottom-left and top-right
    EXPECT_EQ(GetPixel(m, 3, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(m, 1, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(m, 0, 0), RGB(0, 0, 0));
    m.RestoreObjects();
    delete mask;
    delete bmp;
}

}  // namespace
