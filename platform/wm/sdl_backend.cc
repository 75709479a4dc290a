// The SDL backend: one SDL window per top-level window, showing its back buffer; SDL events become input of
// the window manager. Where a window manager runs on the display it frames the windows with a caption (the
// SDL window is then the window less that frame); every other window is borderless and shows its whole back
// buffer.
#include "platform/wm/sdl_backend.h"

#include <SDL.h>
#include <cairo.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/kernel/lazy_library.h"
#include "platform/kernel/text.h"
#include "platform/wm/internal.h"
#include "platform/wm/sdl_desktop.h"
#include "platform/wm/surface.h"
#include "platform/wm/x_image.h"

namespace qsm::wm {
namespace {

// SDL and the display libraries it pulls in are loaded only when a window is to be shown on a display.
#define QSM_SDL_FUNCTIONS(X)              \
    X(SDL_CaptureMouse)                   \
    X(SDL_CreateColorCursor)              \
    X(SDL_CreateRGBSurfaceWithFormatFrom) \
    X(SDL_CreateSystemCursor)             \
    X(SDL_CreateWindow)                   \
    X(SDL_DestroyWindow)                  \
    X(SDL_EventState)                     \
    X(SDL_FreeCursor)                     \
    X(SDL_FreeSurface)                    \
    X(SDL_GetCurrentVideoDriver)          \
    X(SDL_GetDisplayBounds)               \
    X(SDL_GetDisplayUsableBounds)         \
    X(SDL_GetKeyboardFocus)               \
    X(SDL_GetTicks)                       \
    X(SDL_GetModState)                    \
    X(SDL_GetWindowBordersSize)           \
    X(SDL_GetWindowFlags)                 \
    X(SDL_GetWindowFromID)                \
    X(SDL_GetWindowID)                    \
    X(SDL_GetWindowPosition)              \
    X(SDL_GetWindowSize)                  \
    X(SDL_GetWindowSurface)               \
    X(SDL_HideWindow)                     \
    X(SDL_Init)                           \
    X(SDL_LockSurface)                    \
    X(SDL_MapRGB)                         \
    X(SDL_MaximizeWindow)                 \
    X(SDL_MinimizeWindow)                 \
    X(SDL_PollEvent)                      \
    X(SDL_PushEvent)                      \
    X(SDL_Quit)                           \
    X(SDL_RaiseWindow)                    \
    X(SDL_RegisterEvents)                 \
    X(SDL_RestoreWindow)                  \
    X(SDL_SetCursor)                      \
    X(SDL_SetHint)                        \
    X(SDL_SetWindowData)                  \
    X(SDL_SetWindowHitTest)               \
    X(SDL_SetWindowIcon)                  \
    X(SDL_SetWindowInputFocus)            \
    X(SDL_SetWindowMaximumSize)           \
    X(SDL_SetWindowMinimumSize)           \
    X(SDL_SetWindowPosition)              \
    X(SDL_SetWindowSize)                  \
    X(SDL_SetWindowTitle)                 \
    X(SDL_ShowCursor)                     \
    X(SDL_ShowWindow)                     \
    X(SDL_StartTextInput)                 \
    X(SDL_UnlockSurface)                  \
    X(SDL_UpdateWindowSurfaceRects)       \
    X(SDL_UpperBlit)                      \
    X(SDL_WaitEvent)                      \
    X(SDL_WaitEventTimeout)               \
    X(SDL_free)
QSM_LAZY_LIBRARY(SdlApi, "libSDL2-2.0.so.0", QSM_SDL_FUNCTIONS)

// Only called once Start found the library.
const SdlApi& Sdl() {
    return *SdlApi::Get();
}

int VirtualKey(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    if (k >= SDLK_F1 && k <= SDLK_F12) return VK_F1 + (k - SDLK_F1);
    if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (k - SDLK_KP_1);
    switch (k) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return VK_RETURN;
        case SDLK_ESCAPE:
            return VK_ESCAPE;
        case SDLK_BACKSPACE:
            return VK_BACK;
        case SDLK_TAB:
            return VK_TAB;
        case SDLK_SPACE:
            return VK_SPACE;
        case SDLK_LEFT:
            return VK_LEFT;
        case SDLK_RIGHT:
            return VK_RIGHT;
        case SDLK_UP:
            return VK_UP;
        case SDLK_DOWN:
            return VK_DOWN;
        case SDLK_HOME:
            return VK_HOME;
        case SDLK_END:
            return VK_END;
        case SDLK_PAGEUP:
            return VK_PRIOR;
        case SDLK_PAGEDOWN:
            return VK_NEXT;
        case SDLK_INSERT:
            return VK_INSERT;
        case SDLK_DELETE:
            return VK_DELETE;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return VK_SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return VK_CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return VK_MENU;
        case SDLK_PAUSE:
            return VK_PAUSE;
        case SDLK_APPLICATION:
            return VK_APPS;
        case SDLK_AC_BACK:
            return VK_BROWSER_BACK;
        case SDLK_AC_FORWARD:
            return VK_BROWSER_FORWARD;
        case SDLK_AC_HOME:
            return VK_BROWSER_HOME;
        case SDLK_AUDIONEXT:
            return VK_MEDIA_NEXT_TRACK;
        case SDLK_AUDIOPREV:
            return VK_MEDIA_PREV_TRACK;
        case SDLK_AUDIOSTOP:
            return VK_MEDIA_STOP;
        case SDLK_AUDIOPLAY:
            return VK_MEDIA_PLAY_PAUSE;
        case SDLK_KP_0:
            return VK_NUMPAD0;
        case SDLK_KP_PLUS:
            return VK_ADD;
        case SDLK_KP_MINUS:
            return VK_SUBTRACT;
        case SDLK_KP_MULTIPLY:
            return VK_MULTIPLY;
        case SDLK_KP_DIVIDE:
            return VK_DIVIDE;
        case SDLK_PLUS:
        case SDLK_EQUALS:
            return VK_OEM_PLUS;
        case SDLK_MINUS:
            return VK_OEM_MINUS;
        default:
            return 0;
    }
}

// UTF-8 from the display to code page 1252; characters the page lacks are dropped.
std::string To1252(const char* utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (n <= 0) return {};
    std::vector<WCHAR> wide(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), n);
    std::string out;
    for (int i = 0; i + 1 < n; ++i) {
        char c = 0;
        BOOL used_default = FALSE;
        if (WideCharToMultiByte(1252, 0, &wide[static_cast<size_t>(i)], 1, &c, 1, nullptr, &used_default) ==
                1 &&
            !used_default)
            out.push_back(c);
    }
    return out;
}

SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* area, void* data);

// The kind of a framed window: a dialog is a popup that cannot be maximized (a window manager offers a
// dialog no maximizing); everything else is a normal window.
desktop::Kind KindOf(DWORD style) {
    return (style & WS_POPUP) && !(style & WS_MAXIMIZEBOX) ? desktop::Kind::Dialog : desktop::Kind::Normal;
}

// Whether no session bus runs: none is named and there is none at the place a user's session keeps it.
bool NoSessionBus() {
    const char* named = getenv("DBUS_SESSION_BUS_ADDRESS");
    if (named != nullptr && *named != '\0') return false;
    const char* run = getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    return run == nullptr || *run == '\0' || stat((std::string(run) + "/bus").c_str(), &st) != 0 ||
           !S_ISSOCK(st.st_mode);
}

