// Scroll bars: the window scroll bars in the non-client area, the scroll bar control, their geometry and
// the tracking of presses on arrows, pages and the thumb. A scroll bar never moves its own position: the
// window that gets the notification decides.
#include <algorithm>

#include "platform/wm/internal.h"
#include "platform/wm/scrollbar.h"

namespace qsm::wm {

int MaxScrollPos(const ScrollState& s) {
    int page = s.page > 0 ? static_cast<int>(s.page) - 1 : 0;
    return std::max(s.min, s.max - page);
}

ScrollGeometry ComputeScrollGeometry(const ScrollState& s, int length, int thickness) {
    ScrollGeometry g;
    g.length = length;
    g.arrow = std::min(thickness, length / 2);
    int track = length - 2 * g.arrow;
    int64_t range = static_cast<int64_t>(s.max) - s.min + 1;
    if (range <= 0 || track <= 0) {
        g.thumb_start = g.arrow;
        g.thumb_size = 0;
        return g;
    }
    int size = s.page > 0
                   ? static_cast<int>(std::min<int64_t>(track, track * static_cast<int64_t>(s.page) / range))
                   : thickness;
    size = std::max(size, 8);
    if (size > track) {
        g.thumb_size = 0;  // no room for a thumb
        g.thumb_start = g.arrow;
        return g;
    }
    g.thumb_size = size;
    int maxpos = MaxScrollPos(s);
    int pos = s.tracking ? s.track_pos : s.pos;
    int offset = maxpos > s.min
                     ? static_cast<int>(static_cast<int64_t>(track - size) * (pos - s.min) / (maxpos - s.min))
                     : 0;
    g.thumb_start = g.arrow + std::clamp(offset, 0, track - size);
    return g;
}

int ScrollPart(const ScrollGeometry& g, int at) {
    if (at < g.arrow) return kPartArrowUp;
    if (at >= g.length - g.arrow) return kPartArrowDown;
    if (g.thumb_size == 0) return at < g.length / 2 ? kPartPageUp : kPartPageDown;
    if (at < g.thumb_start) return kPartPageUp;
    if (at >= g.thumb_start + g.thumb_size) return kPartPageDown;
    return kPartThumb;
}

int ScrollPosFromThumb(const ScrollState& s, const ScrollGeometry& g, int thumb_start) {
    int track = g.length - 2 * g.arrow - g.thumb_size;
    int maxpos = MaxScrollPos(s);
    if (track <= 0) return s.min;
    int off = std::clamp(thumb_start - g.arrow, 0, track);
    return s.min + static_cast<int>((static_cast<int64_t>(off) * (maxpos - s.min) + track / 2) / track);
}

namespace {

struct Tracking {
    HWND notify = nullptr;
    UINT msg = 0;
    LPARAM ctl = 0;
    WPARAM code = 0;
    bool active = false;
} g_track;

constexpr UINT_PTR kRepeatTimer = 0xFFFF0002u;

void SendScroll(WPARAM code, int pos = 0) {
    if (IsWindow(g_track.notify))
        SendMessageA(g_track.notify, g_track.msg, MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(pos)),
                     g_track.ctl);
}

void Repeat(HWND hwnd, UINT, UINT_PTR, DWORD) {
    if (!g_track.active) return;
    SetSystemTimer(hwnd, kRepeatTimer, 50, Repeat);
    SendScroll(g_track.code);
}

ScrollState* StateOf(Window* w, int bar) {
    if (bar == SB_CTL) return &w->vscroll;
    return bar == SB_VERT ? &w->vscroll : &w->hscroll;
}

bool NeedsBar(const ScrollState& s) {
    return s.max > s.min &&
           (s.page == 0 || static_cast<int64_t>(s.page) <= static_cast<int64_t>(s.max) - s.min);
}

}  // namespace

