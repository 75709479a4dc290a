// Regions, clipping and rectangle helpers.
#include <algorithm>
#include <cmath>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {
namespace {

cairo_rectangle_int_t Rect(int l, int t, int r, int b) {
    if (r < l) std::swap(l, r);
    if (b < t) std::swap(t, b);
    return {l, t, r - l, b - t};
}

int Complexity(const cairo_region_t* rgn) {
    int n = cairo_region_num_rectangles(rgn);
    return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

// A logical rectangle in the DC's device coordinates.
cairo_rectangle_int_t DeviceRect(const DC& dc, int l, int t, int r, int b) {
    double x0, y0, x1, y1;
    ToDevice(dc, l, t, &x0, &y0);
    ToDevice(dc, r, b, &x1, &y1);
    return Rect(static_cast<int>(std::lround(x0)), static_cast<int>(std::lround(y0)),
                static_cast<int>(std::lround(x1)), static_cast<int>(std::lround(y1)));
}

// The region the DC currently draws in, in its device coordinates (the whole device when unclipped).
cairo_region_t* CurrentClip(const DC& dc) {
    if (dc.st.clip) return cairo_region_copy(dc.st.clip);
    cairo_rectangle_int_t all{0, 0, dc.width, dc.height};
    return cairo_region_create_rectangle(&all);
}

}  // namespace
}  // namespace qsm::gdi

using namespace qsm::gdi;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto* r = new Region;
    r->type = OBJ_REGION;
    cairo_rectangle_int_t rc = Rect(left, top, right, bottom);
    r->rgn = cairo_region_create_rectangle(&rc);
    return reinterpret_cast<HRGN>(Register(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) return nullptr;
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
    auto* d = ToObjectOf<Region>(dest, OBJ_REGION);
    auto* ra = ToObjectOf<Region>(a, OBJ_REGION);
    auto* rb = ToObjectOf<Region>(b, OBJ_REGION);
    if (!d || !ra || (mode != RGN_COPY && !rb)) return ERROR;
    cairo_region_t* out = cairo_region_copy(ra->rgn);
    cairo_status_t st = CAIRO_STATUS_SUCCESS;
    switch (mode) {
        case RGN_AND:
            st = cairo_region_intersect(out, rb->rgn);
            break;
        case RGN_OR:
            st = cairo_region_union(out, rb->rgn);
            break;
        case RGN_XOR:
            st = cairo_region_xor(out, rb->rgn);
            break;
        case RGN_DIFF:
            st = cairo_region_subtract(out, rb->rgn);
            break;
        case RGN_COPY:
            break;
        default:
            cairo_region_destroy(out);
            return ERROR;
    }
    if (st != CAIRO_STATUS_SUCCESS) {
        cairo_region_destroy(out);
        return ERROR;
    }
    cairo_region_destroy(d->rgn);
    d->rgn = out;
    return Complexity(out);
}

BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom) {
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (!r) return FALSE;
    cairo_region_destroy(r->rgn);
    cairo_rectangle_int_t rc = Rect(left, top, right, bottom);
    r->rgn = cairo_region_create_rectangle(&rc);
    return TRUE;
}

int OffsetRgn(HRGN rgn, int dx, int dy) {
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (!r) return ERROR;
    cairo_region_translate(r->rgn, dx, dy);
    return Complexity(r->rgn);
}

int GetRgnBox(HRGN rgn, LPRECT rect) {
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (!r || !rect) return ERROR;
    cairo_rectangle_int_t e;
    cairo_region_get_extents(r->rgn, &e);
    *rect = {e.x, e.y, e.x + e.width, e.y + e.height};
    if (cairo_region_is_empty(r->rgn)) *rect = {0, 0, 0, 0};
    return Complexity(r->rgn);
}

BOOL PtInRegion(HRGN rgn, int x, int y) {
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    return r && cairo_region_contains_point(r->rgn, x, y);
}

BOOL RectInRegion(HRGN rgn, const RECT* rect) {
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (!r || !rect) return FALSE;
    cairo_rectangle_int_t rc = Rect(rect->left, rect->top, rect->right, rect->bottom);
    return cairo_region_contains_rectangle(r->rgn, &rc) != CAIRO_REGION_OVERLAP_OUT;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    auto* ra = ToObjectOf<Region>(a, OBJ_REGION);
    auto* rb = ToObjectOf<Region>(b, OBJ_REGION);
    return ra && rb && cairo_region_equal(ra->rgn, rb->rgn);
}

