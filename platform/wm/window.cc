// Window classes, the window tree, styles, geometry, window text, window longs and properties.
#include <strings.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>

#include "platform/base/compiler.h"
#include "platform/wm/internal.h"

namespace qsm::wm {

State& S() {
    // Never destroyed: other threads may still post while the process exits.
    static State* state = [] {
        auto* st = new State();
        FillDefaultColors(st->sys_colors);
        return st;
    }();
    return *state;
}

Window* W(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == s.windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Window> Hold(HWND hwnd) {
    if (hwnd == nullptr) return nullptr;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == s.windows.end() ? nullptr : it->second;
}

int ClampInt(LONG_PTR v) {
    if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (v < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
    return static_cast<int>(v);
}

POINT ScreenOrigin(const Window* w) {
    POINT p{w->rect.left, w->rect.top};
    if (w->IsChild()) {
        POINT o = ClientOrigin(w->parent);
        p.x += o.x;
        p.y += o.y;
    }
    return p;
}

POINT ClientOrigin(const Window* w) {
    POINT p = ScreenOrigin(w);
    p.x += w->client.left;
    p.y += w->client.top;
    return p;
}

RECT ScreenRect(const Window* w) {
    POINT o = ScreenOrigin(w);
    return RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
}

Window* TopLevel(Window* w) {
    while (w != nullptr && w->IsChild())
        w = w->parent;
    return w;
}

bool ReallyVisible(const Window* w) {
    for (; w != nullptr; w = w->IsChild() ? w->parent : nullptr) {
        if (!w->Visible()) return false;
    }
    return true;
}

LRESULT Call(Window* w, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (w == nullptr) return 0;
    std::shared_ptr<Window> keep = Hold(w->handle);
    if (!keep || keep->proc == nullptr) return 0;
    return keep->proc(keep->handle, msg, wparam, lparam);
}

namespace {

bool SameName(const std::string& a, LPCSTR b) {
    return strcasecmp(a.c_str(), b) == 0;
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto& c : s.classes) {
        if (IS_INTRESOURCE(name) ? c->atom == reinterpret_cast<uintptr_t>(name) : SameName(c->name, name))
            return c;
    }
    return nullptr;
}

void EnsureBuiltins() {
    static std::once_flag once;
    std::call_once(once, [] { RegisterBuiltinClasses(); });
}

// Removes `w` from whichever Z-order list holds it.
void Unlink(Window* w) {
    std::vector<Window*>& list = w->IsChild() ? w->parent->children : S().toplevels;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
}

void InsertTopLevel(Window* w, bool at_top) {
    std::vector<Window*>& list = S().toplevels;
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    bool topmost = (w->ex_style & WS_EX_TOPMOST) != 0;
    if (at_top) {
        // Above every window of its band (topmost windows form the upper band).
        auto it = list.begin();
        if (!topmost) {
            while (it != list.end() && ((*it)->ex_style & WS_EX_TOPMOST))
                ++it;
        }
        list.insert(it, w);
    } else {
        auto it = list.end();
        if (topmost) {
            it = list.begin();
            while (it != list.end() && ((*it)->ex_style & WS_EX_TOPMOST))
                ++it;
        }
        list.insert(it, w);
    }
}

}  // namespace

// Raises a top-level window and then its owned windows above it, so that owned popups stay above owners.
void RaiseTopLevel(Window* w) {
    InsertTopLevel(w, true);
    std::vector<Window*> owned;
    for (Window* o : S().toplevels)
        if (o->owner == w) owned.push_back(o);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it)
        RaiseTopLevel(*it);
    CurrentBackend().TopLevelRaised(w->handle);
}

void RecalcClient(Window* w, bool send_calc) {
    RECT r = w->rect;
    if (send_calc) {
        NCCALCSIZE_PARAMS params{};
        params.rgrc[0] = r;
        params.rgrc[1] = r;
        params.rgrc[2] = r;
        Call(w, WM_NCCALCSIZE, w->created ? TRUE : FALSE, reinterpret_cast<LPARAM>(&params));
        r = params.rgrc[0];
    } else {
        r = DefaultNcCalc(w, r);
    }
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    w->client =
        RECT{r.left - w->rect.left, r.top - w->rect.top, r.right - w->rect.left, r.bottom - w->rect.top};
}

}  // namespace qsm::wm