// The size limits of a framed window as its window procedure answers them, in SDL window sizes.
struct Limits {
    bool known = false;
    int min_w = 1, min_h = 1;
    int max_w = 0, max_h = 0;  // 0: none
};

class SdlBackend : public Backend {
public:
    // Starts SDL on this thread.
    bool Start() {
        // On X the windows' pixels go to the X server over a connection of their own; the desktop's is opened
        // first, so that its handler of X errors comes before SDL's.
        if (OnX() && desktop::ScreenBounds(&screen_)) {
            ximage::Prepare();
            images_ = true;
        }
        // With no session bus SDL's D-Bus library would start one through the X display: it forks a helper
        // in this process, which has threads by now, and the child can hang before it runs the helper and
        // the start with it. There is no bus to talk to, so SDL is told so while it starts.
        const bool no_bus = NoSessionBus();
        if (no_bus) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        up_ = StartSdl();
        if (no_bus) unsetenv("DBUS_SESSION_BUS_ADDRESS");
        if (!up_) {
            CloseImages();
            desktop::Unbind();
            return false;
        }
        KeepImagesOnX();
        wake_ready_ = true;
        return true;
    }
    static bool OnX() {
        const char* driver = getenv("SDL_VIDEODRIVER");
        return driver == nullptr || *driver == '\0' || std::string_view(driver) == "x11";
    }
    // SDL may show its windows elsewhere after all (another display system it prefers).
    void KeepImagesOnX() {
        const char* driver = Sdl().SDL_GetCurrentVideoDriver();
        if (driver == nullptr || std::string_view(driver) != "x11") CloseImages();
    }
    // Starts SDL on a thread of its own, where the X server answers: loading SDL and its libraries and
    // starting its video take longer than the program needs to read its file and paint its first windows.
    // Meanwhile the X server answers the screen's size and work area, and the windows shown wait for SDL
    // (see ShowPending). False without an X display.
    bool StartBeside(void (*no_display)()) {
        if (!OnX()) return false;
        // The X libraries are loaded and the desktop's connection opened before SDL's own loading holds the
        // loader: the answers below come from there.
        if (!desktop::ScreenBounds(&screen_)) return false;
        desktop::ManagerRuns();
        // The windows' pixels go to the X server over a connection of their own, opened meanwhile.
        ximage::Prepare();
        images_ = true;
        // SDL is loaded here: while the loader maps its libraries no other thread can be started.
        if (SdlApi::Get() == nullptr) {
            CloseImages();
            desktop::Unbind();
            return false;
        }
        no_display_ = no_display;
        // As in Start, SDL is told that there is no session bus; here the address stays for the program's
        // life, since the rest of the start reads the environment on other threads meanwhile. The programs
        // it starts find no bus either, and are kept from starting one through the display in turn.
        if (NoSessionBus()) setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        starter_ = std::thread([this] {
            start_ok_ = StartSdl();
            start_done_ = true;
        });
        return true;
    }
    // True once SDL runs; `wait`: waits for a start on its thread to end (else answers false while it goes
    // on). Only on the window thread.
    bool Up(bool wait) {
        if (!starter_.joinable()) return up_;
        if (!wait && !start_done_) return false;
        starter_.join();
        up_ = start_ok_;
        if (!up_) {
            // SDL found no display after all: the program runs as without one, its windows never shown.
            pending_.clear();
            if (no_display_ != nullptr) no_display_();
            return false;
        }
        KeepImagesOnX();
        // A wake asked for meanwhile is delivered now (the other thread left it pending).
        wake_ready_ = true;
        if (wake_pending_) PushWake();
        if (cursor_known_) CursorChanged(cursor_);
        return true;
    }
    bool Failed() const { return !up_ && !starter_.joinable(); }

    bool StartSdl() {
        if (SdlApi::Get() == nullptr) return false;
        Sdl().SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        Sdl().SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        // The windows' surfaces go to the display as they are (shared-memory images on X11): without this
        // SDL would try out OpenGL for them at the first surface, and load and start its libraries.
        Sdl().SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        if (Sdl().SDL_Init(SDL_INIT_VIDEO) != 0) return false;
        // Where no display answers SDL falls back on drivers that show nothing to anybody.
        const char* driver = Sdl().SDL_GetCurrentVideoDriver();
        if (driver == nullptr || std::string_view(driver) == "offscreen" ||
            std::string_view(driver) == "dummy") {
            Sdl().SDL_Quit();
            return false;
        }
        wake_event_ = Sdl().SDL_RegisterEvents(1);
        Sdl().SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
        // The display's own events, for the changes of a window's frame that SDL does not report.
        Sdl().SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
        Sdl().SDL_StartTextInput();
        return true;
    }
    void Stop() {
        if (starter_.joinable()) {
            starter_.join();
            up_ = start_ok_;
        }
        pending_.clear();
        CloseImages();
        if (!up_) {
            desktop::Unbind();
            return;
        }
        for (auto& [h, win] : windows_)
            Sdl().SDL_DestroyWindow(win);
        windows_.clear();
        mapped_in_.clear();
        ids_.clear();
        for (auto& [id, c] : cursors_)
            Sdl().SDL_FreeCursor(c);
        cursors_.clear();
        for (auto& [h, c] : image_cursors_)
            if (c != nullptr) Sdl().SDL_FreeCursor(c);
        image_cursors_.clear();
        desktop::Unbind();
        Sdl().SDL_Quit();
    }

    SIZE ScreenSize() const override {
        if (!up_) return SIZE{screen_.right - screen_.left, screen_.bottom - screen_.top};
        SDL_Rect r{0, 0, 1024, 768};
        Sdl().SDL_GetDisplayBounds(0, &r);
        return SIZE{r.w, r.h};
    }
    RECT WorkArea() const override {
        if (!up_) {
            // As SDL answers: the window manager's work area within the display.
            RECT area, r{};
            if (!desktop::WorkArea(&area)) return Backend::WorkArea();
            if (!IntersectRect(&r, &area, &screen_)) return Backend::WorkArea();
            return r;
        }
        SDL_Rect r{0, 0, 0, 0};
        if (Sdl().SDL_GetDisplayUsableBounds(0, &r) != 0 || r.w <= 0 || r.h <= 0) return Backend::WorkArea();
        return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
    }
    // Where SDL could not start beside, the queue waits as it does without a display.
    bool OwnsWait() const override { return !Failed(); }
    void Wait(DWORD timeout_ms) override {
        if (!Up(true)) return;
        Settle();
        if (images_) ximage::ShareNewBlocks();
        // SDL reports a change of the keyboard focus only once it has settled, and only when it looks at the
        // display again after that: the wait ends then.
        if (focus_settles_ != 0) {
            Uint32 now = Sdl().SDL_GetTicks();
            if (static_cast<Sint32>(focus_settles_ - now) <= 0)
                focus_settles_ = 0;
            else
                timeout_ms = std::min<DWORD>(timeout_ms, focus_settles_ - now);
        }
        SDL_Event e;
        int got =
            timeout_ms == 0xFFFFFFFFu
                ? Sdl().SDL_WaitEvent(&e)
                : Sdl().SDL_WaitEventTimeout(&e, static_cast<int>(std::min<DWORD>(timeout_ms, 0x7FFFFFFF)));
        if (got == 1) Handle(e);
        // What came with it belongs to the same change of the desktop.
        Pump();
    }
    void Wake() override {
        if (wake_pending_.exchange(true)) return;
        // Before SDL runs the window thread pushes it once it does (Up).
        if (wake_ready_) PushWake();
    }
    void PushWake() {
        SDL_Event e{};
        e.type = wake_event_;
        if (Sdl().SDL_PushEvent(&e) != 1) wake_pending_ = false;
    }
    void Pump() override {
        if (!Up(false)) return;
        SDL_Event e;
        while (Sdl().SDL_PollEvent(&e) == 1)
            Handle(e);
        // A window manager reports a change of a window's state and of its place and size in separate events:
        // the window manager's window is told of them together, once all have come.
        std::vector<HWND> moved;
        moved.swap(placed_);
        for (HWND hwnd : moved)
            TakeDesktopPlacement(hwnd);
    }

