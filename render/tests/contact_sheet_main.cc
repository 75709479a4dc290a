// Writes a contact sheet of every music glyph and every line and shape primitive to a PNG file, for review.
// Usage: render_contact_sheet OUTPUT.png
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/gdi/gdi_surface.h"
#include "render/bezier2.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"

namespace {

const int kU = 16;
const int kWidth = 1600;

// Palette entries used on the sheet.
const int kInk = 0, kLines = 1, kMark = 4, kLabel = 7;

// A small label above (or at) a staff position.
void Label(TMusicFonts& f, int x, int pos, const char* text) {
    int old = f.CurrentColor;
    f.SelectColor(kLabel);
    f.DrawText(4, 3, x, pos, text);
    f.SelectColor(old);
}

// The staff position each glyph is shown at: where the drawing code writes it.
int ShowPos(int g) {
    if ((g >= 2 && g <= 4) || g == 53) return 4;  // clefs on the bottom line
    if (g >= 11 && g <= 14) return 4;             // stem-down flags end low
    if (g >= 15 && g <= 18) return -4;            // stem-up flags start high
    if (g == 20) return -2;                       // whole rest from the fourth line
    if (g == 23) return -1;
    if (g == 24 || g == 25) return 1;
    if (g == 26) return 3;
    if (g == 40 || g == 41) return 2;
    return 0;
}

// Every glyph on a staff cell of its own, normal size then cue size, its index above. Returns the y below.
int DrawGlyphCells(TMusicFonts& f, int top) {
    const int cellH = 10 * kU;
    int x = 20, y = top;
    for (int g = 0; g < kMeasuredGlyphCount; ++g) {
        int w = f.GetGlyphWidth(g), wc = f.GetGlyphWidth(1, g);
        int cellW = std::max(6 * kU, 2 * kU + w + kU / 2 + wc + kU);
        if (x + cellW > kWidth - 20) {
            x = 20;
            y += cellH;
        }
        f.OriginY = y + 5 * kU + kU / 2;
        f.SelectColor(kLines);
        f.DrawStaffLines(x, x + cellW - kU / 2, 5, false);
        int pos = ShowPos(g);
        int gx = x + 3 * kU / 2 + (g == 43 || g == 52 ? kU / 2 : 0);
        f.SelectColor(g % 7 == 0 ? kMark : kInk);
        f.DrawGlyphAtPos(0, g, gx, pos);
        f.DrawGlyphAtPos(1, g, gx + w + kU / 2 + (g == 43 ? kU / 2 : 0), pos);
        char label[8];
        std::snprintf(label, sizeof label, "%d", g);
        Label(f, x + 2, -11, label);
        x += cellW;
    }
    return y + cellH;
}

// Sections of a staff, each with its label above: the next one starts after both its drawing and its label.
class Sections {
public:
    Sections(TMusicFonts& f, int x) : f_(f), x_(x), start_(x) {}
    int Begin(const char* label) {
        x_ = std::max(x_, labelEnd_) + kU;
        start_ = x_;
        Label(f_, x_, -16, label);
        labelEnd_ = x_ + f_.MeasureLyricText(label) + kU;
        return x_;
    }
    void End(int x) { x_ = x; }
    int X() const { return std::max(x_, labelEnd_); }

private:
    TMusicFonts& f_;
    int x_, start_, labelEnd_ = 0;
};

// Clef, key, time, notes with 0-4 flags both ways, a cue note and ledger lines on a treble staff.
void DrawStemStaff(TMusicFonts& f, int middle) {
    f.OriginY = middle;
    f.SelectColor(kInk);
    f.DrawStaffLines(20, kWidth - 20, 5, true);
    int w7 = f.GetGlyphWidth(7);
    int x = 30;
    x += f.DrawGlyphAtPos(2, x, 4) + kU / 2;
    for (int pos : {-4, -1, -5})  // F, C and G sharps
        x += f.DrawGlyphAtPos(9, x, pos);
    x += kU / 2;
    f.DrawTimeSignature(0, 12, 8, x);
    Sections s(f, x + f.MeasureTimeSignature(0, 12, 8));

    x = s.Begin("flags 0-4, stems up and down");
    for (int flags = 0; flags <= 4; ++flags) {
        f.DrawGlyphAtPos(7, x, 1);
        f.DrawStemUp(x, 1, 0, 7, 0, flags, 0);
        f.DrawGlyphAtPos(7, x + 2 * w7, -1);
        f.DrawStemDown(x + 2 * w7, -1, 0, 7, 0, flags, 0);
        x += 5 * w7;
    }
    s.End(x);
    x = s.Begin("cue note");
    f.DrawGlyphAtPos(1, 7, x, 3);
    f.DrawStemUp(x, 3, 1, 7, 0, 1, 0);
    f.DrawGlyphAtPos(1, 7, x + 2 * w7, -3);
    f.DrawStemDown(x + 2 * w7, -3, 1, 7, 0, 2, 0);
    s.End(x + 4 * w7);
    x = s.Begin("ledger lines");
    f.DrawLedgerLines(x - kU / 4, 7, 10, w7 + kU / 2);
    f.DrawGlyphAtPos(7, x, 10);
    f.DrawLedgerLines(x + 2 * w7 - kU / 4, -6, -8, f.GetGlyphWidth(6) + kU / 2);
    f.DrawGlyphAtPos(6, x + 2 * w7, -8);
    f.DrawLedgerLines(x + 4 * w7 - kU / 4, 6, 6, f.GetGlyphWidth(5) + kU / 2);
    f.DrawGlyphAtPos(5, x + 4 * w7, 6);
    s.End(x + 7 * w7);
    x = s.Begin("rests");
    for (int d = 0; d <= 6; ++d) {
        static const int kRestPos[] = {-2, 0, 0, -1, 1, 1, 3};
        x += f.DrawGlyphAtPos(20 + d, x, kRestPos[d]) + kU;
    }
    s.End(x);
    f.DrawBarLine(s.X() + kU, 0, -4, 4);
}

// Accidentals, dots, articulations, beams, a slur, a triplet and ties on a treble staff.
void DrawNoteStaff(TMusicFonts& f, int middle) {
    f.OriginY = middle;
    f.SelectColor(kInk);
    f.DrawStaffLines(20, kWidth - 20, 5, true);
    int w7 = f.GetGlyphWidth(7);
    int x = 30;
    x += f.DrawGlyphAtPos(2, x, 4);
    Sections s(f, x);

    x = s.Begin("accidentals, dots");
    const int accidentals[] = {9, 8, 10, 42, 43};
    for (int i = 0; i < 5; ++i) {
        int pos = 4 - 2 * i;
        f.DrawGlyphAtPos(accidentals[i], x + (i == 4 ? f.GetGlyphWidth(43) / 4 + 1 : 0), pos);
        f.DrawGlyphAtPos(7, x + f.GetAccidentalColumnWidth(0), pos);
        x += f.GetAccidentalColumnWidth(0) + 2 * w7;
    }
    f.DrawGlyphAtPos(7, x, 0);
    f.DrawStemDown(x, 0, 0, 7, 0, 0, 0);
    f.DrawGlyphAtPos(19, x + w7 + kU / 3, -1);  // double dotted: the dots in the space above
    f.DrawGlyphAtPos(19, x + w7 + kU / 3 + kU * 2 / 3, -1);
    s.End(x + 4 * w7);

    x = s.Begin("articulations above and below");
    f.DrawGlyphAtPos(7, x, 4);
    f.DrawStemDown(x, 4, 0, 7, 0, 0, 0);
    int mx = x + w7 / 2;
    const int above[] = {19, 44, 47, 49, 45};
    for (int i = 0; i < 5; ++i)
        f.DrawGlyphAtPos(above[i], mx - f.GetGlyphWidth(above[i]) / 2, 2 - 2 * i);
    x += 4 * w7;
    f.DrawGlyphAtPos(7, x, -4);
    f.DrawStemUp(x, -4, 0, 7, 0, 0, 0);
    mx = x + w7 / 2;
    const int below[] = {19, 44, 48, 49, 46};
    for (int i = 0; i < 5; ++i)
        f.DrawGlyphAtPos(below[i], mx - f.GetGlyphWidth(below[i]) / 2, -2 + 2 * i + 1);
    s.End(x + 3 * w7);

    // Four beamed sixteenths, stems up, with a slur under them and a triplet bracket over the first three.
    x = s.Begin("beams, slur, triplet");
    const int beamPos[] = {3, 1, 0, -2};
    int xs[4], heads[4];
    for (int i = 0; i < 4; ++i) {
        xs[i] = x + i * 3 * w7;
        heads[i] = f.PosToY(beamPos[i]);
        f.DrawGlyphAtPos(7, xs[i], beamPos[i]);
    }
    int s1 = xs[0] + w7, s4 = xs[3] + w7;
    int e1 = f.GetStemEnd(1, beamPos[0], 0, 2, 0) - kU / 2, e4 = f.GetStemEnd(1, beamPos[3], 0, 2, 0);
    auto beamY = [&](int sx) { return e1 + (e4 - e1) * (sx - s1) / (s4 - s1); };
    for (int i = 0; i < 4; ++i)
        f.DrawStemLine(xs[i] + w7, heads[i] - f.GetStemAttachOffset(0, 7, 1), beamY(xs[i] + w7), 1);
    f.DrawBeams(s1, e1, s4, e4, 1, false, 2);
    POINT under[4];
    for (int i = 0; i < 4; ++i)
        under[i] = {xs[i] + w7 / 2, heads[i] + kU};
    Bezier2 slur;
    slur.FitOverPoints(4, under, kU, -1);
    f.DrawSlur({slur.x0, slur.y0}, {slur.x1, slur.y1}, {slur.x2, slur.y2}, true, false);
    f.DrawTripletMark(1, 0, s1, e1 - kU, xs[2] + w7, beamY(xs[2] + w7) - kU, true);
    s.End(xs[3] + 3 * w7);

    x = s.Begin("ties: short and long");
    f.DrawGlyphAtPos(7, x, 2);
    f.DrawGlyphAtPos(7, x + 4 * w7, 2);
    f.DrawTieArc(2, true, x + w7, x + 4 * w7);
    f.DrawGlyphAtPos(7, x, -3);
    f.DrawGlyphAtPos(7, x + 13 * w7, -3);
    f.DrawTieArc(-3, false, x + w7, x + 13 * w7);
    s.End(x + 15 * w7);
    f.DrawBarLine(s.X(), 5, -4, 4);
}

// Every bar line style, then the thick ones as rectangles, a multi-measure rest, bar numbers and a tempo
// mark.
void DrawBarStaff(TMusicFonts& f, int middle, int left) {
    f.OriginY = middle;
    f.SelectColor(kInk);
    f.DrawStaffLines(left, kWidth - 20, 5, true);
    int x = left + 2 * kU;
    char label[8];
    for (int style = 0; style <= 13; ++style) {
        std::snprintf(label, sizeof label, "%d", style);
        Label(f, x, -8, label);
        f.DrawBarLine(x, style, -4, 4);
        x += std::max(f.GetBarLineWidth(style), kU) + kU;
    }
    x += kU;
    Label(f, x, -8, "as rectangles");
    SetDrawThickLinesAsRectangles(true);
    for (int style : {0, 1, 2, 4, 5, 8, 9}) {
        f.DrawBarLine(x, style, -4, 4);
        x += f.GetBarLineWidth(style) + kU;
    }
    SetDrawThickLinesAsRectangles(false);
    x += kU;
    Label(f, x, -16, "multi-bar rest");
    f.DrawMultiMeasureRestBar(x, x + 10 * kU, "12", -6, true);
    x += 12 * kU;
    Label(f, x, -16, "bar numbers");
    f.DrawBarNumber(x + kU, -9, 1, 5);
    f.DrawBarNumber(x + 4 * kU, -9, 2, 12);
    f.DrawBarNumber(x + 8 * kU, -9, 3, 34);
    x += 11 * kU;
    f.DrawTempoMark("Allegro", 3, 96, x, -9);
    f.DrawTempoMark(nullptr, 4, 60, x + f.MeasureTempoMark("Allegro", 3, 96) + kU, -9);
    f.SelectColor(kMark);
    f.DrawGlyphAtPos(33, x, 0);
    f.DrawItalicText(x + f.GetGlyphWidth(33) + kU / 2, 0, "D.S. al Coda");
    f.SelectColor(kInk);
}

// Hairpins, dynamics, curves, rulers, arrows and system decorations.
void DrawShapeStaff(TMusicFonts& f, int middle, int left) {
    f.OriginY = middle;
    f.SelectColor(kInk);
    f.DrawStaffLines(left, kWidth - 20, 5, false);
    Sections s(f, left);
    int x = s.Begin("dynamics, hairpins");
    int dx = x;
    for (int level = 0; level < 8; ++level)
        dx += f.DrawGlyphAtPos(73 + level, dx, -7) + kU / 2;
    f.DrawHairpin(1, x, x + 8 * kU, 7, false);
    f.DrawHairpin(2, x + 9 * kU, x + 17 * kU, 7, true);
    f.DrawHairpin(1, x, x + 42 * kU, 11, false);  // longer than 40 spaces: opens wider
    s.End(std::max(dx, x + 17 * kU));
    x = s.Begin("slurs: above, below, cue");
    f.DrawSlur({x, f.PosToY(-6)}, {x + 5 * kU, f.PosToY(-13)}, {x + 10 * kU, f.PosToY(-6)}, false, false);
    f.DrawSlur({x, f.PosToY(5)}, {x + 5 * kU, f.PosToY(9)}, {x + 10 * kU, f.PosToY(5)}, true, false);
    f.DrawSlur({x + 11 * kU, f.PosToY(-2)}, {x + 14 * kU, f.PosToY(-7)}, {x + 17 * kU, f.PosToY(-2)}, false,
               true);
    s.End(x + 18 * kU);
    x = s.Begin("arrows, rulers, marker");
    f.DrawDottedArrow(8, -6, x, x + 8 * kU);
    f.DrawArrow(10, x + 9 * kU, -2, 6);
    f.DrawArrow(10, x + 10 * kU, 6, -2);
    f.DrawRuler(6, 10, x, 10 * kU, false);
    f.DrawRuler(6, 10, x + 11 * kU, 2 * kU, true);
    f.DrawBoldText(x + 12 * kU, -5, "text");
    f.DrawExpressionMarker(x + 12 * kU, -5, 0);
    s.End(x + 15 * kU);
    x = s.Begin("separator, stroke, dashes, lines");
    f.DrawSystemSeparator(x + kU, f.PosToY(0));
    f.DrawBarStroke(x + 4 * kU, f.PosToY(-4), f.PosToY(4));
    f.DrawDashedVertical(f.StemWidth, x + 6 * kU, f.PosToY(-4), f.PosToY(4), kU / 2);
    f.DrawThinLine(x + 8 * kU, f.PosToY(-4), x + 11 * kU, f.PosToY(4));
    f.DrawLine(x + 12 * kU, f.PosToY(4), x + 15 * kU, f.PosToY(-4));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(kU, &data, &palette);

    // The glyph cells decide how tall the sheet is: measure them on a scratch bitmap first.
    int glyphsBottom;
    {
        HDC scratch = CreateCompatibleDC(nullptr);
        HBITMAP sb = CreateBitmap(kWidth, 2000, 1, 32, nullptr);
        HGDIOBJ old = SelectObject(scratch, sb);
        f.AttachDC(scratch, scratch);
        glyphsBottom = DrawGlyphCells(f, 20);
        f.DetachDC();
        SelectObject(scratch, old);
        DeleteObject(sb);
        DeleteDC(scratch);
    }
    const int stemStaff = glyphsBottom + 11 * kU, noteStaff = stemStaff + 16 * kU;
    const int barStaff = noteStaff + 17 * kU, shapeStaff = barStaff + 15 * kU;
    const int lineStaves = shapeStaff + 14 * kU;
    const int height = lineStaves + 5 * kU;

    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(kWidth, height, 1, 32, nullptr);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    PatBlt(dc, 0, 0, kWidth, height, WHITENESS);
    f.AttachDC(dc, dc);
    DrawGlyphCells(f, 20);
    DrawStemStaff(f, stemStaff);
    DrawNoteStaff(f, noteStaff);

    // A system of two staves with a brace and a bracket.
    const int left = 6 * kU;
    f.SelectColor(kInk);
    f.DrawBrace(left - kU, barStaff - 2 * kU, shapeStaff + 2 * kU, false);
    f.DrawBracket(left, barStaff - 2 * kU, shapeStaff + 2 * kU);
    f.DrawBarStroke(left, barStaff - 2 * kU, shapeStaff + 2 * kU);
    DrawBarStaff(f, barStaff, left);
    DrawShapeStaff(f, shapeStaff, left);

    // One-line and three-line staves with their end strokes, which always span a five-line staff.
    f.OriginY = lineStaves;
    f.SelectColor(kInk);
    f.DrawStaffLines(20, 40 * kU, 1, true);
    f.DrawGlyphAtPos(53, 2 * kU, 4);
    f.DrawGlyphAtPos(54, 6 * kU, 0);
    Label(f, 20, -10, "one line");
    f.DrawStaffLines(44 * kU, kWidth - 20, 3, true);
    for (int i = 0; i < 5; ++i)
        f.DrawGlyphAtPos(56, 47 * kU + 4 * i * kU, i % 2 ? -2 : 2);
    Label(f, 44 * kU, -10, "three lines");

    f.DetachDC();
    bool ok = qsm::gdi::WritePng(dc, argv[1]);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    return ok ? 0 : 1;
}
