// Scrolling the score view one bar at a time through a 32-staff score in a 1920 x 1080 window: each
// step moves the position, lays out the system again and repaints the whole window.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "core/ram_stream.h"
#include "platform/wm/backend.h"
#include "render/base/color_palette.h"
#include "render/layout/score_draw_info.h"
#include "render/view/score_view.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

namespace {

constexpr int kStaves = 32;

std::string MakeScore(int bars) {
    std::string t = "!QuillStaveComposer(2.51)\n";
    for (int s = 0; s < kStaves; ++s) {
        t += "|AddStaff|Name:S" + std::to_string(s) + "\n|Clef|Type:" + (s % 2 ? "Bass" : "Treble") +
             "\n|TimeSig|Signature:4/4\n";
        for (int b = 0; b < bars; ++b) {
            // About four items a bar, so that 8,000 bars stay inside a staff's item limit.
            switch ((b + s) % 3) {
                case 0:
                    t += "|Note|Dur:Half,Slur|Pos:0\n|Note|Dur:Half|Pos:-1^\n";
                    break;
                case 1:
                    for (int i = 0; i < 4; ++i)
                        t += "|Note|Dur:8th|Pos:" + std::to_string(i - 2) + "|Opts:Beam" +
                             (i == 0 ? "=First" : (i == 3 ? "=End" : "")) + "\n";
                    t += "|Chord|Dur:Half|Pos:-2,0,2\n";
                    break;
                default:
                    t += "|Note|Dur:Whole|Pos:-1\n";
                    break;
            }
            t += "|Bar\n";
        }
    }
    return t;
}

void BM_ScrollOneBarAndRepaint(benchmark::State& state) {
    qsm::wm::ResetForTests();
    std::string text = MakeScore(200);
    TQSRFlatRamStream stream(text.data(), static_cast<DWORD>(text.size()), static_cast<DWORD>(text.size()));
    std::unique_ptr<TMusicScore> score(ImportTextScore(stream, nullptr, -1));
    TColorPalette palette;
    auto top = std::make_unique<TWindow>(static_cast<TWindow*>(nullptr), "bench");
    top->Attr.Style = WS_POPUP | WS_VISIBLE;
    top->Attr.X = top->Attr.Y = 0;
    top->Attr.W = 1920;
    top->Attr.H = 1080;
    auto* view = new TStaticScoreView(score.get(), &palette, top.get(), 1, "", 0, 0, 1920, 1080);
    top->Create();
    qsm::wm::PumpMessages();
    for (auto _ : state) {
        view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
        if (view->GetPosition().GetIndex() + 8 >= view->GetTopStaffItemCount())
            view->SendMessage(WM_KEYDOWN, VK_HOME, 1);
        view->UpdateWindow();
    }
    top.reset();
    qsm::wm::ResetForTests();
}
BENCHMARK(BM_ScrollOneBarAndRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
