#include "render/view/score_view.h"

#include <strings.h>
#include <algorithm>
#include <cstdlib>

#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/base/color_palette.h"
#include "score/base/fonts_data.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {
constexpr int kMaxLayoutHeight = 25000;
// The first record other than the segment start whose right edge reaches x; null past the records.
const TLayoutRecord* RecordAtX(const TStaffDrawInfo& staff, int x) {
    int right = 0;
    for (int i = 0; i < staff.GetRecordCount(); ++i) {
        right += staff.Record(i).Width;
        if (i > 0 && right >= x) return &staff.Record(i);
    }
    return nullptr;
}
// Mouse input carries none of these signature bits; pen and touch input carries all of them.
constexpr LPARAM kPenSignatureMask = static_cast<LPARAM>(0xFF515700u);
}  // namespace

void ScoreCaret::Draw(HDC dc) const {
    HPEN pen = CreatePen(Style, Width, Color);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    int oldRop = SetROP2(dc, Rop);
    Rectangle(dc, Rect.left, Rect.top, Rect.right, Rect.bottom);
    SetROP2(dc, oldRop);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void ScoreCaret::Toggle() {
    if (!Owner) return;
    HDC dc = GetDC(Owner);
    Draw(dc);
    ReleaseDC(Owner, dc);
}

TStaticScoreView::TStaticScoreView(TMusicScore* score, TColorPalette* palette, TWindow* parent, int id,
                                   const char* title, int x, int y, int w, int h, TModule* module)
    : Score(score), Palette(palette) {
    Init(parent, title, module);
    InitControl(id, x, y, w, h);
    Attr.Style |= WS_HSCROLL | WS_VSCROLL;
    Build();
}

TStaticScoreView::TStaticScoreView(TMusicScore* score, TColorPalette* palette, TWindow* parent,
                                   int resourceId, TModule* module)
    : Score(score), Palette(palette) {
    Init(parent, nullptr, module);
    InitFromResource(resourceId);
    DisableTransfer();
    Attr.Style |= WS_VSCROLL;
    Build();
}

TStaticScoreView::~TStaticScoreView() {
    DrawInfo.reset();
    Fonts.reset();
}

void TStaticScoreView::Build() {
    DrawInfo.reset();
    Fonts.reset();
    Position = TRelNtnIdx();
    Position.Reset();
    StaffSize = std::clamp(Score ? static_cast<int>(Score->Zoom) : 8, 2, 50);
    TMusicFontsData* data = Score ? Score->GetFontData() : nullptr;
    if (!data) {
        if (!OwnFontData) OwnFontData = std::make_unique<TMusicFontsData>();
        data = OwnFontData.get();
    }
    Fonts = std::make_unique<TMusicFonts>(StaffSize, data, Palette);
    if (Score) DrawInfo = std::make_unique<TScoreDrawInfo>(Score, Fonts.get(), 5, 1);
    XOrigin = 0;
    YOffset = 0;
    ShownMarks.clear();
    Dragging = false;
    DragAnchor = TPoint(-29999, -29999);
    LabelWidth = 3 * StaffSize;
    TopMargin = 5 * StaffSize;
    BottomMargin = 10 * StaffSize;
}

void TStaticScoreView::GetWindowClass(WNDCLASSA& wc) {
    TControl::GetWindowClass(wc);
    wc.style |= CS_HREDRAW | CS_VREDRAW;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

void TStaticScoreView::SetupWindow() {
    TControl::SetupWindow();
    TRect r = GetClientRect();
    Width = r.Width();
    Height = r.Height();
    Caret.Owner = Handle;
    Caret.Rect = TRect(r.left + 1, r.top + 1, r.right, r.bottom);
    Relayout();
}

void TStaticScoreView::SetScore(TMusicScore* score) {
    Score = score;
    Build();
    if (Handle) Relayout();
}

void TStaticScoreView::SetStaffSize(int n) {
    n = std::clamp(n, 2, 50);
    if (n == StaffSize) return;
    StaffSize = n;
    Fonts->SetStaffSpace(n);
    if (Score) Score->Zoom = n;
    LabelWidth = 3 * n;
    YOffset = 0;
    TopMargin = 5 * n;
    BottomMargin = 10 * n;
    if (Handle) Relayout();
}

void TStaticScoreView::Relayout() {
    if (!Score || !DrawInfo) return;
    TQSBoolArray& bits = Score->GetStaffVisibleBits();
    bool any = false;
    for (int i = 0; i < Score->GetStaffCount(); ++i)
        any = any || Score->IsStaffVisible(i);
    if (!any && Score->GetStaffCount() > 0) {
        TQSBoolArray group(kMaxStaves);
        Score->SelectStavesByGroup(Score->GetStaff(0)->GetGroup(), group);
        for (int i = 0; i < Score->GetStaffCount(); ++i)
            if (group.Get(i)) Score->SetStaffVisible(i, true);
        if (!Score->IsStaffVisible(0)) Score->SetStaffVisible(0, true);
    }
    Fonts->BeginMeasuring();
    DrawInfo->RemoveAllStaves();
    DrawInfo->AddVisibleStaves(bits, kMaxLayoutHeight);
    TMusicStaff* top = DrawInfo->GetStaffCount() > 0 ? DrawInfo->GetMusicStaff(0) : nullptr;
    if (top && Position.GetStaff() != top) {
        Position.SetStaff(top);
        Position.Reset();
    }
    if (DrawInfo->GetStaffCount() > 0) LabelWidth = DrawInfo->GetLabelWidth(true, true);
    Fonts->EndMeasuring();
    Refresh();
}

void TStaticScoreView::HideHiddenGroupStaves() {
    if (!Score) return;
    bool changed = false;
    for (int i = 0; i < Score->GetStaffCount(); ++i) {
        const char* group = Score->GetStaff(i)->GetGroup();
        if (Score->IsStaffVisible(i) && group && strncasecmp(group, "hidden", 6) == 0) {
            Score->SetStaffVisible(i, false);
            changed = true;
        }
    }
    if (changed && Handle) Relayout();
}

void TStaticScoreView::ShowStaffGroup(const char* name) {
    if (!Score || !name || !*name) return;
    TQSBoolArray bits(kMaxStaves);
    Score->SelectStavesByGroup(name, bits);
    for (int i = 0; i < Score->GetStaffCount(); ++i)
        if (bits.Get(i)) Score->SetStaffVisible(i, true);
    if (Handle) Relayout();
}

TMusicStaff* TStaticScoreView::GetLaidOutStaff(int i) const {
    return DrawInfo && i >= 0 && i < DrawInfo->GetStaffCount() ? DrawInfo->GetMusicStaff(i) : nullptr;
}

TNotatedItem* TStaticScoreView::GetItemOfStaff(int i, int itemIndex) const {
    TMusicStaff* staff = GetLaidOutStaff(i);
    if (!staff || itemIndex < 0 || itemIndex >= staff->GetItemCount()) return nullptr;
    return staff->GetItem(itemIndex);
}

TRect TStaticScoreView::GetStaffExtent(int i) const {
    return GetLaidOutDrawInfo(i) ? TRect(DrawInfo->GetStaffExtent(i)) : TRect();
}

int TStaticScoreView::StepToY(int i, int step) const {
    return GetLaidOutDrawInfo(i) ? DrawInfo->StepToY(i, step) : 0;
}

int TStaticScoreView::YToStep(int i, int y) const {
    return GetLaidOutDrawInfo(i) ? DrawInfo->YToStep(i, y - TopMargin) : 0;
}

bool TStaticScoreView::IsStaffRowVisible(int i) const {
    if (!GetLaidOutDrawInfo(i)) return false;
    int y = DrawInfo->GetStaffY(i) + YOffset + TopMargin;
    return y < Height - 2 * StaffSize;
}

void TStaticScoreView::Refresh() {
    PrepareLayout();
    UpdateHorzBar();
    UpdateVertBar();
    if (Handle) Invalidate(true);
}

int TStaticScoreView::PositionX() const {
    TStaffDrawInfo* top = GetLaidOutDrawInfo(0);
    return top ? top->XOfItem(Position.GetIndex()) : 0;
}

void TStaticScoreView::PrepareLayout() {
    if (!DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    Fonts->BeginMeasuring();
    DrawInfo->FormatAllFromTime(Position.GetTime(), Width);
    DrawInfo->PrepareAlignment();
    Fonts->EndMeasuring();
    int x = PositionX();
    int s = StaffSize;
    if (GetLaidOutDrawInfo(0)->HasItemRecord(0))
        XOrigin = LabelWidth - x;
    else
        XOrigin = x >= 3 * s ? 3 * s - x : 0;
}

int TStaticScoreView::GetTopStaffItemCount() const {
    TStaffDrawInfo* top = GetLaidOutDrawInfo(0);
    return top && top->GetStaff() ? top->GetStaff()->GetItemCount() : 0;
}

TStaffDrawInfo* TStaticScoreView::GetLaidOutDrawInfo(int i) const {
    if (!DrawInfo || i < 0 || i >= DrawInfo->GetStaffCount()) return nullptr;
    return DrawInfo->GetStaffDrawInfo(i);
}

void TStaticScoreView::UpdateHorzBar() {
    if (!Handle || !HorzBarShown) return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    int count = GetTopStaffItemCount();
    if (count == 0) {
        si.fMask = SIF_DISABLENOSCROLL;
    } else {
        int page = Width / (2 * StaffSize) + 1;
        si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        si.nMin = 0;
        si.nMax = count + page;
        si.nPage = static_cast<UINT>(page);
        si.nPos = Position.GetIndex();
    }
    SetScrollInfo(SB_HORZ, si, true);
}

int TStaticScoreView::GetVertExtent() const {
    int h = DrawInfo ? DrawInfo->GetSystemHeight() : 0;
    return std::max(0, h + TopMargin + BottomMargin - Height);
}

void TStaticScoreView::UpdateVertBar() {
    if (!Handle || !VertBarShown) return;
    int extent = GetVertExtent();
    if (extent < -YOffset) {
        YOffset = -extent;
        Invalidate(true);
    }
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    if (extent > 0) {
        si.nMax = extent + Height / 2;
        si.nPage = static_cast<UINT>(Height / 2);
        si.nPos = -YOffset;
    } else {
        si.fMask |= SIF_DISABLENOSCROLL;  // an empty range: nothing to scroll
    }
    SetScrollInfo(SB_VERT, si, true);
}

void TStaticScoreView::ScrollToIndex(int time) {
    TRelNtnIdx next = Position;
    int from = next.GetTime();
    next.SeekTime(time, true);
    // The seek stops at the first position at or after the time; one more step lands on the step
    // boundary on the side the view moves from: past the time forward, at or before it back.
    if (time > from && next.GetTime() < time)
        next.StepToNextTime(1);
    else if (time < from && next.GetTime() > time)
        next.StepToNextTime(-1);
    if (next.GetTime() == Position.GetTime() && next.GetIndex() == Position.GetIndex()) return;
    Position = next;
    Refresh();
}

void TStaticScoreView::VScrollBy(int d) {
    bool frame = CaretEnabled && GetFocus() == Handle && !Caret.Hidden;
    if (frame) Caret.Toggle();
    int extent = GetVertExtent();
    int old = YOffset;
    YOffset = std::clamp(YOffset - d, -extent, 0);
    UpdateVertBar();
    int dy = std::abs(old) - std::abs(YOffset);
    if (dy) ScrollWindow(0, dy);
    // The frame goes back before the uncovered strip is painted, which draws the frame's part in it.
    if (frame) Caret.Toggle();
    if (dy) UpdateWindow();
}

void TStaticScoreView::Paint(TDC& dc, bool, TRect&) {
    if (!DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    PaintScore(dc);
    DrawShownMarks(dc);
    if (CaretEnabled && !Caret.Hidden) Caret.Draw(dc);
}

void TStaticScoreView::PaintScore(TDC& dc) {
    // The whole width is drawn, clipped to the DC: the items drawn are those of a full paint, also those
    // outside the rectangle that reach into it.
    TDrawExtent extent;
    extent.Init(Width);
    extent.Left = 0;
    Fonts->AttachDC(dc, dc);
    DrawInfo->DrawSystem(extent, XOrigin, YOffset + TopMargin, -1);
    if (GetLaidOutDrawInfo(0)->HasItemRecord(0))
        DrawInfo->DrawStaffLabels(XOrigin - LabelWidth, YOffset + TopMargin, LabelWidth);
    Fonts->DetachDC();
}

TViewPlayPosition* TStaticScoreView::ShownMark(int scoreStaff) {
    if (scoreStaff < 0) return nullptr;
    if (static_cast<size_t>(scoreStaff) >= ShownMarks.size())
        ShownMarks.resize(static_cast<size_t>(scoreStaff) + 1);
    return &ShownMarks[static_cast<size_t>(scoreStaff)];
}

void TStaticScoreView::DrawShownMarks(TDC& dc) {
    if (ShownMarks.empty()) return;
    Fonts->AttachDC(dc, dc);
    for (int i = DrawInfo->GetStaffCount() - 1; i >= 0; --i) {
        TStaffDrawInfo* staff = GetLaidOutDrawInfo(i);
        int scoreStaff = staff ? Score->FindStaffIndex(staff->GetStaff()) : -1;
        if (scoreStaff < 0 || static_cast<size_t>(scoreStaff) >= ShownMarks.size()) continue;
        const TViewPlayPosition& at = ShownMarks[static_cast<size_t>(scoreStaff)];
        if (at.Index < 0) continue;
        staff->DrawPlayMark(XOrigin, YOffset + TopMargin, TStaffStartPosition{at.Index, at.RestBars},
                            PALETTE_PLAY_HIGHLIGHT, 0);
    }
    Fonts->DetachDC();
}

void TStaticScoreView::DrawPlayPosition(TDC& dc, const TPlayPositionSource& player) {
    if (!DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    for (int i = 0; i < DrawInfo->GetStaffCount(); ++i) {
        TStaffDrawInfo* staff = GetLaidOutDrawInfo(i);
        int scoreStaff = staff ? Score->FindStaffIndex(staff->GetStaff()) : -1;
        if (TViewPlayPosition* shown = ShownMark(scoreStaff)) player.GetStaffPosition(*shown, scoreStaff);
    }
    DrawShownMarks(dc);
}

void TStaticScoreView::FollowPlayPosition(const TPlayPositionSource& player) {
    if (!Handle || !DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    TStaffDrawInfo* top = GetLaidOutDrawInfo(0);
    int topStaff = top ? Score->FindStaffIndex(top->GetStaff()) : -1;
    TViewPlayPosition playing;
    if (topStaff >= 0) player.GetStaffPosition(playing, topStaff);
    // The marks as they will stand, so that a repaint caused by following the play position draws them.
    TRect rows;
    bool any = false;
    for (int i = DrawInfo->GetStaffCount() - 1; i >= 0; --i) {
        TStaffDrawInfo* staff = GetLaidOutDrawInfo(i);
        int scoreStaff = staff ? Score->FindStaffIndex(staff->GetStaff()) : -1;
        if (scoreStaff < 0) continue;
        TViewPlayPosition before, now;
        player.GetStaffLastPosition(before, scoreStaff);
        player.GetStaffPosition(now, scoreStaff);
        bool moved = !(before == now || (before.Index <= 0 && now.Index <= 0));
        // A mark shown where the performance no longer stands (a rewound player reports no move) goes too.
        TViewPlayPosition* shown = ShownMark(scoreStaff);
        TViewPlayPosition want = now.Index > 0 ? now : TViewPlayPosition();
        if (!moved && *shown == want) continue;
        *shown = want;
        TRect extent = GetStaffExtent(i);
        int rowTop = extent.top + YOffset + TopMargin - 6 * StaffSize;
        int rowBottom = extent.bottom + YOffset + TopMargin + 6 * StaffSize;
        if (!any) rows = TRect(0, rowTop, Width, rowBottom);
        rows.top = std::min<int>(rows.top, rowTop);
        rows.bottom = std::max<int>(rows.bottom, rowBottom);
        any = true;
    }
    if (playing.Index >= 0 && Position.GetStaff() == top->GetStaff()) {
        TRelNtnIdx at = Position;
        at.Seek(playing.Index);
        if (DWORD rest = player.GetStaffRestOffsetTicks(topStaff))
            at.SeekTime(at.GetTime() + static_cast<int>(rest), true);
        int x = top->XOfItem(at.GetIndex());
        int u = Fonts->GetGlyphWidth(glFilledHead);
        bool outside = x < 0 || x == 0x7fffffff || XOrigin + x < 2 * u || XOrigin + x > Width - 2 * u;
        if (outside) {
            at.StepToNextTime(-1);
            int time = Position.GetTime();
            ScrollToIndex(at.GetTime());
            // The whole window is drawn again, marks included.
            if (Position.GetTime() != time) return;
        }
    }
    // The rows of the staves whose marks move are painted again with the marks drawn once on them, so
    // that a mark is never erased by drawing over it.
    if (!any) return;
    rows.top = std::max<int>(rows.top, 0);
    rows.bottom = std::min<int>(rows.bottom, Height);
    if (rows.top >= rows.bottom) return;
    TClientDC dc(Handle);
    dc.IntersectClipRect(rows);
    dc.FillRect(rows, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PaintScore(dc);
    DrawShownMarks(dc);
    if (CaretEnabled && !Caret.Hidden) Caret.Draw(dc);
}

void TStaticScoreView::EnableCaret(bool on) {
    CaretEnabled = on;
    if (!Handle) return;
    bool show = on && GetFocus() == Handle;
    if (show == !Caret.Hidden) return;
    Caret.Hidden = show ? 0 : 1;
    Caret.Toggle();
}

void TStaticScoreView::ShowHorzScrollBar(bool on) {
    if (on == HorzBarShown) return;
    HorzBarShown = on;
    if (!Handle) return;
    ShowScrollBar(SB_HORZ, on);
    if (on) {
        SetFocus();
        UpdateHorzBar();
    }
}

void TStaticScoreView::ShowVertScrollBar(bool on) {
    if (on == VertBarShown) return;
    VertBarShown = on;
    if (!Handle) return;
    ShowScrollBar(SB_VERT, on);
    if (on) UpdateVertBar();
}

void TStaticScoreView::SetLayoutOption(bool on) {
    LayoutOption = on;
    if (Handle) Relayout();
}

// ---- input ----

void TStaticScoreView::EvLButtonDown(UINT, const TPoint& p) {
    SetFocus();
    if ((GetMessageExtraInfo() & kPenSignatureMask) == kPenSignatureMask) return;
    DragAnchor = p;
    Dragging = true;
    SetCapture();
}

void TStaticScoreView::EndDrag() {
    if (!Dragging) return;
    Dragging = false;
    if (::GetCapture() == Handle) ReleaseCapture();
}

void TStaticScoreView::EvLButtonUp(UINT, const TPoint&) {
    EndDrag();
}

void TStaticScoreView::EvLButtonDblClk(UINT, const TPoint&) {
    ZoomBy(2);
}

void TStaticScoreView::EvCaptureChanged(HWND gets) {
    if (gets != Handle) Dragging = false;
    TControl::EvCaptureChanged(gets);
}

void TStaticScoreView::EvMouseMove(UINT modKeys, const TPoint& p) {
    if (!Dragging) return;
    if (modKeys & MK_LBUTTON)
        DragTo(p);
    else
        EndDrag();
}

void TStaticScoreView::DragTo(const TPoint& p) {
    int dy = p.y - DragAnchor.y;
    if (dy != 0 && VertBarShown && GetVertExtent() > 0) {
        VScrollBy(-dy);
        DragAnchor.y = p.y;
    }
    int dx = p.x - DragAnchor.x;
    TStaffDrawInfo* top = GetLaidOutDrawInfo(0);
    if (!top || std::abs(dx) <= 3 * StaffSize) return;
    // Dragging to the left moves forward. The steps are the time positions that the drag's length spans
    // from the position's x on.
    int dir = dx >= 0 ? -1 : 1;
    int reach = PositionX() + std::abs(dx);
    int time = top->IndexAtX(reach);
    int n = 0;
    for (TRelNtnIdx ahead = Position; ahead.GetTime() < time && ahead.CanStepInRests(1); ++n)
        ahead.StepToNextTime(1);
    // At the segment's last item position the drag forward has nowhere to go.
    if (n == 0 && dir > 0 && RecordAtX(*top, reach) == top->GetLastItemPositionRecord()) return;
    TRelNtnIdx next = Position;
    for (int i = 0; i < n; ++i)
        next.StepToNextTime(dir);
    if (next.GetIndex() == Position.GetIndex() && next.GetBarInMultiRest() == Position.GetBarInMultiRest())
        next.StepToNextTime(dir);
    ScrollToIndex(next.GetTime());
    DragAnchor.x = p.x;
}

void TStaticScoreView::EvSize(UINT sizeType, const TSize& size) {
    TControl::EvSize(sizeType, size);
    Caret.Rect = TRect(1, 1, size.cx, size.cy);
    int grew = size.cy - Height;
    Width = size.cx;
    Height = size.cy;
    if (grew > 0 && YOffset < 0) YOffset = std::min(0, YOffset + grew);
    Refresh();
}

void TStaticScoreView::EvKeyDown(UINT key, UINT repeatCount, UINT) {
    bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    int s = StaffSize, h = Height;
    for (UINT i = 0; i < std::max(1u, repeatCount); ++i) {
        switch (key) {
            case VK_PRIOR:
                VScrollBy(-(h / 2));
                break;
            case VK_NEXT:
                VScrollBy(h / 2);
                break;
            case VK_END:
                if (ctrl)
                    VScrollBy(GetVertExtent());
                else  // the last item: the count itself is one past it
                    EvHScroll(SB_THUMBPOSITION, static_cast<UINT>(std::max(0, GetTopStaffItemCount() - 1)),
                              nullptr);
                break;
            case VK_HOME:
                if (ctrl)
                    VScrollBy(-GetVertExtent());
                else
                    EvHScroll(SB_THUMBPOSITION, 0, nullptr);
                break;
            case VK_LEFT:
                EvHScroll(ctrl ? SB_LINELEFT : SB_PAGELEFT, 0, nullptr);
                break;
            case VK_RIGHT:
                EvHScroll(ctrl ? SB_LINERIGHT : SB_PAGERIGHT, 0, nullptr);
                break;
            case VK_UP:
                VScrollBy(ctrl ? -6 * s : -s);
                break;
            case VK_DOWN:
                VScrollBy(ctrl ? 6 * s : s);
                break;
            default:  // other keys (the media keys among them) take the window's default course
                DefaultProcessing();
                return;
        }
    }
}

void TStaticScoreView::EvHScroll(UINT code, UINT thumbPos, HWND) {
    TRelNtnIdx next = Position;
    switch (code) {
        case SB_LINELEFT:
            next.StepToNextTime(-1);
            break;
        case SB_LINERIGHT:
            next.StepToNextTime(1);
            break;
        case SB_PAGELEFT:
            next.StepToNextBar(-1);
            break;
        case SB_PAGERIGHT:
            next.StepToNextBar(1);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            next.Seek(static_cast<int>(thumbPos));
            break;
        default:
            return;
    }
    ScrollToIndex(next.GetTime());
}

void TStaticScoreView::EvVScroll(UINT code, UINT thumbPos, HWND) {
    int s = StaffSize, h = Height;
    switch (code) {
        case SB_LINEUP:
            VScrollBy(-s);
            break;
        case SB_LINEDOWN:
            VScrollBy(s);
            break;
        case SB_PAGEUP:
            VScrollBy(-(h / 2));
            break;
        case SB_PAGEDOWN:
            VScrollBy(h / 2);
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            VScrollBy(static_cast<int>(thumbPos) - std::abs(YOffset));
            break;
        default:
            break;
    }
}

void TStaticScoreView::EvSetFocus(HWND lost) {
    TControl::EvSetFocus(lost);
    if (CaretEnabled) Caret.Hidden = 0;
    Invalidate(true);
}

void TStaticScoreView::EvKillFocus(HWND gets) {
    TControl::EvKillFocus(gets);
    if (CaretEnabled && !Caret.Hidden) {
        Caret.Toggle();
        Caret.Hidden = 1;
    }
}

bool TStaticScoreView::EvMouseWheel(UINT modKeys, int zDelta, const TPoint&) {
    if (modKeys & MK_CONTROL)
        ZoomBy(zDelta < 0 ? -2 : 2);
    else if (!(modKeys & MK_SHIFT) && VertBarShown)
        VScrollBy(-(zDelta / 4));
    return true;
}

LRESULT TStaticScoreView::EvGetDlgCode(const MSG*) {
    return DLGC_WANTARROWS;
}

DEFINE_RESPONSE_TABLE1(TStaticScoreView, TControl)
EV_WM_LBUTTONDOWN, EV_WM_LBUTTONUP, EV_WM_LBUTTONDBLCLK, EV_WM_MOUSEMOVE, EV_WM_SIZE, EV_WM_KEYDOWN,
    EV_WM_HSCROLL, EV_WM_VSCROLL, EV_WM_SETFOCUS, EV_WM_KILLFOCUS, EV_WM_MOUSEWHEEL, EV_WM_GETDLGCODE,
    EV_WM_CAPTURECHANGED, END_RESPONSE_TABLE;
