// Draws every glyph through the cairo backend at two staff spaces, writes each drawing to a PNG file, reads
// the file back and checks from its pixels that each symbol's ink lies where the drawing code expects it.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "platform/gdi/gdi_surface.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"

namespace {

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive pixel bounds
    bool Any() const { return right >= 0; }
    double CentreX() const { return (left + right + 1) / 2.0; }
    double CentreY() const { return (top + bottom + 1) / 2.0; }
};

// A PNG file read back into memory.
class Image {
public:
    explicit Image(const std::string& path) : s_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Image() { cairo_surface_destroy(s_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    bool Ok() const { return cairo_surface_status(s_) == CAIRO_STATUS_SUCCESS; }
    // Bounds of the dark pixels inside [x0, x1) x [y0, y1).
    Ink Measure(int x0, int y0, int x1, int y1) const {
        const unsigned char* d = cairo_image_surface_get_data(s_);
        int stride = cairo_image_surface_get_stride(s_);
        x1 = std::min(x1, cairo_image_surface_get_width(s_));
        y1 = std::min(y1, cairo_image_surface_get_height(s_));
        Ink ink;
        for (int y = std::max(y0, 0); y < y1; ++y) {
            const auto* row = reinterpret_cast<const uint32_t*>(d + y * stride);
            for (int x = std::max(x0, 0); x < x1; ++x) {
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
    Ink Measure() const { return Measure(0, 0, 1 << 20, 1 << 20); }

private:
    cairo_surface_t* s_;
};

// A white bitmap with a drawing context attached.
class Canvas {
public:
    Canvas(int u, int widthSpaces, int heightSpaces) : u_(u), fonts(u, &data, &palette) {
        w_ = widthSpaces * u;
        h_ = heightSpaces * u;
        dc = CreateCompatibleDC(nullptr);
        bmp_ = CreateBitmap(w_, h_, 1, 32, nullptr);
        old_ = SelectObject(dc, bmp_);
        fonts.AttachDC(dc, dc);
        Clear();
    }
    ~Canvas() {
        fonts.DetachDC();
        SelectObject(dc, old_);
        DeleteObject(bmp_);
        DeleteDC(dc);
    }
    void Clear() { PatBlt(dc, 0, 0, w_, h_, WHITENESS); }
    // Writes the drawing to a PNG file named after what it shows.
    std::string Save(const std::string& name) const {
        std::string path =
            ::testing::TempDir() + "qsm_glyph_ink_u" + std::to_string(u_) + "_" + name + ".png";
        EXPECT_TRUE(qsm::gdi::WritePng(dc, path.c_str())) << path;
        return path;
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

// Removes a PNG once its checks are done, unless one of them failed: the file then stays for a look.
class PngScope {
public:
    explicit PngScope(std::string path) : path_(std::move(path)), failed_(::testing::Test::HasFailure()) {}
    ~PngScope() {
        if (!failed_ && ::testing::Test::HasFailure())
            std::printf("drawing kept in %s\n", path_.c_str());
        else
            std::remove(path_.c_str());
    }

private:
    std::string path_;
    bool failed_;
};

const double kAny = NAN;

// Where a glyph's ink must lie, in staff spaces from the point the drawing code writes it at: x, and the y
// of its staff position before the writer's own vertical adjustment (y grows downward). At cue size every
// figure shrinks to two thirds with the glyph.
struct Expectation {
    int glyph;
    int pos;  // the staff position the glyph is drawn at
    double top = kAny, bottom = kAny, centreY = kAny;
    double left = 0;  // ink starts here; kAny for glyphs centred on x
    double centreX = kAny;
    double tol = 0;  // in spaces; 0: an eighth of a space, at least 2 pixels
    bool blank = false;
    bool spansMiddleLine = false;  // rests at their base positions cross the middle line
};

std::vector<Expectation> Expectations() {
    std::vector<Expectation> e;
    auto add = [&](int g, int pos) -> Expectation& {
        e.push_back({});
        e.back().glyph = g;
        e.back().pos = pos;
        return e.back();
    };
    for (int g : {0, 1, 35, 51})
        add(g, 0).blank = true;
    // Clefs drawn at the bottom line: the G clef rises 1.4 spaces over the staff and hangs 1.6 under it,
    // the F clef runs from the top line to between the two lowest lines, the C clef fills the staff.
    auto& treble = add(2, 4);
    treble.top = -5.4, treble.bottom = 1.6, treble.tol = 0.25;
    auto& bass = add(3, 4);
    bass.top = -4, bass.bottom = -0.5, bass.tol = 0.25;
    auto& alto = add(4, 4);
    alto.top = -4, alto.bottom = 0, alto.centreY = -2;
    add(53, 4).centreY = -2;  // percussion clef on the middle line
    // Note heads: one space high, centred on their position.
    for (int g = 5; g <= 7; ++g) {
        auto& h = add(g, 0);
        h.top = -0.5, h.bottom = 0.5, h.centreY = 0;
    }
    for (int g = 54; g <= 72; ++g) {
        auto& h = add(g, 0);
        h.top = -0.5, h.bottom = 0.5, h.centreY = 0;
    }
    // Accidentals: sharps and naturals centred on their position, the flats' bowls on it.
    auto& flat = add(8, 0);
    flat.top = -1.75, flat.bottom = 0.7;
    auto& sharp = add(9, 0);
    sharp.top = -1.4, sharp.bottom = 1.4, sharp.centreY = 0;
    auto& natural = add(10, 0);
    natural.top = -1.35, natural.bottom = 1.35, natural.centreY = 0;
    auto& dsharp = add(42, 0);
    dsharp.top = -0.5, dsharp.bottom = 0.5, dsharp.centreY = 0;
    auto& dflat = add(43, 0);
    dflat.top = -1.75, dflat.bottom = 0.7, dflat.left = kAny;  // moved left by the writer, checked below
    // Flags written at the stem end: stem-down flags end there, stem-up flags start there and overlap the
    // stem on its left.
    for (int g = 11; g <= 14; ++g) {
        auto& f = add(g, 0);
        f.bottom = 0, f.tol = 0.3;
    }
    for (int g = 15; g <= 18; ++g) {
        auto& f = add(g, 0);
        f.top = 0, f.left = -0.1, f.tol = 0.3;
    }
    // Dots and articulations: centred a quarter space above the position they are stacked at.
    for (int g : {19, 44, 45, 46, 47, 48, 49})
        add(g, 0).centreY = -0.25;
    // Rests at their base positions: whole from its line, half on its line, the rest across the middle.
    add(20, -2).top = 0;
    add(21, 0).bottom = 0;
    auto& quarter = add(22, 0);
    quarter.top = -1.5, quarter.bottom = 1.5, quarter.centreY = 0;
    add(23, -1).spansMiddleLine = true;
    add(24, 1).spansMiddleLine = true;
    add(25, 1).spansMiddleLine = true;
    add(26, 3).spansMiddleLine = true;
    // Tempo mark notes stand on the baseline of the bold text beside them, 2U/3 below the position.
    for (int g = 27; g <= 29; ++g)
        add(g, 0).bottom = 2.0 / 3;
    auto& dots = add(30, 0);  // in the two middle spaces
    dots.top = -0.7, dots.bottom = 0.7, dots.centreY = 0;
    add(31, 0).bottom = 0;  // pedal marks stand on their position
    add(32, 0).bottom = 0;
    add(33, 0).centreY = 0;  // segno and coda are centred on it
    add(34, 0).centreY = 0;
    add(36, 0).bottom = 0;  // the fermata stands on the point, the inverted one hangs from it
    add(37, 0).top = 0;
    add(38, 0).bottom = 0;  // breath mark and caesura stand on it
    add(39, 0).bottom = 0;
    // Common time and alla breve at position 2 fill the middle spaces of the staff.
    auto& common = add(40, 2);
    common.top = -2, common.bottom = 0, common.centreY = -1;
    add(41, 2).centreY = -1;
    // The expression marker: a small triangle standing 13/8 spaces below the expression.
    auto& marker = add(50, 0);
    marker.bottom = 13.0 / 8, marker.top = 13.0 / 8 - 0.7;
    // The clef octave "8" is centred on its point both ways.
    auto& octave = add(52, 0);
    octave.centreY = 0, octave.centreX = 0, octave.left = kAny;
    // Dynamics: within their advance, centred on their position like a line of text.
    for (int g = 73; g <= 80; ++g) {
        auto& d = add(g, 8);
        d.centreY = 0, d.tol = 0.5;
    }
    add(81, 0).centreY = 0;  // the triplet 3 sits on its bracket line
    return e;
}

class GlyphInk : public ::testing::TestWithParam<int> {};

TEST_P(GlyphInk, EveryGlyphLiesWhereItIsWritten) {
    const int u = GetParam();
    // The normal-size glyph on the left half, the cue-size one on the right.
    Canvas c(u, 18, 13);
    const int xs[2] = {3 * u, 12 * u};
    std::vector<Expectation> table = Expectations();
    std::vector<bool> seen(kMeasuredGlyphCount);
    for (const Expectation& e : table) {
        seen[static_cast<size_t>(e.glyph)] = true;
        c.Clear();
        // The position's y, before the writer's adjustment, lands 13U/2 from the top.
        c.fonts.OriginY = 13 * u / 2 - e.pos * u / 2;
        const int ref = c.Y(e.pos);
        for (int size : {0, 1})
            c.fonts.DrawGlyphAtPos(size, e.glyph, xs[size], e.pos);
        std::string path = c.Save("glyph" + std::to_string(e.glyph));
        PngScope png(path);
        Image img(path);
        ASSERT_TRUE(img.Ok());
        for (int size : {0, 1}) {
            SCOPED_TRACE("glyph " + std::to_string(e.glyph) + (size ? " cue size" : " normal size"));
            Ink ink = img.Measure(size ? 9 * u : 0, 0, size ? c.w_ : 9 * u, c.h_);
            if (e.blank) {
                EXPECT_FALSE(ink.Any());
                continue;
            }
            ASSERT_TRUE(ink.Any());
            const double space = size ? u * 2.0 / 3 : u;
            const double tol = e.tol ? e.tol * space : std::max(2.0, space / 8);
            const int x = xs[size];
            const int w = c.fonts.GetGlyphWidth(size, e.glyph);
            auto at = [&](double spaces) { return ref + spaces * space; };
            if (!std::isnan(e.top)) {
                EXPECT_NEAR(ink.top, at(e.top), tol) << "top";
            }
            if (!std::isnan(e.bottom)) {
                EXPECT_NEAR(ink.bottom + 1, at(e.bottom), tol) << "bottom";
            }
            if (!std::isnan(e.centreY)) {
                EXPECT_NEAR(ink.CentreY(), at(e.centreY), tol) << "centre";
            }
            if (e.spansMiddleLine) {
                int middle = c.fonts.OriginY;
                EXPECT_LT(ink.top, middle);
                EXPECT_GT(ink.bottom, middle);
                EXPECT_GE(ink.top, c.Y(-4) - space);  // and stay near the staff
            }
            if (!std::isnan(e.centreX)) {
                EXPECT_NEAR(ink.CentreX(), x + e.centreX * space, tol) << "centre x";
            }
            if (!std::isnan(e.left)) {
                EXPECT_NEAR(ink.left, x + e.left * space, tol) << "left";
                // The advance, which all spacing is made of, covers the ink.
                EXPECT_LE(ink.right + 1, x + w + tol) << "right";
            }
            if (e.glyph == 43) {
                EXPECT_NEAR(ink.left, x - (w / 4 + 1), tol) << "double flat moved left";
                EXPECT_LE(ink.right + 1, x - (w / 4 + 1) + w + tol);
            }
        }
    }
    for (int g = 0; g < kMeasuredGlyphCount; ++g)
        EXPECT_TRUE(seen[static_cast<size_t>(g)]) << "glyph " << g << " has no expectation";
}

TEST_P(GlyphInk, NoteHeadsAtOddAndEvenPositions) {
    const int u = GetParam();
    Canvas c(u, 8, 18);
    c.fonts.OriginY = 9 * u;
    int tol = std::max(2, u / 8);
    for (int pos : {-7, -3, 4, 9}) {
        c.Clear();
        c.fonts.DrawGlyphAtPos(7, 3 * u, pos);
        std::string path = c.Save("head_pos" + std::to_string(pos));
        PngScope png(path);
        Image img(path);
        Ink ink = img.Measure();
        ASSERT_TRUE(ink.Any());
        EXPECT_NEAR(ink.CentreY(), c.Y(pos), tol) << pos;
    }
}

TEST_P(GlyphInk, FlagsMeetTheStemEnd) {
    const int u = GetParam();
    Canvas c(u, 10, 18);
    c.fonts.OriginY = 9 * u;
    int tol = std::max(2, 3 * u / 10);
    for (int flags = 1; flags <= 4; ++flags) {
        for (int size : {0, 1}) {
            SCOPED_TRACE(std::to_string(flags) + " flags, size " + std::to_string(size));
            c.Clear();
            int x = 4 * u;
            c.fonts.DrawStemUp(x, 4, size, 7, 0, flags, 0);
            int xs = x + c.fonts.GetGlyphWidth(size, 7);
            int end = c.fonts.GetStemEnd(1, 4, size, flags, 0);
            std::string path = c.Save("stem_up" + std::to_string(flags) + "_" + std::to_string(size));
            PngScope png(path);
            Image img(path);
            // Above the head: the stem and its flag, which hangs off the stem to the right.
            Ink ink = img.Measure(0, 0, c.w_, c.Y(4) - u);
            EXPECT_NEAR(ink.top, end, tol);
            EXPECT_GT(ink.right, xs + (size ? u / 3 : u / 2));
            // No gap between head and flag: every row between them has ink in the stem's column.
            for (int y = end + tol; y < c.Y(4) - u / 2; ++y)
                ASSERT_TRUE(img.Measure(xs - 1, y, xs + 1, y + 1).Any()) << "row " << y;
        }
    }
}

TEST_P(GlyphInk, TimeSignatureDigitsFillTheirHalves) {
    const int u = GetParam();
    Canvas c(u, 10, 18);
    c.fonts.OriginY = 9 * u;
    int tol = std::max(2, u / 4), x = 4 * u;
    c.fonts.DrawTimeSignature(0, 3, 4, x);
    std::string path = c.Save("time34");
    PngScope png(path);
    Image img(path);
    Ink upper = img.Measure(0, 0, c.w_, c.Y(0));
    Ink lower = img.Measure(0, c.Y(0) + 1, c.w_, c.h_);
    EXPECT_NEAR(upper.top, c.Y(-4), tol);
    EXPECT_NEAR(upper.bottom + 1, c.Y(0), tol);
    EXPECT_NEAR(lower.top, c.Y(0), tol);
    EXPECT_NEAR(lower.bottom + 1, c.Y(4), tol);
    // 12 over 8: the 8 centred under the 12.
    c.Clear();
    c.fonts.DrawTimeSignature(0, 12, 8, x);
    std::string path2 = c.Save("time128");
    PngScope png2(path2);
    Image img2(path2);
    upper = img2.Measure(0, 0, c.w_, c.Y(0));
    lower = img2.Measure(0, c.Y(0) + 1, c.w_, c.h_);
    EXPECT_NEAR(lower.CentreX(), upper.CentreX(), tol);
    EXPECT_GT(upper.right - upper.left, lower.right - lower.left);
}

TEST_P(GlyphInk, TempoNoteStandsOnTheTextBaseline) {
    const int u = GetParam();
    Canvas c(u, 20, 12);
    c.fonts.OriginY = 6 * u;
    int x = u;
    c.fonts.DrawTempoMark(nullptr, 2, 96, x, 0);  // note, then " =96"
    std::string path = c.Save("tempo");
    PngScope png(path);
    Image img(path);
    int noteRight = x + c.fonts.GetGlyphWidth(28);
    Ink note = img.Measure(0, 0, noteRight, c.h_);
    int digitsLeft = noteRight + c.fonts.MeasureBoldText(" =");
    Ink digits = img.Measure(digitsLeft, 0, c.w_, c.h_);
    ASSERT_TRUE(note.Any());
    ASSERT_TRUE(digits.Any());
    EXPECT_NEAR(note.bottom, digits.bottom, std::max(2, u / 8));
    // And the text line is centred on the position.
    EXPECT_NEAR(digits.CentreY(), c.Y(0), u / 2);
}

INSTANTIATE_TEST_SUITE_P(StaffSpaces, GlyphInk, ::testing::Values(12, 40));

}  // namespace

// The note of a tempo mark reads as one symbol at screen sizes: its stem is as dark as its head all the way
// from the head up, not a grey hairline beside it.
TEST(TempoNoteInk, StemIsDarkFromTheHeadUp) {
    for (int u : {5, 6, 8, 10, 12}) {
        for (int glyph : {27, 28, 29}) {
            Canvas c(u, 6, 8);
            c.fonts.DrawGlyph(0, glyph, 2 * u, 6 * u);
            const std::string path = c.Save("tempo_stem_" + std::to_string(glyph));
            PngScope png(path);
            Image img(path);
            const Ink all = img.Measure();
            ASSERT_TRUE(all.Any()) << u << "/" << glyph;
            // Every row from the stem's top down to the head's middle holds ink darker than mid-grey.
            const Ink head = img.Measure(0, all.bottom - u / 2, c.w_, c.h_);
            for (int y = all.top; y <= head.top; ++y)
                EXPECT_TRUE(img.Measure(0, y, c.w_, y + 1).Any())
                    << "u " << u << " glyph " << glyph << " row " << y;
        }
    }
}
