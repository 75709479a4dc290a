// What a file manager does on the X display: drag a file onto a window with the X drag-and-drop protocol
// (XDND, version 5), waiting for every X event it needs. Kept apart from the tests because the X headers
// define names that clash with GoogleTest's.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A safety net against a program that never answers, never a way to wait for something.
constexpr int kGiveUpMs = 30000;

Display* g_display = nullptr;

Display* D() {
    if (g_display == nullptr) g_display = XOpenDisplay(nullptr);
    return g_display;
}

Atom A(const char* name) {
    return XInternAtom(D(), name, False);
}

// Waits for the next event of this connection; false when none came within the safety net.
bool NextEvent(XEvent* e) {
    XFlush(D());
    if (XPending(D()) == 0) {
        pollfd p{ConnectionNumber(D()), POLLIN, 0};
        if (poll(&p, 1, kGiveUpMs) <= 0) return false;
    }
    XNextEvent(D(), e);
    return true;
}

// Percent-encodes what a file URI may not hold as it is.
std::string FileUri(const std::string& path) {
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~", c) != nullptr) {
            uri.push_back(static_cast<char>(c));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            uri += hex;
        }
    }
    return uri;
}

void SendClientMessage(Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = to;
    e.xclient.message_type = type;
    e.xclient.format = 32;
    e.xclient.data.l[0] = l0;
    e.xclient.data.l[1] = l1;
    e.xclient.data.l[2] = l2;
    e.xclient.data.l[3] = l3;
    e.xclient.data.l[4] = l4;
    XSendEvent(D(), to, False, NoEventMask, &e);
    XFlush(D());
}

}  // namespace

// Drags the file at `path` from a source window of this test onto the middle of `target` and drops it there,
// as a file manager does: XdndEnter offering text/uri-list, XdndPosition, the target's XdndStatus, XdndDrop,
// the target's request for XdndSelection answered with the file's URI, and the target's XdndFinished. Returns
// "" when the target took the file, else what went wrong.
std::string DropFileOn(unsigned long target, const std::string& path) {
    Display* d = D();
    Window root = DefaultRootWindow(d);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long version = 0;
    if (XGetWindowProperty(d, target, A("XdndAware"), 0, 1, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr) {
        if (count == 1) version = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    if (version < 3)
        return "the window does not take dropped files (XdndAware " + std::to_string(version) + ")";
    if (version > 5) version = 5;

    Window source = XCreateSimpleWindow(d, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, A("XdndSelection"), source, CurrentTime);
    XWindowAttributes attributes{};
    XGetWindowAttributes(d, target, &attributes);
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(d, target, root, attributes.width / 2, attributes.height / 2, &x, &y, &child);
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XSync(d, False);

    const Atom uriList = A("text/uri-list");
    const Atom copy = A("XdndActionCopy");
    SendClientMessage(target, A("XdndEnter"), static_cast<long>(source), version << 24,
                      static_cast<long>(uriList), 0, 0);
    SendClientMessage(target, A("XdndPosition"), static_cast<long>(source), 0,
                      (static_cast<long>(x) << 16) | y, CurrentTime, static_cast<long>(copy));
    std::string failure;
    enum { kAwaitStatus, kAwaitRequest, kAwaitFinished, kDone } stage = kAwaitStatus;
    while (stage != kDone && failure.empty()) {
        XEvent e;
        if (!NextEvent(&e)) {
            failure = "the target stopped answering";
            break;
        }
        if (e.type == ClientMessage && e.xclient.window == source) {
            if (e.xclient.message_type == A("XdndStatus") && stage == kAwaitStatus) {
                if ((e.xclient.data.l[1] & 1) == 0) {
                    failure = "the target refused the drop";
                    SendClientMessage(target, A("XdndLeave"), static_cast<long>(source), 0, 0, 0, 0);
                } else {
                    SendClientMessage(target, A("XdndDrop"), static_cast<long>(source), 0, CurrentTime, 0, 0);
                    stage = kAwaitRequest;
                }
            } else if (e.xclient.message_type == A("XdndFinished") && stage != kAwaitStatus) {
                if (version >= 5 && (e.xclient.data.l[1] & 1) == 0)
                    failure = "the target did not take the file";
                stage = kDone;
            }
        } else if (e.type == SelectionRequest && e.xselectionrequest.owner == source) {
            XSelectionRequestEvent& request = e.xselectionrequest;
            XEvent answer{};
            answer.xselection.type = SelectionNotify;
            answer.xselection.requestor = request.requestor;
            answer.xselection.selection = request.selection;
            answer.xselection.target = request.target;
            answer.xselection.time = request.time;
            answer.xselection.property = None;
            if (request.selection == A("XdndSelection") && request.target == uriList) {
                Atom property = request.property != None ? request.property : request.target;
                std::string list = FileUri(path) + "\r\n";
                XChangeProperty(d, request.requestor, property, uriList, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list.data()),
                                static_cast<int>(list.size()));
                answer.xselection.property = property;
                stage = kAwaitFinished;
            }
            XSendEvent(d, request.requestor, False, NoEventMask, &answer);
            XFlush(d);
        }
    }
    XDestroyWindow(d, source);
    XSync(d, False);
    return failure;
}
