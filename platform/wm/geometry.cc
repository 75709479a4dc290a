// Window geometry: rectangles, coordinate mapping, moving and sizing, showing and hiding, Z-order,
// placement, and the rectangle helpers.
#include <algorithm>

#include "platform/wm/internal.h"

namespace qsm::wm {
void RaiseTopLevel(Window* w);

namespace {

void ZOrder(Window* w, HWND after) {
    std::vector<Window*>& list = w->IsChild() ? w->parent->children : S().toplevels;
    if (!w->IsChild()) {
        if (after == HWND_TOPMOST) w->ex_style |= WS_EX_TOPMOST;
        // Sent to the bottom, a topmost window leaves the topmost band.
        if (after == HWND_NOTOPMOST || after == HWND_BOTTOM) w->ex_style &= ~WS_EX_TOPMOST;
        if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            RaiseTopLevel(w);
            return;
        }
    }
    list.erase(std::remove(list.begin(), list.end(), w), list.end());
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        list.insert(list.begin(), w);
    } else if (after == HWND_BOTTOM) {
        list.push_back(w);
    } else {
        Window* a = W(after);
        auto it = std::find(list.begin(), list.end(), a);
        list.insert(it == list.end() ? list.end() : it + 1, w);
    }
}

// Invalidates, in the parent (or on the screen for top-level windows), an area a window no longer covers.
void ExposeInParent(Window* w, const RECT& old_rect_in_parent) {
    if (w->IsChild()) {
        if (!ReallyVisible(w->parent)) return;
        // What the window still covers is its own to repaint (or to keep), not the parent's.
        Region exposed;
        exposed.Add(old_rect_in_parent);
        if (w->Visible()) exposed.Subtract(w->rect);
        for (const RECT& piece : exposed.Rects())
            InvalidateWindow(w->parent, &piece, true, 0);
    } else {
        // Top-level windows beneath get the exposed part of the screen.
        POINT o{old_rect_in_parent.left, old_rect_in_parent.top};
        for (Window* t : S().toplevels) {
            if (t == w || !t->Visible()) continue;
            RECT tr = ScreenRect(t);
            RECT i = RectIntersect(tr, old_rect_in_parent);
            if (RectEmpty(i)) continue;
            POINT co = ClientOrigin(t);
            RECT local{i.left - co.x, i.top - co.y, i.right - co.x, i.bottom - co.y};
            InvalidateWindow(t, &local, true, 1);
            t->nc_pending = true;
        }
        (void)o;
    }
}

void ActivateAnother(Window* hidden) {
    // The owner first, then the topmost visible enabled top-level window.
    Window* next = nullptr;
    if (hidden->owner != nullptr && hidden->owner->Visible() && IsWindowEnabled(hidden->owner->handle))
        next = hidden->owner;
    if (next == nullptr) {
        for (Window* t : S().toplevels) {
            if (t != hidden && t->Visible() && IsWindowEnabled(t->handle) &&
                !(t->ex_style & (WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW))) {
                next = t;
                break;
            }
        }
    }
    ActivateWindow(next, WA_ACTIVE);
}

}  // namespace
}  // namespace qsm::wm

