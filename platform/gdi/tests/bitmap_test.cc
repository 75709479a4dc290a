#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"

namespace {

BITMAPINFO Info(int w, int h, int bits) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = static_cast<WORD>(bits);
    return bi;
}

TEST(GdiBitmap, DibSectionBitsFollowDrawing) {
    for (int height : {-4, 4}) {
        BITMAPINFO bi = Info(4, height, 32);
        void* bits = nullptr;
        HBITMAP bmp = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(bmp, nullptr);
        ASSERT_NE(bits, nullptr);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bmp);
        SetPixelV(dc, 1, 0, RGB(255, 0, 0));  // top row
        auto* px = static_cast<uint32_t*>(bits);
        int topRow = height < 0 ? 0 : 3;  // bottom-up DIBs keep the top row last
        EXPECT_EQ(px[topRow * 4 + 1] & 0xFFFFFF, 0xFF0000u) << height;
        px[(height < 0 ? 3 : 0) * 4 + 2] = 0x0000FF;  // bottom row, blue, written by hand
        EXPECT_EQ(GetPixel(dc, 2, 3), RGB(0, 0, 255)) << height;
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bmp);
    }
}

TEST(GdiBitmap, PaletteDibReadsColours) {
    BITMAPINFO* bi = static_cast<BITMAPINFO*>(std::calloc(1, sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD)));
    bi->bmiHeader = Info(8, -1, 1).bmiHeader;
    bi->bmiColors[0] = {0, 0, 0, 0};
    reinterpret_cast<RGBQUAD*>(bi->bmiColors)[1] = {0, 255, 0, 0};
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bmp, nullptr);
    static_cast<unsigned char*>(bits)[0] = 0x80;  // first pixel uses colour 1
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bmp);
    std::free(bi);
    BITMAPINFO bad = Info(0, 4, 32);
    EXPECT_EQ(CreateDIBSection(nullptr, &bad, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
}

TEST(GdiBitmap, BlitsCopyAndCombine) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HDC screen = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    HBITMAP ba = CreateCompatibleBitmap(screen, 10, 10);
    HBITMAP bb = CreateCompatibleBitmap(screen, 10, 10);
    DeleteDC(screen);
    HGDIOBJ oa = SelectObject(a, ba);
    HGDIOBJ ob = SelectObject(b, bb);
    EXPECT_EQ(SelectObject(b, ba), nullptr);  // a bitmap sits in one DC at a time
    EXPECT_TRUE(PatBlt(a, 0, 0, 10, 10, WHITENESS));
    SetPixelV(a, 2, 3, RGB(10, 20, 30));
    EXPECT_TRUE(BitBlt(b, 5, 5, 5, 5, a, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(b, 7, 8), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(b, 6, 6), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(b, 4, 4), RGB(0, 0, 0));
    BitBlt(b, 0, 0, 10, 10, a, 0, 0, SRCINVERT);
    BitBlt(b, 0, 0, 10, 10, a, 0, 0, SRCINVERT);
    EXPECT_EQ(GetPixel(b, 7, 8), RGB(10, 20, 30));
    PatBlt(b, 0, 0, 10, 10, DSTINVERT);
    EXPECT_EQ(GetPixel(b, 4, 4), RGB(255, 255, 255));
    // Scrolling inside one bitmap copies from before the change.
    PatBlt(a, 0, 0, 10, 10, BLACKNESS);
    SetPixelV(a, 0, 0, RGB(255, 0, 0));
    SetPixelV(a, 1, 0, RGB(0, 255, 0));
    BitBlt(a, 1, 0, 9, 1, a, 0, 0, SRCCOPY);
    EXPECT_EQ(GetPixel(a, 1, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(a, 2, 0), RGB(0, 255, 0));
    StretchBlt(b, 0, 0, 10, 10, a, 0, 0, 1, 1, SRCCOPY);
    EXPECT_EQ(GetPixel(b, 9, 9), RGB(255, 0, 0));
    SelectObject(a, oa);
    SelectObject(b, ob);
    DeleteObject(ba);
    DeleteObject(bb);
    DeleteDC(a);
    DeleteDC(b);
}

TEST(GdiBitmap, SurfaceDcHonoursOriginAndSystemClip) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 50, 50);
    HDC dc = qsm::gdi::CreateSurfaceDC(s, 96);
    ASSERT_NE(dc, nullptr);
    PatBlt(dc, 0, 0, 50, 50, WHITENESS);
    qsm::gdi::SetDCOrigin(dc, 10, 20);
    HRGN sys = CreateRectRgn(10, 20, 30, 30);
    qsm::gdi::SetDCSystemClip(dc, sys);
    DeleteObject(sys);
    SelectClipRgn(dc, nullptr);  // cannot widen past the system clip
    RECT r{0, 0, 50, 50};
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    cairo_surface_flush(s);
    auto at = [&](int x, int y) {
        const unsigned char* d = cairo_image_surface_get_data(s);
        uint32_t v;
        std::memcpy(&v, d + y * cairo_image_surface_get_stride(s) + x * 4, 4);
        return v & 0xFFFFFF;
    };
    EXPECT_EQ(at(10, 20), 0u);
    EXPECT_EQ(at(29, 29), 0u);
    EXPECT_EQ(at(30, 25), 0xFFFFFFu);
    EXPECT_EQ(at(9, 25), 0xFFFFFFu);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));  // logical (0,0) is surface (10,20)
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box.right, 20);
    EXPECT_EQ(box.bottom, 10);
    std::string png = std::string(::testing::TempDir()) + "/gdi_surface.png";
    EXPECT_TRUE(qsm::gdi::WritePng(dc, png.c_str()));
    std::remove(png.c_str());
    DeleteDC(dc);
    cairo_surface_destroy(s);
}

}  // namespace
