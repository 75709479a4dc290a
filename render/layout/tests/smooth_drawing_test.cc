// Scores are drawn smoothly into bitmaps (the screen and the score pictures): slanted beams, curves and fills
// get grey edge pixels, while staff lines, drawn on whole pixels, stay black rows on white; the DC draws with
// whole pixels again once the fonts let it go.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace {

constexpr int kWidth = 600, kHeight = 200;

// Per row of the bitmap from column x0 on: how many pixels are black, and how many are neither black nor
// white.
struct Rows {
    std::vector<int> black, grey;
};

Rows ReadRows(HDC dc, int x0 = 0) {
    Rows rows{std::vector<int>(kHeight), std::vector<int>(kHeight)};
    for (int y = 0; y < kHeight; ++y)
        for (int x = x0; x < kWidth; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            const int lum = GetRValue(c) + GetGValue(c) + GetBValue(c);
            if (lum == 0)
                ++rows.black[y];
            else if (lum < 3 * 255)
                ++rows.grey[y];
        }
    return rows;
}

int Sum(const std::vector<int>& v) {
    int n = 0;
    for (int x : v)
        n += x;
    return n;
}

TEST(SmoothDrawing, SlantedBeamsAreSmoothedWhileStaffLinesStayCrisp) {
    auto score = qsm::ImportTextScoreText(
        "!QuillStaveComposer(2.51)\n|Clef|Type:Treble\n|TimeSig|Signature:4/4\n"
        "|Note|Dur:8th|Pos:-4|Opts:Beam=First\n|Note|Dur:8th|Pos:2|Opts:Beam=End\n"
        "|Note|Dur:4th|Pos:0\n|Note|Dur:Half|Pos:-1^\n|Bar\n|Note|Dur:Whole|Pos:-1\n|Bar\n");
    ASSERT_TRUE(score);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
    TColorPalette palette;
    TMusicFontsData data;
    TMusicFonts fonts(12, &data, &palette);
    TScoreDrawInfo system(score.get(), &fonts, 5, 3);
    system.AddStaff(0);
    fonts.AttachDC(dc, dc);
    int systems = 0;
    qsm::LayoutSystems(system, kWidth - 80, 20, [&](TScoreDrawInfo& s, int) {
        TDrawExtent extent;
        extent.Init(kWidth - 80);
        s.DrawSystem(extent, 40, 40, -1);
        return ++systems < 1;
    });
    fonts.DetachDC();
    ASSERT_EQ(systems, 1);

    const Rows drawn = ReadRows(dc);
    // The staff lines: five rows black across most of the staff, each between rows that are not.
    int lines = 0;
    for (int y = 1; y + 1 < kHeight; ++y)
        if (drawn.black[y] > kWidth / 2) {
            ++lines;
            EXPECT_LT(drawn.black[y - 1], kWidth / 4) << "row " << y;
            EXPECT_LT(drawn.grey[y - 1] + drawn.grey[y + 1], kWidth / 4) << "row " << y;
        }
    EXPECT_EQ(lines, 5);
    // Text and glyphs are always smoothed; above the staff, right of the clef and time signature, only the
    // slanted beam is drawn, and its edges are grey too.
    const Rows right = ReadRows(dc, 40 + 12 * 10);
    int beamGrey = 0;
    for (int y = 0; y < kHeight && right.black[y] <= kWidth / 2; ++y)
        beamGrey += right.grey[y];
    EXPECT_GT(beamGrey, 20);

    // Let go by the fonts, the DC draws lines as GDI does: whole pixels.
    PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
    HGDIOBJ pen = SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, 10, 10, nullptr);
    LineTo(dc, 500, 150);
    SelectObject(dc, pen);
    const Rows plain = ReadRows(dc);
    EXPECT_GT(Sum(plain.black), 400);
    EXPECT_EQ(Sum(plain.grey), 0);

    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}

}  // namespace
