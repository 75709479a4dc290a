// A desktop for the display tests: starts a real window manager (openbox) on the X display and asks the X
// server and the window manager what they hold. Kept apart from the tests because the X headers define
// names that clash with GoogleTest's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

extern char** environ;

namespace {

// A safety net against a desktop that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 30000;

Display* g_display = nullptr;

Display* D() {
    if (g_display == nullptr) g_display = XOpenDisplay(nullptr);
    return g_display;
}

Atom A(const char* name) {
    return XInternAtom(D(), name, False);
}

bool WindowProperty(Window w, const char* name, unsigned long* value) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D(), w, A(name), 0, 1, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) != Success ||
        data == nullptr) {
        return false;
    }
    bool ok = count == 1 && format == 32;
    if (ok) *value = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
    return ok;
}

// Waits for the next event of the test's connection; false when none came within the safety net.
bool NextEvent(XEvent* e) {
    if (XPending(D()) == 0) {
        pollfd p{ConnectionNumber(D()), POLLIN, 0};
        if (poll(&p, 1, kGiveUpMs) <= 0) return false;
    }
    XNextEvent(D(), e);
    return true;
}

// Waits until test() holds, re-checking it at every property change of the root window.
template <typename Test>
bool WaitForRoot(Test test) {
    Window root = DefaultRootWindow(D());
    XSelectInput(D(), root, PropertyChangeMask);
    XSync(D(), False);
    while (!test()) {
        XEvent e;
        if (!NextEvent(&e)) return false;
    }
    return true;
}

bool FindByName(Window w, const char* name, Window* found) {
    char* title = nullptr;
    if (XFetchName(D(), w, &title) && title != nullptr) {
        bool same = std::strcmp(title, name) == 0;
        XFree(title);
        if (same) {
            *found = w;
            return true;
        }
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

}  // namespace

// True when a program of that name is on the PATH.
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

// Starts openbox on the display and waits until it manages the screen; its process id, or -1.
int StartWindowManager() {
    if (D() == nullptr) return -1;
    pid_t pid = -1;
    char prog[] = "openbox";
    char* argv[] = {prog, nullptr};
    if (posix_spawnp(&pid, prog, nullptr, nullptr, argv, environ) != 0) return -1;
    Window root = DefaultRootWindow(D());
    bool up = WaitForRoot([&] {
        unsigned long check = 0;
        return WindowProperty(root, "_NET_SUPPORTING_WM_CHECK", &check) && check != 0;
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
}

// The X window whose title is `name`; 0 when there is none.
unsigned long XWindowNamed(const char* name) {
    Window found = 0;
    FindByName(DefaultRootWindow(D()), name, &found);
    return found;
}

// The window the window manager calls active (_NET_ACTIVE_WINDOW), 0 for none.
unsigned long ActiveXWindow() {
    unsigned long w = 0;
    WindowProperty(DefaultRootWindow(D()), "_NET_ACTIVE_WINDOW", &w);
    return w;
}

// The window that has the keyboard.
unsigned long FocusXWindow() {
    Window w = 0;
    int revert = 0;
    XGetInputFocus(D(), &w, &revert);
    return w;
}

// Waits until the window manager calls `w` active.
bool WaitUntilActive(unsigned long w) {
    return WaitForRoot([&] { return ActiveXWindow() == w; });
}

// A round trip through the window manager: it answers a frame-extents request with a property change, so
// when that comes it has handled everything the X server gave it before.
bool WindowManagerBarrier() {
    Window root = DefaultRootWindow(D());
    Window probe = XCreateSimpleWindow(D(), root, 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(D(), probe, PropertyChangeMask);
    XEvent ask{};
    ask.xclient.type = ClientMessage;
    ask.xclient.window = probe;
    ask.xclient.message_type = A("_NET_REQUEST_FRAME_EXTENTS");
    ask.xclient.format = 32;
    XSendEvent(D(), root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ask);
    XSync(D(), False);
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

// Moves the pointer as a user would.
void MovePointer(int x, int y) {
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XSync(D(), False);
}

// A click of the left button there, as a user's (the window manager sees it as such).
void ClickAt(int x, int y) {
    XTestFakeMotionEvent(D(), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(D(), 1, True, CurrentTime);
    XTestFakeButtonEvent(D(), 1, False, CurrentTime);
    XSync(D(), False);
}
