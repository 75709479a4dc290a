// The whole road from a Standard MIDI File to a PDF of all its pages as a user takes it: the program
// QSM2View started with "/xprint" and no display (headless backend) reads the file, converts it into a
// score, lays it out into pages, prints pages 1 to 50 on the "PDF file" printer and ends. One benchmark per
// file of the MIDI corpus (tools/fetch_midi_corpus.sh, $QSM_MIDI_CORPUS or the build folder's midi-corpus;
// skipped when absent), the largest file first.
//
// When MuseScore 3 (mscore3, Debian package musescore3) is installed, it converts the same file into a PDF
// three times per benchmark (see RunPeer), in its own process group and ended after $QSM_PEER_TIMEOUT seconds
// (default 120). Counters: our seconds, pages and PDF bytes, and our processor seconds (cpu_s: every thread,
// user and system) beside the wall time, now that pages are deflated on threads of their own; the peer's
// (peer_s -1: not installed or failed, -2: timed out); time_ratio = ours / peer's, bytes_ratio = our PDF /
// the peer's. A last benchmark draws every page of the largest file within this process, beside the peer's
// PDF of every page.
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
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/midi_corpus.h"
#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "platform/framework/printer.h"
#include "platform/print/printers.h"
#include "render/hooks.h"
#include "score/base/color_palette.h"
#include "score/music_score.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using qsm::bench::MidiCorpusFilesLargestFirst;

struct RunResult {
    bool finished = false;  // ended by itself within the limit
    int exitCode = -1;
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time of the program and what it waited for
};

// Runs argv in a process group of its own with the environment plus `env` (NAME=value), output discarded.
// The whole group is killed when the limit passes, and after the program ends (helpers it left behind).
RunResult RunLimited(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     double limit) {
    RunResult result;
    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string kv = *e;
        std::string name = kv.substr(0, kv.find('='));
        bool replaced = std::any_of(env.begin(), env.end(), [&](const std::string& o) {
            return o.compare(0, name.size() + 1, name + "=") == 0;
        });
        if (!replaced) envStrings.push_back(kv);
    }
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> envp, args;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (std::string& s : argCopy)
        args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0], &actions, &attr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return result;
    // Waits on a descriptor of the process, which becomes readable when it ends.
    const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    bool ended = true;
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int n;
        do {
            n = poll(&p, 1, static_cast<int>(limit * 1000));
        } while (n < 0 && errno == EINTR);
        ended = n > 0;
        close(pidfd);
    }
    if (!ended) kill(-pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    kill(-pid, SIGKILL);
    result.finished = ended && WIFEXITED(status);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Pages of a PDF file: its page objects.
int CountPages(const fs::path& pdf) {
    std::ifstream in(pdf, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string data = ss.str();
    int pages = 0;
    for (size_t at = data.find("/Type"); at != std::string::npos; at = data.find("/Type", at + 5)) {
        size_t v = data.find_first_not_of(" \r\n\t", at + 5);
        if (v != std::string::npos && data.compare(v, 5, "/Page") == 0 &&
            (v + 5 >= data.size() || !std::isalnum(static_cast<unsigned char>(data[v + 5]))))
            ++pages;
    }
    return pages;
}

std::uintmax_t FileBytes(const fs::path& p) {
    std::error_code ec;
    std::uintmax_t n = fs::file_size(p, ec);
    return ec ? 0 : n;
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        fs::path p = fs::path(dir) / name;
        if (!dir.empty() && access(p.c_str(), X_OK) == 0) return p.string();
    }
    return {};
}

struct WorkDir {
    WorkDir() {
        char tmpl[] = "/tmp/qsm-pdf-road-XXXXXX";
        root = mkdtemp(tmpl);
        for (const char* sub : {"ours", "ours/home", "ours/ipc", "ours/no-programs", "peer", "peer/home"})
            fs::create_directories(root / sub);
        chmod((root / "ours/ipc").c_str(), 0700);
    }
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
    fs::path root;
};

// Our program: the PDF lands beside the file it prints.
RunResult RunOurs(const WorkDir& dir, const fs::path& midi) {
    const fs::path d = dir.root / "ours";
    return RunLimited({QSM2VIEW_PATH, "/xprint", midi.string()},
                      {"QSM_BACKEND=headless", "QSM_WM_IPC_DIR=" + (d / "ipc").string(),
                       "HOME=" + (d / "home").string(), "XDG_CONFIG_HOME=" + (d / "home").string(),
                       // No printing tools on the path: the default printer is the "PDF file" printer.
                       "PATH=" + (d / "no-programs").string()},
                      300);
}

// The peer's conversion of a MIDI file into a PDF of all its pages, when mscore3 is installed: seconds
// (-1 absent or failed, -2 ended after $QSM_PEER_TIMEOUT seconds, default 120), pages and bytes.
struct PeerResult {
    double seconds = -1;
    int pages = 0;
    std::uintmax_t bytes = 0;
};

// The peer's time is the median of $QSM_PEER_RUNS runs (default 3): like ours, which is the mean of many
// runs, it is then not one run's luck, nor only the first run in a fresh home folder.
PeerResult RunPeer(const WorkDir& dir, const fs::path& midi) {
    PeerResult result;
    const std::string peer = FindOnPath("mscore3");
    if (peer.empty()) return result;
    const char* limitEnv = std::getenv("QSM_PEER_TIMEOUT");
    const double limit = limitEnv != nullptr ? std::max(1.0, std::atof(limitEnv)) : 120.0;
    const char* runsEnv = std::getenv("QSM_PEER_RUNS");
    const int runs = runsEnv != nullptr ? std::max(1, std::atoi(runsEnv)) : 3;
    const fs::path out = dir.root / "peer" / "out.pdf";
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        fs::remove(out);
        RunResult r = RunLimited({peer, "-o", out.string(), midi.string()},
                                 {"QT_QPA_PLATFORM=offscreen", "HOME=" + (dir.root / "peer/home").string(),
                                  "XDG_CONFIG_HOME=" + (dir.root / "peer/home").string()},
                                 limit);
        if (!r.finished && r.seconds >= limit) {
            result.seconds = -2;
            return result;
        }
        if (!r.finished || r.exitCode != 0 || !fs::exists(out)) return result;
        seconds.push_back(r.seconds);
    }
    std::sort(seconds.begin(), seconds.end());
    result.seconds = seconds[seconds.size() / 2];
    result.pages = CountPages(out);
    result.bytes = FileBytes(out);
    return result;
}

