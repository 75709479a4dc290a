// Scrolling the score view one bar at a time through a 32-staff score in a 1920 x 1080 window: each
// step moves the position, lays out the system again and draws the window. The counter gives the mean
// width of the window drawn again per step.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench/layout_score_text.h"
#include "core/ram_stream.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "render/layout/score_draw_info.h"
#include "render/view/score_view.h"
#include "score/base/color_palette.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace {

constexpr int kStaves = 32;

std::string MakeScore(int bars) {
    return qsm::bench::MakeLayoutScoreText(kStaves, bars);
}

void BM_ScrollOneBarAndRepaint(benchmark::State& state) {
    qsm::InstallScoreHooks();
    qsm::wm::ResetForTests();
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreText(MakeScore(200));
    TColorPalette palette;
    auto top = std::make_unique<TWindow>(static_cast<TWindow*>(nullptr), "bench");
    top->Attr.Style = WS_POPUP | WS_VISIBLE;
    top->Attr.X = top->Attr.Y = 0;
    top->Attr.W = 1920;
    top->Attr.H = 1080;
    auto* view = new TStaticScoreView(score.get(), &palette, top.get(), 1, "", 0, 0, 1920, 1080);
    top->Create();
    qsm::wm::PumpMessages();
    double drawn = 0;
    for (auto _ : state) {
        view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
        if (view->GetPosition().GetIndex() + 8 >= view->GetTopStaffItemCount())
            view->SendMessage(WM_KEYDOWN, VK_HOME, 1);
        RECT update{};
        if (GetUpdateRect(*view, &update, FALSE)) drawn += update.right - update.left;
        view->UpdateWindow();
    }
    state.counters["drawn_px"] = benchmark::Counter(drawn, benchmark::Counter::kAvgIterations);
    top.reset();
    qsm::wm::ResetForTests();
}
BENCHMARK(BM_ScrollOneBarAndRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
