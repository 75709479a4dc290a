// One tick of the viewer's play timer while a quartet plays: the frame's time and bar texts, the slider and
// the score view's play marks, with the repaints they cause.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "core/sys_info.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "render/hooks.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/frame.h"
#include "viewer/options.h"
#include "viewer/player_gadgets.h"

namespace {

void BM_PlayTimerTick(benchmark::State& state) {
    qsm::InstallScoreHooks();
    char folder[] = "/tmp/qsm-play-timer-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    setenv("XDG_CONFIG_HOME", folder, 1);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.PlayDelay = 0;
    ViewerOptions.RecallSizePos = 0;
    ViewerOptions.AutoWelcome = 0;
    qsm::mm::SetSynthAudio(false);
    qsm::mm::EnableTestRecorder(true);
    qsm::mm::UseManualClock(100000);
    {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        const char* names[] = {"Test Recorder"};
        app->GetMidiManager().SetOutPortNames(names, 1);
        app->GetMidiManager().SetStartDelay(0);
        app->InitInstance();
        auto* frame = dynamic_cast<TQSMViewerFrame*>(app->GetMainWindow());
        TQSMViewerClient* client = app->GetClient();
        qsm::wm::PumpMessages();
        if (frame == nullptr || client == nullptr ||
            !client->OpenFile((std::string(QSM_TESTDATA_DIR) + "/layout/quartet.qsmtxt").c_str(), 0)) {
            state.SkipWithError("no viewer");
        } else {
            qsm::wm::PumpMessages();
            for (auto _ : state) {
                state.PauseTiming();
                if (!app->IsPerformanceActive()) client->CmPlay();
                qsm::mm::AdvanceClock(70);
                qsm::wm::PumpMessages();
                state.ResumeTiming();
                frame->PlayTick();
                qsm::wm::PumpMessages();
            }
            client->StopPlay();
        }
        qsm::wm::PumpMessages();
    }
    qsm::mm::UseRealClock();
    qsm::mm::EnableTestRecorder(false);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PlayTimerTick)->Unit(benchmark::kMicrosecond);

}  // namespace
