#include "bench/x_server.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <unistd.h>

#include "bench/process_util.h"

namespace qsm::bench {

struct XServer::Impl {
    pid_t server = -1, wm = -1;
    std::string name;
    Display* display = nullptr;
};

XServer::XServer(int width, int height) : impl_(std::make_unique<Impl>()) {
    Impl& x = *impl_;
    const std::string xvfb = FindOnPath("Xvfb");
    int fds[2];
    if (xvfb.empty() || pipe2(fds, O_CLOEXEC) != 0) return;
    // Xvfb writes its display number to the descriptor once it takes clients.
    x.server = Spawn({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
                      std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"},
                     Environment({}, {}), fds[1]);
    close(fds[1]);
    std::string number;
    char c;
    while (x.server > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) return;
    x.name = ":" + number;
    x.display = XOpenDisplay(x.name.c_str());
    if (x.display == nullptr) return;
    // Keys held through a slow answer must not repeat.
    XAutoRepeatOff(x.display);
    const std::string openbox = FindOnPath("openbox");
    if (!openbox.empty()) {
        Atom check = XInternAtom(x.display, "_NET_SUPPORTING_WM_CHECK", False);
        Window root = DefaultRootWindow(x.display);
        XSelectInput(x.display, root, PropertyChangeMask);
        x.wm = Spawn({openbox, "--sm-disable"}, Environment({"DISPLAY=" + x.name}, {}));
        // openbox names itself on the root window once it manages the screen.
        for (;;) {
            XEvent e;
            XNextEvent(x.display, &e);
            if (e.type == PropertyNotify && e.xproperty.atom == check) break;
        }
        XSelectInput(x.display, root, 0);
    }
    // The pointer waits in the corner, away from the windows the benchmark looks at.
    XWarpPointer(x.display, None, DefaultRootWindow(x.display), 0, 0, 0, 0, width - 1, height - 1);
    XSync(x.display, False);
}

XServer::~XServer() {
    if (impl_->display != nullptr) XCloseDisplay(impl_->display);
    EndProcess(impl_->wm);
    EndProcess(impl_->server);
}

bool XServer::Ok() const {
    return impl_->display != nullptr;
}

const std::string& XServer::Name() const {
    return impl_->name;
}

bool XServer::Desktop() const {
    return impl_->wm > 0;
}

void XServer::Key(const char* keysym, bool down) {
    XTestFakeKeyEvent(impl_->display, XKeysymToKeycode(impl_->display, XStringToKeysym(keysym)),
                      down ? True : False, CurrentTime);
    XFlush(impl_->display);
}

}  // namespace qsm::bench
