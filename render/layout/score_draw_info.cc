// Score draw information: the staff set, vertical layout, alignment, system fitting and justification,
// left-margin measures and the drawing of a system.
#include "render/layout/score_draw_info.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/bool_array.h"
#include "render/layout/item_cast.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/sd_ntn_idx.h"
#include "render/music_fonts.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

// A label is blank when it holds nothing but spaces.
bool IsBlankLabel(const char* label) {
    for (const char* c = label; c && *c; ++c)
        if (*c != ' ' && *c != '\t') return false;
    return true;
}

}  // namespace

TScoreDrawInfo::TScoreDrawInfo(TMusicScore* score, TMusicFonts* fonts, int initialSlots, int mode)
    : Score(score),
      Fonts(fonts),
      InitialSlots(std::clamp(initialSlots, 0, kMaxStaves)),
      Mode(static_cast<uint32_t>(mode)) {
    Layering = score && score->GetAllowLayering();
    EnsureSlots(InitialSlots);
}

TScoreDrawInfo::~TScoreDrawInfo() {
    for (TStaffDrawInfo*& s : Staves) {
        delete s;
        s = nullptr;
    }
}

void TScoreDrawInfo::EnsureSlots(int count) {
    count = std::min(count, kMaxStaves);
    while (Allocated < count) {
        Staves[Allocated] = new TStaffDrawInfo(this, Allocated);
        ++Allocated;
    }
}

void TScoreDrawInfo::AddStaff(int scoreStaffIndex) {
    if (IsFull()) return;
    if (StaffCount >= Allocated) EnsureSlots(std::max(Allocated + 2, InitialSlots));
    if (!Staves[StaffCount]) return;
    Staves[StaffCount]->AttachStaff(scoreStaffIndex);
    ++StaffCount;
    LayoutStavesVertically(false);
}

void TScoreDrawInfo::RemoveAllStaves() {
    StaffCount = 0;
    LayoutStavesVertically(false);
}

void TScoreDrawInfo::SetSingleStaff(int i) {
    RemoveAllStaves();
    AddStaff(i);
}

void TScoreDrawInfo::AddMusicStaff(TMusicStaff* staff) {
    if (Score) AddStaff(Score->FindStaffIndex(staff));
}

void TScoreDrawInfo::AddStaves(const int* list, int count, int first, int maxHeight) {
    RemoveAllStaves();
    for (int i = first; i < count && SystemHeight < maxHeight && !IsFull(); ++i)
        AddStaff(list[i]);
}

void TScoreDrawInfo::AddStavesFrom(int first, int maxHeight) {
    RemoveAllStaves();
    int n = Score ? Score->GetStaffCount() : 0;
    for (int i = first; i < n && SystemHeight < maxHeight && !IsFull(); ++i)
        AddStaff(i);
}

void TScoreDrawInfo::AddVisibleStaves(const TQSBoolArray& bits, int maxHeight) {
    RemoveAllStaves();
    int n = Score ? Score->GetStaffCount() : 0;
    for (int i = 0; i < n && SystemHeight < maxHeight && !IsFull(); ++i)
        if (bits.Get(i)) AddStaff(i);
}

TStaffDrawInfo* TScoreDrawInfo::GetStaffDrawInfo(int i) const {
    return i >= 0 && i < StaffCount ? Staves[i] : nullptr;
}

TMusicStaff* TScoreDrawInfo::GetMusicStaff(int i) const {
    TStaffDrawInfo* s = GetStaffDrawInfo(i);
    return s ? s->GetStaff() : nullptr;
}

int TScoreDrawInfo::GetHalfSpace() const {
    return Fonts ? Fonts->StaffSpace / 2 : 1;
}

int TScoreDrawInfo::IndexOfScoreStaff(int n) const {
    for (int i = 0; i < StaffCount; ++i)
        if (Staves[i]->GetScoreStaff() == n) return i;
    return -1;
}

int TScoreDrawInfo::IndexOfMusicStaff(const TMusicStaff* staff) const {
    for (int i = 0; i < StaffCount; ++i)
        if (Staves[i]->GetStaff() == staff) return i;
    return -1;
}

int TScoreDrawInfo::GetStaffY(int i) const {
    TStaffDrawInfo* s = GetStaffDrawInfo(i);
    return s ? s->Y : 0;
}

void TScoreDrawInfo::SetLayering(bool on) {
    Layering = on && Score && Score->GetAllowLayering();
}

