#include "ui/slider.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "ui/edge_border.h"

namespace {

int MulDivDown(int a, int b, int c) {
    return static_cast<int>(static_cast<int64_t>(a) * b / c);
}

}  // namespace

DEFINE_RESPONSE_TABLE1(TQSSlider, TScrollBar)
EV_WM_LBUTTONDOWN, EV_WM_LBUTTONDBLCLK, EV_WM_MOUSEMOVE, EV_WM_LBUTTONUP, EV_WM_KEYDOWN, EV_WM_KEYUP,
    EV_WM_SETFOCUS, EV_WM_KILLFOCUS, EV_WM_CAPTURECHANGED, EV_WM_ERASEBKGND, END_RESPONSE_TABLE;

TQSSlider::TQSSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId, TModule* module,
                     bool horizontal)
    : ThumbResId(thumbResId),
      ChannelThickness(horizontal ? 17 : 14),
      BkColor(GetSysColor(COLOR_BTNFACE)),
      CreatedByCode(true),
      Horizontal(horizontal) {
    Init(parent, nullptr, module);
    InitControl(id, x, y, w, h);
    ThumbRect = horizontal ? TRect(0, 0, 9, 20) : TRect(0, 0, 20, 9);
    CaretRect = horizontal ? TRect(3, 3, 6, 16) : TRect(3, 3, 17, 6);
    // The default range, set without the virtual setter: the geometry is not there yet.
    TQSSlider::SetRangeFields(0, 100);
    TicGap = Range / 10;
}

TQSSlider::TQSSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module, bool horizontal)
    : ThumbResId(thumbResId),
      ChannelThickness(horizontal ? 17 : 14),
      BkColor(GetSysColor(COLOR_BTNFACE)),
      CreatedByCode(false),
      Horizontal(horizontal) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    ThumbRect = horizontal ? TRect(0, 0, 9, 20) : TRect(0, 0, 20, 9);
    CaretRect = horizontal ? TRect(3, 3, 6, 16) : TRect(3, 3, 17, 6);
    // The default range, set without the virtual setter: the geometry is not there yet.
    TQSSlider::SetRangeFields(0, 100);
    TicGap = Range / 10;
}

TQSSlider::~TQSSlider() = default;

void TQSSlider::SetupWindow() {
    // The range lives here, not in a system scroll bar.
    TControl::SetupWindow();
    LoadThumb();
    LastPos = -1;
    SetPosition(Pos);
}

void TQSSlider::LoadThumb() {
    TModule* module = Module ? Module : &TModule::GetDefault();
    Thumb = std::make_unique<TDib>(module->GetInstance(), ThumbResId);
}

UINT TQSSlider::Transfer(void* buffer, TTransferDirection direction) {
    TScrollBarData d{};
    if (direction == tdGetData) {
        d = {Min, Max, Pos};
        std::memcpy(buffer, &d, sizeof d);
    } else if (direction == tdSetData) {
        std::memcpy(&d, buffer, sizeof d);
        SetRange(d.LowValue, d.HighValue);
        SetPosition(d.Position);
    }
    return sizeof d;
}

void TQSSlider::SetRangeFields(int min, int max) {
    Min = min;
    Max = max;
    Range = std::max(max - min, min - max);
    if (Range == 0) Range = 1;
    LastPos = -1;
}

void TQSSlider::SetRange(int min, int max) {
    SetRangeFields(min, max);
    SetPosition(Pos);
}

void TQSSlider::SetRuler(int ticGap, bool snap) {
    TicGap = ticGap;
    Snap = snap;
    if (Handle) Invalidate();
}

void TQSSlider::SetShowTics(bool tics) {
    Tics = tics;
    if (Handle) Invalidate();
}

void TQSSlider::SetChannelThickness(int thickness) {
    ChannelThickness = thickness;
    if (Handle) Invalidate();
}

void TQSSlider::SetThumbRgn(TRegion* region) {
    ThumbRgn.reset(region);
}

int TQSSlider::SnapPos(int pos) const {
    int lo = std::min(Min, Max), hi = std::max(Min, Max);
    pos = std::clamp(pos, lo, hi);
    // Without a tic interval there is nothing to snap to.
    if (Snap && TicGap > 0) {
        pos = (pos - Min + TicGap / 2) / TicGap * TicGap + Min;
        pos = std::clamp(pos, lo, hi);
    }
    return pos;
}

void TQSSlider::SetPosition(int pos) {
    pos = SnapPos(pos);
    if (pos != LastPos && Handle) {
        if (Dragging && DragDC) {
            MoveThumb(*DragDC, pos);
        } else {
            TClientDC dc(Handle);
            TakeBackground(dc);
            MoveThumb(dc, pos);
        }
    } else if (!Handle) {
        TPoint origin = PosToPoint(pos);
        ThumbRect = TRect(origin.x, origin.y, origin.x + ThumbRect.Width(), origin.y + ThumbRect.Height());
    }
    Pos = pos;
    LastPos = pos;
}

