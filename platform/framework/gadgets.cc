#include "platform/framework/gadgets.h"

#include <algorithm>

// ---- gadgets ----

TGadget::TGadget(int id, TBorderStyle style) : Id(id), BorderStyle(style) {
    SetBorderStyle(style);
}

TGadget::~TGadget() {
    if (Window) Window->Remove(*this);
}

void TGadget::SetBorderStyle(TBorderStyle style) {
    BorderStyle = style;
    int w = style == None ? 0 : (style == Embossed ? 2 : 1);
    Borders = {w, w, w, w};
}

void TGadget::SetBounds(const TRect& bounds) {
    if (bounds == Bounds) return;
    Invalidate();
    Bounds = bounds;
    Invalidate();
}

void TGadget::SetEnabled(bool enabled) {
    if (Enabled == enabled) return;
    Enabled = enabled;
    Invalidate();
}

void TGadget::GetDesiredSize(TSize& size) {
    size = TSize(Borders.Left + Borders.Right, Borders.Top + Borders.Bottom);
}

void TGadget::GetInnerRect(TRect& rect) {
    rect = TRect(Bounds.left + Borders.Left, Bounds.top + Borders.Top, Bounds.right - Borders.Right,
                 Bounds.bottom - Borders.Bottom);
}

void TGadget::Paint(TDC& dc) {
    PaintBorder(dc);
}

void TGadget::PaintBorder(TDC& dc) {
    if (BorderStyle == None || Bounds.IsEmpty()) return;
    TColor hi = TColor::Sys3dHilight(), sh = TColor::Sys3dShadow();
    if (BorderStyle == Plain) {
        TBrush frame(TColor::SysWindowFrame());
        dc.FrameRect(Bounds, frame);
        return;
    }
    TColor topLeft = BorderStyle == Raised ? hi : sh;
    TColor bottomRight = BorderStyle == Raised ? sh : hi;
    TBrush tl(topLeft), br(bottomRight);
    dc.FillRect(TRect(Bounds.left, Bounds.top, Bounds.right, Bounds.top + 1), tl);
    dc.FillRect(TRect(Bounds.left, Bounds.top, Bounds.left + 1, Bounds.bottom), tl);
    dc.FillRect(TRect(Bounds.left, Bounds.bottom - 1, Bounds.right, Bounds.bottom), br);
    dc.FillRect(TRect(Bounds.right - 1, Bounds.top, Bounds.right, Bounds.bottom), br);
    if (BorderStyle == Embossed) {
        TRect in = Bounds.InflatedBy(-1, -1);
        dc.FillRect(TRect(in.left, in.top, in.right, in.top + 1), br);
        dc.FillRect(TRect(in.left, in.top, in.left + 1, in.bottom), br);
        dc.FillRect(TRect(in.left, in.bottom - 1, in.right, in.bottom), tl);
        dc.FillRect(TRect(in.right - 1, in.top, in.right, in.bottom), tl);
    }
}

void TGadget::Invalidate(bool erase) {
    InvalidateRect(Bounds, erase);
}

void TGadget::InvalidateRect(const TRect& rect, bool erase) {
    if (Window && Window->GetHandle() && !rect.IsEmpty()) Window->InvalidateRect(rect, erase);
}

void TGadget::Update() {
    if (Window && Window->GetHandle()) Window->UpdateWindow();
}

void TGadget::MouseEnter(UINT, const TPoint&) {
    MouseInGadget = true;
}
void TGadget::MouseLeave(UINT, const TPoint&) {
    MouseInGadget = false;
}
void TGadget::MouseMove(UINT, const TPoint&) {}
void TGadget::LButtonDown(UINT, const TPoint&) {}
void TGadget::LButtonUp(UINT, const TPoint&) {}

TSeparatorGadget::TSeparatorGadget(int size) : TGadget(0, None), Size(size) {
    Enabled = false;
}

void TSeparatorGadget::GetDesiredSize(TSize& size) {
    size = TSize(Size, Size);
}

TTextGadget::TTextGadget(int id, TBorderStyle style, TAlign align, UINT numChars, const char* text)
    : TGadget(id, style), Text(text ? text : ""), Align(align), NumChars(numChars) {}

void TTextGadget::SetText(const char* text) {
    std::string t = text ? text : "";
    if (t == Text) return;
    Text = t;
    Invalidate();
}

