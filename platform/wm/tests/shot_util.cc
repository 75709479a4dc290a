#include "platform/wm/tests/shot_util.h"

#include <cstdint>
#include <cstdlib>

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

bool ShownAsDrawn(HWND hwnd) {
    RECT wr;
    ::GetWindowRect(hwnd, &wr);
    cairo_surface_t* shot = GrabScreen(wr);
    if (shot == nullptr) return false;
    bool same = DifferingPixels(shot, hwnd) == 0;
    cairo_surface_destroy(shot);
    return same;
}

void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
}

}  // namespace qsm::shot
