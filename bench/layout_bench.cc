// Layout and drawing of a large score: 32 staves of 500 to 8,000 bars laid out into systems at screen
// width, and one screen of it formatted and drawn as the score view does.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>

#include "bench/layout_score_text.h"
#include "core/ram_stream.h"
#include "platform/gdi/gdi.h"
#include "render/hooks.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/system_run.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace {

constexpr int kStaves = 32;
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

std::string MakeScore(int bars) {
    return qsm::bench::MakeLayoutScoreText(kStaves, bars);
}

TMusicScore* ScoreOf(int bars) {
    static std::map<int, std::unique_ptr<TMusicScore>> cache;
    auto& p = cache[bars];
    if (!p) {
        p = qsm::ImportTextScoreText(MakeScore(bars));
    }
    return p.get();
}

struct Context {
    TMusicFontsData data;
    TColorPalette palette;
    TMusicFonts fonts{8, &data, &palette};
};

void BM_LayoutAllSystems(benchmark::State& state) {
    qsm::InstallScoreHooks();
    TMusicScore* score = ScoreOf(static_cast<int>(state.range(0)));
    Context c;
    TScoreDrawInfo system(score, &c.fonts, 5, 3);
    for (int i = 0; i < score->GetStaffCount(); ++i)
        system.AddStaff(i);
    int systems = 0;
    for (auto _ : state) {
        systems = qsm::LayoutSystems(system, kWidth, 1 << 20, nullptr);
        benchmark::DoNotOptimize(systems);
    }
    state.counters["systems"] = systems;
    state.SetComplexityN(state.range(0));
}
#ifdef NDEBUG
#define QSM_BAR_COUNTS ->Arg(500)->Arg(2000)->Arg(8000)
#else
// Debug builds only check that the program runs: the large scores take long to build there.
#define QSM_BAR_COUNTS ->Arg(500)
#endif

BENCHMARK(BM_LayoutAllSystems) QSM_BAR_COUNTS->Unit(benchmark::kMillisecond)->Complexity();

void BM_DrawOneScreen(benchmark::State& state) {
    qsm::InstallScoreHooks();
    TMusicScore* score = ScoreOf(static_cast<int>(state.range(0)));
    Context c;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bmp = CreateBitmap(kWidth, kHeight, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    c.fonts.AttachDC(dc, dc);
    // The staves that one screen shows, as the view lays them out.
    TScoreDrawInfo system(score, &c.fonts, 5, 1);
    system.AddStavesFrom(0, kHeight);
    state.counters["staves"] = system.GetStaffCount();
    int time = 768 * static_cast<int>(state.range(0)) / 2;
    TDrawExtent extent;
    extent.Init(kWidth);
    for (auto _ : state) {
        PatBlt(dc, 0, 0, kWidth, kHeight, WHITENESS);
        system.FormatAllFromTime(time, kWidth);
        system.PrepareAlignment();
        system.DrawSystem(extent, 0, 0, -1);
    }
    c.fonts.DetachDC();
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DrawOneScreen) QSM_BAR_COUNTS->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The layout part of one screen alone: formatting the visible staves from a time and aligning them.
void BM_FormatOneScreen(benchmark::State& state) {
    qsm::InstallScoreHooks();
    TMusicScore* score = ScoreOf(static_cast<int>(state.range(0)));
    Context c;
    TScoreDrawInfo system(score, &c.fonts, 5, 1);
    system.AddStavesFrom(0, kHeight);
    int time = 768 * static_cast<int>(state.range(0)) / 2;
    for (auto _ : state) {
        system.FormatAllFromTime(time, kWidth);
        system.PrepareAlignment();
        benchmark::DoNotOptimize(system.GetStaffDrawInfo(0)->GetTotalWidth());
    }
}
BENCHMARK(BM_FormatOneScreen) QSM_BAR_COUNTS->Unit(benchmark::kMillisecond);

}  // namespace
