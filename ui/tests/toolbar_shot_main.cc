// Shows a frame with a toolbar docked along its top and a second toolbar floating beside it, and saves a
// PNG of both: toolbar_shot <out.png>.
// With a display (DISPLAY set, as under xvfb-run) the windows are shown by the SDL backend and the PNG holds
// the X server's pixels, taken once the server shows both windows as drawn; without one, the headless
// virtual screen is saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/sys_info.h"
#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/shot_util.h"
#include "ui/button_gadget.h"
#include "ui/status_bar.h"
#include "ui/toolbar.h"
#include "ui/toolbar_frame.h"

namespace {

// A button whose 16 x 15 glyph is drawn from one of a few patterns.
class TShotButton : public TToolbarButtonGadget {
public:
    TShotButton(int id, int pattern) : TToolbarButtonGadget(1, id, Command, true), Pattern(pattern) {}
    TDib* GetGlyphBitmap() override {
        const int w = 16, h = 15, stride = (w * 3 + 3) & ~3;
        std::vector<uint8_t> packed(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride) * h);
        BITMAPINFOHEADER bi{};
        bi.biSize = sizeof bi;
        bi.biWidth = w;
        bi.biHeight = -h;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        std::memcpy(packed.data(), &bi, sizeof bi);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                COLORREF c = Colour(x, y);
                uint8_t* p = packed.data() + sizeof bi + static_cast<size_t>(y) * stride + x * 3;
                p[0] = GetBValue(c);
                p[1] = GetGValue(c);
                p[2] = GetRValue(c);
            }
        return new TDib(packed.data(), packed.size());
    }

private:
    COLORREF Colour(int x, int y) const {
        const COLORREF face = RGB(192, 192, 192);
        switch (Pattern % 5) {
            case 0:  // play: a triangle
                return x >= 4 && x <= 12 && y >= 2 + (x - 4) / 2 && y <= 12 - (x - 4) / 2 ? RGB(0, 128, 0)
                                                                                          : face;
            case 1:  // stop: a square
                return x >= 4 && x <= 11 && y >= 3 && y <= 10 ? RGB(128, 0, 0) : face;
            case 2:  // pause: two bars
                return y >= 3 && y <= 11 && ((x >= 4 && x <= 6) || (x >= 9 && x <= 11)) ? RGB(0, 0, 128)
                                                                                        : face;
            case 3:  // open: a folder
                return (y >= 5 && y <= 12 && x >= 2 && x <= 13) || (y == 4 && x >= 2 && x <= 6)
                           ? (y == 5 || y == 12 || x == 2 || x == 13 ? RGB(0, 0, 0) : RGB(255, 255, 0))
                           : face;
            default:  // print: a page with lines
                return x >= 4 && x <= 11 && y >= 1 && y <= 13
                           ? (x == 4 || x == 11 || y == 1 || y == 13 ? RGB(0, 0, 0)
                              : (y % 3 == 0 && x >= 6 && x <= 9)     ? RGB(128, 128, 128)
                                                                     : RGB(255, 255, 255))
                           : face;
        }
    }
    int Pattern;
};

class TShotFrame : public TDecoratedFrame {
public:
    TShotFrame() : TDecoratedFrame(nullptr, "QuillStave Composer 2 Viewer", new TWindow(nullptr, "")) {
        Attr.X = 180;
        Attr.Y = 120;
        Attr.W = 560;
        Attr.H = 360;
    }
};

void Fill(TToolbar* tb, int first, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0 && i % 3 == 0) tb->Insert(*new TQSToolbarSeparatorGadget);
        tb->Insert(*new TShotButton(first + i, first + i));
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    bool on_display = qsm::shot::StartDisplay();
    int result = 1;
    {
        TApplication app("toolbar_shot");
        auto* frame = new TShotFrame;
        auto* tools = new TToolbar(frame, "Tools", 0x2800, 1, nullptr);
        tools->DockMask = 0xf000;
        Fill(tools, 0, 8);
        auto* floating = new TToolbar(frame, "Player", 0x2810, 1, nullptr);
        floating->FloatPos = TPoint(60, 300);
        Fill(floating, 10, 6);
        app.SetMainWindow(frame);
        if (!frame->Create()) return 1;
        frame->Show(SW_SHOW);
        floating->SetShapeIndex(1);
        HWND fw = floating->FloatingFrame ? floating->FloatingFrame->GetHandle() : nullptr;
        if (fw == nullptr) return 1;
        RECT a, b, all;
        ::GetWindowRect(*frame, &a);
        ::GetWindowRect(fw, &b);
        UnionRect(&all, &a, &b);
        InflateRect(&all, 10, 10);
        if (!on_display) {
            qsm::wm::PumpMessages();
            result = qsm::wm::SaveScreenPng(argv[1]) ? 0 : 1;
        } else {
            // Until the X server shows both windows as drawn (mapped, placed and presented).
            for (int attempt = 0; attempt < 2000 && result != 0; ++attempt) {
                qsm::wm::CurrentBackend().Wait(10);
                qsm::shot::Pump();
                if (!qsm::shot::ShownAsDrawn(*frame) || !qsm::shot::ShownAsDrawn(fw)) continue;
                cairo_surface_t* shot = GrabScreen(all);
                if (shot == nullptr) break;
                if (cairo_surface_write_to_png(shot, argv[1]) == CAIRO_STATUS_SUCCESS) result = 0;
                cairo_surface_destroy(shot);
            }
            if (result != 0) std::fprintf(stderr, "the display never showed the windows as drawn\n");
        }
    }
    if (on_display) {
        qsm::shot::EndDisplay();
    }
    return result;
}
