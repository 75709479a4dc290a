// Input routing: activation, focus, capture, the pointer and the keyboard, double clicks, cursors, the
// caret, dropped files, and the input that a display (or a test) reports.
#include <algorithm>
#include <cstring>

#include "platform/wm/internal.h"

namespace qsm::wm {
void RaiseTopLevel(Window* w);

namespace {

ModalHook g_modal_hook;

struct Caret {
    HWND owner = nullptr;
    int width = 0;
    int height = 0;
    POINT pos{0, 0};
    int hide_count = 1;
    bool on = false;
} g_caret;

constexpr UINT_PTR kCaretTimer = 0xFFFF0001u;

WPARAM MouseKeyFlags() {
    const auto& k = S().keys;
    WPARAM f = 0;
    if (k[VK_LBUTTON] & 0x80) f |= MK_LBUTTON;
    if (k[VK_RBUTTON] & 0x80) f |= MK_RBUTTON;
    if (k[VK_MBUTTON] & 0x80) f |= MK_MBUTTON;
    if (k[VK_XBUTTON1] & 0x80) f |= MK_XBUTTON1;
    if (k[VK_XBUTTON2] & 0x80) f |= MK_XBUTTON2;
    if (k[VK_SHIFT] & 0x80) f |= MK_SHIFT;
    if (k[VK_CONTROL] & 0x80) f |= MK_CONTROL;
    return f;
}

LPARAM PackPoint(POINT p) {
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

bool InClient(const Window* w, POINT screen) {
    POINT o = ClientOrigin(w);
    return screen.x >= o.x && screen.y >= o.y && screen.x < o.x + (w->client.right - w->client.left) &&
           screen.y < o.y + (w->client.bottom - w->client.top);
}

void DrawCaretToggle() {
    Window* w = W(g_caret.owner);
    if (w == nullptr) return;
    Window* top = TopLevel(w);
    POINT o = ClientOrigin(w);
    POINT t = ScreenOrigin(top);
    RECT r{o.x - t.x + g_caret.pos.x, o.y - t.y + g_caret.pos.y, o.x - t.x + g_caret.pos.x + g_caret.width,
           o.y - t.y + g_caret.pos.y + g_caret.height};
    CurrentBackend().Present(top->handle, r);
}

void CaretBlink(HWND, UINT, UINT_PTR, DWORD) {
    if (g_caret.hide_count > 0) return;
    g_caret.on = !g_caret.on;
    DrawCaretToggle();
}

void StartBlink() {
    if (g_caret.owner == nullptr) return;
    g_caret.on = true;
    SetSystemTimer(g_caret.owner, kCaretTimer, GetCaretBlinkTime(), CaretBlink);
    DrawCaretToggle();
}

struct Drop {
    std::vector<std::string> files;
    POINT pt;
};

int DeriveChar(int vk) {
    const auto& k = S().keys;
    bool shift = (k[VK_SHIFT] & 0x80) != 0;
    bool ctrl = (k[VK_CONTROL] & 0x80) != 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return vk - 'A' + 1;
        return shift ? vk : vk - 'A' + 'a';
    }
    if (ctrl) return 0;
    if (vk >= '0' && vk <= '9') return shift ? ")!@#$%^&*("[vk - '0'] : vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
        case VK_SPACE:
            return ' ';
        case VK_RETURN:
            return '\r';
        case VK_BACK:
            return 8;
        case VK_TAB:
            return 9;
        case VK_ESCAPE:
            return 27;
        case VK_OEM_PLUS:
            return shift ? '+' : '=';
        case VK_OEM_MINUS:
            return shift ? '_' : '-';
        case VK_ADD:
            return '+';
        case VK_SUBTRACT:
            return '-';
        case VK_MULTIPLY:
            return '*';
        case VK_DIVIDE:
            return '/';
        case VK_DECIMAL:
            return '.';
        default:
            return 0;
    }
}

}  // namespace

