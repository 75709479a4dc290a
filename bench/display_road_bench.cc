// The roads users take, measured from outside on the real program as a user starts it:
// - open to the first painted screen on the SDL backend, under an X server the benchmark starts itself (Xvfb,
//   1920 x 1080, with openbox as the desktop when installed): 32 staves of 2,000 and of 8,000 bars in the
//   "[QSZ]" envelope, and the largest MIDI file of the corpus; the time from the start until the program's
//   queue is first idle after its first paint has gone to the X server (QSM_IDLE_LOG), with peak memory;
// - scrolling the score one bar in the maximized 1920 x 1080 frame: from the press of the Right key (XTest)
//   to the program's idle queue after the repaint went to the X server; mean, p50 and p99;
// - the processor time of a viewer left idle after it played a short tune (/play) with a sound server of
//   the benchmark's own (pulseaudio) running;
// - "QSM2View /xprint FILE" of the largest corpus MIDI file as the README has a user run it (the user's
//   environment and a settings store of a new user), with and without DISPLAY, with its peak memory, beside
//   MuseScore 3 (mscore3) converting the same file where it is installed.
// QSM2VIEW names another program to measure (default: the build's). The smoke run of the test suite opens
// a small score once and skips the rest.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/layout_score_file.h"
#include "bench/midi_corpus.h"
#include "bench/process_util.h"
#include "bench/viewer_process.h"
#include "bench/x_server.h"
#include "core/sys_info.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using qsm::bench::EndProcess;
using qsm::bench::Environment;
using qsm::bench::FindOnPath;
using qsm::bench::Spawn;
using qsm::bench::XServer;

bool Smoke() {
    return std::getenv("QSM_BENCH_SMOKE") != nullptr;
}

std::string Program() {
    const char* other = std::getenv("QSM2VIEW");
    return other != nullptr && *other != '\0' ? other : QSM2VIEW_PATH;
}