void TrackScrollBar(HWND capture, HWND notify, UINT msg, LPARAM ctl, ScrollState& state, RECT bar_screen,
                    bool vertical, POINT start) {
    int length = vertical ? bar_screen.bottom - bar_screen.top : bar_screen.right - bar_screen.left;
    int thickness = vertical ? bar_screen.right - bar_screen.left : bar_screen.bottom - bar_screen.top;
    auto along = [&](POINT p) { return vertical ? p.y - bar_screen.top : p.x - bar_screen.left; };
    ScrollGeometry g = ComputeScrollGeometry(state, length, thickness);
    int part = ScrollPart(g, along(start));
    g_track = Tracking{notify, msg, ctl, 0, true};
    static const WPARAM kCodes[] = {SB_LINEUP, SB_PAGEUP, SB_THUMBTRACK, SB_PAGEDOWN, SB_LINEDOWN};
    int grab = along(start) - g.thumb_start;
    std::shared_ptr<Window> keep = Hold(capture);
    ScrollState* st = &state;
    if (part == kPartThumb) {
        st->tracking = true;
        st->track_pos = st->pos;
    } else {
        g_track.code = kCodes[part];
        SendScroll(g_track.code);
        SetSystemTimer(capture, kRepeatTimer, 400, Repeat);
    }
    SetCapture(capture);
    MSG m;
    while (IsWindow(capture) && GetCapture() == capture) {
        if (!GetMessageA(&m, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        // The pointer as each message saw it: moves and the release queued before the capture count too.
        if (IsPointerMove(m.message) || IsLeftRelease(m.message)) {
            POINT p = m.pt;
            if (part == kPartThumb) {
                int pos = ScrollPosFromThumb(*st, g, along(p) - grab);
                if (pos != st->track_pos) {
                    st->track_pos = pos;
                    SendScroll(SB_THUMBTRACK, pos);
                }
                if (IsLeftRelease(m.message)) {
                    st->tracking = false;
                    SendScroll(SB_THUMBPOSITION, st->track_pos);
                }
            }
            if (IsLeftRelease(m.message)) break;
            continue;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    st->tracking = false;
    g_track.active = false;
    if (IsWindow(capture)) KillSystemTimer(capture, kRepeatTimer);
    if (GetCapture() == capture) ReleaseCapture();
    SendScroll(SB_ENDSCROLL);
    g_track = Tracking{};
}

void NcScrollClick(Window* w, int bar, POINT screen) {
    RECT r;
    ScrollBarRects(w, bar, &r);
    POINT o = ScreenOrigin(w);
    OffsetRect(&r, o.x, o.y);
    ScrollState* st = StateOf(w, bar);
    if (st->disabled_arrows == ESB_DISABLE_BOTH) return;
    TrackScrollBar(w->handle, w->handle, bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL, 0, *st, r, bar == SB_VERT,
                   screen);
}

int ApplyScrollInfo(ScrollState& s, const SCROLLINFO& info) {
    if (info.fMask & SIF_RANGE) {
        s.min = info.nMin;
        s.max = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE) {
        int64_t range = static_cast<int64_t>(s.max) - s.min + 1;
        s.page = static_cast<UINT>(std::min<int64_t>(info.nPage, range));
    }
    if (info.fMask & SIF_POS) s.pos = info.nPos;
    s.pos = std::clamp(s.pos, s.min, MaxScrollPos(s));
    return s.pos;
}

void ReadScrollInfo(const ScrollState& s, SCROLLINFO* info) {
    if (info->fMask & SIF_RANGE) {
        info->nMin = s.min;
        info->nMax = s.max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = s.page;
    if (info->fMask & SIF_POS) info->nPos = s.pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.tracking ? s.track_pos : s.pos;
}

}  // namespace qsm::wm

using namespace qsm::wm;

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
    Window* w = W(hwnd);
    if (w == nullptr || info == nullptr) return 0;
    if (bar == SB_CTL)
        return static_cast<int>(
            SendMessageA(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    if (bar != SB_HORZ && bar != SB_VERT) return 0;
    ScrollState& s = *StateOf(w, bar);
    int pos = ApplyScrollInfo(s, *info);
    DWORD flag = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
    bool need = NeedsBar(s);
    bool show = need || (info->fMask & SIF_DISABLENOSCROLL);
    if (info->fMask & (SIF_RANGE | SIF_PAGE)) {
        s.disabled_arrows = need ? ESB_ENABLE_BOTH : ESB_DISABLE_BOTH;
        if (show != ((w->style & flag) != 0)) {
            ShowScrollBar(hwnd, bar, show ? TRUE : FALSE);
            return pos;
        }
    }
    if (redraw && (w->style & flag)) {
        w->nc_pending = true;
        UpdatePaintFlag(w);
    }
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
    Window* w = W(hwnd);
    if (w == nullptr || info == nullptr) return FALSE;
    if (bar == SB_CTL)
        return SendMessageA(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) ? TRUE : FALSE;
    if (bar != SB_HORZ && bar != SB_VERT) return FALSE;
    ReadScrollInfo(*StateOf(w, bar), info);
    return TRUE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    SCROLLINFO si{sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int min, int max, BOOL redraw) {
    SCROLLINFO si{sizeof si, SIF_RANGE, min, max, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return IsWindow(hwnd);
}

BOOL GetScrollRange(HWND hwnd, int bar, int* min, int* max) {
    SCROLLINFO si{sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si)) return FALSE;
    if (min != nullptr) *min = si.nMin;
    if (max != nullptr) *max = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    if (bar == SB_CTL) return ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE), TRUE;
    DWORD flags = (bar == SB_VERT ? WS_VSCROLL : bar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL | WS_HSCROLL);
    DWORD style = show ? (w->style | flags) : (w->style & ~flags);
    if (style == w->style) return TRUE;
    w->style = style;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
    Window* w = W(hwnd);
    if (w == nullptr) return FALSE;
    if (bar == SB_CTL) {
        w->vscroll.disabled_arrows = arrows;
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    if (bar == SB_VERT || bar == SB_BOTH) w->vscroll.disabled_arrows = arrows;
    if (bar == SB_HORZ || bar == SB_BOTH) w->hscroll.disabled_arrows = arrows;
    w->nc_pending = true;
    UpdatePaintFlag(w);
    return TRUE;
}