bool TScoreDrawInfo::IsLayeringActive() const {
    if (!Score || !Score->GetAllowLayering()) return false;
    return GetDrawMode() == TDrawMode::Edit ? Layering : true;
}

RECT TScoreDrawInfo::GetStaffExtent(int i) const {
    RECT r{0, 0, 0x7fffffff, 0};
    TStaffDrawInfo* s = GetStaffDrawInfo(i);
    if (!s) return r;
    r.top = r.bottom = s->Y;
    if (!s->IsHidden() && s->GetStaff()) {
        r.top -= std::abs(s->GetStaff()->GetBoundaryTop()) * GetHalfSpace();
        r.bottom += std::abs(s->GetStaff()->GetBoundaryBottom()) * GetHalfSpace();
    }
    return r;
}

int TScoreDrawInfo::StepToY(int i, int step) const {
    return GetHalfSpace() * step + GetStaffY(i);
}

int TScoreDrawInfo::YToStep(int i, int y) const {
    int u = Fonts ? std::max(Fonts->StaffSpace, 1) : 2;
    return (y - GetStaffY(i)) * 2 / u;
}

int TScoreDrawInfo::StaffAtY(int y) const {
    for (int i = 0; i < StaffCount; ++i)
        if (GetStaffExtent(i).bottom >= y) return i;
    return StaffCount - 1;
}

int TScoreDrawInfo::GetSystemEdgeY(int dir) const {
    int fallback = -1, firstTried = -1;
    for (int k = 0; k < StaffCount; ++k) {
        int i = dir < 0 ? k : StaffCount - 1 - k;
        TStaffDrawInfo* s = Staves[i];
        if (firstTried < 0) firstTried = i;
        if (s->IsHidden()) continue;
        if (s->LineCount > 0) return s->Y + GetHalfSpace() * s->GetOuterLineStep(dir);
        fallback = i;
    }
    int i = fallback >= 0 ? fallback : firstTried;
    if (i < 0) return 0;
    return Staves[i]->Y + GetHalfSpace() * (dir < 0 ? -2 : 2);
}

int TScoreDrawInfo::GetFirstRecordWidth() const {
    TStaffDrawInfo* s = GetStaffDrawInfo(0);
    return s && s->GetRecordCount() ? s->Record(0).Width : 0;
}

bool TScoreDrawInfo::StartsNewPage() const {
    TStaffDrawInfo* s = GetStaffDrawInfo(0);
    if (!s) return false;
    for (int i = 0; i < s->GetRecordCount(); ++i) {
        const TLayoutRecord& r = s->Record(i);
        if (r.Time > 0 && r.GetKind() != lkSegmentStart && !r.IsCopy()) break;
        if (r.GetKind() == lkBoundary || r.GetKind() == lkFloating) {
            auto* sizer = qsm::AsStaffSizer(s->ItemOf(r));
            if (sizer && sizer->IsNewSystem() && sizer->GetNewPage()) return true;
        }
    }
    return false;
}

void TScoreDrawInfo::FormatAllFromTime(int time, int width) {
    Prepared = false;
    for (int i = 0; i < StaffCount; ++i)
        Staves[i]->FormatFromTime(time, width);
}

void TScoreDrawInfo::GetStartPositions(TStaffStartPosition* out) const {
    for (int i = 0; i < StaffCount; ++i)
        out[i] = Staves[i]->GetStartPosition();
}

void TScoreDrawInfo::FormatStavesFrom(const TStaffStartPosition* starts, int width) {
    Prepared = false;
    for (int i = 0; i < StaffCount; ++i)
        Staves[i]->FormatSegment(starts[i], width);
}

void TScoreDrawInfo::ReformatStaves(int width) {
    Prepared = false;
    for (int i = 0; i < StaffCount; ++i)
        Staves[i]->FormatSegment(Staves[i]->GetFormattedStart(), width);
}

void TScoreDrawInfo::SaveSystemLayout(TSystemLayout& out) const {
    out.Staves.resize(static_cast<size_t>(StaffCount));
    for (int i = 0; i < StaffCount; ++i)
        Staves[i]->SaveSegmentLayout(out.Staves[static_cast<size_t>(i)]);
    out.SlotCount = SlotCount;
    out.LinedSlotCount = LinedSlotCount;
    out.FirstStaffWithLines = FirstStaffWithLines;
    out.SystemHeight = SystemHeight;
}

