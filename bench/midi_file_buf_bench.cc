// Filling the song event buffer in tick order and in random order, and walking it by event and by time.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "score/base/midi_file_buf.h"

namespace {

std::vector<TMidiEvent> MakeEvents(int n, bool shuffled) {
    std::vector<TMidiEvent> events(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        TMidiEvent& e = events[static_cast<size_t>(i)];
        e = {};
        e.Tick = static_cast<DWORD>(i / 4) * 24;
        e.SetShortMsg(i % 2 ? MIDI_CMD_NOTEON : MIDI_CMD_NOTEOFF, 0, i % 16, 40 + i % 40, 90);
    }
    if (shuffled)
        std::shuffle(events.begin(), events.end(), std::mt19937(42));
    else  // play order: note-offs before note-ons at one tick
        std::stable_sort(events.begin(), events.end(), [](const TMidiEvent& a, const TMidiEvent& b) {
            return TMidiEvent::GoesAfter(b, a);
        });
    return events;
}

void Fill(TMidiFileBuf& buf, const std::vector<TMidiEvent>& events) {
    for (const TMidiEvent& e : events)
        buf.AddEvent(e);
}

void BM_AddInTickOrder(benchmark::State& state) {
    std::vector<TMidiEvent> events = MakeEvents(static_cast<int>(state.range(0)), false);
    for (auto _ : state) {
        TMidiFileBuf buf(16);
        Fill(buf, events);
        benchmark::DoNotOptimize(buf.GetEventCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Adding in random order, then reading the first event, which puts every event in its place.
void BM_AddInRandomOrder(benchmark::State& state) {
    std::vector<TMidiEvent> events = MakeEvents(static_cast<int>(state.range(0)), true);
    for (auto _ : state) {
        TMidiFileBuf buf(16);
        Fill(buf, events);
        benchmark::DoNotOptimize(buf.GetEvent(0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WalkByEvent(benchmark::State& state) {
    TMidiFileBuf buf(16);
    Fill(buf, MakeEvents(static_cast<int>(state.range(0)), true));
    for (auto _ : state) {
        TMFBIndex index(&buf);
        DWORD sum = 0;
        for (int n = buf.GetEventCount(), i = 0; i < n; ++i, index.Next())
            sum += index.GetEvent()->Tick;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_WalkByTime(benchmark::State& state) {
    TMidiFileBuf buf(16);
    Fill(buf, MakeEvents(static_cast<int>(state.range(0)), true));
    for (int t = 0; t < static_cast<int>(buf.GetLastTick()); t += 192 * 64)
        buf.AddTempo(t, 60 + t % 100);
    for (auto _ : state) {
        TMFBTimeIndex index(&buf);
        index.SetPos(buf.GetEventCount() - 1);
        benchmark::DoNotOptimize(index.GetMs());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// 100k, 1M, the buffer's capacity (1024 blocks of 2048) and 4M, where half of the events do not fit.
void Sizes(benchmark::internal::Benchmark* b) {
    if (std::getenv("QSM_BENCH_SMOKE")) {
        b->Arg(10000);
        return;
    }
    for (int n : {100000, 1000000, 2097152, 4000000})
        b->Arg(n);
}

BENCHMARK(BM_AddInTickOrder)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AddInRandomOrder)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkByEvent)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkByTime)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace
