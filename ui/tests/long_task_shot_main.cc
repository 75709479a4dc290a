// Shows the long-task dialog over a main window, part way through a task, and saves a PNG of it:
// long_task_shot <out.png>.
// With a display (DISPLAY set, as under xvfb-run) the windows are shown by the SDL backend and the PNG holds
// the X server's pixels of the dialog, taken once the server shows what the window manager drew; without
// one, the headless virtual screen is saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "ui/long_task.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    bool on_display = qsm::shot::StartDisplay();
    int result = 1;
    {
        TApplication app("long_task_shot");
        auto* frame = new TWindow(static_cast<TWindow*>(nullptr), "QuillStave Composer 2 Viewer");
        // The main window in the middle of the screen, as the dialog is.
        frame->Attr.W = 640;
        frame->Attr.H = 420;
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;
        frame->Show(SW_SHOW);

        TLongTaskDlg dlg(frame, IDD_WORKING, 1, 1);
        dlg.SetGaugeLed(3, 85);
        if (!dlg.Create()) return 1;
        dlg.SetTextPrintf("Reading %s", "Invention No. 1 in C major.mid");
        dlg.ResetGauge(100);
        dlg.SetGaugeValue(40);
        IsLongTaskCancelled();
        if (!on_display) {
            qsm::wm::PumpMessages();
            result = qsm::wm::SaveScreenPng(argv[1]) ? 0 : 1;
        } else {
            // Until the X server shows the dialog as drawn (mapped, placed and presented). The desktop may
            // place the window itself, so its rectangle is asked for each time.
            for (int attempt = 0; attempt < 2000 && result != 0; ++attempt) {
                qsm::wm::CurrentBackend().Wait(10);
                qsm::shot::Pump();
                RECT wr;
                ::GetWindowRect(dlg.GetHandle(), &wr);
                cairo_surface_t* shot = GrabScreen(wr);
                if (shot == nullptr) break;
                if (qsm::shot::DifferingPixels(shot, dlg.GetHandle()) == 0 &&
                    cairo_surface_write_to_png(shot, argv[1]) == CAIRO_STATUS_SUCCESS)
                    result = 0;
                cairo_surface_destroy(shot);
            }
            if (result != 0) std::fprintf(stderr, "the display never showed the dialog as drawn\n");
        }
        dlg.CloseDialog();
    }
    if (on_display) {
        qsm::shot::EndDisplay();
    }
    return result;
}
