// Dragging a toolbar with the mouse: an exclusive-or rectangle on the screen that takes the shape of a
// docked toolbar near one of the frame's edges and of the floating toolbar elsewhere; Ctrl keeps it
// floating. Releasing the button applies the new placement.
#include "ui/toolbar_drag.h"

#include "core/sys_info.h"
#include "ui/dock_station.h"
#include "ui/toolbar.h"
#include "ui/toolbar_frame.h"

namespace qsm {

uint16_t DockSideAt(const TToolbarDragGeometry& d, const TRect& rect, const TPoint& p, uint16_t dockMask) {
    const bool inside = rect.Touches(d.DockArea);
    if (!inside) return 0;
    const TRect& c = d.Client;
    const TRect& a = d.DockArea;
    const int hh = d.Horz.cy, vw = d.Vert.cx;
    if ((dockMask & tpTop) && rect.top <= c.top && rect.bottom >= a.top && p.y + hh >= a.top &&
        p.y - hh < c.top)
        return tpTop;
    if ((dockMask & tpBottom) && rect.top <= a.bottom && rect.bottom >= c.bottom && p.y - hh <= a.bottom &&
        p.y + hh > c.bottom)
        return tpBottom;
    if ((dockMask & tpLeft) && rect.left <= c.left && rect.right >= a.left && p.x + vw >= a.left &&
        p.x - vw <= c.left)
        return tpLeft;
    if ((dockMask & tpRight) && rect.left <= a.right && rect.right >= c.right && p.x - vw <= a.right &&
        p.x + vw >= c.right)
        return tpRight;
    return 0;
}

uint16_t DragStep(const TToolbarDragGeometry& d, TRect& rect, uint16_t word, const TPoint& p, bool ctrl,
                  uint16_t dockMask, const TSize& floatSize) {
    const bool inside = rect.Touches(d.DockArea);
    const uint16_t side = ctrl ? 0 : DockSideAt(d, rect, p, dockMask);
    if (side) {
        word = static_cast<uint16_t>((word & 0x0FEF) | side);
        if (side == tpTop || side == tpBottom) {
            rect = TRect(rect.TopLeft(), d.Horz);
            if (p.x >= rect.right) rect.Offset((p.x - rect.right) + d.Horz.cx / 2, 0);
            int edge = side == tpTop ? d.DockArea.top : d.Client.bottom;
            int dy = std::max<int>(p.y, edge) - rect.bottom;
            if (dy > 0) rect.Offset(0, dy);
        } else {
            rect = TRect(rect.TopLeft(), d.Vert);
            int edge = side == tpLeft ? d.DockArea.left : d.Client.right;
            int dx = std::max<int>(p.x, edge) - rect.right;
            if (dx > 0) rect.Offset(dx, 0);
            if (p.y >= rect.bottom) rect.Offset(0, (p.y - rect.bottom) + d.Vert.cy / 2);
        }
        return word;
    }
    if (word & tpFloating) return word;  // the rectangle follows the mouse
    const bool keepBottom = (word == tpTop && !inside) || (word == tpBottom && inside);
    const bool keepRight = (word == tpLeft && !inside) || (word == tpRight && inside);
    if (keepBottom)
        rect.top = rect.bottom - floatSize.cy;
    else
        rect.bottom = rect.top + floatSize.cy;
    if (keepRight)
        rect.left = rect.right - floatSize.cx;
    else
        rect.right = rect.left + floatSize.cx;
    if (p.x < rect.left || p.x >= rect.right) {
        rect.left = p.x - floatSize.cx / 2;
        rect.right = rect.left + floatSize.cx;
    } else if (p.y < rect.top || p.y >= rect.bottom) {
        rect.top = p.y - floatSize.cy / 2;
        rect.bottom = rect.top + floatSize.cy;
    }
    return static_cast<uint16_t>(word | tpFloating);
}

}  // namespace qsm

namespace {

TRect DragGeometryArea() {
    TRect a;
    if (TDockStation* s = TToolbar::StationOfSide(tpLeft); s && s->GetHandle())
        a.left = s->GetWindowRect().left;
    if (TDockStation* s = TToolbar::StationOfSide(tpTop); s && s->GetHandle()) a.top = s->GetWindowRect().top;
    if (TDockStation* s = TToolbar::StationOfSide(tpRight); s && s->GetHandle())
        a.right = s->GetWindowRect().right;
    if (TDockStation* s = TToolbar::StationOfSide(tpBottom); s && s->GetHandle())
        a.bottom = s->GetWindowRect().bottom;
    return a;
}

TRect FrameClientRect() {
    TDecoratedFrame* f = TToolbar::DockFrame();
    if (!f || !f->GetHandle()) return TRect();
    if (TWindow* c = f->GetClientWindow(); c && c->GetHandle()) return c->GetWindowRect();
    TRect r = f->GetClientRect();
    return TRect(f->ClientToScreen(r.TopLeft()), r.Size());
}

}  // namespace

void TToolbar::BeginDrag(const TPoint& screenPoint) {
    if (!Handle) return;
    SetCapture();
    Dragging = 1;
    ::SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
    SysInfo.PushStatusId(IDS_TOOLBAR_DRAG, false);
    HorzSize = LayoutGadgets(tpTop, 1, nullptr, false);
    VertSize = LayoutGadgets(tpLeft, 1, nullptr, false);
    DockArea = DragGeometryArea();
    DragWord = Placement;
    DragRect = FloatingFrame && FloatingFrame->GetHandle() ? FloatingFrame->GetWindowRect() : GetWindowRect();
    DrawDragFrame(DragRect, DragWord, true);
    DragPoint = screenPoint;
}

void TToolbar::DragTo(const TPoint& screenPoint, bool ctrl) {
    if (!Dragging) return;
    TRect r = DragRect.OffsetBy(screenPoint.x - DragPoint.x, screenPoint.y - DragPoint.y);
    DragPoint = screenPoint;
    qsm::TToolbarDragGeometry d{DockArea, FrameClientRect(), HorzSize, VertSize};
    uint16_t word = qsm::DragStep(d, r, DragWord, screenPoint, ctrl, DockMask, GetShapeSize(ShapeIndex));
    if (r == DragRect && word == DragWord) return;
    DragRect = r;
    DragWord = word;
    DrawDragFrame(DragRect, DragWord, true);
}

void TToolbar::EndDrag() {
    if (!Dragging) return;
    SysInfo.PopStatus();
    Dragging = 0;
    if (::GetCapture() == Handle) ::ReleaseCapture();
    DrawDragFrame(DragRect, DragWord, false);
    if (!(DragWord & tpFloating)) {
        if (TDockStation* st = StationOf(DragWord); st && st->GetHandle())
            DockedPos = st->ScreenToClient(DragRect.TopLeft());
    } else if (!(DockMask & tpFloating)) {
        return;
    } else {
        FloatPos = DragRect.TopLeft();
    }
    ShowToolbar(DragWord, 0);
}

void TToolbar::ToggleFloating() {
    if (Placement & tpFloating)
        Dock();
    else if (DockMask & tpFloating)
        Float();
}

void TToolbar::DrawDragFrame(const TRect& rect, uint16_t, bool save) {
    HDC dc = GetDC(nullptr);
    if (!dc) return;
    if (DragFrameShown) DrawFocusRect(dc, &ShownDragRect);  // drawn again, it is gone
    DragFrameShown = save;
    if (save) {
        ShownDragRect = rect;
        DrawFocusRect(dc, &rect);
    }
    ReleaseDC(nullptr, dc);
}