using namespace qsm::wm;

// ---- classes ----

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr || wc->lpszClassName == nullptr || wc->lpfnWndProc == nullptr) return 0;
    if (IS_INTRESOURCE(wc->lpszClassName)) return 0;
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->wnd_extra = std::max(0, wc->cbWndExtra);
    c->cls_extra.assign(static_cast<size_t>(std::max(0, wc->cbClsExtra)), 0);
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->icon_small = wc->hIconSm;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    if (wc->lpszMenuName != nullptr && !IS_INTRESOURCE(wc->lpszMenuName)) {
        c->menu_name_text = wc->lpszMenuName;
        c->menu_name = c->menu_name_text.c_str();
    } else {
        c->menu_name = wc->lpszMenuName;
    }
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto& have : s.classes) {
        // A program's class of the same name replaces a built-in one only if it was never registered by
        // the program; a second registration of a program class fails.
        if (SameName(have->name, c->name.c_str())) {
            if (!have->system) return 0;
            have = c;
            c->atom = s.next_atom++;
            return c->atom;
        }
    }
    c->atom = s.next_atom++;
    s.classes.push_back(c);
    return c->atom;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr) return 0;
    WNDCLASSEXA ex{sizeof(WNDCLASSEXA), wc->style,        wc->lpfnWndProc,   wc->cbClsExtra,
                   wc->cbWndExtra,      wc->hInstance,    wc->hIcon,         wc->hCursor,
                   wc->hbrBackground,   wc->lpszMenuName, wc->lpszClassName, nullptr};
    return RegisterClassExA(&ex);
}

BOOL UnregisterClassA(LPCSTR name, HINSTANCE) {
    if (name == nullptr) return FALSE;
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        bool match = IS_INTRESOURCE(name) ? (*it)->atom == reinterpret_cast<uintptr_t>(name)
                                          : SameName((*it)->name, name);
        if (!match || (*it)->system) continue;
        for (auto& [h, w] : s.windows)
            if (w->cls == *it) return FALSE;  // still in use
        s.classes.erase(it);
        return TRUE;
    }
    return FALSE;
}

BOOL GetClassInfoA(HINSTANCE, LPCSTR name, WNDCLASSA* out) {
    EnsureBuiltins();
    auto c = FindClass(name);
    if (!c || out == nullptr) return FALSE;
    *out = WNDCLASSA{c->style,       c->proc,       static_cast<int>(c->cls_extra.size()),
                     c->wnd_extra,   c->instance,   c->icon,
                     c->cursor,      c->background, c->menu_name,
                     c->name.c_str()};
    return TRUE;
}

int GetClassNameA(HWND hwnd, LPSTR buf, int size) {
    Window* w = W(hwnd);
    if (w == nullptr || buf == nullptr || size <= 0) return 0;
    size_t n = std::min(w->cls->name.size(), static_cast<size_t>(size - 1));
    memcpy(buf, w->cls->name.data(), n);
    buf[n] = 0;
    return static_cast<int>(n);
}

LONG_PTR GetClassLongPtrA(HWND hwnd, int index) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    WindowClass& c = *w->cls;
    switch (index) {
        case GCLP_HBRBACKGROUND:
            return reinterpret_cast<LONG_PTR>(c.background);
        case GCLP_HCURSOR:
            return reinterpret_cast<LONG_PTR>(c.cursor);
        case GCLP_HICON:
            return reinterpret_cast<LONG_PTR>(c.icon);
        case GCLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(c.proc);
        case GCL_STYLE:
            return c.style;
        default:
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= c.cls_extra.size()) {
                LONG_PTR v;
                memcpy(&v, c.cls_extra.data() + index, sizeof v);
                return v;
            }
            return 0;
    }
}