using namespace qsm::wm;

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Window* w = W(hwnd);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = ScreenRect(w);
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Window* w = W(hwnd);
    if (w == nullptr || rect == nullptr) return FALSE;
    *rect = RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT pt) {
    Window* w = W(hwnd);
    if (w == nullptr || pt == nullptr) return FALSE;
    POINT o = ClientOrigin(w);
    pt->x += o.x;
    pt->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT pt) {
    Window* w = W(hwnd);
    if (w == nullptr || pt == nullptr) return FALSE;
    POINT o = ClientOrigin(w);
    pt->x -= o.x;
    pt->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT count) {
    POINT a{0, 0}, b{0, 0};
    if (Window* f = W(from)) a = ClientOrigin(f);
    if (Window* t = W(to)) b = ClientOrigin(t);
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; pts != nullptr && i < count; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL MoveWindow(HWND hwnd, int x, int y, int w, int h, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, w, h,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL SetWindowPos(HWND hwnd, HWND insert_after, int x, int y, int cx, int cy, UINT flags) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    std::shared_ptr<Window> keep = Hold(hwnd);
    if (w->IsChild()) flags |= SWP_NOACTIVATE;
    if (flags & SWP_NOMOVE) {
        x = w->rect.left;
        y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
        cx = w->rect.right - w->rect.left;
        cy = w->rect.bottom - w->rect.top;
    }
    cx = std::max(0, cx);
    cy = std::max(0, cy);
    WINDOWPOS pos{hwnd, insert_after, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING)) {
        Call(w, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
        if (!IsWindow(hwnd)) return FALSE;
    }
    flags = pos.flags;
    RECT old = w->rect;
    RECT old_client = w->client;
    RECT now{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
    bool moved = now.left != old.left || now.top != old.top;
    bool sized =
        (now.right - now.left) != (old.right - old.left) || (now.bottom - now.top) != (old.bottom - old.top);
    if (!moved) flags |= SWP_NOMOVE;
    if (!sized) flags |= SWP_NOSIZE;
    bool was_visible = w->Visible();

    w->rect = now;
    if (sized || (flags & SWP_FRAMECHANGED)) RecalcClient(w, true);
    if (!IsWindow(hwnd)) return FALSE;
    if (!(flags & SWP_NOZORDER)) ZOrder(w, pos.hwndInsertAfter);
    if (flags & SWP_SHOWWINDOW) w->style |= WS_VISIBLE;
    if (flags & SWP_HIDEWINDOW) w->style &= ~WS_VISIBLE;
    bool visible = w->Visible();
    if (visible && !was_visible) w->shown_without_activation = (flags & SWP_NOACTIVATE) != 0;

    if (!w->IsChild()) {
        if (moved || sized) CurrentBackend().TopLevelMoved(hwnd, w->rect);
        if (visible != was_visible) CurrentBackend().TopLevelShown(hwnd, visible);
    }

    // Repainting.
    if (!(flags & SWP_NOREDRAW)) {
        if (visible && !was_visible) {
            w->nc_pending = true;
            InvalidateWindow(w, nullptr, true, 1);
        } else if (!visible && was_visible) {
            ExposeInParent(w, w->IsChild() ? old : old);
        } else if (visible && (sized || moved || (flags & SWP_FRAMECHANGED))) {
            bool all = (flags & SWP_FRAMECHANGED) || moved ||
                       ((w->cls->style & CS_HREDRAW) &&
                        (old_client.right - old_client.left) != (w->client.right - w->client.left)) ||
                       ((w->cls->style & CS_VREDRAW) &&
                        (old_client.bottom - old_client.top) != (w->client.bottom - w->client.top));
            w->nc_pending = true;
            if (all || !w->IsChild()) {
                InvalidateWindow(w, nullptr, true, 1);
            } else {
                // Only the newly uncovered strips of the client area.
                RECT c{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
                RECT keep_r{0, 0, old_client.right - old_client.left, old_client.bottom - old_client.top};
                Region r;
                r.Add(c);
                r.Subtract(keep_r);
                for (const RECT& piece : r.Rects())
                    InvalidateWindow(w, &piece, true, 1);
            }
            if (w->IsChild() && (moved || sized)) ExposeInParent(w, old);
        }
    }

    // Activation.
    if (!w->IsChild()) {
        if (!visible && was_visible && GetActiveWindow() == hwnd) {
            ActivateAnother(w);
        } else if (visible && !(flags & SWP_NOACTIVATE)) {
            ActivateWindow(w, WA_ACTIVE);
        }
    } else if (!visible && was_visible) {
        // A hidden child gives up the focus.
        HWND f = GetFocus();
        if (f == hwnd || IsChild(hwnd, f)) SetFocus(GetParent(hwnd));
    }
    if (!IsWindow(hwnd)) return TRUE;

    pos.flags = flags;
    pos.x = w->rect.left;
    pos.y = w->rect.top;
    pos.cx = w->rect.right - w->rect.left;
    pos.cy = w->rect.bottom - w->rect.top;
    Call(w, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND hwnd, int cmd) {
    Window* w = W(hwnd);
    if (w == nullptr) return IsRemoteWindow(hwnd) ? RemoteShowWindow(hwnd, cmd) : FALSE;
    std::shared_ptr<Window> keep = Hold(hwnd);
    BOOL was_visible = w->Visible() ? TRUE : FALSE;
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    bool show = true;
    switch (cmd) {
        case SW_HIDE:
            if (!was_visible) return FALSE;
            show = false;
            flags |= SWP_HIDEWINDOW;
            if (GetActiveWindow() != hwnd) flags |= SWP_NOACTIVATE;
            break;
        case SW_SHOWNA:
        case SW_SHOWNOACTIVATE:
            flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
            break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            if (!w->minimized) {
                if (!w->maximized) w->normal_rect = w->rect;
                w->minimized = true;
                w->style |= WS_MINIMIZE;
                flags |= SWP_FRAMECHANGED;
                if (!w->IsChild()) CurrentBackend().TopLevelState(hwnd, 1);
            }
            flags |= SWP_SHOWWINDOW | SWP_NOACTIVATE;
            break;
        case SW_SHOWMAXIMIZED: {
            if (!w->maximized) {
                if (!w->minimized) w->normal_rect = w->rect;
                w->maximized = true;
                w->minimized = false;
                w->style = (w->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
                RECT area{0, 0, 0, 0};
                if (w->IsChild()) {
                    GetClientRect(w->parent->handle, &area);
                } else {
                    // The desktop makes it fill the work area; what it reports comes back through
                    // DesktopPlaced.
                    area = CurrentBackend().WorkArea();
                    CurrentBackend().TopLevelState(hwnd, 2);
                }
                flags &= ~(SWP_NOMOVE | SWP_NOSIZE);
                flags |= SWP_FRAMECHANGED;
                if (!was_visible) Call(w, WM_SHOWWINDOW, TRUE, 0);
                SetWindowPos(hwnd, nullptr, area.left, area.top, area.right - area.left,
                             area.bottom - area.top,
                             flags | SWP_SHOWWINDOW | (w->IsChild() ? SWP_NOACTIVATE : 0));
                if (IsWindow(hwnd) && !w->IsChild()) SetActiveWindow(hwnd);
                return was_visible;
            }
            flags |= SWP_SHOWWINDOW;
            break;
        }
        case SW_RESTORE:
        case SW_SHOWNORMAL:
        case SW_SHOWDEFAULT:
            if (cmd == SW_RESTORE && w->minimized && w->maximized) {
                // A window minimized from the maximized state comes back maximized.
                w->minimized = false;
                w->style &= ~WS_MINIMIZE;
                if (!w->IsChild()) CurrentBackend().TopLevelState(hwnd, 2);
                if (!was_visible) Call(w, WM_SHOWWINDOW, TRUE, 0);
                SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
                return was_visible;
            }
            if (w->minimized || w->maximized) {
                w->minimized = false;
                w->maximized = false;
                w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
                RECT r = w->normal_rect;
                if (!w->IsChild()) CurrentBackend().TopLevelState(hwnd, 0);
                if (!was_visible) Call(w, WM_SHOWWINDOW, TRUE, 0);
                SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                             SWP_NOZORDER | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
                return was_visible;
            }
            flags |= SWP_SHOWWINDOW;
            break;
        default:  // SW_SHOW and the rest
            flags |= SWP_SHOWWINDOW;
            break;
    }
    if (show && was_visible && (flags & SWP_NOACTIVATE)) return was_visible;
    if (show == static_cast<bool>(was_visible) && show && !w->IsChild()) {
        // Already shown: only activation may change.
        if (!(flags & SWP_NOACTIVATE)) SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        return was_visible;
    }
    if (show == static_cast<bool>(was_visible)) return was_visible;
    Call(w, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!IsWindow(hwnd)) return was_visible;
    if (show && !w->IsChild() && !(flags & SWP_NOACTIVATE)) flags &= ~SWP_NOZORDER;
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags);
    return was_visible;
}

BOOL IsWindowVisible(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr && ReallyVisible(w) ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    if (IsRemoteWindow(hwnd)) return RemoteIsIconic(hwnd);
    Window* w = W(hwnd);
    return w != nullptr && w->minimized ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
    Window* w = W(hwnd);
    return w != nullptr && w->maximized ? TRUE : FALSE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* wp) {
    Window* w = W(hwnd);
    if (w == nullptr || wp == nullptr) return FALSE;
    wp->length = sizeof(WINDOWPLACEMENT);
    wp->flags = 0;
    wp->showCmd = w->minimized ? SW_SHOWMINIMIZED : w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    if (!w->Visible()) wp->showCmd = w->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    wp->ptMinPosition = POINT{-1, -1};
    wp->ptMaxPosition = POINT{-1, -1};
    wp->rcNormalPosition = (w->minimized || w->maximized) ? w->normal_rect : w->rect;
    return TRUE;
}

void qsm::wm::DesktopPlaced(HWND hwnd, bool minimized, bool maximized, const RECT& rect, const RECT* frame) {
    Window* w = W(hwnd);
    if (w == nullptr || w->IsChild()) return;
    std::shared_ptr<Window> keep = Hold(hwnd);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (frame != nullptr && !EqualRect(frame, &w->desktop_frame)) {
        w->desktop_frame = *frame;
        flags |= SWP_FRAMECHANGED;
    }
    if (minimized != w->minimized || maximized != w->maximized) {
        if (!w->minimized && !w->maximized) w->normal_rect = w->rect;
        w->minimized = minimized;
        w->maximized = maximized;
        w->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (minimized)
            w->style |= WS_MINIMIZE;
        else if (maximized)
            w->style |= WS_MAXIMIZE;
        flags |= SWP_FRAMECHANGED;
    }
    // A minimized window keeps its place and size for when it comes back.
    if (minimized) flags |= SWP_NOMOVE | SWP_NOSIZE;
    SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, flags);
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* wp) {
    Window* w = W(hwnd);
    if (w == nullptr || wp == nullptr) return FALSE;
    const RECT& r = wp->rcNormalPosition;
    if (w->minimized || w->maximized) {
        w->normal_rect = r;
    } else {
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        w->normal_rect = r;
    }
    ShowWindow(hwnd, static_cast<int>(wp->showCmd));
    return TRUE;
}

HWND WindowFromPoint(POINT pt) {
    LRESULT hit = HTNOWHERE;
    Window* w = HitWindow(pt, &hit);
    return w != nullptr ? w->handle : nullptr;
}

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
    Window* p = W(parent);
    if (p == nullptr) return nullptr;
    RECT c{0, 0, p->client.right - p->client.left, p->client.bottom - p->client.top};
    if (!PtInRect(&c, pt)) return nullptr;
    for (Window* k : p->children) {
        if (PtInRect(&k->rect, pt)) return k->handle;
    }
    return parent;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD ex_style) {
    if (rect == nullptr) return FALSE;
    Window probe;
    probe.style = style;
    probe.ex_style = ex_style;
    probe.menu = menu ? reinterpret_cast<HMENU>(1) : nullptr;
    DecideDesktopFrame(&probe);
    RECT big{0, 0, 1000, 1000};
    probe.rect = big;
    RECT c = DefaultNcCalc(&probe, big);
    // Scroll bars are not part of the adjustment.
    if (style & WS_VSCROLL) c.right += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) c.bottom += GetSystemMetrics(SM_CYHSCROLL);
    rect->left -= c.left;
    rect->top -= c.top;
    rect->right += 1000 - c.right;
    rect->bottom += 1000 - c.bottom;
    return TRUE;
}

// ---- rectangles ----

BOOL SubtractRect(LPRECT dst, const RECT* a, const RECT* b) {
    if (dst == nullptr || a == nullptr || b == nullptr) return FALSE;
    RECT r = *a;
    RECT i = RectIntersect(*a, *b);
    if (!RectEmpty(i)) {
        // Only a full cut across one side shrinks the rectangle.
        if (i.top <= r.top && i.bottom >= r.bottom) {
            if (i.left <= r.left)
                r.left = std::min(r.right, i.right);
            else if (i.right >= r.right)
                r.right = std::max(r.left, i.left);
        } else if (i.left <= r.left && i.right >= r.right) {
            if (i.top <= r.top)
                r.top = std::min(r.bottom, i.bottom);
            else if (i.bottom >= r.bottom)
                r.bottom = std::max(r.top, i.top);
        }
    }
    *dst = r;
    return RectEmpty(r) ? FALSE : TRUE;
}
