// Block transfers through the raster engine: ternary raster operations and the depth conversions between
// colour and monochrome bitmaps, checked pixel by pixel.
#include <gtest/gtest.h>

#include <random>

#include "platform/gdi/gdi.h"
#include "platform/gdi/raster.h"

namespace {

using qsm::gdi::ApplyRop3;

// A memory DC with its own bitmap, freed at the end of the test.
struct MemDc {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemDc(int w, int h, bool mono) {
        dc = CreateCompatibleDC(nullptr);
        bmp = mono ? CreateBitmap(w, h, 1, 1, nullptr) : CreateBitmap(w, h, 1, 32, nullptr);
        old = SelectObject(dc, bmp);
    }
    ~MemDc() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A 4 x 1 monochrome mask: white, black, white, black.
void FillMask(MemDc& m) {
    PatBlt(m.dc, 0, 0, 4, 1, BLACKNESS);
    SetPixelV(m.dc, 0, 0, kWhite);
    SetPixelV(m.dc, 2, 0, kWhite);
}

TEST(GdiRaster, TruthTablesGiveTheNamedOperations) {
    std::mt19937 rng(7);
    for (int k = 0; k < 400; ++k) {
        uint32_t p = rng() & 0xFFFFFF, s = rng() & 0xFFFFFF, d = rng() & 0xFFFFFF;
        // The table alone, then the closed forms.
        auto ApplyRop3 = k % 2 ? qsm::gdi::ApplyRop3 : qsm::gdi::ApplyRop3ByTable;
        EXPECT_EQ(ApplyRop3(SRCCOPY, p, s, d), s);
        EXPECT_EQ(ApplyRop3(SRCPAINT, p, s, d), s | d);
        EXPECT_EQ(ApplyRop3(SRCAND, p, s, d), s & d);
        EXPECT_EQ(ApplyRop3(SRCINVERT, p, s, d), s ^ d);
        EXPECT_EQ(ApplyRop3(NOTSRCCOPY, p, s, d), ~s & 0xFFFFFFu);
        EXPECT_EQ(ApplyRop3(DSTINVERT, p, s, d), ~d & 0xFFFFFFu);
        EXPECT_EQ(ApplyRop3(PATCOPY, p, s, d), p);
        EXPECT_EQ(ApplyRop3(PATINVERT, p, s, d), p ^ d);
        EXPECT_EQ(ApplyRop3(BLACKNESS, p, s, d), 0u);
        EXPECT_EQ(ApplyRop3(WHITENESS, p, s, d), 0xFFFFFFu);
        EXPECT_EQ(ApplyRop3(0xB8074A, p, s, d), p ^ (s & (d ^ p)));
        EXPECT_EQ(ApplyRop3(0xE20746, p, s, d), d ^ (s & (p ^ d)));
    }
    EXPECT_TRUE(qsm::gdi::RopUsesSource(0xB8074A));
    EXPECT_TRUE(qsm::gdi::RopUsesPattern(0xE20746));
    EXPECT_FALSE(qsm::gdi::RopUsesSource(PATINVERT));
    EXPECT_FALSE(qsm::gdi::RopUsesPattern(SRCPAINT));
}

TEST(GdiRaster, ClosedFormsAgreeWithTheTruthTables) {
    std::mt19937 rng(11);
    for (unsigned table : qsm::gdi::kClosedFormRops) {
        const DWORD rop = table << 16;
        for (int k = 0; k < 300; ++k) {
            // Whole words: bits above the colour must not leak into the result.
            uint32_t p = rng(), s = rng(), d = rng();
            if (k % 3 == 0) s = k % 2 ? 0xFFFFFFu : 0;  // the masks of monochrome sources
            ASSERT_EQ(ApplyRop3(rop, p, s, d), qsm::gdi::ApplyRop3ByTable(rop, p, s, d)) << std::hex << table;
        }
    }
}

TEST(GdiRaster, BlitsOfEveryClosedFormGiveTheTruthTablesPixels) {
    std::mt19937 rng(5);
    constexpr int kW = 9, kH = 5;
    MemDc src(kW, kH, false), dst(kW, kH, false);
    COLORREF s[kH][kW], d[kH][kW];
    for (unsigned table : qsm::gdi::kClosedFormRops) {
        const DWORD rop = table << 16;
        // Whole, then through a clip that leaves out the first column and row (pixel by pixel).
        for (bool clipped : {false, true}) {
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    s[y][x] = rng() & 0xFFFFFF;
                    d[y][x] = rng() & 0xFFFFFF;
                    SetPixelV(src.dc, x, y, s[y][x]);
                    SetPixelV(dst.dc, x, y, d[y][x]);
                }
            const COLORREF brushColour = rng() & 0xFFFFFF;
            HBRUSH brush = CreateSolidBrush(brushColour);
            HGDIOBJ old = SelectObject(dst.dc, brush);
            HRGN clip = CreateRectRgn(1, 1, kW, kH);
            SelectClipRgn(dst.dc, clipped ? clip : nullptr);
            ASSERT_TRUE(BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, rop));
            for (int y = 0; y < kH; ++y)
                for (int x = 0; x < kW; ++x) {
                    COLORREF want = clipped && (x == 0 || y == 0)
                                        ? d[y][x]
                                        : qsm::gdi::ApplyRop3ByTable(rop, brushColour, s[y][x], d[y][x]);
                    ASSERT_EQ(GetPixel(dst.dc, x, y), want) << std::hex << table << " " << x << "," << y;
                }
            SelectClipRgn(dst.dc, nullptr);
            DeleteObject(clip);
            SelectObject(dst.dc, old);
            DeleteObject(brush);
        }
    }
}

