// The main window on the virtual screen, saved as a PNG: frame_shot out.png [score-file [play-ms]]
// With a file the window shows it; with play-ms it plays that long first (on the recording MIDI device and
// the test clock), so that the play mark shows.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/sys_info.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/frame.h"
#include "viewer/options.h"
#include "viewer/player_gadgets.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [score-file [play-ms]]\n", argv[0]);
        return 2;
    }
    const char* file = argc > 2 ? argv[2] : nullptr;
    int playMs = argc > 3 ? std::atoi(argv[3]) : 0;
    char dir[] = "/tmp/qsm-frame-shot-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", dir, 1);
    qsm::wm::ResetForTests();
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SetDefaultOptions(ViewerOptions);
    ViewerOptions.RecallSizePos = 0;
    ViewerOptions.AutoWelcome = 0;
    ViewerOptions.AutoPlay = 0;
    ViewerOptions.PlayDelay = 0;
    if (playMs > 0) {
        qsm::mm::SetSynthAudio(false);
        qsm::mm::EnableTestRecorder(true);
        qsm::mm::UseManualClock(100000);
        qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
    }
    bool ok = false;
    {
        auto app = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        if (playMs > 0) {
            const char* names[] = {"Test Recorder"};
            app->GetMidiManager().SetOutPortNames(names, 1);
            app->GetMidiManager().SetStartDelay(0);
        }
        app->InitInstance();
        auto* frame = dynamic_cast<TQSMViewerFrame*>(app->GetMainWindow());
        if (frame != nullptr) {
            MoveWindow(frame->GetHandle(), 20, 20, 980, 700, TRUE);
            qsm::wm::PumpMessages();
            auto* client = dynamic_cast<TQSMViewerClient*>(frame->GetClientWindow());
            bool opened = file == nullptr || (client && client->OpenFile(file, 0));
            if (playMs > 0 && client) {
                SendMessageA(client->GetHandle(), WM_COMMAND, CM_QSM_PLAY, 0);
                qsm::mm::AdvanceClock(static_cast<DWORD>(playMs));
            }
            // One tick of the play timer: position texts, slider and play mark.
            frame->PlayTick();
            qsm::wm::PumpMessages();
            // The command enablers run when the queue is idle.
            frame->IdleAction(0);
            qsm::wm::PumpMessages();
            ok = opened && qsm::wm::SaveScreenPng(argv[1]);
            if (playMs > 0 && client) client->StopPlay();
            frame->Destroy();
        }
        qsm::wm::PumpMessages();
    }
    if (playMs > 0) {
        qsm::mm::SetClockStepHook(nullptr);
        qsm::mm::UseRealClock();
        qsm::mm::EnableTestRecorder(false);
    }
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
