// Shows the file list dialog with its column header and saves a PNG of it:
// ui_column_list_shot <out.png> [steps]. The columns are sized to their contents and the list is scrolled
// to the right by the given number of line steps, so that the captions are seen to scroll with the cells.
// With a display (DISPLAY set, as under xvfb-run) the dialog is shown by the SDL backend and the PNG holds
// the X server's pixels of it; without one, the headless virtual screen is saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/gdi/gdi_surface.h"
#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"
#include "platform/wm/tests/shot_util.h"
#include "ui/tests/column_dialog.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [steps]\n", argv[0]);
        return 2;
    }
    qsm::gdi::SetScreenMetrics(560, 340, 96);
    bool on_display = qsm::shot::StartDisplay();
    int result = 1;
    {
        TApplication app("ui_column_list_shot");
        auto* dialog = new TColumnDemoDialog(nullptr);
        dialog->Attr.X = dialog->Attr.Y = 20;
        if (!dialog->Create()) return 1;
        qsm::wm::PumpMessages();
        dialog->List->AutoSizeColumns(2);
        dialog->List->SetSelIndex(2);
        for (int i = argc > 2 ? std::atoi(argv[2]) : 0; i > 0; --i)
            dialog->List->SendMessage(WM_HSCROLL, SB_LINERIGHT);
        dialog->List->SetFocus();
        ::SetForegroundWindow(dialog->GetHandle());
        ::SetActiveWindow(dialog->GetHandle());
        if (!on_display) {
            qsm::wm::PumpMessages();
            result = qsm::wm::SaveScreenPng(argv[1]) ? 0 : 1;
        } else {
            // Until the X server shows the dialog as drawn. A display without a window manager may take
            // the focus away while the window maps: it is given back meanwhile.
            HWND dlg = dialog->GetHandle();
            qsm::wm::RunUntil([&] {
                if (::GetActiveWindow() != dlg) {
                    ::SetForegroundWindow(dlg);
                    ::SetActiveWindow(dlg);
                    dialog->List->SetFocus();
                }
                return qsm::shot::ShownAsDrawn(dlg);
            });
            RECT wr;
            ::GetWindowRect(dialog->GetHandle(), &wr);
            if (cairo_surface_t* shot = GrabScreen(wr)) {
                long differing = qsm::shot::DifferingPixels(shot, dialog->GetHandle());
                if (differing != 0)
                    std::fprintf(stderr, "the display differs from the back buffer in %ld pixels\n",
                                 differing);
                else if (cairo_surface_write_to_png(shot, argv[1]) == CAIRO_STATUS_SUCCESS)
                    result = 0;
                cairo_surface_destroy(shot);
            }
        }
        delete dialog;
    }
    if (on_display) {
        qsm::shot::EndDisplay();
    }
    return result;
}