void TTextGadget::GetDesiredSize(TSize& size) {
    TGadget::GetDesiredSize(size);
    if (!Window) return;
    size.cx += static_cast<int>(NumChars) * Window->GetAveCharWidth() + 4;
    size.cy += Window->GetFontHeight() + 2;
}

void TTextGadget::Paint(TDC& dc) {
    PaintBorder(dc);
    TRect inner;
    GetInnerRect(inner);
    TBrush face(TColor::Sys3dFace());
    dc.FillRect(inner, face);
    if (Text.empty() || !Window) return;
    HFONT font = Window->GetFont();
    HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(TColor::SysBtnText());
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX |
                  (Align == Center  ? DT_CENTER
                   : Align == Right ? DT_RIGHT
                                    : DT_LEFT);
    TRect text = inner.InflatedBy(-2, 0);
    dc.DrawText(Text.c_str(), -1, text, format);
    if (old) ::SelectObject(dc, old);
}

TControlGadget::TControlGadget(TWindow& control, TBorderStyle style)
    : TGadget(control.Attr.Id, style), Control(&control) {}

TControlGadget::~TControlGadget() {
    if (Window) Window->Remove(*this);
    delete Control;
}

void TControlGadget::SetBounds(const TRect& bounds) {
    TGadget::SetBounds(bounds);
    if (Control->GetHandle()) {
        TRect inner;
        GetInnerRect(inner);
        Control->MoveWindow(inner, true);
    }
}

void TControlGadget::GetDesiredSize(TSize& size) {
    TGadget::GetDesiredSize(size);
    TRect r = Control->GetHandle() ? Control->GetWindowRect() : TRect(0, 0, Control->Attr.W, Control->Attr.H);
    size.cx += r.Width();
    size.cy += r.Height();
}

void TControlGadget::Inserted() {
    if (Control->GetParentO() != Window) Control->SetParent(Window);
    Control->Attr.Style |= WS_CHILD | WS_VISIBLE;
    if (Window->GetHandle() && !Control->GetHandle()) Control->Create();
}

void TControlGadget::Removed() {
    if (Control->GetParentO() == Window) Control->SetParent(nullptr);
}

// ---- gadget window ----

TGadgetWindow::TGadgetWindow(TWindow* parent, TTileDirection direction, TFont* font, TModule* module) {
    Init(parent, nullptr, module);
    InitGadgetWindow(direction, font);
}

void TGadgetWindow::InitGadgetWindow(TTileDirection direction, TFont* font) {
    Direction = direction;
    Font = font ? font : new TFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), false);
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    Margins = {2, 2, 2, 2};
}

TGadgetWindow::~TGadgetWindow() {
    while (!Gadgets.empty()) {
        TGadget* g = Gadgets.back();
        Remove(*g);
        delete g;
    }
    delete Font;
}

void TGadgetWindow::GetWindowClass(WNDCLASSA& wc) {
    TWindow::GetWindowClass(wc);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
}

void TGadgetWindow::SetupWindow() {
    TWindow::SetupWindow();
    for (TGadget* g : Gadgets)
        g->Inserted();
    LayoutSession();
}

void TGadgetWindow::SetFont(TFont* font) {
    delete Font;
    Font = font;
    LayoutSession();
}

int TGadgetWindow::GetFontHeight() const {
    TCreatedDC dc("DISPLAY");
    HGDIOBJ old = ::SelectObject(dc, GetFont());
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    ::SelectObject(dc, old);
    return tm.tmHeight;
}

int TGadgetWindow::GetAveCharWidth() const {
    TCreatedDC dc("DISPLAY");
    HGDIOBJ old = ::SelectObject(dc, GetFont());
    TEXTMETRICA tm{};
    dc.GetTextMetrics(tm);
    ::SelectObject(dc, old);
    return tm.tmAveCharWidth;
}

void TGadgetWindow::Insert(TGadget& gadget, TPlacement placement, TGadget* sibling) {
    auto it = sibling ? std::find(Gadgets.begin(), Gadgets.end(), sibling) : Gadgets.end();
    if (it == Gadgets.end())
        it = placement == Before && !sibling ? Gadgets.begin() : Gadgets.end();
    else if (placement == After)
        ++it;
    Gadgets.insert(it, &gadget);
    gadget.Window = this;
    if (Handle) {
        gadget.Inserted();
        LayoutSession();
    }
}

