#include "render/view/score_view.h"

#include <strings.h>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "render/base/color_palette.h"
#include "render/base/fonts_data.h"
#include "render/layout/item_painter.h"
#include "render/layout/score_draw_info.h"
#include "render/layout/staff_connects.h"
#include "render/layout/staff_draw_info.h"
#include "render/music_fonts.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"

namespace {
constexpr int kMaxLayoutHeight = 25000;
// How far, in staff sizes, drawing may reach to the right of the record that draws it (text expressions,
// lyrics, the decorations and lead-ins at a segment's start).
constexpr int kDrawingReach = 32;
// Drawing x minus client x after a full repaint whose segment starts left of the window, and the least
// value that scrolling may take it to. Drawing code takes a segment start at a drawing x above 0 for one
// in view, so the shift keeps every drawing x of such a segment negative.
constexpr int kDrawShiftBase = -16384;
constexpr int kDrawShiftLeast = -32768;
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
    qsm::InstallNotationDrawing();
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
    DrawShift = XOrigin > 0 ? 0 : kDrawShiftBase;
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

// What one layout shows in the window, in client coordinates. Two pictures whose contents differ only by
// a horizontal shift draw the same pixels shifted, so the pixels can be moved instead of drawn again.
struct TStaticScoreView::TShownPicture {
    struct Record {
        TLayoutRecord Rec;
        int X;
    };
    struct Staff {
        TMusicStaff* Music = nullptr;
        int Y = 0;
        int StartX = 0;
        // A hairpin begun before the segment is drawn from the segment's first note: its shape depends on
        // where the segment starts.
        bool HairpinFromBefore = false;
        // Hairpins that start in the segment: their first and last item and the x of both ends' records
        // (INT_MAX for an end past the segment, which is then drawn to where the segment ends).
        struct Hairpin {
            int First, Last, X1, X2;
        };
        std::vector<Hairpin> Hairpins;
        // Where the first syllable stands: a hyphen before it is drawn halfway from the segment's start.
        int FirstSyllableX = INT_MIN;
        std::vector<Record> Records;
        std::vector<TStaffSlur> Slurs;
        std::vector<TStaffConnect> Beams, Triplets;
    };
    bool Valid = false;
    int YOffset = 0, Width = 0, Height = 0, StaffSize = 0, SystemHeight = 0;
    std::vector<Staff> Staves;
};

void TStaticScoreView::CapturePicture(TShownPicture& out) {
    out = TShownPicture();
    if (!DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    out.Valid = true;
    out.YOffset = YOffset;
    out.Width = Width;
    out.Height = Height;
    out.StaffSize = StaffSize;
    out.SystemHeight = DrawInfo->GetSystemHeight();
    for (int i = 0; i < DrawInfo->GetStaffCount(); ++i) {
        TStaffDrawInfo* si = DrawInfo->GetStaffDrawInfo(i);
        TShownPicture::Staff& st = out.Staves.emplace_back();
        st.Music = si->GetStaff();
        st.Y = si->Y;
        st.StartX = XOrigin;
        int x = XOrigin;
        int hairpinEnd = 0;
        for (int k = 0; k < si->GetRecordCount(); ++k) {
            const TLayoutRecord& r = si->Record(k);
            st.Records.push_back({r, x});
            if (st.FirstSyllableX == INT_MIN && r.GetSyllable() > 0 && st.Music && st.Music->GetLyrics())
                st.FirstSyllableX = x;
            x += r.Width;
        }
        // The hairpins as the staff's drawing finds them: from a marked note past the last one's run.
        for (int k = 0; k < si->GetRecordCount() && st.Music; ++k) {
            const TLayoutRecord& r = si->Record(k);
            if (r.GetKind() == lkSegmentStart || r.ItemIndex <= hairpinEnd) continue;
            auto* note = dynamic_cast<TSongNote*>(si->ItemOf(r));
            if (!note || !(note->HasAttribute(naCrescendo) || note->HasAttribute(naDiminuendo))) continue;
            TStaffItemRange run(st.Music, r.ItemIndex, r.ItemIndex);
            StaffHairpinRunExtent(run, r.ItemIndex);
            if (!run.IsValid()) continue;
            if (st.Hairpins.empty() && run.First < r.ItemIndex) st.HairpinFromBefore = true;
            int x2 = INT_MAX;
            for (int e = k; e < si->GetRecordCount(); ++e)
                if (si->Record(e).ItemIndex == run.Last && si->Record(e).GetKind() != lkSegmentStart) {
                    x2 = st.Records[static_cast<size_t>(e)].X;
                    break;
                }
            st.Hairpins.push_back({r.ItemIndex, run.Last, st.Records[static_cast<size_t>(k)].X, x2});
            hairpinEnd = run.Last;
        }
    }
}

void TStaticScoreView::CaptureConnects(TShownPicture& out, int drawShift) {
    if (!out.Valid) return;
    int y = YOffset + TopMargin;
    Fonts->BeginMeasuring();
    for (int i = 0; i < DrawInfo->GetStaffCount() && i < static_cast<int>(out.Staves.size()); ++i) {
        TStaffDrawInfo* si = DrawInfo->GetStaffDrawInfo(i);
        TShownPicture::Staff& st = out.Staves[static_cast<size_t>(i)];
        Fonts->OriginY = y + si->Y;
        si->BuildSlurs(XOrigin + drawShift, y);
        st.Slurs.clear();
        st.Beams.clear();
        st.Triplets.clear();
        for (int k = 0; k < si->Slurs.GetCount(); ++k)
            st.Slurs.push_back(si->Slurs[k]);
        for (int k = 0; k < si->Beams.GetCount(); ++k)
            st.Beams.push_back(si->Beams[k]);
        for (int k = 0; k < si->Triplets.GetCount(); ++k)
            st.Triplets.push_back(si->Triplets[k]);
    }
    Fonts->EndMeasuring();
}

namespace {

bool SameRecord(const TLayoutRecord& a, const TLayoutRecord& b) {
    return a.KindAndFlags == b.KindAndFlags && a.AccidentalSpace == b.AccidentalSpace &&
           a.ChordLayout == b.ChordLayout && a.MidBarClef == b.MidBarClef && a.ItemIndex == b.ItemIndex &&
           a.Count == b.Count && a.Width == b.Width && a.Time == b.Time;
}

bool SameConnect(const TStaffConnect& a, const TStaffConnect& b, int dx) {
    return a.Flags == b.Flags && a.First == b.First && a.Last == b.Last && a.X0 + dx == b.X0 &&
           a.Y0 == b.Y0 && a.X1 + dx == b.X1 && a.Slope == b.Slope;
}

bool SameSlur(const TStaffSlur& a, const TStaffSlur& b, int dx) {
    const Bezier2 &p = a.Curve, &q = b.Curve;
    return a.Flags == b.Flags && a.First == b.First && a.Last == b.Last && p.x0 + dx == q.x0 &&
           p.y0 == q.y0 && p.x1 + dx == q.x1 && p.y1 == q.y1 && p.x2 + dx == q.x2 && p.y2 == q.y2;
}

bool Meets(int a0, int a1, int lo, int hi) {
    return std::max(a0, a1) >= lo && std::min(a0, a1) <= hi;
}

// The elements of both lists that reach into [lo, hi] (the first list moved by dx) are the same.
template <class T, class Span, class Same>
bool SameInRange(const std::vector<T>& a, const std::vector<T>& b, int dx, int lo, int hi, Span span,
                 Same same) {
    size_t i = 0, j = 0;
    for (;;) {
        while (i < a.size() && !span(a[i], dx, lo, hi))
            ++i;
        while (j < b.size() && !span(b[j], 0, lo, hi))
            ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (!same(a[i], b[j], dx)) return false;
        ++i;
        ++j;
    }
}

}  // namespace

bool TStaticScoreView::FindPictureShift(const TShownPicture& before, const TShownPicture& after,
                                        int& dx) const {
    dx = 0;
    if (!before.Valid || !after.Valid || before.YOffset != after.YOffset || before.Width != after.Width ||
        before.Height != after.Height || before.StaffSize != after.StaffSize ||
        before.SystemHeight != after.SystemHeight || before.Staves.size() != after.Staves.size())
        return false;
    // The shift: where an item of the top staff shown in the new picture stood in the old one.
    const auto& oldTop = before.Staves[0].Records;
    bool found = false;
    for (const auto& r : after.Staves[0].Records) {
        if (!r.Rec.IsItemPosition() || r.X < 0 || r.X >= after.Width) continue;
        for (const auto& o : oldTop) {
            if (SameRecord(o.Rec, r.Rec)) {
                dx = r.X - o.X;
                found = true;
                break;
            }
        }
        if (found) break;
    }
    if (!found || std::abs(dx) >= after.Width) return false;
    // The part of the window that shows moved pixels, widened by what drawing may reach.
    int reach = kDrawingReach * after.StaffSize;
    int lo = std::max(0, dx) - reach, hi = std::min(after.Width, after.Width + dx) + reach;
    auto recordSpan = [](const TShownPicture::Record& r, int d, int l, int h) {
        return Meets(r.X + d, r.X + d + r.Rec.Width, l, h);
    };
    auto sameRecord = [](const TShownPicture::Record& a, const TShownPicture::Record& b, int d) {
        return a.X + d == b.X && SameRecord(a.Rec, b.Rec);
    };
    using THairpin = TShownPicture::Staff::Hairpin;
    auto hairpinSpan = [](const THairpin& h, int d, int l, int hi2) {
        return Meets(h.X1 + d, h.X2 == INT_MAX ? INT_MAX : h.X2 + d, l, hi2);
    };
    // A hairpin that runs past the segment is drawn to the segment's end, which moves: never the same.
    auto sameHairpin = [](const THairpin& a, const THairpin& b, int d) {
        return a.X2 != INT_MAX && b.X2 != INT_MAX && a.First == b.First && a.Last == b.Last &&
               a.X1 + d == b.X1 && a.X2 + d == b.X2;
    };
    for (size_t i = 0; i < after.Staves.size(); ++i) {
        const TShownPicture::Staff &a = before.Staves[i], &b = after.Staves[i];
        if (a.Music != b.Music || a.Y != b.Y || a.HairpinFromBefore || b.HairpinFromBefore) return false;
        // What a segment draws at its start stays out of the window.
        if (a.StartX + dx >= 0 || b.StartX >= 0) return false;
        if ((a.FirstSyllableX != INT_MIN && a.FirstSyllableX + dx >= lo) ||
            (b.FirstSyllableX != INT_MIN && b.FirstSyllableX >= lo))
            return false;
        if (!SameInRange(a.Records, b.Records, dx, lo, hi, recordSpan, sameRecord) ||
            !SameInRange(a.Hairpins, b.Hairpins, dx, lo, hi, hairpinSpan, sameHairpin))
            return false;
    }
    return true;
}

bool TStaticScoreView::SameConnects(const TShownPicture& before, const TShownPicture& after, int dx) const {
    // Both are built in drawing coordinates, which the shift keeps: the same shapes have the same numbers.
    int reach = kDrawingReach * after.StaffSize;
    int lo = std::max(0, dx) - reach + DrawShift - dx,
        hi = std::min(after.Width, after.Width + dx) + reach + DrawShift - dx;
    auto connectSpan = [](const TStaffConnect& c, int d, int l, int h) {
        return Meets(c.X0 + d, c.X1 + d, l, h);
    };
    auto slurSpan = [](const TStaffSlur& s, int d, int l, int h) {
        const Bezier2& c = s.Curve;
        return Meets(std::min({c.x0, c.x1, c.x2}) + d, std::max({c.x0, c.x1, c.x2}) + d, l, h);
    };
    for (size_t i = 0; i < after.Staves.size(); ++i) {
        const TShownPicture::Staff &a = before.Staves[i], &b = after.Staves[i];
        if (!SameInRange(a.Slurs, b.Slurs, 0, lo, hi, slurSpan, SameSlur) ||
            !SameInRange(a.Beams, b.Beams, 0, lo, hi, connectSpan, SameConnect) ||
            !SameInRange(a.Triplets, b.Triplets, 0, lo, hi, connectSpan, SameConnect))
            return false;
    }
    return true;
}

void TStaticScoreView::ScrollToIndex(int time) {
    TRelNtnIdx next = Position;
    if (next.GetTime() == time) return;
    bool forward = time > next.GetTime();
    next.SeekTime(time, true);
    if (next.GetTime() < time && forward) next.StepToNextTime(1);
    if (next.GetTime() == Position.GetTime() && next.GetIndex() == Position.GetIndex()) return;
    TShownPicture before, after;
    if (Handle) {
        CapturePicture(before);
        CaptureConnects(before, DrawShift);
    }
    Position = next;
    PrepareLayout();
    UpdateHorzBar();
    UpdateVertBar();
    if (!Handle) return;
    // The pixels still shown move; only the strip they leave is drawn again. The system is drawn in
    // coordinates that move with the pixels, so that shapes computed from absolute positions (slurs) come
    // out the same in the strip as in the moved pixels.
    CapturePicture(after);
    int dx = 0;
    bool shift = FindPictureShift(before, after, dx) && XOrigin + DrawShift - dx <= 0 &&
                 DrawShift - dx >= kDrawShiftLeast;
    if (shift) {
        CaptureConnects(after, DrawShift - dx);
        shift = SameConnects(before, after, dx);
    }
    if (!shift) {
        DrawShift = XOrigin > 0 ? 0 : kDrawShiftBase;
        Invalidate(true);
        return;
    }
    if (dx == 0) return;
    DrawShift -= dx;
    bool frame = CaretEnabled && !Caret.Hidden;
    if (frame) Caret.Toggle();
    ScrollWindow(dx, 0);
    if (frame) Caret.Toggle();
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
    if (CaretEnabled && !Caret.Hidden) Caret.Draw(dc);
}

void TStaticScoreView::PaintScore(TDC& dc) {
    TPoint origin;
    dc.SetWindowOrg(TPoint(DrawShift, 0), &origin);
    // The whole width is drawn, clipped to the rectangle: the items drawn are those of a full paint, also
    // those past the rectangle that reach into it.
    TDrawExtent extent;
    extent.Init(Width + DrawShift);
    extent.Left = DrawShift;
    int x = XOrigin + DrawShift;
    Fonts->AttachDC(dc, dc);
    DrawInfo->DrawSystem(extent, x, YOffset + TopMargin, -1);
    if (GetLaidOutDrawInfo(0)->HasItemRecord(0))
        DrawInfo->DrawStaffLabels(x - LabelWidth, YOffset + TopMargin, LabelWidth);
    Fonts->DetachDC();
    dc.SetWindowOrg(origin);
}

void TStaticScoreView::DrawPlayMarks(TDC& dc, const TPlayPositionSource& player, bool onlyAboveZero) {
    TPoint origin;
    dc.SetWindowOrg(TPoint(DrawShift, 0), &origin);
    Fonts->AttachDC(dc, dc);
    for (int i = DrawInfo->GetStaffCount() - 1; i >= 0; --i) {
        TStaffDrawInfo* staff = GetLaidOutDrawInfo(i);
        int scoreStaff = staff ? Score->FindStaffIndex(staff->GetStaff()) : -1;
        if (scoreStaff < 0) continue;
        TViewPlayPosition at;
        player.GetStaffPosition(at, scoreStaff);
        if (at.Index < (onlyAboveZero ? 1 : 0)) continue;
        staff->DrawPlayMark(XOrigin + DrawShift, YOffset + TopMargin,
                            TStaffStartPosition{at.Index, at.RestBars}, PALETTE_PLAY_HIGHLIGHT, 0);
    }
    Fonts->DetachDC();
    dc.SetWindowOrg(origin);
}

void TStaticScoreView::DrawPlayPosition(TDC& dc, const TPlayPositionSource& player) {
    if (!DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    DrawPlayMarks(dc, player, false);
}

void TStaticScoreView::FollowPlayPosition(const TPlayPositionSource& player) {
    if (!Handle || !DrawInfo || DrawInfo->GetStaffCount() == 0) return;
    TStaffDrawInfo* top = GetLaidOutDrawInfo(0);
    int topStaff = top ? Score->FindStaffIndex(top->GetStaff()) : -1;
    TViewPlayPosition playing;
    if (topStaff >= 0) player.GetStaffPosition(playing, topStaff);
    if (playing.Index >= 0 && Position.GetStaff() == top->GetStaff()) {
        TRelNtnIdx at = Position;
        at.Seek(playing.Index);
        if (DWORD rest = player.GetStaffRestOffsetTicks(topStaff))
            at.SeekTime(at.GetTime() + static_cast<int>(rest), true);
        int x = top->XOfItem(at.GetIndex());
        int u = Fonts->GetGlyphWidth(7);
        bool outside = x < 0 || x == 0x7fffffff || XOrigin + x < 2 * u || XOrigin + x > Width - 2 * u;
        if (outside) {
            at.StepToNextTime(-1);
            ScrollToIndex(at.GetTime());
        }
    }
    // The rows of the staves whose marks move are painted again, then the marks in them drawn once.
    TRect rows;
    bool any = false;
    for (int i = DrawInfo->GetStaffCount() - 1; i >= 0; --i) {
        TStaffDrawInfo* staff = GetLaidOutDrawInfo(i);
        int scoreStaff = staff ? Score->FindStaffIndex(staff->GetStaff()) : -1;
        if (scoreStaff < 0) continue;
        TViewPlayPosition before, now;
        player.GetStaffLastPosition(before, scoreStaff);
        player.GetStaffPosition(now, scoreStaff);
        if (before == now || (before.Index <= 0 && now.Index <= 0)) continue;
        TRect extent = GetStaffExtent(i);
        int rowTop = extent.top + YOffset + TopMargin - 6 * StaffSize;
        int rowBottom = extent.bottom + YOffset + TopMargin + 6 * StaffSize;
        if (!any) rows = TRect(0, rowTop, Width, rowBottom);
        rows.top = std::min<int>(rows.top, rowTop);
        rows.bottom = std::max<int>(rows.bottom, rowBottom);
        any = true;
    }
    if (!any) return;
    rows.top = std::max<int>(rows.top, 0);
    rows.bottom = std::min<int>(rows.bottom, Height);
    if (rows.top >= rows.bottom) return;
    TClientDC dc(Handle);
    dc.IntersectClipRect(rows);
    dc.FillRect(rows, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    PaintScore(dc);
    DrawPlayMarks(dc, player, true);
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
    int dir = dx >= 0 ? -1 : 1;
    int x = PositionX();
    int item = top->ItemAtX(x + std::abs(dx));
    int n = std::abs(item - Position.GetIndex());
    TRelNtnIdx next = Position;
    for (int i = 0; i < std::max(n, 1); ++i)
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
            default:
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