TEST(GdiRaster, ColourToMonochromeMarksTheSourceBackgroundColour) {
    MemDc src(4, 2, false), mask(4, 2, true);
    PatBlt(src.dc, 0, 0, 4, 2, BLACKNESS);
    SetPixelV(src.dc, 0, 0, kFace);
    SetPixelV(src.dc, 3, 1, kFace);
    SetPixelV(src.dc, 1, 0, RGB(192, 192, 193));  // near, but not the colour
    SetPixelV(src.dc, 2, 0, kWhite);              // light, still not the colour
    PatBlt(mask.dc, 0, 0, 4, 2, WHITENESS);
    SetBkColor(src.dc, kFace);
    SetBkColor(mask.dc, RGB(1, 2, 3));  // the destination's colours play no part
    SetTextColor(mask.dc, RGB(4, 5, 6));
    ASSERT_TRUE(BitBlt(mask.dc, 0, 0, 4, 2, src.dc, 0, 0, SRCCOPY));
    const COLORREF want[2][4] = {{kWhite, kBlack, kBlack, kBlack}, {kBlack, kBlack, kBlack, kWhite}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(GetPixel(mask.dc, x, y), want[y][x]) << x << "," << y;

    // Other operations see the converted pixels too: OR-ing the face pixels of a shifted copy.
    PatBlt(mask.dc, 0, 0, 4, 2, BLACKNESS);
    ASSERT_TRUE(BitBlt(mask.dc, 1, 0, 3, 2, src.dc, 0, 0, SRCPAINT));
    EXPECT_EQ(GetPixel(mask.dc, 1, 0), kWhite);
    EXPECT_EQ(GetPixel(mask.dc, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(mask.dc, 3, 1), kBlack);  // the source's (3, 1) falls outside
}

TEST(GdiRaster, MonochromeToColourTakesTheDestinationTextAndBackgroundColours) {
    MemDc mask(4, 1, true), dst(4, 1, false);
    FillMask(mask);
    SetTextColor(dst.dc, RGB(200, 0, 0));
    SetBkColor(dst.dc, RGB(0, 0, 150));
    SetTextColor(mask.dc, RGB(0, 255, 0));  // the source's colours play no part
    SetBkColor(mask.dc, RGB(0, 255, 0));
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(0, 0, 150));
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), RGB(200, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), RGB(0, 0, 150));
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), RGB(200, 0, 0));

    // Merging a mask into a face area: white mask pixels light it up, black ones leave it.
    PatBlt(dst.dc, 0, 0, 4, 1, BLACKNESS);
    HBRUSH face = CreateSolidBrush(kFace);
    RECT r{0, 0, 4, 1};
    FillRect(dst.dc, &r, face);
    DeleteObject(face);
    SetTextColor(dst.dc, kBlack);
    SetBkColor(dst.dc, RGB(255, 255, 255));
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, SRCPAINT));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), kFace);
}

