#include "platform/npapi/x11_embed.h"

#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/winuser.h"

// The X headers come last: they define names (None, Status, Bool ...) that the layer's headers use too.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace qsm::np {

namespace {

using Clock = std::chrono::steady_clock;

// ---- the call-backs that run the queue ----

// The thread that asks the browser for a call-back when the queue has work: a message was posted (Wake),
// the first timer falls due, or X events came for the windows of windowed sites on the plug-in's own
// display connection. At most one call is asked for at a time; the call-back plans the next.
class TPumpThread {
public:
    void Start(NPN_PluginThreadAsyncCallProcPtr async) {
        std::lock_guard<std::mutex> lock(M);
        Async = async;
        Stopping = false;
        if (pipe2(WakePipe, O_CLOEXEC | O_NONBLOCK) != 0) WakePipe[0] = WakePipe[1] = -1;
        Thread = std::thread([this] { Run(); });
    }
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(M);
            Stopping = true;
        }
        Poke();
        if (Thread.joinable()) Thread.join();
        for (int& fd : WakePipe)
            if (fd >= 0) close(fd), fd = -1;
        Instances.clear();
        Pending = nullptr;
        Woken = false;
        HasDeadline = false;
        XFd = -1;
    }
    void Wake() {
        {
            std::lock_guard<std::mutex> lock(M);
            Woken = true;
        }
        Poke();
    }
    // The connection whose events make a call too (-1: none).
    void WatchFd(int fd) {
        {
            std::lock_guard<std::mutex> lock(M);
            XFd = fd;
        }
        Poke();
    }
    void AddInstance(NPP npp) {
        {
            std::lock_guard<std::mutex> lock(M);
            Instances.push_back(npp);
            Woken = true;
        }
        Poke();
    }
    // A call asked for through a destroyed instance never comes: it is asked for again through another.
    void RemoveInstance(NPP npp) {
        {
            std::lock_guard<std::mutex> lock(M);
            Instances.erase(std::remove(Instances.begin(), Instances.end(), npp), Instances.end());
            if (Pending != npp) return;
            Pending = nullptr;
            Woken = true;
        }
        Poke();
    }
    // The call-back has begun: later work needs a call of its own.
    void CallStarted() {
        {
            std::lock_guard<std::mutex> lock(M);
            Pending = nullptr;
        }
        Poke();
    }
    // The queue was run: its first timer is due in `ms` (0xFFFFFFFF: none).
    void Planned(DWORD ms) {
        {
            std::lock_guard<std::mutex> lock(M);
            HasDeadline = ms != 0xFFFFFFFFu;
            if (HasDeadline) Deadline = Clock::now() + std::chrono::milliseconds(ms);
        }
        Poke();
    }

private:
    void Poke() {
        if (WakePipe[1] < 0) return;
        const char one = 1;
        (void)!write(WakePipe[1], &one, 1);
    }
    void Run() {
        for (;;) {
            int timeout = -1;
            int xfd = -1;
            {
                std::lock_guard<std::mutex> lock(M);
                if (Stopping) return;
                const bool idle = Pending != nullptr || Instances.empty() || Async == nullptr;
                const bool due = HasDeadline && Clock::now() >= Deadline;
                if (!idle && (Woken || due)) {
                    Woken = false;
                    HasDeadline = false;
                    Pending = Instances.front();
                    // Asked under the lock, so that the instance cannot be destroyed meanwhile.
                    Async(Pending, &TPumpThread::CallBack, this);
                    continue;
                }
                if (!idle) {
                    xfd = XFd;
                    if (HasDeadline) {
                        const auto left =
                            std::chrono::ceil<std::chrono::milliseconds>(Deadline - Clock::now());
                        timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, 0x7FFFFFFF));
                    }
                }
            }
            pollfd fds[2] = {{WakePipe[0], POLLIN, 0}, {xfd, POLLIN, 0}};
            const int n = poll(fds, xfd >= 0 ? 2 : 1, timeout);
            if (n <= 0) continue;
            if (fds[0].revents & POLLIN) {
                char drain[64];
                while (read(WakePipe[0], drain, sizeof drain) > 0) {
                }
            }
            if (xfd >= 0 && (fds[1].revents & POLLIN)) {
                std::lock_guard<std::mutex> lock(M);
                Woken = true;
            }
        }
    }
    static void CallBack(void* self) {
        static_cast<TPumpThread*>(self)->CallStarted();
        PumpBrowserLoop();
    }

    std::mutex M;
    std::thread Thread;
    int WakePipe[2] = {-1, -1};
    NPN_PluginThreadAsyncCallProcPtr Async = nullptr;
    std::vector<NPP> Instances;
    NPP Pending = nullptr;
    bool Woken = false;
    bool Stopping = false;
    bool HasDeadline = false;
    int XFd = -1;
    Clock::time_point Deadline{};
};

