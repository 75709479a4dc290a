// Opens a text score in a frame with the score view and a status bar and saves a PNG of it:
// score_view_shot <in.qsmtxt> <out.png> [width height] [bars to scroll].
// With a display (DISPLAY set, as under xvfb-run) the frame is shown by the SDL backend and the PNG holds
// the X server's pixels of the frame window; without one, the headless virtual screen is saved.
#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "platform/framework/gadgets.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"
#include "platform/wm/tests/shot_util.h"
#include "render/hooks.h"
#include "render/view/score_view.h"
#include "score/base/color_palette.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s in.qsmtxt out.png [width height] [bars]\n", argv[0]);
        return 2;
    }
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreFile(argv[1]);
    if (!score) {
        std::fprintf(stderr, "cannot import %s\n", argv[1]);
        return 1;
    }
    int w = argc > 4 ? std::atoi(argv[3]) : 900;
    int h = argc > 4 ? std::atoi(argv[4]) : 500;
    int bars = argc > 5 ? std::atoi(argv[5]) : 0;
    qsm::gdi::SetScreenMetrics(w + 40, h + 40, 96);
    bool on_display = qsm::shot::StartDisplay();
    int result = 1;
    {
        TApplication app("score_view_shot");
        TColorPalette palette;
        auto* view = new TStaticScoreView(score.get(), &palette, nullptr, 1, "", 0, 0, 100, 100);
        auto* frame = new TDecoratedFrame(nullptr, argv[1], view);
        frame->Attr.X = frame->Attr.Y = 20;
        frame->Attr.W = w;
        frame->Attr.H = h;
        auto* status = new TStatusBar(frame);
        frame->Insert(*status, TDecoratedFrame::Bottom);
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;
        frame->Show(SW_SHOW);
        ::SetForegroundWindow(frame->GetHandle());
        ::SetActiveWindow(frame->GetHandle());
        view->SetFocus();
        view->EnableCaret(true);
        qsm::wm::PumpMessages();
        for (int i = 0; i < bars; ++i)
            view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
        status->SetText(("Staff size " + std::to_string(view->GetStaffSize()) + ", time " +
                         std::to_string(view->GetCurrentIndex()))
                            .c_str());
        if (!on_display) {
            qsm::wm::PumpMessages();
            result = qsm::wm::SaveScreenPng(argv[2]) ? 0 : 1;
        } else {
            // Until the X server shows what the window manager drew (the caret may differ). A display
            // without a window manager may take the focus away while the window maps: it is given back
            // meanwhile, so that the shot shows the frame active and the view focused, with its focus frame.
            HWND top = frame->GetHandle();
            qsm::wm::RunUntil([&] {
                if (::GetActiveWindow() != top) {
                    ::SetForegroundWindow(top);
                    ::SetActiveWindow(top);
                    view->SetFocus();
                }
                RECT now;
                ::GetWindowRect(top, &now);
                cairo_surface_t* shot = GrabScreen(now);
                long differing = shot != nullptr ? qsm::shot::DifferingPixels(shot, top) : -1;
                if (shot != nullptr) cairo_surface_destroy(shot);
                return differing >= 0 && differing < 64;
            });
            RECT wr;
            ::GetWindowRect(frame->GetHandle(), &wr);
            if (cairo_surface_t* shot = GrabScreen(wr)) {
                // The X server must show what the window manager drew; the caret may differ.
                long differing = qsm::shot::DifferingPixels(shot, frame->GetHandle());
                if (differing < 0 || differing >= 64)
                    std::fprintf(stderr, "the display differs from the back buffer in %ld pixels\n",
                                 differing);
                else if (cairo_surface_write_to_png(shot, argv[2]) == CAIRO_STATUS_SUCCESS)
                    result = 0;
                cairo_surface_destroy(shot);
            }
        }
    }
    if (on_display) {
        qsm::shot::EndDisplay();
    }
    return result;
}
