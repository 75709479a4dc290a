// From the start of the viewer to its first painted screen: the application object, the main window with its
// toolbar, player bar and status bar, the client opening a score file, and the first paint of every window.
// Two files: a compressed compact score of 32 staves and 2,000 bars (goal: under 150 ms), and the largest
// Standard MIDI File of the corpus (tools/fetch_midi_corpus.sh; skipped when absent).
// The fixed cost of a start, measured two ways: in this process (application object and main window with an
// empty score, to the first idle queue), and as whole QSM2View processes on the headless backend: started on
// a one-bar score until its first idle queue, and "/xprint" of the smallest MIDI file of the corpus until it
// ends. Processes report wall time and processor time (cpu_ms, user and system time of the process).
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/layout_score_text.h"
#include "bench/midi_corpus.h"
#include "bench/viewer_process.h"
#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "score/file/score_file.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"

extern char** environ;

namespace {

struct TempStore {
    TempStore() {
        char tmpl[] = "/tmp/qsm-start-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    }
    ~TempStore() { std::filesystem::remove_all(dir); }
    std::string dir;
};

// The drawing hooks and the default options, without a remembered window place or the Welcome dialog.
void UseBenchOptions() {
    qsm::InstallScoreHooks();
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.RecallSizePos = 0;
    ViewerOptions.AutoWelcome = 0;
}

// One start: everything made, the file opened (none for an empty path: the empty score it starts with) and
// every window painted; then all of it taken down again (not timed).
void StartViewer(benchmark::State& state, const std::string& path) {
    UseBenchOptions();
    for (auto _ : state) {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app->InitInstance();
        auto* client = app->GetClient();
        if (!path.empty() && (client == nullptr || !client->OpenFile(path.c_str(), false))) {
            state.SkipWithError("the file did not open");
            break;
        }
        qsm::wm::PumpMessages();
        state.PauseTiming();
        app->GetMainWindow()->Destroy();
        app.reset();
        qsm::wm::ResetForTests();
        state.ResumeTiming();
    }
}

void BM_StartWith32StaffScore(benchmark::State& state) {
    qsm::wm::ResetForTests();
    TempStore store;
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreText(qsm::bench::MakeLayoutScoreText(32, 2000));
    std::string path = store.dir + "/big.qsm";
    if (!score || !SaveScoreFile(path.c_str(), true, *score)) {
        state.SkipWithError("cannot write the score");
        return;
    }
    score.reset();
    StartViewer(state, path);
}
BENCHMARK(BM_StartWith32StaffScore)->Unit(benchmark::kMillisecond);

void BM_StartWithLargestMidiFile(benchmark::State& state) {
    const std::string largest = qsm::bench::LargestMidiCorpusFile();
    if (largest.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        return;
    }
    qsm::wm::ResetForTests();
    TempStore store;
    state.SetLabel(std::filesystem::path(largest).filename().string());
    StartViewer(state, largest);
}
BENCHMARK(BM_StartWithLargestMidiFile)->Unit(benchmark::kMillisecond);

// The application object and its main window with the empty score it starts with, to the first idle queue:
// what every start costs before a file is read.
void BM_StartEmpty(benchmark::State& state) {
    qsm::wm::ResetForTests();
    TempStore store;
    StartViewer(state, "");
}
BENCHMARK(BM_StartEmpty)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

using Clock = std::chrono::steady_clock;

// A settings store, window-finding folder and idle pipe of the processes' own, on the headless backend.
struct ProcessScratch {
    ProcessScratch() {
        char tmpl[] = "/tmp/qsm-start-process-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) return;
        dir = tmpl;
        qsm::bench::UsePrivateViewerSettings(dir + "/store");
    }
    ~ProcessScratch() {
        unsetenv("QSM_BACKEND");
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    std::string dir;
};

pid_t Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

double CpuMs(const rusage& ru) {
    return (static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 +
            static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3);
}

// The whole program on a one-bar score, from its start to its first idle queue (reported through
// QSM_IDLE_LOG); the program is ended afterwards, not timed.
void BM_ProcessStartToFirstIdle(benchmark::State& state) {
    ProcessScratch scratch;
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreText(qsm::bench::MakeLayoutScoreText(1, 1));
    std::string file = scratch.dir + "/one.qsm";
    if (!score || !SaveScoreFile(file.c_str(), true, *score)) {
        state.SkipWithError("cannot write the score");
        return;
    }
    qsm::bench::IdlePipe idle(scratch.dir + "/idle");
    if (!idle.Ok()) {
        state.SkipWithError("cannot make the pipe");
        return;
    }
    double cpu = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        pid_t pid = Spawn({QSM2VIEW_PATH, file});
        std::string line;
        bool ready = pid > 0 && idle.WaitForLine(pid, &line);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!ready) {
            state.SkipWithError("the viewer ended before its first idle queue");
            break;
        }
        cpu += qsm::bench::KillAndReapCpuMs(pid);
    }
    state.counters["cpu_ms"] = cpu / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_ProcessStartToFirstIdle)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

// The whole "/xprint" road of the smallest MIDI file of the corpus, start to end of the process: for a small
// file the start-up is most of it.
void BM_ProcessXprintSmallestMidiFile(benchmark::State& state) {
    const auto files = qsm::bench::MidiCorpusFilesLargestFirst();
    if (files.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        return;
    }
    ProcessScratch scratch;
    std::string midi = scratch.dir + "/" + files.back().filename().string();
    std::filesystem::copy_file(files.back(), midi);
    state.SetLabel(files.back().filename().string());
    double cpu = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        pid_t pid = Spawn({QSM2VIEW_PATH, "/xprint", midi});
        int status = 0;
        rusage ru{};
        bool ok = pid > 0 && wait4(pid, &status, 0, &ru) == pid && WIFEXITED(status);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!ok) {
            state.SkipWithError("QSM2View /xprint failed");
            break;
        }
        cpu += CpuMs(ru);
        // The next print writes a file of the same name, not a numbered one beside it.
        std::filesystem::path pdf = midi;
        std::filesystem::remove(pdf.replace_extension(".pdf"));
    }
    state.counters["cpu_ms"] = cpu / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}
BENCHMARK(BM_ProcessXprintSmallestMidiFile)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

}  // namespace
