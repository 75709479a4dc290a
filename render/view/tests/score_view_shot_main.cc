// Opens a text score in a frame with the score view and a status bar on the headless window system and
// saves the virtual screen as a PNG: score_view_shot <in.qsmtxt> <out.png> [width height] [bars to scroll].
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/ram_stream.h"
#include "platform/framework/gadgets.h"
#include "platform/gdi/gdi_surface.h"
#include "platform/wm/backend.h"
#include "platform/wm/surface.h"
#include "render/base/color_palette.h"
#include "render/view/score_view.h"
#include "score/file/text_import.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

int main(int argc, char** argv) {
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
    view->SetFocus();
    view->EnableCaret(true);
    qsm::wm::PumpMessages();
    for (int i = 0; i < bars; ++i)
        view->SendMessage(WM_KEYDOWN, VK_RIGHT, 1);
    status->SetText(("Staff size " + std::to_string(view->GetStaffSize()) + ", time " +
                     std::to_string(view->GetCurrentIndex()))
                        .c_str());
    qsm::wm::PumpMessages();
    return qsm::wm::SaveScreenPng(argv[2]) ? 0 : 1;
}
