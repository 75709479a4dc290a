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
#include "score/music_score.h"
#include "viewer/launchpad.h"
#include "viewer/options.h"
#include "viewer/options_dlg.h"
#include "viewer/viewer_dlg.h"

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
    g_onDisplay = qsm::shot::StartDisplay();
    {
        // The Launchpad comes before any window of the program, with both editors installed.
        SessionOptions.Editor1Installed = 1;
        SessionOptions.Editor2Installed = 1;
        ShootNext("launchpad");
        RunLaunchpad("/home/me/Songs/Minuet in G.qsm", 2);

        TApplication app("viewer_dialogs_shot");
        auto* frame = new TWindow(static_cast<TWindow*>(nullptr), "QuillStave Composer 2 Viewer");
        frame->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        frame->Attr.W = 720;
        frame->Attr.H = 540;
        frame->Attr.X = (GetSystemMetrics(SM_CXSCREEN) - frame->Attr.W) / 2;
        frame->Attr.Y = (GetSystemMetrics(SM_CYSCREEN) - frame->Attr.H) / 2;
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;

        TViewerOptions options;
        SetDefaultOptions(options);
        std::string devices = MakePlayDeviceItems();
        {
            TOptionsDlg dialog(frame, options, devices.c_str());
            ShootNext("options");
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
        ShootNext("song_information");
        ShowScoreInfo(frame, info);

        ShootNext("help");
        CmHelp();
    }
    if (g_onDisplay) {
        qsm::shot::EndDisplay();
    }
    return g_failures == 0 ? 0 : 1;
}