// ---- the backend ----

// Stands in front of the backend that shows ordinary top-level windows: sites are shown by their
// instances; every other call goes through, to the SDL backend once the first other top-level window is made.
class TSiteBackend : public wm::Backend {
public:
    explicit TSiteBackend(wm::Backend* inner) : Inner(inner) {}

    std::map<HWND, TPluginSite*> Sites;
    TPumpThread Caller;
    bool StartedSdl = false;

    SIZE ScreenSize() const override { return Inner->ScreenSize(); }
    bool OwnsWait() const override { return Inner->OwnsWait(); }
    void Wait(DWORD timeout_ms) override { Inner->Wait(timeout_ms); }
    void Wake() override {
        Inner->Wake();
        Caller.Wake();
    }
    void Pump() override { Inner->Pump(); }
    void Settle() override { Inner->Settle(); }
    void TopLevelCreated(HWND hwnd) override {
        if (IsSite(hwnd)) return;
        ShowOthersOnDisplay();
        Inner->TopLevelCreated(hwnd);
    }
    void TopLevelDestroyed(HWND hwnd) override {
        if (!Sites.count(hwnd)) Inner->TopLevelDestroyed(hwnd);
    }
    void TopLevelShown(HWND hwnd, bool shown) override {
        if (!Sites.count(hwnd)) Inner->TopLevelShown(hwnd, shown);
    }
    void TopLevelMoved(HWND hwnd, const RECT& screen) override {
        if (!Sites.count(hwnd)) Inner->TopLevelMoved(hwnd, screen);
    }
    void TopLevelTitle(HWND hwnd, const char* title) override {
        if (!Sites.count(hwnd)) Inner->TopLevelTitle(hwnd, title);
    }
    void TopLevelRaised(HWND hwnd) override {
        if (!Sites.count(hwnd)) Inner->TopLevelRaised(hwnd);
    }
    void Present(HWND hwnd, const RECT& rect) override {
        auto it = Sites.find(hwnd);
        if (it != Sites.end())
            it->second->Invalidate(rect);
        else
            Inner->Present(hwnd, rect);
    }
    void CursorChanged(HCURSOR cursor) override { Inner->CursorChanged(cursor); }
    void CaptureChanged(bool captured) override { Inner->CaptureChanged(captured); }
    void Beep() override { Inner->Beep(); }

private:
    static bool IsSite(HWND hwnd) {
        char name[64] = {};
        GetClassNameA(hwnd, name, sizeof name);
        return std::strcmp(name, kSiteClassName) == 0;
    }
    // The SDL backend in this process, started once. SDL's own handlers of the terminating signals are not
    // installed: the signals belong to the browser.
    void ShowOthersOnDisplay() {
        if (Tried) return;
        Tried = true;
        if (wm::SdlBackendActive()) return;
        const char* old = getenv("SDL_NO_SIGNAL_HANDLERS");
        const std::string saved = old != nullptr ? old : "";
        setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
        if (wm::InstallSdlBackend()) {
            Inner = &wm::CurrentBackend();
            StartedSdl = true;
        }
        wm::InstallBackend(this);
        if (old != nullptr)
            setenv("SDL_NO_SIGNAL_HANDLERS", saved.c_str(), 1);
        else
            unsetenv("SDL_NO_SIGNAL_HANDLERS");
    }