void BM_MidiToPdf(benchmark::State& state, const fs::path& source) {
    WorkDir dir;
    const fs::path midi = dir.root / "ours" / source.filename();
    fs::copy_file(source, midi);
    fs::path pdf = midi;
    pdf.replace_extension(".pdf");
    double total = 0, cpu = 0;
    int runs = 0;
    for (auto _ : state) {
        fs::remove(pdf);
        RunResult r = RunOurs(dir, midi);
        if (!r.finished || r.exitCode != 0 || !fs::exists(pdf)) {
            state.SkipWithError("QSM2View /xprint failed");
            return;
        }
        total += r.seconds;
        cpu += r.cpuSeconds;
        ++runs;
    }
    const double ours = runs > 0 ? total / runs : 0;
    const auto bytes = FileBytes(pdf);
    state.counters["cpu_s"] = runs > 0 ? cpu / runs : 0;
    state.counters["pages"] = CountPages(pdf);
    state.counters["pdf_bytes"] = static_cast<double>(bytes);
    state.counters["midi_bytes"] = static_cast<double>(FileBytes(source));
    if (std::getenv("QSM_BENCH_SMOKE") != nullptr) return;
    const PeerResult peer = RunPeer(dir, midi);
    if (peer.seconds > 0) {
        state.counters["peer_pages"] = peer.pages;
        state.counters["peer_bytes"] = static_cast<double>(peer.bytes);
        state.counters["bytes_ratio"] = peer.bytes > 0 ? static_cast<double>(bytes) / peer.bytes : 0;
        state.counters["time_ratio"] = ours / peer.seconds;
    }
    state.counters["peer_s"] = peer.seconds;
}

