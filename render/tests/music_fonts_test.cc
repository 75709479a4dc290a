#include "render/music_fonts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "render/tests/render_test_util.h"

namespace {

using qsm::testing::RecordingContext;

TEST(MusicFonts, StaffSpaceIsNormalisedAndWidthsAreMeasured) {
    TMusicFontsData data;
    TColorPalette palette;
    for (auto [asked, got] : {std::pair{0, 2}, {1, 2}, {7, 8}, {12, 12}}) {
        TMusicFonts f(asked, &data, &palette);
        EXPECT_EQ(f.StaffSpace, got) << asked;
    }
    TMusicFonts f(12, &data, &palette);
    int w7 = f.GlyphWidths[7];
    EXPECT_GT(w7, 12);  // a note head is wider than a staff space
    EXPECT_EQ(f.StemWidth, w7 / 14 + 1);
    EXPECT_EQ(f.StemPenWidth, w7 / 16 + 1);
    EXPECT_EQ(f.LineWidth, 12 / 14 + 1);
    EXPECT_EQ(f.AccidentalColumnWidth, f.GlyphWidths[42] * 5 / 4);
    EXPECT_EQ(f.GlyphWidths[1], w7);  // the blank head spaces like a filled one
    EXPECT_EQ(f.GlyphWidths[0], 0);
    EXPECT_EQ(f.LyricHeight, MulDiv(data.Fonts[2].PointSize, 8, 16));
    // Zooming measures again at the new size.
    f.SetStaffSpace(40);
    EXPECT_EQ(f.StaffSpace, 40);
    EXPECT_NEAR(f.GlyphWidths[7], w7 * 40 / 12, 2);
    EXPECT_EQ(f.LineWidth, 40 / 14 + 1);
    // Widths outside the measured range are 0.
    EXPECT_EQ(f.GetGlyphWidth(82), 0);
    EXPECT_EQ(f.GetGlyphWidth(84), 0);
    EXPECT_EQ(f.GetGlyphWidth(-1), 0);
    EXPECT_EQ(f.GetGlyphWidth(1, 200), 0);
}

TEST(MusicFonts, ByteAndWideCodesOfEveryGlyphAgree) {
    // The widths are measured through the byte codes and the glyphs written through U+F000 + code: both
    // must reach the same glyph of the music font, the digits of the time signatures too.
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(40, &data, &palette);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f.MusicFont);
    for (int g = 0; g < kMeasuredGlyphCount; ++g) {
        BYTE code = GetGlyphCode(g);
        WCHAR wide = static_cast<WCHAR>(code < 0x20 ? code : 0xF000 + code);
        SIZE sz{};
        GetTextExtentPoint32W(dc, &wide, 1, &sz);
        EXPECT_EQ(sz.cx, f.GlyphWidths[g]) << "glyph " << g;
        bool blank = g == 0 || g == 35 || g == 51;
        EXPECT_EQ(f.GlyphWidths[g] > 0, !blank) << "glyph " << g;
    }
    for (char digit = '0'; digit <= '9'; ++digit) {
        SIZE a{}, w{};
        GetTextExtentPointA(dc, &digit, 1, &a);
        WCHAR wide = static_cast<WCHAR>(0xF000 + digit);
        GetTextExtentPoint32W(dc, &wide, 1, &w);
        EXPECT_GT(a.cx, 0) << digit;
        EXPECT_EQ(a.cx, w.cx) << digit;
    }
    SelectObject(dc, old);
    DeleteDC(dc);
}

TEST(MusicFonts, DeviceFormAndStaffLineThickness) {
    TMusicFontsData data;
    TColorPalette palette;
    HDC screen = qsm::gdi::CreateRecordingDC(96);
    TMusicFonts s(screen, &data, &palette);
    EXPECT_EQ(s.StaffSpace, 6);  // MulDiv(96, 16, 288) = 5, made even
    HDC printer = qsm::gdi::CreateRecordingDC(600);
    SetStaffLineThickness(250);
    TMusicFonts p(printer, &data, &palette);
    EXPECT_EQ(p.StaffSpace, 34);
    EXPECT_EQ(p.LineWidth, 6);
    // A zoomed view never gets lines thicker than half a space.
    TMusicFonts z(4, &data, &palette);
    EXPECT_LE(z.LineWidth, 2);
    // A screen view: 250 thousandths at 96 dpi is 1 pixel at the natural 6, scaled to the zoom.
    z.SetStaffSpace(40);
    EXPECT_EQ(z.LineWidth, MulDiv(1, 40, 6));
    SetStaffLineThickness(0);
    p.ResetForDevice(screen);
    EXPECT_EQ(p.StaffSpace, 6);
    EXPECT_EQ(p.LineWidth, 1);
    DeleteDC(screen);
    DeleteDC(printer);
}