    bool DesktopFrame(DWORD style, DWORD ex_style, RECT* frame) override {
        // The desktop frames what has a caption of its own, but for tool windows: the caption of a floating
        // tool frame moves what it holds (a toolbar that docks again) and its edges size it by steps.
        if ((style & WS_CAPTION) != WS_CAPTION || (style & WS_CHILD) || (ex_style & WS_EX_TOOLWINDOW))
            return false;
        if (!desktop::ManagerRuns()) return false;
        bool resizable = (style & WS_THICKFRAME) != 0;
        if (!desktop::FrameOfKind(KindOf(style), resizable, frame)) {
            // A window manager that does not say: about what the window would draw itself.
            int f = GetSystemMetrics(resizable ? SM_CXFRAME : SM_CXDLGFRAME);
            *frame = RECT{f, f + GetSystemMetrics(SM_CYCAPTION), f, f};
        }
        return true;
    }

    // A top-level window gets its SDL window when it is first shown, with the place, size and title it has
    // then: windows that are never shown (most dialogs and menus of a run) cost the display nothing.
    void MakeWindow(HWND hwnd) {
        Window* w = W(hwnd);
        if (w == nullptr) return;
        Uint32 flags = SDL_WINDOW_HIDDEN;
        bool popup = (w->style & WS_POPUP) != 0;
        bool captioned = (w->style & WS_CAPTION) == WS_CAPTION;
        if (w->desktop_framed) {
            if (w->style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
        } else {
            flags |= SDL_WINDOW_BORDERLESS;
            if (popup && (w->ex_style & WS_EX_NOACTIVATE))
                flags |= (w->ex_style & WS_EX_TOOLWINDOW) ? SDL_WINDOW_POPUP_MENU : SDL_WINDOW_TOOLTIP;
            else if (popup && !captioned && (w->ex_style & WS_EX_TOOLWINDOW) && (w->ex_style & WS_EX_TOPMOST))
                // A tip: the desktop neither manages nor focuses it.
                flags |= SDL_WINDOW_TOOLTIP;
            else if (w->ex_style & WS_EX_TOOLWINDOW)
                flags |= SDL_WINDOW_UTILITY;
        }
        if (w->ex_style & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        if (w->owner != nullptr || (w->ex_style & WS_EX_TOOLWINDOW)) flags |= SDL_WINDOW_SKIP_TASKBAR;
        // A window that is not yet shown is placed by its frame's corner (the desktop puts the frame where
        // the window is asked to be). One that is to show maximized is made at its normal rectangle, which
        // the desktop then keeps for its restoring.
        bool held = w->desktop_framed && (w->maximized || w->minimized);
        const RECT& r = held ? w->normal_rect : w->rect;
        SIZE size = SdlSize(w, r);
        SDL_Window* win = Sdl().SDL_CreateWindow(w->text.c_str(), r.left, r.top, size.cx, size.cy, flags);
        if (win == nullptr) return;
        if (w->desktop_framed && w->maximized && !w->minimized) Sdl().SDL_MaximizeWindow(win);
        // The surface is made at the first picture shown: as the display's own image it never makes the
        // window anew (as an OpenGL surface would).
        Sdl().SDL_SetWindowData(win, "qsm.hwnd", hwnd);
        Sdl().SDL_SetWindowHitTest(win, HitTest, hwnd);
        if (w->desktop_framed)
            desktop::SetFramedHints(win, KindOf(w->style), (w->style & WS_THICKFRAME) != 0,
                                    (w->style & WS_MINIMIZEBOX) != 0, (w->style & WS_MAXIMIZEBOX) != 0);
        // The window it belongs to, and the windows that belong to it and were shown before it.
        if (desktop::ManagerRuns()) {
            if (w->owner != nullptr) desktop::SetOwner(win, Find(w->owner->handle));
            for (auto& [h, other] : windows_)
                if (Window* o = W(h); o != nullptr && o->owner == w) desktop::SetOwner(other, win);
        }
        windows_[hwnd] = win;
        ids_[Sdl().SDL_GetWindowID(win)] = hwnd;
        TopLevelTitle(hwnd, w->text.c_str());
    }
    void TopLevelDestroyed(HWND hwnd) override {
        Unpend(hwnd);
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        ids_.erase(Sdl().SDL_GetWindowID(it->second));
        mapped_in_.erase(it->second);
        if (images_) ximage::Forget(desktop::XWindowOf(it->second));
        Sdl().SDL_DestroyWindow(it->second);
        windows_.erase(it);
        iconed_.erase(hwnd);
    }
    void TopLevelShown(HWND hwnd, bool shown) override {
        Window* w = W(hwnd);
        // The window is asked for its limits when it is shown, whether its SDL window is made now or later.
        Limits limits;
        if (shown && w != nullptr && w->desktop_framed) limits = AskLimits(hwnd);
        Unpend(hwnd);
        if (!shown) {
            if (SDL_Window* win = Up(false) ? Find(hwnd) : nullptr) Sdl().SDL_HideWindow(win);
            return;
        }
        // The display gets the window once it is painted (see ShowPending).
        if (!Failed()) pending_.push_back({hwnd, limits});
    }
    // The queue ran out of work: the windows shown and not yet on the display go there now, waiting for
    // SDL's start.
    void Settle() override { ShowPending(nullptr); }
    // Puts the windows that were shown since on the display, in the order they were shown (all of them,
    // waiting for SDL's start; or only `only`, once SDL runs): each is made, or shown again, with the picture
    // it has painted meanwhile. A window goes there once nothing of it waits to be painted, or the queue runs
    // out of work, rather than as it is shown: so it comes up whole, with its first picture sent once.
    void ShowPending(HWND only) {
        if (pending_.empty() || !Up(only == nullptr)) return;
        std::vector<Pending> now;
        auto it = std::stable_partition(pending_.begin(), pending_.end(), [only](const Pending& p) {
            return only != nullptr && p.hwnd != only;
        });
        now.assign(it, pending_.end());
        pending_.erase(it, pending_.end());
        for (const Pending& p : now) {
            Window* w = W(p.hwnd);
            if (w == nullptr || !w->Visible()) continue;
            if (Find(p.hwnd) == nullptr) MakeWindow(p.hwnd);
            SDL_Window* win = Find(p.hwnd);
            if (win == nullptr) continue;
            ShowMade(p.hwnd, win, p.limits);
            // Minimized before it was there (shown minimized, say), it goes down now.
            if (w = W(p.hwnd); w != nullptr && w->desktop_framed && w->minimized)
                Sdl().SDL_MinimizeWindow(win);
            if (p.raise) TopLevelRaised(p.hwnd);
        }
        if (GetCapture() != nullptr) CaptureChanged(true);
    }
    bool IsPending(HWND hwnd) const {
        return std::any_of(pending_.begin(), pending_.end(),
                           [hwnd](const Pending& p) { return p.hwnd == hwnd; });
    }
    // Takes in SDL's start once it has ended.
    void TakeStart() { Up(false); }
    void Unpend(HWND hwnd) {
        pending_.erase(std::remove_if(pending_.begin(), pending_.end(),
                                      [hwnd](const Pending& p) { return p.hwnd == hwnd; }),
                       pending_.end());
    }
    void ShowMade(HWND hwnd, SDL_Window* win, const Limits& limits) {
        Window* w = W(hwnd);
        if (w != nullptr && w->desktop_framed) TellLimits(win, limits);
        if (w != nullptr && iconed_.insert(hwnd).second) SetIcon(w, win);
        bool no_activate = w != nullptr && ((w->ex_style & WS_EX_NOACTIVATE) || w->shown_without_activation);
        Sdl().SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, no_activate ? "1" : "0");
        Sdl().SDL_ShowWindow(win);
        PresentAll(hwnd);
    }
    // The window manager puts a window it maps on top: the shown windows that belong to it go back over it.
    void RaiseOwnedOf(HWND hwnd) {
        Window* w = W(hwnd);
        if (w == nullptr || !desktop::ManagerRuns()) return;
        for (auto& [h, other] : windows_)
            if (Window* o = W(h); o != nullptr && o->owner == w && o->Visible()) desktop::RaiseOwned(other);
    }
    void TopLevelMoved(HWND hwnd, const RECT& r) override {
        TakeStart();
        if (from_desktop_ == hwnd) return;
        SDL_Window* win = Find(hwnd);
        Window* w = W(hwnd);
        if (win == nullptr || w == nullptr) return;
        // A maximized or minimized window is the desktop's to place.
        if (w->desktop_framed && (w->maximized || w->minimized)) return;
        // The desktop takes a requested place as the place of the frame's corner; SDL takes it as the place
        // of the window within the frame and moves the frame by the frame it knows of.
        int top = 0, left = 0, bottom = 0, right = 0;
        if (Sdl().SDL_GetWindowBordersSize(win, &top, &left, &bottom, &right) != 0) top = left = 0;
        Sdl().SDL_SetWindowPosition(win, r.left + left, r.top + top);
        SIZE size = SdlSize(w, r);
        int ow = 0, oh = 0;
        Sdl().SDL_GetWindowSize(win, &ow, &oh);
        if (ow != size.cx || oh != size.cy) Sdl().SDL_SetWindowSize(win, size.cx, size.cy);
    }
    // SDL asks where a press falls while it reads the display's events, before the window manager's window
    // has been told of the moves and sizes that came before the press: it is told now.
    void CatchUp(HWND hwnd) {
        SDL_Window* win = Find(hwnd);
        Window* w = W(hwnd);
        if (win == nullptr || w == nullptr) return;
        RECT rect = DesktopRect(win, FrameOf(w));
        Uint32 state = Sdl().SDL_GetWindowFlags(win);
        bool same_state = !w->desktop_framed || (((state & SDL_WINDOW_MAXIMIZED) != 0) == w->maximized &&
                                                 ((state & SDL_WINDOW_MINIMIZED) != 0) == w->minimized);
        if (!EqualRect(&rect, &w->rect) || !same_state) TakeDesktopPlacement(hwnd);
    }
    void TopLevelState(HWND hwnd, int state) override {
        TakeStart();
        SDL_Window* win = Find(hwnd);
        Window* w = W(hwnd);
        if (win == nullptr || w == nullptr || !w->desktop_framed || from_desktop_ == hwnd) return;
        Uint32 now = Sdl().SDL_GetWindowFlags(win);
        if (state == 1) {
            Sdl().SDL_MinimizeWindow(win);
            return;
        }
        if ((now & SDL_WINDOW_MINIMIZED) || (state == 0 && (now & SDL_WINDOW_MAXIMIZED)))
            Sdl().SDL_RestoreWindow(win);
        if (state == 2) Sdl().SDL_MaximizeWindow(win);
    }
    void TopLevelTitle(HWND hwnd, const char* title) override {
        TakeStart();
        if (SDL_Window* win = Find(hwnd)) {
            // Titles are code page 1252; the desktop wants UTF-8.
            std::string utf8;
            for (const char* p = title; p != nullptr && *p; ++p) {
                WCHAR wc = 0;
                MultiByteToWideChar(1252, 0, p, 1, &wc, 1);
                char buf[4];
                int n = WideCharToMultiByte(CP_UTF8, 0, &wc, 1, buf, sizeof buf, nullptr, nullptr);
                utf8.append(buf, static_cast<size_t>(std::max(0, n)));
            }
            Sdl().SDL_SetWindowTitle(win, utf8.c_str());
        }
    }
    void TopLevelRaised(HWND hwnd) override {
        TakeStart();
        // A window not yet on the display is raised once it is there.
        for (Pending& p : pending_)
            if (p.hwnd == hwnd) {
                p.raise = true;
                return;
            }
        SDL_Window* win = Find(hwnd);
        Window* w = W(hwnd);
        if (win != nullptr && w != nullptr && w->Visible() && !(w->ex_style & WS_EX_NOACTIVATE))
            Sdl().SDL_RaiseWindow(win);
    }

    void* NewBufferBlock(std::size_t bytes, void (**release)(void*)) override {
        if (!images_) return nullptr;
        *release = ximage::FreeBlock;
        return ximage::NewBlock(bytes);
    }
    void CloseImages() {
        if (images_) ximage::Close();
        images_ = false;
    }

    void Present(HWND hwnd, const RECT& rect) override {
        TakeStart();
        if (hwnd != nullptr && IsPending(hwnd)) {
            // Shown whole once the last of it is painted.
            if (Window* w = W(hwnd); w != nullptr && !WaitsForPaint(w)) ShowPending(hwnd);
            return;
        }
        if (hwnd == nullptr) {
            // The screen overlay changed: show it again over every window it covers.
            for (auto& [h, win] : windows_) {
                RECT wr, part;
                GetWindowRect(h, &wr);
                if (!IntersectRect(&part, &wr, &rect)) continue;
                OffsetRect(&part, -wr.left, -wr.top);
                PresentRect(h, win, part);
            }
            return;
        }
        if (SDL_Window* win = Find(hwnd)) PresentRect(hwnd, win, rect);
    }

    void CursorChanged(HCURSOR cursor) override {
        TakeStart();
        if (!up_) {
            // Set once SDL runs.
            cursor_ = cursor;
            cursor_known_ = true;
            return;
        }
        // A cursor drawn by the program is shown as its picture.
        if (SDL_Cursor* own = ImageCursor(cursor)) {
            Sdl().SDL_SetCursor(own);
            Sdl().SDL_ShowCursor(SDL_ENABLE);
            return;
        }
        SDL_SystemCursor id = SDL_SYSTEM_CURSOR_ARROW;
        if (cursor == LoadCursorA(nullptr, IDC_IBEAM))
            id = SDL_SYSTEM_CURSOR_IBEAM;
        else if (cursor == LoadCursorA(nullptr, IDC_WAIT))
            id = SDL_SYSTEM_CURSOR_WAIT;
        else if (cursor == LoadCursorA(nullptr, IDC_CROSS))
            id = SDL_SYSTEM_CURSOR_CROSSHAIR;
        else if (cursor == LoadCursorA(nullptr, IDC_SIZEALL))
            id = SDL_SYSTEM_CURSOR_SIZEALL;
        else if (cursor == LoadCursorA(nullptr, IDC_SIZEWE))
            id = SDL_SYSTEM_CURSOR_SIZEWE;
        else if (cursor == LoadCursorA(nullptr, IDC_SIZENS))
            id = SDL_SYSTEM_CURSOR_SIZENS;
        else if (cursor == LoadCursorA(nullptr, IDC_SIZENWSE))
            id = SDL_SYSTEM_CURSOR_SIZENWSE;
        else if (cursor == LoadCursorA(nullptr, IDC_SIZENESW))
            id = SDL_SYSTEM_CURSOR_SIZENESW;
        else if (cursor == LoadCursorA(nullptr, IDC_HAND))
            id = SDL_SYSTEM_CURSOR_HAND;
        else if (cursor == LoadCursorA(nullptr, IDC_NO))
            id = SDL_SYSTEM_CURSOR_NO;
        else if (cursor == LoadCursorA(nullptr, IDC_APPSTARTING))
            id = SDL_SYSTEM_CURSOR_WAITARROW;
        SDL_Cursor*& c = cursors_[id];
        if (c == nullptr) c = Sdl().SDL_CreateSystemCursor(id);
        if (c != nullptr) Sdl().SDL_SetCursor(c);
        Sdl().SDL_ShowCursor(cursor != nullptr ? SDL_ENABLE : SDL_DISABLE);
    }
    void CaptureChanged(bool captured) override {
        // Before SDL runs no window of the display is there to hold the pointer; Settle takes it over.
        if (up_) Sdl().SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
    }
    void Beep() override {}

private:
    SDL_Cursor* ImageCursor(HCURSOR cursor) {
        if (cursor == nullptr) return nullptr;
        auto it = image_cursors_.find(cursor);
        if (it != image_cursors_.end()) return it->second;
        SDL_Cursor* made = nullptr;
        CursorImage image;
        if (GetCursorImage(cursor, &image)) {
            SDL_Surface* s =
                Sdl().SDL_CreateRGBSurfaceWithFormatFrom(image.pixels.data(), image.width, image.height, 32,
                                                         image.width * 4, SDL_PIXELFORMAT_ARGB8888);
            if (s != nullptr) {
                made = Sdl().SDL_CreateColorCursor(s, image.hot_x, image.hot_y);
                Sdl().SDL_FreeSurface(s);
            }
        }
        image_cursors_[cursor] = made;
        return made;
    }

    SDL_Window* Find(HWND hwnd) const {
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? nullptr : it->second;
    }
    HWND FromId(Uint32 id) const {
        auto it = ids_.find(id);
        return it == ids_.end() ? nullptr : it->second;
    }

    // What the desktop's frame takes of the window rectangle (nothing for a window it does not frame).
    static RECT FrameOf(const Window* w) {
        return w != nullptr && w->desktop_framed ? w->desktop_frame : RECT{};
    }
    // The size of the SDL window of a window with that rectangle: the rectangle less the desktop's frame.
    static SIZE SdlSize(const Window* w, const RECT& r) {
        RECT f = FrameOf(w);
        return SIZE{std::max<LONG>(1, r.right - r.left - f.left - f.right),
                    std::max<LONG>(1, r.bottom - r.top - f.top - f.bottom)};
    }

    Limits AskLimits(HWND hwnd) {
        Limits out;
        Window* w = W(hwnd);
        if (w == nullptr || !(w->style & WS_THICKFRAME)) return out;
        RECT f = FrameOf(w);
        SIZE screen = ScreenSize();
        MINMAXINFO mmi{};
        RECT work = WorkArea();
        mmi.ptMaxSize = POINT{work.right - work.left, work.bottom - work.top};
        mmi.ptMaxPosition = POINT{work.left, work.top};
        mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
        const POINT no_limit{screen.cx + f.left + f.right, screen.cy + f.top + f.bottom};
        mmi.ptMaxTrackSize = no_limit;
        SendMessageA(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        if (!IsWindow(hwnd)) return out;
        int fw = f.left + f.right, fh = f.top + f.bottom;
        out.known = true;
        out.min_w = std::max(1, static_cast<int>(mmi.ptMinTrackSize.x) - fw);
        out.min_h = std::max(1, static_cast<int>(mmi.ptMinTrackSize.y) - fh);
        if (mmi.ptMaxTrackSize.x < no_limit.x || mmi.ptMaxTrackSize.y < no_limit.y) {
            constexpr int kNoLimit = 16384;
            int mw =
                mmi.ptMaxTrackSize.x < no_limit.x ? static_cast<int>(mmi.ptMaxTrackSize.x) - fw : kNoLimit;
            int mh =
                mmi.ptMaxTrackSize.y < no_limit.y ? static_cast<int>(mmi.ptMaxTrackSize.y) - fh : kNoLimit;
            out.max_w = std::max(1, mw);
            out.max_h = std::max(1, mh);
        }
        return out;
    }
    // Tells the desktop the window's size limits.
    static void TellLimits(SDL_Window* win, const Limits& limits) {
        if (!limits.known) return;
        Sdl().SDL_SetWindowMinimumSize(win, limits.min_w, limits.min_h);
        if (limits.max_w > 0) Sdl().SDL_SetWindowMaximumSize(win, limits.max_w, limits.max_h);
    }

    // Where the SDL window is on the screen: as the X server has it where it can say, else as SDL has it.
    static void Place(SDL_Window* win, int* x, int* y) {
        if (!desktop::CurrentPlace(win, x, y)) Sdl().SDL_GetWindowPosition(win, x, y);
    }

    // The window's class icon becomes the icon the desktop shows for it.
    void SetIcon(const Window* w, SDL_Window* win) {
        HICON icon = w->cls != nullptr ? w->cls->icon : nullptr;
        CursorImage image;
        if (icon == nullptr || !GetCursorImage(reinterpret_cast<HCURSOR>(icon), &image) || image.width <= 0 ||
            image.height <= 0)
            return;
        SDL_Surface* s = Sdl().SDL_CreateRGBSurfaceWithFormatFrom(
            image.pixels.data(), image.width, image.height, 32, image.width * 4, SDL_PIXELFORMAT_ARGB8888);
        if (s == nullptr) return;
        Sdl().SDL_SetWindowIcon(win, s);
        Sdl().SDL_FreeSurface(s);
    }

    // The desktop moved, sized, maximized, minimized or restored the window, or changed its frame: its
    // placement is taken once the waiting events have been read.
    void Placed(HWND hwnd) {
        if (std::find(placed_.begin(), placed_.end(), hwnd) == placed_.end()) placed_.push_back(hwnd);
    }

    // The frame the desktop draws around a framed window in the state: in the normal state the frame of
    // its kind, as the window manager answered for the kind (what it says of the window itself may still be
    // what it said while the window was maximized); else what it says of the window now.
    static RECT FrameNow(const Window* w, SDL_Window* win, bool normal) {
        RECT f = w->desktop_frame;
        if (normal && desktop::FrameOfKind(KindOf(w->style), (w->style & WS_THICKFRAME) != 0, &f)) return f;
        desktop::CurrentFrame(win, &f);
        return f;
    }

    // The window's rectangle as the desktop has it: the SDL window's place and size with the frame `f`
    // around.
    static RECT DesktopRect(SDL_Window* win, const RECT& f) {
        int x = 0, y = 0, cw = 0, ch = 0;
        Place(win, &x, &y);
        Sdl().SDL_GetWindowSize(win, &cw, &ch);
        return RECT{x - f.left, y - f.top, x + cw + f.right, y + ch + f.bottom};
    }

    // The desktop moved, sized, maximized, minimized or restored the window, or changed its frame: the window
    // manager takes its state, rectangle and frame as the desktop has them now.
    void TakeDesktopPlacement(HWND hwnd) {
        SDL_Window* win = Find(hwnd);
        Window* w = W(hwnd);
        if (win == nullptr || w == nullptr) return;
        Uint32 state = Sdl().SDL_GetWindowFlags(win);
        bool minimized = (state & SDL_WINDOW_MINIMIZED) != 0, maximized = (state & SDL_WINDOW_MAXIMIZED) != 0;
        RECT f = w->desktop_framed ? FrameNow(w, win, !minimized && !maximized) : RECT{};
        RECT rect = DesktopRect(win, f);
        const RECT was = w->rect, frame_was = w->desktop_frame;
        const bool was_minimized = w->minimized, was_maximized = w->maximized;
        from_desktop_ = hwnd;
        if (w->desktop_framed)
            DesktopPlaced(hwnd, minimized, maximized, rect, &f);
        else if (!EqualRect(&rect, &w->rect))
            SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        from_desktop_ = nullptr;
        if (!IsWindow(hwnd) || (w = W(hwnd)) == nullptr) return;
        UpdateWindow(hwnd);
        // What the display shows is still the window's picture when nothing changed (the desktop only told
        // of its focus or stacking).
        if (!EqualRect(&was, &w->rect) || !EqualRect(&frame_was, &w->desktop_frame) ||
            was_minimized != w->minimized || was_maximized != w->maximized)
            PresentAll(hwnd);
    }

    void PresentAll(HWND hwnd) {
        RECT wr;
        GetWindowRect(hwnd, &wr);
        Present(hwnd, RECT{0, 0, wr.right - wr.left, wr.bottom - wr.top});
    }

    // Shows the part `rect` (window coordinates) of the window's back buffer in its SDL window, which holds
    // the window less the desktop's frame.
    void PresentRect(HWND hwnd, SDL_Window* win, const RECT& rect) {
        cairo_surface_t* src = TopLevelSurface(hwnd);
        if (src == nullptr) return;
        cairo_surface_flush(src);
        if (images_ && PutImage(hwnd, win, src, rect)) return;
        SDL_Surface* dst = Sdl().SDL_GetWindowSurface(win);
        // A new image of the window (the first, or after a change of size) is written over whole now.
        if (dst != nullptr && dst->pixels != nullptr && mapped_in_[win] != dst->pixels) {
            mapped_in_[win] = dst->pixels;
            MapInForWriting(dst->pixels,
                            static_cast<std::size_t>(dst->pitch) * static_cast<std::size_t>(dst->h));
        }
        if (dst == nullptr) return;
        RECT f = FrameOf(W(hwnd));
        RECT r = ShownPart(src, f, dst->w, dst->h, rect);
        if (r.right <= r.left || r.bottom <= r.top) return;
        SDL_Rect sr{static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                    static_cast<int>(r.bottom - r.top)};
        SDL_Surface* wrap = Sdl().SDL_CreateRGBSurfaceWithFormatFrom(
            cairo_image_surface_get_data(src), cairo_image_surface_get_width(src),
            cairo_image_surface_get_height(src), 32, cairo_image_surface_get_stride(src),
            SDL_PIXELFORMAT_RGB888);
        if (wrap == nullptr) return;
        SDL_Rect dr{sr.x - static_cast<int>(f.left), sr.y - static_cast<int>(f.top), sr.w, sr.h};
        SDL_Rect blit_to = dr;
        Sdl().SDL_UpperBlit(wrap, &sr, dst, &blit_to);
        Sdl().SDL_FreeSurface(wrap);
        if (dst->format->BytesPerPixel == 4 && Sdl().SDL_LockSurface(dst) == 0) {
            // The SDL window's pixel of window point (x, y).
            MarkOver(
                hwnd, r,
                [&](LONG x, LONG y) {
                    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(dst->pixels) +
                                                     (y - f.top) * dst->pitch) +
                           (x - f.left);
                },
                [&](uint32_t c) {
                    return Sdl().SDL_MapRGB(dst->format, static_cast<Uint8>(c >> 16),
                                            static_cast<Uint8>(c >> 8), static_cast<Uint8>(c));
                });
            Sdl().SDL_UnlockSurface(dst);
        }
        Sdl().SDL_UpdateWindowSurfaceRects(win, &dr, 1);
    }

    // The part of `rect` (window coordinates) that the SDL window of `w` x `h` shows of the back buffer.
    static RECT ShownPart(cairo_surface_t* src, const RECT& f, int w, int h, const RECT& rect) {
        int sw = cairo_image_surface_get_width(src), sh = cairo_image_surface_get_height(src);
        return RECT{std::max<LONG>(f.left, rect.left), std::max<LONG>(f.top, rect.top),
                    std::min<LONG>(rect.right, std::min<LONG>(sw, f.left + w)),
                    std::min<LONG>(rect.bottom, std::min<LONG>(sh, f.top + h))};
    }

    // Shows the part straight from the back buffer (x_image.h): what is drawn over the window (the screen
    // overlay, the caret) goes into the buffer while the server takes it and is taken out again after. False
    // where the server cannot take it so.
    bool PutImage(HWND hwnd, SDL_Window* win, cairo_surface_t* src, const RECT& rect) {
        unsigned char* data = cairo_image_surface_get_data(src);
        const int stride = cairo_image_surface_get_stride(src);
        const unsigned long xwin = desktop::XWindowOf(win);
        int w = 0, h = 0;
        Sdl().SDL_GetWindowSize(win, &w, &h);
        RECT f = FrameOf(W(hwnd));
        RECT r = ShownPart(src, f, w, h, rect);
        if (r.right <= r.left || r.bottom <= r.top) return true;
        auto pixel = [&](LONG x, LONG y) { return reinterpret_cast<uint32_t*>(data + y * stride) + x; };
        auto same = [](uint32_t c) { return c; };
        const bool marked = MarkOver(hwnd, r, pixel, same);
        const bool put = ximage::Put(xwin, data, stride, cairo_image_surface_get_height(src), r,
                                     POINT{r.left - f.left, r.top - f.top});
        if (marked) MarkOver(hwnd, r, pixel, same);
        return put;
    }

    // Xors what was drawn on the screen DC into the window's pixels inside `r` (window coordinates) and
    // inverts the pixels under the caret while it shows; `pixel` gives the pixel of a window point and `map`
    // the pixel value of an xrgb colour. Doing it twice undoes it. True when anything was changed.
    template <typename PixelOf, typename Map>
    bool MarkOver(HWND hwnd, const RECT& r, PixelOf pixel, Map map) {
        bool changed = false;
        RECT wr;
        GetWindowRect(hwnd, &wr);
        const RECT ob = ScreenOverlayBounds();
        if (cairo_surface_t* overlay = ScreenOverlaySurface(); overlay != nullptr && !IsRectEmpty(&ob)) {
            cairo_surface_flush(overlay);
            const unsigned char* bits = cairo_image_surface_get_data(overlay);
            const int ow = cairo_image_surface_get_width(overlay),
                      oh = cairo_image_surface_get_height(overlay);
            const int ostride = cairo_image_surface_get_stride(overlay);
            // Only the part that holds any bits.
            const LONG x0 = std::max({r.left, -wr.left, ob.left - wr.left});
            const LONG x1 = std::min({r.right, ow - wr.left, ob.right - wr.left});
            const LONG y1 = std::min({r.bottom, oh - wr.top, ob.bottom - wr.top});
            for (LONG y = std::max({r.top, -wr.top, ob.top - wr.top}); y < y1; ++y) {
                const auto* over = reinterpret_cast<const uint32_t*>(bits + (y + wr.top) * ostride) + wr.left;
                for (LONG x = x0; x < x1; ++x)
                    if (const uint32_t c = over[x] & 0x00FFFFFFu; c != 0) {
                        *pixel(x, y) ^= map(c);
                        changed = true;
                    }
            }
        }
        HWND owner = nullptr;
        RECT caret{};
        bool on = false;
        if (GetCaretState(&owner, &caret, &on) && on && GetAncestor(owner, GA_ROOT) == hwnd) {
            POINT o{0, 0};
            ClientToScreen(owner, &o);
            OffsetRect(&caret, o.x - wr.left, o.y - wr.top);
            RECT part;
            if (IntersectRect(&part, &caret, &r)) {
                for (LONG y = part.top; y < part.bottom; ++y)
                    for (LONG x = part.left; x < part.right; ++x)
                        *pixel(x, y) ^= 0x00FFFFFFu;
                changed = true;
            }
        }
        return changed;
    }

    // The screen point of a point of an SDL window: where the window manager's window has that pixel, so that
    // it lands where the window drew it (SDL's record of the window's place may lag behind the desktop's).
    POINT ScreenPoint(Uint32 window_id, int x, int y) const {
        HWND hwnd = FromId(window_id);
        if (const Window* w = hwnd != nullptr ? W(hwnd) : nullptr) {
            RECT wr;
            GetWindowRect(hwnd, &wr);
            RECT f = FrameOf(w);
            return POINT{wr.left + f.left + x, wr.top + f.top + y};
        }
        SDL_Window* win = Sdl().SDL_GetWindowFromID(window_id);
        int wx = 0, wy = 0;
        if (win != nullptr) Sdl().SDL_GetWindowPosition(win, &wx, &wy);
        return POINT{wx + x, wy + y};
    }

    void Handle(const SDL_Event& e) {
        if (e.type == wake_event_) {
            wake_pending_ = false;
            return;
        }
        switch (e.type) {
            case SDL_MOUSEMOTION: {
                POINT p = ScreenPoint(e.motion.windowID, e.motion.x, e.motion.y);
                InputMouseMove(p.x, p.y);
                break;
            }
            case SDL_MOUSEBUTTONDOWN:
            case SDL_MOUSEBUTTONUP: {
                POINT p = ScreenPoint(e.button.windowID, e.button.x, e.button.y);
                InputMouseMove(p.x, p.y);
                int button = e.button.button == SDL_BUTTON_LEFT     ? 0
                             : e.button.button == SDL_BUTTON_RIGHT  ? 1
                             : e.button.button == SDL_BUTTON_MIDDLE ? 2
                             : e.button.button == SDL_BUTTON_X1     ? 3
                             : e.button.button == SDL_BUTTON_X2     ? 4
                                                                    : -1;
                if (button < 0) break;  // buttons beyond the side ones have no meaning here
                InputMouseButton(button, e.type == SDL_MOUSEBUTTONDOWN);
                break;
            }
            case SDL_MOUSEWHEEL: {
                int y = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
                if (y != 0) InputMouseWheel(y * WHEEL_DELTA);
                break;
            }
            case SDL_KEYDOWN:
            case SDL_KEYUP: {
                int vk = VirtualKey(e.key.keysym.sym);
                if (vk == 0) break;
                bool down = e.type == SDL_KEYDOWN;
                // Printable characters come as text input; control characters and Ctrl or Alt combinations
                // come from the key itself.
                bool ctrl_alt = (e.key.keysym.mod & (KMOD_CTRL | KMOD_ALT)) != 0;
                bool control_char = vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB;
                InputKey(vk, down, down && (ctrl_alt || control_char) ? -1 : 0);
                break;
            }
            case SDL_TEXTINPUT:
                if (!(Sdl().SDL_GetModState() & (KMOD_CTRL | KMOD_ALT))) {
                    std::string text = To1252(e.text.text);
                    if (!text.empty()) InputText(text.c_str());
                }
                break;
            case SDL_DROPBEGIN:
                dropped_.clear();
                break;
            case SDL_DROPFILE:
                if (e.drop.file != nullptr) {
                    dropped_.push_back(e.drop.file);
                    Sdl().SDL_free(e.drop.file);
                }
                break;
            case SDL_DROPCOMPLETE: {
                HWND hwnd = FromId(e.drop.windowID);
                if (hwnd != nullptr && !dropped_.empty()) {
                    POINT p;
                    GetCursorPos(&p);
                    HWND under = WindowFromPoint(p);
                    if (under == nullptr || GetAncestor(under, GA_ROOT) != hwnd) under = hwnd;
                    ScreenToClient(under, &p);
                    InputDropFiles(under, p, dropped_);
                }
                dropped_.clear();
                break;
            }
            case SDL_WINDOWEVENT:
                HandleWindowEvent(e.window);
                break;
            case SDL_SYSWMEVENT:
                if (desktop::FocusChangeIn(e.syswm.msg))
                    focus_settles_ = Sdl().SDL_GetTicks() + kFocusSettleMs;
                if (unsigned long x = desktop::FrameChangedIn(e.syswm.msg)) {
                    for (auto& [h, win] : windows_) {
                        Window* w = W(h);
                        if (w != nullptr && w->desktop_framed && desktop::XWindowOf(win) == x) Placed(h);
                    }
                }
                break;
            default:
                break;
        }
    }

    void HandleWindowEvent(const SDL_WindowEvent& e) {
        HWND hwnd = FromId(e.windowID);
        if (hwnd == nullptr) return;
        switch (e.event) {
            case SDL_WINDOWEVENT_CLOSE:
                InputClose(hwnd);
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                PresentAll(hwnd);
                break;
            case SDL_WINDOWEVENT_LEAVE:
                // The pointer went off the window, onto none of ours unless SDL reports a move there next;
                // without the capture that is a move to no window (windows tracking the leave hear of it).
                if (GetCapture() == nullptr) InputMouseMove(-32768, -32768);
                break;
            case SDL_WINDOWEVENT_MOVED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_SHOWN:
                if (e.event == SDL_WINDOWEVENT_SHOWN) RaiseOwnedOf(hwnd);
                Placed(hwnd);
                break;
            case SDL_WINDOWEVENT_FOCUS_LOST: {
                // The desktop gave the keyboard to another program: the active window is deactivated as
                // on a switch to another application, so that its caption is drawn inactive and it is told
                // so. A move of the keyboard to another window of ours, or a drag or menu holding the
                // pointer, keeps the activation where the window manager has it.
                SDL_Window* now = Sdl().SDL_GetKeyboardFocus();
                if (now != nullptr && FromId(Sdl().SDL_GetWindowID(now)) != nullptr) break;
                if (GetCapture() != nullptr) break;
                HWND active = GetActiveWindow();
                if (active != nullptr && active == hwnd) SetActiveWindow(nullptr);
                break;
            }
            case SDL_WINDOWEVENT_FOCUS_GAINED: {
                // The desktop activated the window (a click on it, the task bar): the window manager follows
                // unless the window is disabled under a modal one, whose turn it then is.
                Window* w = W(hwnd);
                if (w == nullptr) break;
                if (GetActiveWindow() != hwnd &&
                    ((w->ex_style & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW)) || w->shown_without_activation)) {
                    // A tool window or a window shown without activation never takes the keyboard from the
                    // active window: the desktop gets it back there.
                    if (SDL_Window* active = Find(GetActiveWindow())) Sdl().SDL_SetWindowInputFocus(active);
                    break;
                }
                if (w->ex_style & WS_EX_NOACTIVATE) break;
                if (IsWindowEnabled(hwnd)) {
                    if (GetActiveWindow() != hwnd) SetActiveWindow(hwnd);
                } else if (HWND popup = GetLastActivePopup(hwnd); popup != nullptr && popup != hwnd) {
                    SetActiveWindow(popup);
                }
                break;
            }
            default:
                break;
        }
    }

