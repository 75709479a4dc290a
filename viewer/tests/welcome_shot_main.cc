// Shows the Welcome dialog on each of its groups, the font usage and the mute list of a sample song, and
// saves a PNG of each: viewer_welcome_shot <out-folder>.
// With a display (DISPLAY set, as under xvfb-run) the windows are shown by the SDL backend and each PNG holds
// the X server's pixels of the dialog, taken once the server shows what was drawn; without one, the dialog's
// own pixels are saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/mute_list_dlg.h"
#include "viewer/options.h"
#include "viewer/samples.h"
#include "viewer/welcome_dlg.h"

namespace {

bool g_onDisplay = false;
std::string g_folder;
int g_failures = 0;

// Saves the dialog's picture as <folder>/<name>.png.
bool Shoot(HWND dlg, const char* name) {
    std::string path = g_folder + "/" + name + ".png";
    // The focus on a button, so that no caret blinks in the picture.
    HWND button = GetDlgItem(dlg, IDOK) != nullptr ? GetDlgItem(dlg, IDOK) : GetDlgItem(dlg, IDCANCEL);
    SetFocus(button != nullptr ? button : dlg);
    if (!g_onDisplay) {
        qsm::wm::PumpMessages();
        cairo_surface_t* s = qsm::wm::TopLevelSurface(dlg);
        return s != nullptr && cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    }
    // Until the X server shows the dialog as drawn; the desktop may place the window itself, so its
    // rectangle is asked for each time.
    // A window placed and sized while it was still hidden can be mapped elsewhere by the X server without a
    // desktop; placing it once more while it shows puts it where it belongs. The server may still show it a
    // pixel away from its rectangle, so the places next to it are tried as well.
    RECT placed;
    ::GetWindowRect(dlg, &placed);
    SetWindowPos(dlg, nullptr, placed.left + 1, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(dlg, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int attempt = 0; attempt < 2000; ++attempt) {
        qsm::wm::CurrentBackend().Wait(10);
        qsm::shot::Pump();
        RECT wr;
        ::GetWindowRect(dlg, &wr);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                RECT r = wr;
                OffsetRect(&r, dx, dy);
                cairo_surface_t* shot = GrabScreen(r);
                if (shot == nullptr) return false;
                long diff = qsm::shot::DifferingPixels(shot, dlg);
                bool done =
                    diff == 0 && cairo_surface_write_to_png(shot, path.c_str()) == CAIRO_STATUS_SUCCESS;
                cairo_surface_destroy(shot);
                if (done) return true;
            }
    }
    std::fprintf(stderr, "the display never showed %s as drawn\n", name);
    return false;
}

// The next modal window is shot under `name`, then closed.
void ShootNext(const char* name) {
    qsm::wm::SetModalHook([name](HWND dlg) {
        if (!Shoot(dlg, name)) ++g_failures;
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
        return 2;
    }
    g_folder = argv[1];
    // A settings store of its own, so that the recent views shown are these.
    char store[] = "/tmp/qsm-welcome-shot-XXXXXX";
    if (mkdtemp(store) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", store, 1);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    g_onDisplay = qsm::shot::StartDisplay();
    {
        SessionOptions.Editor2Installed = 0;
        TQSMViewerApp app("QuillStave Composer Viewer");
        auto* frame = new TWindow(static_cast<TWindow*>(nullptr), "QuillStave Composer 2 Viewer");
        frame->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame->Attr.W = 720;
        frame->Attr.H = 540;
        frame->Attr.X = (GetSystemMetrics(SM_CXSCREEN) - frame->Attr.W) / 2;
        frame->Attr.Y = (GetSystemMetrics(SM_CYSCREEN) - frame->Attr.H) / 2;
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;

        for (const char* path : {"/home/me/Songs/Ode to Joy.qsm", "/home/me/Songs/Band/Saints.qsm",
                                 "/home/me/Downloads/Minuet in G.qsm"})
            app.AddRecentView(path, true);
        const char* names[4] = {"welcome_recent_edits", "welcome_recent_views", "welcome_samples",
                                "welcome_find_more"};
        for (int group = 0; group < 4; ++group) {
            TQSOpenSamplesDlg::CurrentGroup = group;
            TQSOpenSamplesDlg::Selection = group == 2 ? 2 : 0;
            ShootNext(names[group]);
            app.CmWelcome();
        }

        // The font usage and the mute list of the sample with the most staves.
        std::unique_ptr<TMusicScore> score;
        for (int id = 1; id <= 7; ++id) {
            std::unique_ptr<TMusicScore> s(ReadSampleScore(id));
            if (s && (!score || s->GetStaffCount() > score->GetStaffCount())) score = std::move(s);
        }
        if (!score) return 1;
        app.CheckScoreFonts(*score);
        ShootNext("font_usage");
        app.CmFontUsage();

        TQSBoolArray muted(255), leftOut(255);
        score->GetStaffFlagBits(0, muted);
        muted.Set(1, 1);
        TMuteListDlg dialog(frame, *score, muted, leftOut);
        ShootNext("mute_list");
        dialog.Execute();
    }
    if (g_onDisplay) {
        qsm::shot::EndDisplay();
    }
    std::filesystem::remove_all(store);
    return g_failures == 0 ? 0 : 1;
}