void TQSSlider::NotifyParent(int code, int pos) {
    HWND parent = GetParentH();
    if (parent == nullptr) return;
    ::SendMessageA(parent, Horizontal ? WM_HSCROLL : WM_VSCROLL,
                   MAKEWPARAM(static_cast<WORD>(code), static_cast<WORD>(pos)),
                   reinterpret_cast<LPARAM>(Handle));
}

void TQSSlider::Fill(const TDC& dc, const TRect& r, TColor c) {
    if (r.IsEmpty()) return;
    dc.SetBkColor(c);
    dc.ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0);
}

void TQSSlider::TakeBackground(TDC& dc) {
    dc.SetBkColor(TColor(GetSysColor(COLOR_BTNFACE)));
    if (HWND parent = GetParentH())
        ::SendMessageA(parent, WM_CTLCOLORSCROLLBAR, reinterpret_cast<WPARAM>(dc.GetHandle()),
                       reinterpret_cast<LPARAM>(Handle));
    BkColor = dc.GetBkColor();
}

void TQSSlider::MoveThumb(TDC& dc, int pos) {
    TRect old = ThumbRect;
    TPoint origin = PosToPoint(pos);
    ThumbRect = TRect(origin.x, origin.y, origin.x + old.Width(), origin.y + old.Height());
    bool caret = HasCaret;
    if (caret) HideCaret(Handle);
    // What the thumb uncovered gets the channel and tics again, then the thumb shows at its new place.
    int saved = dc.SaveDC();
    dc.IntersectClipRect(old);
    dc.ExcludeClipRect(ThumbRect);
    PaintChannel(dc);
    if (Tics) PaintTics(dc);
    dc.RestoreDC(saved);
    PaintThumb(dc);
    if (caret) {
        PlaceCaret();
        ShowCaret(Handle);
    }
}

LRESULT TQSSlider::EvEraseBkgnd(HDC) {
    return 1;  // Paint covers every pixel
}

void TQSSlider::Paint(TDC& dc, bool, TRect&) {
    if (HasCaret) HideCaret(Handle);
    TakeBackground(dc);
    PaintChannel(dc);
    if (Tics) PaintTics(dc);
    PaintThumb(dc);
    if (HasCaret) {
        PlaceCaret();
        ShowCaret(Handle);
    }
}

void TQSSlider::PaintChannel(TDC& dc) {
    TRect client = GetClientRect();
    Fill(dc, client, BkColor);
    TRect channel;
    if (Horizontal) {
        int mid = ThumbRect.top + ThumbRect.Height() / 2;
        int half = ThumbRect.Width() / 2;
        channel = TRect(half, mid - ChannelThickness / 2, client.right - half,
                        mid - ChannelThickness / 2 + ChannelThickness);
    } else {
        int mid = ThumbRect.left + ThumbRect.Width() / 2;
        int half = ThumbRect.Height() / 2;
        channel = TRect(mid - ChannelThickness / 2, half, mid - ChannelThickness / 2 + ChannelThickness,
                        client.bottom - half);
    }
    if (channel.Width() > 0 && channel.Height() > 0) EdgeBorder(channel, EdgeBorder::Style{10}, 63).Paint(dc);
}

void TQSSlider::PaintThumb(TDC& dc) {
    if (!Thumb || !Thumb->IsOK()) return;
    int half = Thumb->Width() / 2;
    bool normal = !Dragging && IsWindowEnabled();
    TDib image(*Thumb);
    image.SetColor(15, BkColor);
    SetDIBitsToDevice(dc, ThumbRect, TPoint(normal ? 0 : half, 0), image);
}

void TQSSlider::PlaceCaret() {
    SetCaretPos(ThumbRect.left + CaretRect.left, ThumbRect.top + CaretRect.top);
}

void TQSSlider::EvLButtonDown(UINT, const TPoint& p) {
    if (CreatedByCode && GetFocus() != Handle) SetFocus();
    int code = HitTest(p);
    if (code >= SB_LINEUP && code <= SB_PAGEDOWN) {
        NotifyParent(code, 0);
    } else if (code == SB_THUMBPOSITION) {
        NotifyParent(code, SnapPos(PointToPos(p)));
    } else if (code == SB_THUMBTRACK) {
        Dragging = true;
        SetCapture();
        if (HasCaret) HideCaret(Handle);
        DragDC = std::make_unique<TClientDC>(Handle);
        TakeBackground(*DragDC);
        PaintThumb(*DragDC);
        GrabOffset = TPoint(p.x - ThumbRect.left, p.y - ThumbRect.top);
        int pos = SnapPos(PointToPos(TPoint(p.x - GrabOffset.x, p.y - GrabOffset.y)));
        NotifyParent(SB_BEGINDRAG, pos);
        NotifyParent(SB_THUMBTRACK, pos);
    }
}

