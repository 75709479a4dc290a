// Rendering a score's whole performance into the song buffer, as opening a score does: 32 staves of 500,
// 2,000 and 8,000 bars (the scores of the open benchmark).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "bench/layout_score_text.h"
#include "midi/score_player.h"
#include "score/base/midi_file_buf.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace {

void BM_RenderToBuffer(benchmark::State& state) {
    std::unique_ptr<TMusicScore> score =
        qsm::ImportTextScoreText(qsm::bench::MakeLayoutScoreText(32, static_cast<int>(state.range(0))));
    if (!score) {
        state.SkipWithError("cannot make the score");
        return;
    }
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    TMidiFileBuf song;
    for (auto _ : state) {
        player.RenderToBuffer(song);
        benchmark::DoNotOptimize(player.GetPlayLengthMs());
    }
    state.counters["events"] = static_cast<double>(song.GetEventCount());
    state.SetItemsProcessed(state.iterations() * song.GetEventCount());
}

void Sizes(benchmark::internal::Benchmark* b) {
    if (std::getenv("QSM_BENCH_SMOKE")) {
        b->Arg(20);
        return;
    }
    for (int bars : {500, 2000, 8000})
        b->Arg(bars);
}

BENCHMARK(BM_RenderToBuffer)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
