#include <gtest/gtest.h>

#include "render/tests/render_test_util.h"

namespace {

using qsm::testing::RecordingContext;
using Args = std::vector<int32_t>;

// Each line as x1, y1, x2, y2 with the pen width it was drawn with.
struct Line {
    Args pts;
    int width;
};
std::vector<Line> Lines(const RecordingContext& c) {
    std::vector<Line> out;
    Args from;
    for (const auto& r : c.All()) {
        if (r.op == "MoveToEx") from = r.args;
        if (r.op == "LineTo") {
            out.push_back({{from[0], from[1], r.args[0], r.args[1]}, r.penWidth});
            from = r.args;
        }
    }
    return out;
}

// After every primitive the current colour's pen and the hollow brush are selected again.
void ExpectDefaultsRestored(const RecordingContext& c) {
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_PEN), c.palette.GetPen(c.fonts.CurrentColor));
    EXPECT_EQ(GetCurrentObject(c.dc, OBJ_BRUSH), GetStockObject(NULL_BRUSH));
}

TEST(Shapes, StaffAndLedgerLines) {
    RecordingContext c(12);
    c.fonts.DrawStaffLines(10, 300, 1, true);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 3u);
    int end = 300 - (c.fonts.StemWidth / 2 + 1);
    EXPECT_EQ(lines[0].pts, (Args{10, 200, end, 200}));
    EXPECT_EQ(lines[0].width, c.fonts.LineWidth);
    EXPECT_EQ(lines[1].pts, (Args{10, 176, 10, 224}));  // the ends span a five-line staff
    EXPECT_EQ(lines[1].width, c.fonts.StemWidth);
    EXPECT_EQ(lines[2].pts, (Args{300, 176, 300, 224}));
    c.Clear();
    c.fonts.DrawStaffLines(10, 300, 5, false);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].pts[1], 176);
    EXPECT_EQ(lines[4].pts[1], 224);
    c.Clear();
    c.fonts.DrawLedgerLines(50, 7, 10, 20);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts, (Args{50, 248, 70, 248}));
    EXPECT_EQ(lines[1].pts, (Args{50, 260, 70, 260}));
    c.Clear();
    c.fonts.DrawLedgerLines(50, -7, -6, 20);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts[1], 200 - 48);
    EXPECT_EQ(lines[1].pts[1], 200 - 60);
    ExpectDefaultsRestored(c);
}

TEST(Shapes, LineWidthsFollowTheDirection) {
    RecordingContext c(40);
    int sw = c.fonts.StemWidth, lw = c.fonts.LineWidth;
    c.fonts.DrawLine(10, 10, 10, 90);
    c.fonts.DrawLine(10, 10, 90, 10);
    c.fonts.DrawLine(10, 10, 90, 40);
    c.fonts.DrawThinLine(10, 10, 90, 40);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].width, sw);
    EXPECT_EQ(lines[1].width, lw);
    EXPECT_EQ(lines[2].width, (sw + lw + 1) / 2);
    EXPECT_EQ(lines[3].width, 1);  // whatever pen is selected: the colour's own
    EXPECT_EQ(c.All().back().penColor, c.palette.GetColor(0));
    // Stems keep their outer edge at x: a pen of width 3 moves right by 1 for a stem down and stays for up.
    ASSERT_EQ(c.fonts.StemPenWidth, 3);
    c.Clear();
    c.fonts.DrawStemLine(100, 50, 150, -1);
    c.fonts.DrawStemLine(100, 150, 50, 1);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts, (Args{101, 50, 101, 150}));
    EXPECT_EQ(lines[1].pts, (Args{100, 150, 100, 50}));
    EXPECT_EQ(lines[0].width, 3);
    // The system's opening stroke: a flat-capped bar of the thin bar width.
    c.Clear();
    c.fonts.DrawBarStroke(200, 100, 300);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 1u);
    int thin = sw * 7 / 5;
    EXPECT_EQ(lines[0].pts, (Args{200 + thin / 2, 100, 200 + thin / 2, 300}));
    EXPECT_EQ(lines[0].width, thin);
    ExpectDefaultsRestored(c);
}

