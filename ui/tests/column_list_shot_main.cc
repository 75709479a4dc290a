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
#include "ui/tests/column_dialog.h"

// The X server's pixels of a screen rectangle (platform/wm/tests/x11_grab.cc); null without a display.
cairo_surface_t* GrabScreen(const RECT& r);

namespace {

// Counts the pixels in which the X server's picture of the window differs from its back buffer.
long DifferingPixels(cairo_surface_t* screen, HWND hwnd) {
    cairo_surface_t* buffer = qsm::wm::TopLevelSurface(hwnd);
    if (buffer == nullptr) return -1;
    cairo_surface_flush(buffer);
    int w = cairo_image_surface_get_width(screen), h = cairo_image_surface_get_height(screen);
    if (cairo_image_surface_get_width(buffer) != w || cairo_image_surface_get_height(buffer) != h) return -1;
    auto pixel = [](cairo_surface_t* s, int x, int y) {
        auto* row = cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s);
        return reinterpret_cast<uint32_t*>(row)[x] & 0xFFFFFFu;
    };
    long differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            differing += pixel(screen, x, y) != pixel(buffer, x, y);
    return differing;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png [steps]\n", argv[0]);
        return 2;
    }
    qsm::gdi::SetScreenMetrics(560, 340, 96);
    bool on_display = std::getenv("DISPLAY") != nullptr && qsm::wm::InstallSdlBackend();
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
            qsm::wm::RunFor(600);
            // A display without a window manager may take the focus away while the window maps.
            ::SetForegroundWindow(dialog->GetHandle());
            ::SetActiveWindow(dialog->GetHandle());
            dialog->List->SetFocus();
            qsm::wm::RunFor(200);
            RECT wr;
            ::GetWindowRect(dialog->GetHandle(), &wr);
            if (cairo_surface_t* shot = GrabScreen(wr)) {
                long differing = DifferingPixels(shot, dialog->GetHandle());
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
        qsm::wm::ResetForTests();
        qsm::wm::RemoveSdlBackend();
    }
    return result;
}
