// The X desktop beyond SDL (sdl_desktop.h): the window manager check, frame extents, window types, owners
// and the actions offered on a window, over a connection of its own with a lazily loaded Xlib.
#include "platform/wm/sdl_desktop.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>
#include <poll.h>

#include <chrono>

#include "platform/kernel/lazy_library.h"
#include "platform/wm/x_image.h"

namespace qsm::wm::desktop {
namespace {

#define QSM_X11_FUNCTIONS(X) \
    X(XChangeProperty)       \
    X(XCloseDisplay)         \
    X(XConnectionNumber)     \
    X(XCreateSimpleWindow)   \
    X(XDefaultRootWindow)    \
    X(XDefaultScreen)        \
    X(XDestroyWindow)        \
    X(XDisplayHeight)        \
    X(XDisplayWidth)         \
    X(XFlush)                \
    X(XFree)                 \
    X(XGetWindowProperty)    \
    X(XInternAtom)           \
    X(XNextEvent)            \
    X(XOpenDisplay)          \
    X(XPending)              \
    X(XRaiseWindow)          \
    X(XSelectInput)          \
    X(XSendEvent)            \
    X(XSetErrorHandler)      \
    X(XSetTransientForHint)  \
    X(XSetWMNormalHints)     \
    X(XSync)                 \
    X(XTranslateCoordinates)
QSM_LAZY_LIBRARY(XlibApi, "libX11.so.6", QSM_X11_FUNCTIONS)

// XRandR, for the outputs of the screen.
#define QSM_XRANDR_FUNCTIONS(X)     \
    X(XRRFreeCrtcInfo)              \
    X(XRRFreeOutputInfo)            \
    X(XRRFreeScreenResources)       \
    X(XRRGetCrtcInfo)               \
    X(XRRGetOutputInfo)             \
    X(XRRGetOutputPrimary)          \
    X(XRRGetScreenResourcesCurrent) \
    X(XRRQueryExtension)            \
    X(XRRQueryVersion)
QSM_LAZY_LIBRARY(XrandrApi, "libXrandr.so.2", QSM_XRANDR_FUNCTIONS)

// SDL's own call for the X display and window of an SDL window, from the SDL the backend loaded.
#define QSM_SDL_WM_FUNCTIONS(X) X(SDL_GetWindowWMInfo)
QSM_LAZY_LIBRARY(SdlWmApi, "libSDL2-2.0.so.0", QSM_SDL_WM_FUNCTIONS)

const XlibApi& X() {
    return *XlibApi::Get();
}

// A window manager that does not answer a frame request within this time is taken to give no frame.
constexpr int kFrameAnswerMs = 250;

Display* g_display = nullptr;
bool g_opened = false;
int g_manager = -1;       // unknown
int g_bounds_known = -1;  // unknown
RECT g_bounds{};
Atom g_extents_atom = 0;
struct KnownFrame {
    bool asked = false;
    bool known = false;
    RECT frame{};
};
KnownFrame g_frames[2][2];  // [kind][resizable]

// SDL wakes its waiting event loop, when another thread posts, by a message sent over a connection of its own
// to a window of the program; when that window is closed meanwhile the X server answers BadWindow, and Xlib's
// default answer to an error ends the program. That one error is harmless (the loop is awake: it is closing
// the window); every other goes on to the handler there was before.
XErrorHandler g_earlier_handler = nullptr;
constexpr unsigned char kSendEventRequest = 25;

int OnXError(Display* d, XErrorEvent* e) {
    if (e->request_code == kSendEventRequest && e->error_code == BadWindow) return 0;
    // The back buffers' connection notes its own errors.
    if (ximage::TakeError(d)) return 0;
    return g_earlier_handler != nullptr ? g_earlier_handler(d, e) : 0;
}

// The desktop's connection, opened on first use; null without X.
Display* Dpy() {
    if (!g_opened) {
        g_opened = true;
        if (XlibApi::Get() != nullptr) {
            g_display = X().XOpenDisplay(nullptr);
            if (g_display != nullptr) {
                XErrorHandler earlier = X().XSetErrorHandler(OnXError);
                if (earlier != OnXError) g_earlier_handler = earlier;
            }
        }
    }
    return g_display;
}

Atom A(const char* name) {
    return X().XInternAtom(Dpy(), name, False);
}

::Window XOf(SDL_Window* win) {
    if (SdlWmApi::Get() == nullptr || win == nullptr) return 0;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SdlWmApi::Get()->SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
    return info.info.x11.window;
}

// The 32-bit items of a property, as Xlib hands them (in longs); empty when it is missing.
int ReadLongs(::Window w, Atom property, Atom type, long* out, int most) {
    Atom got = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (X().XGetWindowProperty(Dpy(), w, property, 0, most, False, type, &got, &format, &count, &after,
                               &data) != Success ||
        data == nullptr)
        return 0;
    int n = 0;
    if (format == 32)
        for (; n < most && static_cast<unsigned long>(n) < count; ++n)
            out[n] = reinterpret_cast<const long*>(data)[n];
    X().XFree(data);
    return n;
}

bool ReadFrame(::Window w, RECT* frame) {
    long e[4];
    if (ReadLongs(w, A("_NET_FRAME_EXTENTS"), XA_CARDINAL, e, 4) != 4) return false;
    *frame = RECT{static_cast<LONG>(e[0]), static_cast<LONG>(e[2]), static_cast<LONG>(e[1]),
                  static_cast<LONG>(e[3])};
    return true;
}

void SetHints(::Window w, Kind kind, bool resizable, bool minimize, bool maximize) {
    Atom type = A(kind == Kind::Dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
    X().XChangeProperty(Dpy(), w, A("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&type), 1);
    // Motif hints: which actions the window manager offers (moving and closing always), and the parts of the
    // frame it draws, its minimize and maximize buttons only where the window offers those actions (a window
    // manager may follow either list alone).
    constexpr long kFunctions = 1, kDecorations = 2;
    constexpr long kResize = 2, kMove = 4, kMinimize = 8, kMaximize = 16, kClose = 32;
    constexpr long kBorder = 2, kResizeHandle = 4, kTitle = 8, kMenu = 16, kMinimizeButton = 32,
                   kMaximizeButton = 64;
    long motif[5] = {
        kFunctions | kDecorations,
        kMove | kClose | (resizable ? kResize : 0) | (minimize ? kMinimize : 0) | (maximize ? kMaximize : 0),
        kBorder | kTitle | kMenu | (resizable ? kResizeHandle : 0) | (minimize ? kMinimizeButton : 0) |
            (maximize ? kMaximizeButton : 0),
        0, 0};
    Atom motif_atom = A("_MOTIF_WM_HINTS");
    X().XChangeProperty(Dpy(), w, motif_atom, motif_atom, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(motif), 5);
}

}  // namespace

void Unbind() {
    if (g_display != nullptr) X().XCloseDisplay(g_display);
    g_display = nullptr;
    g_opened = false;
    g_manager = -1;
    g_bounds_known = -1;
    g_extents_atom = 0;
    for (auto& kind : g_frames)
        for (KnownFrame& f : kind)
            f = KnownFrame{};
}

bool ManagerRuns() {
    if (g_manager < 0) {
        g_manager = 0;
        if (Dpy() != nullptr) {
            // The check window the root names must name itself: a window manager that ended leaves the root's
            // property behind with a window that is gone.
            Atom check = A("_NET_SUPPORTING_WM_CHECK");
            long root_says = 0, window_says = 0;
            if (ReadLongs(X().XDefaultRootWindow(Dpy()), check, XA_WINDOW, &root_says, 1) == 1 &&
                root_says != 0 &&
                ReadLongs(static_cast<::Window>(root_says), check, XA_WINDOW, &window_says, 1) == 1)
                g_manager = window_says == root_says ? 1 : 0;
        }
    }
    return g_manager == 1;
}

namespace {

// The rectangle of the output XRandR names for display 0 as SDL counts them: the primary output when it shows
// anything, else the first output that does. False where XRandR (1.3 or later) does not run or no output
// shows anything.
bool OutputBounds(Display* d, RECT* bounds) {
    const XrandrApi* rr = XrandrApi::Get();
    int event_base = 0, error_base = 0, major = 0, minor = 0;
    if (rr == nullptr || !rr->XRRQueryExtension(d, &event_base, &error_base) ||
        !rr->XRRQueryVersion(d, &major, &minor) || major < 1 || (major == 1 && minor < 3))
        return false;
    ::Window root = X().XDefaultRootWindow(d);
    XRRScreenResources* res = rr->XRRGetScreenResourcesCurrent(d, root);
    if (res == nullptr) return false;
    const RROutput primary = rr->XRRGetOutputPrimary(d, root);
    bool found = false;
    for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < res->noutput && !found; ++i) {
            if ((pass == 0) != (res->outputs[i] == primary)) continue;
            XRROutputInfo* out = rr->XRRGetOutputInfo(d, res, res->outputs[i]);
            if (out != nullptr && out->crtc != 0 && out->connection != RR_Disconnected) {
                if (XRRCrtcInfo* crtc = rr->XRRGetCrtcInfo(d, res, out->crtc)) {
                    *bounds = RECT{crtc->x, crtc->y, crtc->x + static_cast<LONG>(crtc->width),
                                   crtc->y + static_cast<LONG>(crtc->height)};
                    found = crtc->width > 0 && crtc->height > 0;
                    rr->XRRFreeCrtcInfo(crtc);
                }
            }
            if (out != nullptr) rr->XRRFreeOutputInfo(out);
        }
    }
    rr->XRRFreeScreenResources(res);
    return found;
}

}  // namespace

bool ScreenBounds(RECT* bounds) {
    if (g_bounds_known < 0) {
        g_bounds_known = 0;
        if (Display* d = Dpy()) {
            if (!OutputBounds(d, &g_bounds)) {
                const int screen = X().XDefaultScreen(d);
                g_bounds = RECT{0, 0, X().XDisplayWidth(d, screen), X().XDisplayHeight(d, screen)};
            }
            g_bounds_known = 1;
        }
    }
    if (g_bounds_known == 1) *bounds = g_bounds;
    return g_bounds_known == 1;
}

bool WorkArea(RECT* area) {
    if (Dpy() == nullptr) return false;
    long a[4];
    if (ReadLongs(X().XDefaultRootWindow(Dpy()), A("_NET_WORKAREA"), XA_CARDINAL, a, 4) != 4) return false;
    *area = RECT{static_cast<LONG>(a[0]), static_cast<LONG>(a[1]), static_cast<LONG>(a[0] + a[2]),
                 static_cast<LONG>(a[1] + a[3])};
    return true;
}

bool FrameOfKind(Kind kind, bool resizable, RECT* frame) {
    KnownFrame& known = g_frames[kind == Kind::Dialog ? 1 : 0][resizable ? 1 : 0];
    if (!known.asked && ManagerRuns()) {
        known.asked = true;
        // A window of the kind that is never shown, and the window manager's answer to a frame request for
        // it.
        Display* d = Dpy();
        ::Window root = X().XDefaultRootWindow(d);
        ::Window probe = X().XCreateSimpleWindow(d, root, 0, 0, 100, 100, 0, 0, 0);
        SetHints(probe, kind, resizable, kind == Kind::Normal, kind == Kind::Normal);
        if (!resizable) {
            XSizeHints hints{};
            hints.flags = PMinSize | PMaxSize;
            hints.min_width = hints.max_width = 100;
            hints.min_height = hints.max_height = 100;
            X().XSetWMNormalHints(d, probe, &hints);
        }
        X().XSelectInput(d, probe, PropertyChangeMask);
        XEvent ask{};
        ask.xclient.type = ClientMessage;
        ask.xclient.window = probe;
        ask.xclient.message_type = A("_NET_REQUEST_FRAME_EXTENTS");
        ask.xclient.format = 32;
        X().XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ask);
        X().XFlush(d);
        Atom extents = A("_NET_FRAME_EXTENTS");
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFrameAnswerMs);
        while (!known.known) {
            if (X().XPending(d) == 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    until - std::chrono::steady_clock::now());
                if (left.count() <= 0) break;
                pollfd p{X().XConnectionNumber(d), POLLIN, 0};
                if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
                continue;
            }
            XEvent e;
            X().XNextEvent(d, &e);
            if (e.type == PropertyNotify && e.xproperty.window == probe && e.xproperty.atom == extents)
                known.known = ReadFrame(probe, &known.frame);
        }
        X().XDestroyWindow(d, probe);
        X().XFlush(d);
    }
    if (known.known) *frame = known.frame;
    return known.known;
}