    wm::Backend* Inner;
    bool Tried = false;
};

TSiteBackend* Loop = nullptr;
int PumpDepth = 0;

ATOM RegisterSiteClass() {
    static ATOM atom = 0;
    if (atom != 0) return atom;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = kSiteClassName;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    atom = RegisterClassA(&wc);
    return atom;
}

// The window manager's key for an X key symbol; 0 for keys it has none for.
int VirtualKey(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return static_cast<int>('A' + (sym - XK_a));
    if (sym >= XK_A && sym <= XK_Z) return static_cast<int>('A' + (sym - XK_A));
    if (sym >= XK_0 && sym <= XK_9) return static_cast<int>('0' + (sym - XK_0));
    if (sym >= XK_F1 && sym <= XK_F12) return static_cast<int>(VK_F1 + (sym - XK_F1));
    if (sym >= XK_KP_0 && sym <= XK_KP_9) return static_cast<int>(VK_NUMPAD0 + (sym - XK_KP_0));
    switch (sym) {
        case XK_BackSpace:
            return VK_BACK;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return VK_TAB;
        case XK_Return:
        case XK_KP_Enter:
            return VK_RETURN;
        case XK_Escape:
            return VK_ESCAPE;
        case XK_space:
            return VK_SPACE;
        case XK_Prior:
        case XK_KP_Prior:
            return VK_PRIOR;
        case XK_Next:
        case XK_KP_Next:
            return VK_NEXT;
        case XK_End:
        case XK_KP_End:
            return VK_END;
        case XK_Home:
        case XK_KP_Home:
            return VK_HOME;
        case XK_Left:
        case XK_KP_Left:
            return VK_LEFT;
        case XK_Up:
        case XK_KP_Up:
            return VK_UP;
        case XK_Right:
        case XK_KP_Right:
            return VK_RIGHT;
        case XK_Down:
        case XK_KP_Down:
            return VK_DOWN;
        case XK_Insert:
            return VK_INSERT;
        case XK_Delete:
        case XK_KP_Delete:
            return VK_DELETE;
        case XK_Shift_L:
            return VK_LSHIFT;
        case XK_Shift_R:
            return VK_RSHIFT;
        case XK_Control_L:
            return VK_LCONTROL;
        case XK_Control_R:
            return VK_RCONTROL;
        case XK_Alt_L:
        case XK_Alt_R:
            return VK_MENU;
        case XK_Menu:
            return VK_APPS;
        case XK_Pause:
            return VK_PAUSE;
        case XK_Caps_Lock:
            return VK_CAPITAL;
        case XK_KP_Multiply:
            return VK_MULTIPLY;
        case XK_KP_Add:
            return VK_ADD;
        case XK_KP_Subtract:
            return VK_SUBTRACT;
        case XK_KP_Decimal:
            return VK_DECIMAL;
        case XK_KP_Divide:
            return VK_DIVIDE;
        case XK_plus:
        case XK_equal:
            return VK_OEM_PLUS;
        case XK_minus:
        case XK_underscore:
            return VK_OEM_MINUS;
        default:
            return 0;
    }
}

void Key(XKeyEvent& e) {
    char text[8] = {};
    KeySym sym = NoSymbol;
    const int n = XLookupString(&e, text, sizeof text, &sym, nullptr);
    const bool down = e.type == KeyPress;
    const int vk = VirtualKey(sym);
    const auto ch = static_cast<unsigned char>(n == 1 ? text[0] : 0);
    const bool control = ch != 0 && (ch < 0x20 || ch == 0x7F);
    const bool printable = ch >= 0x20 && ch != 0x7F && (ch < 0x80 || ch >= 0xA0);
    if (vk != 0) wm::InputKey(vk, down, down && control ? -1 : 0);
    // Characters come as text, as a display's text input gives them; Latin-1 above 0xA0 is code page 1252.
    if (down && printable && !(e.state & (ControlMask | Mod1Mask))) {
        const char one[2] = {static_cast<char>(ch), 0};
        wm::InputText(one);
    }
}

// ---- the plug-in's own display connection (windowed sites) ----

