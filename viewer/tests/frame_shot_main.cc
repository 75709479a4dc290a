// The main window saved as a PNG: frame_shot out.png [score-file [play-ms]]
// With a file the window shows it; with play-ms it plays that long first (on the recording MIDI device and
// the test clock), so that the play mark shows.
// With a display (DISPLAY set, as under xvfb-run) the window is shown by the SDL backend and the PNG holds
// the X server's pixels of it, taken once the server shows what was drawn; without one, the whole virtual
// screen is saved.
#include <cairo.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "render/hooks.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/frame.h"
#include "viewer/options.h"
#include "viewer/player_gadgets.h"

namespace {

// Saves the X server's picture of the window once it shows what the window drew.
bool ShootFromDisplay(HWND hwnd, const char* path) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        qsm::wm::CurrentBackend().Wait(10);
        qsm::shot::Pump();
        RECT wr;
        ::GetWindowRect(hwnd, &wr);
        cairo_surface_t* shot = GrabScreen(wr);
        if (shot == nullptr) return false;
        bool done = qsm::shot::DifferingPixels(shot, hwnd) == 0 &&
                    cairo_surface_write_to_png(shot, path) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(shot);
        if (done) return true;
    }
    std::fprintf(stderr, "the display never showed the main window as drawn\n");
    return false;
}

}  // namespace

extern char** environ;

// frame_shot --all folder piano-score quartet midi-file: the four pictures of the main window, each taken by
// a run of this program of its own.
int ShootAll(char* self, char** args) {
    std::string folder = args[0];
    struct Job {
        std::string out, file, ms;
    };
    const Job jobs[] = {{folder + "/main_window_piano.png", args[1], ""},
                        {folder + "/main_window_quartet.png", args[2], ""},
                        {folder + "/main_window_midi.png", args[3], ""},
                        {folder + "/main_window_playing.png", args[1], "5000"}};
    int failures = 0;
    for (const Job& job : jobs) {
        std::vector<std::string> words = {self, job.out, job.file};
        if (!job.ms.empty()) words.push_back(job.ms);
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        int status = 0;
        if (posix_spawn(&pid, self, nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "no picture %s\n", job.out.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    if (argc == 6 && std::string(argv[1]) == "--all") return ShootAll(argv[0], argv + 2);
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
    bool onDisplay = qsm::shot::StartDisplay();
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
            // One tick of the play timer: position texts, slider and play mark. The window timer does not run
            // on the test clock, so the player is first brought to the clock's tick, as earlier ticks would
            // have.
            if (playMs > 0 && client) client->UpdatePlayPosition();
            frame->PlayTick();
            qsm::wm::PumpMessages();
            // The command enablers run when the queue is idle.
            frame->IdleAction(0);
            qsm::wm::PumpMessages();
            ok = opened && (onDisplay ? ShootFromDisplay(frame->GetHandle(), argv[1])
                                      : qsm::wm::SaveScreenPng(argv[1]));
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
    if (onDisplay) qsm::shot::EndDisplay();
    std::filesystem::remove_all(dir);
    return ok ? 0 : 1;
}
