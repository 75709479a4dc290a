// Device-independent bitmaps drawn from memory and packed DIBs checked before use.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

namespace {

// A packed 4-bit DIB of w x h pixels in a 16-colour table whose entry i is (16 i, 0, 0); pixel (x, y) of the
// image as shown has colour index (x + 2 y) % 16.
std::vector<uint8_t> Packed4(int w, int h, bool bottomUp) {
    size_t stride = static_cast<size_t>((w * 4 + 31) / 32 * 4);
    std::vector<uint8_t> out(sizeof(BITMAPINFOHEADER) + 16 * 4 + stride * static_cast<size_t>(h));
    BITMAPINFOHEADER hd{};
    hd.biSize = sizeof hd;
    hd.biWidth = w;
    hd.biHeight = bottomUp ? h : -h;
    hd.biPlanes = 1;
    hd.biBitCount = 4;
    std::memcpy(out.data(), &hd, sizeof hd);
    for (int i = 0; i < 16; ++i)
        out[sizeof hd + static_cast<size_t>(i) * 4 + 2] = static_cast<uint8_t>(16 * i);
    uint8_t* rows = out.data() + sizeof hd + 64;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = rows + stride * static_cast<size_t>(bottomUp ? h - 1 - y : y);
        for (int x = 0; x < w; ++x) {
            int idx = (x + 2 * y) % 16;
            row[x / 2] = static_cast<uint8_t>(row[x / 2] | (x % 2 ? idx : idx << 4));
        }
    }
    return out;
}

COLORREF Expected(int x, int y) {
    return RGB(16 * ((x + 2 * y) % 16), 0, 0);
}

struct Target {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(40, 40, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    ~Target() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

TEST(GdiDib, BothRowOrdersDrawUprightAndStretch) {
    for (bool bottomUp : {true, false}) {
        std::vector<uint8_t> packed = Packed4(6, 5, bottomUp);
        std::vector<uint8_t> info, bits;
        ASSERT_TRUE(qsm::gdi::UnpackDib(packed.data(), packed.size(), &info, &bits));
        const auto* bi = reinterpret_cast<const BITMAPINFO*>(info.data());
        Target t;
        EXPECT_EQ(StretchDIBits(t.dc, 0, 0, 6, 5, 0, 0, 6, 5, bits.data(), bi, DIB_RGB_COLORS, SRCCOPY), 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                ASSERT_EQ(GetPixel(t.dc, x, y), Expected(x, y)) << bottomUp << " " << x << "," << y;
        // Twice the size: every source pixel becomes a 2 x 2 block.
        StretchDIBits(t.dc, 10, 10, 12, 10, 0, 0, 6, 5, bits.data(), bi, DIB_RGB_COLORS, SRCCOPY);
        EXPECT_EQ(GetPixel(t.dc, 10 + 2 * 3 + 1, 10 + 2 * 4 + 1), Expected(3, 4));
        // The right half of the image 1:1 (the source rectangle of a bottom-up image counts from its
        // bottom, so y 0 with the full height is the whole image either way).
        EXPECT_EQ(SetDIBitsToDevice(t.dc, 30, 0, 3, 5, 3, 0, 0, 5, bits.data(), bi, DIB_RGB_COLORS), 5);
        EXPECT_EQ(GetPixel(t.dc, 30, 0), Expected(3, 0));
        EXPECT_EQ(GetPixel(t.dc, 32, 4), Expected(5, 4));
        EXPECT_EQ(GetPixel(t.dc, 33, 0), RGB(0, 0, 0));
        // Only whole images are taken.
        EXPECT_EQ(SetDIBitsToDevice(t.dc, 0, 0, 3, 5, 0, 0, 1, 4, bits.data(), bi, DIB_RGB_COLORS), 0);
    }
}

TEST(GdiDib, PackedDibsAreCheckedBeforeUse) {
    std::vector<uint8_t> good = Packed4(6, 5, true);
    qsm::gdi::PackedDibLayout l;
    ASSERT_TRUE(qsm::gdi::ParsePackedDib(good.data(), good.size(), &l));
    EXPECT_EQ(l.colors, 16);
    EXPECT_EQ(l.stride, 4u);
    EXPECT_EQ(l.bitsOffset, 40u + 64u);
    // One byte short of the last row.
    EXPECT_FALSE(qsm::gdi::ParsePackedDib(good.data(), good.size() - 1, nullptr));
    auto with = [&](auto change) {
        std::vector<uint8_t> b = good;
        BITMAPINFOHEADER h;
        std::memcpy(&h, b.data(), sizeof h);
        change(h);
        std::memcpy(b.data(), &h, sizeof h);
        return qsm::gdi::ParsePackedDib(b.data(), b.size(), nullptr);
    };
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biClrUsed = 17; }));  // more colours than 4 bits hold
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biClrUsed = 0xFFFFFFFF; }));
    EXPECT_TRUE(with([](BITMAPINFOHEADER& h) { h.biClrUsed = 4; }));  // a shorter table, more bytes left
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biCompression = 1; }));
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biBitCount = 16; }));
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biWidth = 0; }));
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biHeight = -40000; }));
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biSize = 1000; }));  // a header longer than the data
    EXPECT_FALSE(with([](BITMAPINFOHEADER& h) { h.biWidth = 32767, h.biHeight = 32767; }));
    EXPECT_FALSE(qsm::gdi::ParsePackedDib(good.data(), 39, nullptr));
    // A longer header of the same start: the colour table follows it.
    std::vector<uint8_t> v5(good.size() + 84);
    std::memcpy(v5.data(), good.data(), 40);
    reinterpret_cast<BITMAPINFOHEADER*>(v5.data())->biSize = 124;
    std::memcpy(v5.data() + 124, good.data() + 40, good.size() - 40);
    std::vector<uint8_t> info, bits;
    ASSERT_TRUE(qsm::gdi::UnpackDib(v5.data(), v5.size(), &info, &bits));
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(info.data())->biSize, 40u);
    EXPECT_EQ(info[40 + 4 * 3 + 2], 48);  // colour 3 is red 48
}

}  // namespace
