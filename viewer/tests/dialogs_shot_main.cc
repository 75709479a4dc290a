// Shows the viewer's Options, song information, help and Launchpad dialogs and saves a PNG of each:
// viewer_dialogs_shot <out-folder>.
// With a display (DISPLAY set, as under xvfb-run) the windows are shown by the SDL backend and each PNG holds
// the X server's pixels of the dialog, taken once the server shows what was drawn; without one, the dialog's
// own pixels are saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "render/hooks.h"
#include "score/music_score.h"
#include "viewer/launchpad.h"
#include "viewer/options.h"
#include "viewer/options_dlg.h"
#include "viewer/viewer_dlg.h"

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out-folder\n", argv[0]);
        return 2;
    }
    qsm::shot::TDialogShots shots;
    shots.Folder = argv[1];
    shots.OnDisplay = qsm::shot::StartDisplay();
    {
        // The Launchpad comes before any window of the program, with both editors installed.
        SessionOptions.Editor1Installed = 1;
        SessionOptions.Editor2Installed = 1;
        shots.Next("launchpad");
        RunLaunchpad("/home/me/Songs/Minuet in G.qsm", 2);

        TApplication app("viewer_dialogs_shot");
        auto* frame = new TWindow(static_cast<TWindow*>(nullptr), "QuillStave Composer 2 Viewer");
        frame->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame->Attr.W = 720;
        frame->Attr.H = 540;
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;

        TViewerOptions options;
        SetDefaultOptions(options);
        std::string devices = MakePlayDeviceItems();
        {
            TOptionsDlg dialog(frame, options, devices.c_str());
            shots.Next("options");
            dialog.Execute();
        }

        TSongInfo info{};
        std::strcpy(info.Title, "Minuet in G");
        std::strcpy(info.Author, "Christian Petzold");
        std::strcpy(info.Lyricist, "");
        std::strcpy(info.Copyright1, "Public domain");
        std::strcpy(info.Copyright2, "Typeset with QuillStave Composer 2");
        std::strcpy(info.Comments,
                    "From the notebook for Anna Magdalena Bach, 1725.\r\n"
                    "Play it lightly, with a little lift on each first beat.\r\n"
                    "More pieces: http://www.quillstave.example/samples");
        shots.Next("song_information");
        ShowScoreInfo(frame, info);

        shots.Next("help");
        CmHelp();
    }
    if (shots.OnDisplay) {
        qsm::shot::EndDisplay();
    }
    return shots.Failures == 0 ? 0 : 1;
}
