// Loading and saving compact score files: a generated score of 32 staves, from 500 to 8,000 bars, saved
// into memory in the "[QSZ]" envelope (or plain) and loaded back from there.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"
#include "score/file/score_file.h"
#include "score/file/staff_scan.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

constexpr int kStaves = 32;

bool Smoke() {
    return std::getenv("QSM_BENCH_SMOKE") != nullptr;
}

// Bars of 2/4: a note or a rest, a three-note chord, a bar line (three items a bar, so 8,000 bars fit a
// staff's 32,002 items).
std::unique_ptr<TMusicScore> MakeScore(int bars) {
    auto score = std::make_unique<TMusicScore>();
    for (int s = 0; s < kStaves; ++s) {
        auto* staff = new TMusicStaff();
        auto insert = [staff](TNotatedItem* item) { staff->InsertItem(item, staff->GetItemCount() - 1); };
        insert(new TClefData(s % 2 ? ctBass : ctTreble));
        insert(new TKeyData(0x48, 0, 6));
        insert(new TTimeSignatureData(2, 2, tsStandard));
        for (int b = 0; b < bars; ++b) {
            if (b % 8 == 7)
                insert(new TRestNote(dcQuarter, 0));
            else
                insert(new TMusicNote(b % 9 - 4, dcQuarter, 0, b % 5 == 0 ? acSharp : acNone));
            auto* chord = new TChordData(new TMusicNote(2, dcQuarter), new TMusicNote(0, dcQuarter));
            chord->AddNote(new TMusicNote(-2, dcQuarter));
            insert(chord);
            insert(new TBarLineData(bsSingle, 1));
        }
        score->AddStaff(staff);
    }
    return score;
}

std::vector<uint8_t> SaveToMemory(TMusicScore& score, bool compress) {
    TQSRSegRamStream file(1024);
    TQSRZLibOutStream out(compress ? 1 : 0, &file, false);
    WriteScoreFileHeader(out, score);
    out.Finish();
    std::vector<uint8_t> bytes(file.GetSize());
    file.Seek(0);
    file.ReadBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

void BM_SaveScore(benchmark::State& state) {
    auto score = MakeScore(static_cast<int>(state.range(0)));
    const bool compress = state.range(1) != 0;
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> file = SaveToMemory(*score, compress);
        bytes = file.size();
        benchmark::DoNotOptimize(file.data());
    }
    std::vector<uint8_t> plain = SaveToMemory(*score, false);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_LoadScore(benchmark::State& state) {
    const bool compress = state.range(1) != 0;
    std::vector<uint8_t> file;
    size_t plainSize = 0;
    {
        auto score = MakeScore(static_cast<int>(state.range(0)));
        file = SaveToMemory(*score, compress);
        plainSize = SaveToMemory(*score, false).size();
    }
    for (auto _ : state) {
        TQSRFlatRamStream raw(file.data(), static_cast<DWORD>(file.size()), static_cast<DWORD>(file.size()));
        TScoreFileHeader hdr;
        std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
        if (!score || hdr.Status != StatusOk) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(score.get());
        // Freeing the score is no part of loading it.
        state.PauseTiming();
        score.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plainSize));
    state.counters["file_bytes"] = static_cast<double>(file.size());
}

// Only taking each staff record's bytes out of the inflating stream, as the side-by-side reading does before
// any staff is read: the part of loading that stays on one thread.
void BM_ScanStaves(benchmark::State& state) {
    std::vector<uint8_t> file;
    size_t plainSize = 0;
    {
        auto score = MakeScore(static_cast<int>(state.range(0)));
        file = SaveToMemory(*score, state.range(1) != 0);
        plainSize = SaveToMemory(*score, false).size();
    }
    for (auto _ : state) {
        TQSRFlatRamStream raw(file.data(), static_cast<DWORD>(file.size()), static_cast<DWORD>(file.size()));
        TQSRZLibInStream in(1, &raw, false);
        TScoreFileHeader hdr;
        TMusicScore info(nullptr);
        bool ok = ReadScoreFileHeader(in, hdr);
        ReadScoreInfo(info, hdr, in);
        uint8_t selection[12];
        in.ReadBlock(selection, sizeof selection);
        const int staves = static_cast<int16_t>(in.ReadWord());
        qsm::TStaffScanner scanner(hdr.FormatVersion, in);
        qsm::TStaffBytes bytes;
        for (int i = 0; i < staves && ok; ++i)
            ok = scanner.Take(bytes);
        if (!ok || !scanner.GiveBack()) state.SkipWithError("scan failed");
        benchmark::DoNotOptimize(bytes.Data.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plainSize));
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond);
    if (Smoke()) {
        b->Args({50, 1});
        return;
    }
    for (int bars : {500, 1000, 2000, 4000, 8000})
        b->Args({bars, 1});
    b->Args({2000, 0});
}

BENCHMARK(BM_SaveScore)->Apply(Sizes);
BENCHMARK(BM_LoadScore)->Apply(Sizes);
BENCHMARK(BM_ScanStaves)->Apply(Sizes);

}  // namespace
