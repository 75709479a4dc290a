// Dock stations: rows of docked toolbars along an edge of the frame.
#include "ui/dock_station.h"

#include <algorithm>
#include <vector>

#include "core/sys_info.h"
#include "ui/toolbar.h"
#include "ui/toolbar_draw.h"

namespace {

// The station's insets inside its window rectangle. An empty station takes no room across its side.
TRect EdgeInsets(const TDockStation& station, uint16_t word, bool empty) {
    TRect r;
    ComputeEdgeInsets(station, r, word, empty ? 1 : 0);
    TRect in(r.left, r.top, -r.right, -r.bottom);
    if (empty) {
        if (station.IsHorizontal())
            in.top = in.bottom = 0;
        else
            in.left = in.right = 0;
    }
    return in;
}

}  // namespace

TDockStation::TDockStation(TDecoratedFrame* frame, uint16_t placement)
    : TWindow(frame, nullptr), Frame(frame) {
    Placement = placement;
    if (SysInfo.IsVersion4OrLater()) {
        uint16_t border = 0;
        switch (placement & tpSideMask) {
            case tpTop:
                border = tpBorderTop | tpBorderBottom;
                break;
            case tpBottom:
                border = tpBorderTop;
                break;
            case tpLeft:
                border = tpBorderRight;
                break;
            case tpRight:
                border = tpBorderLeft;
                break;
        }
        Placement = static_cast<uint16_t>((placement & ~tpBorderMask) | border | tpNewLook);
    }
    Horizontal = (placement & (tpTop | tpBottom)) ? 1 : 0;
    Attr.W = Attr.H = 0;
    Attr.Style = (Attr.Style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN) & ~WS_BORDER;
    SetBkgndColor(TColor(GetSysColor(COLOR_BTNFACE)));
}

TDockStation::~TDockStation() {
    for (TToolbar* t = Head; t; t = t->Next)
        t->Station = nullptr;
    Head = nullptr;
    TToolbar::ForgetStation(this);
}

