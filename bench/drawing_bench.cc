// Costs of the drawing path: building a drawing context, measuring text, writing glyphs and drawing the
// shapes of a staff into a bitmap.
#include <benchmark/benchmark.h>

#include <cstring>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_surface.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"

namespace {

struct Bitmap {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    Bitmap(int w, int h) {
        dc = CreateCompatibleDC(nullptr);
        bmp = CreateBitmap(w, h, 1, 32, nullptr);
        old = SelectObject(dc, bmp);
        PatBlt(dc, 0, 0, w, h, WHITENESS);
    }
    ~Bitmap() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
};

void BM_BuildDrawingContext(benchmark::State& state) {
    TMusicFontsData data;
    TColorPalette palette;
    int u = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TMusicFonts f(u, &data, &palette);
        benchmark::DoNotOptimize(f.GlyphWidths[7]);
    }
}
BENCHMARK(BM_BuildDrawingContext)->Arg(12)->Arg(40);

void BM_MeasureText(benchmark::State& state) {
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    const char* text = "Allegro ma non troppo";
    for (auto _ : state)
        benchmark::DoNotOptimize(f.MeasureBoldText(text));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(std::strlen(text)));
}
BENCHMARK(BM_MeasureText);

void BM_DrawGlyphs(benchmark::State& state) {
    Bitmap b(1200, 200);
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(static_cast<int>(state.range(0)), &data, &palette);
    f.AttachDC(b.dc, b.dc);
    f.OriginY = 100;
    for (auto _ : state) {
        for (int i = 0; i < 100; ++i)
            f.DrawGlyphAtPos(7, 10 + (i * 11) % 1100, (i % 9) - 4);
    }
    f.DetachDC();
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_DrawGlyphs)->Arg(12)->Arg(40);

void BM_DrawStaffShapes(benchmark::State& state) {
    Bitmap b(1200, 200);
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts f(12, &data, &palette);
    f.AttachDC(b.dc, b.dc);
    f.OriginY = 100;
    for (auto _ : state) {
        // One bar's worth: staff lines, eight stems with a beam pair, a tie, a slur and a bar line.
        f.DrawStaffLines(10, 1190, 5, false);
        for (int i = 0; i < 8; ++i)
            f.DrawStemUp(20 + i * 30, 2, 0, 7, 0, 0, 0);
        f.DrawBeams(34, 50, 244, 44, 1, false, 2);
        f.DrawTieArc(2, true, 20, 200);
        f.DrawSlur({20, 80}, {130, 40}, {240, 80}, false, false);
        f.DrawBarLine(260, 0, -4, 4);
    }
    f.DetachDC();
}
BENCHMARK(BM_DrawStaffShapes);

}  // namespace
