// The desktop of the display tests (x11_desktop.h): openbox, XTest input and the questions to the X server
// and the window manager. Kept apart from the tests because the X headers define names that clash with
// GoogleTest's.
#include "ui/tests/x11_desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <cairo.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

// A safety net against a desktop that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 30000;

Display* g_display = nullptr;

// Windows of the program come and go while a test asks about them: a request about a window that just went
// fails, and the test's answer is then "none" rather than the end of the test program.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

Display* D() {
    if (g_display == nullptr) {
        g_display = XOpenDisplay(nullptr);
        XSetErrorHandler(IgnoreXError);
    }
    return g_display;
}

Atom A(const char* name) {
    return XInternAtom(D(), name, False);
}

// Waits for the next event of the test's connection; false when none came within the safety net.
bool NextEvent(XEvent* e) {
    XFlush(D());
    if (XPending(D()) == 0) {
        pollfd p{ConnectionNumber(D()), POLLIN, 0};
        if (poll(&p, 1, kGiveUpMs) <= 0) return false;
    }
    XNextEvent(D(), e);
    return true;
}

// The 32-bit items of a property (longs, as Xlib hands them), empty when it is missing.
std::vector<unsigned long> Property(Window w, const char* name, Atom type = AnyPropertyType) {
    std::vector<unsigned long> items;
    Atom got = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D(), w, A(name), 0, 1 << 20, False, type, &got, &format, &count, &after, &data) !=
            Success ||
        data == nullptr) {
        return items;
    }
    if (format == 32) {
        const auto* p = reinterpret_cast<const unsigned long*>(data);
        items.assign(p, p + count);
    }
    XFree(data);
    return items;
}

// Waits until test() holds, re-checking it at every property change of the root window.
template <typename Test>
bool WaitForRoot(Test test) {
    XSelectInput(D(), DefaultRootWindow(D()), PropertyChangeMask);
    XSync(D(), False);
    while (!test()) {
        XEvent e;
        if (!NextEvent(&e)) return false;
    }
    return true;
}