::Display* OwnDisplay = nullptr;
XErrorHandler BrowserErrorHandler = nullptr;

// The browser may destroy its socket, and the site's window with it, before it destroys the instance: an
// error on the plug-in's own connection is no reason to end the browser, whose own errors go on to the
// handler there was.
int OwnDisplayErrorHandler(::Display* display, XErrorEvent* error) {
    if (display == OwnDisplay) return 0;
    return BrowserErrorHandler != nullptr ? BrowserErrorHandler(display, error) : 0;
}

::Display* OpenOwnDisplay(void* browserDisplay) {
    if (OwnDisplay != nullptr) return OwnDisplay;
    const char* name =
        browserDisplay != nullptr ? DisplayString(static_cast<::Display*>(browserDisplay)) : nullptr;
    OwnDisplay = XOpenDisplay(name);
    if (OwnDisplay == nullptr) return nullptr;
    BrowserErrorHandler = XSetErrorHandler(OwnDisplayErrorHandler);
    if (Loop != nullptr) Loop->Caller.WatchFd(ConnectionNumber(OwnDisplay));
    return OwnDisplay;
}

void CloseOwnDisplay() {
    if (OwnDisplay == nullptr) return;
    if (Loop != nullptr) Loop->Caller.WatchFd(-1);
    XSync(OwnDisplay, False);
    // A handler the browser set since stays.
    XErrorHandler now = XSetErrorHandler(BrowserErrorHandler);
    if (now != OwnDisplayErrorHandler) XSetErrorHandler(now);
    BrowserErrorHandler = nullptr;
    XCloseDisplay(OwnDisplay);
    OwnDisplay = nullptr;
}

}  // namespace

// ---- the loop ----

void StartBrowserLoop(NPN_PluginThreadAsyncCallProcPtr async) {
    if (Loop != nullptr) return;
    // The queue of this thread is the display's, made before any other thread posts to it.
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);
    Loop = new TSiteBackend(&wm::CurrentBackend());
    wm::InstallBackend(Loop);
    Loop->Caller.Start(async);
}

void StopBrowserLoop() {
    if (Loop == nullptr) return;
    Loop->Caller.Stop();
    CloseOwnDisplay();
    wm::InstallBackend(nullptr);
    if (Loop->StartedSdl) wm::RemoveSdlBackend();
    delete Loop;
    Loop = nullptr;
}

bool BrowserLoopRunning() {
    return Loop != nullptr;
}

void PumpBrowserLoop() {
    if (Loop == nullptr) return;
    // A call of the browser made while a message is handled (an invalidation answered at once) does not
    // run the queue again underneath that message.
    if (PumpDepth == 0) {
        ++PumpDepth;
        // The events of the windowed sites' own windows first, as the browser's would come.
        while (OwnDisplay != nullptr && XPending(OwnDisplay) > 0) {
            XEvent e;
            XNextEvent(OwnDisplay, &e);
            for (auto& [hwnd, site] : Loop->Sites)
                if (site->GetPlugWindow() == e.xany.window) {
                    site->Input(&e);
                    break;
                }
        }
        // Drawing through a DC kept across messages (a slider's drag) shows once the messages that drew
        // are handled, as on a display that shows every drawing at once.
        if (wm::PumpMessages() > 0 && Loop != nullptr)
            for (const auto& [hwnd, bounds] : wm::HeldWindowDcs()) {
                auto site = Loop->Sites.find(hwnd);
                if (site != Loop->Sites.end()) site->second->Invalidate(bounds);
            }
        --PumpDepth;
    }
    if (Loop == nullptr) return;
    // Events that the connection read while waiting for an answer make no noise on it: one more call.
    if (OwnDisplay != nullptr && QLength(OwnDisplay) > 0) Loop->Caller.Wake();
    Loop->Caller.Planned(wm::NextTimerDue());
}

// ---- sites ----