TEST(MusicFonts, DeviceFormPrintsToPdf) {
    std::string path = ::testing::TempDir() + "qsm_music_fonts_print.pdf";
    HDC pdf = qsm::gdi::CreatePdfDC(path.c_str(), 595.0, 842.0, 600);
    ASSERT_NE(pdf, nullptr);
    DOCINFOA di{sizeof(DOCINFOA), "glyphs", nullptr, nullptr, 0};
    ASSERT_GT(StartDocA(pdf, &di), 0);
    ASSERT_GT(StartPage(pdf), 0);
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(pdf, &data, &palette);
    EXPECT_EQ(f.StaffSpace, 34);  // MulDiv(600, 16, 288) = 33, made even
    f.AttachDC(pdf, pdf);
    f.OriginY = 1000;
    f.DrawStaffLines(300, 3000, 5, true);
    f.DrawGlyphAtPos(2, 400, 4);
    f.DrawTempoMark("Allegro", 2, 120, 1000, -12);
    f.DetachDC();
    ASSERT_GT(EndPage(pdf), 0);
    ASSERT_GT(EndDoc(pdf), 0);
    DeleteDC(pdf);
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string bytes(1 << 20, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    std::remove(path.c_str());
    EXPECT_EQ(bytes.substr(0, 5), "%PDF-");
    // The music font and the text font are embedded.
    EXPECT_NE(bytes.find("QSM2STDA"), std::string::npos);
    EXPECT_NE(bytes.find("LiberationSerif"), std::string::npos);
}

TEST(MusicFonts, StaffSizeZeroOrNegativeUsesTheDefault) {
    TColorPalette palette;
    for (int staffSize : {0, -8}) {
        TMusicFontsData data;
        data.StaffSize = staffSize;
        TMusicFonts f(12, &data, &palette);
        EXPECT_EQ(data.StaffSize, staffSize);  // stored value untouched
        EXPECT_EQ(f.LyricHeight, MulDiv(data.Fonts[2].PointSize, 8, 16));
        LOGFONTA lf;
        ASSERT_EQ(GetObjectA(f.GetFont(1), sizeof lf, &lf), static_cast<int>(sizeof lf));
        EXPECT_EQ(lf.lfHeight, -MulDiv(data.Fonts[1].PointSize, 48, 16));
    }
}

TEST(MusicFonts, FontsFollowTheRecords) {
    TMusicFontsData data;
    data.Fonts[0].PointSize = -10;  // used by its absolute value
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    LOGFONTA lf;
    GetObjectA(f.GetFontForStyle(2), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -MulDiv(10, 48, 16));
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfItalic, 1);
    EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
    GetObjectA(f.GetFontForStyle(0), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -60);
    // A record keeps a size below 2 as a file gave it; text is drawn at 2 points at least.
    data.Fonts[2].Set("Times New Roman", 0, 0, 0);
    data.Fonts[3].Set("Times New Roman", 0, 1, 0);
    TMusicFonts small(12, &data, &palette);
    EXPECT_EQ(small.LyricHeight, MulDiv(2, 8, 16));
    GetObjectA(small.GetFontForStyle(4), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -MulDiv(2, 48, 16));
    GetObjectA(small.GetFontForStyle(5), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -MulDiv(2, 48, 16));
    GetObjectA(f.GetFontForStyle(0), sizeof lf, &lf);
    EXPECT_EQ(lf.lfCharSet, SYMBOL_CHARSET);
    GetObjectA(f.GetFontForStyle(1), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -40);
    EXPECT_EQ(f.GetFontForStyle(14), nullptr);
    EXPECT_EQ(f.GetFont(12), nullptr);

    // The record's own height for a device: -MulDiv(points, LOGPIXELSY, 72), at most -2.
    HDC dc = qsm::gdi::CreateRecordingDC(96);
    data.Fonts[4].ToLogFontForDC(dc, &lf);
    EXPECT_EQ(lf.lfHeight, -16);
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    TQSFontSpec tiny("Arial", TQSFontSpec::kItalic, 2, 238);
    HDC low = qsm::gdi::CreateRecordingDC(20);
    tiny.ToLogFontForDC(low, &lf);
    EXPECT_EQ(lf.lfHeight, -2);
    EXPECT_EQ(lf.lfCharSet, 238);
    EXPECT_EQ(lf.lfItalic, 1);
    DeleteDC(dc);
    DeleteDC(low);
}