TEST(Shapes, StemEnds) {
    RecordingContext c(12);
    const int u = 12;
    // A quarter at the middle line, stem up: 7U/2 above the head.
    EXPECT_EQ(c.fonts.GetStemEnd(1, 0, 0, 0, 0), 200 - 7 * u / 2);
    // Three flags up: minimum 2U + U/2 + U/5, length 3U/2 plus that.
    int m = 2 * u + (2 * u) / 4 + u / 5;
    EXPECT_EQ(c.fonts.GetStemEnd(1, -6, 0, 3, 0), 200 - 36 - (3 * u / 2 + m));
    // A low note with the stem up reaches at least the middle line.
    EXPECT_EQ(c.fonts.GetStemEnd(1, 12, 0, 0, 0), 200);
    // A note far above with the stem up is shortened.
    EXPECT_EQ(c.fonts.GetStemEnd(1, -6, 0, 0, 0), 200 - 36 - (7 * u / 2 - 6 * u / 9));
    // An explicit length, and cue size.
    EXPECT_EQ(c.fonts.GetStemEnd(-1, 0, 0, 0, 9), 200 + 54);
    EXPECT_EQ(c.fonts.GetStemEnd(-1, 0, 1, 0, 9), 200 + 36);
    EXPECT_EQ(c.fonts.GetStemEnd(-1, 0, 0, 2, 0), 200 + 3 * u / 2 + (3 * u) / 5 + 2 * u);
}

TEST(Shapes, StemsWithFlags) {
    RecordingContext c(12);
    c.fonts.DrawStemUp(100, 2, 0, 7, 0, 1, 0);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 1u);
    int xs = 100 + c.fonts.GlyphWidths[7];
    int h = c.fonts.StemPenWidth / 2;
    int end = c.fonts.GetStemEnd(1, 2, 0, 1, 0);
    EXPECT_EQ(lines[0].pts, (Args{xs - (h ? h - 1 : 0), 212 - c.fonts.GetStemAttachOffset(0, 7, 1),
                                  xs - (h ? h - 1 : 0), end}));
    EXPECT_EQ(lines[0].width, c.fonts.StemPenWidth);
    auto flag = c.Calls("TextOutW");
    ASSERT_EQ(flag.size(), 1u);
    EXPECT_EQ(flag[0].wtext, std::u16string(1, u'\uF082'));
    EXPECT_EQ(flag[0].args, (Args{xs, end + 24}));
    c.Clear();
    c.fonts.DrawStemDown(100, -2, 1, 7, 0, 2, 0);
    flag = c.Calls("TextOutW");
    ASSERT_EQ(flag.size(), 1u);
    EXPECT_EQ(flag[0].wtext, std::u16string(1, u'\uF088'));
    EXPECT_EQ(flag[0].args, (Args{100, c.fonts.GetStemEnd(-1, -2, 1, 2, 0)}));
    ExpectDefaultsRestored(c);
}

TEST(Shapes, Beams) {
    RecordingContext c(12);
    c.fonts.DrawBeams(10, 100, 60, 90, 1, false, 2);
    c.fonts.DrawBeams(10, 100, 60, 90, -1, true, 1);
    auto polys = c.Calls("Polygon");
    ASSERT_EQ(polys.size(), 3u);
    int s2 = c.fonts.StemWidth / 2;
    EXPECT_EQ(polys[0].args, (Args{10, 100 - s2, 10, 100 - s2 + 6, 60, 90 - s2 + 6, 60, 90 - s2}));
    EXPECT_EQ(polys[1].args,
              (Args{10, 100 - s2 + 12, 10, 100 - s2 + 18, 60, 90 - s2 + 18, 60, 90 - s2 + 12}));
    EXPECT_EQ(polys[0].brushStyle, BS_SOLID);
    EXPECT_EQ(polys[0].penWidth, 1);
    EXPECT_EQ(polys[2].args, (Args{10, 100 + s2, 10, 100 + s2 - 3, 60, 90 + s2 - 3, 60, 90 + s2}));
    ExpectDefaultsRestored(c);
}