TEST(GdiRaster, MaskedBrushOperationsOfButtonImages) {
    MemDc mask(4, 1, true), dst(4, 1, false);
    FillMask(mask);
    const COLORREF base[4] = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), RGB(100, 110, 120)};
    auto reset = [&] {
        for (int x = 0; x < 4; ++x)
            SetPixelV(dst.dc, x, 0, base[x]);
    };
    HBRUSH shadow = CreateSolidBrush(RGB(128, 128, 128));
    HGDIOBJ oldBrush = SelectObject(dst.dc, shadow);
    SetTextColor(dst.dc, kBlack);
    SetBkColor(dst.dc, kWhite);

    // 0xB8074A: the brush where the mask is black, the destination kept where it is white.
    reset();
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, 0xB8074A));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), base[0]);
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), base[2]);
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), RGB(128, 128, 128));

    // 0xE20746: the brush where the mask is white, the destination kept where it is black.
    reset();
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, 0xE20746));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), base[1]);
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), RGB(128, 128, 128));
    EXPECT_EQ(GetPixel(dst.dc, 3, 0), base[3]);

    // With other text and background colours the operation works on their bits, channel by channel.
    reset();
    SetTextColor(dst.dc, RGB(0x0F, 0xF0, 0x33));
    SetBkColor(dst.dc, RGB(0xF0, 0x0F, 0xCC));
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, mask.dc, 0, 0, 0xB8074A));
    for (int x = 0; x < 4; ++x) {
        uint32_t s = x % 2 == 0 ? 0xCC0FF0u : 0x33F00Fu;  // background, text (as 0xBBGGRR)
        uint32_t p = 0x808080u, d = base[x];
        EXPECT_EQ(GetPixel(dst.dc, x, 0), static_cast<COLORREF>(p ^ (s & (d ^ p)))) << x;
    }
    SelectObject(dst.dc, oldBrush);
    DeleteObject(shadow);
}

