// Writes a contact sheet of every music glyph and every line and shape primitive to a PNG file, for review.
// Usage: render_contact_sheet OUTPUT.png
#include <cstdio>

#include "platform/gdi/gdi_surface.h"
#include "render/base/color_palette.h"
#include "render/base/fonts_data.h"
#include "render/music_fonts.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    const int u = 16, width = 1400, height = 1400;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ oldBmp = SelectObject(dc, bmp);
    PatBlt(dc, 0, 0, width, height, WHITENESS);
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(u, &data, &palette);
    f.AttachDC(dc, dc);

    // Every glyph on its own staff cell, its index below.
    const int cols = 14, cellW = 96, cellH = 150;
    for (int g = 0; g < kMeasuredGlyphCount; ++g) {
        int cx = 20 + (g % cols) * cellW, cy = 20 + (g / cols) * cellH;
        f.OriginY = cy + 5 * u;
        f.SelectColor(1);
        f.DrawStaffLines(cx, cx + cellW - 8, 5, false);
        f.SelectColor(g % 7 == 0 ? 4 : 0);
        int pos = (g >= 2 && g <= 4) || g == 53 ? 4 : g == 20 ? -2 : 0;
        f.DrawGlyphAtPos(0, g, cx + 20, pos);
        f.DrawGlyphAtPos(1, g, cx + 26 + f.GetGlyphWidth(g), pos);
        char label[8];
        std::snprintf(label, sizeof label, "%d", g);
        f.SelectColor(0);
        f.DrawText(4, 3, cx + 2, -10, label);
    }

    // Primitives on two long staves.
    int top = 20 + 6 * cellH + 30;
    f.OriginY = top + 4 * u;
    f.SelectColor(0);
    f.DrawStaffLines(20, width - 20, 5, true);
    int x = 40;
    f.DrawGlyphAtPos(2, x, 4);
    x += f.GetGlyphWidth(2) + 10;
    f.DrawTimeSignature(0, 12, 8, x);
    x += f.MeasureTimeSignature(0, 12, 8) + 20;
    for (int flags = 0; flags <= 4; ++flags) {
        f.DrawGlyphAtPos(7, x, 1);
        f.DrawStemUp(x, 1, 0, 7, 0, flags, 0);
        f.DrawGlyphAtPos(7, x + 40, -1);
        f.DrawStemDown(x + 40, -1, 0, 7, 0, flags, 0);
        x += 90;
    }
    f.DrawGlyphAtPos(1, 7, x, 3);
    f.DrawStemUp(x, 3, 1, 7, 0, 1, 0);
    x += 40;
    f.DrawLedgerLines(x - 4, 7, 10, f.GetGlyphWidth(7) + 8);
    f.DrawGlyphAtPos(7, x, 10);
    f.DrawLedgerLines(x + 36, -7, -8, f.GetGlyphWidth(7) + 8);
    f.DrawGlyphAtPos(6, x + 40, -8);
    x += 90;
    for (int style = 0; style <= 13; ++style) {
        f.DrawBarLine(x, style, -4, 4);
        x += f.GetBarLineWidth(style) + 16;
    }
    f.SelectColor(9);
    f.DrawTieArc(4, true, x, x + 80);
    f.DrawTieArc(-5, false, x, x + 250);
    f.SelectColor(0);

    f.OriginY = top + 16 * u;
    f.DrawStaffLines(20, width - 20, 5, false);
    f.DrawBrace(60, f.OriginY - 2 * u - 12 * u, f.OriginY + 2 * u, false);
    f.DrawBracket(100, f.OriginY - 14 * u, f.OriginY + 2 * u);
    x = 130;
    int y0 = f.PosToY(-2), y1 = f.PosToY(-5);
    f.DrawBeams(x, y0, x + 120, y1, 1, false, 3);
    f.DrawBeams(x + 140, y0, x + 200, y0, -1, true, 2);
    f.DrawTripletMark(1, 0, x, f.PosToY(-10), x + 200, f.PosToY(-12), true);
    x += 240;
    f.DrawSlur({x, f.PosToY(-6)}, {x + 100, f.PosToY(-14)}, {x + 200, f.PosToY(-6)}, false, false);
    f.DrawSlur({x, f.PosToY(6)}, {x + 100, f.PosToY(12)}, {x + 200, f.PosToY(6)}, true, false);
    x += 230;
    f.DrawHairpin(1, x, x + 150, 8, false);
    f.DrawHairpin(2, x + 170, x + 320, 8, true);
    f.DrawTempoMark("Allegro", 3, 96, x, -12);
    x += 340;
    f.DrawMultiMeasureRestBar(x, x + 160, "12", -6, true);
    f.DrawBarNumber(x + 200, -8, 1, 5);
    f.DrawBarNumber(x + 240, -8, 2, 12);
    f.DrawBarNumber(x + 290, -8, 3, 34);
    f.DrawDottedArrow(8, 6, x, x + 150);
    f.DrawArrow(10, x + 170, -2, 6);
    f.DrawRuler(6, 10, x, 200, false);
    f.DrawRuler(6, 10, x + 220, 30, true);
    f.DrawSystemSeparator(x + 280, f.PosToY(8));
    f.DrawExpressionMarker(x + 320, 6, 0);

    f.DetachDC();
    bool ok = qsm::gdi::WritePng(dc, argv[1]);
    SelectObject(dc, oldBmp);
    DeleteObject(bmp);
    DeleteDC(dc);
    return ok ? 0 : 1;
}
