#include "ui/status_bar.h"

#include <algorithm>
#include <cstring>

#include "ui/message_box.h"
#include "ui/toolbar.h"
#include "ui/toolbar_draw.h"
#include "ui/tooltip.h"

namespace {

void Line(const TDC& dc, const TRect& r, int sysColor) {
    if (r.IsEmpty()) return;
    dc.SetBkColor(TColor(GetSysColor(sysColor)));
    dc.ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0);
}

bool IsLastGadget(const TGadget& g) {
    TGadgetWindow* w = g.GetGadgetWindow();
    return w == nullptr || w->NextGadget(g) == nullptr;
}

// The bits of the status bar's window style that tell a layout frame the grip may show.
constexpr DWORD kGripStyleMask = 0x0F00;
constexpr DWORD kGripStyle = 0x0200;

}  // namespace

// ---- separators ----

TQSToolbarSeparatorGadget::TQSToolbarSeparatorGadget() : TSeparatorGadget(6) {}

void TQSToolbarSeparatorGadget::GetDesiredSize(TSize& size) {
    size = TSize(6 * GetSystemMetrics(SM_CXBORDER), 6 * GetSystemMetrics(SM_CYBORDER));
}

TRect TQSToolbarSeparatorGadget::ReferenceRect() const {
    TGadgetWindow* w = GetGadgetWindow();
    // In a docked toolbar the groove spans the toolbar's inner rectangle.
    if (auto* tb = dynamic_cast<TToolbar*>(w); tb != nullptr && (tb->Placement & tpSideMask) != 0 &&
                                               (tb->Placement & (tpFloating | tpHidden)) == 0) {
        TRect inner;
        tb->GetInnerRect(inner);
        return inner;
    }
    TGadget* next = w ? w->NextGadget(*this) : nullptr;
    return next ? next->GetBounds() : Bounds;
}

void TQSToolbarSeparatorGadget::Paint(TDC& dc) {
    if (IsLastGadget(*this)) return;
    TSeparatorGadget::Paint(dc);
    TGadgetWindow* w = GetGadgetWindow();
    TRect ref = ReferenceRect();
    // The row wraps after this separator when the next gadget starts left of it (in a docked toolbar the
    // reference is the inner rectangle, which always starts left of it).
    TGadget* next = w->NextGadget(*this);
    const bool wraps = next != nullptr && next->GetBounds().left < Bounds.right;
    int x = Bounds.left, y = Bounds.top;
    if (w->GetDirection() == TGadgetWindow::Vertical) {
        Line(dc, TRect(x, y + 2, x + ref.Width(), y + 3), COLOR_BTNSHADOW);
        Line(dc, TRect(x, y + 3, x + ref.Width(), y + 4), COLOR_BTNHIGHLIGHT);
    } else if (wraps) {
        // The row wraps after this separator: a divider across the whole row, drawn by the one at the start.
        TRect inner;
        w->GetInnerRect(inner);
        if (Bounds.left > inner.left) return;
        Line(dc, TRect(x - 2, y + 2, x + ref.Width() + 2, y + 3), COLOR_BTNSHADOW);
        Line(dc, TRect(x - 2, y + 3, x + ref.Width() + 2, y + 4), COLOR_BTNHIGHLIGHT);
    } else {
        Line(dc, TRect(x + 2, y, x + 3, y + ref.Height()), COLOR_BTNSHADOW);
        Line(dc, TRect(x + 3, y, x + 4, y + ref.Height()), COLOR_BTNHIGHLIGHT);
    }
}

TQSStatusSeparatorGadget::TQSStatusSeparatorGadget(int size, int inset, int extra)
    : TSeparatorGadget(size), Inset(inset), Width(GetSystemMetrics(SM_CXBORDER) * (inset + extra + 2)) {}

void TQSStatusSeparatorGadget::GetDesiredSize(TSize& size) {
    TSeparatorGadget::GetDesiredSize(size);
    size.cx = Width;
}

void TQSStatusSeparatorGadget::Paint(TDC& dc) {
    if (IsLastGadget(*this)) return;
    TSeparatorGadget::Paint(dc);
    int band = GetSystemMetrics(SM_CXBORDER) * (Inset + 2);
    int x = Bounds.left + band;
    Line(dc, TRect(x - 2, Bounds.top, x - 1, Bounds.bottom), COLOR_BTNSHADOW);
    Line(dc, TRect(x - 1, Bounds.top, x, Bounds.bottom), COLOR_BTNHIGHLIGHT);
}

// ---- the grip ----

TSizeGripGadget::TSizeGripGadget()
    : TGadget(kId, None), GripSize(std::max(GetSystemMetrics(SM_CYVSCROLL), GetSystemMetrics(SM_CXHSCROLL))) {
    SetEnabled(true);
}

bool TSizeGripGadget::IsShown() const {
    auto* bar = dynamic_cast<TStatusBar95*>(GetGadgetWindow());
    return bar != nullptr && bar->UpdateGripVisibility();
}

void TSizeGripGadget::GetDesiredSize(TSize& size) {
    size = TSize(IsShown() ? GripSize : 1, GripSize);
}