TGadget* TGadgetWindow::Remove(TGadget& gadget) {
    auto it = std::find(Gadgets.begin(), Gadgets.end(), &gadget);
    if (it == Gadgets.end()) return nullptr;
    if (Capture == &gadget) GadgetReleaseCapture(gadget);
    if (AtMouse == &gadget) AtMouse = nullptr;
    gadget.Invalidate();
    Gadgets.erase(it);
    gadget.Removed();
    gadget.Window = nullptr;
    if (Handle) LayoutSession();
    return &gadget;
}

TGadget* TGadgetWindow::NextGadget(const TGadget& gadget) const {
    auto it = std::find(Gadgets.begin(), Gadgets.end(), &gadget);
    if (it == Gadgets.end() || ++it == Gadgets.end()) return nullptr;
    return *it;
}

TGadget* TGadgetWindow::GadgetWithId(int id) const {
    for (TGadget* g : Gadgets)
        if (g->GetId() == id) return g;
    return nullptr;
}

TGadget* TGadgetWindow::GadgetFromPoint(const TPoint& p) const {
    for (TGadget* g : Gadgets)
        if (g->PtIn(p)) return g;
    return nullptr;
}

bool TGadgetWindow::GadgetSetCapture(TGadget& gadget) {
    if (Capture) return false;
    Capture = &gadget;
    SetCapture();
    return true;
}

namespace {

// Asks the window system for WM_MOUSELEAVE once the pointer leaves the window.
void TrackLeave(HWND wnd) {
    TRACKMOUSEEVENT t{sizeof(TRACKMOUSEEVENT), TME_LEAVE, wnd, 0};
    TrackMouseEvent(&t);
}

}  // namespace

void TGadgetWindow::GadgetReleaseCapture(TGadget& gadget) {
    if (Capture != &gadget) return;
    Capture = nullptr;
    if (::GetCapture() == Handle) ReleaseCapture();
    // A release off the window: the gadget the pointer was on hears of the leaving now.
    if (AtMouse && Handle) TrackLeave(Handle);
}

void TGadgetWindow::SetMargins(const TMargins& margins) {
    Margins = margins;
    LayoutSession();
}

void TGadgetWindow::SetDirection(TTileDirection direction) {
    if (Direction == direction) return;
    Direction = direction;
    LayoutSession();
}

void TGadgetWindow::SetHintCommand(int id) {
    for (TWindow* w = GetParentO(); w; w = w->GetParentO())
        if (auto* frame = dynamic_cast<TDecoratedFrame*>(w)) {
            frame->SetHintCommand(id);
            return;
        }
}

void TGadgetWindow::GetDesiredSize(TSize& size) {
    int along = 0, across = 0;
    for (TGadget* g : Gadgets) {
        TSize s;
        g->GetDesiredSize(s);
        if (Direction == Horizontal) {
            along += s.cx;
            across = std::max<int>(across, s.cy);
        } else {
            along += s.cy;
            across = std::max<int>(across, s.cx);
        }
    }
    if (Direction == Horizontal)
        size = TSize(along + Margins.Left + Margins.Right, across + Margins.Top + Margins.Bottom);
    else
        size = TSize(across + Margins.Left + Margins.Right, along + Margins.Top + Margins.Bottom);
}

void TGadgetWindow::GetInnerRect(TRect& rect) {
    TRect c = Handle ? GetClientRect() : TRect(0, 0, Attr.W, Attr.H);
    rect =
        TRect(c.left + Margins.Left, c.top + Margins.Top, c.right - Margins.Right, c.bottom - Margins.Bottom);
}

void TGadgetWindow::PositionGadgets() {
    TRect inner;
    GetInnerRect(inner);
    int fixed = 0, wide = 0;
    for (TGadget* g : Gadgets) {
        TSize s;
        g->GetDesiredSize(s);
        if (g->WideAsPossible)
            ++wide;
        else
            fixed += Direction == Horizontal ? s.cx : s.cy;
    }
    int room = (Direction == Horizontal ? inner.Width() : inner.Height()) - fixed;
    int pos = Direction == Horizontal ? inner.left : inner.top;
    for (TGadget* g : Gadgets) {
        TSize s;
        g->GetDesiredSize(s);
        int len = Direction == Horizontal ? s.cx : s.cy;
        if (g->WideAsPossible) len = std::max(0, wide ? room / wide : 0);
        if (Direction == Horizontal)
            g->SetBounds(TRect(pos, inner.top, pos + len, inner.bottom));
        else
            g->SetBounds(TRect(inner.left, pos, inner.right, pos + len));
        pos += len;
    }
}