LONG_PTR SetClassLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    WindowClass& c = *w->cls;
    LONG_PTR old = GetClassLongPtrA(hwnd, index);
    switch (index) {
        case GCLP_HBRBACKGROUND:
            c.background = reinterpret_cast<HBRUSH>(value);
            break;
        case GCLP_HCURSOR:
            c.cursor = reinterpret_cast<HCURSOR>(value);
            break;
        case GCLP_HICON:
            c.icon = reinterpret_cast<HICON>(value);
            break;
        case GCLP_WNDPROC:
            c.proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GCL_STYLE:
            c.style = static_cast<UINT>(value);
            break;
        default:
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= c.cls_extra.size())
                memcpy(c.cls_extra.data() + index, &value, sizeof value);
            break;
    }
    return old;
}

DWORD GetClassLongA(HWND hwnd, int index) {
    return static_cast<DWORD>(GetClassLongPtrA(hwnd, index));
}
DWORD SetClassLongA(HWND hwnd, int index, LONG value) {
    return static_cast<DWORD>(SetClassLongPtrA(hwnd, index, value));
}

// ---- creation and destruction ----

HWND CreateWindowExA(DWORD ex_style, LPCSTR class_name, LPCSTR title, DWORD style, int x, int y, int w, int h,
                     HWND parent_handle, HMENU menu, HINSTANCE instance, LPVOID param) {
    EnsureBuiltins();
    if (class_name == nullptr) return nullptr;
    auto cls = FindClass(class_name);
    if (!cls) return nullptr;
    Window* parent = W(parent_handle);
    if ((style & WS_CHILD) && parent == nullptr) return nullptr;
    if (parent_handle != nullptr && parent == nullptr && parent_handle != HWND_MESSAGE) return nullptr;

    State& s = S();
    auto win = std::make_shared<Window>();
    Window* wp = win.get();
    {
        std::lock_guard<std::mutex> lock(s.m);
        win->handle = reinterpret_cast<HWND>(s.next_handle);
        s.next_handle += 4;
        s.windows[reinterpret_cast<uintptr_t>(win->handle)] = win;
    }
    win->cls = cls;
    win->proc = cls->proc;
    win->queue = CurrentQueueShared();
    win->text = title != nullptr ? title : "";
    win->style = style & ~WS_VISIBLE;
    win->ex_style = ex_style;
    win->instance = instance;
    win->extra.assign(static_cast<size_t>(cls->wnd_extra), 0);
    if (style & WS_CHILD) {
        win->parent = parent;
        win->id = reinterpret_cast<UINT_PTR>(menu);
    } else {
        // Owner: the top-level window of the given parent.
        win->owner = parent != nullptr ? TopLevel(parent) : nullptr;
        win->menu = menu;
        if ((style & WS_POPUP) == 0) win->style |= WS_CLIPSIBLINGS;
        if ((style & (WS_POPUP | WS_CHILD)) == 0) win->style |= WS_CAPTION;
    }

    SIZE screen = CurrentBackend().ScreenSize();
    if (!(style & WS_CHILD) || true) {
        if (x == CW_USEDEFAULT) {
            x = 40;
            y = 40;
        }
        if (w == CW_USEDEFAULT) {
            w = screen.cx * 3 / 4;
            h = screen.cy * 3 / 4;
        }
    }
    CREATESTRUCTA cs{param, instance,   menu,    parent_handle, h, w, y, x, static_cast<LONG>(style),
                     title, class_name, ex_style};

    // Top-level windows with a frame ask for their size limits first.
    if (!(style & WS_CHILD) && (style & (WS_THICKFRAME | WS_CAPTION))) {
        MINMAXINFO mmi{};
        mmi.ptMaxSize = POINT{screen.cx, screen.cy};
        mmi.ptMaxTrackSize = mmi.ptMaxSize;
        mmi.ptMinTrackSize = POINT{GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
        Call(wp, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
        if (style & WS_THICKFRAME) {
            w = std::clamp<int>(w, mmi.ptMinTrackSize.x,
                                std::max(mmi.ptMinTrackSize.x, mmi.ptMaxTrackSize.x));
            h = std::clamp<int>(h, mmi.ptMinTrackSize.y,
                                std::max(mmi.ptMinTrackSize.y, mmi.ptMaxTrackSize.y));
        }
        cs.cx = w;
        cs.cy = h;
    }
    win->rect = RECT{x, y, x + std::max(0, w), y + std::max(0, h)};
    win->normal_rect = win->rect;
    if (win->parent == nullptr) DecideDesktopFrame(wp);

    // Into the tree before WM_NCCREATE so that the window can find its parent and siblings.
    if (win->parent != nullptr) {
        win->parent->children.push_back(wp);  // children stack in creation order below earlier ones
    } else {
        InsertTopLevel(wp, true);
    }
    if (win->parent == nullptr) CurrentBackend().TopLevelCreated(win->handle);

    auto fail = [&]() -> HWND {
        if (IsWindow(win->handle)) DestroyWindow(win->handle);
        return nullptr;
    };
    if (!Call(wp, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs))) return fail();
    if (!IsWindow(win->handle)) return nullptr;
    RecalcClient(wp, true);
    wp->created = true;
    if (Call(wp, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) return fail();
    if (!IsWindow(win->handle)) return nullptr;

    // The creation sizes are reported as if the window had been moved there.
    Call(wp, WM_SIZE, SIZE_RESTORED,
         MAKELPARAM(static_cast<WORD>(wp->client.right - wp->client.left),
                    static_cast<WORD>(wp->client.bottom - wp->client.top)));
    POINT co{wp->rect.left + wp->client.left, wp->rect.top + wp->client.top};
    Call(wp, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(co.x), static_cast<WORD>(co.y)));
    if (!IsWindow(win->handle)) return nullptr;

    if (wp->IsChild() && !(ex_style & WS_EX_NOPARENTNOTIFY)) {
        Call(wp->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, static_cast<WORD>(wp->id)),
             reinterpret_cast<LPARAM>(wp->handle));
        if (!IsWindow(win->handle)) return nullptr;
    }
    if (win->parent == nullptr && parent_handle != HWND_MESSAGE) IpcTopLevelCreated(wp);
    if (style & WS_MAXIMIZE) {
        ShowWindow(win->handle, SW_SHOWMAXIMIZED);
    } else if (style & WS_VISIBLE) {
        ShowWindow(win->handle, SW_SHOW);
    }
    return IsWindow(win->handle) ? win->handle : nullptr;
}