void TScoreDrawInfo::RestoreSystemLayout(const TSystemLayout& in) {
    Prepared = false;
    for (int i = 0; i < StaffCount && i < static_cast<int>(in.Staves.size()); ++i)
        Staves[i]->RestoreSegmentLayout(in.Staves[static_cast<size_t>(i)]);
    SlotCount = in.SlotCount;
    LinedSlotCount = in.LinedSlotCount;
    FirstStaffWithLines = in.FirstStaffWithLines;
    SystemHeight = in.SystemHeight;
}

void TScoreDrawInfo::LayoutStavesVertically(bool recompute) {
    SlotCount = LinedSlotCount = SystemHeight = 0;
    FirstStaffWithLines = StaffCount - 1;
    bool allow = Score && Score->GetAllowLayering();
    bool prevWithNext = false;
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        TMusicStaff* staff = s->GetStaff();
        bool withNext = allow && staff && (staff->StaffFlags & STAFF_LAYER) && i < StaffCount - 1;
        uint16_t f = 0;
        if (prevWithNext || withNext) f |= SDI_LAYERED;
        if (withNext) f |= SDI_LAYERED_WITH_NEXT;
        if (!prevWithNext) f |= SDI_OWNS_SLOT;
        s->Flags = f;
        if (!prevWithNext) {
            ++SlotCount;
            if (staff && staff->GetLineCount() > 0) ++LinedSlotCount;
        }
        prevWithNext = withNext;
    }
    bool layering = IsLayeringActive();
    int half = GetHalfSpace();
    int groupFirst = 0, groupLines = 0, groupTop = 0, groupBottom = 0, collapsed = 0;
    int bracket = 0, brace = 0, connect = 0;
    int noSpaceRunStart = -1;
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        TMusicStaff* staff = s->GetStaff();
        int top = staff ? std::abs(staff->GetBoundaryTop()) : 12;
        int bottom = staff ? std::abs(staff->GetBoundaryBottom()) : 12;
        int lines = staff ? std::min(staff->GetLineCount(), 31) : 0;
        if (recompute && staff && s->GetRecordCount() > 0) {
            int first = s->GetFirstItemPosition();
            int last = s->GetLastItemIndex();
            bool shown = false, any = false;
            if (first >= 0) {
                TSDNtnIdx& idx = s->SizeIndexAt(first);
                for (;;) {
                    if (idx.IsStaffShown()) shown = true;
                    if (idx.IsDurational() || idx.GetBarLine()) {
                        int u = idx.GetUpperSize(), l = idx.GetLowerSize();
                        if (!any) {
                            top = u;
                            bottom = l;
                            any = true;
                        } else {
                            top = std::max(top, u);
                            bottom = std::max(bottom, l);
                        }
                    }
                    if (idx.GetIndex() >= last || !idx.CanStep(1)) break;
                    idx.Next();
                }
            }
            if (!shown && first >= 0 && collapsed < StaffCount - 1) {
                s->Flags |= SDI_COLLAPSED;
                ++collapsed;
            }
        }
        bool owns = (s->Flags & SDI_OWNS_SLOT) != 0;
        if (owns || !layering) {
            if (owns) groupFirst = i;
            groupLines = groupTop = groupBottom = 0;
        }
        if (!s->IsHidden()) {
            groupLines = std::max(groupLines, lines);
            groupTop = std::max(groupTop, top);
            groupBottom = std::max(groupBottom, bottom);
            if (lines > 0 && i < FirstStaffWithLines) FirstStaffWithLines = i;
        }
        bool withNext = (s->Flags & SDI_LAYERED_WITH_NEXT) != 0;
        if (!withNext || !layering) {
            int y = groupTop * half + SystemHeight;
            SystemHeight = y + groupBottom * half;
            bool noSpace = s->IsHidden() && groupTop == 0 && groupBottom == 0;
            int from = (layering && s->IsLayered()) ? groupFirst : i;
            for (int j = from; j <= i; ++j) {
                TStaffDrawInfo* t = Staves[j];
                t->Y = y;
                t->LineCount = s->IsHidden() ? lines : groupLines;
                if (j == i) t->LineCount = lines;
                t->UpperSize = std::min(groupTop, 255);
                t->LowerSize = std::min(groupBottom, 255);
                if (noSpace)
                    t->Flags |= SDI_NO_SPACE;
                else
                    t->Flags &= static_cast<uint16_t>(~SDI_NO_SPACE);
            }
            if (noSpace && noSpaceRunStart < 0) noSpaceRunStart = i;
            // Group connections.
            uint8_t flags = staff ? staff->StaffFlags : 0;
            bool notLast = i < StaffCount - 1;
            if (notLast && (flags & STAFF_BRACKET)) bracket |= 2;
            if (notLast && (flags & STAFF_BRACE)) brace |= 2;
            if (notLast && (flags & STAFF_CONNECT_BARS) && (!noSpace || (connect & 1))) connect |= 2;
            for (int j = from; j <= i; ++j) {
                Staves[j]->BracketState = bracket;
                Staves[j]->BraceState = brace;
                Staves[j]->ConnectBarsState = connect;
            }
            if (!noSpace && noSpaceRunStart > 0) {
                TStaffDrawInfo* before = Staves[noSpaceRunStart - 1];
                if (!(connect & 1)) before->ConnectBarsState &= ~2;
                noSpaceRunStart = -1;
            }
            bracket >>= 1;
            brace >>= 1;
            connect >>= 1;
        }
    }
}