void TGadgetWindow::LayoutSession() {
    if (!Handle || InLayout) return;
    InLayout = true;
    TSize want;
    GetDesiredSize(want);
    TRect r = GetWindowRect();
    int have = Direction == Horizontal ? r.Height() : r.Width();
    int need = Direction == Horizontal ? want.cy : want.cx;
    if (have != need) {
        auto* layout = dynamic_cast<TLayoutManager*>(GetParentO());
        TLayoutMetrics m;
        if (layout && layout->GetChildLayoutMetrics(*this, m)) {
            if (Direction == Horizontal)
                m.Height.Absolute(need);
            else
                m.Width.Absolute(need);
            layout->SetChildLayoutMetrics(*this, m);
            layout->Layout();
        } else {
            TPoint p(r.left, r.top);
            if (HWND parent = GetParentH()) ::ScreenToClient(parent, &p);
            if (Direction == Horizontal)
                MoveWindow(p.x, p.y, r.Width(), need, true);
            else
                MoveWindow(p.x, p.y, need, r.Height(), true);
        }
    }
    PositionGadgets();
    InLayout = false;
}

bool TGadgetWindow::IdleAction(LONG idleCount) {
    if (idleCount == 0)
        for (TGadget* g : std::vector<TGadget*>(Gadgets))
            g->CommandEnable();
    return TWindow::IdleAction(idleCount);
}

void TGadgetWindow::Paint(TDC& dc, bool, TRect& rect) {
    for (TGadget* g : Gadgets)
        if (g->GetBounds().Touches(rect)) g->Paint(dc);
}

void TGadgetWindow::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (!InLayout) PositionGadgets();
}

void TGadgetWindow::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (Capture) {
        Capture->MouseMove(modKeys, p);
        return;
    }
    TrackLeave(Handle);
    TGadget* g = GadgetFromPoint(p);
    if (g != AtMouse) {
        if (AtMouse) {
            AtMouse->MouseLeave(modKeys, p);
            if (HintMode == EnterHints) SetHintCommand(-1);
        }
        AtMouse = g;
        if (g) {
            g->MouseEnter(modKeys, p);
            if (HintMode == EnterHints && g->GetEnabled()) SetHintCommand(g->GetId());
        }
    }
    if (g) g->MouseMove(modKeys, p);
    TWindow::EvMouseMove(modKeys, p);
}

void TGadgetWindow::EvLButtonDown(UINT modKeys, const TPoint& p) {
    TGadget* g = GadgetFromPoint(p);
    if (!g || !g->GetEnabled()) {
        TWindow::EvLButtonDown(modKeys, p);
        return;
    }
    if (g->TrackMouse) GadgetSetCapture(*g);
    if (HintMode == PressHints) SetHintCommand(g->GetId());
    g->LButtonDown(modKeys, p);
}

void TGadgetWindow::EvLButtonUp(UINT modKeys, const TPoint& p) {
    if (TGadget* c = Capture) {
        c->LButtonUp(modKeys, p);
        if (Capture == c) GadgetReleaseCapture(*c);
        if (HintMode == PressHints) SetHintCommand(-1);
        return;
    }
    TGadget* g = GadgetFromPoint(p);
    if (g && g->GetEnabled()) {
        g->LButtonUp(modKeys, p);
        if (HintMode == PressHints) SetHintCommand(-1);
        return;
    }
    TWindow::EvLButtonUp(modKeys, p);
}

void TGadgetWindow::EvLButtonDblClk(UINT modKeys, const TPoint& p) {
    EvLButtonDown(modKeys, p);
}

void TGadgetWindow::EvCaptureChanged(HWND gets) {
    // Someone else took the mouse: the tracking gadget's press ends without a release.
    if (Capture && gets != Handle) Capture = nullptr;
    TWindow::EvCaptureChanged(gets);
}