TEST(MusicFonts, FaceTestAndFallback) {
    EXPECT_TRUE(TMusicFonts::IsFontInstalled(nullptr));
    EXPECT_TRUE(TMusicFonts::IsFontInstalled("qsm2std"));
    EXPECT_FALSE(TMusicFonts::IsFontInstalled("No Such Music Face"));
    // A face of 32 characters and more is cut to the 31 that fit.
    EXPECT_FALSE(TMusicFonts::IsFontInstalled("QSM2STDAQSM2STDAQSM2STDAQSM2STDAQSM2STDA"));

    TMusicFontsData data;
    std::strcpy(data.MusicFontFace, "No Such Music Face");
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    LOGFONTA lf;
    GetObjectA(f.MusicFont, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "QSM2STDA");
    std::strcpy(data.MusicFontFace, "QSM2STD");
    f.SetStaffSpace(12);
    GetObjectA(f.MusicFont, sizeof lf, &lf);
    EXPECT_STREQ(lf.lfFaceName, "QSM2STD");
}

TEST(GlyphWriter, WideOrByteOutput) {
    RecordingContext c(12);
    SetUseWideTextForSymbols(true);
    c.fonts.DrawGlyph(0, 19, 10, 100);
    SetUseWideTextForSymbols(false);
    c.fonts.DrawGlyph(0, 19, 10, 100);
    SetUseWideTextForSymbols(true);
    auto w = c.Calls("TextOutW");
    auto a = c.Calls("TextOutA");
    ASSERT_EQ(w.size(), 1u);
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(w[0].wtext, std::u16string(1, u'\uF07A'));
    EXPECT_EQ(a[0].text, "\x7A");
    EXPECT_EQ(w[0].textAlign, static_cast<UINT>(TA_BASELINE | TA_LEFT));
    EXPECT_EQ(w[0].fontHeight, -60);
    // The dot is raised by a quarter space.
    EXPECT_EQ(w[0].args, (std::vector<int32_t>{10, 100 - 3}));
}

TEST(GlyphWriter, CueFlagAndDoubleFlatOffsets) {
    RecordingContext c(12);
    c.fonts.DrawGlyph(1, 15, 50, 100);
    c.fonts.DrawGlyph(0, 15, 50, 100);
    auto out = c.Calls("TextOutW");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].args[1], 116);  // 2*12*2/3 lower at cue size
    EXPECT_EQ(out[0].fontHeight, -40);
    EXPECT_EQ(out[1].args[1], 124);
    c.Clear();
    c.fonts.GlyphWidths[43] = 9;
    EXPECT_EQ(c.fonts.DrawGlyph(0, 43, 100, 50), 9);
    EXPECT_EQ(c.Calls("TextOutW")[0].args[0], 97);
    // Cue widths: truncated in one accessor, rounded in the other.
    c.fonts.GlyphWidths[43] = 10;
    EXPECT_EQ(c.fonts.GetGlyphWidth(1, 43), 6);
    EXPECT_EQ(c.fonts.GetCueGlyphWidth(true, 43), 7);
    EXPECT_EQ(c.fonts.GetCueGlyphWidth(false, 43), 10);
    EXPECT_EQ(c.fonts.DrawGlyph(1, 43, 100, 50), 6);
}