    std::unordered_map<HWND, SDL_Window*> windows_;
    // Whether the windows' pixels go to the X server straight from their back buffers (x_image.h).
    bool images_ = false;
    // The start of SDL on a thread of its own (StartBeside): the thread; whether it has ended and how;
    // whether SDL runs (on the window thread: once the start has been taken in by Up).
    std::thread starter_;
    std::atomic<bool> start_done_{false};
    bool start_ok_ = false;
    std::atomic<bool> up_{false};
    void (*no_display_)() = nullptr;
    // The display's rectangle as the X server answered it before SDL ran.
    RECT screen_{0, 0, 1024, 768};
    // Windows shown before SDL ran, in the order shown, with the limits they answered then.
    struct Pending {
        HWND hwnd;
        Limits limits;
        bool raise = false;  // raised meanwhile
    };
    std::vector<Pending> pending_;
    // The cursor set before SDL ran.
    HCURSOR cursor_ = nullptr;
    bool cursor_known_ = false;
    // Whether wake events can be pushed (SDL runs); until then Wake leaves the wake pending.
    std::atomic<bool> wake_ready_{false};
    // The image of each window whose pages were last mapped in (see PresentRect).
    std::unordered_map<SDL_Window*, void*> mapped_in_;
    std::unordered_map<Uint32, HWND> ids_;
    std::unordered_map<int, SDL_Cursor*> cursors_;
    std::unordered_map<HCURSOR, SDL_Cursor*> image_cursors_;
    std::vector<std::string> dropped_;
    Uint32 wake_event_ = 0;
    std::atomic<bool> wake_pending_{false};
    HWND from_desktop_ = nullptr;
    // SDL holds a change of the keyboard focus back for a while (200 ms) before it reports it.
    static constexpr Uint32 kFocusSettleMs = 250;
    Uint32 focus_settles_ = 0;  // when a focus change seen on the display will have been reported
    // Windows the desktop placed anew since the last pass over its events.
    std::vector<HWND> placed_;
    // Windows that were given their icon.
    std::unordered_set<HWND> iconed_;
};