void TDockStation::GetWindowClass(WNDCLASSA& wc) {
    TWindow::GetWindowClass(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
}

TRect TDockStation::InsetRect(const TRect& windowRect) const {
    TRect in = EdgeInsets(*this, Placement, Head == nullptr);
    return TRect(windowRect.left + in.left, windowRect.top + in.top, windowRect.right - in.right,
                 windowRect.bottom - in.bottom);
}

void TDockStation::InsertToolbar(TToolbar* toolbar) {
    TToolbar* after = nullptr;
    for (TToolbar* t = Head; t; t = t->Next)
        if (t->RowOrder <= toolbar->RowOrder) after = t;
    toolbar->Prev = after;
    toolbar->Next = after ? after->Next : Head;
    if (toolbar->Next) toolbar->Next->Prev = toolbar;
    if (after)
        after->Next = toolbar;
    else
        Head = toolbar;
    toolbar->Station = this;
    if (Handle) LayoutToolbars();
}

void TDockStation::RemoveToolbar(TToolbar* toolbar, bool relayout) {
    if (toolbar->Station != this) return;
    TToolbar* follower = toolbar->Next;
    // The follower's own flag is read before it inherits the row start.
    toolbar->NextStartsRow = follower ? follower->StartsRow : 0;
    if (follower && toolbar->StartsRow) follower->StartsRow = 1;
    if (toolbar->Prev)
        toolbar->Prev->Next = follower;
    else
        Head = follower;
    if (follower) follower->Prev = toolbar->Prev;
    toolbar->Prev = toolbar->Next = nullptr;
    toolbar->Station = nullptr;
    if (relayout && Handle) LayoutToolbars();
    if (toolbar->GetHandle()) toolbar->Show(SW_HIDE);
}

void TDockStation::LayoutToolbars() {
    const int g = TToolbar::BorderUnit();
    int along = -g, across = -g, thickness = 0, order = 0;
    for (TToolbar* t = Head; t; t = t->Next) {
        t->RowOrder = order++;
        TSize s;
        t->GetDesiredSize(s);
        if (t->StartsRow && t != Head) {
            across += thickness - g;
            along = -g;
            thickness = 0;
        }
        thickness = std::max<int>(thickness, Horizontal ? s.cy : s.cx);
        if (t->GetParentO() != this) t->SetParent(this);
        if (t->GetHandle()) {
            int x = Horizontal ? along : across, y = Horizontal ? across : along;
            ::SetWindowPos(t->GetHandle(), HWND_BOTTOM, x, y, s.cx, s.cy, SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        along += (Horizontal ? s.cx : s.cy) - g;
    }
    TRect in = EdgeInsets(*this, Placement, Head == nullptr);
    int size = Horizontal ? in.top + in.bottom : in.left + in.right;
    if (Head) size += thickness + across - g;
    size = std::max(0, size);
    if (Horizontal)
        Attr.H = size;
    else
        Attr.W = size;
    if (!Frame) return;
    TLayoutMetrics m;
    if (Frame->GetChildLayoutMetrics(*this, m)) {
        if (Horizontal)
            m.Height.Absolute(size);
        else
            m.Width.Absolute(size);
        Frame->SetChildLayoutMetrics(*this, m);
    }
    if (Handle) {
        // Keep the client area in step with the toolbars even when the frame leaves the size alone.
        ::SetWindowPos(Handle, nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        Frame->Layout();
    }
}

void TDockStation::HitDockPosition(TToolbar* toolbar, int x, int y) {
    const int g = TToolbar::BorderUnit();
    TSize size;
    toolbar->GetDesiredSize(size);
    toolbar->StartsRow = 1;
    const int extent = Horizontal ? size.cx : size.cy;
    int along = Horizontal ? x : y;
    const int acrossPt = Horizontal ? y : x;
    TRect sr = Handle ? GetWindowRect() : TRect(0, 0, Attr.W, Attr.H);
    const int stationStart = Horizontal ? sr.left : sr.top;
    const int stationFar = Horizontal ? sr.right : sr.bottom;
    auto rectOf = [](TToolbar* t) { return t->GetHandle() ? t->GetWindowRect() : TRect(); };
    auto nearEdge = [&](TToolbar* t) { return Horizontal ? rectOf(t).left : rectOf(t).top; };
    auto farEdge = [&](TToolbar* t) { return Horizontal ? rectOf(t).right : rectOf(t).bottom; };
    auto extentOf = [&](TToolbar* t) {
        TSize s;
        t->GetDesiredSize(s);
        return Horizontal ? s.cx : s.cy;
    };
    auto rowEnd = [](TToolbar* start) {  // the last toolbar of the row that start begins
        TToolbar* last = start;
        while (last->Next && !last->Next->StartsRow)
            last = last->Next;
        return last;
    };

    // 1. The row: the band of a row lies around its first toolbar's edge across the station.
    TToolbar* passed = nullptr;  // the last toolbar passed
    TToolbar* row = nullptr;
    for (TToolbar* t = Head; t;) {
        TRect r = rectOf(t);
        const TToolbar::TMargins& mg = t->GetMargins();
        int lo = Horizontal ? r.top - mg.Bottom : r.left - mg.Right;
        int hi = Horizontal ? r.top + mg.Top : r.left + mg.Left;
        if (acrossPt < lo) break;  // a new row before this one
        if (acrossPt <= hi) {
            row = t;
            break;
        }
        passed = rowEnd(t);
        t = passed->Next;
    }
    TToolbar* pred = nullptr;
    std::vector<TToolbar*> followers;
    if (row) {
        // 2. In the row: after the toolbars that begin before the point.
        TToolbar* t = row;
        for (; t && (t == row || !t->StartsRow); t = t->Next) {
            if (nearEdge(t) < along)
                pred = t;
            else
                break;
        }
        for (TToolbar* f = pred ? pred->Next : row; f && (f == row || !f->StartsRow); f = f->Next)
            followers.push_back(f);
        if (pred) passed = pred;
    }
    bool overflow = false;
    if (!followers.empty()) {
        // 3. Overflow: the row cannot take the toolbar at the point; pull the point back.
        int firstNear = nearEdge(followers.front());
        int sum = 0;
        for (TToolbar* f : followers)
            sum += extentOf(f);
        int room = stationFar - sum - firstNear;
        int newFar = along + extent - g;
        if (newFar - firstNear > room) {
            overflow = true;
            along -= (newFar - firstNear) - room;
            along = std::max(stationStart, std::min(along, stationFar - extent));
        }
        // 4. Row starts.
        if (!pred && toolbar->NextStartsRow == 0)
            followers.front()->StartsRow = 0;
        else if (toolbar->NextStartsRow == 1)
            followers.front()->StartsRow = 1;
        toolbar->NextStartsRow = 0;
        // 5. Followers that lie at or beyond the station's end start a row of their own.
        int before = along + extent - g;
        for (TToolbar* f : followers) {
            int n = nearEdge(f);
            if (n >= stationFar) f->StartsRow = 1;
            if (!overflow && n >= before) break;
            before = farEdge(f);
        }
    } else {
        toolbar->NextStartsRow = 0;
    }
    if (pred) toolbar->StartsRow = 0;
    // 6. Link after the predecessor (or the last toolbar passed) and pack the rows anew.
    toolbar->Prev = passed;
    toolbar->Next = passed ? passed->Next : Head;
    if (toolbar->Next) toolbar->Next->Prev = toolbar;
    if (passed)
        passed->Next = toolbar;
    else
        Head = toolbar;
    toolbar->Station = this;
    if (toolbar->GetParentO() != this) toolbar->SetParent(this);
    LayoutToolbars();
}

bool TDockStation::Create() {
    LayoutToolbars();
    return TWindow::Create();
}

void TDockStation::SetupWindow() {
    TWindow::SetupWindow();
    LayoutToolbars();
}

bool TDockStation::IdleAction(LONG idleCount) {
    if (idleCount == 0)
        for (TToolbar* t = Head; t; t = t->Next)
            if (t->GetHandle()) t->IdleAction(0);
    return TWindow::IdleAction(idleCount);
}

bool TDockStation::PreProcessMsg(MSG& msg) {
    if (TWindow::PreProcessMsg(msg)) return true;
    for (TToolbar* t = Head; t; t = t->Next)
        if (t->GetHandle() && t->PreProcessMsg(msg)) return true;
    return false;
}

LRESULT TDockStation::EvNCCalcSize(WPARAM, LPARAM lp) {
    auto* r = reinterpret_cast<RECT*>(lp);
    if (r) *r = InsetRect(TRect(*r));
    return 0;
}

LRESULT TDockStation::EvNCPaint(WPARAM, LPARAM) {
    HDC dc = GetWindowDC(Handle);
    if (!dc) return 0;
    TRect wr = GetWindowRect();
    TRect r(0, 0, wr.Width(), wr.Height());
    TRect client = InsetRect(r);
    // The insets show the station's face; the borders go over it.
    HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
    TRect pieces[4] = {TRect(r.left, r.top, r.right, client.top),
                       TRect(r.left, client.bottom, r.right, r.bottom),
                       TRect(r.left, client.top, client.left, client.bottom),
                       TRect(client.right, client.top, r.right, client.bottom)};
    for (const TRect& p : pieces)
        if (!p.IsEmpty()) FillRect(dc, &p, face);
    Draw3dEdges(dc, r, Placement);
    ReleaseDC(Handle, dc);
    return 0;
}

void TDockStation::EvRButtonDown(UINT, const TPoint&) {
    if (Head) Head->TrackContextMenu();
}

void TDockStation::EvSysColorChange() {
    SetBkgndColor(TColor(GetSysColor(COLOR_BTNFACE)));
    Invalidate();
}

DEFINE_RESPONSE_TABLE1(TDockStation, TWindow)
EV_MESSAGE(WM_NCCALCSIZE, EvNCCalcSize),
    EV_MESSAGE(WM_NCPAINT, EvNCPaint), EV_WM_RBUTTONDOWN, EV_WM_SYSCOLORCHANGE, END_RESPONSE_TABLE;