TEST(GlyphWriter, VerticalAdjustmentsAtBothSizes) {
    // The y each glyph is written at when asked for y = 500, at normal and cue size, for U = 12 and 40.
    struct Row {
        int glyph;
        int u12, cue12, u40, cue40;
    };
    const Row rows[] = {
        {15, 24, 16, 80, 53},  {16, 24, 16, 80, 53},  {17, 36, 24, 120, 80},  {18, 48, 32, 160, 106},
        {19, -3, -2, -10, -6}, {41, -3, -2, -10, -6}, {47, -3, -2, -10, -6},  {49, -3, -2, -10, -6},
        {20, 1, 1, 2, 1},      {27, 8, 5, 26, 17},    {29, 8, 5, 26, 17},     {73, 8, 5, 26, 17},
        {80, 8, 5, 26, 17},    {30, 12, 8, 40, 26},   {45, -6, -4, -20, -13}, {50, 20, 14, 66, 44},
        {81, 9, 6, 30, 20},    {7, 0, 0, 0, 0},       {44, 0, 0, 0, 0},       {46, 0, 0, 0, 0},
        {11, 0, 0, 0, 0},      {14, 0, 0, 0, 0},      {2, 0, 0, 0, 0},
    };
    for (int u : {12, 40}) {
        RecordingContext c(u);
        for (const Row& r : rows) {
            for (int size : {0, 1}) {
                c.Clear();
                c.fonts.DrawGlyph(size, r.glyph, 10, 500);
                auto out = c.Calls("TextOutW");
                ASSERT_EQ(out.size(), 1u) << r.glyph;
                int want = u == 12 ? (size ? r.cue12 : r.u12) : (size ? r.cue40 : r.u40);
                EXPECT_EQ(out[0].args[1] - 500, want)
                    << "glyph " << r.glyph << " size " << size << " U " << u;
                EXPECT_EQ(out[0].args[0], 10);
            }
        }
    }
}

TEST(GlyphWriter, UndrawnIndicesWriteNothing) {
    RecordingContext c(12);
    for (int g : {0, 35, 51, 82, 83, 84, 85, -1, 1000})
        c.fonts.DrawGlyph(0, g, 10, 10);
    EXPECT_TRUE(c.Calls("TextOutW").empty());
    EXPECT_TRUE(c.Calls("TextOutA").empty());
    // Positions: y = pos*U/2 + origin, truncated toward zero.
    c.fonts.DrawGlyphAtPos(7, 30, -3);
    EXPECT_EQ(c.Calls("TextOutW")[0].args[1], 200 - 18);
    EXPECT_EQ(GetGlyphCode(81), 0x73);
    EXPECT_EQ(GetGlyphCode(85), 0);
}

TEST(GlyphWriter, StemAttachOffsets) {
    RecordingContext c(12);
    int span = 12 - c.fonts.StemPenWidth;
    EXPECT_EQ(c.fonts.GetStemAttachOffset(0, 7, 1), MulDiv(2, span, 13));
    EXPECT_EQ(c.fonts.GetStemAttachOffset(0, 7, -1), 0);
    EXPECT_EQ(c.fonts.GetStemAttachOffset(0, 54, -1), MulDiv(1, span, 2));
    EXPECT_EQ(c.fonts.GetStemAttachOffset(0, 57, 1), MulDiv(-1, span, 2));
    EXPECT_EQ(c.fonts.GetStemAttachOffset(1, 71, 1), MulDiv(2, span, 12));
    EXPECT_EQ(c.fonts.GetStemAttachOffset(0, 5, 1), 0);
}

TEST(TextOutput, AlignmentsAndEmptyTexts) {
    RecordingContext c(12);
    c.fonts.DrawText(3, 0, 10, 4, "abc");
    c.fonts.DrawText(3, 1, 10, 4, "abc");
    c.fonts.DrawText(3, 2, 10, 4, "abc");
    c.fonts.DrawText(3, 3, 10, 4, "abc");
    c.fonts.DrawText(3, 4, 10, 4, "abc");
    c.fonts.DrawText(3, 1, 10, 4, "");
    c.fonts.DrawText(3, 1, 10, 4, nullptr);
    c.fonts.DrawText(99, 1, 10, 4, "x");
    auto out = c.Calls("TextOutA");
    ASSERT_EQ(out.size(), 5u);
    SelectObject(c.dc, c.fonts.GetFontForStyle(3));
    SIZE sz;
    GetTextExtentPointA(c.dc, "abc", 3, &sz);
    EXPECT_EQ(out[0].args[1], 224 - sz.cy / 2);
    EXPECT_EQ(out[0].textAlign, 0u);
    EXPECT_EQ(out[1].textAlign, 24u);
    EXPECT_EQ(out[2].textAlign, 8u);
    EXPECT_EQ(out[3].textAlign, 0u);
    EXPECT_EQ(out[4].textAlign, 6u);
    EXPECT_EQ(out[1].args[1], 224);
    EXPECT_EQ(c.fonts.MeasureBoldText("abc"), sz.cx);
    EXPECT_EQ(c.fonts.MeasureText(3, ""), 0);
    EXPECT_EQ(c.fonts.MeasureText(3, nullptr), 0);
    const WCHAR wide[] = u"abc";
    EXPECT_EQ(c.fonts.MeasureWideText(3, wide), sz.cx);
}