// Alignment of equal times across the staves.
namespace {
struct TAlignKey {
    int64_t time;
    int priority;
    bool operator<(const TAlignKey& o) const {
        return time != o.time ? time < o.time : priority < o.priority;
    }
    bool operator==(const TAlignKey& o) const { return time == o.time && priority == o.priority; }
};
constexpr TAlignKey kNoKey{0x7777ffff, 9};
}  // namespace

void TScoreDrawInfo::AlignStaves() {
    Prepared = false;
    struct TCursor {
        int rec = 0, anchor = 0;
        int left = 0;  // the left extent of record rec
        int64_t x = 0, t = 0;
        bool done = true;
        TAlignKey key = kNoKey;
    };
    TCursor c[kMaxStaves];
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        if (s->GetRecordCount() == 0) continue;
        c[i].done = false;
        c[i].left = s->GetLeftExtent(s->Record(0));
        c[i].x = c[i].left;
    }
    TAlignKey alignKey = kNoKey;
    int64_t xMax = 0;
    int w7 = Fonts ? Fonts->GetGlyphWidth(glFilledHead) : 0;
    for (int guard = 0; guard < 10000000; ++guard) {
        TAlignKey best = kNoKey;
        for (int i = 0; i < StaffCount; ++i) {
            TCursor& k = c[i];
            if (k.done) continue;
            TStaffDrawInfo* s = Staves[i];
            bool taken = false, onlyAnchors = true;
            for (;;) {
                TLayoutRecord& r = s->Record(k.rec);
                TAlignKey key{k.t, r.GetPriority()};
                if (r.GetPriority() != 0 && (taken || alignKey < key)) {
                    k.key = key;
                    break;
                }
                k.x += r.Width - k.left;
                k.t += r.Time;
                if (onlyAnchors && (r.GetKind() == lkFloating || r.GetPriority() != 0))
                    k.anchor = k.rec;
                else
                    onlyAnchors = false;
                taken = true;
                if (k.rec + 1 >= s->GetRecordCount()) {
                    k.done = true;
                    k.key = kNoKey;
                    break;
                }
                ++k.rec;
                k.left = s->GetLeftExtent(s->Record(k.rec));
                k.x += k.left;
            }
            if (!k.done && k.key < best) best = k.key;
        }
        alignKey = best;
        if (alignKey == kNoKey) break;
        bool note = false;
        for (int i = 0; i < StaffCount; ++i)
            if (!c[i].done && c[i].key == alignKey) xMax = std::max(xMax, c[i].x);
        for (int i = 0; i < StaffCount; ++i) {
            TCursor& k = c[i];
            if (k.done || !(k.key == alignKey)) continue;
            Staves[i]->Record(k.anchor).Width += static_cast<int32_t>(xMax - k.x);
            k.x = xMax;
            const TLayoutRecord& r = Staves[i]->Record(k.rec);
            if (r.GetPriority() == 8 && !r.IsHidden()) note = true;
        }
        if (note) xMax += w7;
    }
}

int TScoreDrawInfo::GetBracketWidth() const {
    bool bracket = false, brace = false, both = false;
    for (int i = 0; i < StaffCount; ++i) {
        bool a = Staves[i]->BracketState != 0, b = Staves[i]->BraceState != 0;
        bracket |= a;
        brace |= b;
        both |= a && b;
    }
    if (!Fonts) return 0;
    int w = 0;
    if (bracket) w = Fonts->GetBracketWidth();
    if (brace) w = std::max(w, Fonts->GetBraceWidth());
    if (both) w = std::max(Fonts->GetBraceWidth(), w) + Fonts->GetBracketWidth();
    return w;
}

