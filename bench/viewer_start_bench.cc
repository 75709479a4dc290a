// From the start of the viewer to its first painted screen: the application object, the main window with its
// toolbar, player bar and status bar, the client opening a score file, and the first paint of every window.
// Two files: a compressed compact score of 32 staves and 2,000 bars (goal: under 150 ms), and the largest
// Standard MIDI File of the corpus (tools/fetch_midi_corpus.sh; skipped when absent).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "bench/layout_score_text.h"
#include "bench/midi_corpus.h"
#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "score/file/score_file.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"

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

// One start: everything made, the file opened and every window painted; then all of it taken down again
// (not timed).
void StartViewer(benchmark::State& state, const std::string& path) {
    qsm::InstallScoreHooks();
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.RecallSizePos = 0;
    ViewerOptions.AutoWelcome = 0;
    for (auto _ : state) {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app->InitInstance();
        auto* client = app->GetClient();
        if (client == nullptr || !client->OpenFile(path.c_str(), false)) {
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

}  // namespace
