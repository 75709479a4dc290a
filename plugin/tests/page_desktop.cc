// What the page viewer tests ask of the X server beyond the shared desktop helpers: pointer buttons held
// and moved, keys typed, and the top-level windows the window manager lists, waited for on the root
// window's property changes. Kept apart from the tests because the X headers define names that clash with
// GoogleTest's.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A safety net against a desktop that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 60000;

Display* g_display = nullptr;

Display* D() {
    if (g_display == nullptr) {
        g_display = XOpenDisplay(nullptr);
        if (g_display != nullptr) XSelectInput(g_display, DefaultRootWindow(g_display), PropertyChangeMask);
    }
    return g_display;
}

Atom A(const char* name) {
    return XInternAtom(D(), name, False);
}

std::vector<unsigned long> WindowList(Window w, const char* name) {
    std::vector<unsigned long> out;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D(), w, A(name), 0, 4096, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success ||
        data == nullptr)
        return out;
    if (format == 32)
        for (unsigned long i = 0; i < count; ++i)
            out.push_back(reinterpret_cast<unsigned long*>(data)[i]);
    XFree(data);
    return out;
}

// The keycode and shift state that type the character.
bool KeyFor(char c, KeyCode* code, bool* shift) {
    KeySym sym = static_cast<unsigned char>(c);
    if (c == '\n') sym = XK_Return;
    *code = XKeysymToKeycode(D(), sym);
    if (*code == 0) return false;
    *shift = XkbKeycodeToKeysym(D(), *code, 0, 0) != sym;
    return true;
}

}  // namespace

// The title of an X window ("" when it has none).
std::string PageXWindowName(unsigned long w) {
    if (D() == nullptr || w == 0) return "";
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(D(), w, A("_NET_WM_NAME"), 0, 1024, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data != nullptr) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    if (name.empty()) {
        char* plain = nullptr;
        if (XFetchName(D(), w, &plain) && plain != nullptr) {
            name = plain;
            XFree(plain);
        }
    }
    return name;
}

// The process that made an X window, from its _NET_WM_PID; 0 when it says none.
int PageXWindowPid(unsigned long w) {
    std::vector<unsigned long> pid = WindowList(w, "_NET_WM_PID");
    return pid.empty() ? 0 : static_cast<int>(pid[0]);
}

// Waits until the window manager lists a top-level window whose title passes `test`, re-checking at every
// property change of the root window and of the windows listed; the window, or 0 when none came.
unsigned long WaitForPageXWindow(const std::function<bool(const std::string&)>& test) {
    if (D() == nullptr) return 0;
    const Window root = DefaultRootWindow(D());
    for (;;) {
        for (unsigned long w : WindowList(root, "_NET_CLIENT_LIST")) {
            XSelectInput(D(), w, PropertyChangeMask);
            if (test(PageXWindowName(w))) return w;
        }
        if (XPending(D()) == 0) {
            pollfd p{ConnectionNumber(D()), POLLIN, 0};
            if (poll(&p, 1, kGiveUpMs) <= 0) return 0;
        }
        XEvent e;
        XNextEvent(D(), &e);
    }
}

// Waits until the window manager calls a window whose title passes `test` active.
unsigned long WaitForActivePageXWindow(const std::function<bool(const std::string&)>& test) {
    if (D() == nullptr) return 0;
    const Window root = DefaultRootWindow(D());
    for (;;) {
        std::vector<unsigned long> active = WindowList(root, "_NET_ACTIVE_WINDOW");
        if (!active.empty() && active[0] != 0 && test(PageXWindowName(active[0]))) return active[0];
        if (XPending(D()) == 0) {
            pollfd p{ConnectionNumber(D()), POLLIN, 0};
            if (poll(&p, 1, kGiveUpMs) <= 0) return 0;
        }
        XEvent e;
        XNextEvent(D(), &e);
    }
}

// The left button pressed or released at a point, as a user's.
void PageButtonAt(int x, int y, bool down) {
    if (D() == nullptr) return;
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(D(), 1, down ? True : False, CurrentTime);
    XSync(D(), False);
}

// The pointer moved in steps to a point, as a hand moves it.
void PageMovePointer(int fromX, int fromY, int x, int y) {
    if (D() == nullptr) return;
    for (int i = 1; i <= 8; ++i)
        XTestFakeMotionEvent(D(), -1, fromX + (x - fromX) * i / 8, fromY + (y - fromY) * i / 8, CurrentTime);
    XSync(D(), False);
}

// Types the text on the keyboard ('\n' is the Return key).
void PageType(const std::string& text) {
    if (D() == nullptr) return;
    const KeyCode shiftKey = XKeysymToKeycode(D(), XK_Shift_L);
    for (char c : text) {
        KeyCode code = 0;
        bool shift = false;
        if (!KeyFor(c, &code, &shift)) continue;
        if (shift) XTestFakeKeyEvent(D(), shiftKey, True, CurrentTime);
        XTestFakeKeyEvent(D(), code, True, CurrentTime);
        XTestFakeKeyEvent(D(), code, False, CurrentTime);
        if (shift) XTestFakeKeyEvent(D(), shiftKey, False, CurrentTime);
    }
    XSync(D(), False);
}

// A plain top-level X window standing for a browser's XEmbed socket, mapped at (x, y) of the root; its id.
unsigned long MakeSocketXWindow(int x, int y, int width, int height) {
    if (D() == nullptr) return 0;
    Window w = XCreateSimpleWindow(D(), DefaultRootWindow(D()), x, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, 0, WhitePixel(D(), DefaultScreen(D())));
    XMapWindow(D(), w);
    XSync(D(), False);
    return w;
}

void DestroyXWindow(unsigned long w) {
    if (D() == nullptr) return;
    XDestroyWindow(D(), w);
    XSync(D(), False);
}

// How many windows an X window holds.
int XChildCount(unsigned long w) {
    if (D() == nullptr) return 0;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(D(), w, &root, &parent, &children, &n)) return 0;
    if (children != nullptr) XFree(children);
    return static_cast<int>(n);
}

// The pixels an X window shows (its children's included), 0x00RRGGBB row by row; false when unreadable.
bool XWindowPixels(unsigned long w, int width, int height, std::vector<unsigned int>* out) {
    if (D() == nullptr) return false;
    XImage* image = XGetImage(D(), w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    out->assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            (*out)[static_cast<size_t>(y) * width + x] =
                static_cast<unsigned int>(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return true;
}