// Moving by the caption and sizing by the edges are the desktop's own: SDL asks where a press falls and the
// window manager answers as it does for WM_NCHITTEST, from the deepest window under the pointer (a child
// such as a size grip may answer a sizing code for its frame).
SdlBackend* g_sdl = nullptr;

SDL_HitTestResult HitTest(SDL_Window*, const SDL_Point* area, void* data) {
    if (g_sdl != nullptr) g_sdl->CatchUp(static_cast<HWND>(data));
    return static_cast<SDL_HitTestResult>(DesktopHitTest(static_cast<HWND>(data), POINT{area->x, area->y}));
}

}  // namespace

int DesktopHitTest(HWND hwnd, POINT window_pt) {
    Window* w = W(hwnd);
    if (w == nullptr || w->IsChild() || !IsWindowEnabled(hwnd) || GetCapture() != nullptr || w->maximized)
        return SDL_HITTEST_NORMAL;
    // The SDL window starts within the desktop's frame.
    POINT screen{w->rect.left + window_pt.x, w->rect.top + window_pt.y};
    if (w->desktop_framed) {
        screen.x += w->desktop_frame.left;
        screen.y += w->desktop_frame.top;
    }
    LRESULT hit = HTNOWHERE;
    Window* under = HitWindow(screen, &hit);
    if (under == nullptr || TopLevel(under) != w) return SDL_HITTEST_NORMAL;
    bool sizable = (w->style & WS_THICKFRAME) != 0;
    switch (hit) {
        case HTCAPTION:
            return under == w ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
        case HTLEFT:
            return sizable ? SDL_HITTEST_RESIZE_LEFT : SDL_HITTEST_NORMAL;
        case HTRIGHT:
            return sizable ? SDL_HITTEST_RESIZE_RIGHT : SDL_HITTEST_NORMAL;
        case HTTOP:
            return sizable ? SDL_HITTEST_RESIZE_TOP : SDL_HITTEST_NORMAL;
        case HTBOTTOM:
            return sizable ? SDL_HITTEST_RESIZE_BOTTOM : SDL_HITTEST_NORMAL;
        case HTTOPLEFT:
            return sizable ? SDL_HITTEST_RESIZE_TOPLEFT : SDL_HITTEST_NORMAL;
        case HTTOPRIGHT:
            return sizable ? SDL_HITTEST_RESIZE_TOPRIGHT : SDL_HITTEST_NORMAL;
        case HTBOTTOMLEFT:
            return sizable ? SDL_HITTEST_RESIZE_BOTTOMLEFT : SDL_HITTEST_NORMAL;
        case HTBOTTOMRIGHT:
            return sizable ? SDL_HITTEST_RESIZE_BOTTOMRIGHT : SDL_HITTEST_NORMAL;
        default:
            return SDL_HITTEST_NORMAL;
    }
}

bool InstallSdlBackend() {
    if (g_sdl != nullptr) return true;
    auto* b = new SdlBackend();
    if (!b->Start()) {
        delete b;
        return false;
    }
    g_sdl = b;
    InstallBackend(b);
    return true;
}

bool InstallSdlBackendBeside(void (*no_display)()) {
    if (g_sdl != nullptr) return true;
    auto* b = new SdlBackend();
    if (!b->StartBeside(no_display)) {
        delete b;
        return false;
    }
    g_sdl = b;
    InstallBackend(b);
    return true;
}

void RemoveSdlBackend() {
    if (g_sdl == nullptr) return;
    InstallBackend(nullptr);
    g_sdl->Stop();
    delete g_sdl;
    g_sdl = nullptr;
}

bool SdlBackendActive() {
    return g_sdl != nullptr && !g_sdl->Failed();
}

}  // namespace qsm::wm
