// Reads back what the X server shows, for the tests of the SDL backend. Kept apart from the tests because
// the X headers define names that clash with GoogleTest's.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <cstdint>

#include "platform/base/wintypes.h"

namespace {

// One connection for every question: tests ask many times while they wait for a frame, and a connection
// opened each time can exhaust a busy server's clients before it has let the closed ones go.
Display* Connection() {
    static Display* d = XOpenDisplay(nullptr);
    return d;
}

}  // namespace

// The X server's pixels of a screen rectangle as a cairo image.
cairo_surface_t* GrabScreen(const RECT& r) {
    Display* d = Connection();
    if (d == nullptr) return nullptr;
    int w = r.right - r.left, h = r.bottom - r.top;
    XImage* img = XGetImage(d, DefaultRootWindow(d), r.left, r.top, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
    cairo_surface_t* out = nullptr;
    if (img != nullptr) {
        out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        auto* data = cairo_image_surface_get_data(out);
        int stride = cairo_image_surface_get_stride(out);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                    static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu;
        cairo_surface_mark_dirty(out);
        XDestroyImage(img);
    }
    return out;
}

// Takes the keyboard from every window, as a switch to another program does.
bool DropKeyboardFocus() {
    Display* d = Connection();
    if (d == nullptr) return false;
    XSetInputFocus(d, None, RevertToNone, CurrentTime);
    XSync(d, False);
    return true;
}

namespace {

// The X window of the SDL window; 0 where SDL does not show it on X or no connection is there.
::Window XWindowOf(SDL_Window* win) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (Connection() == nullptr || !SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11)
        return 0;
    return info.info.x11.window;
}

}  // namespace

// Whether the X server has given the keyboard to the SDL window (a request SDL made is done only then).
bool XHasKeyboardFocus(SDL_Window* win) {
    ::Window xwin = XWindowOf(win);
    if (xwin == 0) return false;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(Connection(), &focus, &revert);
    return focus == xwin;
}

// Where the X server has the SDL window's top-left corner on the screen.
bool XWindowOrigin(SDL_Window* win, int* x, int* y) {
    ::Window xwin = XWindowOf(win);
    if (xwin == 0) return false;
    Display* d = Connection();
    ::Window child = 0;
    return XTranslateCoordinates(d, xwin, DefaultRootWindow(d), 0, 0, x, y, &child) != 0;
}