void TQSSlider::EvLButtonDblClk(UINT modKeys, const TPoint& p) {
    // A quick second press pages or jumps again, as the first did.
    EvLButtonDown(modKeys, p);
}

void TQSSlider::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (!Dragging) return;
    if (modKeys & MK_LBUTTON)
        NotifyParent(SB_THUMBTRACK, SnapPos(PointToPos(TPoint(p.x - GrabOffset.x, p.y - GrabOffset.y))));
    else
        EndDrag(p);
}

void TQSSlider::EvLButtonUp(UINT, const TPoint& p) {
    if (Dragging) EndDrag(p);
}

void TQSSlider::EndDrag(const TPoint& p) {
    int pos = SnapPos(PointToPos(TPoint(p.x - GrabOffset.x, p.y - GrabOffset.y)));
    Dragging = false;
    NotifyParent(SB_THUMBPOSITION, pos);
    if (DragDC) PaintThumb(*DragDC);
    DragDC.reset();
    if (::GetCapture() == Handle) ReleaseCapture();
    if (HasCaret) {
        PlaceCaret();
        ShowCaret(Handle);
    }
    NotifyParent(SB_ENDSCROLL, pos);
}

void TQSSlider::EvCaptureChanged(HWND gets) {
    // Another window took the mouse during a drag: the drag ends where the thumb was last reported.
    if (Dragging && gets != Handle) {
        POINT cursor{};
        GetCursorPos(&cursor);
        EndDrag(ScreenToClient(cursor));
    }
}

void TQSSlider::EvKeyDown(UINT key, UINT repeatCount, UINT) {
    int code;
    switch (key) {
        case VK_PRIOR:
            code = SB_PAGEUP;
            break;
        case VK_NEXT:
            code = SB_PAGEDOWN;
            break;
        case VK_END:
            code = SB_BOTTOM;
            break;
        case VK_HOME:
            code = SB_TOP;
            break;
        case VK_LEFT:
        case VK_UP:
            code = SB_LINEUP;
            break;
        case VK_RIGHT:
        case VK_DOWN:
            code = SB_LINEDOWN;
            break;
        default:
            DefaultProcessing();
            return;
    }
    KeyDown = key;
    for (UINT i = 0; i < std::max(1u, repeatCount); ++i)
        NotifyParent(code, Pos);
}

void TQSSlider::EvKeyUp(UINT key, UINT, UINT) {
    if (KeyDown != 0 && key == KeyDown) {
        KeyDown = 0;
        NotifyParent(SB_ENDSCROLL, Pos);
        return;
    }
    DefaultProcessing();
}

void TQSSlider::EvSetFocus(HWND) {
    CreateCaret(Handle, reinterpret_cast<HBITMAP>(1), CaretRect.Width(), CaretRect.Height());
    PlaceCaret();
    ShowCaret(Handle);
    HasCaret = true;
}

void TQSSlider::EvKillFocus(HWND) {
    if (!HasCaret) return;
    HideCaret(Handle);
    DestroyCaret();
    HasCaret = false;
}

// ---- horizontal ----

TQSHSlider::TQSHSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId, TModule* module)
    : TQSSlider(parent, id, x, y, w, h == 0 ? 32 : h, thumbResId, module, true) {}

TQSHSlider::TQSHSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module)
    : TQSSlider(parent, resourceId, thumbResId, module, true) {}

int TQSHSlider::TrackLength() const {
    int width = Handle ? GetClientRect().Width() : Attr.W;
    return width - ThumbRect.Width();
}

int TQSHSlider::PointToPos(const TPoint& p) const {
    int track = TrackLength();
    // A slider no wider than its thumb has no track: every point is the minimum.
    if (track <= 1) return Min;
    return MulDivDown(p.x, Range, track) + Min;
}

TPoint TQSHSlider::PosToPoint(int pos) const {
    int track = TrackLength();
    if (track <= 0) return TPoint(0, ThumbRect.top);
    return TPoint(MulDivDown(track, pos - Min, Range), ThumbRect.top);
}

int TQSHSlider::HitTest(const TPoint& p) const {
    bool inThumb = ThumbRgn ? ThumbRgn->Contains(TPoint(p.x - ThumbRect.left, p.y - ThumbRect.top))
                            : ThumbRect.Contains(p);
    if (inThumb) return SB_THUMBTRACK;
    if (!Tics) return SB_THUMBPOSITION;
    if (p.y >= ThumbRect.bottom) return SB_THUMBPOSITION;
    if (p.x < ThumbRect.left) return SB_PAGEUP;
    if (p.x < ThumbRect.right) return kNoHit;
    return SB_PAGEDOWN;
}