TEST(Shapes, TripletMarks) {
    RecordingContext c(12);
    c.fonts.DrawTripletMark(1, 0, 100, 150, 200, 170, true);
    int gw = c.fonts.GlyphWidths[81], left = 150 - gw / 2;
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 4u);
    int xa = left - 3, xb = left + gw + 6;
    EXPECT_EQ(lines[0].pts, (Args{100, 150, xa, 150 + (xa - 100) * 20 / 100}));
    EXPECT_EQ(lines[1].pts, (Args{xb, 150 + (xb - 100) * 20 / 100, 200, 170}));
    EXPECT_EQ(lines[2].pts, (Args{100, 150, 100, 156}));
    auto g = c.Calls("TextOutW");
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0].args, (Args{left, 160 + 9}));
    // Both ends at one x: the hooks only.
    c.Clear();
    c.fonts.DrawTripletMark(-1, 0, 100, 150, 100, 170, true);
    lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts, (Args{100, 150, 100, 144}));
}

TEST(Shapes, TiesAndSlurs) {
    RecordingContext c(12);
    int w7 = c.fonts.GlyphWidths[7];
    c.fonts.DrawTieArc(0, false, 200, 100);
    c.fonts.DrawTieArc(0, true, 100, 100 + 11 * w7);
    auto curves = c.Calls("PolyBezier");
    ASSERT_EQ(curves.size(), 2u);
    ASSERT_EQ(curves[0].args.size(), 26u);
    int y = 200 - 3;
    EXPECT_EQ(curves[0].args[0], 100);
    EXPECT_EQ(curves[0].args[1], y);
    EXPECT_EQ(curves[0].args[7], y - 4 * 12 / 5);  // short tie: 4U/5 high
    EXPECT_EQ(curves[0].args[13], y);              // the outer arc ends at xR
    EXPECT_EQ(curves[0].args[12], 200);
    EXPECT_EQ(curves[0].args[19], y - (2 + 9 + 1));  // the return arc is U/6 + h + 1 high
    EXPECT_EQ(curves[1].args[7], 203 + 12);          // a long tie below is U high
    EXPECT_EQ(c.Calls("StrokeAndFillPath").size(), 2u);
    EXPECT_EQ(curves[0].brushStyle, BS_SOLID);
    // A context without a measured note head still draws.
    c.fonts.GlyphWidths[7] = 0;
    c.fonts.DrawTieArc(0, false, 100, 500);
    c.Clear();
    c.fonts.DrawSlur({0, 100}, {30, 70}, {60, 100}, false, false);
    curves = c.Calls("PolyBezier");
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].args, (Args{0, 100, 20, 80, 40, 80, 60, 100, 40, 82, 20, 82, 0, 100}));
    EXPECT_EQ(curves[0].penWidth, 12 / 24 + 1);
    ExpectDefaultsRestored(c);
}

TEST(Shapes, Hairpins) {
    RecordingContext c(12);
    c.fonts.DrawHairpin(1, 100, 200, 0, false);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts, (Args{100, 200, 200, 192}));
    EXPECT_EQ(lines[1].pts, (Args{100, 200, 200, 208}));
    EXPECT_EQ(lines[0].width, 12 / 8 + 1);
    c.Clear();
    c.fonts.DrawHairpin(2, 100, 100 + 41 * 12, 0, true);
    lines = Lines(c);
    EXPECT_EQ(lines[0].pts, (Args{100 + 41 * 12, 200 - 1, 100, 200 - 9}));
}

