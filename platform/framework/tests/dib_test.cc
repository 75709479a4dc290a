// Bitmaps from resources with the button colours mapped, drawn scaled, and the hatch brush.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/framework/dib.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"

namespace {

// A 4 x 2 bottom-up 4-bit image whose colours are black, dark grey, light grey, white, red, and whose top
// row shows indexes 0 1 2 3 and the bottom row 4 4 4 4.
std::vector<uint8_t> ButtonGlyph() {
    std::vector<uint8_t> out(40 + 16 * 4 + 2 * 4);
    BITMAPINFOHEADER h{};
    h.biSize = 40;
    h.biWidth = 4;
    h.biHeight = 2;
    h.biPlanes = 1;
    h.biBitCount = 4;
    std::memcpy(out.data(), &h, sizeof h);
    const RGBQUAD colors[5] = {
        {0, 0, 0, 0}, {128, 128, 128, 0}, {192, 192, 192, 0}, {255, 255, 255, 0}, {0, 0, 255, 0}};
    std::memcpy(out.data() + 40, colors, sizeof colors);
    uint8_t* rows = out.data() + 40 + 64;
    rows[0] = 0x44, rows[1] = 0x44;  // bottom row first
    rows[4] = 0x01, rows[5] = 0x23;
    return out;
}

struct Canvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(32, 32, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    ~Canvas() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

TEST(FrameworkDib, ResourceImagesWithTheButtonColoursMapped) {
    qsm::wm::ResetForTests();
    static const std::vector<uint8_t> glyph = ButtonGlyph();
    qsm::RegisterResource(nullptr, RT_BITMAP, MAKEINTRESOURCEA(113), glyph.data(),
                          static_cast<DWORD>(glyph.size()));
    TDib dib(nullptr, 113);
    ASSERT_TRUE(dib.IsOK());
    EXPECT_EQ(dib.Size(), TSize(4, 2));
    EXPECT_EQ(dib.BitsPixel(), 4);
    EXPECT_EQ(dib.NumColors(), 16);
    EXPECT_EQ(dib.FindColor(TColor(192, 192, 192)), 2);

    dib.MapUIColors(TDib::MapFace | TDib::MapText | TDib::MapShadow | TDib::MapHighlight);
    EXPECT_EQ(static_cast<COLORREF>(dib.GetColor(0)), GetSysColor(COLOR_BTNTEXT));
    EXPECT_EQ(static_cast<COLORREF>(dib.GetColor(1)), GetSysColor(COLOR_BTNSHADOW));
    EXPECT_EQ(static_cast<COLORREF>(dib.GetColor(2)), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(static_cast<COLORREF>(dib.GetColor(3)), GetSysColor(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(static_cast<COLORREF>(dib.GetColor(4)), RGB(255, 0, 0));
    // Only the entries asked for, and the face from a colour of the caller's; a table entry 15 as a key.
    TDib again(nullptr, 113);
    TColor bk(1, 2, 3);
    again.MapUIColors(TDib::MapFace, &bk);
    EXPECT_EQ(static_cast<COLORREF>(again.GetColor(2)), RGB(1, 2, 3));
    EXPECT_EQ(static_cast<COLORREF>(again.GetColor(0)), RGB(0, 0, 0));
    again.SetColor(15, TColor(9, 9, 9));
    EXPECT_EQ(static_cast<COLORREF>(again.GetColor(15)), RGB(9, 9, 9));
    again.SetColor(16, TColor(9, 9, 9));  // outside: nothing
    EXPECT_EQ(static_cast<COLORREF>(again.GetColor(16)), RGB(0, 0, 0));

    // Drawn three times its size; then the right half 1:1.
    Canvas c;
    TDC dc(c.dc);
    ASSERT_TRUE(StretchDIBits(dc, TRect(0, 0, 12, 6), TRect(0, 0, 4, 2), again));
    EXPECT_EQ(dc.GetPixel(1, 1), TColor(RGB(0, 0, 0)).GetValue());
    EXPECT_EQ(dc.GetPixel(7, 2), RGB(1, 2, 3));
    EXPECT_EQ(dc.GetPixel(11, 5), RGB(255, 0, 0));
    ASSERT_TRUE(SetDIBitsToDevice(dc, TRect(20, 20, 22, 22), TPoint(2, 0), again));
    EXPECT_EQ(dc.GetPixel(20, 20), RGB(1, 2, 3));
    EXPECT_EQ(dc.GetPixel(21, 20), RGB(255, 255, 255));
    EXPECT_EQ(dc.GetPixel(21, 21), RGB(255, 0, 0));
    // Only the bottom row, by its rectangle from the top of the image.
    ASSERT_TRUE(StretchDIBits(dc, TRect(0, 10, 4, 11), TRect(0, 1, 4, 2), again));
    EXPECT_EQ(dc.GetPixel(0, 10), RGB(255, 0, 0));

    // A missing or broken resource gives an empty image that draws nothing.
    TDib missing(nullptr, 999);
    EXPECT_FALSE(missing.IsOK());
    EXPECT_EQ(missing.Size(), TSize(0, 0));
    EXPECT_FALSE(StretchDIBits(dc, TRect(0, 0, 4, 4), TRect(0, 0, 4, 4), missing));
    TDib broken(glyph.data(), 50);
    EXPECT_FALSE(broken.IsOK());
}

TEST(FrameworkDib, HatchBrushIsACheckerOfItsTwoColoursAndCanBeRebuilt) {
    const TColor face(192, 192, 192), light(255, 255, 255);
    THatch8x8Brush hatch(THatch8x8Brush::Hatch11F1, face, light);
    Canvas c;
    TDC dc(c.dc);
    dc.FillRect(TRect(0, 0, 16, 16), hatch);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(dc.GetPixel(x, y), ((x + y) % 2 == 0 ? face : light).GetValue()) << x << "," << y;
    hatch.Reconstruct(THatch8x8Brush::Hatch11F1, TColor(0, 0, 255), light);
    dc.FillRect(TRect(0, 0, 2, 1), hatch);
    EXPECT_EQ(dc.GetPixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(dc.GetPixel(1, 0), RGB(255, 255, 255));
}

}  // namespace