TEST(GdiRaster, MonochromeDestinationsKeepOneBitPerPixel) {
    MemDc a(4, 1, true), b(4, 1, true);
    FillMask(a);
    PatBlt(b.dc, 0, 0, 4, 1, WHITENESS);
    SetPixelV(b.dc, 0, 0, kBlack);
    SetTextColor(b.dc, RGB(255, 0, 0));  // no conversion between equal depths
    ASSERT_TRUE(BitBlt(b.dc, 0, 0, 4, 1, a.dc, 0, 0, SRCAND));
    EXPECT_EQ(GetPixel(b.dc, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(b.dc, 1, 0), kBlack);
    EXPECT_EQ(GetPixel(b.dc, 2, 0), kWhite);
    // A light brush is white on a monochrome bitmap, a dark one black.
    HBRUSH light = CreateSolidBrush(RGB(200, 200, 200));
    HGDIOBJ old = SelectObject(b.dc, light);
    ASSERT_TRUE(PatBlt(b.dc, 0, 0, 4, 1, PATINVERT));
    EXPECT_EQ(GetPixel(b.dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(b.dc, 2, 0), kBlack);
    SelectObject(b.dc, old);
    DeleteObject(light);
}

TEST(GdiRaster, CompatibleBitmapsOfAMemoryDcTakeTheDepthOfTheBitmapItHolds) {
    auto bitsPerPixel = [](HBITMAP b) {
        BITMAP bm{};
        return GetObjectA(b, sizeof bm, &bm) == sizeof bm ? static_cast<int>(bm.bmBitsPixel) : -1;
    };
    // A colour image with button-face pixels at (1, 0) and (2, 1).
    MemDc image(4, 2, false);
    PatBlt(image.dc, 0, 0, 4, 2, BLACKNESS);
    SetPixelV(image.dc, 0, 0, RGB(0, 0, 128));
    SetPixelV(image.dc, 1, 0, kFace);
    SetPixelV(image.dc, 2, 1, kFace);
    SetPixelV(image.dc, 3, 1, kWhite);
    // A mask made the usual way: a new memory DC holds a monochrome bitmap, so its compatible bitmap is
    // monochrome and the copy marks the pixels of the image DC's background colour.
    HDC maskDc = CreateCompatibleDC(image.dc);
    EXPECT_EQ(GetDeviceCaps(maskDc, BITSPIXEL), 1);
    HBITMAP mask = CreateCompatibleBitmap(maskDc, 4, 2);
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(bitsPerPixel(mask), 1);
    HGDIOBJ old = SelectObject(maskDc, mask);
    PatBlt(maskDc, 0, 0, 4, 2, WHITENESS);
    SetBkColor(image.dc, kFace);
    ASSERT_TRUE(BitBlt(maskDc, 0, 0, 4, 2, image.dc, 0, 0, SRCCOPY));
    const COLORREF want[2][4] = {{kBlack, kWhite, kBlack, kBlack}, {kBlack, kBlack, kWhite, kBlack}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(GetPixel(maskDc, x, y), want[y][x]) << x << "," << y;
    // Holding the mask, the DC still makes monochrome bitmaps; a DC holding a colour bitmap, colour ones.
    HBITMAP mono2 = CreateCompatibleBitmap(maskDc, 3, 3);
    EXPECT_EQ(bitsPerPixel(mono2), 1);
    HBITMAP colour = CreateCompatibleBitmap(image.dc, 3, 3);
    EXPECT_EQ(bitsPerPixel(colour), 32);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP fromScreen = CreateCompatibleBitmap(screen, 3, 3);
    EXPECT_EQ(bitsPerPixel(fromScreen), 32);
    // The colour one keeps colours; the monochrome one black or white.
    HDC work = CreateCompatibleDC(nullptr);
    HGDIOBJ workOld = SelectObject(work, colour);
    SetPixelV(work, 1, 1, RGB(10, 200, 30));
    EXPECT_EQ(GetPixel(work, 1, 1), RGB(10, 200, 30));
    SelectObject(work, mono2);
    PatBlt(work, 0, 0, 3, 3, BLACKNESS);
    SetBkColor(image.dc, RGB(0, 0, 128));
    ASSERT_TRUE(BitBlt(work, 0, 0, 3, 1, image.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(work, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(work, 1, 0), kBlack);
    SelectObject(work, workOld);
    DeleteDC(work);
    DeleteDC(screen);
    SelectObject(maskDc, old);
    DeleteDC(maskDc);
    for (HBITMAP b : {mask, mono2, colour, fromScreen})
        DeleteObject(b);
}

TEST(GdiRaster, PatternBlitsRefuseOperationsThatReadASource) {
    MemDc a(2, 2, false);
    EXPECT_FALSE(PatBlt(a.dc, 0, 0, 2, 2, 0xB8074A));
    EXPECT_FALSE(BitBlt(a.dc, 0, 0, 2, 2, nullptr, 0, 0, 0xE20746));
    SetPixelV(a.dc, 0, 0, RGB(1, 2, 3));
    EXPECT_TRUE(PatBlt(a.dc, 0, 0, 2, 2, DSTINVERT));
    EXPECT_EQ(GetPixel(a.dc, 0, 0), RGB(254, 253, 252));
    EXPECT_EQ(GetPixel(a.dc, 1, 1), kWhite);
}

TEST(GdiRaster, PatternBrushesRepeatThroughTheMask) {
    // A one-pixel checker in two colours, as the hatch of button images.
    const COLORREF a = kFace, b = RGB(255, 255, 255);
    MemDc tile(8, 8, false);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            SetPixelV(tile.dc, x, y, (x + y) % 2 == 0 ? a : b);
    SelectObject(tile.dc, tile.old);  // the brush copies the bitmap's pixels
    HBRUSH hatch = CreatePatternBrush(tile.bmp);
    tile.old = SelectObject(tile.dc, tile.bmp);
    ASSERT_NE(hatch, nullptr);

    MemDc mask(10, 2, true), dst(10, 2, false);
    PatBlt(mask.dc, 0, 0, 10, 1, WHITENESS);
    PatBlt(mask.dc, 0, 1, 10, 1, BLACKNESS);
    const COLORREF base = RGB(1, 2, 3);
    HBRUSH fill = CreateSolidBrush(base);
    RECT all{0, 0, 10, 2};
    FillRect(dst.dc, &all, fill);
    DeleteObject(fill);
    HGDIOBJ old = SelectObject(dst.dc, hatch);
    SetTextColor(dst.dc, kBlack);
    SetBkColor(dst.dc, kWhite);
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 10, 2, mask.dc, 0, 0, 0xE20746));
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(GetPixel(dst.dc, x, 0), x % 2 == 0 ? a : b) << x;  // the hatch where the mask is white
        EXPECT_EQ(GetPixel(dst.dc, x, 1), base) << x;                // unchanged where it is black
    }
    // PATCOPY lays the pattern from the DC's origin, wherever the rectangle starts.
    ASSERT_TRUE(PatBlt(dst.dc, 3, 0, 5, 2, PATCOPY));
    for (int y = 0; y < 2; ++y)
        for (int x = 3; x < 8; ++x)
            EXPECT_EQ(GetPixel(dst.dc, x, y), (x + y) % 2 == 0 ? a : b) << x << "," << y;
    EXPECT_EQ(GetPixel(dst.dc, 9, 1), base);
    SelectObject(dst.dc, old);
    DeleteObject(hatch);
}

}  // namespace