int ExtSelectClipRgn(HDC hdc, HRGN rgn, int mode) {
    DC* dc = ToDC(hdc);
    if (!dc) return ERROR;
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (dc->recording) Record(*dc, "ExtSelectClipRgn", {mode});
    if (!r) {
        if (mode != RGN_COPY) return ERROR;
        if (dc->st.clip) cairo_region_destroy(dc->st.clip);
        dc->st.clip = nullptr;
        return SIMPLEREGION;
    }
    cairo_region_t* out;
    if (mode == RGN_COPY) {
        out = cairo_region_copy(r->rgn);
    } else {
        out = CurrentClip(*dc);
        switch (mode) {
            case RGN_AND:
                cairo_region_intersect(out, r->rgn);
                break;
            case RGN_OR:
                cairo_region_union(out, r->rgn);
                break;
            case RGN_XOR:
                cairo_region_xor(out, r->rgn);
                break;
            case RGN_DIFF:
                cairo_region_subtract(out, r->rgn);
                break;
            default:
                cairo_region_destroy(out);
                return ERROR;
        }
    }
    if (dc->st.clip) cairo_region_destroy(dc->st.clip);
    dc->st.clip = out;
    return Complexity(out);
}

int SelectClipRgn(HDC hdc, HRGN rgn) {
    return ExtSelectClipRgn(hdc, rgn, RGN_COPY);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DC* dc = ToDC(hdc);
    if (!dc) return ERROR;
    if (dc->recording) Record(*dc, "IntersectClipRect", {left, top, right, bottom});
    cairo_rectangle_int_t rc = DeviceRect(*dc, left, top, right, bottom);
    cairo_region_t* out = CurrentClip(*dc);
    cairo_region_intersect_rectangle(out, &rc);
    if (dc->st.clip) cairo_region_destroy(dc->st.clip);
    dc->st.clip = out;
    return Complexity(out);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    DC* dc = ToDC(hdc);
    if (!dc) return ERROR;
    if (dc->recording) Record(*dc, "ExcludeClipRect", {left, top, right, bottom});
    cairo_rectangle_int_t rc = DeviceRect(*dc, left, top, right, bottom);
    cairo_region_t* out = CurrentClip(*dc);
    cairo_region_subtract_rectangle(out, &rc);
    if (dc->st.clip) cairo_region_destroy(dc->st.clip);
    dc->st.clip = out;
    return Complexity(out);
}

int GetClipBox(HDC hdc, LPRECT rect) {
    DC* dc = ToDC(hdc);
    if (!dc || !rect) return ERROR;
    cairo_region_t* clip = CurrentClip(*dc);
    if (dc->sysClip) {
        cairo_region_t* sys = cairo_region_copy(dc->sysClip);
        cairo_region_translate(sys, -dc->origin.x, -dc->origin.y);
        cairo_region_intersect(clip, sys);
        cairo_region_destroy(sys);
    }
    int kind = Complexity(clip);
    cairo_rectangle_int_t e;
    cairo_region_get_extents(clip, &e);
    cairo_region_destroy(clip);
    POINT pts[2] = {{e.x, e.y}, {e.x + e.width, e.y + e.height}};
    if (kind == NULLREGION) pts[0] = pts[1] = {0, 0};
    DPtoLP(hdc, pts, 2);
    *rect = {std::min(pts[0].x, pts[1].x), std::min(pts[0].y, pts[1].y), std::max(pts[0].x, pts[1].x),
             std::max(pts[0].y, pts[1].y)};
    return kind;
}

int GetClipRgn(HDC hdc, HRGN rgn) {
    DC* dc = ToDC(hdc);
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    if (!dc || !r) return -1;
    if (!dc->st.clip) return 0;
    cairo_region_destroy(r->rgn);
    r->rgn = cairo_region_copy(dc->st.clip);
    return 1;
}

BOOL FillRgn(HDC hdc, HRGN rgn, HBRUSH brush) {
    DC* dc = ToDC(hdc);
    auto* r = ToObjectOf<Region>(rgn, OBJ_REGION);
    auto* b = ToObjectOf<Brush>(brush, OBJ_BRUSH);
    if (!dc || !r || !b) return FALSE;
    if (dc->recording) Record(*dc, "FillRgn", {});
    if (b->style == BS_NULL) return TRUE;
    Emit(
        *dc, b->color,
        [&](cairo_t* cr) {
            int n = cairo_region_num_rectangles(r->rgn);
            for (int i = 0; i < n; ++i) {
                cairo_rectangle_int_t rc;
                cairo_region_get_rectangle(r->rgn, i, &rc);
                cairo_rectangle(cr, rc.x, rc.y, rc.width, rc.height);
            }
            cairo_fill(cr);
        },
        false);
    return TRUE;
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}
BOOL IsRectEmpty(const RECT* rect) {
    return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}
BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}
BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        *out = {0, 0, 0, 0};
        return FALSE;
    }
    *out = r;
    return TRUE;
}
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b) {
    if (!out || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *out = *b;
    } else if (IsRectEmpty(b)) {
        *out = *a;
    } else {
        *out = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                std::max(a->bottom, b->bottom)};
    }
    if (IsRectEmpty(out)) {
        *out = {0, 0, 0, 0};
        return FALSE;
    }
    return TRUE;
}
BOOL PtInRect(const RECT* rect, POINT pt) {
    return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom;
}
BOOL EqualRect(const RECT* a, const RECT* b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
BOOL CopyRect(LPRECT out, const RECT* in) {
    if (!out || !in) return FALSE;
    *out = *in;
    return TRUE;
}