TEST(Shapes, BarLines) {
    RecordingContext c(12);
    int sw = c.fonts.StemWidth, thin = sw * 7 / 5, w7 = c.fonts.GlyphWidths[7];
    int thick = w7 * 2 / 3, gap = w7 / 5 + 1, w30 = c.fonts.GlyphWidths[30];
    EXPECT_EQ(c.fonts.GetBarLineWidth(0), sw);
    EXPECT_EQ(c.fonts.GetBarLineWidth(5), gap + thick + sw);
    EXPECT_EQ(c.fonts.GetBarLineWidth(9), w30 + thick + 2 * gap + sw);
    EXPECT_EQ(c.fonts.GetBarLineWidth(11), sw);
    EXPECT_EQ(c.fonts.GetBarLineWidth(14), sw);
    EXPECT_EQ(c.fonts.GetBarLineWidth(13), 2 * w7);
    EXPECT_EQ(c.fonts.GetRepeatDotsSpace(), w30 + w7 / 5 + 1);
    c.fonts.DrawBarLine(100, 11, -4, 4);
    c.fonts.DrawBarLine(100, 14, -4, 4);
    EXPECT_TRUE(Lines(c).empty());
    c.fonts.DrawBarLine(100, 5, -1, 1);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].pts, (Args{100 + thin / 2, 188, 100 + thin / 2, 212}));  // (-1, 1) widened to (-2, 2)
    EXPECT_EQ(lines[1].pts[0], 100 + thin + gap + thick / 2);
    auto all = c.All();
    EXPECT_EQ(all[all.size() - 3].penStyle & PS_ENDCAP_MASK, PS_ENDCAP_FLAT);
    c.Clear();
    c.fonts.DrawBarLine(100, 7, -4, 4);
    auto dots = c.Calls("TextOutW");
    ASSERT_EQ(dots.size(), 1u);
    EXPECT_EQ(dots[0].args, (Args{100, 200 + 12}));
    // Drawn as rectangles: the exact width.
    SetDrawThickLinesAsRectangles(true);
    c.Clear();
    c.fonts.DrawBarLine(100, 4, -4, 4);
    SetDrawThickLinesAsRectangles(false);
    auto rects = c.Calls("Rectangle");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[0].args, (Args{100, 176, 100 + thick, 224}));
    EXPECT_EQ(rects[1].args, (Args{100 + gap + thick, 176, 100 + gap + thick + thin, 224}));
    EXPECT_EQ(rects[0].brushStyle, BS_SOLID);
    ExpectDefaultsRestored(c);
}

TEST(Shapes, DashedVerticals) {
    RecordingContext c(12);
    c.fonts.DrawDashedVertical(2, 50, 100, 130, 12);
    auto lines = Lines(c);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].pts, (Args{51, 100, 51, 104}));
    EXPECT_EQ(lines[1].pts, (Args{51, 108, 51, 116}));
    EXPECT_EQ(lines[2].pts, (Args{51, 120, 51, 128}));
    c.Clear();
    c.fonts.DrawDashedVertical(2, 50, 100, 130, 0);  // no period: one stroke
    EXPECT_EQ(Lines(c).size(), 1u);
}

