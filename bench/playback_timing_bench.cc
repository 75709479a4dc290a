// Timing of real-time playback: a performance (built event by event, or rendered from a score) played by
// the sequencer on the real 2 ms timer into the recording device; reports how late each message went out
// against the time its tick is due, in ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "midi/midi_manager.h"
#include "midi/score_player.h"
#include "midi/tests/demo_score.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/winuser.h"
#include "score/base/midi_file_buf.h"

namespace {

TMidiManager* manager = nullptr;
bool ended = false;

LRESULT OwnerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (manager != nullptr && msg == manager->GetSequencer()->GetMessageId()) {
        if (wparam == 1) manager->QueueNextBlock();
        if (wparam == 2) ended = true;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wparam, lparam);
}

TMidiEvent Note(DWORD tick, DWORD msg) {
    TMidiEvent ev{};
    ev.Tick = tick;
    ev.Status = static_cast<BYTE>(msg & 0xFF);
    ev.Data1 = static_cast<BYTE>((msg >> 8) & 0xFF);
    ev.Data2 = static_cast<BYTE>((msg >> 16) & 0xFF);
    return ev;
}

// Plays the song (a constant tempo of tempoUs per quarter) into the recording device and reports the
// distribution of (send time - due time).
void MeasureLateness(benchmark::State& state, TMidiFileBuf& song, double tempoUs) {
    qsm::mm::SetSynthAudio(false);
    qsm::mm::EnableTestRecorder(true);
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "QsmTimingBenchOwner";
    RegisterClassA(&wc);
    HWND owner =
        CreateWindowExA(0, "QsmTimingBenchOwner", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    TMidiManager mgr;
    manager = &mgr;
    const char* names[] = {"Test Recorder"};
    mgr.SetOutPortNames(names, 1);
    mgr.SetStartDelay(100);
    mgr.OpenPorts(true);

    std::vector<double> late;
    for (auto _ : state) {
        qsm::mm::ClearRecording();
        ended = false;
        uint64_t before = 0, after = 0;
        do {  // the reference time is the millisecond Start reads, plus the start delay
            mgr.Stop();
            before = qsm::mm::NowMicros();
            mgr.Play(owner, &song, 0);
            after = qsm::mm::NowMicros();
        } while (before / 1000 != after / 1000);
        qsm::mm::ClearRecording();
        // The sequencer's reference: the start delay after the millisecond Start read, put on the 2 ms grid
        // of the timer's ticks.
        uint64_t refMs = before / 1000 + 100;
        refMs += refMs % 2;
        uint64_t refUs = refMs * 1000;
        while (!ended) {
            qsm::wm::PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        mgr.Stop();
        auto log = qsm::mm::GetRecording();
        std::vector<DWORD> ticks;
        for (int i = 0; i < song.GetEventCount(); ++i) {
            if (song.GetEvent(i)->IsShortMsg()) ticks.push_back(song.GetEvent(i)->Tick);
        }
        size_t n = std::min(ticks.size(), log.size());
        for (size_t i = 0; i < n; ++i) {
            double dueUs = static_cast<double>(refUs) + static_cast<double>(ticks[i]) * tempoUs / 192.0;
            late.push_back((static_cast<double>(log[i].time_us) - dueUs) / 1000.0);
        }
        state.counters["messages"] = static_cast<double>(log.size());
        state.counters["expected"] = static_cast<double>(ticks.size());
    }
    std::sort(late.begin(), late.end());
    if (!late.empty()) {
        auto at = [&](double q) {
            return late[static_cast<size_t>(q * static_cast<double>(late.size() - 1))];
        };
        state.counters["min_ms"] = late.front();
        state.counters["median_ms"] = at(0.5);
        state.counters["p99_ms"] = at(0.99);
        state.counters["max_ms"] = late.back();
    }
    mgr.OpenPorts(false);
    manager = nullptr;
    DestroyWindow(owner);
    qsm::mm::EnableTestRecorder(false);
}

void BM_PlaybackLateness(benchmark::State& state) {
    bool smoke = std::getenv("QSM_BENCH_SMOKE") != nullptr;
    DWORD seconds = smoke ? 2 : 60;
    // 120 bpm (384 ticks a second): a note every 20 ticks on two channels, so that due times fall on every
    // fraction of a millisecond.
    TMidiFileBuf song(16);
    DWORD lastTick = seconds * 384;
    for (DWORD t = 0, key = 40; t < lastTick; t += 20, key = key >= 90 ? 40 : key + 1) {
        song.AddEvent(Note(t, 0x500090 | (key << 8)));
        song.AddEvent(Note(t + 10, 0x000080 | (key << 8)));
        song.AddEvent(Note(t + 7, 0x500091 | (key << 8)));
        song.AddEvent(Note(t + 17, 0x000081 | (key << 8)));
    }
    song.AppendEndPause(1);
    MeasureLateness(state, song, 500000.0);
}
// A score rendered by the score player: four staves (eighths, chords, bass, drums) at 120 bpm, 60 s (4
// bars at 480 bpm, 2 s, for a smoke run).
void BM_ScorePlaybackLateness(benchmark::State& state) {
    bool smoke = std::getenv("QSM_BENCH_SMOKE") != nullptr;
    const int bpm = smoke ? 480 : 120;
    auto score = qsm::test::MakeDemoScore(smoke ? 0 : 26, bpm, false);
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    TMidiFileBuf song(16);
    player.RenderToBuffer(song);
    song.AppendEndPause(1);
    MeasureLateness(state, song, 60000000.0 / bpm);
    state.counters["song_ms"] = static_cast<double>(player.GetPlayLengthMs());
}
BENCHMARK(BM_PlaybackLateness)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_ScorePlaybackLateness)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
