#include "platform/wm/tests/shot_util.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"

namespace qsm::shot {

bool StartDisplay() {
    return std::getenv("DISPLAY") != nullptr && wm::InstallSdlBackend();
}

void EndDisplay() {
    wm::ResetForTests();
    wm::RemoveSdlBackend();
}

long DifferingPixels(cairo_surface_t* screen, HWND hwnd) {
    cairo_surface_t* buffer = wm::TopLevelSurface(hwnd);
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

long DifferingOnScreen(HWND hwnd) {
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    cairo_surface_t* shot = GrabScreen(wr);
    if (shot == nullptr) return -1;
    long differing = DifferingPixels(shot, hwnd);
    cairo_surface_destroy(shot);
    return differing;
}

bool ShownAsDrawn(HWND hwnd) {
    return DifferingOnScreen(hwnd) == 0;
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

bool TDialogShots::Save(HWND dlg, const char* name) {
    std::string path = Folder + "/" + name + ".png";
    HWND button = GetDlgItem(dlg, IDOK) != nullptr ? GetDlgItem(dlg, IDOK) : GetDlgItem(dlg, IDCANCEL);
    SetFocus(button != nullptr ? button : dlg);
    if (!OnDisplay) {
        wm::PumpMessages();
        cairo_surface_t* s = wm::TopLevelSurface(dlg);
        return s != nullptr && cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    }
    // Until the X server shows the dialog as drawn; the desktop may place the window itself, so its
    // rectangle is asked for each time.
    for (int attempt = 0; attempt < 2000; ++attempt) {
        wm::CurrentBackend().Wait(10);
        Pump();
        RECT wr;
        ::GetWindowRect(dlg, &wr);
        cairo_surface_t* shot = GrabScreen(wr);
        if (shot == nullptr) return false;
        bool done = DifferingPixels(shot, dlg) == 0 &&
                    cairo_surface_write_to_png(shot, path.c_str()) == CAIRO_STATUS_SUCCESS;
        cairo_surface_destroy(shot);
        if (done) return true;
    }
    std::fprintf(stderr, "the display never showed %s as drawn\n", name);
    return false;
}

void TDialogShots::Next(const char* name) {
    wm::SetModalHook([this, name](HWND dlg) {
        if (!Save(dlg, name)) ++Failures;
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    });
}

}  // namespace qsm::shot