namespace qsm::wm {
namespace {

void SendDestroy(Window* w) {
    Call(w, WM_DESTROY, 0, 0);
    std::vector<Window*> kids = w->children;
    for (Window* c : kids) {
        if (W(c->handle) == c) {
            c->destroying = true;
            SendDestroy(c);
        }
    }
}

void Release(Window* w) {
    std::vector<Window*> kids = w->children;
    for (Window* c : kids)
        if (W(c->handle) == c) Release(c);
    Call(w, WM_NCDESTROY, 0, 0);
    KillWindowTimers(w->handle);
    DropPaintState(w);
    ForgetWindow(w);
    if (w->control_free != nullptr && w->control != nullptr) {
        w->control_free(w->control);
        w->control = nullptr;
    }
    Unlink(w);
    for (Window* o : S().toplevels) {
        if (o->owner == w) o->owner = nullptr;
        if (o->last_active_popup == w) o->last_active_popup = nullptr;
    }
    if (w->parent == nullptr) {
        IpcTopLevelDestroyed(w);
        CurrentBackend().TopLevelDestroyed(w->handle);
        ForgetSurface(w->handle);
    }
    std::shared_ptr<Window> keep;
    {
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        auto it = s.windows.find(reinterpret_cast<uintptr_t>(w->handle));
        if (it != s.windows.end()) {
            keep = it->second;  // freed after the lock is dropped, or later by a caller still holding it
            s.windows.erase(it);
        }
    }
}

}  // namespace

void DestroyAllWindows() {
    while (!S().toplevels.empty()) {
        Window* w = S().toplevels.back();
        HWND h = w->handle;
        DestroyWindow(h);
        if (IsWindow(h)) {
            // A window that refuses to go (its procedure recreated something odd): drop it by force.
            w->destroying = true;
            Release(w);
        }
    }
}

}  // namespace qsm::wm