std::string TitleOf(Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(D(), w, A("_NET_WM_NAME"), 0, 1024, False, A("UTF8_STRING"), &type, &format,
                           &count, &after, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        if (!title.empty()) return title;
    }
    char* name = nullptr;
    if (XFetchName(D(), w, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

bool FindByName(Window w, const char* name, Window* found) {
    if (TitleOf(w) == name) {
        *found = w;
        return true;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(D(), w, &root, &parent, &children, &n)) return false;
    bool hit = false;
    for (unsigned int i = 0; i < n && !hit; ++i)
        hit = FindByName(children[i], name, found);
    if (children) XFree(children);
    return hit;
}

// The windows the window manager manages (_NET_CLIENT_LIST); each is watched for property changes.
std::vector<Window> Clients() {
    std::vector<Window> list;
    for (unsigned long id : Property(DefaultRootWindow(D()), "_NET_CLIENT_LIST", XA_WINDOW)) {
        list.push_back(id);
        XSelectInput(D(), id, PropertyChangeMask);
    }
    return list;
}

void SendToRoot(Window about, const char* type, long l0, long l1 = 0, long l2 = 0, long l3 = 0) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = about;
    e.xclient.message_type = A(type);
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    XSendEvent(D(), DefaultRootWindow(D()), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XSync(D(), False);
}

void Key(KeySym sym, bool down) {
    KeyCode code = XKeysymToKeycode(D(), sym);
    if (code != 0) XTestFakeKeyEvent(D(), code, down ? True : False, CurrentTime);
}

}  // namespace

bool ProgramOnPath(const char* name) {
    const char* path = getenv("PATH");
    if (path == nullptr) return false;
    std::string all = path;
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string file = all.substr(start, end - start) + "/" + name;
        if (access(file.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

int StartWindowManager() {
    if (D() == nullptr) return -1;
    pid_t pid = -1;
    char prog[] = "openbox";
    char* argv[] = {prog, nullptr};
    if (posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ) != 0) return -1;
    Window root = DefaultRootWindow(D());
    bool up = WaitForRoot([&] {
        std::vector<unsigned long> check = Property(root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        return !check.empty() && check[0] != 0;
    });
    if (!up) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return -1;
    }
    return pid;
}

void StopWindowManager(int pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    // The root keeps the window manager's properties; the next one starts from a bare screen.
    if (D() != nullptr) {
        XDeleteProperty(D(), DefaultRootWindow(D()), A("_NET_SUPPORTING_WM_CHECK"));
        XSync(D(), False);
    }
}

unsigned long XWindowNamed(const char* name) {
    Window found = 0;
    FindByName(DefaultRootWindow(D()), name, &found);
    return found;
}

unsigned long WaitForXWindow(const std::function<bool(const std::string&)>& fits) {
    if (D() == nullptr) return 0;
    XSelectInput(D(), DefaultRootWindow(D()), PropertyChangeMask);
    XSync(D(), False);
    for (;;) {
        for (Window w : Clients())
            if (fits(TitleOf(w))) return w;
        XSync(D(), False);
        XEvent e;
        if (!NextEvent(&e)) return 0;
    }
}

std::string XWindowTitle(unsigned long w) {
    return TitleOf(w);
}

bool WaitForXTitle(unsigned long w, const std::function<bool(const std::string&)>& fits) {
    XSelectInput(D(), w, PropertyChangeMask);
    XSync(D(), False);
    while (!fits(TitleOf(w))) {
        XEvent e;
        if (!NextEvent(&e)) return false;
    }
    return true;
}

unsigned long WaitForMappedXWindow(const char* name) {
    Window root = DefaultRootWindow(D());
    XSelectInput(D(), root, PropertyChangeMask | SubstructureNotifyMask);
    XSync(D(), False);
    for (;;) {
        Window w = 0;
        XWindowAttributes a{};
        if (FindByName(root, name, &w) && XGetWindowAttributes(D(), w, &a) && a.map_state == IsViewable)
            break;
        XEvent e;
        if (!NextEvent(&e)) return 0;
    }
    XSelectInput(D(), root, PropertyChangeMask);
    return XWindowNamed(name);
}

namespace {

std::vector<Window> MappedTopWindows() {
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

unsigned long WaitForOpenedAndDrawn(const std::function<void()>& action) {
    std::vector<Window> before = MappedTopWindows();
    Window root = DefaultRootWindow(D());
    XSelectInput(D(), root, PropertyChangeMask | SubstructureNotifyMask);
    XSync(D(), False);
    action();
    Window opened = 0;
    while (opened == 0) {
        for (Window w : MappedTopWindows())
            if (std::find(before.begin(), before.end(), w) == before.end()) opened = w;
        if (opened != 0) break;
        XEvent e;
        if (!NextEvent(&e)) return 0;
    }
    XSelectInput(D(), root, PropertyChangeMask);
    // Drawn into: not all black any more, the background of a window nobody has painted.
    bool drawn = WaitForX(opened, [&] {
        for (uint32_t p : XPixels(XWindowBox(opened)))
            if (p != 0) return true;
        return false;
    });
    return drawn ? opened : 0;
}

unsigned long ActiveXWindow() {
    std::vector<unsigned long> w = Property(DefaultRootWindow(D()), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return w.empty() ? 0 : w[0];
}

unsigned long FocusXWindow() {
    Window w = 0;
    int revert = 0;
    XGetInputFocus(D(), &w, &revert);
    return w;
}

bool WaitUntilActive(unsigned long w) {
    return WaitForRoot([&] { return ActiveXWindow() == w; });
}

bool WindowManagerBarrier() {
    Window root = DefaultRootWindow(D());
    Window probe = XCreateSimpleWindow(D(), root, 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(D(), probe, PropertyChangeMask);
    SendToRoot(probe, "_NET_REQUEST_FRAME_EXTENTS", 0);
    bool answered = false;
    while (!answered) {
        XEvent e;
        if (!NextEvent(&e)) break;
        answered = e.type == PropertyNotify && e.xproperty.window == probe &&
                   e.xproperty.atom == A("_NET_FRAME_EXTENTS");
    }
    XDestroyWindow(D(), probe);
    XSync(D(), False);
    return answered;
}

XBox XWindowBox(unsigned long w) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(D(), w, &a)) return {};
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(D(), w, DefaultRootWindow(D()), 0, 0, &x, &y, &child);
    return XBox{x, y, a.width, a.height};
}

XBox XFrameExtents(unsigned long w) {
    std::vector<unsigned long> e = Property(w, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    if (e.size() < 4) return {};
    return XBox{static_cast<int>(e[0]), static_cast<int>(e[2]), static_cast<int>(e[1]),
                static_cast<int>(e[3])};
}

XBox XFrameBox(unsigned long w) {
    XBox b = XWindowBox(w), e = XFrameExtents(w);
    return XBox{b.x - e.x, b.y - e.y, b.w + e.x + e.w, b.h + e.y + e.h};
}

std::vector<std::string> XWindowStates(unsigned long w) {
    std::vector<std::string> names;
    for (unsigned long atom : Property(w, "_NET_WM_STATE", XA_ATOM)) {
        char* name = XGetAtomName(D(), atom);
        if (name != nullptr) {
            names.emplace_back(name);
            XFree(name);
        }
    }
    return names;
}

bool XHasState(unsigned long w, const char* state) {
    std::vector<std::string> states = XWindowStates(w);
    return std::find(states.begin(), states.end(), state) != states.end();
}

bool XWindowMaximized(unsigned long w) {
    return XHasState(w, "_NET_WM_STATE_MAXIMIZED_VERT") && XHasState(w, "_NET_WM_STATE_MAXIMIZED_HORZ");
}

std::string XWindowType(unsigned long w) {
    std::vector<unsigned long> types = Property(w, "_NET_WM_WINDOW_TYPE", XA_ATOM);
    if (types.empty()) return "";
    char* name = XGetAtomName(D(), types[0]);
    std::string out = name != nullptr ? name : "";
    if (name != nullptr) XFree(name);
    return out;
}

unsigned long XTransientFor(unsigned long w) {
    Window owner = 0;
    return XGetTransientForHint(D(), w, &owner) ? owner : 0;
}

XSizeLimits XWindowSizeLimits(unsigned long w) {
    XSizeHints hints{};
    long supplied = 0;
    XSizeLimits out;
    if (!XGetWMNormalHints(D(), w, &hints, &supplied)) return out;
    if (hints.flags & PMinSize) {
        out.min_w = hints.min_width;
        out.min_h = hints.min_height;
    }
    if (hints.flags & PMaxSize) {
        out.max_w = hints.max_width;
        out.max_h = hints.max_height;
    }
    return out;
}

bool XWindowIcon(unsigned long w, int* width, int* height) {
    std::vector<unsigned long> icon = Property(w, "_NET_WM_ICON", XA_CARDINAL);
    if (icon.size() < 2 || icon.size() < 2 + icon[0] * icon[1]) return false;
    *width = static_cast<int>(icon[0]);
    *height = static_cast<int>(icon[1]);
    return true;
}

std::vector<uint32_t> XPixels(const XBox& box) {
    std::vector<uint32_t> out;
    // Only what is on the screen.
    XBox screen = XScreenBox();
    if (box.w <= 0 || box.h <= 0 || box.x < 0 || box.y < 0 || box.Right() > screen.w ||
        box.Bottom() > screen.h)
        return out;
    XImage* img = XGetImage(D(), DefaultRootWindow(D()), box.x, box.y, static_cast<unsigned>(box.w),
                            static_cast<unsigned>(box.h), AllPlanes, ZPixmap);
    if (img == nullptr) return out;
    out.resize(static_cast<size_t>(box.w) * static_cast<size_t>(box.h));
    for (int y = 0; y < box.h; ++y)
        for (int x = 0; x < box.w; ++x)
            out[static_cast<size_t>(y) * static_cast<size_t>(box.w) + static_cast<size_t>(x)] =
                static_cast<uint32_t>(XGetPixel(img, x, y)) & 0xFFFFFFu;
    XDestroyImage(img);
    return out;
}

XBox XScreenBox() {
    Screen* s = DefaultScreenOfDisplay(D());
    return XBox{0, 0, WidthOfScreen(s), HeightOfScreen(s)};
}

bool SaveXScreen(const std::string& path) {
    XBox box = XScreenBox();
    std::vector<uint32_t> pixels = XPixels(box);
    if (pixels.empty()) return false;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, box.w, box.h);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < box.h; ++y)
        std::memcpy(data + y * stride, &pixels[static_cast<size_t>(y) * static_cast<size_t>(box.w)],
                    static_cast<size_t>(box.w) * 4);
    cairo_surface_mark_dirty(s);
    bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool WaitForX(unsigned long w, const std::function<bool()>& test) {
    int damage_event = 0, damage_error = 0;
    bool damage = XDamageQueryExtension(D(), &damage_event, &damage_error);
    Damage watch = damage ? XDamageCreate(D(), w, XDamageReportRawRectangles) : 0;
    XSelectInput(D(), w, PropertyChangeMask | StructureNotifyMask);
    XSelectInput(D(), DefaultRootWindow(D()), PropertyChangeMask);
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
    // What the wait left unread is of no use to the next one.
    XEvent e;
    while (XPending(D()) > 0)
        XNextEvent(D(), &e);
    return ok;
}

void RequestXState(unsigned long w, bool add, const char* state, const char* state2) {
    SendToRoot(w, "_NET_WM_STATE", add ? 1 : 0, static_cast<long>(A(state)),
               state2 != nullptr ? static_cast<long>(A(state2)) : 0, 2);
}

void RequestMaximize(unsigned long w, bool maximize) {
    RequestXState(w, maximize, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
}

void RequestMinimize(unsigned long w) {
    SendToRoot(w, "WM_CHANGE_STATE", IconicState);
}

void RequestActivate(unsigned long w) {
    SendToRoot(w, "_NET_ACTIVE_WINDOW", 2, CurrentTime);
}

void CloseXWindow(unsigned long w) {
    SendToRoot(w, "_NET_CLOSE_WINDOW", CurrentTime, 2);
}

void MovePointer(int x, int y) {
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XSync(D(), False);
}

void ClickAt(int x, int y) {
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(D(), 1, True, CurrentTime);
    XTestFakeButtonEvent(D(), 1, False, CurrentTime);
    XSync(D(), False);
}

void PressAt(int x, int y) {
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(D(), 1, True, CurrentTime);
    XSync(D(), False);
}

void MoveHeld(int x, int y) {
    Window root = 0, child = 0;
    int x0 = 0, y0 = 0, wx = 0, wy = 0;
    unsigned int mask = 0;
    XQueryPointer(D(), DefaultRootWindow(D()), &root, &child, &x0, &y0, &wx, &wy, &mask);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i)
        XTestFakeMotionEvent(D(), -1, x0 + (x - x0) * i / kSteps, y0 + (y - y0) * i / kSteps, CurrentTime);
    XSync(D(), False);
}

bool BeginWindowManagerDrag(int x, int y, int dx, int dy, unsigned long w) {
    if (dx != 0 || dy != 0) {
        // The window manager holds the pointer from the press on its frame; it starts its drag at the motion,
        // and follows only the motions after that.
        PressAt(x, y);
        MoveHeld(x + dx, y + dy);
        return WindowManagerBarrier();
    }
    // The window loses the pointer to the window manager's grab.
    XSelectInput(D(), w, LeaveWindowMask);
    PressAt(x, y);
    bool grabbed = false;
    while (!grabbed) {
        XEvent e;
        if (!NextEvent(&e)) break;
        grabbed = e.type == LeaveNotify && e.xcrossing.window == w && e.xcrossing.mode == NotifyGrab;
    }
    XSelectInput(D(), w, NoEventMask);
    return grabbed;
}

void MoveAndRelease(int x, int y) {
    MoveHeld(x, y);
    XTestFakeButtonEvent(D(), 1, False, CurrentTime);
    XSync(D(), False);
}

void PressKey(const char* name, bool control) {
    if (control) Key(XK_Control_L, true);
    KeySym sym = XStringToKeysym(name);
    Key(sym, true);
    Key(sym, false);
    if (control) Key(XK_Control_L, false);
    XSync(D(), False);
}

void HoldKey(const char* name, bool down) {
    Key(XStringToKeysym(name), down);
    XSync(D(), False);
}

void TypeText(const std::string& text) {
    for (unsigned char c : text) {
        KeySym sym = c;  // printable ASCII keysyms are the characters' codes
        KeyCode code = XKeysymToKeycode(D(), sym);
        if (code == 0) continue;
        bool shift = XkbKeycodeToKeysym(D(), code, 0, 0) != sym;
        if (shift) Key(XK_Shift_L, true);
        XTestFakeKeyEvent(D(), code, True, CurrentTime);
        XTestFakeKeyEvent(D(), code, False, CurrentTime);
        if (shift) Key(XK_Shift_L, false);
    }
    XSync(D(), False);
}