void TQSHSlider::PaintTics(TDC& dc) {
    TRect client = GetClientRect();
    TColor dark(GetSysColor(COLOR_BTNTEXT)), light(GetSysColor(COLOR_BTNHIGHLIGHT));
    Fill(dc, TRect(0, ThumbRect.bottom, client.right, client.bottom), BkColor);
    int h = ThumbRect.Width() / 2;
    int y0 = ThumbRect.Height() + 1;
    auto mark = [&](int x, int lightHeight) {
        Fill(dc, TRect(x, y0, x + 1, y0 + 5), dark);
        Fill(dc, TRect(x + 1, y0, x + 2, y0 + lightHeight), light);
    };
    if (TicGap <= 0) {
        mark(PosToPoint(Min).x + h, 5);
    } else {
        for (int64_t p = Min; p < Max; p += TicGap)
            mark(PosToPoint(static_cast<int>(p)).x + h, 5);
    }
    mark(client.right - h - 1, 6);
    Fill(dc, TRect(h, y0 + 5, client.right - h, y0 + 6), dark);
    Fill(dc, TRect(h, y0 + 6, client.right - h, y0 + 7), light);
}

// ---- vertical ----

TQSVSlider::TQSVSlider(TWindow* parent, int id, int x, int y, int w, int h, int thumbResId, TModule* module)
    : TQSSlider(parent, id, x, y, w == 0 ? 32 : w, h, thumbResId, module, false) {
    int width = Attr.W;
    ThumbRect = TRect((width - 20) / 2, 0, (width - 20) / 2 + 20, 9);
}

TQSVSlider::TQSVSlider(TWindow* parent, int resourceId, int thumbResId, TModule* module)
    : TQSSlider(parent, resourceId, thumbResId, module, false) {}

void TQSVSlider::SetupWindow() {
    int width = GetClientRect().Width();
    int left = (width - ThumbRect.Width()) / 2;
    ThumbRect = TRect(left, ThumbRect.top, left + ThumbRect.Width(), ThumbRect.bottom);
    TQSSlider::SetupWindow();
}

int TQSVSlider::TrackLength() const {
    int height = Handle ? GetClientRect().Height() : Attr.H;
    return height - ThumbRect.Height();
}

int TQSVSlider::PointToPos(const TPoint& p) const {
    int track = TrackLength();
    if (track <= 1) return Min;
    return MulDivDown(p.y, Range, track) + Min;
}

TPoint TQSVSlider::PosToPoint(int pos) const {
    int track = TrackLength();
    if (track <= 0) return TPoint(ThumbRect.left, 0);
    return TPoint(ThumbRect.left, MulDivDown(track, pos - Min, Range));
}

int TQSVSlider::HitTest(const TPoint& p) const {
    bool inThumb = ThumbRgn ? ThumbRgn->Contains(TPoint(p.x - ThumbRect.left, p.y - ThumbRect.top))
                            : ThumbRect.Contains(p);
    if (inThumb) return SB_THUMBTRACK;
    if (p.x >= ThumbRect.right || p.x < ThumbRect.left) return SB_THUMBPOSITION;
    if (p.y < ThumbRect.top) return SB_PAGEUP;
    if (p.y < ThumbRect.bottom) return kNoHit;
    return SB_PAGEDOWN;
}

void TQSVSlider::PaintTics(TDC& dc) {
    TRect client = GetClientRect();
    int w = client.Width();
    TColor dark(GetSysColor(COLOR_BTNTEXT)), light(GetSysColor(COLOR_BTNHIGHLIGHT));
    int m = (w - ThumbRect.Width() - 2) / 2;
    if (m <= 0) return;
    Fill(dc, TRect(0, 0, m + 1, client.bottom), BkColor);
    Fill(dc, TRect(w - m - 1, 0, w, client.bottom), BkColor);
    int half = ThumbRect.Height() / 2;
    auto marks = [&](int y) {
        Fill(dc, TRect(0, y, m, y + 1), dark);
        Fill(dc, TRect(w - m - 1, y, w - 1, y + 1), dark);
        Fill(dc, TRect(1, y + 1, 1 + m, y + 2), light);
        Fill(dc, TRect(w - m, y + 1, w, y + 2), light);
    };
    if (TicGap <= 0) {
        marks(PosToPoint(Min).y + half);
    } else {
        for (int64_t p = Min; p < Max; p += TicGap)
            marks(PosToPoint(static_cast<int>(p)).y + half);
    }
    marks(client.bottom - half - 1);
}
