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
#include "render/hooks.h"
#include "score/music_score.h"
#include "viewer/app.h"
#include "viewer/mute_list_dlg.h"
#include "viewer/options.h"
#include "viewer/samples.h"
#include "viewer/welcome_dlg.h"

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
        return 2;
    }
    qsm::shot::TDialogShots shots;
    shots.Folder = argv[1];
    // A settings store of its own, so that the recent views shown are these.
    char store[] = "/tmp/qsm-welcome-shot-XXXXXX";
    if (mkdtemp(store) == nullptr) return 1;
    setenv("XDG_CONFIG_HOME", store, 1);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    shots.OnDisplay = qsm::shot::StartDisplay();
    {
        SessionOptions.Editor2Installed = 0;
        TQSMViewerApp app("QuillStave Composer Viewer");
        auto* frame = new TWindow(static_cast<TWindow*>(nullptr), "QuillStave Composer 2 Viewer");
        frame->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame->Attr.W = 720;
        frame->Attr.H = 540;
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
            shots.Next(names[group]);
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
        shots.Next("font_usage");
        app.CmFontUsage();

        TQSBoolArray muted(255), leftOut(255);
        score->GetStaffFlagBits(0, muted);
        muted.Set(1, 1);
        TMuteListDlg dialog(frame, *score, muted, leftOut);
        shots.Next("mute_list");
        dialog.Execute();
    }
    if (shots.OnDisplay) {
        qsm::shot::EndDisplay();
    }
    std::filesystem::remove_all(store);
    return shots.Failures == 0 ? 0 : 1;
}
