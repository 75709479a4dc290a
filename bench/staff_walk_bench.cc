// Walks over whole scores: formatting every staff, and a performance walk that renders every staff into the
// song event buffer in slices of 384 ticks as the score player does. Scores of 32 staves of 500, 2,000 and
// 8,000 bars of 2/4: beamed eighths with default stems, ties across bar lines, chords, slurs and rests.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "score/base/midi_file_buf.h"
#include "score/base/play_state.h"
#include "score/format/format.h"
#include "score/item_play.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

constexpr int kStaves = 32;

bool Smoke() {
    return std::getenv("QSM_BENCH_SMOKE") != nullptr;
}

TMusicNote* Eighth(int pos, int beam) {
    auto* note = new TMusicNote(pos, dcEighth);
    note->SetBeamState(beam);
    return note;
}

// Four bars of 2/4 in 14 items, so that 8,000 bars stay within a staff's 32,002 items.
std::unique_ptr<TMusicScore> MakeScore(int bars) {
    auto score = std::make_unique<TMusicScore>();
    for (int s = 0; s < kStaves; ++s) {
        auto* staff = new TMusicStaff();
        auto insert = [staff](TNotatedItem* item) { staff->InsertItem(item, staff->GetItemCount() - 1); };
        insert(new TClefData(s % 2 ? ctBass : ctTreble));
        insert(new TKeyData(0x20, 0, 6));
        insert(new TTimeSignatureData(2, 2, tsStandard));
        for (int b = 0; b < bars; ++b) {
            const int p = (b + s) % 9 - 4;
            switch (b % 4) {
                case 0:
                    insert(Eighth(p, gsFirst));
                    insert(Eighth(p - 2, gsEnd));
                    insert(new TMusicNote(p, dcQuarter, AttributeBit(naTie)));
                    break;
                case 1:
                    insert(new TMusicNote(p - 1, dcQuarter));
                    insert(new TMusicNote(p + 1, dcQuarter, 0, acSharp));
                    break;
                case 2: {
                    insert(Eighth(p, gsFirst));
                    insert(Eighth(p + 3, gsEnd));
                    auto* chord = new TChordData(new TMusicNote(2, dcQuarter), new TMusicNote(0, dcQuarter));
                    auto* third = new TMusicNote(-2, dcQuarter);
                    if (!chord->AddNote(third)) delete third;
                    insert(chord);
                    break;
                }
                default:
                    insert(new TRestNote(dcQuarter));
                    insert(new TMusicNote(p, dcQuarter, AttributeBit(naSlur)));
                    break;
            }
            insert(new TBarLineData(bsSingle, 1));
        }
        score->AddStaff(staff);
    }
    return score;
}

// The performance walk of one staff: its position and its walk state.
struct TStaffCursor {
    TMusicStaff* Staff;
    int Index = 0;
    int Steps = 0;
    TStaffPlayState State;
};

// Renders every staff in slices of 384 ticks; returns the number of events.
int Perform(TMusicScore& score, TMidiFileBuf& buffer) {
    const WORD mask = buffer.GetKindMask();
    buffer.Clear();
    buffer.SetKindMask(mask);
    buffer.AddTempo(0, 120);
    std::vector<TStaffCursor> cursors;
    for (int s = 0; s < score.GetStaffCount(); ++s) {
        TStaffCursor cursor{score.GetStaff(s)};
        cursor.State.InitFromStaff(*cursor.Staff);
        cursors.push_back(cursor);
    }
    DWORD sliceEnd = 0;
    bool more = true;
    while (more && !buffer.HasOverflowed()) {
        sliceEnd += 384;
        more = false;
        for (TStaffCursor& c : cursors) {
            const int count = c.Staff->GetItemCount();
            const int cap = 16 * count + 1000;
            while (c.Index >= 0 && c.Index < count && c.State.GetTick() < sliceEnd && c.Steps < cap) {
                TNotatedItem* item = c.Staff->GetItem(c.Index);
                item->Play(c.State, buffer);
                const int next = item->GetNextPlayIndex(c.State, *c.Staff, c.Index);
                item->UpdatePlayState(c.State);
                c.Index = next;
                ++c.Steps;
            }
            if (c.Index >= 0 && c.Index < count && c.Steps < cap) {
                more = true;
            } else if (c.Index != -1) {
                EndSoundingTies(c.State, buffer);
                c.Index = -1;
            }
        }
    }
    return buffer.GetEventCount();
}

void Sizes(benchmark::internal::Benchmark* b) {
    if (Smoke()) {
        b->Arg(20);
        return;
    }
    b->Arg(500)->Arg(2000)->Arg(8000);
}

// Formatting a formatted score again: what every later pass costs.
void BM_FormatAllStaffs(benchmark::State& state) {
    auto score = MakeScore(static_cast<int>(state.range(0)));
    FormatAllStaffs(score.get(), true);
    for (auto _ : state) {
        FormatAllStaffs(score.get(), true);
    }
    state.counters["bars"] = static_cast<double>(state.range(0)) * kStaves;
}
BENCHMARK(BM_FormatAllStaffs)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The first pass over a loaded score, which settles every default-stem beam group on its way.
void BM_FormatAllStaffsFirstPass(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto score = MakeScore(static_cast<int>(state.range(0)));
        state.ResumeTiming();
        FormatAllStaffs(score.get(), true);
        state.PauseTiming();
        score.reset();
        state.ResumeTiming();
    }
    state.counters["bars"] = static_cast<double>(state.range(0)) * kStaves;
}
BENCHMARK(BM_FormatAllStaffsFirstPass)
    ->Apply(Sizes)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(Smoke() ? 1 : 5);

void BM_PerformanceWalk(benchmark::State& state) {
    auto score = MakeScore(static_cast<int>(state.range(0)));
    FormatAllStaffs(score.get(), true);
    TMidiFileBuf buffer;
    int events = 0;
    for (auto _ : state) {
        events = Perform(*score, buffer);
    }
    if (buffer.HasOverflowed()) state.SkipWithError("the song buffer overflowed");
    state.counters["events"] = events;
    state.counters["bars"] = static_cast<double>(state.range(0)) * kStaves;
}
BENCHMARK(BM_PerformanceWalk)->Apply(Sizes)->Unit(benchmark::kMillisecond);

// The same walk with every event kind masked out: the items' share of the walk without the buffer's.
void BM_PerformanceWalkNoEvents(benchmark::State& state) {
    auto score = MakeScore(static_cast<int>(state.range(0)));
    FormatAllStaffs(score.get(), true);
    TMidiFileBuf buffer;
    for (auto _ : state) {
        buffer.Clear();
        buffer.SetKindMask(0xFFFF);
        Perform(*score, buffer);
    }
    state.counters["bars"] = static_cast<double>(state.range(0)) * kStaves;
}
BENCHMARK(BM_PerformanceWalkNoEvents)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
