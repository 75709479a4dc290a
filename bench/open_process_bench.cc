// Opening a large compact score, measured three ways on one machine in one run:
// - the whole viewer process on the headless backend, from its start until its first screen is painted and
//   its queue has gone idle (the program reports that moment through QSM_IDLE_LOG), with its peak resident
//   memory at that moment (goals: 32 x 8,000 bars under 100 ms and 80 MB, 32 x 2,000 under 40 ms); the same
//   for the largest MIDI file of the corpus, converted into notation on opening;
// - loading the same file in this process (read and format every staff) beside the raw inflate of its bytes
//   with zlib, and their ratio (goal: within 10x), both in processor time of the thread.
// The scores are 32 staves of 500, 2,000 and 8,000 bars in the "[QSZ]" envelope.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/layout_score_file.h"
#include "bench/midi_corpus.h"
#include "bench/viewer_process.h"
#include "core/ram_stream.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

bool Smoke() {
    return std::getenv("QSM_BENCH_SMOKE") != nullptr;
}

// A folder of its own for the files, the settings store and the window-finding folder of the programs
// started, removed at the end of the run.
struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/qsm-open-bench-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) dir = tmpl;
    }
    ~Scratch() {
        if (!dir.empty()) std::filesystem::remove_all(dir);
    }
    // The file of 32 staves and the given bars, made once.
    const std::string& File(int bars) { return qsm::bench::LayoutScoreFile(files, dir, bars); }
    std::string dir;
    std::map<int, std::string> files;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The peak resident set of a process in kilobytes (0 when unknown).
long PeakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// One start of the viewer with the file; the time until it reported its first idle queue, or a negative
// value when it ended or failed first, or when its caption does not name the file (captionPart). The program
// is ended afterwards (not timed).
double OpenOnce(const std::string& file, const std::string& captionPart, qsm::bench::IdlePipe& idle,
                long* peakKb, double* cpuMs) {
    std::string program = QSM2VIEW_PATH;
    std::vector<char*> argv = {program.data(), const_cast<char*>(file.c_str()), nullptr};
    Clock::time_point start = Clock::now();
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
    std::string line;
    if (!idle.WaitForLine(pid, &line)) return -1;
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    *peakKb = PeakRssKb(pid);
    *cpuMs = qsm::bench::KillAndReapCpuMs(pid);
    if (line.find(captionPart) == std::string::npos) return -1;
    return seconds;
}

// Starts the viewer with the file once per iteration, on a settings store of its own and the headless
// backend, and reports the time to its first idle queue, its processor time and its peak memory.
void OpenToFirstScreen(benchmark::State& state, const std::string& file, const std::string& captionPart) {
    Scratch& scratch = TheScratch();
    qsm::bench::UsePrivateViewerSettings(scratch.dir + "/store");
    qsm::bench::IdlePipe idle(scratch.dir + "/idle");
    if (!idle.Ok()) {
        state.SkipWithError("cannot make the pipe");
        return;
    }
    long peakKb = 0;
    double cpuTotal = 0;
    for (auto _ : state) {
        double cpu = 0;
        double seconds = OpenOnce(file, captionPart, idle, &peakKb, &cpu);
        cpuTotal += cpu;
        if (seconds < 0) {
            state.SkipWithError("the viewer did not show the file");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["peak_rss_mb"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["cpu_ms"] = cpuTotal / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
}

void BM_OpenToFirstScreen(benchmark::State& state) {
    const std::string& file = TheScratch().File(static_cast<int>(state.range(0)));
    if (file.empty()) {
        state.SkipWithError("cannot write the score");
        return;
    }
    OpenToFirstScreen(state, file, "score");
}

void BM_OpenLargestMidiFileToFirstScreen(benchmark::State& state) {
    // The smoke run may come while the corpus is still being fetched.
    if (Smoke()) {
        state.SkipWithError("not in the smoke run");
        return;
    }
    std::string file = qsm::bench::LargestMidiCorpusFile();
    if (file.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        return;
    }
    OpenToFirstScreen(state, file, std::filesystem::path(file).stem().string());
}

// Raw inflate of the file's zlib stream (after the six-byte envelope and its zero byte).
size_t Inflate(const std::vector<uint8_t>& file, std::vector<uint8_t>& out) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(file.data() + 6);
    z.avail_in = static_cast<uInt>(file.size() - 6);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    size_t produced = z.total_out;
    inflateEnd(&z);
    return produced;
}

// Processor time of this thread in seconds: the two are compared by the time each ran, not by the time
// the machine gave to other processes meanwhile.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Processor time of every thread of the process: the load formats its staffs on worker threads as well.
double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_LoadAgainstInflate(benchmark::State& state) {
    const std::string& path = TheScratch().File(static_cast<int>(state.range(0)));
    std::vector<uint8_t> file = path.empty() ? std::vector<uint8_t>() : ReadAll(path);
    if (file.size() < 8) {
        state.SkipWithError("cannot write the score");
        return;
    }
    std::vector<uint8_t> plain(64u << 20);
    double inflateSeconds = 0, loadSeconds = 0, loadAllThreads = 0, loadWall = 0;
    for (auto _ : state) {
        double t0 = ThreadSeconds();
        size_t produced = Inflate(file, plain);
        double t1 = ThreadSeconds();
        const double p1 = ProcessSeconds();
        const auto w1 = std::chrono::steady_clock::now();
        TQSRFlatRamStream raw(file.data(), static_cast<DWORD>(file.size()), static_cast<DWORD>(file.size()));
        TScoreFileHeader hdr;
        std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
        double t2 = ThreadSeconds();
        loadAllThreads += ProcessSeconds() - p1;
        loadWall += std::chrono::duration<double>(std::chrono::steady_clock::now() - w1).count();
        if (!score || hdr.Status != StatusOk || produced == 0) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(plain.data());
        inflateSeconds += t1 - t0;
        loadSeconds += t2 - t1;
        state.SetIterationTime(t2 - t1);
        // Freeing the score is no part of loading it.
        score.reset();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["inflate_ms"] = inflateSeconds * 1000 / n;
    state.counters["load_ms"] = loadSeconds * 1000 / n;
    state.counters["load_per_inflate"] = inflateSeconds > 0 ? loadSeconds / inflateSeconds : 0;
    // load_ms is the calling thread's time; these add the workers' time, and give the time waited.
    state.counters["load_all_threads_ms"] = loadAllThreads * 1000 / n;
    state.counters["load_wall_ms"] = loadWall * 1000 / n;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseManualTime();
    if (Smoke()) {
        b->Arg(20)->Iterations(1);
        return;
    }
    for (int bars : {500, 2000, 8000})
        b->Arg(bars);
}

BENCHMARK(BM_OpenToFirstScreen)->Apply(Sizes);
BENCHMARK(BM_LoadAgainstInflate)->Apply(Sizes);
BENCHMARK(BM_OpenLargestMidiFileToFirstScreen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

}  // namespace
