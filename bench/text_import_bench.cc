// Import of a generated text score: staves x bars of notes, beamed eighths, chords and rests, with the
// section lines of every staff. Reports bytes per second of text.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "core/ram_stream.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

namespace {

std::string MakeTextScore(int staves, int bars) {
    std::string text = "!QuillStaveComposer(2.51)\n|SongInfo|Title:\"Generated\"|Author:Bench\n";
    text.reserve(static_cast<size_t>(staves) * bars * 180);
    for (int s = 0; s < staves; ++s) {
        const std::string n = std::to_string(s + 1);
        text += "|AddStaff|Name:Part " + n + "|Group:Standard\n";
        text += "|StaffProperties|Channel:" + std::to_string(s % 16 + 1) + "|Volume:100|EndingBar:Double\n";
        text += "|StaffInstrument|Name:\"Piano\"|Patch:" + std::to_string(s % 128) + "\n";
        text += s % 2 == 0 ? "|Clef|Type:Treble\n" : "|Clef|Type:Bass\n";
        text += "|Key|Signature:Bb,Eb|Tonic:B\n|TimeSig|Signature:4/4\n|Tempo|Tempo:96|Base:Quarter|Pos:8\n";
        for (int b = 0; b < bars; ++b) {
            const int p = (b * 3 + s) % 9 - 4;
            const std::string pos = std::to_string(p);
            text += "|Note|Dur:4th|Pos:" + pos + "\n";
            text += "|Note|Dur:8th|Pos:#" + std::to_string(p + 1) + "|Opts:Stem=Up,Beam=First\n";
            text += "|Note|Dur:8th|Pos:" + std::to_string(p + 2) + "^|Opts:Stem=Up,Beam=End\n";
            text += "|Chord|Dur:4th,Staccato|Pos:" + pos + "," + std::to_string(p + 2) + "," +
                    std::to_string(p + 4) + "\n";
            text += "|Rest|Dur:4th\n|Bar\n";
        }
    }
    text += "!QuillStaveComposer-End\n";
    return text;
}

// Imports the text once per iteration; freeing the score is no part of the import.
void ImportEachIteration(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        TQSRFlatRamStream stream(const_cast<char*>(text.data()), static_cast<DWORD>(text.size()),
                                 static_cast<DWORD>(text.size()));
        std::unique_ptr<TMusicScore> score(ImportTextScore(stream, nullptr, -1));
        if (!score) state.SkipWithError("import failed");
        benchmark::DoNotOptimize(score.get());
        state.PauseTiming();
        score.reset();
        state.ResumeTiming();
    }
}

void BM_ImportTextScore(benchmark::State& state) {
    const int staves = static_cast<int>(state.range(0));
    const int bars = std::getenv("QSM_BENCH_SMOKE") ? 20 : static_cast<int>(state.range(1));
    const std::string text = MakeTextScore(staves, bars);
    ImportEachIteration(state, text);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
    state.counters["text_MB"] = static_cast<double>(text.size()) / 1e6;
}

BENCHMARK(BM_ImportTextScore)
    ->Args({32, 2000})
    ->Args({32, 500})
    ->Args({32, 8000})
    ->Unit(benchmark::kMillisecond);

// One staff holding a single beam group of that many eighths.
std::string MakeOneBeamGroup(int notes) {
    std::string text =
        "!QuillStaveComposer(2.51)\n|AddStaff|Name:Beam\n|Clef|Type:Treble\n|TimeSig|Signature:4/4\n";
    for (int i = 0; i < notes; ++i) {
        const char* beam = i == 0 ? "Beam=First" : i == notes - 1 ? "Beam=End" : "Beam";
        text += "|Note|Dur:8th|Pos:" + std::to_string(i % 9 - 4) + "|Opts:" + beam + "\n";
    }
    text += "!QuillStaveComposer-End\n";
    return text;
}

void BM_ImportOneBeamGroup(benchmark::State& state) {
    const int notes = std::getenv("QSM_BENCH_SMOKE") ? 200 : static_cast<int>(state.range(0));
    const std::string text = MakeOneBeamGroup(notes);
    ImportEachIteration(state, text);
    state.counters["notes"] = notes;
}

BENCHMARK(BM_ImportOneBeamGroup)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