// A folder of the run's own for the files, the settings stores and the window-finding folders.
// QSM_BENCH_KEEP names a folder to use instead, which is kept (for profiling the programs by hand).
struct Scratch {
    Scratch() {
        if (const char* keep = std::getenv("QSM_BENCH_KEEP"); keep != nullptr && *keep != '\0') {
            fs::create_directories(keep);
            dir = keep;
            kept = true;
            return;
        }
        char tmpl[] = "/tmp/qsm-display-road-XXXXXX";
        if (mkdtemp(tmpl) != nullptr) dir = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        if (!dir.empty() && !kept) fs::remove_all(dir, ec);
    }
    // 32 staves of the given bars, made once.
    const std::string& Score(int bars) { return qsm::bench::LayoutScoreFile(files, dir, bars); }
    // A fresh settings store (a new user's) and window-finding folder.
    std::vector<std::string> NewUser(const std::string& name) {
        const std::string home = dir + "/" + name;
        fs::remove_all(home);
        fs::create_directories(home + "/ipc");
        chmod((home + "/ipc").c_str(), 0700);
        return {"HOME=" + home, "XDG_CONFIG_HOME=" + home, "QSM_SYSTEM_REGISTRY=" + home + "/system.reg",
                "QSM_WM_IPC_DIR=" + home + "/ipc"};
    }
    std::string dir;
    bool kept = false;
    std::map<int, std::string> files;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

long PeakRssKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

// Processor time of every thread of a running process, in milliseconds.
double ProcessCpuMs(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t at = text.rfind(')');
    if (at == std::string::npos) return 0;
    std::istringstream fields(text.substr(at + 2));
    std::string f;
    double ticks = 0;
    for (int i = 3; fields >> f && i <= 15; ++i)
        if (i == 14 || i == 15) ticks += std::atof(f.c_str());
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

// For the program beside, the median over the iterations of its time over the time of the run it is
// paired with (the first variant of the same iteration): adjacent runs share the machine's load.
double PairedRatio(const std::vector<double>& beside, const std::vector<double>& base) {
    std::vector<double> r;
    for (size_t i = 0; i < std::min(beside.size(), base.size()); ++i)
        if (base[i] > 0) r.push_back(beside[i] / base[i]);
    return r.empty() ? 0.0 : Percentile(r, 0.5);
}

// What a benchmark runs in turn in each iteration: the program on the display; the same on the headless
// backend (which no user runs: its figures are marked headless); and, when QSM2VIEW_BESIDE (another program)
// or QSM_BENCH_BESIDE_ENV (NAME=value,... for the program) is set, that one on the display too, so that two
// builds or two settings are compared in alternating runs on a loaded machine.
struct Variant {
    std::string label;
    std::string program;
    std::vector<std::string> set, unset;
};

std::vector<Variant> Variants(const std::string& display, bool headless) {
    std::vector<Variant> out;
    out.push_back({"", Program(), {"DISPLAY=" + display}, {"QSM_BACKEND"}});
    if (headless) out.push_back({"headless_", Program(), {"QSM_BACKEND=headless"}, {}});
    const char* beside = std::getenv("QSM2VIEW_BESIDE");
    const char* besideEnv = std::getenv("QSM_BENCH_BESIDE_ENV");
    if ((beside != nullptr && *beside != '\0') || (besideEnv != nullptr && *besideEnv != '\0')) {
        Variant v{"beside_",
                  beside != nullptr && *beside != '\0' ? beside : Program(),
                  {"DISPLAY=" + display},
                  {"QSM_BACKEND"}};
        std::stringstream list(besideEnv != nullptr ? besideEnv : "");
        for (std::string kv; std::getline(list, kv, ',');)
            if (!kv.empty()) v.set.push_back(kv);
        out.push_back(v);
    }
    return out;
}

// The viewer with the file, to its first idle queue after the first paint, for each variant in turn.
void OpenOnDisplay(benchmark::State& state, const std::string& file, const std::string& caption) {
    Scratch& scratch = TheScratch();
    XServer x(1920, 1080);
    if (!x.Ok()) {
        state.SkipWithError("no Xvfb");
        return;
    }
    qsm::bench::IdlePipe idle(scratch.dir + "/idle");
    const std::vector<Variant> variants = Variants(x.Name(), !Smoke());
    std::vector<std::vector<double>> times(variants.size());
    std::vector<double> cpu(variants.size());
    std::vector<long> peak(variants.size());
    std::vector<std::string> user = scratch.NewUser("open");
    for (auto _ : state) {
        for (size_t v = 0; v < variants.size(); ++v) {
            std::vector<std::string> set = user;
            set.insert(set.end(), variants[v].set.begin(), variants[v].set.end());
            const Clock::time_point start = Clock::now();
            pid_t pid = Spawn({variants[v].program, file}, Environment(set, variants[v].unset));
            std::string line;
            if (pid < 0 || !idle.WaitForLine(pid, &line) || line.find(caption) == std::string::npos) {
                EndProcess(pid);
                state.SkipWithError("the viewer did not show the file");
                return;
            }
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            if (v == 0) state.SetIterationTime(seconds);
            times[v].push_back(seconds * 1e3);
            peak[v] = std::max(peak[v], PeakRssKb(pid));
            cpu[v] += ProcessCpuMs(pid);
            EndProcess(pid);
        }
    }
    for (size_t v = 0; v < variants.size(); ++v) {
        const std::string& l = variants[v].label;
        state.counters[l + "median_ms"] = Percentile(times[v], 0.5);
        state.counters[l + "cpu_ms"] = cpu[v] / static_cast<double>(std::max<size_t>(times[v].size(), 1));
        state.counters[l + "peak_rss_mb"] = static_cast<double>(peak[v]) / 1024.0;
        if (l == "beside_") state.counters["beside_paired_ratio"] = PairedRatio(times[v], times[0]);
    }
    state.counters["desktop"] = x.Desktop() ? 1 : 0;
}

void BM_OpenToFirstScreenOnDisplay(benchmark::State& state) {
    const std::string& file = TheScratch().Score(static_cast<int>(state.range(0)));
    if (file.empty()) {
        state.SkipWithError("cannot write the score");
        return;
    }
    OpenOnDisplay(state, file, "score");
}
BENCHMARK(BM_OpenToFirstScreenOnDisplay)->Apply([](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseManualTime();
    if (Smoke()) {
        b->Arg(20)->Iterations(1);
    } else {
        b->Arg(2000)->Arg(8000)->Iterations(15);
    }
});

void BM_OpenLargestMidiFileOnDisplay(benchmark::State& state) {
    const std::string file = qsm::bench::LargestMidiCorpusFile();
    if (Smoke() || file.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh), or the smoke run");
        return;
    }
    OpenOnDisplay(state, file, fs::path(file).stem().string());
}
BENCHMARK(BM_OpenLargestMidiFileOnDisplay)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

// Has the viewer of the settings store in the folder start with its frame maximized, as a user leaves it.
void MaximizedAtStart(const std::string& home) {
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("QSM_SYSTEM_REGISTRY", (home + "/system.reg").c_str(), 1);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SysInfo.WriteInt("Options", "RecallSizePos", 1);
    SysInfo.WriteInt("Placement", "flags", 0);
    SysInfo.WriteInt("Placement", "showCmd", 3);  // maximized
    SysInfo.WriteInt("Placement", "x1", 100);
    SysInfo.WriteInt("Placement", "y1", 100);
    SysInfo.WriteInt("Placement", "x2", 900);
    SysInfo.WriteInt("Placement", "y2", 700);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("QSM_SYSTEM_REGISTRY");
}

// One bar to the right (the Right key) in the maximized frame; the score is 32 staves of 2,000 bars.
void BM_ScrollOneBarOnDisplay(benchmark::State& state) {
    if (Smoke()) {
        state.SkipWithError("not in the smoke run");
        return;
    }
    Scratch& scratch = TheScratch();
    const std::string& file = scratch.Score(2000);
    XServer x(1920, 1080);
    if (!x.Ok() || file.empty()) {
        state.SkipWithError("no Xvfb or no score");
        return;
    }
    qsm::bench::IdlePipe idle(scratch.dir + "/idle");
    std::vector<std::string> set = scratch.NewUser("scroll");
    MaximizedAtStart(scratch.dir + "/scroll");
    set.push_back("DISPLAY=" + x.Name());
    pid_t pid = Spawn({Program(), file}, Environment(set, {"QSM_BACKEND"}));
    std::string line;
    if (pid < 0 || !idle.WaitForLine(pid, &line)) {
        EndProcess(pid);
        state.SkipWithError("the viewer did not start");
        return;
    }
    // A press and a release each end in an idle queue; the press is the one timed.
    auto step = [&](bool timed) {
        idle.Drain();
        const Clock::time_point start = Clock::now();
        x.Key("Right", true);
        bool ok = idle.WaitForLine(pid, &line);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        x.Key("Right", false);
        ok = ok && idle.WaitForLine(pid, &line);
        if (timed) return ok ? seconds : -1.0;
        return 0.0;
    };
    for (int i = 0; i < 10; ++i)
        step(false);
    std::vector<double> times;
    for (auto _ : state) {
        double seconds = step(true);
        if (seconds < 0) {
            state.SkipWithError("the viewer ended");
            break;
        }
        state.SetIterationTime(seconds);
        times.push_back(seconds * 1e3);
    }
    state.counters["p50_ms"] = Percentile(times, 0.5);
    state.counters["p99_ms"] = Percentile(times, 0.99);
    state.counters["max_ms"] = Percentile(times, 1.0);
    state.counters["cpu_ms"] = ProcessCpuMs(pid);
    EndProcess(pid);
}
BENCHMARK(BM_ScrollOneBarOnDisplay)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(300);

// A pulseaudio server of the benchmark's own with one null sink.
class SoundServer {
public:
    explicit SoundServer(const std::string& dir) : dir_(dir) {
        fs::create_directories(dir);
        const std::string pulse = FindOnPath("pulseaudio");
        if (pulse.empty()) return;
        env_ = {"HOME=" + dir, "PULSE_RUNTIME_PATH=" + dir, "XDG_RUNTIME_DIR=" + dir,
                "PULSE_SERVER=unix:" + dir + "/native"};
        // The first process ends once the server takes clients.
        pid_t pid = Spawn({pulse, "-n", "--daemonize=yes", "--exit-idle-time=60", "--use-pid-file=yes", "-L",
                           "module-null-sink", "-L",
                           "module-native-protocol-unix socket=" + dir + "/native auth-anonymous=1"},
                          Environment(env_, {}));
        int status = 0;
        ok_ = pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ~SoundServer() {
        std::ifstream pidFile(dir_ + "/pid");
        pid_t pid = 0;
        if (pidFile >> pid && pid > 0) kill(pid, SIGTERM);
    }
    bool Ok() const { return ok_; }
    const std::vector<std::string>& Env() const { return env_; }
    // The playback streams the server has now.
    int Streams() const {
        const std::string out = dir_ + "/inputs.txt";
        std::vector<std::string> env = Environment(env_, {});
        std::string cmd = "pactl list short sink-inputs > " + out;
        pid_t pid = Spawn({"/bin/sh", "-c", cmd}, env);
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
        std::ifstream in(out);
        int lines = 0;
        for (std::string l; std::getline(in, l);)
            lines += l.empty() ? 0 : 1;
        return lines;
    }

private:
    std::string dir_;
    std::vector<std::string> env_;
    bool ok_ = false;
};

// A tune of a second: eight quarter notes at 240 bpm.
std::string WriteTune(const std::string& path) {
    std::vector<unsigned char> track;
    for (int i = 0; i < 8; ++i) {
        const unsigned char key = static_cast<unsigned char>(60 + i);
        track.insert(track.end(), {0x00, 0x90, key, 0x60, 0x60, 0x80, key, 0x00});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<unsigned char> file = {'M', 'T', 'h',  'd', 0,   0,   0,   6, 0, 0, 0,
                                       1,   0,   0x60, 'M', 'T', 'r', 'k', 0, 0, 0, 0};
    const uint32_t n = static_cast<uint32_t>(track.size()) + 7;
    file[18] = static_cast<unsigned char>(n >> 24);
    file[19] = static_cast<unsigned char>(n >> 16);
    file[20] = static_cast<unsigned char>(n >> 8);
    file[21] = static_cast<unsigned char>(n);
    file.insert(file.end(), {0x00, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90});  // 250,000 us a quarter
    file.insert(file.end(), track.begin(), track.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
    return path;
}

// The viewer plays a tune of a second after opening it (/play), with the sound server running; once the
// tune has ended and the server's stream is gone (or after 10 s), its processor time over the next 5 s.
void BM_IdleAfterPlay(benchmark::State& state) {
    if (Smoke()) {
        state.SkipWithError("not in the smoke run");
        return;
    }
    Scratch& scratch = TheScratch();
    XServer x(1920, 1080);
    SoundServer sound(scratch.dir + "/pulse");
    if (!x.Ok() || !sound.Ok()) {
        state.SkipWithError("no Xvfb or no pulseaudio");
        return;
    }
    const std::string tune = WriteTune(scratch.dir + "/tune.mid");
    qsm::bench::IdlePipe idle(scratch.dir + "/idle");
    double percent = 0, streamMs = 0;
    int runs = 0;
    for (auto _ : state) {
        std::vector<std::string> set = scratch.NewUser("play");
        set.push_back("DISPLAY=" + x.Name());
        set.insert(set.end(), sound.Env().begin(), sound.Env().end());
        pid_t pid = Spawn({Program(), "/play", tune}, Environment(set, {"QSM_BACKEND"}));
        std::string line;
        if (pid < 0 || !idle.WaitForLine(pid, &line)) {
            EndProcess(pid);
            state.SkipWithError("the viewer did not start");
            return;
        }
        const Clock::time_point shown = Clock::now();
        // The tune plays for a second; the stream then closes once its last note has died away.
        while (sound.Streams() == 0 && Clock::now() - shown < std::chrono::seconds(5))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (sound.Streams() > 0 && Clock::now() - shown < std::chrono::seconds(10))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        streamMs += std::chrono::duration<double, std::milli>(Clock::now() - shown).count();
        const double before = ProcessCpuMs(pid);
        const Clock::time_point from = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double used = ProcessCpuMs(pid) - before;
        const double wall = std::chrono::duration<double, std::milli>(Clock::now() - from).count();
        state.SetIterationTime(wall / 1e3);
        percent += 100.0 * used / wall;
        ++runs;
        EndProcess(pid);
    }
    state.counters["idle_cpu_percent"] = runs > 0 ? percent / runs : 0;
    state.counters["shown_to_silent_ms"] = runs > 0 ? streamMs / runs : 0;
}
BENCHMARK(BM_IdleAfterPlay)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

struct Finished {
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
};

// Runs a program to its end (ended after 300 s); its wall time and peak memory, as the small program between
// this one and it measures them (see peak_memory_run.cc: wait4 here would report this benchmark's own peak).
Finished RunToEnd(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    Finished f;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return f;
    std::vector<std::string> run{PEAK_MEMORY_RUN_PATH, std::to_string(fds[1])};
    run.insert(run.end(), args.begin(), args.end());
    pid_t pid = Spawn(run, env, fds[1]);
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return f;
    }
    // A descriptor of the process becomes readable when it ends.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int n;
        while ((n = poll(&p, 1, 300000)) < 0 && errno == EINTR) {
        }
        close(pidfd);
        if (n == 0) {
            EndProcess(pid);
            close(fds[0]);
            return f;
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    kill(-pid, SIGKILL);
    std::string line;
    char buf[64];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        line.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    long long ns = 0;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
           std::sscanf(line.c_str(), "%ld %lld", &f.peakKb, &ns) == 2;
    f.seconds = static_cast<double>(ns) / 1e9;
    return f;
}

// "/xprint" of the largest corpus file as a user runs it, without DISPLAY and with DISPLAY (the benchmark's X
// server), in turn; every fifth iteration the peer converts the same file with the same display (without one,
// on Qt's offscreen platform, as it must be run there). The headless backend (QSM_BACKEND=headless) and the
// program beside (see Variants) run in turn too.
void BM_XprintAsAUser(benchmark::State& state) {
    const std::string source = qsm::bench::LargestMidiCorpusFile();
    if (Smoke()) {
        state.SkipWithError("not in the smoke run");
        return;
    }
    if (source.empty()) {
        state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        return;
    }
    Scratch& scratch = TheScratch();
    XServer x(1920, 1080);
    if (!x.Ok()) {
        state.SkipWithError("no Xvfb");
        return;
    }
    const std::string dir = scratch.dir + "/xprint";
    fs::create_directories(dir);
    const std::string midi = dir + "/" + fs::path(source).filename().string();
    fs::copy_file(source, midi, fs::copy_options::overwrite_existing);
    const std::string pdf = fs::path(midi).replace_extension(".pdf");
    const std::vector<std::string> user = scratch.NewUser("xprint-user");
    // Each run: label, program, environment set and unset.
    std::vector<Variant> runs;
    for (const Variant& v : Variants(x.Name(), !Smoke())) {
        if (v.label == "headless_") {
            runs.push_back(v);
            continue;
        }
        Variant none = v;
        none.label += "nodisplay_";
        none.set.erase(std::remove_if(none.set.begin(), none.set.end(),
                                      [](const std::string& kv) { return kv.rfind("DISPLAY=", 0) == 0; }),
                       none.set.end());
        none.unset.push_back("DISPLAY");
        Variant shown = v;
        shown.label += "display_";
        runs.push_back(none);
        runs.push_back(shown);
    }
    for (Variant& v : runs)
        v.unset.push_back("QSM_IDLE_LOG");
    std::vector<std::vector<double>> times(runs.size());
    std::vector<long> peak(runs.size());
    const std::string peer = Smoke() ? std::string() : FindOnPath("mscore3");
    std::vector<double> peerTimes[2];
    long peerPeak[2] = {0, 0};
    bool peerFailed = false;
    int iteration = 0;
    for (auto _ : state) {
        for (size_t r = 0; r < runs.size(); ++r) {
            fs::remove(pdf);
            std::vector<std::string> set = user;
            set.insert(set.end(), runs[r].set.begin(), runs[r].set.end());
            Finished f = RunToEnd({runs[r].program, "/xprint", midi}, Environment(set, runs[r].unset));
            if (!f.ok || !fs::exists(pdf)) {
                state.SkipWithError("QSM2View /xprint failed");
                return;
            }
            if (r == 0) state.SetIterationTime(f.seconds);
            times[r].push_back(f.seconds * 1e3);
            peak[r] = std::max(peak[r], f.peakKb);
        }
        if (!peer.empty() && !peerFailed && iteration++ % 5 == 0) {
            for (int d = 0; d < 2; ++d) {
                const std::string out = dir + "/peer.pdf";
                fs::remove(out);
                std::vector<std::string> set = scratch.NewUser("peer");
                set.push_back(d == 0 ? "QT_QPA_PLATFORM=offscreen" : "DISPLAY=" + x.Name());
                Finished f =
                    RunToEnd({peer, "-o", out, midi},
                             Environment(set, {"QSM_IDLE_LOG", d == 0 ? "DISPLAY" : "QT_QPA_PLATFORM"}));
                if (!f.ok || !fs::exists(out)) {
                    peerFailed = true;
                    break;
                }
                peerTimes[d].push_back(f.seconds * 1e3);
                peerPeak[d] = std::max(peerPeak[d], f.peakKb);
            }
        }
    }
    for (size_t r = 0; r < runs.size(); ++r) {
        state.counters[runs[r].label + "median_ms"] = Percentile(times[r], 0.5);
        state.counters[runs[r].label + "peak_rss_mb"] = static_cast<double>(peak[r]) / 1024.0;
        // The program beside runs after the same program's run with the same display setting.
        if (runs[r].label.rfind("beside_", 0) == 0 && r >= 3)
            state.counters[runs[r].label + "paired_ratio"] = PairedRatio(times[r], times[r - 3]);
    }
    if (peer.empty() || peerFailed || peerTimes[0].empty() || peerTimes[1].empty()) return;
    for (int d = 0; d < 2; ++d) {
        const std::string l = d == 0 ? "peer_nodisplay_" : "peer_display_";
        state.counters[l + "median_ms"] = Percentile(peerTimes[d], 0.5);
        state.counters[l + "peak_rss_mb"] = static_cast<double>(peerPeak[d]) / 1024.0;
        state.counters[std::string(d == 0 ? "nodisplay" : "display") + "_time_ratio"] =
            Percentile(times[static_cast<size_t>(d)], 0.5) / Percentile(peerTimes[d], 0.5);
    }
}
BENCHMARK(BM_XprintAsAUser)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(15);

}  // namespace