TEST(Shapes, MultiRestBracesBracketsAndRulers) {
    RecordingContext c(12);
    int w7 = c.fonts.GlyphWidths[7];
    c.fonts.DrawMultiMeasureRestBar(100, 400, "12", -6, false);
    auto rects = c.Calls("Rectangle");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].args, (Args{100, 197, 400, 203}));
    auto text = c.Calls("TextOutA");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].args, (Args{100 + w7, 164}));  // held near the left end
    EXPECT_EQ(text[0].textAlign, 24u);
    c.Clear();
    c.fonts.DrawMultiMeasureRestBar(100, 400, "12", -6, true);
    EXPECT_EQ(c.Calls("TextOutA")[0].args[0], 250 - c.fonts.MeasureText(0, "12") / 2);

    c.Clear();
    c.fonts.DrawBrace(100, 150, 350, false);
    auto curves = c.Calls("PolyBezier");
    ASSERT_EQ(curves.size(), 2u);
    int t = 2 * w7 / 5 + 1, x = 100 - t, a = x - 2 * w7 + t;
    EXPECT_EQ(curves[0].args[0], a);
    EXPECT_EQ(curves[0].args[1], 250);
    EXPECT_EQ(curves[0].args[6], x);
    EXPECT_EQ(curves[0].args[7], 150);
    EXPECT_EQ(curves[1].args[7], 350);
    EXPECT_EQ(curves[0].penWidth, 12 / 20 + 1);
    EXPECT_EQ(c.fonts.GetBraceWidth(), 2 * w7);

    c.Clear();
    c.fonts.DrawBracket(100, 150, 350);
    int bw = MulDiv(2, w7, 3);
    EXPECT_EQ(c.fonts.GetBracketWidth(), bw);
    rects = c.Calls("Rectangle");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].args, (Args{100 - bw, 147, 100 - bw + MulDiv(4, w7, 9), 353}));
    curves = c.Calls("PolyBezier");
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].args[6], 100 - bw + w7);
    EXPECT_EQ(curves[0].args[7], 147 - 12);
    EXPECT_EQ(curves[1].args[7], 353 + 12);

    c.Clear();
    c.fonts.DrawRuler(6, 0, 10, 100, false);
    auto poly = c.Calls("Polyline");
    ASSERT_EQ(poly.size(), 1u);
    EXPECT_EQ(poly[0].args, (Args{10, 208, 10, 202, 109, 202, 109, 209}));
    EXPECT_EQ(poly[0].penColor, c.palette.GetColor(6));
    auto ticks = Lines(c);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks[0].pts, (Args{10 + w7 / 2, 202, 10 + w7 / 2, 206}));
    EXPECT_EQ(ticks[1].pts[3], 209);
    EXPECT_LT(ticks.back().pts[0], 10 + 100 - 3);

    c.Clear();
    c.fonts.DrawSystemSeparator(300, 200);
    EXPECT_EQ(c.Calls("Polygon").size(), 2u);
    c.Clear();
    c.fonts.DrawArrow(8, 50, 0, 6);
    auto tri = c.Calls("Polygon");
    ASSERT_EQ(tri.size(), 1u);
    EXPECT_EQ(tri[0].args[0], 56);
    EXPECT_EQ(tri[0].args[1], 236);
    EXPECT_EQ(tri[0].args[2], 53);
    EXPECT_EQ(tri[0].brushColor, c.palette.GetColor(8));
    c.Clear();
    c.fonts.DrawDottedArrow(9, 0, 10, 100);
    auto dotted = Lines(c);
    ASSERT_EQ(dotted.size(), 3u);
    EXPECT_EQ(c.All()[1].penStyle, PS_DOT);
    ExpectDefaultsRestored(c);
}

// A long session keeps many pens and brushes (zoom steps, coloured staves); whenever the kept ones are let
// go, a shape that takes a pen and then a brush still draws with its own pen and fills with its own brush.
TEST(Shapes, PenAndBrushShapesKeepTheirObjectsWhenTheKeptOnesAreLetGo) {
    for (int kept = 28; kept <= 36; ++kept) {
        RecordingContext c(40);
        c.fonts.SelectColor(1);
        for (int w = 0; w < kept; ++w) {
            c.fonts.LineWidth = 100 + w;
            c.fonts.DrawLine(10, 10, 90, 10);
        }
        c.Clear();
        c.fonts.DrawArrow(0, 100, 0, 8);
        auto lines = c.Calls("LineTo");
        auto fills = c.Calls("Polygon");
        ASSERT_FALSE(lines.empty());
        ASSERT_FALSE(fills.empty());
        EXPECT_EQ(lines[0].penColor, c.palette.GetColor(0)) << kept;
        EXPECT_EQ(lines[0].penWidth, 1) << kept;
        EXPECT_EQ(fills[0].brushColor, c.palette.GetColor(0)) << kept;
        ExpectDefaultsRestored(c);
    }
}

}  // namespace