namespace {

// The window under a point of w's rectangle: the topmost enabled visible child under it, searched in the
// same way, else w itself. A window that answers WM_NCHITTEST with HTTRANSPARENT (a group box, a plain
// static) lets the search go on to the siblings beneath it and then to its parent.
Window* HitIn(Window* w, POINT screen, LRESULT* hit) {
    if (InClient(w, screen)) {
        std::vector<Window*> children = w->children;
        for (Window* c : children) {
            if (W(c->handle) != c || !c->Visible() || (c->style & WS_DISABLED)) continue;
            RECT r = ScreenRect(c);
            if (screen.x < r.left || screen.y < r.top || screen.x >= r.right || screen.y >= r.bottom)
                continue;
            if (Window* found = HitIn(c, screen, hit)) return found;
        }
    }
    LRESULT h = Call(w, WM_NCHITTEST, 0, PackPoint(screen));
    if (h == HTTRANSPARENT) return nullptr;
    *hit = h;
    return w;
}

}  // namespace

Window* HitWindow(POINT screen, LRESULT* hit) {
    *hit = HTNOWHERE;
    std::vector<Window*> tops = S().toplevels;
    for (Window* t : tops) {
        if (!t->Visible() || t->minimized) continue;
        RECT r = ScreenRect(t);
        if (screen.x < r.left || screen.y < r.top || screen.x >= r.right || screen.y >= r.bottom) continue;
        if (Window* w = HitIn(t, screen, hit)) return w;
    }
    return nullptr;
}

void ActivateWindow(Window* w, int how) {
    State& s = S();
    if (w != nullptr) w = TopLevel(w);
    Window* old = W(s.active);
    if (old == w) {
        if (w != nullptr) RaiseTopLevel(w);
        return;
    }
    if (w != nullptr && ((w->style & WS_DISABLED) || !w->Visible())) return;
    HWND old_handle = old != nullptr ? old->handle : nullptr;
    HWND new_handle = w != nullptr ? w->handle : nullptr;
    s.active = new_handle;
    if (old != nullptr) {
        Call(old, WM_NCACTIVATE, FALSE, 0);
        Call(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, old->minimized ? 1 : 0),
             reinterpret_cast<LPARAM>(new_handle));
        if (w == nullptr) Call(old, WM_ACTIVATEAPP, FALSE, 0);
    }
    if (w == nullptr || W(new_handle) == nullptr) {
        if (s.focus != nullptr) SetFocus(nullptr);
        return;
    }
    if (old == nullptr) Call(w, WM_ACTIVATEAPP, TRUE, 0);
    RaiseTopLevel(w);
    Window* root = w;
    while (root->owner != nullptr)
        root = root->owner;
    root->last_active_popup = w;
    if (s.active != new_handle) return;
    Call(w, WM_NCACTIVATE, TRUE, 0);
    Call(w, WM_ACTIVATE, MAKEWPARAM(static_cast<WORD>(how), w->minimized ? 1 : 0),
         reinterpret_cast<LPARAM>(old_handle));
    // Keyboard focus never stays in a window that is no longer active.
    if (s.active == new_handle && s.focus != nullptr && s.focus != new_handle &&
        !IsChild(new_handle, s.focus))
        SetFocus(nullptr);
}

namespace {

// The window that asked for WM_MOUSELEAVE (TrackMouseEvent), if any.
HWND g_leave_track = nullptr;

// The window whose client area the pointer is over, or null.
HWND ClientUnderPointer() {
    LRESULT hit = HTNOWHERE;
    Window* w = HitWindow(S().cursor, &hit);
    return w != nullptr && hit == HTCLIENT ? w->handle : nullptr;
}

void CheckMouseLeave() {
    if (g_leave_track == nullptr || ClientUnderPointer() == g_leave_track) return;
    HWND h = g_leave_track;
    g_leave_track = nullptr;
    PostMessageA(h, WM_MOUSELEAVE, 0, 0);
}

}  // namespace

void ForgetWindow(Window* w) {
    State& s = S();
    HWND h = w->handle;
    if (g_leave_track == h) g_leave_track = nullptr;
    if (s.capture == h) ReleaseCapture();
    if (s.focus == h) s.focus = nullptr;
    if (s.active == h) s.active = nullptr;
    if (s.last_click_hwnd == h) s.last_click_hwnd = nullptr;
    if (g_caret.owner == h) {
        g_caret.owner = nullptr;
        g_caret.hide_count = 1;
    }
}

void SetModalHook(ModalHook hook) {
    g_modal_hook = std::move(hook);
}
void CallModalHook(HWND hwnd) {
    if (g_modal_hook) {
        ModalHook copy = g_modal_hook;
        copy(hwnd);
    }
}