void SetFramedHints(SDL_Window* win, Kind kind, bool resizable, bool minimize, bool maximize) {
    ::Window w = XOf(win);
    if (w == 0 || Dpy() == nullptr) return;
    SetHints(w, kind, resizable, minimize, maximize);
    // Before SDL maps the window on its own connection.
    X().XSync(Dpy(), False);
}

void SetOwner(SDL_Window* win, SDL_Window* owner) {
    ::Window w = XOf(win), o = XOf(owner);
    if (w == 0 || o == 0 || Dpy() == nullptr) return;
    X().XSetTransientForHint(Dpy(), w, o);
    X().XSync(Dpy(), False);
}

void RaiseOwned(SDL_Window* win) {
    ::Window w = XOf(win);
    if (w == 0 || Dpy() == nullptr) return;
    // A restacking request of the client: the window manager raises it without giving it the focus.
    X().XRaiseWindow(Dpy(), w);
    X().XFlush(Dpy());
}

unsigned long XWindowOf(SDL_Window* win) {
    return XOf(win);
}

unsigned long FrameChangedIn(const SDL_SysWMmsg* msg) {
    if (msg == nullptr || msg->subsystem != SDL_SYSWM_X11 || g_display == nullptr) return 0;
    const XEvent& e = msg->msg.x11.event;
    if (e.type != PropertyNotify) return 0;
    if (g_extents_atom == 0) g_extents_atom = A("_NET_FRAME_EXTENTS");
    return e.xproperty.atom == g_extents_atom ? e.xproperty.window : 0;
}

bool FocusChangeIn(const SDL_SysWMmsg* msg) {
    if (msg == nullptr || msg->subsystem != SDL_SYSWM_X11) return false;
    int type = msg->msg.x11.event.type;
    return type == FocusIn || type == FocusOut;
}

bool CurrentPlace(SDL_Window* win, int* x, int* y) {
    ::Window w = XOf(win), child = 0;
    Display* d = Dpy();
    return w != 0 && d != nullptr &&
           X().XTranslateCoordinates(d, w, X().XDefaultRootWindow(d), 0, 0, x, y, &child) != 0;
}

bool CurrentFrame(SDL_Window* win, RECT* frame) {
    ::Window w = XOf(win);
    return w != 0 && Dpy() != nullptr && ReadFrame(w, frame);
}

}  // namespace qsm::wm::desktop
