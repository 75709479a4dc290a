// Glyphs drawn ahead on a thread of their own (WarmGlyphs): the screen shows the same pixels as without them,
// whether the program draws after the thread, or while it draws the same glyphs.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/gdi_surface.h"

namespace {

const std::string kMusic = std::string(QSM_FONTS_DIR) + "/qsm2stda.ttf";

LOGFONTA MusicFont(int height) {
    LOGFONTA lf{};
    lf.lfHeight = -height;
    lf.lfCharSet = SYMBOL_CHARSET;
    std::strcpy(lf.lfFaceName, "QSM2STDA");
    return lf;
}

std::string AllBytes() {
    std::string text;
    for (int c = 0x21; c < 0xFF; ++c)
        text += static_cast<char>(c);
    return text;
}

// The font's glyphs for every byte, drawn on a screen-like surface.
std::vector<unsigned char> Draw(int height) {
    const std::string text = AllBytes();
    const int w = static_cast<int>(text.size()) * height * 2, h = height * 4;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    HDC dc = qsm::gdi::CreateSurfaceDC(surface);
    PatBlt(dc, 0, 0, w, h, WHITENESS);
    LOGFONTA lf = MusicFont(height);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, 2, height, text.data(), static_cast<int>(text.size()));
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<unsigned char> pixels(
        data, data + static_cast<size_t>(cairo_image_surface_get_stride(surface)) * h);
    cairo_surface_destroy(surface);
    return pixels;
}

// The font file added anew: a face nothing was drawn with yet.
void AddAnew() {
    RemoveFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr);
    ASSERT_EQ(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr), 1);
}

TEST(GlyphWarm, GlyphsDrawnAheadOrMeanwhileShowAsTheProgramsOwn) {
    ASSERT_EQ(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr), 1);
    const std::vector<int> sizes = {9, 12, 17, 24, 31, 40};
    // The program's own drawing, the thread not involved.
    std::vector<std::vector<unsigned char>> expected;
    for (int size : sizes)
        expected.push_back(Draw(size));

    // Drawn ahead, then shown.
    AddAnew();
    const size_t before = qsm::gdi::FinishGlyphWarming();
    qsm::gdi::WarmGlyphs(MusicFont(sizes[0]), AllBytes());
    EXPECT_GT(qsm::gdi::FinishGlyphWarming(), before);
    EXPECT_EQ(Draw(sizes[0]), expected[0]);
    // Shown while the thread draws them: the program takes turns with the thread over each glyph.
    for (size_t i = 1; i < sizes.size(); ++i) {
        qsm::gdi::WarmGlyphs(MusicFont(sizes[i]), AllBytes());
        EXPECT_EQ(Draw(sizes[i]), expected[i]) << sizes[i];
    }
    // The thread still drawing while the face goes.
    for (int size : sizes)
        qsm::gdi::WarmGlyphs(MusicFont(size + 1), AllBytes());
    AddAnew();
    EXPECT_EQ(Draw(sizes[1]), expected[1]);
    qsm::gdi::FinishGlyphWarming();
    EXPECT_TRUE(RemoveFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr));
}

TEST(GlyphWarm, AProcessForkedWhileTheThreadRunsEndsWithoutIt) {
    ASSERT_EQ(AddFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr), 1);
    qsm::gdi::WarmGlyphs(MusicFont(10), AllBytes());
    qsm::gdi::FinishGlyphWarming();
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(std::exit(0), ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(RemoveFontResourceExA(kMusic.c_str(), FR_PRIVATE, nullptr));
}

}  // namespace