void InputMouseMove(int x, int y) {
    State& s = S();
    s.cursor = POINT{x, y};
    CheckMouseLeave();
    LRESULT hit = HTCLIENT;
    Window* w = W(s.capture);
    if (w == nullptr) w = HitWindow(s.cursor, &hit);
    if (w == nullptr) return;
    if (s.capture == nullptr) {
        Window* top = TopLevel(w);
        if (top->style & WS_DISABLED) hit = HTERROR;
        Call(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w->handle),
             MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
        if (hit == HTERROR || W(w->handle) == nullptr) return;
    }
    if (hit == HTCLIENT) {
        POINT p = s.cursor;
        ScreenToClient(w->handle, &p);
        PostInput(w, WM_MOUSEMOVE, MouseKeyFlags(), PackPoint(p));
    } else {
        PostInput(w, WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), PackPoint(s.cursor));
    }
}

}  // namespace qsm::wm

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    using namespace qsm::wm;
    if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
    if (!(track->dwFlags & TME_LEAVE)) return TRUE;
    if (track->dwFlags & TME_CANCEL) {
        if (g_leave_track == track->hwndTrack) g_leave_track = nullptr;
        return TRUE;
    }
    if (W(track->hwndTrack) == nullptr) return FALSE;
    g_leave_track = track->hwndTrack;
    CheckMouseLeave();
    return TRUE;
}

namespace qsm::wm {

void InputMouseButton(int button, bool down) {
    State& s = S();
    static const int kVk[5] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
    static const UINT kDown[5] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_XBUTTONDOWN,
                                  WM_XBUTTONDOWN};
    button = std::clamp(button, 0, 4);
    if (down)
        s.keys[kVk[button]] |= 0x80;
    else
        s.keys[kVk[button]] &= static_cast<BYTE>(~0x80);
    UINT msg = kDown[button] + (down ? 0 : 1);
    LRESULT hit = HTCLIENT;
    Window* w = W(s.capture);
    if (w == nullptr) w = HitWindow(s.cursor, &hit);
    if (w == nullptr) return;
    HWND h = w->handle;
    if (down && s.capture == nullptr) {
        Window* top = TopLevel(w);
        if (top->style & WS_DISABLED) {
            // A window under a modal one: the modal window comes forward instead.
            MessageBeep(0);
            Window* root = top;
            while (root->owner != nullptr)
                root = root->owner;
            HWND popup = GetLastActivePopup(root->handle);
            if (popup != nullptr && popup != top->handle) SetActiveWindow(popup);
            return;
        }
        if (s.active != top->handle && !(top->ex_style & WS_EX_NOACTIVATE)) {
            LRESULT r = SendMessageA(h, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top->handle),
                                     MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
            if (W(h) == nullptr) return;
            if (r == MA_ACTIVATE || r == MA_ACTIVATEANDEAT || r == 0) ActivateWindow(top, WA_CLICKACTIVE);
            if (r == MA_ACTIVATEANDEAT || r == MA_NOACTIVATEANDEAT) return;
            if (W(h) == nullptr) return;
        }
        Call(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(h),
             MAKELPARAM(static_cast<WORD>(hit), static_cast<WORD>(msg)));
        if (W(h) == nullptr) return;
    }
    if (down) {
        DWORD now = Now();
        bool dbl = s.last_click_hwnd == h && s.last_click_msg == msg &&
                   now - s.last_click_time <= GetDoubleClickTime() &&
                   std::abs(s.cursor.x - s.last_click_pt.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                   std::abs(s.cursor.y - s.last_click_pt.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        bool allow = hit != HTCLIENT || (w->cls->style & CS_DBLCLKS);
        if (dbl && allow) {
            msg += 2;  // the double-click message of the same button
            s.last_click_hwnd = nullptr;
        } else {
            s.last_click_hwnd = h;
            s.last_click_msg = msg;
            s.last_click_time = now;
            s.last_click_pt = s.cursor;
        }
    }
    if (hit == HTCLIENT) {
        POINT p = s.cursor;
        ScreenToClient(h, &p);
        WPARAM wp = MouseKeyFlags();
        if (button >= 3) wp |= static_cast<WPARAM>(button == 3 ? XBUTTON1 : XBUTTON2) << 16;
        PostInput(w, msg, wp, PackPoint(p));
    } else if (button < 3) {
        PostInput(w, msg - WM_MOUSEMOVE + WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), PackPoint(s.cursor));
    }
}

void InputMouseWheel(int delta) {
    State& s = S();
    Window* w = W(s.focus);
    if (w == nullptr) w = W(s.active);
    if (w == nullptr) return;
    PostInput(w, WM_MOUSEWHEEL, MAKEWPARAM(static_cast<WORD>(MouseKeyFlags()), static_cast<WORD>(delta)),
              PackPoint(s.cursor));
}

void InputKey(int vk, bool down, int ch) {
    State& s = S();
    vk &= 0xFF;
    bool was_down = (s.keys[vk] & 0x80) != 0;
    auto set = [&](int k, bool d) {
        if (d) {
            if (!(s.keys[k] & 0x80)) s.keys[k] ^= 0x01;
            s.keys[k] |= 0x80;
        } else {
            s.keys[k] &= static_cast<BYTE>(~0x80);
        }
    };
    set(vk, down);
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) set(VK_SHIFT, down);
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) set(VK_CONTROL, down);
    Window* w = W(s.focus);
    bool alt = (s.keys[VK_MENU] & 0x80) != 0;
    bool sys = alt || vk == VK_F10 || vk == VK_MENU;
    if (w == nullptr) {
        w = W(s.active);
        sys = true;  // keys with no focus window go to the active window as system keys
    }
    if (w == nullptr) return;
    if (ch < 0) ch = down ? DeriveChar(vk) : 0;
    LPARAM lp = 1 | (static_cast<LPARAM>(vk & 0xFF) << 16);
    if (alt) lp |= 1 << 29;
    if (was_down) lp |= 1 << 30;
    if (!down) lp |= static_cast<LPARAM>(1u << 31);
    UINT msg = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
    PostInput(w, msg, static_cast<WPARAM>(vk), static_cast<LPARAM>(static_cast<DWORD>(lp)),
              down ? static_cast<DWORD>(ch & 0xFF) : 0);
}