// Every page of the largest corpus file, in this process: the file read and converted as the viewer opens
// it, then all its pages laid out and drawn on the "PDF file" printer (/xprint prints pages 1 to 50 only).
// Counters: pages, PDF bytes and bytes per page; the peer's pages, bytes, bytes per page and seconds, and
// the ratios, when mscore3 is installed.
void BM_AllPagesOfLargestToPdf(benchmark::State& state, const fs::path& source) {
    qsm::InstallScoreHooks();
    qsm::print::InstallPrinters();
    WorkDir dir;
    const fs::path pdf = dir.root / "ours" / "all.pdf";
    std::ifstream in(source, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    int pages = 0;
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TQSRFlatRamStream stream(bytes.data(), static_cast<DWORD>(bytes.size()),
                                 static_cast<DWORD>(bytes.size()));
        TSMFData smf;
        TSMFImport::Run(&smf, &stream, nullptr);
        TSMFImportList instructions;
        BuildImportInstructions(&smf, instructions, true, 16);
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, instructions, 1));
        if (!score) {
            state.SkipWithError("conversion failed");
            return;
        }
        // As the viewer shows an imported file.
        std::snprintf(score->SongInfo.Title, 64, "%.63s", source.stem().c_str());
        score->Zoom = 6;
        score->StaffLabels = 1;
        score->BarNumbers = 3;
        TColorPalette palette;
        TQSMPrintData data(new TPrintDC("winspool", qsm::print::kPdfPrinterName, "", nullptr), score.get(),
                           score.get(), &palette);
        // The smoke run of the test suite prints three pages.
        data.lastPage = std::getenv("QSM_BENCH_SMOKE") != nullptr ? 3 : INT_MAX;
        if (PrintJob(&data, score->SongInfo.Title, pdf.c_str()) != TPrintResult::Printed) {
            state.SkipWithError("print failed");
            return;
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
        state.PauseTiming();
        pages = std::min(data.CountPages(), data.lastPage);
        state.ResumeTiming();
    }
    const auto pdfBytes = FileBytes(pdf);
    state.counters["pages"] = pages;
    state.counters["pdf_bytes"] = static_cast<double>(pdfBytes);
    state.counters["bytes_per_page"] = pages > 0 ? static_cast<double>(pdfBytes) / pages : 0;
    if (std::getenv("QSM_BENCH_SMOKE") != nullptr) return;
    const PeerResult peer = RunPeer(dir, source);
    if (peer.seconds > 0) {
        const double peerBytes = static_cast<double>(peer.bytes);
        state.counters["peer_pages"] = peer.pages;
        state.counters["peer_bytes"] = peerBytes;
        state.counters["peer_bytes_per_page"] = peer.pages > 0 ? peerBytes / peer.pages : 0;
        if (pages > 0 && peer.pages > 0 && peer.bytes > 0)
            state.counters["page_bytes_ratio"] =
                (static_cast<double>(pdfBytes) / pages) / (peerBytes / peer.pages);
        state.counters["time_ratio"] = runs > 0 ? total / runs / peer.seconds : 0;
    }
    state.counters["peer_s"] = peer.seconds;
}

// One benchmark per corpus file; the smoke run of the test suite takes the largest file only.
[[maybe_unused]] const bool kRegistered = [] {
    std::vector<fs::path> files = MidiCorpusFilesLargestFirst();
    if (files.empty()) {
        benchmark::RegisterBenchmark("BM_MidiToPdf/no_corpus", [](benchmark::State& state) {
            state.SkipWithError("no MIDI corpus (tools/fetch_midi_corpus.sh)");
        });
        return true;
    }
    if (std::getenv("QSM_BENCH_SMOKE") != nullptr) files.resize(1);
    for (size_t i = 0; i < files.size(); ++i) {
        std::string name = "BM_MidiToPdf/" + std::string(i == 0 ? "largest/" : "") +
                           files[i].parent_path().filename().string() + "/" + files[i].filename().string();
        benchmark::RegisterBenchmark(name.c_str(), BM_MidiToPdf, files[i])
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark(("BM_AllPagesOfLargestToPdf/" + files[0].filename().string()).c_str(),
                                 BM_AllPagesOfLargestToPdf, files[0])
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    return true;
}();

}  // namespace