TEST(TextOutput, TimeSignatures) {
    RecordingContext c(12);
    int w12 = c.fonts.MeasureText(0, "12"), w8 = c.fonts.MeasureText(0, "8");
    ASSERT_GT(w12, w8);
    EXPECT_EQ(c.fonts.MeasureTimeSignature(0, 12, 8), w12);
    c.fonts.DrawTimeSignature(0, 12, 8, 40);
    auto out = c.Calls("TextOutA");
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].text, "12");
    EXPECT_EQ(out[0].args, (std::vector<int32_t>{40, 200}));
    EXPECT_EQ(out[1].text, "8");
    EXPECT_EQ(out[1].args, (std::vector<int32_t>{40 + (w12 - w8) / 2, 224}));
    EXPECT_EQ(out[1].textAlign, 24u);
    EXPECT_EQ(out[1].fontCharSet, SYMBOL_CHARSET);
    c.Clear();
    EXPECT_EQ(c.fonts.MeasureTimeSignature(2, 0, 0), c.fonts.GlyphWidths[40]);
    c.fonts.DrawTimeSignature(2, 0, 0, 40);
    auto glyph = c.Calls("TextOutW");
    ASSERT_EQ(glyph.size(), 1u);
    EXPECT_EQ(glyph[0].wtext, std::u16string(1, u'\uF045'));
    EXPECT_EQ(glyph[0].args[1], 212 - 3);  // position 2, raised a quarter space
}

TEST(TextOutput, TempoMark) {
    RecordingContext c(12);
    c.fonts.DrawTempoMark("Allegro", 3, 96, 10, -6);
    const auto& all = c.All();
    std::vector<std::string> texts;
    std::vector<int> xs;
    for (const auto& r : all) {
        if (r.op == "TextOutA") texts.push_back(r.text), xs.push_back(r.args[0]);
        if (r.op == "TextOutW") texts.push_back("<note>"), xs.push_back(r.args[0]);
    }
    ASSERT_EQ(texts, (std::vector<std::string>{"Allegro", " (", "<note>", ".=96)"}));
    int wText = c.fonts.MeasureBoldText("Allegro"), wParen = c.fonts.MeasureBoldText(" (");
    EXPECT_EQ(xs[1], 10 + wText);
    EXPECT_EQ(xs[2], 10 + wText + wParen);
    EXPECT_EQ(xs[3], xs[2] + c.fonts.GlyphWidths[28]);
    EXPECT_EQ(c.fonts.MeasureTempoMark("Allegro", 3, 96),
              wText + wParen + c.fonts.GlyphWidths[28] + c.fonts.MeasureBoldText(".=96)"));
    c.Clear();
    c.fonts.DrawTempoMark(nullptr, 0, 120, 10, -6);
    auto a = c.Calls("TextOutA");
    ASSERT_EQ(a.size(), 1u);
    EXPECT_EQ(a[0].text, " =120");
    EXPECT_EQ(c.Calls("TextOutW")[0].wtext, std::u16string(1, u'\uF048'));
}

TEST(TextOutput, BarNumbers) {
    RecordingContext c(12);
    c.fonts.DrawBarNumber(100, -10, 1, 5);
    c.fonts.DrawBarNumber(100, -10, 3, 5);
    c.fonts.DrawBarNumber(100, -10, 2, 5);
    c.fonts.DrawBarNumber(100, -10, 0, 5);
    auto text = c.Calls("TextOutA");
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(text[0].text, "5");
    EXPECT_EQ(text[1].text, " 5 ");
    SelectObject(c.dc, c.fonts.GetFont(1));
    SIZE sz;
    GetTextExtentPointA(c.dc, " 5 ", 3, &sz);
    int y = 200 - 60;
    EXPECT_EQ(text[1].args, (std::vector<int32_t>{100 - sz.cx / 2, y - sz.cy / 2}));
    auto rects = c.Calls("Rectangle");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].args, (std::vector<int32_t>{100 - sz.cx / 2, y - (sz.cy / 2 + 4), 100 + sz.cx / 2,
                                                   y + sz.cy / 2 + 4}));
    EXPECT_EQ(rects[0].brushStyle, BS_NULL);
    EXPECT_EQ(rects[0].penWidth, c.fonts.LineWidth);
    auto ellipses = c.Calls("Ellipse");
    ASSERT_EQ(ellipses.size(), 1u);
    EXPECT_EQ(ellipses[0].args,
              (std::vector<int32_t>{100 - sz.cx / 2, y - sz.cx / 2, 100 + sz.cx / 2, y + sz.cx / 2}));
    EXPECT_EQ(c.fonts.MeasureBarNumber(3, 5), sz.cx);
    EXPECT_EQ(c.fonts.MeasureBarNumber(0, 5), 0);
}

