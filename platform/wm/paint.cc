// Painting bookkeeping: update regions, WM_PAINT generation, BeginPaint/EndPaint, validation, scrolling of
// window contents. Pixels live in the drawing layer; this file decides what must be painted and when.
#include <algorithm>

#include "platform/wm/internal.h"

namespace qsm::wm {

void UpdatePaintFlag(Window* w) {
    bool needs = ReallyVisible(w) && (!w->update.Empty() || w->internal_paint || w->nc_pending);
    if (needs == w->counted_for_paint) return;
    w->counted_for_paint = needs;
    w->queue->windows_to_paint += needs ? 1 : -1;
    if (needs) WakeQueue(*w->queue);
}

void DropPaintState(Window* w) {
    w->update.Clear();
    w->internal_paint = false;
    w->nc_pending = false;
    w->erase_pending = false;
    UpdatePaintFlag(w);
}

void InvalidateWindow(Window* w, const RECT* client_rect, bool erase, int children) {
    if (!ReallyVisible(w)) return;
    RECT all{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    RECT r = client_rect != nullptr ? RectIntersect(*client_rect, all) : all;
    if (!RectEmpty(r)) {
        w->update.Add(r);
        if (erase) w->erase_pending = true;
    }
    UpdatePaintFlag(w);
    if (children == 2 || (children == 0 && (w->style & WS_CLIPCHILDREN))) return;
    for (Window* c : w->children) {
        if (!c->Visible()) continue;
        // The child's client rectangle in the parent's client coordinates.
        RECT cr{c->rect.left + c->client.left, c->rect.top + c->client.top, c->rect.left + c->client.right,
                c->rect.top + c->client.bottom};
        RECT i = RectIntersect(r, cr);
        RECT wr = RectIntersect(r, c->rect);
        if (!RectEmpty(wr) &&
            (wr.left < cr.left || wr.top < cr.top || wr.right > cr.right || wr.bottom > cr.bottom)) {
            c->nc_pending = true;
            UpdatePaintFlag(c);
        }
        if (RectEmpty(i)) continue;
        OffsetRect(&i, -cr.left, -cr.top);
        InvalidateWindow(c, &i, erase, children);
    }
}

namespace {

Window* FindIn(Window* w) {
    if (w->counted_for_paint) return w;
    for (Window* c : w->children) {
        if (!c->Visible()) continue;
        if (Window* f = FindIn(c)) return f;
    }
    return nullptr;
}

}  // namespace

Window* FindWindowToPaint(ThreadQueue& q) {
    for (Window* t : S().toplevels) {
        if (t->queue.get() != &q || !t->Visible()) continue;
        if (Window* f = FindIn(t)) return f;
    }
    // Counted windows that are no longer visible through their parents.
    return nullptr;
}

bool WaitsForPaint(Window* w) {
    return FindIn(w) != nullptr;
}

bool EraseBackground(Window* w, HDC dc) {
    HBRUSH brush = w->cls->background;
    if (brush == nullptr) return false;
    RECT r{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    FillRectWithBrush(dc, r, brush);
    return true;
}

}  // namespace qsm::wm

using namespace qsm::wm;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    if (hwnd == nullptr) {
        // The whole screen: every top-level window.
        std::vector<Window*> tops = S().toplevels;
        for (Window* t : tops) {
            t->nc_pending = true;
            InvalidateWindow(t, nullptr, erase != FALSE, 1);
        }
        return TRUE;
    }
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    InvalidateWindow(w, rect, erase != FALSE, 0);
    return TRUE;
}

BOOL InvalidateRgn(HWND hwnd, HRGN, BOOL erase) {
    return InvalidateRect(hwnd, nullptr, erase);
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    if (rect == nullptr) {
        w->update.Clear();
        w->internal_paint = false;
        w->erase_pending = false;
    } else {
        w->update.Subtract(*rect);
    }
    UpdatePaintFlag(w);
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    RECT b = w->update.Bounds();
    if (rect != nullptr) *rect = b;
    if (erase && w->erase_pending && !w->update.Empty()) {
        w->erase_pending = false;
        HDC dc = GetDC(hwnd);
        SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ReleaseDC(hwnd, dc);
    }
    return w->update.Empty() ? FALSE : TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
    Window* w = W(hwnd);
    if (w == nullptr) {
        if (hwnd == nullptr && (flags & RDW_INVALIDATE))
            return InvalidateRect(nullptr, nullptr, (flags & RDW_ERASE) != 0);
        return FALSE;
    }
    int children = (flags & RDW_ALLCHILDREN) ? 1 : (flags & RDW_NOCHILDREN) ? 2 : 0;
    if (flags & RDW_INVALIDATE) {
        if (flags & RDW_FRAME) w->nc_pending = true;
        InvalidateWindow(w, rect, (flags & RDW_ERASE) != 0, children);
    }
    if (flags & RDW_INTERNALPAINT) {
        w->internal_paint = true;
        UpdatePaintFlag(w);
    }
    if (flags & RDW_VALIDATE) {
        ValidateRect(hwnd, rect);
        if (flags & RDW_NOFRAME) w->nc_pending = false;
        UpdatePaintFlag(w);
    }
    if (flags & RDW_UPDATENOW) UpdateWindow(hwnd);
    return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    std::vector<HWND> order;
    std::vector<Window*> stack{w};
    while (!stack.empty()) {
        Window* x = stack.back();
        stack.pop_back();
        order.push_back(x->handle);
        for (auto it = x->children.rbegin(); it != x->children.rend(); ++it)
            if ((*it)->Visible()) stack.push_back(*it);
    }
    for (HWND h : order) {
        Window* x = W(h);
        if (x == nullptr || !x->counted_for_paint) continue;
        SendMessageA(h, WM_PAINT, 0, 0);
        x = W(h);
        // A window procedure that leaves its area invalid is not asked again here.
        if (x != nullptr && x->counted_for_paint && !x->update.Empty()) continue;
    }
    return TRUE;
}

BOOL LockWindowUpdate(HWND) {
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    Window* w = W(hwnd);
    if (w == nullptr || ps == nullptr) return nullptr;
    *ps = PAINTSTRUCT{};
    HideCaret(hwnd);
    if (w->nc_pending) {
        w->nc_pending = false;
        SendMessageA(hwnd, WM_NCPAINT, 1, 0);
        if (W(hwnd) == nullptr) return nullptr;
    }
    RECT bounds = w->update.Bounds();
    bool erase = w->erase_pending;
    Region clip = w->update;
    w->update.Clear();
    w->erase_pending = false;
    w->internal_paint = false;
    UpdatePaintFlag(w);
    ps->rcPaint = bounds;
    ps->hdc = MakePaintDc(w, clip);
    if (erase) {
        ps->fErase = SendMessageA(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) ? FALSE : TRUE;
    }
    return ps->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    Window* w = W(hwnd);
    if (ps != nullptr && ps->hdc != nullptr) ReleaseDC(hwnd, ps->hdc);
    ShowCaret(hwnd);
    if (w != nullptr && ps != nullptr) PresentClientRect(w, ps->rcPaint);
    return TRUE;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN, LPRECT updated,
                   UINT flags) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    RECT all{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    RECT area = scroll != nullptr ? RectIntersect(*scroll, all) : all;
    if (clip != nullptr) area = RectIntersect(area, *clip);
    // Pixels that stay visible move; the strips they leave become invalid.
    RECT src = area;
    OffsetRect(&src, -dx, -dy);
    RECT moved = RectIntersect(src, area);
    OffsetRect(&moved, dx, dy);
    if (ReallyVisible(w) && !RectEmpty(moved)) ScrollPixels(w, moved, dx, dy);
    // The pending update region moves with the contents.
    Region shifted;
    for (const RECT& r : w->update.Rects()) {
        RECT in = RectIntersect(r, area);
        if (RectEmpty(in)) {
            shifted.Add(r);
            continue;
        }
        RECT out = in;
        OffsetRect(&out, dx, dy);
        shifted.Add(RectIntersect(out, area));
        Region rest;
        rest.Add(r);
        rest.Subtract(area);
        for (const RECT& x : rest.Rects())
            shifted.Add(x);
    }
    w->update = shifted;
    Region uncovered;
    uncovered.Add(area);
    uncovered.Subtract(moved);
    if (updated != nullptr) *updated = uncovered.Bounds();
    if (flags & SW_INVALIDATE) {
        for (const RECT& r : uncovered.Rects())
            InvalidateWindow(w, &r, (flags & SW_ERASE) != 0, 0);
    }
    UpdatePaintFlag(w);
    if (flags & SW_SCROLLCHILDREN) {
        for (Window* c : std::vector<Window*>(w->children)) {
            if (scroll != nullptr) {
                RECT cr = c->rect;
                RECT i = RectIntersect(cr, area);
                if (RectEmpty(i)) continue;
            }
            SetWindowPos(c->handle, nullptr, c->rect.left + dx, c->rect.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
        }
    }
    return uncovered.Empty() ? 1 : 2;
}

BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
    UINT flags = SW_INVALIDATE | SW_ERASE | (scroll == nullptr ? SW_SCROLLCHILDREN : 0);
    return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr, flags) != 0;
}
