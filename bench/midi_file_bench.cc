// Reading a Standard MIDI File and converting it into a formatted score: the largest real file of the MIDI
// corpus (tools/fetch_midi_corpus.sh; $QSM_MIDI_CORPUS or the build folder's midi-corpus) and a generated
// file of 50,000 events. When MuseScore's mscore3 is installed, its conversion of the same files into a PDF
// is timed in the same run for comparison.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench/midi_corpus.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_builder.h"
#include "score/music_score.h"

namespace {

using qsm::test::Bytes;

Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A piano piece of 12,500 two-note chords (50,000 note events) in 4/4, some of them detached, with a tempo
// change every 16 bars.
Bytes Generated50000() {
    qsm::test::TrackBuilder conductor;
    conductor.Text(0, 3, "Generated").Meta(0, 0x58, {4, 2, 24, 8});
    qsm::test::TrackBuilder piano;
    piano.Text(0, 3, "Piano");
    const int chords = 12500;
    uint32_t pause = 0;
    for (int i = 0; i < chords; ++i) {
        if (i % 128 == 0) conductor.Tempo(i == 0 ? 0 : 128 * 96, 400000 + (i / 128 % 16) * 10000);
        const int melody = 60 + (i * 7) % 24;
        const int bass = 36 + (i * 5) % 12;
        const uint32_t length = (i % 3 == 0) ? 72 : 96;
        piano.Event(pause, {0x90, melody, 90}).Event(0, {0x91, bass, 80});
        piano.Event(length, {0x80, melody, 0}).Event(0, {0x81, bass, 0});
        pause = 96 - length;
    }
    conductor.End();
    piano.End();
    return qsm::test::MakeFile(1, 192, {conductor, piano});
}

int ReadAndConvert(const Bytes& bytes) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                         static_cast<DWORD>(bytes.size()));
    TSMFData data;
    TSMFImport::Run(&data, &in, nullptr);
    TSMFImportList list;
    BuildImportInstructions(&data, list, true, 16);
    std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&data, list, 1));
    return score->GetStaffCount();
}

int CountEvents(const Bytes& bytes) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                         static_cast<DWORD>(bytes.size()));
    TSMFData data;
    TSMFImport::Run(&data, &in, nullptr);
    int events = 0;
    for (int t = 0; t < data.GetTrackCount(); ++t)
        events += data.GetTrack(t)->GetEventCount();
    return events;
}

// Seconds that mscore3 takes to turn the file into a PDF: -1 when it is not installed or fails, -2 when it
// has not finished after $QSM_PEER_TIMEOUT seconds (default 120), when it is ended.
double TimeMuseScore(const Bytes& bytes) {
    if (std::system("command -v mscore3 >/dev/null 2>&1") != 0) return -1.0;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qsm_midi_bench";
    std::filesystem::create_directories(dir);
    const std::string mid = (dir / "file.mid").string();
    std::ofstream(mid, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const char* limitEnv = std::getenv("QSM_PEER_TIMEOUT");
    const int limit = limitEnv != nullptr ? std::max(1, std::atoi(limitEnv)) : 120;
    const std::string command = "QT_QPA_PLATFORM=offscreen timeout --kill-after=5 " + std::to_string(limit) +
                                " mscore3 -o '" + (dir / "out.pdf").string() + "' '" + mid +
                                "' >/dev/null 2>&1";
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status) && (WEXITSTATUS(status) == 124 || WEXITSTATUS(status) == 137)) return -2.0;
    return status == 0 ? seconds : -1.0;
}

void Measure(benchmark::State& state, const Bytes& bytes) {
    int staves = 0;
    for (auto _ : state)
        staves = ReadAndConvert(bytes);
    state.counters["events"] = CountEvents(bytes);
    state.counters["staves"] = staves;
    state.counters["bytes"] = static_cast<double>(bytes.size());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
    if (std::getenv("QSM_BENCH_SMOKE") == nullptr) {
        // -1: mscore3 is not installed (or failed); -2: it ran out of time.
        state.counters["mscore3_s"] = TimeMuseScore(bytes);
    }
}

void BM_ReadAndConvertLargestCorpusFile(benchmark::State& state) {
    const std::string path = qsm::bench::LargestMidiCorpusFile();
    if (path.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        return;
    }
    state.SetLabel(std::filesystem::path(path).filename().string());
    Measure(state, ReadAll(path));
}

void BM_ReadAndConvertGenerated50000Events(benchmark::State& state) {
    Measure(state, Generated50000());
}

BENCHMARK(BM_ReadAndConvertLargestCorpusFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAndConvertGenerated50000Events)->Unit(benchmark::kMillisecond);

}  // namespace
