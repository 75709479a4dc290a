// The plug-in in the test host, as a page shows it, saved as PNGs: host_shot PLUGIN SCORE DAMAGED OUTDIR.
// host_banner.png: the page's window before a file arrives; host_score.png: the player with the score and
// its bar; host_playing.png: the same playing on the recording MIDI device, 2.6 seconds in;
// host_placeholder.png: the player of a file that failed to load; host_about.png and host_song_info.png: the
// player's two dialogs.
// With a display (as under xvfb-run) the pages are shown by the SDL backend and the PNGs hold the X server's
// pixels, taken once the server shows the page as drawn; without one, the headless virtual screen is saved.
#include <cairo.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "platform/wm/winuser.h"
#include "plugin/host/np_host.h"

namespace {

HWND MakePage(const char* title) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "QSMShotPage";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassA(&wc);
    return CreateWindowExA(0, "QSMShotPage", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 640, 420,
                           nullptr, nullptr, nullptr, nullptr);
}

bool Save(HWND page, const std::string& path, bool onDisplay) {
    if (!onDisplay) {
        qsm::wm::PumpMessages();
        cairo_surface_t* surface = qsm::wm::TopLevelSurface(page);
        return surface != nullptr &&
               cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    }
    RECT r{};
    GetWindowRect(page, &r);
    for (int attempt = 0; attempt < 2000; ++attempt) {
        qsm::wm::CurrentBackend().Wait(10);
        qsm::shot::Pump();
        if (!qsm::shot::ShownAsDrawn(page)) continue;
        cairo_surface_t* shot = GrabScreen(r);
        if (shot == nullptr) return false;
        bool ok = cairo_surface_write_to_png(shot, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(shot);
        return ok;
    }
    std::fprintf(stderr, "the display never showed %s as drawn\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PLUGIN SCORE DAMAGED OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string out = argv[4];
    // A settings store of its own, which sends the performance to the recording device.
    char store[] = "/tmp/qsm-host-shot-XXXXXX";
    if (mkdtemp(store) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", store, 1);
    qsm::mm::SetSynthAudio(false);
    qsm::mm::EnableTestRecorder(true);
    qsm::mm::UseManualClock(100000);
    qsm::mm::SetClockStepHook([] { qsm::wm::PumpMessages(); });
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    SysInfo.WriteInt("Options", "PlayDevice", static_cast<int>(midiOutGetNumDevs()));
    bool onDisplay = qsm::shot::StartDisplay();
    int failures = 0;
    {
        qsm::TPluginHost host;
        if (!host.Load(argv[1])) {
            std::fprintf(stderr, "%s\n", host.Error().c_str());
            return 1;
        }
        if (host.GetEntryPoints() != NPERR_NO_ERROR || host.Initialize() != NPERR_NO_ERROR) return 1;
        struct Scene {
            const char* file;
            const char* name;
            bool play;
        };
        for (const Scene& scene :
             {Scene{nullptr, "host_banner.png", false}, Scene{argv[2], "host_score.png", false},
              Scene{argv[2], "host_playing.png", true}, Scene{argv[3], "host_placeholder.png", false}}) {
            HWND page = MakePage("Page");
            qsm::TPluginHost::Instance inst;
            host.New(inst, "application/x-qsm", NP_EMBED, {});
            host.SetWindow(inst, page);
            if (scene.file != nullptr) host.Deliver(inst, scene.file);
            qsm::wm::PumpMessages();
            HWND player = GetWindow(page, GW_CHILD);
            if (scene.play && player != nullptr) {
                SendMessageA(player, WM_COMMAND, 105, 0);
                qsm::mm::AdvanceClock(2600);
                // Five ticks of the player's timer: the slider follows and the time is written.
                for (int i = 0; i < 5; ++i)
                    SendMessageA(player, WM_TIMER, 411, 0);
            }
            if (!Save(page, out + "/" + scene.name, onDisplay)) ++failures;
            if (!scene.play && scene.file == argv[2] && player != nullptr) {
                qsm::shot::TDialogShots dialogs{out, onDisplay};
                dialogs.Next("host_about");
                SendMessageA(player, WM_COMMAND, 101, 0);
                dialogs.Next("host_song_info");
                SendMessageA(player, WM_COMMAND, 102, 0);
                qsm::wm::SetModalHook(nullptr);
                failures += dialogs.Failures;
            }
            if (scene.play && player != nullptr) SendMessageA(player, WM_COMMAND, 106, 0);
            host.Destroy(inst);
            DestroyWindow(page);
        }
        host.Shutdown();
        host.Unload();
    }
    if (onDisplay) qsm::shot::EndDisplay();
    qsm::mm::SetClockStepHook(nullptr);
    qsm::mm::UseRealClock();
    qsm::mm::EnableTestRecorder(false);
    std::filesystem::remove_all(store);
    return failures == 0 ? 0 : 1;
}