TPluginSite::TPluginSite(NPP npp, NPN_InvalidateRectProcPtr invalidate)
    : Npp(npp), InvalidateRect(invalidate) {
    RegisterSiteClass();
    Handle = CreateWindowExA(WS_EX_TOOLWINDOW, kSiteClassName, "", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 0,
                             nullptr, nullptr, nullptr, nullptr);
    if (Loop != nullptr && Handle != nullptr) {
        Loop->Sites[Handle] = this;
        Loop->Caller.AddInstance(npp);
    }
}

TPluginSite::~TPluginSite() {
    if (Loop != nullptr) Loop->Caller.RemoveInstance(Npp);
    if (Handle != nullptr && IsWindow(Handle)) DestroyWindow(Handle);
    if (Loop != nullptr) Loop->Sites.erase(Handle);
    if (Plug != 0 && OwnDisplay != nullptr) {
        // Gone before the browser hears that the instance is.
        XDestroyWindow(OwnDisplay, Plug);
        XSync(OwnDisplay, False);
    }
}

bool TPluginSite::SetWindow(const NPWindow& window) {
    Record = window;
    if (window.ws_info != nullptr) {
        const auto* info = static_cast<const NPSetWindowCallbackStruct*>(window.ws_info);
        if (info->display != nullptr) XDisplay = info->display;
        XVisual = info->visual;
    }
    const int width = static_cast<int>(std::min<uint32>(window.width, 0x7FFF));
    const int height = static_cast<int>(std::min<uint32>(window.height, 0x7FFF));
    if (window.type == NPWindowTypeWindow && !Embed(window, width, height)) return false;
    SetWindowPos(Handle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (width > 0 && height > 0 && !IsWindowVisible(Handle)) ShowWindow(Handle, SW_SHOWNOACTIVATE);
    return true;
}

// Makes (or resizes) the site's own window inside the browser's socket window, as an XEmbed client: it
// says it wants to be mapped, and the socket maps it.
bool TPluginSite::Embed(const NPWindow& window, int width, int height) {
    const auto socket = reinterpret_cast<uintptr_t>(window.window);
    ::Display* display = OpenOwnDisplay(XDisplay);
    if (display == nullptr || socket == 0) return false;
    if (Plug != 0 && socket != Socket) {
        XDestroyWindow(display, Plug);
        Plug = 0;
    }
    if (Plug == 0) {
        XWindowAttributes parent{};
        if (!XGetWindowAttributes(display, socket, &parent)) return false;
        XSetWindowAttributes attrs{};
        attrs.background_pixel = WhitePixel(display, DefaultScreen(display));
        attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                           EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                           FocusChangeMask;
        Plug = XCreateWindow(display, socket, 0, 0, static_cast<unsigned>(std::max(1, width)),
                             static_cast<unsigned>(std::max(1, height)), 0, CopyFromParent, InputOutput,
                             CopyFromParent, CWBackPixel | CWEventMask, &attrs);
        Socket = socket;
        const Atom info = XInternAtom(display, "_XEMBED_INFO", False);
        const long version_and_flags[2] = {0, 1};  // protocol version 0, XEMBED_MAPPED
        XChangeProperty(display, Plug, info, info, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(version_and_flags), 2);
        XMapWindow(display, Plug);
        XWindowAttributes own{};
        XGetWindowAttributes(display, Plug, &own);
        PlugDepth = own.depth;
        PlugVisual = own.visual;
    } else {
        XResizeWindow(display, Plug, static_cast<unsigned>(std::max(1, width)),
                      static_cast<unsigned>(std::max(1, height)));
    }
    XFlush(display);
    return true;
}

void TPluginSite::Invalidate(const RECT& rect) {
    if (Plug != 0) {
        // A window of its own: the pixels go there at once.
        if (OwnDisplay != nullptr) {
            Put(OwnDisplay, Plug, PlugDepth, PlugVisual, rect, 0, 0);
            XFlush(OwnDisplay);
        }
        return;
    }
    if (InvalidateRect == nullptr) return;
    RECT r = rect;
    OffsetRect(&r, Record.x, Record.y);
    auto clamp = [](LONG v) { return static_cast<uint16>(std::clamp<LONG>(v, 0, 0xFFFF)); };
    NPRect area{clamp(r.top), clamp(r.left), clamp(r.bottom), clamp(r.right)};
    if (area.right > area.left && area.bottom > area.top) InvalidateRect(Npp, &area);
}

void TPluginSite::Place(int x, int y, int rootX, int rootY) {
    const int ox = Plug != 0 ? 0 : Record.x, oy = Plug != 0 ? 0 : Record.y;
    const int left = rootX - (x - ox);
    const int top = rootY - (y - oy);
    RECT now{};
    GetWindowRect(Handle, &now);
    // The site's pixels do not change with its place on the screen: moving it paints nothing.
    if (now.left != left || now.top != top || GetWindow(Handle, GW_HWNDPREV) != nullptr)
        SetWindowPos(Handle, HWND_TOP, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
}

bool TPluginSite::HandleEvent(void* xevent) {
    if (!Input(xevent)) return false;
    PumpBrowserLoop();
    return true;
}

bool TPluginSite::Input(void* xevent) {
    if (xevent == nullptr || Handle == nullptr) return false;
    XEvent& e = *static_cast<XEvent*>(xevent);
    switch (e.type) {
        case GraphicsExpose: {
            PumpBrowserLoop();
            const XGraphicsExposeEvent& ev = e.xgraphicsexpose;
            ::Display* display = ev.display != nullptr ? ev.display : static_cast<::Display*>(XDisplay);
            if (display == nullptr || ev.drawable == 0) return true;
            if (ev.drawable != XDrawable) {
                ::Window root = 0;
                int gx = 0, gy = 0;
                unsigned int gw = 0, gh = 0, border = 0, depth = 0;
                if (!XGetGeometry(display, ev.drawable, &root, &gx, &gy, &gw, &gh, &border, &depth))
                    return true;
                XDrawable = ev.drawable;
                DrawableDepth = static_cast<int>(depth);
            }
            // The exposed rectangle inside the clip and inside the site's place in the drawable.
            RECT area{ev.x, ev.y, ev.x + ev.width, ev.y + ev.height};
            const RECT clip{Record.clipRect.left, Record.clipRect.top, Record.clipRect.right,
                            Record.clipRect.bottom};
            const RECT place{Record.x, Record.y, Record.x + static_cast<LONG>(Record.width),
                             Record.y + static_cast<LONG>(Record.height)};
            if (!IntersectRect(&area, &area, &clip) || !IntersectRect(&area, &area, &place)) return true;
            OffsetRect(&area, -Record.x, -Record.y);
            Put(display, ev.drawable, DrawableDepth, XVisual, area, Record.x, Record.y);
            // The browser reads the drawable as soon as this returns.
            XSync(display, False);
            return true;
        }
        case Expose:
            if (Plug != 0 && OwnDisplay != nullptr) {
                const RECT area{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                                e.xexpose.y + e.xexpose.height};
                Put(OwnDisplay, Plug, PlugDepth, PlugVisual, area, 0, 0);
                XFlush(OwnDisplay);
            }
            return true;
        case ButtonPress:
        case ButtonRelease: {
            Place(e.xbutton.x, e.xbutton.y, e.xbutton.x_root, e.xbutton.y_root);
            wm::InputMouseMove(e.xbutton.x_root, e.xbutton.y_root);
            const bool down = e.type == ButtonPress;
            // An embedded window asks its socket for the keyboard when clicked.
            if (down && Plug != 0 && OwnDisplay != nullptr) SendEmbedMessage(3 /* XEMBED_REQUEST_FOCUS */);
            switch (e.xbutton.button) {
                case Button1:
                    wm::InputMouseButton(0, down);
                    break;
                case Button2:
                    wm::InputMouseButton(2, down);
                    break;
                case Button3:
                    wm::InputMouseButton(1, down);
                    break;
                case Button4:
                    if (down) wm::InputMouseWheel(WHEEL_DELTA);
                    break;
                case Button5:
                    if (down) wm::InputMouseWheel(-WHEEL_DELTA);
                    break;
                default:
                    break;
            }
            return true;
        }
        case MotionNotify:
            Place(e.xmotion.x, e.xmotion.y, e.xmotion.x_root, e.xmotion.y_root);
            wm::InputMouseMove(e.xmotion.x_root, e.xmotion.y_root);
            return true;
        case EnterNotify:
            Place(e.xcrossing.x, e.xcrossing.y, e.xcrossing.x_root, e.xcrossing.y_root);
            wm::InputMouseMove(e.xcrossing.x_root, e.xcrossing.y_root);
            return true;
        case LeaveNotify:
            // Off every window, so that what was hot under the pointer goes cold.
            if (GetCapture() == nullptr) wm::InputMouseMove(-32768, -32768);
            return true;
        case KeyPress:
        case KeyRelease:
            Key(e.xkey);
            return true;
        case FocusIn:
            Focus(true);
            return true;
        case FocusOut:
            Focus(false);
            return true;
        case ClientMessage:
            // The socket's XEmbed messages: the keyboard comes and goes with XEMBED_FOCUS_IN and _OUT.
            if (OwnDisplay != nullptr &&
                e.xclient.message_type == XInternAtom(OwnDisplay, "_XEMBED", False) &&
                e.xclient.format == 32) {
                if (e.xclient.data.l[1] == 4) Focus(true);
                if (e.xclient.data.l[1] == 5) Focus(false);
            }
            return true;
        default:
            return false;
    }
}

void TPluginSite::Focus(bool in) {
    if (in) {
        SetActiveWindow(Handle);
        SetFocus(Handle);
    } else if (GetActiveWindow() == Handle) {
        SetActiveWindow(nullptr);
    }
}

void TPluginSite::SendEmbedMessage(long message) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Socket;
    e.xclient.message_type = XInternAtom(OwnDisplay, "_XEMBED", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = CurrentTime;
    e.xclient.data.l[1] = message;
    XSendEvent(OwnDisplay, Socket, False, NoEventMask, &e);
    XFlush(OwnDisplay);
}

// Puts the site's pixels of `area` (site coordinates) into the target at (area + offset).
void TPluginSite::Put(void* displayPtr, unsigned long target, int depth, void* visualPtr, const RECT& area,
                      int ox, int oy) {
    auto* display = static_cast<::Display*>(displayPtr);
    if (depth != 24 && depth != 32) return;
    cairo_surface_t* surface = wm::TopLevelSurface(Handle);
    if (surface == nullptr) return;
    cairo_surface_flush(surface);
    const unsigned char* pixels = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const int sw = cairo_image_surface_get_width(surface);
    const int sh = cairo_image_surface_get_height(surface);
    if (pixels == nullptr) return;
    const int w = area.right - area.left;
    const int h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;
    // Opaque pixels, 0xAARRGGBB in the client's byte order; outside the site's buffer, white.
    std::vector<uint32_t> rows(static_cast<size_t>(w) * static_cast<size_t>(h), 0xFFFFFFFFu);
    for (int y = 0; y < h; ++y) {
        const int sy = area.top + y;
        if (sy < 0 || sy >= sh) continue;
        const auto* src = reinterpret_cast<const uint32_t*>(pixels + static_cast<ptrdiff_t>(sy) * stride);
        for (int x = 0; x < w; ++x) {
            const int sx = area.left + x;
            if (sx >= 0 && sx < sw) rows[static_cast<size_t>(y) * w + x] = src[sx] | 0xFF000000u;
        }
    }
    auto* visual = static_cast<::Visual*>(visualPtr);
    if (visual == nullptr) visual = DefaultVisual(display, DefaultScreen(display));
    XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(rows.data()), static_cast<unsigned>(w),
                                 static_cast<unsigned>(h), 32, w * 4);
    if (image == nullptr) return;
    image->byte_order = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? LSBFirst : MSBFirst;
    GC gc = XCreateGC(display, target, 0, nullptr);
    XPutImage(display, target, gc, image, 0, 0, area.left + ox, area.top + oy, static_cast<unsigned>(w),
              static_cast<unsigned>(h));
    XFreeGC(display, gc);
    image->data = nullptr;  // the rows are ours
    XDestroyImage(image);
}

}  // namespace qsm::np