int TScoreDrawInfo::GetLabelWidth(bool withBraces, bool full) const {
    if (!Fonts) return 0;
    int u = Fonts->StaffSpace;
    int w = 0;
    for (int i = 0; i < StaffCount; ++i) {
        TMusicStaff* staff = Staves[i]->GetStaff();
        if (!staff) continue;
        const char* label = full ? staff->GetLabelText() : staff->GetLabel(false);
        int lw = qsm::LayoutTextWidth(*Fonts, qsm::kStaffLabelStyle, label);
        if (withBraces && Staves[i]->BraceState) lw += 4 * u;
        w = std::max(w, lw);
    }
    if (withBraces) w += 3 * u;
    return w;
}

bool TScoreDrawInfo::NeedsSystemLine() const {
    int lined = 0;
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        if (!(s->Flags & SDI_OWNS_SLOT) || s->IsNoSpace()) continue;
        if (s->LineCount > 0) ++lined;
        if (s->BracketState) return true;
    }
    return lined > 1;
}

void TScoreDrawInfo::DrawSystem(const TDrawExtent& extent, int x, int y, int activeStaff) {
    if (!Fonts) return;
    if (!Prepared || PreparedX != x || PreparedY != y) {
        for (int i = 0; i < StaffCount; ++i) {
            Fonts->OriginY = y + Staves[i]->Y;
            Staves[i]->BuildSlurs(x, y);
        }
        Prepared = true;
        PreparedX = x;
        PreparedY = y;
    }
    Fonts->SelectColor(0);
    for (int i = 0; i < StaffCount; ++i) {
        if (i == activeStaff) continue;
        if (Staves[i]->IsHidden() && i != 0) continue;
        Staves[i]->DrawSegment(extent, x, y);
    }
    if (activeStaff >= 0 && activeStaff < StaffCount) Staves[activeStaff]->DrawSegment(extent, x, y);
}

void TScoreDrawInfo::DrawStaffLabels(int x, int y, int width) {
    if (!Fonts) return;
    Fonts->Tag("label", -1);
    bool layering = IsLayeringActive();
    int half = GetHalfSpace();
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        TMusicStaff* staff = s->GetStaff();
        if (!staff) continue;
        if (layering && !(s->Flags & SDI_OWNS_SLOT)) continue;
        bool full = s->TakesLabelFull();
        auto ownLabel = [&](TStaffDrawInfo* t) {
            const char* l = full ? t->GetStaff()->GetLabelText() : t->GetStaff()->GetLabel(false);
            return l ? l : "";
        };
        // With layering a slot owner shows the first nonblank label of its layer group.
        auto labelOf = [&](int at) {
            const char* l = ownLabel(Staves[at]);
            if (!layering) return l;
            for (int j = at; j < StaffCount && (j == at || !(Staves[j]->Flags & SDI_OWNS_SLOT)); ++j) {
                if (!Staves[j]->GetStaff()) continue;
                const char* o = ownLabel(Staves[j]);
                if (!IsBlankLabel(o)) return o;
            }
            return l;
        };
        const char* label = labelOf(i);
        int cy = s->Y;
        if (s->BraceState == 2) {
            int last = i;
            while (last + 1 < StaffCount && (Staves[last + 1]->BraceState & 1))
                ++last;
            bool equal = true, spaced = false;
            const char* common = nullptr;
            for (int j = i; j <= last; ++j) {
                if (!Staves[j]->GetStaff() || Staves[j]->IsHidden()) continue;
                if (layering && !(Staves[j]->Flags & SDI_OWNS_SLOT)) continue;
                if (!Staves[j]->IsNoSpace()) spaced = true;
                const char* l = labelOf(j);
                if (IsBlankLabel(l)) continue;
                if (!common)
                    common = l;
                else if (std::strcmp(common, l) != 0)
                    equal = false;
            }
            if (equal && spaced && last > i) {
                int topY = Staves[i]->Y + half * Staves[i]->GetOuterLineStep(-1);
                int botY = Staves[last]->Y + half * Staves[last]->GetOuterLineStep(1);
                if (common) {
                    int w = qsm::LayoutTextWidth(*Fonts, qsm::kStaffLabelStyle, common);
                    Fonts->OriginY = y + topY + (botY - topY) / 2;
                    Fonts->SelectColor(s->GetColor());
                    Fonts->DrawText(qsm::kStaffLabelStyle, 0, x + (width - w) / 2, 0, common);
                }
                i = last;
                continue;
            }
        }
        if (s->IsNoSpace() || IsBlankLabel(label)) continue;
        int w = qsm::LayoutTextWidth(*Fonts, qsm::kStaffLabelStyle, label);
        Fonts->OriginY = y + cy;
        Fonts->SelectColor(s->GetColor());
        Fonts->DrawText(qsm::kStaffLabelStyle, 0, x + (width - w) / 2, 0, label);
    }
    Fonts->SelectColor(0);
}

