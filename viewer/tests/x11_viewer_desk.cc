#include "viewer/tests/x11_viewer_desk.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <cairo.h>
#include <poll.h>

#include <algorithm>
#include <cstring>

namespace {

// A safety net against a program that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 30000;

// Windows come and go while the tests look at them: a request about one that has gone fails, and the answer
// is that it is not there, not the end of the test program.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

Display* D() {
    static Display* display = [] {
        XSetErrorHandler(IgnoreXError);
        return XOpenDisplay(nullptr);
    }();
    return display;
}

bool NextEvent(XEvent* e) {
    XFlush(D());
    if (XPending(D()) == 0) {
        pollfd p{ConnectionNumber(D()), POLLIN, 0};
        if (poll(&p, 1, kGiveUpMs) <= 0) return false;
    }
    XNextEvent(D(), e);
    return true;
}

void Key(KeySym sym, bool down) {
    XTestFakeKeyEvent(D(), XKeysymToKeycode(D(), sym), down ? True : False, CurrentTime);
}

}  // namespace

DeskBox DeskWindowBox(unsigned long w) {
    DeskBox box;
    XWindowAttributes a{};
    Window child = 0;
    if (!XGetWindowAttributes(D(), w, &a)) return box;
    XTranslateCoordinates(D(), w, DefaultRootWindow(D()), 0, 0, &box.x, &box.y, &child);
    box.w = a.width;
    box.h = a.height;
    return box;
}

DeskBox DeskScreenBox() {
    return DeskBox{0, 0, DisplayWidth(D(), DefaultScreen(D())), DisplayHeight(D(), DefaultScreen(D()))};
}

std::vector<uint32_t> DeskPixels(const DeskBox& box) {
    std::vector<uint32_t> pixels;
    if (box.w <= 0 || box.h <= 0) return pixels;
    XImage* image = XGetImage(D(), DefaultRootWindow(D()), box.x, box.y, static_cast<unsigned>(box.w),
                              static_cast<unsigned>(box.h), AllPlanes, ZPixmap);
    if (image == nullptr) return pixels;
    pixels.reserve(static_cast<size_t>(box.w) * static_cast<size_t>(box.h));
    for (int y = 0; y < box.h; ++y)
        for (int x = 0; x < box.w; ++x)
            pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    XDestroyImage(image);
    return pixels;
}

bool DeskWaitFor(unsigned long w, const std::function<bool()>& test) {
    int damageEvent = 0, damageError = 0;
    bool damage = XDamageQueryExtension(D(), &damageEvent, &damageError);
    Damage watch = damage ? XDamageCreate(D(), w, XDamageReportRawRectangles) : 0;
    XSelectInput(D(), w, PropertyChangeMask | StructureNotifyMask);
    XSelectInput(D(), DefaultRootWindow(D()), PropertyChangeMask | SubstructureNotifyMask);
    XSync(D(), False);
    bool ok = true;
    while (!test()) {
        XEvent e;
        if (!NextEvent(&e)) {
            ok = false;
            break;
        }
    }
    if (watch != 0) XDamageDestroy(D(), watch);
    XSync(D(), False);
    XEvent e;
    while (XPending(D()) > 0)
        XNextEvent(D(), &e);
    return ok;
}

namespace {

std::vector<Window> MappedWindows() {
    std::vector<Window> mapped;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(D(), DefaultRootWindow(D()), &root, &parent, &children, &n)) return mapped;
    for (unsigned int i = 0; i < n; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(D(), children[i], &a) && a.map_state == IsViewable)
            mapped.push_back(children[i]);
    }
    if (children) XFree(children);
    return mapped;
}

}  // namespace

unsigned long DeskOpenedAndDrawn(const std::function<void()>& action) {
    std::vector<Window> before = MappedWindows();
    XSelectInput(D(), DefaultRootWindow(D()), SubstructureNotifyMask);
    XSync(D(), False);
    action();
    Window opened = 0;
    while (opened == 0) {
        for (Window w : MappedWindows())
            if (std::find(before.begin(), before.end(), w) == before.end()) opened = w;
        if (opened != 0) break;
        XEvent e;
        if (!NextEvent(&e)) return 0;
    }
    // Drawn into: a damage report on it (it may have been drawn before the watch began, so its pixels are
    // first taken as they are now and any report after that counts).
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(D(), &damageEvent, &damageError)) return opened;
    Damage watch = XDamageCreate(D(), opened, XDamageReportNonEmpty);
    XSync(D(), False);
    bool drawn = false;
    while (!drawn) {
        XEvent e;
        if (!NextEvent(&e)) break;
        drawn = e.type == damageEvent + XDamageNotify;
    }
    XDamageDestroy(D(), watch);
    XSync(D(), False);
    return drawn ? opened : 0;
}

bool DeskWaitForFocus(unsigned long w) {
    XSelectInput(D(), w, FocusChangeMask);
    XSync(D(), False);
    auto focused = [&] {
        Window f = 0;
        int revert = 0;
        XGetInputFocus(D(), &f, &revert);
        for (; f != 0 && f != PointerRoot;) {
            if (f == w) return true;
            Window root = 0, parent = 0, *children = nullptr;
            unsigned int n = 0;
            if (!XQueryTree(D(), f, &root, &parent, &children, &n)) break;
            if (children) XFree(children);
            if (parent == root) break;
            f = parent;
        }
        return false;
    };
    while (!focused()) {
        XEvent e;
        if (!NextEvent(&e)) return false;
    }
    return true;
}

void DeskDrag(int x0, int y0, int x1, int y1) {
    XTestFakeMotionEvent(D(), -1, x0, y0, CurrentTime);
    XTestFakeButtonEvent(D(), 1, True, CurrentTime);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i)
        XTestFakeMotionEvent(D(), -1, x0 + (x1 - x0) * i / kSteps, y0 + (y1 - y0) * i / kSteps, CurrentTime);
    XTestFakeButtonEvent(D(), 1, False, CurrentTime);
    XSync(D(), False);
}

void DeskKey(const char* name, bool down) {
    Key(XStringToKeysym(name), down);
    XSync(D(), False);
}

bool DeskSaveScreen(const std::string& path) {
    DeskBox box = DeskScreenBox();
    std::vector<uint32_t> pixels = DeskPixels(box);
    if (pixels.empty()) return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, box.w, box.h);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < box.h; ++y)
        std::memcpy(data + y * stride, &pixels[static_cast<size_t>(y) * static_cast<size_t>(box.w)],
                    static_cast<size_t>(box.w) * 4);
    cairo_surface_mark_dirty(s);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}
