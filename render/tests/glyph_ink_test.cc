// Draws every glyph through the cairo backend at two staff spaces and checks from the pixels that each
// symbol's ink lies where the drawing code expects it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/gdi_surface.h"
#include "render/base/color_palette.h"
#include "render/base/fonts_data.h"
#include "render/music_fonts.h"

namespace {

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool Any() const { return right >= 0; }
    int CentreY() const { return (top + bottom) / 2; }
};

class Canvas {
public:
    explicit Canvas(int u) : u_(u), fonts(u, &data, &palette) {
        w_ = 10 * u;
        h_ = 18 * u;
        dc = CreateCompatibleDC(nullptr);
        bmp_ = CreateCompatibleBitmap(dc, w_, h_);
        old_ = SelectObject(dc, bmp_);
        fonts.AttachDC(dc, dc);
        fonts.OriginY = 9 * u;
    }
    ~Canvas() {
        fonts.DetachDC();
        SelectObject(dc, old_);
        DeleteObject(bmp_);
        DeleteDC(dc);
    }
    void Clear() { PatBlt(dc, 0, 0, w_, h_, WHITENESS); }
    Ink Measure() const {
        cairo_surface_t* s = qsm::gdi::GetBitmapSurface(bmp_);
        cairo_surface_flush(s);
        const unsigned char* d = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        Ink ink;
        for (int y = 0; y < h_; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(d + y * stride);
            for (int x = 0; x < w_; ++x) {
                uint32_t v = row[x];
                int lum = ((v >> 16) & 0xFF) + ((v >> 8) & 0xFF) + (v & 0xFF);
                if (lum >= 3 * 128) continue;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
        }
        return ink;
    }
    int Y(int pos) const { return fonts.PosToY(pos); }

    int u_, w_ = 0, h_ = 0;
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts fonts;
    HDC dc;
    HBITMAP bmp_;
    HGDIOBJ old_;
};

class GlyphInk : public ::testing::TestWithParam<int> {};

TEST_P(GlyphInk, EveryGlyphHasInkAtBothSizes) {
    Canvas c(GetParam());
    for (int g = 0; g < kMeasuredGlyphCount; ++g) {
        for (int size : {0, 1}) {
            c.Clear();
            c.fonts.DrawGlyphAtPos(size, g, 4 * c.u_, 0);
            bool blank = g == 0 || g == 1 || g == 35 || g == 51;
            EXPECT_EQ(c.Measure().Any(), !blank) << "glyph " << g << " size " << size;
        }
    }
}

TEST_P(GlyphInk, NoteHeadsAreCentredOnTheirPosition) {
    Canvas c(GetParam());
    int u = c.u_, tol = std::max(2, u / 8);
    int heads[] = {5, 6, 7, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 71, 72};
    for (int g : heads) {
        for (int pos : {-3, 0, 4}) {
            c.Clear();
            int x = 4 * u;
            c.fonts.DrawGlyphAtPos(g, x, pos);
            Ink ink = c.Measure();
            ASSERT_TRUE(ink.Any()) << g;
            EXPECT_NEAR(ink.CentreY(), c.Y(pos), tol) << "glyph " << g << " pos " << pos;
            EXPECT_NEAR(ink.left, x, tol) << g;
            EXPECT_LE(ink.right, x + c.fonts.GetGlyphWidth(g) + tol) << g;
        }
    }
    // The filled head spans about one staff space.
    c.Clear();
    c.fonts.DrawGlyphAtPos(7, 4 * u, 0);
    Ink ink = c.Measure();
    EXPECT_NEAR(ink.bottom - ink.top + 1, u, tol);
}

TEST_P(GlyphInk, FlagsMeetTheStemEnd) {
    Canvas c(GetParam());
    int u = c.u_, tol = std::max(2, 3 * u / 10);
    for (int flags = 1; flags <= 4; ++flags) {
        for (int size : {0, 1}) {
            c.Clear();
            int x = 4 * u;
            c.fonts.DrawStemUp(x, 4, size, 7, 0, flags, 0);
            int xs = x + c.fonts.GetGlyphWidth(size, 7);
            int end = c.fonts.GetStemEnd(1, 4, size, flags, 0);
            Ink ink = c.Measure();
            EXPECT_NEAR(ink.top, end, tol) << "up " << flags << " size " << size;
            // The flag hangs off the stem to the right.
            EXPECT_GT(ink.right, xs + u / 2) << flags;
            c.Clear();
            c.fonts.DrawGlyph(size, 14 + flags, xs, end);
            ink = c.Measure();
            EXPECT_NEAR(ink.top, end, tol) << "up flag " << flags << " size " << size;
            EXPECT_NEAR(ink.left, xs - c.fonts.StemWidth, tol) << flags;

            c.Clear();
            end = c.fonts.GetStemEnd(-1, -4, size, flags, 0);
            c.fonts.DrawGlyph(size, 10 + flags, x, end);
            ink = c.Measure();
            EXPECT_NEAR(ink.bottom, end, tol) << "down flag " << flags << " size " << size;
            EXPECT_NEAR(ink.left, x, tol) << flags;
        }
    }
}

TEST_P(GlyphInk, ClefsSitOnTheirLines) {
    Canvas c(GetParam());
    int u = c.u_, tol = std::max(2, u / 4);
    int x = 4 * u;
    // Treble clef drawn on the bottom line: it rises above the staff and reaches below it.
    c.Clear();
    c.fonts.DrawGlyphAtPos(2, x, 4);
    Ink ink = c.Measure();
    EXPECT_NEAR(ink.top, c.Y(-4) - 14 * u / 10, tol);
    EXPECT_NEAR(ink.bottom, c.Y(4) + 16 * u / 10, tol);
    // Bass clef: from the top line down, the F line between its dots.
    c.Clear();
    c.fonts.DrawGlyphAtPos(3, x, 4);
    ink = c.Measure();
    EXPECT_NEAR(ink.top, c.Y(-4), tol);
    EXPECT_NEAR(ink.bottom, c.Y(4) - u / 2, tol);
    // C clef: centred on its line, alto on the middle line and tenor on the fourth.
    c.Clear();
    c.fonts.DrawGlyphAtPos(4, x, 4);
    ink = c.Measure();
    EXPECT_NEAR(ink.CentreY(), c.Y(0), tol);
    EXPECT_NEAR(ink.top, c.Y(-4), tol);
    EXPECT_NEAR(ink.bottom, c.Y(4), tol);
    c.Clear();
    c.fonts.DrawGlyphAtPos(4, x, 2);
    EXPECT_NEAR(c.Measure().CentreY(), c.Y(-2), tol);
    // Percussion clef: centred on the middle line.
    c.Clear();
    c.fonts.DrawGlyphAtPos(53, x, 4);
    EXPECT_NEAR(c.Measure().CentreY(), c.Y(0), tol);
}

TEST_P(GlyphInk, TimeSignaturesAndRestsFillTheirSpaces) {
    Canvas c(GetParam());
    int u = c.u_, tol = std::max(2, u / 4);
    int x = 4 * u;
    c.Clear();
    c.fonts.DrawTimeSignature(0, 3, 1, x);  // numerator alone: "1" below is narrow
    PatBlt(c.dc, 0, c.Y(0) + 1, c.w_, c.h_, WHITENESS);
    Ink ink = c.Measure();
    EXPECT_NEAR(ink.top, c.Y(-4), tol);
    EXPECT_NEAR(ink.bottom, c.Y(0), tol);
    c.Clear();
    c.fonts.DrawTimeSignature(0, 3, 4, x);
    ink = c.Measure();
    EXPECT_NEAR(ink.top, c.Y(-4), tol);
    EXPECT_NEAR(ink.bottom, c.Y(4), tol);
    c.Clear();
    c.fonts.DrawTimeSignature(1, 4, 4, x);  // common time fills the staff's middle
    EXPECT_NEAR(c.Measure().CentreY(), c.Y(0), tol);
    // The whole rest hangs from its line, the half rest sits on its line.
    c.Clear();
    c.fonts.DrawGlyphAtPos(20, x, -2);
    EXPECT_NEAR(c.Measure().top, c.Y(-2), tol);
    c.Clear();
    c.fonts.DrawGlyphAtPos(21, x, 0);
    EXPECT_NEAR(c.Measure().bottom, c.Y(0), tol);
    c.Clear();
    c.fonts.DrawGlyphAtPos(22, x, 0);
    EXPECT_NEAR(c.Measure().CentreY(), c.Y(0), tol);
    // Repeat dots sit in the two middle spaces.
    c.Clear();
    c.fonts.DrawGlyphAtPos(30, x, 0);
    ink = c.Measure();
    EXPECT_NEAR(ink.CentreY(), c.Y(0), tol);
    EXPECT_LT(ink.bottom - ink.top, 2 * u);
}

INSTANTIATE_TEST_SUITE_P(StaffSpaces, GlyphInk, ::testing::Values(12, 40));

}  // namespace