BOOL DestroyWindow(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    if (w->destroying) return TRUE;
    w->destroying = true;
    std::shared_ptr<Window> keep = Hold(hwnd);
    // Owned windows go first.
    if (!w->IsChild()) {
        std::vector<HWND> owned;
        for (Window* o : S().toplevels)
            if (o->owner == w) owned.push_back(o->handle);
        for (HWND o : owned)
            DestroyWindow(o);
    }
    if (w->IsChild() && !(w->ex_style & WS_EX_NOPARENTNOTIFY)) {
        Call(w->parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, static_cast<WORD>(w->id)),
             reinterpret_cast<LPARAM>(hwnd));
    }
    if (w->Visible()) {
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER |
                         (GetActiveWindow() == hwnd ? 0 : SWP_NOACTIVATE));
    }
    if (!IsWindow(hwnd)) return TRUE;
    SendDestroy(w);
    Release(w);
    return TRUE;
}

BOOL IsWindow(HWND hwnd) {
    if (W(hwnd) != nullptr) return TRUE;
    return IsRemoteWindow(hwnd) ? RemoteIsWindow(hwnd) : FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Window* p = W(parent);
    Window* w = W(hwnd);
    if (p == nullptr || w == nullptr) return FALSE;
    for (w = w->IsChild() ? w->parent : nullptr; w != nullptr; w = w->IsChild() ? w->parent : nullptr)
        if (w == p) return TRUE;
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    if (w->IsChild()) return w->parent->handle;
    if ((w->style & WS_POPUP) && w->owner != nullptr) return w->owner->handle;
    return nullptr;
}

HWND GetAncestor(HWND hwnd, UINT flags) {
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    switch (flags) {
        case GA_PARENT:
            return w->IsChild() ? w->parent->handle : GetDesktopWindow();
        case GA_ROOT:
            return TopLevel(w)->handle;
        case GA_ROOTOWNER: {
            Window* t = TopLevel(w);
            while (t->owner != nullptr)
                t = t->owner;
            return t->handle;
        }
        default:
            return nullptr;
    }
}

HWND GetDesktopWindow() {
    // The desktop is not a window of ours; a fixed handle stands for it.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10));
}

HWND SetParent(HWND child, HWND new_parent) {
    Window* w = W(child);
    Window* p = W(new_parent);
    if (w == nullptr || (new_parent != nullptr && p == nullptr)) return nullptr;
    for (Window* a = p; a != nullptr; a = a->IsChild() ? a->parent : nullptr)
        if (a == w) return nullptr;  // would make a loop
    HWND old = w->IsChild() ? w->parent->handle : GetDesktopWindow();
    bool visible = w->Visible();
    if (visible) ShowWindow(child, SW_HIDE);
    Unlink(w);
    if (p != nullptr) {
        if (w->parent == nullptr) CurrentBackend().TopLevelDestroyed(child);
        w->parent = p;
        w->owner = nullptr;
        p->children.insert(p->children.begin(), w);
    } else {
        w->parent = nullptr;
        w->style &= ~WS_CHILD;
        InsertTopLevel(w, true);
        CurrentBackend().TopLevelCreated(child);
    }
    if (visible) ShowWindow(child, SW_SHOWNA);
    return old;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    Window* w = W(hwnd);
    if (w == nullptr) return nullptr;
    if (cmd == GW_OWNER) return w->owner != nullptr ? w->owner->handle : nullptr;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front()->handle;
    const std::vector<Window*>& list = w->IsChild() ? w->parent->children : S().toplevels;
    auto it = std::find(list.begin(), list.end(), w);
    if (it == list.end() || list.empty()) return nullptr;
    switch (cmd) {
        case GW_HWNDFIRST:
            return list.front()->handle;
        case GW_HWNDLAST:
            return list.back()->handle;
        case GW_HWNDNEXT:
            return (it + 1) == list.end() ? nullptr : (*(it + 1))->handle;
        case GW_HWNDPREV:
            return it == list.begin() ? nullptr : (*(it - 1))->handle;
        default:
            return nullptr;
    }
}