void InputText(const char* text) {
    State& s = S();
    Window* w = W(s.focus);
    if (w == nullptr || text == nullptr) return;
    for (const char* p = text; *p; ++p)
        PostInput(w, WM_CHAR, static_cast<BYTE>(*p), 1);
}

void InputDropFiles(HWND hwnd, POINT client_pt, const std::vector<std::string>& paths) {
    Window* w = W(hwnd);
    while (w != nullptr && !(w->ex_style & WS_EX_ACCEPTFILES))
        w = w->IsChild() ? w->parent : nullptr;
    if (w == nullptr || paths.empty()) return;
    POINT p = client_pt;
    MapWindowPoints(hwnd, w->handle, &p, 1);
    auto* drop = new Drop{paths, p};
    if (!PostMessageA(w->handle, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0)) delete drop;
}

void InputClose(HWND hwnd) {
    PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void Click(int x, int y, int button) {
    InputMouseMove(x, y);
    InputMouseButton(button, true);
    InputMouseButton(button, false);
}

void PressKey(int vk, int ch) {
    InputKey(vk, true, ch);
    InputKey(vk, false, 0);
}

bool GetCaretState(HWND* owner, RECT* client_rect, bool* on) {
    if (g_caret.owner == nullptr) return false;
    if (owner != nullptr) *owner = g_caret.owner;
    if (client_rect != nullptr)
        *client_rect =
            RECT{g_caret.pos.x, g_caret.pos.y, g_caret.pos.x + g_caret.width, g_caret.pos.y + g_caret.height};
    if (on != nullptr) *on = g_caret.hide_count <= 0 && g_caret.on;
    return true;
}

void TrackKeyState(const MSG& m) {
    auto& keys = S().msg_keys;
    auto set = [&](size_t k, bool down) {
        if (down) {
            if (!(keys[k] & 0x80)) keys[k] ^= 0x01;
            keys[k] |= 0x80;
        } else {
            keys[k] &= static_cast<BYTE>(~0x80);
        }
    };
    switch (m.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP: {
            bool down = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
            size_t vk = m.wParam & 0xFF;
            set(vk, down);
            if (vk == VK_LSHIFT || vk == VK_RSHIFT) set(VK_SHIFT, down);
            if (vk == VK_LCONTROL || vk == VK_RCONTROL) set(VK_CONTROL, down);
            break;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK:
            set(VK_LBUTTON, true);
            break;
        case WM_LBUTTONUP:
        case WM_NCLBUTTONUP:
            set(VK_LBUTTON, false);
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_NCRBUTTONDOWN:
            set(VK_RBUTTON, true);
            break;
        case WM_RBUTTONUP:
        case WM_NCRBUTTONUP:
            set(VK_RBUTTON, false);
            break;
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
            set(VK_MBUTTON, true);
            break;
        case WM_MBUTTONUP:
            set(VK_MBUTTON, false);
            break;
        default:
            break;
    }
}

void ResetInputState() {
    g_caret = Caret{};
    g_modal_hook = nullptr;
}

}  // namespace qsm::wm

using namespace qsm::wm;

HWND SetFocus(HWND hwnd) {
    State& s = S();
    HWND old = s.focus;
    if (hwnd == nullptr) {
        s.focus = nullptr;
        if (Window* o = W(old)) Call(o, WM_KILLFOCUS, 0, 0);
        return old;
    }
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    Window* top = TopLevel(w);
    if (s.active != top->handle) {
        ActivateWindow(top, WA_ACTIVE);
        if (s.active != top->handle || W(hwnd) == nullptr) return nullptr;
        old = s.focus;
    }
    if (old == hwnd) return old;
    s.focus = hwnd;
    if (Window* o = W(old)) Call(o, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (s.focus == hwnd && W(hwnd) != nullptr) Call(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    return W(S().focus) != nullptr ? S().focus : nullptr;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = S().active;
    Window* w = W(hwnd);
    if (hwnd != nullptr && w == nullptr) return nullptr;
    ActivateWindow(w, WA_ACTIVE);
    return old;
}

HWND GetActiveWindow() {
    return W(S().active) != nullptr ? S().active : nullptr;
}
BOOL SetForegroundWindow(HWND hwnd) {
    if (IsRemoteWindow(hwnd)) return RemoteSetForeground(hwnd);
    return SetActiveWindow(hwnd) != nullptr || GetActiveWindow() == hwnd;
}
HWND GetForegroundWindow() {
    return GetActiveWindow();
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    BOOL was_disabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (enable && was_disabled) {
        w->style &= ~WS_DISABLED;
        Call(w, WM_ENABLE, TRUE, 0);
    } else if (!enable && !was_disabled) {
        Call(w, WM_CANCELMODE, 0, 0);
        w->style |= WS_DISABLED;
        HWND f = GetFocus();
        if (f == hwnd || IsChild(hwnd, f)) SetFocus(nullptr);
        if (S().capture == hwnd || IsChild(hwnd, S().capture)) ReleaseCapture();
        Call(w, WM_ENABLE, FALSE, 0);
    }
    return was_disabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetCapture(HWND hwnd) {
    State& s = S();
    HWND old = s.capture;
    Window* w = W(hwnd);
    if (w == nullptr) return old;
    s.capture = hwnd;
    if (old != hwnd) {
        if (Window* o = W(old)) Call(o, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
        CurrentBackend().CaptureChanged(true);
    }
    return old;
}

BOOL ReleaseCapture() {
    State& s = S();
    HWND old = s.capture;
    s.capture = nullptr;
    if (old != nullptr) {
        CurrentBackend().CaptureChanged(false);
        if (Window* o = W(old)) Call(o, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND GetCapture() {
    return W(S().capture) != nullptr ? S().capture : nullptr;
}

BOOL GetCursorPos(LPPOINT pt) {
    if (pt == nullptr) return FALSE;
    *pt = S().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    S().cursor = POINT{x, y};
    return TRUE;
}

SHORT GetKeyState(int vk) {
    BYTE k = S().msg_keys[static_cast<size_t>(vk & 0xFF)];
    return static_cast<SHORT>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
    return static_cast<SHORT>((S().keys[static_cast<size_t>(vk & 0xFF)] & 0x80) ? 0x8000 : 0);
}

BOOL MessageBeep(UINT) {
    CurrentBackend().Beep();
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (name == nullptr) return nullptr;
    if (instance == nullptr && !IS_INTRESOURCE(name)) return nullptr;
    // System cursors are fixed handles made from their ids; a module's cursors get handles from their names.
    if (IS_INTRESOURCE(name)) {
        auto h =
            reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x20000u | reinterpret_cast<uintptr_t>(name)) |
                                      (instance != nullptr ? 0x40000u : 0u));
        if (instance != nullptr) RememberCursorImage(h, instance, name);
        return h;
    }
    static std::map<std::string, HCURSOR>* named = new std::map<std::string, HCURSOR>();
    auto it = named->find(name);
    if (it != named->end()) return it->second;
    HCURSOR h = reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x80000u + named->size()));
    (*named)[name] = h;
    RememberCursorImage(h, instance, name);
    return h;
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
    auto icon = reinterpret_cast<HICON>(LoadCursorA(instance == nullptr ? nullptr : instance, name));
    if (icon != nullptr && instance != nullptr) RememberIconImage(icon, instance, name);
    return icon;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = S().current_cursor;
    S().current_cursor = cursor;
    if (old != cursor) CurrentBackend().CursorChanged(cursor);
    return old;
}

HCURSOR GetCursor() {
    return S().current_cursor;
}

int ShowCursor(BOOL show) {
    S().cursor_shown += show ? 1 : -1;
    return S().cursor_shown;
}

BOOL DestroyCursor(HCURSOR) {
    return TRUE;
}
BOOL DestroyIcon(HICON) {
    return TRUE;
}

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    if (W(hwnd) == nullptr) return FALSE;
    DestroyCaret();
    g_caret.owner = hwnd;
    g_caret.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
    g_caret.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
    g_caret.hide_count = 1;
    g_caret.pos = POINT{0, 0};
    return TRUE;
}

BOOL DestroyCaret() {
    if (g_caret.owner == nullptr) return FALSE;
    HWND owner = g_caret.owner;
    bool was_on = g_caret.hide_count <= 0 && g_caret.on;
    KillSystemTimer(owner, kCaretTimer);
    g_caret.hide_count = 1;
    if (was_on) DrawCaretToggle();
    g_caret.owner = nullptr;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    if (g_caret.owner == nullptr || (hwnd != nullptr && hwnd != g_caret.owner)) return FALSE;
    if (g_caret.hide_count > 0 && --g_caret.hide_count == 0) StartBlink();
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    if (g_caret.owner == nullptr || (hwnd != nullptr && hwnd != g_caret.owner)) return FALSE;
    if (g_caret.hide_count++ == 0) {
        KillSystemTimer(g_caret.owner, kCaretTimer);
        if (g_caret.on) DrawCaretToggle();
        g_caret.on = false;
    }
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    if (g_caret.owner == nullptr) return FALSE;
    if (g_caret.on) DrawCaretToggle();
    g_caret.pos = POINT{x, y};
    if (g_caret.hide_count <= 0) StartBlink();
    return TRUE;
}

BOOL GetCaretPos(LPPOINT pt) {
    if (pt == nullptr || g_caret.owner == nullptr) return FALSE;
    *pt = g_caret.pos;
    return TRUE;
}

UINT GetCaretBlinkTime() {
    return 530;
}

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    Window* w = W(hwnd);
    if (w == nullptr) return;
    if (accept)
        w->ex_style |= WS_EX_ACCEPTFILES;
    else
        w->ex_style &= ~WS_EX_ACCEPTFILES;
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR buf, UINT size) {
    auto* d = reinterpret_cast<Drop*>(drop);
    if (d == nullptr) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(d->files.size());
    if (index >= d->files.size()) return 0;
    const std::string& f = d->files[index];
    if (buf == nullptr) return static_cast<UINT>(f.size());
    if (size == 0) return 0;
    size_t n = std::min<size_t>(f.size(), size - 1);
    memcpy(buf, f.data(), n);
    buf[n] = 0;
    return static_cast<UINT>(n);
}

BOOL DragQueryPoint(HDROP drop, LPPOINT pt) {
    auto* d = reinterpret_cast<Drop*>(drop);
    if (d == nullptr || pt == nullptr) return FALSE;
    *pt = d->pt;
    return TRUE;
}

void DragFinish(HDROP drop) {
    delete reinterpret_cast<Drop*>(drop);
}
