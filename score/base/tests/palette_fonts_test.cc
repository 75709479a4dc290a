#include <gtest/gtest.h>

#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/base/vocabulary.h"

namespace {

COLORREF PenColor(HPEN pen) {
    LOGPEN lp = {};
    EXPECT_EQ(GetObjectA(pen, sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
    return lp.lopnColor;
}

TEST(ColorPaletteTest, DefaultsAndPens) {
    TColorPalette palette;
    EXPECT_EQ(palette.GetColor(PALETTE_PLAY_HIGHLIGHT), RGB(255, 0, 0));
    EXPECT_EQ(palette.GetColor(PALETTE_HIGHLIGHT1), RGB(255, 0, 0));
    EXPECT_EQ(palette.GetColor(PALETTE_ACTIVE_STAFF), RGB(0, 0, 192));
    EXPECT_EQ(palette.GetColor(15), RGB(255, 208, 64));
    for (int i = 0; i < PALETTE_SIZE; ++i) {
        ASSERT_NE(palette.GetPen(i), nullptr);
        EXPECT_EQ(PenColor(palette.GetPen(i)), palette.GetColor(i)) << i;
    }
    // Colours 8-15 of an item's 4-bit field would index past the table; they read entry 0.
    EXPECT_EQ(palette.GetColor(8 + 9), palette.GetColor(0));
    EXPECT_EQ(palette.GetPen(-1), palette.GetPen(0));
    EXPECT_STREQ(GetListName(1, PALETTE_PLAY_HIGHLIGHT), "Play Highlight");
}

TEST(ColorPaletteTest, SetColorMakesANewPenOnlyForANewColour) {
    TColorPalette palette;
    HPEN before = palette.GetPen(3);
    palette.SetColor(3, palette.GetColor(3));
    EXPECT_EQ(palette.GetPen(3), before);
    palette.SetColor(3, RGB(1, 2, 3));
    EXPECT_EQ(palette.GetColor(3), RGB(1, 2, 3));
    EXPECT_EQ(PenColor(palette.GetPen(3)), RGB(1, 2, 3));
    HPEN after = palette.GetPen(3);
    palette.SetColor(3, RGB(1, 2, 3));
    EXPECT_EQ(palette.GetPen(3), after);
    palette.SetColor(16, RGB(9, 9, 9));  // no such entry
    EXPECT_EQ(palette.GetColor(0), RGB(0, 0, 0));
}

TEST(ColorPaletteTest, ReadAndFormatColours) {
    const COLORREF def = RGB(7, 7, 7);
    EXPECT_EQ(TColorPalette::ReadColor("RGB(10,20,30)", def), RGB(10, 20, 30));
    EXPECT_EQ(TColorPalette::ReadColor("RGB( 10, +20,30) trailing", def), RGB(10, 20, 30));
    EXPECT_EQ(TColorPalette::ReadColor("RGB(10,20,30", def), RGB(10, 20, 30));
    EXPECT_EQ(TColorPalette::ReadColor("RGB(256,0,511)", def), RGB(0, 0, 255));
    EXPECT_EQ(TColorPalette::ReadColor("RGB(-1,0,0)", def), RGB(255, 0, 0));
    EXPECT_EQ(TColorPalette::ReadColor("RGB(99999999999999999999999,1,2)", def) & 0xFFFF00, RGB(0, 1, 2));
    for (const char* bad :
         {"RGB(10,20)", "", "rgb(1,2,3)", "RGB (1,2,3)", "RGB(1, ,3)", "RGB(1;2;3)", "RGB(-,1,2)"})
        EXPECT_EQ(TColorPalette::ReadColor(bad, def), def) << bad;
    EXPECT_EQ(TColorPalette::ReadColor(nullptr, def), def);

    char text[32];
    qsm::FormatColor(RGB(255, 208, 64), text, sizeof(text));
    EXPECT_STREQ(text, "RGB(255,208,64)");
    EXPECT_EQ(TColorPalette::ReadColor(text, def), RGB(255, 208, 64));
}

TEST(MusicFontsDataTest, DefaultsFollowTheStaffSize) {
    TMusicFontsData data;
    EXPECT_EQ(data.StaffSize, 16);
    EXPECT_STREQ(data.GetMusicFontFace(), "QSM2STDA");
    const int sizes[FONTSLOT_COUNT] = {10, 8, 7, 24, 12, 8, 8, 8, 8, 8, 8, 8};
    const BYTE styles[FONTSLOT_COUNT] = {3, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < FONTSLOT_COUNT; ++i) {
        EXPECT_STREQ(data.Fonts[i].GetFaceName(), "Times New Roman");
        EXPECT_EQ(data.Fonts[i].GetPointSize(), sizes[i]) << i;
        EXPECT_EQ(data.Fonts[i].GetStyle(), styles[i]) << i;
        EXPECT_EQ(data.Fonts[i].GetCharSet(), 0);
    }
    EXPECT_EQ(data.GetLyricHeight(), 4);  // 7 * 8 / 16 = 3.5, rounded

    data.SetDefaultFonts(40);
    EXPECT_EQ(data.Fonts[FONTSLOT_STAFF_ITALIC].GetPointSize(), 25);
    EXPECT_EQ(data.Fonts[FONTSLOT_STAFF_LYRIC].GetPointSize(), 18);
    EXPECT_EQ(data.Fonts[FONTSLOT_PAGE_TITLE].GetPointSize(), 24);
    EXPECT_EQ(data.Fonts[FONTSLOT_USER1 + 5].GetPointSize(), 20);
    data.SetDefaultFonts(2);  // point sizes stay at least 2
    EXPECT_EQ(data.Fonts[FONTSLOT_STAFF_BOLD].GetPointSize(), 2);

    std::strcpy(data.MusicFontFace, "QSM2STD");
    EXPECT_STREQ(data.GetMusicFontFace(), "QSM2STD");
}

TEST(MusicFontsDataTest, StaffSpaces) {
    EXPECT_EQ(qsm::NormalizeStaffSpace(7), 8);
    EXPECT_EQ(qsm::NormalizeStaffSpace(8), 8);
    EXPECT_EQ(qsm::NormalizeStaffSpace(1), 2);
    EXPECT_EQ(qsm::NormalizeStaffSpace(-5), 2);

    TMusicFontsData data;
    HDC screen = qsm::gdi::CreateRecordingDC(96);
    HDC printer = qsm::gdi::CreateRecordingDC(600);
    EXPECT_EQ(data.GetDeviceStaffSpace(screen), 6);    // 96 * 16 / 288 = 5.3
    EXPECT_EQ(data.GetDeviceStaffSpace(printer), 34);  // 600 * 16 / 288 = 33.3
    DeleteDC(screen);
    DeleteDC(printer);
}

}  // namespace