HWND GetTopWindow(HWND hwnd) {
    if (hwnd == nullptr) return S().toplevels.empty() ? nullptr : S().toplevels.front()->handle;
    return GetWindow(hwnd, GW_CHILD);
}

HWND GetLastActivePopup(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return IsRemoteWindow(hwnd) ? RemoteLastActivePopup(hwnd) : nullptr;
    Window* t = TopLevel(w);
    Window* p = t->last_active_popup;
    if (p != nullptr && W(p->handle) == p && p->Visible() && IsWindowEnabled(p->handle)) return p->handle;
    return t->handle;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
    Window* p = W(parent);
    if (p == nullptr || proc == nullptr) return FALSE;
    std::vector<HWND> all;
    std::vector<Window*> stack(p->children.rbegin(), p->children.rend());
    while (!stack.empty()) {
        Window* c = stack.back();
        stack.pop_back();
        all.push_back(c->handle);
        stack.insert(stack.end(), c->children.rbegin(), c->children.rend());
    }
    for (HWND h : all)
        if (IsWindow(h) && !proc(h, param)) return FALSE;
    return TRUE;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    if (proc == nullptr) return FALSE;
    std::vector<HWND> all;
    for (Window* w : S().toplevels)
        all.push_back(w->handle);
    for (HWND h : all)
        if (IsWindow(h) && !proc(h, param)) return FALSE;
    return TRUE;
}

BOOL EnumThreadWindows(DWORD thread_id, WNDENUMPROC proc, LPARAM param) {
    if (proc == nullptr) return FALSE;
    std::vector<HWND> all;
    for (Window* w : S().toplevels)
        if (w->queue->thread_id == thread_id) all.push_back(w->handle);
    for (HWND h : all)
        if (IsWindow(h) && !proc(h, param)) return FALSE;
    return TRUE;
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD process_id) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    if (process_id != nullptr) *process_id = static_cast<DWORD>(getpid());
    return w->queue->thread_id;
}

// ---- window longs ----

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    switch (index) {
        case GWLP_WNDPROC:
            return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_HINSTANCE:
            return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT: {
            Window* p = w->IsChild() ? w->parent : w->owner;
            return p != nullptr ? reinterpret_cast<LONG_PTR>(p->handle) : 0;
        }
        case GWLP_ID:
            return w->IsChild() ? static_cast<LONG_PTR>(w->id) : reinterpret_cast<LONG_PTR>(w->menu);
        case GWL_STYLE:
            return static_cast<LONG>(w->style);
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->ex_style);
        case GWLP_USERDATA:
            return w->user_data;
        default:
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
                LONG_PTR v;
                memcpy(&v, w->extra.data() + index, sizeof v);
                return v;
            }
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
                LONG v;
                memcpy(&v, w->extra.data() + index, sizeof v);
                return v;
            }
            return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    LONG_PTR old = GetWindowLongPtrA(hwnd, index);
    switch (index) {
        case GWLP_WNDPROC:
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_HINSTANCE:
            w->instance = reinterpret_cast<HINSTANCE>(value);
            break;
        case GWLP_HWNDPARENT:
            if (!w->IsChild()) {
                Window* o = W(reinterpret_cast<HWND>(value));
                w->owner = o != nullptr ? TopLevel(o) : nullptr;
            }
            break;
        case GWLP_ID:
            if (w->IsChild())
                w->id = static_cast<UINT_PTR>(value);
            else
                w->menu = reinterpret_cast<HMENU>(value);
            break;
        case GWL_STYLE:
        case GWL_EXSTYLE: {
            struct {
                DWORD old_style, new_style;
            } ss{static_cast<DWORD>(old), static_cast<DWORD>(value)};
            if (index == GWL_STYLE) {
                // The child bit cannot change here, and visibility changes do not show or hide.
                DWORD keep = WS_CHILD;
                w->style = (static_cast<DWORD>(value) & ~keep) | (w->style & keep);
            } else {
                w->ex_style = static_cast<DWORD>(value);
            }
            Call(w, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
            break;
        }
        case GWLP_USERDATA:
            w->user_data = value;
            break;
        default:
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= w->extra.size()) {
                memcpy(w->extra.data() + index, &value, sizeof value);
            } else if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG) <= w->extra.size()) {
                LONG v = static_cast<LONG>(value);
                memcpy(w->extra.data() + index, &v, sizeof v);
            }
            break;
    }
    return old;
}