void TGadgetWindow::EvMouseLeave() {
    if (Capture || !AtMouse) return;
    POINT pt{0, 0};
    GetCursorPos(&pt);
    ::ScreenToClient(Handle, &pt);
    TGadget* g = AtMouse;
    AtMouse = nullptr;
    g->MouseLeave(0, TPoint(pt.x, pt.y));
    if (HintMode == EnterHints) SetHintCommand(-1);
}

void TGadgetWindow::EvSysColorChange() {
    for (TGadget* g : Gadgets)
        g->SysColorChange();
    Invalidate();
    TWindow::EvSysColorChange();
}

DEFINE_RESPONSE_TABLE1(TGadgetWindow, TWindow)
EV_WM_SIZE, EV_WM_MOUSEMOVE, EV_WM_LBUTTONDOWN, EV_WM_LBUTTONUP, EV_WM_LBUTTONDBLCLK, EV_WM_CAPTURECHANGED,
    EV_WM_SYSCOLORCHANGE, QSM_EV(WM_MOUSELEAVE, self_.EvMouseLeave(); return 0;), END_RESPONSE_TABLE;

// ---- bars ----

TControlBar::TControlBar(TWindow* parent, TTileDirection direction, TFont* font, TModule* module) {
    Init(parent, nullptr, module);
    InitGadgetWindow(direction, font);
    Margins = {6, 6, 2, 2};
}

TMessageBar::TMessageBar(TWindow* parent, TFont* font, TModule* module) {
    Init(parent, nullptr, module);
    InitGadgetWindow(Horizontal, font);
    InitMessageBar();
}

void TMessageBar::InitMessageBar() {
    Attr.Id = IDW_STATUSBAR;
    HintMode = NoHints;
    auto* g = new TTextGadget(0, TGadget::None, TTextGadget::Left, 10);
    g->WideAsPossible = true;
    Insert(*g);
}

TTextGadget* TMessageBar::MessageGadget() const {
    return Gadgets.empty() ? nullptr : dynamic_cast<TTextGadget*>(Gadgets.front());
}

void TMessageBar::SetText(const char* text) {
    Text = text ? text : "";
    if (!HintShown)
        if (TTextGadget* g = MessageGadget()) g->SetText(Text.c_str());
}

void TMessageBar::SetHintText(const char* text) {
    HintShown = text != nullptr;
    HintText = text ? text : "";
    // A hint is "long\nshort": the bar shows the long line.
    if (size_t nl = HintText.find('\n'); nl != std::string::npos) HintText.resize(nl);
    if (TTextGadget* g = MessageGadget()) g->SetText(HintShown ? HintText.c_str() : Text.c_str());
}

void TMessageBar::GetDesiredSize(TSize& size) {
    TGadgetWindow::GetDesiredSize(size);
    if (HighlightLine) size.cy += 1;
}

void TMessageBar::Paint(TDC& dc, bool erase, TRect& rect) {
    if (HighlightLine) {
        TBrush hi(TColor::Sys3dHilight());
        TRect c = GetClientRect();
        dc.FillRect(TRect(c.left, c.top, c.right, c.top + 1), hi);
    }
    TGadgetWindow::Paint(dc, erase, rect);
}

TStatusBar::TStatusBar(TWindow* parent, TGadget::TBorderStyle borderStyle, UINT modeIndicators, TFont* font,
                       TModule* module)
    : BorderStyle(borderStyle) {
    Init(parent, nullptr, module);
    InitGadgetWindow(Horizontal, font);
    InitMessageBar();
    if (TTextGadget* g = MessageGadget()) g->SetBorderStyle(borderStyle);
    static const char* const kIndicators[] = {"EXT", "CAPS", "NUM", "SCRL", "OVR", "REC"};
    for (int i = 0; i < 6; ++i)
        if (modeIndicators & (1u << i)) {
            TGadgetWindow::Insert(*new TTextGadget(0, borderStyle, TTextGadget::Center, 4, kIndicators[i]));
            ++NumModeIndicators;
        }
}

void TStatusBar::Insert(TGadget& gadget, TPlacement placement, TGadget* sibling) {
    if (!sibling && NumModeIndicators > 0 && placement == After) {
        TGadget* firstIndicator = Gadgets[Gadgets.size() - static_cast<size_t>(NumModeIndicators)];
        TGadgetWindow::Insert(gadget, Before, firstIndicator);
        return;
    }
    TGadgetWindow::Insert(gadget, placement, sibling);
}