TEST(TextOutput, ExpressionMarker) {
    RecordingContext c(12);
    EXPECT_EQ(c.fonts.GetExpressionMarkerWidth(), c.fonts.GlyphWidths[50]);
    c.fonts.DrawExpressionMarker(10, 0, 0);
    auto out = c.Calls("TextOutW");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].args[1], 200 + 12 * 13 / 8 + 1);
    c.fonts.SetExpressionArrowLength(40);
    EXPECT_EQ(c.fonts.GetExpressionMarkerWidth(), (c.fonts.GlyphWidths[7] + 1) * 2);
    c.fonts.DrawExpressionMarker(10, 0, 1);
    EXPECT_EQ(c.Calls("Polygon").size(), 2u);
}

TEST(DrawingContext, AttachColoursAndDetach) {
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    HDC dc = qsm::gdi::CreateRecordingDC();
    HGDIOBJ pen0 = GetCurrentObject(dc, OBJ_PEN), brush0 = GetCurrentObject(dc, OBJ_BRUSH);
    f.AttachDC(dc, dc);
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    EXPECT_EQ(GetTextColor(dc), palette.GetColor(0));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), palette.GetPen(0));
    f.SelectColor(4);
    EXPECT_EQ(GetTextColor(dc), palette.GetColor(4));
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), palette.GetPen(4));
    // Entries past the palette keep the current colour.
    f.SelectColor(8 + 9);
    f.SelectColor(-1);
    EXPECT_EQ(f.CurrentColor, 4);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), palette.GetPen(4));
    f.DrawGlyph(0, 7, 0, 0);
    f.DetachDC();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush0);
    EXPECT_EQ(f.Attached, 0);
    EXPECT_EQ(f.OutputDC, nullptr);
    DeleteDC(dc);
}

TEST(DrawingContext, PaintInsideAMeasuringBracket) {
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    int before = f.MeasureBoldText("abc");  // measuring works with nothing attached
    EXPECT_GT(before, 0);
    f.BeginMeasuring();
    HDC measuring = f.ReferenceDC;
    ASSERT_NE(measuring, nullptr);
    HDC dc = qsm::gdi::CreateRecordingDC();
    f.AttachDC(dc, dc);
    EXPECT_EQ(f.ReferenceDC, dc);
    f.DetachDC();
    EXPECT_EQ(f.ReferenceDC, measuring);  // the bracket goes on
    EXPECT_EQ(f.RefCount, 1);
    EXPECT_EQ(f.MeasureBoldText("abc"), before);
    f.EndMeasuring();
    EXPECT_EQ(f.RefCount, 0);
    EXPECT_EQ(f.ReferenceDC, nullptr);
    f.EndMeasuring();  // unbalanced: ignored
    EXPECT_EQ(f.RefCount, 0);
    DeleteDC(dc);
}

TEST(DrawingContext, RebuildingKeepsPaintAndMeasuringState) {
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    f.BeginMeasuring();
    HDC measuring = f.ReferenceDC;
    f.SetStaffSpace(20);  // a zoom while the view measures
    EXPECT_EQ(f.ReferenceDC, measuring);
    EXPECT_EQ(f.RefCount, 1);
    f.EndMeasuring();
    EXPECT_EQ(f.RefCount, 0);
    EXPECT_EQ(f.ReferenceDC, nullptr);

    HDC dc = qsm::gdi::CreateRecordingDC();
    HGDIOBJ pen0 = GetCurrentObject(dc, OBJ_PEN), brush0 = GetCurrentObject(dc, OBJ_BRUSH);
    f.AttachDC(dc, dc);
    f.DrawGlyph(0, 7, 10, 10);
    f.ResetForDevice(dc);  // a device change during a page
    EXPECT_EQ(f.Attached, 1);
    f.DrawGlyph(0, 7, 10, 10);
    f.DetachDC();
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush0);
    EXPECT_EQ(f.RefCount, 0);
    DeleteDC(dc);
}

}  // namespace