LONG GetWindowLongA(HWND hwnd, int index) {
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}
LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

int GetDlgCtrlID(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr && w->IsChild() ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    Window* d = W(dialog);
    if (d == nullptr) return nullptr;
    for (Window* c : d->children)
        if (static_cast<int>(c->id) == id) return c->handle;
    return nullptr;
}

// ---- window text ----

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!IsWindow(hwnd)) return FALSE;
    return SendMessageA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextA(HWND hwnd, LPSTR buf, int size) {
    if (buf == nullptr || size <= 0) return 0;
    buf[0] = 0;
    if (!IsWindow(hwnd)) return 0;
    return static_cast<int>(
        SendMessageA(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buf)));
}

int GetWindowTextLengthA(HWND hwnd) {
    return static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---- properties and atoms ----

namespace {
std::string PropKey(LPCSTR name) {
    // gcc 12 reports the inlined string copy as overlapping; it is not (a known false report).
    QSM_GCC_FALSE_REPORT_BEGIN("-Wrestrict")
    if (IS_INTRESOURCE(name)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
    QSM_GCC_FALSE_REPORT_END
    return name;
}
}  // namespace

BOOL SetPropA(HWND hwnd, LPCSTR name, HANDLE data) {
    Window* w = W(hwnd);
    if (w == nullptr || name == nullptr) return FALSE;
    w->props[PropKey(name)] = data;
    return TRUE;
}

HANDLE GetPropA(HWND hwnd, LPCSTR name) {
    Window* w = W(hwnd);
    if (w == nullptr || name == nullptr) return nullptr;
    auto it = w->props.find(PropKey(name));
    return it == w->props.end() ? nullptr : it->second;
}

HANDLE RemovePropA(HWND hwnd, LPCSTR name) {
    Window* w = W(hwnd);
    if (w == nullptr || name == nullptr) return nullptr;
    auto it = w->props.find(PropKey(name));
    if (it == w->props.end()) return nullptr;
    HANDLE h = it->second;
    w->props.erase(it);
    return h;
}

ATOM GlobalAddAtomA(LPCSTR name) {
    if (name == nullptr) return 0;
    if (IS_INTRESOURCE(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    auto it = s.atoms.find(key);
    if (it != s.atoms.end()) {
        it->second.second++;
        return it->second.first;
    }
    ATOM a = s.next_atom++;
    s.atoms[key] = {a, 1};
    return a;
}

ATOM GlobalFindAtomA(LPCSTR name) {
    if (name == nullptr) return 0;
    if (IS_INTRESOURCE(name)) return static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    auto it = s.atoms.find(key);
    return it == s.atoms.end() ? 0 : it->second.first;
}

ATOM GlobalDeleteAtom(ATOM atom) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    for (auto it = s.atoms.begin(); it != s.atoms.end(); ++it) {
        if (it->second.first == atom) {
            if (--it->second.second <= 0) s.atoms.erase(it);
            return 0;
        }
    }
    return atom;
}