void TSizeGripGadget::Paint(TDC& dc) {
    if (!IsShown()) return;
    TRect inner;
    GetInnerRect(inner);
    dc.DrawFrameControl(
        TRect(inner.left, inner.top, inner.left + inner.Width() + 1, inner.top + inner.Height() + 1),
        DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
}

// ---- the status bar ----

DEFINE_RESPONSE_TABLE1(TStatusBar95, TStatusBar)
EV_MESSAGE(WM_NCCALCSIZE, EvNCCalcSize),
    EV_MESSAGE(WM_NCPAINT, EvNCPaint), EV_WM_NCHITTEST, END_RESPONSE_TABLE;

TStatusBar95::TStatusBar95(TWindow* parent, TGadget::TBorderStyle borderStyle, UINT modeIndicators,
                           TFont* font, TModule* module)
    : TStatusBar(parent, borderStyle, modeIndicators, font, module) {
    // The frame is a layout window: the style bits it reads say that the grip may show.
    Attr.Style = ((Attr.Style | WS_CLIPSIBLINGS) & ~WS_BORDER & ~kGripStyleMask) | kGripStyle;
    TMargins m;
    m.Left = 4;
    m.Right = 1;
    m.Top = 2;
    m.Bottom = 3;
    SetMargins(m);
    if (TGadget* text = FirstGadget()) {
        text->SetBorderStyle(TGadget::None);
        text->SetBorders(TGadget::TBorders{});
    }
    Grip = new TSizeGripGadget;
    TGadgetWindow::Insert(*Grip);
    ++NumModeIndicators;
}

TStatusBar95::~TStatusBar95() = default;

void TStatusBar95::Insert(TGadget& gadget, TPlacement placement, TGadget* sibling) {
    if (sibling == nullptr) {
        int index = NumGadgets() - NumModeIndicators - 1;
        if (index >= 0 && index < NumGadgets()) sibling = Gadgets[static_cast<size_t>(index)];
    }
    TGadgetWindow::Insert(gadget, placement, sibling);
}

void TStatusBar95::GetDesiredSize(TSize& size) {
    TStatusBar::GetDesiredSize(size);
    const int kBig = 10000;
    TRect r(0, 0, kBig, kBig);
    ComputeEdgeInsets(*this, r, Placement, 0);
    size.cx += kBig - r.Width();
    size.cy += kBig - r.Height();
}

void TStatusBar95::PositionGadgets() {
    TStatusBar::PositionGadgets();
    // The grip reaches one pixel past its place on every side, into the bar's corner.
    if (Grip) Grip->SetBounds(Grip->GetBounds().InflatedBy(1, 1));
}

void TStatusBar95::SetHintText(const char* text) {
    if (text == nullptr) {
        if (GlobalToolTip) GlobalToolTip->SetText(nullptr);
        TStatusBar::SetHintText(nullptr);
        return;
    }
    char buf[200];
    std::strncpy(buf, text, sizeof buf - 1);
    buf[sizeof buf - 1] = 0;
    char* second = std::strchr(buf, '\n');
    if (second) {
        *second++ = 0;
        if (char* end = std::strchr(second, '\n')) *end = 0;
    }
    if (HintToTipDepth == 0) {
        TStatusBar::SetHintText(buf);
    } else if (GlobalToolTip) {
        GlobalToolTip->SetText(second ? second : buf);
    }
}

bool TStatusBar95::UpdateGripVisibility() {
    if (!Handle) return false;
    TWindow* frame = FindMessageBoxOwner(this);
    if (frame == nullptr || !frame->GetHandle()) return false;
    if (dynamic_cast<TLayoutWindow*>(frame) != nullptr && (GetStyle() & kGripStyleMask) != kGripStyle)
        return false;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (GetWindowPlacement(frame->GetHandle(), &wp) && wp.showCmd == SW_SHOWMAXIMIZED) return false;
    return true;
}

LRESULT TStatusBar95::EvNCCalcSize(WPARAM, LPARAM lp) {
    LRESULT r = DefaultProcessing();
    if (auto* rect = reinterpret_cast<RECT*>(lp)) rect->top = std::min(rect->top + 2, rect->bottom);
    return r;
}

LRESULT TStatusBar95::EvNCPaint(WPARAM, LPARAM) {
    LRESULT r = DefaultProcessing();
    HDC dc = GetWindowDC(Handle);
    if (dc == nullptr) return r;
    TRect wr = GetWindowRect();
    Draw3dEdges(dc, TRect(0, 0, wr.Width(), wr.Height()), Placement);
    ReleaseDC(Handle, dc);
    return r;
}

LRESULT TStatusBar95::EvNCHitTest(const TPoint& p) {
    LRESULT hit = DefaultProcessing();
    if (Grip && Grip->GetEnabled() && Grip->IsShown()) {
        TPoint c = ScreenToClient(p);
        const TRect& b = Grip->GetBounds();
        if (c.x >= b.left && c.x <= b.right && c.y >= b.top && c.y <= b.bottom) return HTBOTTOMRIGHT;
    }
    return hit;
}