void TScoreDrawInfo::DrawSystemDecorations(int x, int y, int segmentStart) {
    if (!Fonts || GetDrawMode() == TDrawMode::EditExcerpt) return;
    int savedOrigin = Fonts->OriginY, savedColor = Fonts->CurrentColor;
    Fonts->SelectColor(0);
    int half = GetHalfSpace();
    int topY = INT_MAX, botY = INT_MIN;
    int counted = 0;
    bool drewGroup = false;
    for (int i = 0; i < StaffCount; ++i) {
        TStaffDrawInfo* s = Staves[i];
        if (s->IsHidden() || s->LineCount <= 0) continue;
        topY = std::min(topY, s->Y + half * s->GetOuterLineStep(-1));
        botY = std::max(botY, s->Y + half * s->GetOuterLineStep(1));
        if (s->Flags & SDI_OWNS_SLOT) ++counted;
    }
    if (topY == INT_MAX) {
        Fonts->OriginY = savedOrigin;
        Fonts->SelectColor(savedColor);
        return;
    }
    auto groupExtent = [&](int i, int TStaffDrawInfo::*state, int& last) {
        last = i;
        while (last + 1 < StaffCount && ((Staves[last + 1]->*state) & 1))
            ++last;
        int a = INT_MAX, b = INT_MIN;
        for (int j = i; j <= last; ++j) {
            TStaffDrawInfo* s = Staves[j];
            if (s->IsHidden()) continue;
            int lt = s->LineCount > 0 ? s->GetOuterLineStep(-1) : -2;
            int lb = s->LineCount > 0 ? s->GetOuterLineStep(1) : 2;
            a = std::min(a, s->Y + half * lt);
            b = std::max(b, s->Y + half * lb);
        }
        return std::pair<int, int>(a, b);
    };
    for (int i = 0; i < StaffCount; ++i) {
        if (Staves[i]->BracketState & 2 && !(Staves[i]->BracketState & 1)) {
            int last;
            auto [a, b] = groupExtent(i, &TStaffDrawInfo::BracketState, last);
            if (a < b) {
                Fonts->DrawBracket(x, y + a, y + b);
                drewGroup = true;
            }
        }
        if (Staves[i]->BraceState & 2 && !(Staves[i]->BraceState & 1)) {
            int last;
            auto [a, b] = groupExtent(i, &TStaffDrawInfo::BraceState, last);
            bool inBracket = false;
            for (int j = i; j <= last; ++j)
                if (Staves[j]->BracketState) inBracket = true;
            if (a < b && last > i) {
                Fonts->DrawBrace(x, y + a, y + b, inBracket);
                drewGroup = true;
            }
        }
    }
    if (counted > 1 || drewGroup) Fonts->DrawLine(x, y + topY, x, y + botY);
    if (Score && Score->BarNumbers != 0 && StaffCount > 0) {
        TStaffDrawInfo* s0 = Staves[0];
        int ri = segmentStart;
        if (ri > 0)
            while (ri > 0 && s0->Record(ri).GetPriority() == 0)
                --ri;
        int n = s0->BarNumberAt(ri) + Score->StartingBar;
        // A bar line's count numbers the bars before it. When the system's notes begin before its first
        // counted bar line (the score's first system, or a run after a gap), they stand in the bar that line
        // closes, not in the bar after it.
        bool notes = false;
        for (int i = std::max(ri, 0); i < s0->GetRecordCount(); ++i) {
            const TLayoutRecord& r = s0->Record(i);
            if (r.GetKind() == lkBarLine && r.Count) {
                if (notes) --n;
                break;
            }
            if ((r.GetKind() == lkNote || r.GetKind() == lkGrace || r.GetKind() == lkMultiRest) &&
                !r.IsCopy())
                notes = true;
        }
        if (n > 1) {
            Fonts->OriginY = y + topY;
            Fonts->DrawBarNumber(x, -5, Score->BarNumbers, n);
        }
    }
    Fonts->OriginY = savedOrigin;
    Fonts->SelectColor(savedColor);
}
