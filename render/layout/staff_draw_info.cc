// Staff draw information: attaching a staff, building and spacing layout records, formatting a segment
// for the view and for pages, bar completion, lyric spacing and the queries over the records.
#include "render/layout/staff_draw_info.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "render/layout/item_cast.h"
#include "render/layout/item_painter.h"
#include "render/layout/layout_metrics.h"
#include "render/layout/score_draw_info.h"
#include "render/music_fonts.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

TStaffDrawInfo::TStaffDrawInfo(TScoreDrawInfo* owner, int slot)
    : Owner(owner),
      Score(owner ? owner->GetScore() : nullptr),
      Fonts(owner ? owner->GetFonts() : nullptr),
      Slot(slot) {
    Records.resize(kInitialRecords);
}

TStaffDrawInfo::~TStaffDrawInfo() {
    for (TLyric*& c : LyricCursors) {
        delete c;
        c = nullptr;
    }
}

int TStaffDrawInfo::GetMode() const {
    return Owner ? Owner->GetMode() : static_cast<int>(TDrawMode::View);
}

bool TStaffDrawInfo::ShowsHidden() const {
    TDrawMode m = GetDrawMode();
    return m == TDrawMode::Edit || m == TDrawMode::EditExcerpt;
}

bool TStaffDrawInfo::IsActive() const {
    return Owner && Owner->GetActiveStaff() == Slot;
}

void TStaffDrawInfo::AttachStaff(int scoreStaff) {
    TMusicScore* score = GetScore();
    ScoreStaff = scoreStaff;
    Staff = score ? score->GetStaff(scoreStaff) : nullptr;
    if (!Staff) ScoreStaff = -1;
    Index = Staff ? TRelNtnIdx(Staff) : TRelNtnIdx();
    ResetIndexes();
    LineCount = Staff ? std::min(Staff->GetLineCount(), 31) : 5;
    RecordCount = 0;
    Beams.Clear();
    Triplets.Clear();
    Slurs.Clear();
    UpdateLyricCursors();
}

void TStaffDrawInfo::ResetIndexes() {
    Resume = Staff ? TRelNtnIdx(Staff) : TRelNtnIdx();
    ContextWalk = TStaffContextWalk();
    ContextStaff = Staff;
    ContextItemCount = Staff ? Staff->GetItemCount() : -1;
    SizeIndex = TSDNtnIdx(Staff ? this : nullptr, 0);
    SizeStarts.clear();
    ContextStarts.clear();
    NextSizeStart = NextContextStart = 0;
}

void TStaffDrawInfo::SaveSegmentLayout(TSegmentLayout& out) const {
    out.Records = Records;
    out.RecordCount = RecordCount;
    out.Index = Index;
    out.FormattedStart = FormattedStart;
    out.Flags = Flags;
    out.LineCount = LineCount;
    out.BracketState = BracketState;
    out.BraceState = BraceState;
    out.ConnectBarsState = ConnectBarsState;
    out.Y = Y;
    out.UpperSize = UpperSize;
    out.LowerSize = LowerSize;
}

void TStaffDrawInfo::RestoreSegmentLayout(const TSegmentLayout& in) {
    // The record store only grows: a layout kept while it was smaller fills its front.
    if (in.Records.size() >= Records.size())
        Records = in.Records;
    else
        std::copy(in.Records.begin(), in.Records.end(), Records.begin());
    RecordCount = in.RecordCount;
    Index = in.Index;
    FormattedStart = in.FormattedStart;
    Flags = in.Flags;
    LineCount = in.LineCount;
    BracketState = in.BracketState;
    BraceState = in.BraceState;
    ConnectBarsState = in.ConnectBarsState;
    Y = in.Y;
    UpperSize = in.UpperSize;
    LowerSize = in.LowerSize;
}

// Kept walks hold for the staff and the item count they were made on; any other starts again.
void TStaffDrawInfo::CheckKeptStarts() {
    if (ContextStaff == Staff && ContextItemCount == (Staff ? Staff->GetItemCount() : -1)) return;
    ContextWalk = TStaffContextWalk();
    ContextStaff = Staff;
    ContextItemCount = Staff ? Staff->GetItemCount() : -1;
    SizeStarts.clear();
    ContextStarts.clear();
    NextSizeStart = NextContextStart = 0;
}

namespace {
// Puts value in the ring of kept starts, over the oldest one once the ring is full.
template <class T>
void KeepStart(std::vector<T>& ring, size_t& next, size_t size, const T& value) {
    if (ring.size() < size) {
        ring.push_back(value);
        return;
    }
    ring[next] = value;
    next = (next + 1) % size;
}
}  // namespace

TSDNtnIdx& TStaffDrawInfo::SizeIndexAt(int first) {
    CheckKeptStarts();
    TSDNtnIdx& idx = SizeIndex;
    if (idx.GetStaff() != Staff || idx.GetIndex() > first || !idx.GetItem()) {
        const TSDNtnIdx* from = nullptr;
        for (const TSDNtnIdx& k : SizeStarts)
            if (k.GetStaff() == Staff && k.GetItem() && k.GetIndex() <= first &&
                (!from || k.GetIndex() > from->GetIndex()))
                from = &k;
        idx = from ? *from : TSDNtnIdx(this, 0);
    }
    idx.Seek(first);
    bool kept = false;
    for (const TSDNtnIdx& k : SizeStarts)
        if (k.GetIndex() == idx.GetIndex()) kept = true;
    if (!kept) KeepStart(SizeStarts, NextSizeStart, kKeptStarts, idx);
    return idx;
}

// Before the context walk goes to index: a walk that already passed it goes on from the latest kept
// start that did not (the walk only moves forward; without one it starts again from the staff's start).
void TStaffDrawInfo::ResumeContextWalk(int index) {
    CheckKeptStarts();
    if (!ContextWalk.Started || index >= ContextWalk.Target) return;
    const TStaffContextWalk* from = nullptr;
    for (const TStaffContextWalk& k : ContextStarts)
        if (k.Started && k.Target <= index && (!from || k.Target > from->Target)) from = &k;
    if (from) ContextWalk = *from;
}

// An index kept from an earlier walk, when it still stands on this staff's items.
static bool IsUsable(const TSimpleNtnIdx& idx, TMusicStaff* staff) {
    return staff && idx.GetStaff() == staff && idx.GetIndex() >= 0 &&
           idx.GetIndex() <= staff->GetLastIndex() && staff->GetItem(idx.GetIndex()) == idx.GetItem();
}

void TStaffDrawInfo::UpdateLyricCursors() {
    if (Staff) Index.Reset();
    TStaffLyrics* lyrics = Staff ? Staff->GetLyrics() : nullptr;
    int n = lyrics ? std::min(lyrics->GetCount(), kMaxLyricLines) : 0;
    for (int i = 0; i < kMaxLyricLines; ++i) {
        if (i >= n) {
            delete LyricCursors[i];
            LyricCursors[i] = nullptr;
            continue;
        }
        if (!LyricCursors[i]) LyricCursors[i] = new TLyric();
        LyricCursors[i]->SetLine(*lyrics->GetLine(i), 0);
    }
}

TStaffDrawInfo* TStaffDrawInfo::GetNeighbour(int dir, bool slotOwnersOnly) const {
    if (!Owner) return nullptr;
    int i = Slot;
    for (;;) {
        i += dir < 0 ? -1 : 1;
        TStaffDrawInfo* s = Owner->GetStaffDrawInfo(i);
        if (!s) return nullptr;
        if (!slotOwnersOnly || (s->Flags & SDI_OWNS_SLOT)) return s;
    }
}

TMusicStaff* TStaffDrawInfo::GetStaffAtOffset(int offset) const {
    return Owner ? Owner->GetMusicStaff(Slot + offset) : nullptr;
}

bool TStaffDrawInfo::EnsureRecords(int needed) {
    if (needed <= static_cast<int>(Records.size())) return true;
    int cap = static_cast<int>(Records.size());
    if (cap >= kMaxRecords) return false;
    Records.resize(static_cast<size_t>(std::min(cap + kRecordGrowth, kMaxRecords)));
    return needed <= static_cast<int>(Records.size());
}

// Visibility of an item on this staff of this system.
bool TStaffDrawInfo::IsItemVisible(const TNotatedItem* item) const {
    if (!item) return false;
    int v = item->GetVisibility();
    if (v == ivDefault) {
        switch (item->GetType()) {
            case ntBarLine:
                v = LineCount > 0 ? ivAlways : ivNever;
                break;
            case ntSpecialEnding:
            case ntFlowDirection:
                v = ivTopStaff;
                break;
            case ntPatch:
            case ntGenericControl:
                v = ivNever;
                break;
            case ntMultiMeasureRest:
                v = ivSingleStaff;
                break;
            case ntStaffSizer:
                v = static_cast<const TStaffSizer*>(item)->IsNewSystem() ? ivTopStaff : ivAlways;
                break;
            default:
                v = ivAlways;
                break;
        }
    }
    switch (v) {
        case ivAlways:
            return true;
        case ivTopStaff:
            return Slot == 0;
        case ivSingleStaff:
            return !Owner || Owner->HasFewSlots();
        case ivMultiStaff:
            return Owner && !Owner->HasFewSlots();
        default:
            return false;
    }
}

void TStaffDrawInfo::BuildLayoutRecord(TLayoutRecord& r, int itemIndex, TRelNtnIdx& index, bool copy) {
    r.Clear();
    r.ItemIndex = static_cast<uint16_t>(itemIndex);
    bool atItem = index.GetIndex() == itemIndex;
    if (!atItem || copy) r.SetCopy(true);
    TNotatedItem* item = Staff ? Staff->GetItem(itemIndex) : nullptr;
    if (!item) {
        r.SetKind(lkFloating);
        r.SetHidden(true);
        return;
    }
    bool hidden = !IsItemVisible(item);
    int self = IndexOfRecord(&r);
    switch (item->GetType()) {
        case ntClef:
        case ntKey:
            SetClefOrKeyRecord(r, item->GetType() == ntClef, self, hidden);
            break;
        case ntBarLine:
            SetBarLineRecord(r, *static_cast<TBarLineData*>(item), itemIndex, index);
            break;
        case ntSpecialEnding:
            r.SetKind(lkEnding);
            break;
        case ntTimeSignature:
            r.SetKind(lkTimeSig);
            break;
        case ntStaffSpacer:
            r.SetKind(lkSpacer);
            break;
        case ntMultiMeasureRest:
            SetMultiRestRecord(r, *static_cast<TMultiMeasureRest*>(item), itemIndex, self,
                               atItem ? index.GetBarInMultiRest() : 0, hidden);
            break;
        case ntStaffSizer:
            SetSizerRecord(r, *static_cast<TStaffSizer*>(item), hidden);
            break;
        case ntNote:
        case ntRest:
        case ntChord:
        case ntRestChord:
            SetNoteRecord(r, *static_cast<TSongNote*>(item), index);
            break;
        default:
            if (item->IsExpression()) {
                int p = static_cast<TNtnGeneralExpression*>(item)->GetPlacement();
                r.SetKind(p == epBestFitForward
                              ? lkForwardExpression
                              : (p == epAsStaffSignature ? lkSignatureExpression : lkFloating));
            }
            break;
    }
    r.SetHidden(hidden);
    MeasureRecord(r, *item, hidden);
}

void TStaffDrawInfo::SetClefOrKeyRecord(TLayoutRecord& r, bool clef, int self, bool& hidden) {
    r.SetKind(clef ? lkClef : lkKey);
    // A clef or key repeated at a system start is shown even where its own item is hidden, but not on a
    // staff without lines (a lyric or conductor staff), where it would stand over the staff above.
    if (r.IsCopy() && LineCount > 0) hidden = false;
    if (clef && !r.IsCopy()) {
        for (int j = self - 1; j >= 0; --j) {
            int k = Record(j).GetKind();
            if (k == lkBarLine || k == lkSegmentStart) break;
            if (k == lkNote || k == lkGrace || k == lkMultiRest) {
                r.MidBarClef = 1;
                break;
            }
        }
    }
}

void TStaffDrawInfo::SetBarLineRecord(TLayoutRecord& r, TBarLineData& bar, int itemIndex, TRelNtnIdx& index) {
    r.SetKind(lkBarLine);
    if (!bar.GetComputedFlag()) {
        int n = index.GetBarNumber(false);
        if (bar.IsCountedBar() && itemIndex < index.GetIndex()) --n;
        r.Count = static_cast<uint16_t>(std::max(n, 0));
    }
}

// barInRest: the bar of the rest the segment starts at, 0 at the rest itself.
void TStaffDrawInfo::SetMultiRestRecord(TLayoutRecord& r, TMultiMeasureRest& rest, int itemIndex, int self,
                                        int barInRest, bool& hidden) {
    r.SetKind(lkMultiRest);
    r.Time = static_cast<uint32_t>(rest.GetBarLength());
    if (barInRest > 0) {
        r.SetCopy(true);
        r.Count = static_cast<uint16_t>(std::min(barInRest, 0xFFFF));
        if (ShowsHidden()) hidden = true;
    }
    if (!ShowsHidden()) ShowMultiRestOnce(r, rest, itemIndex, self, hidden);
}

// Outside the modes that show hidden items, a multi-measure rest broken over segments shows once: in the
// view at its first record of a segment, in print where the rest itself stands, or at the first of a run
// when it prints once; a rest that shows its bars or rests is shown again where it would hide.
void TStaffDrawInfo::ShowMultiRestOnce(TLayoutRecord& r, TMultiMeasureRest& rest, int itemIndex, int self,
                                       bool& hidden) {
    const TLayoutRecord* prev = self > 0 ? &Record(self - 1) : nullptr;
    bool first = !(prev && prev->ItemIndex == itemIndex && prev->IsMultiBarRest());
    // The bar that the run of this rest's records in the segment starts at.
    int firstCount = r.Count;
    for (int j = self - 1; j >= 0 && Record(j).ItemIndex == itemIndex && Record(j).IsMultiBarRest(); --j)
        if (Record(j).GetKind() == lkMultiRest) firstCount = Record(j).Count;
    bool mayShow = false;
    if (hidden || !r.IsCopy()) {
        mayShow = hidden;
    } else if (GetDrawMode() == TDrawMode::View) {
        if (!first) hidden = true;
    } else {
        if (rest.GetPrintOnce() && firstCount != 0) {
            hidden = true;
            mayShow = true;
        } else if (first) {
            r.SetCopy(false);
        } else {
            hidden = true;
        }
    }
    if (mayShow && hidden && (rest.GetShowBars() || rest.GetShowRests())) {
        hidden = false;
        r.SetCopy(true);
    }
}

void TStaffDrawInfo::SetSizerRecord(TLayoutRecord& r, TStaffSizer& sizer, bool& hidden) {
    bool show = ShowsHidden();
    if (sizer.GetGapWidthRaw() > 0) {
        r.SetKind(hidden && !show ? lkFloating : lkGap);
    } else {
        r.SetKind(hidden && !show ? lkFloating : lkBoundary);
        if (!show) hidden = true;
    }
}

void TStaffDrawInfo::SetNoteRecord(TLayoutRecord& r, TSongNote& note, TRelNtnIdx& index) {
    r.SetKind(note.IsGrace() ? lkGrace : lkNote);
    r.Time = static_cast<uint32_t>(std::max(note.GetDuration(), 0));
    r.AccidentalSpace = static_cast<uint8_t>(std::clamp(note.GetAccidentalSpace(*this), 0, 255));
    r.ChordLayout = static_cast<uint8_t>(std::clamp(note.GetChordLayoutSize(), 0, 255));
    if (note.TakesLyric()) r.Count = static_cast<uint16_t>(index.GetSyllableCount() + 1);
}

// The record's width: what the item measures with its dots (at least half a head where hidden items show),
// or nothing for a hidden record, which then loses its head layout and, for an expression, its place.
void TStaffDrawInfo::MeasureRecord(TLayoutRecord& r, TNotatedItem& item, bool hidden) {
    bool show = ShowsHidden();
    if (!hidden || (show && !r.IsCopy())) {
        int m = item.Measure(*this, r);
        r.Width = m + item.GetDotWidth(*this, r);
        if (show) r.Width = std::max(r.Width, GetFonts()->GetGlyphWidth(glFilledHead) / 2);
    } else {
        r.Width = 0;
        if (item.IsExpression()) r.SetKind(lkFloating);
        r.AccidentalSpace = r.ChordLayout = 0;
    }
}

void TStaffDrawInfo::AddSpacing(int ci) {
    if (ci <= 0) return;
    TLayoutRecord& c = Record(ci);
    if (c.IsSpacingTransparent()) return;
    int p = -1;
    for (int j = ci - 1; j >= 0; --j) {
        const TLayoutRecord& r = Record(j);
        if (r.GetKind() == lkSegmentStart) return;
        if ((r.GetKind() == lkSpacer || r.GetKind() == lkGap) && !r.IsHidden()) return;
        if (!r.IsSpacingTransparent()) {
            p = j;
            break;
        }
    }
    if (p < 0) return;
    const TLayoutRecord& pr = Record(p);
    int pk = pr.GetKind(), ck = c.GetKind();
    bool show = ShowsHidden();
    int n = 0, d = 1;
    auto set = [&](int a, int b) { n = a, d = b; };
    switch (pk) {
        case lkBarStart:
            if (ck == lkGap || ck == lkEnding || ck == lkBarLine) {
            } else if (ck == lkClef || ck == lkKey || ck == lkTimeSig) {
                set(1, 2);
            } else {
                set(3, 2);
            }
            break;
        case lkEnding:
        case lkMultiRestMore:
            set(3, 2);
            break;
        case lkClef:
            if (ck == lkNote && (!pr.MidBarClef || pr.IsCopy()))
                set(8, 5);
            else
                set(2, 3);
            break;
        case lkKey:
        case lkTimeSig:
            if (ck == lkNote)
                set(8, 5);
            else
                set(2, 3);
            break;
        case lkBarLine:
            if (ck == lkBarStart) {
            } else if (ck == lkEnding) {
                if (show) set(1, 2);
            } else if (ck == lkClef || ck == lkKey || ck == lkTimeSig) {
                set(1, 2);
            } else if (ck == lkBarLine) {
                if (show) {
                    auto* a = qsm::AsBarLine(ItemOf(pr));
                    auto* b = qsm::AsBarLine(ItemOf(c));
                    bool matching =
                        a && b && a->IsClosingStyle() && b->GetStyle() == a->GetMatchingOpenStyle();
                    if (!matching) set(2, 1);
                }
            } else {
                set(3, 2);
            }
            break;
        default:
            break;
    }
    if (n == 0) return;
    int target = p;
    for (int j = ci - 1; j > p; --j)
        if (Record(j).GetPriority() != 0) {
            target = j;
            break;
        }
    Record(target).Width += n * GetFonts()->GetGlyphWidth(glFilledHead) / d;
}

int TStaffDrawInfo::GetFitWidth(const TLayoutRecord& r) {
    if (r.IsHidden() && !ShowsHidden()) return 0;
    TNotatedItem* item = ItemOf(r);
    // Measuring reads the record (its kind, flags and columns) and leaves it as it was.
    return item ? item->Measure(*this, const_cast<TLayoutRecord&>(r)) : 0;
}

int TStaffDrawInfo::GetLeftExtent(const TLayoutRecord& r) {
    if (r.GetKind() != lkNote && r.GetKind() != lkGrace) return 0;
    auto* note = qsm::AsSongNote(ItemOf(r));
    if (!note || (r.AccidentalSpace == 0 && note->GetXNoteSpace() == 0)) return 0;
    return GetHeadOffset(*this, r, *note);
}

int TStaffDrawInfo::AddDurationRoom(TLayoutRecord& r) {
    TMusicFonts* f = GetFonts();
    TNotatedItem* item = ItemOf(r);
    if (!item) return 0;
    int k = r.GetKind();
    int room = 0;
    int size = 0;
    auto* song = (k == lkNote || k == lkGrace) ? qsm::AsSongNote(item) : nullptr;
    if (song) size = NoteSize(*song);
    auto m = [&](int g) { return f->GetGlyphWidth(size, g); };
    if (song && song->HasNotes() && item->GetType() != ntRestChord) {
        auto* n = static_cast<TMusicNote*>(song);
        if (r.ChordLayout <= 1 && n->HasFreeStem() && n->GetStemDirSign() > 0 && n->GetFlagCount() > 0)
            room += m(glFlagUp1);
        room += m(n->GetNoteheadSymbolCode());
    } else if (song) {
        room += m(glFilledHead);
    } else if (k == lkMultiRest) {
        room += f->GetGlyphWidth(glFilledHead);
    } else {
        return 0;
    }
    TMusicScore* score = GetScore();
    if (score && score->GetDurationPadding() && (k == lkNote || (k == lkMultiRest && r.IsCopy()))) {
        int base = k == lkMultiRest ? f->GetGlyphWidth(glFilledHead) : m(glFilledHead);
        int cls = 2;
        auto fromTicks = [](int t) { return t >= 768 ? 0 : (t >= 384 ? 1 : (t >= 192 ? 2 : 4)); };
        if (song) {
            if (song->IsDotted() || song->IsDblDotted()) base = base * 3 / 2;
            if (song->IsTriplet()) base = base * 2 / 3;
            cls = song->GetDur();
            auto* rest = qsm::AsRestNote(song);
            if (rest && rest->HasBarLength()) cls = fromTicks(rest->GetBarLength());
        } else {
            cls = fromTicks(static_cast<int>(r.Time));
        }
        room += cls == 0 ? 8 * base : (cls == 1 ? 4 * base : (cls == 2 ? base : 0));
    }
    // A tie arches from after the note's dots to the next head: a note that starts one keeps room for an arch
    // two heads wide, so that ties between short notes do not shrink into wedges.
    if (k == lkNote && song && song->HasNotes() && item->GetType() != ntRestChord) {
        bool tied = song->HasAttribute(naTie);
        if (auto* chord = item->GetType() == ntChord ? static_cast<TChordData*>(song) : nullptr)
            for (int i = 0; i < chord->GetNoteCount() && !tied; ++i)
                tied = chord->GetNote(i)->HasAttribute(naTie);
        if (tied) {
            const int arch = r.Width + room - item->Measure(*this, r) - item->GetDotWidth(*this, r);
            const int want = 2 * m(glFilledHead);
            if (arch < want) room += want - arch;
        }
    }
    return room;
}

void TStaffDrawInfo::PadBar(int barBreak, bool atEnd, int& total) {
    int start = atEnd ? RecordCount - 2 : barBreak - 1;
    for (int j = start; j >= 0; --j) {
        TLayoutRecord& r = Record(j);
        bool isBreak = r.IsBarBreak();
        if (!r.IsHidden() && r.GetKind() != lkSpacer && r.GetKind() != lkGap) {
            bool beforeSpacer = j + 1 < RecordCount &&
                                (Record(j + 1).GetKind() == lkSpacer || Record(j + 1).GetKind() == lkGap) &&
                                !Record(j + 1).IsHidden();
            if (!beforeSpacer) {
                int room = AddDurationRoom(r);
                r.Width += room;
                total += room;
            }
        }
        if (isBreak && j != barBreak) break;
    }
}

void TStaffDrawInfo::AddMultiRestMore(TRelNtnIdx& index, int itemIndex) {
    auto* rest = qsm::AsMultiMeasureRest(Staff->GetItem(itemIndex));
    if (!rest) return;
    int bar = index.GetIndex() == itemIndex ? index.GetBarInMultiRest() : 0;
    if (bar + 1 >= rest->GetNumBars()) return;
    if (!EnsureRecords(RecordCount + 1)) return;
    const TLayoutRecord& restRecord = Record(RecordCount - 1);
    TLayoutRecord& m = Record(RecordCount);
    m.Clear();
    m.ItemIndex = static_cast<uint16_t>(itemIndex);
    m.SetKind(lkMultiRestMore);
    m.SetCopy(true);
    m.Count = static_cast<uint16_t>(std::min(bar + 1, 0xFFFF));
    ++RecordCount;
    if (restRecord.IsCopy() && !restRecord.IsHidden()) {
        m.Width = rest->Measure(*this, m);
        AddSpacing(RecordCount - 1);
    } else {
        m.SetHidden(true);
        m.Width = 0;
    }
}

void TStaffDrawInfo::FormatFromTime(int time, int width) {
    RecordCount = 0;
    Beams.Clear();
    Triplets.Clear();
    Slurs.Clear();
    if (!Staff || Staff->GetItemCount() == 0 || !GetFonts()) return;
    TRelNtnIdx idx = IsUsable(Index, Staff) ? Index : TRelNtnIdx(Staff);
    idx.SeekTime(time, true);
    int boundaries = 0;
    while (idx.GetIndex() > 0 || idx.GetBarInMultiRest() > 0) {
        idx.StepBack(true);
        if (idx.IsBarBoundary() && ++boundaries == 3) break;
    }
    Index = idx;
    FormattedStart = {idx.GetIndex(), idx.GetBarInMultiRest()};
    TLayoutRecord& s = Record(0);
    s.Clear();
    s.SetKind(lkSegmentStart);
    s.SetCopy(true);
    s.Time = static_cast<uint32_t>(std::max(idx.GetTime(), 0));
    RecordCount = 1;
    int total = 0, overBars = 0, lastBreak = -1;
    for (;;) {
        if (!EnsureRecords(RecordCount + 4)) break;
        int item = idx.GetIndex();
        bool counts = idx.GetTime() >= time;
        TLayoutRecord& r = Record(RecordCount);
        BuildLayoutRecord(r, item, idx, false);
        ++RecordCount;
        AddSpacing(RecordCount - 1);
        if (counts) total += r.Width;
        int kind = r.GetKind();
        if (kind == lkGap) {
            TLayoutRecord& b = Record(RecordCount);
            b = Record(RecordCount - 1);
            b.SetKind(lkBarStart);
            b.SetCopy(true);
            b.Width = 0;
            ++RecordCount;
        }
        if (kind == lkMultiRest) AddMultiRestMore(idx, item);
        const TLayoutRecord& last = Record(RecordCount - 1);
        if (last.IsBarBreak()) {
            int before = total;
            PadBar(RecordCount - 1, false, total);
            if (!counts) total = before;
            lastBreak = RecordCount - 1;
        }
        if (kind == lkBarLine && total > width && ++overBars >= 3) break;
        bool atEnd = !idx.CanStepInRests(1);
        if (atEnd) {
            TLayoutRecord& e = Record(RecordCount - 1);
            TNotatedItem* it = ItemOf(e);
            if (it && (!e.IsHidden() || ShowsHidden())) e.Width = it->Measure(*this, e);
            break;
        }
        idx.StepForward(true);
    }
    if (lastBreak != RecordCount - 1 && RecordCount > 1) PadBar(RecordCount - 1, true, total);
    WidenForLyrics();
}

void TStaffDrawInfo::FormatSegment(TStaffStartPosition start, int width) {
    RecordCount = 0;
    Beams.Clear();
    Triplets.Clear();
    Slurs.Clear();
    FormattedStart = start;
    if (!Staff || !GetFonts()) return;
    if (start.Item < 0 || start.Item > Staff->GetLastIndex()) {
        Index = TRelNtnIdx(Staff);
        Index.Seek(Staff->GetLastIndex());
        return;
    }
    // From where the last walk ended: the next system starts close to it, a step or a bar back.
    TRelNtnIdx idx = IsUsable(Resume, Staff) ? Resume : TRelNtnIdx(Staff);
    idx.Seek(start.Item);
    for (int b = 0; b < start.Bar && idx.GetIndex() == start.Item && idx.CanStepInRests(1); ++b)
        idx.StepForward(true);
    Index = idx;
    TRelNtnIdx first = idx;
    while (!first.IsDurational() && first.CanStep(1))
        first.Next();
    TLayoutRecord& s0 = Record(0);
    s0.Clear();
    s0.SetKind(lkSegmentStart);
    s0.SetCopy(true);
    RecordCount = 1;
    int total = 0;
    int s = start.Item;
    int remembered[2] = {-1, -1};
    if (s > 0) {
        TLayoutRecord& r1 = Record(1);
        RecordCount = 2;
        BuildLayoutRecord(r1, 0, first, true);
        r1.Time = static_cast<uint32_t>(std::max(idx.GetTime(), 0));
        total += r1.Width;
        int clef = -1, ts = -1, key = -1;
        // The clef and key in force at the first note, in play order. The walk goes on from where the
        // previous system's walk stopped (walking from the staff's start for every system would make laying
        // out a long score quadratic); a walk kept from another staff or item count starts again.
        ResumeContextWalk(first.GetIndex());
        Staff->FindContextItems(first.GetIndex(), clef, ts, key, ContextWalk);
        bool kept = false;
        for (const TStaffContextWalk& k : ContextStarts)
            if (k.Target == ContextWalk.Target) kept = true;
        if (!kept) KeepStart(ContextStarts, NextContextStart, kKeptStarts, ContextWalk);
        bool repeatClef = clef > 0, repeatKey = key > 0;
        if (!(clef < s && key < s) && key > clef) {
            int target = clef < s ? key : clef;
            int bar = target > 0 ? Staff->FindBarLineFrom(target, -1) : 0;
            if (bar < 0) bar = 0;
            if (bar < s) {
                repeatKey = false;
                if (clef >= s) repeatClef = false;
            }
        }
        int which[2] = {repeatClef ? clef : -1, repeatKey ? key : -1};
        for (int k = 0; k < 2; ++k) {
            int it = which[k];
            if (it <= 0) continue;
            TNotatedItem* item = Staff->GetItem(it);
            bool autoOff = item->GetType() == ntClef ? static_cast<TClefData*>(item)->GetAutoSysOff() != 0
                                                     : static_cast<TKeyData*>(item)->GetAutoSysOff() != 0;
            if (autoOff) continue;
            TLayoutRecord& r = Record(RecordCount);
            if (it < s) {
                BuildLayoutRecord(r, it, idx, true);
            } else {
                TRelNtnIdx at(Staff);
                at.Seek(it);
                BuildLayoutRecord(r, it, at, false);
                remembered[k] = it;
            }
            ++RecordCount;
            AddSpacing(RecordCount - 1);
            total += r.Width;
        }
    }
    bool seenItem = false;
    bool barCompleted = false;
    int barTime = 0, lastBreak = -1;
    bool dropping = remembered[0] >= 0 || remembered[1] >= 0;
    for (;;) {
        if (RecordCount + 4 > static_cast<int>(Records.size()) && !EnsureRecords(RecordCount + 4)) break;
        int item = idx.GetIndex();
        TLayoutRecord& r = Record(RecordCount);
        BuildLayoutRecord(r, item, idx, false);
        int kind = r.GetKind();
        bool keep = true;
        if (dropping && (item == remembered[0] || item == remembered[1])) keep = false;
        if (kind == lkNote || kind == lkGrace) dropping = false;
        if (keep && kind == lkGap && !r.IsHidden() && !seenItem) {
            Record(0).Width += r.Width;
            keep = false;
        }
        if (keep) {
            if (!r.IsHidden() && item > 0) seenItem = true;
            ++RecordCount;
            AddSpacing(RecordCount - 1);
            if (kind == lkGap) {
                TLayoutRecord& b = Record(RecordCount);
                b = Record(RecordCount - 1);
                b.SetKind(lkBarStart);
                b.SetCopy(true);
                b.Width = 0;
                ++RecordCount;
            }
            if (kind == lkMultiRest) AddMultiRestMore(idx, item);
            if ((kind == lkBarLine || kind == lkMultiRest) && barTime > 0) {
                barCompleted = true;
                barTime = 0;
            }
            barTime += static_cast<int>(Record(RecordCount - 1).Time);
            if (kind == lkMultiRest) barTime += static_cast<int>(r.Time);
            if (Record(RecordCount - 1).IsBarBreak()) {
                PadBar(RecordCount - 1, false, total);
                lastBreak = RecordCount - 1;
            }
        }
        if (!idx.CanStepInRests(1)) {
            if (keep) total += r.Width;
            break;
        }
        const TLayoutRecord* lastKept = keep ? &Record(RecordCount - 1 - (kind == lkGap ? 1 : 0)) : nullptr;
        idx.StepForward(true);
        if (keep) {
            bool nextBreaks = idx.GetBarLine() || idx.GetMultiMeasureRest();
            // The last record is measured only where a bar line or rest may end the segment.
            // A closing bar line right after the staff's last bar line stays with it.
            bool closingNext = lastKept->GetKind() == lkBarLine && idx.GetBarLine() &&
                               idx.GetIndex() == Staff->GetLastIndex();
            if (barCompleted && nextBreaks && !closingNext && total + GetFitWidth(*lastKept) > width) break;
            total += r.Width;
        }
    }
    Resume = idx;
    if (RecordCount > 1 && lastBreak != RecordCount - 1) PadBar(RecordCount - 1, true, total);
    if (RecordCount > 1) {
        TLayoutRecord& last = Record(RecordCount - 1);
        if (last.GetKind() == lkBarLine) {
            TNotatedItem* it = ItemOf(last);
            if (it && !last.IsHidden()) last.Width = it->Measure(*this, last);
        }
    }
    WidenForLyrics();
}

TStaffStartPosition TStaffDrawInfo::GetStartPosition() const {
    for (int i = RecordCount - 1; i >= 0; --i) {
        const TLayoutRecord& r = Record(i);
        if (r.GetKind() == lkMultiRest) return {r.ItemIndex, r.Count + 1};
        if (r.GetKind() != lkSegmentStart && !r.IsCopy()) return {r.ItemIndex + 1, 0};
    }
    // A segment without an item of its own (the system's span held none of this staff's items) starts the
    // next system where it started itself: its items are still to be shown.
    if (RecordCount > 0) return FormattedStart;
    return {Staff ? Staff->GetItemCount() : 0, 0};
}

// Lyric spacing: a syllable wider than the room up to the next syllable widens its record.
void TStaffDrawInfo::WidenForLyrics() {
    TStaffLyrics* lyrics = Staff ? Staff->GetLyrics() : nullptr;
    if (!lyrics || lyrics->GetCount() == 0) return;
    TMusicFonts& f = *GetFonts();
    int hy = qsm::LayoutLyricWidth(f, "-");
    bool barMode = lyrics->Placement == 1 ? (ConnectBarsState & 1) != 0 : (ConnectBarsState & 2) != 0;
    int u7 = f.GetGlyphWidth(glFilledHead);
    for (int line = 0; line < kMaxLyricLines; ++line) {
        if (!LyricCursors[line]) continue;
        TLyric cursor;
        cursor.Assign(*LyricCursors[line]);
        int carry = 0, prev = -1, r = 0;
        while (r < RecordCount) {
            TLayoutRecord& R = Record(r);
            int k = R.GetSyllable();
            if (k > 0) {
                cursor.Seek(k - 1);
                if (!cursor.IsValid()) break;
                int w = qsm::LayoutLyricWidth(f, cursor.GetText());
                int own = R.Width, room = 0, lastAnchor = r, next = -1;
                bool spacer = false;
                for (int j = r + 1; j < RecordCount; ++j) {
                    const TLayoutRecord& o = Record(j);
                    if (o.GetSyllable() > 0 || (barMode && o.GetKind() == lkBarLine)) {
                        next = j;
                        break;
                    }
                    room += o.Width;
                    if (o.GetPriority() != 0 || o.GetKind() == lkSpacer) lastAnchor = j;
                    if (o.GetKind() == lkSpacer) spacer = true;
                }
                // The room after a syllable: a hyphen's width before the next word; before the next syllable
                // of the same word, the hyphen drawn between them and half its width of space on either side.
                TLyric following;
                following.Assign(cursor);
                following.Next();
                const int gap = following.IsValid() && following.GetSeparator() == '-' ? 2 * hy : hy;
                auto* note = qsm::AsSongNote(ItemOf(R));
                if (lyrics->Align != 1 || !note) {
                    int t = w + gap - (own + room);
                    if (!spacer && t > 0) R.Width += t;
                } else {
                    int a = GetLyricX(*this, R, *note);
                    int left = 0;
                    if (!note->StartsSlurOrTie()) {
                        int u = f.GetGlyphWidth(NoteSize(*note), glFilledHead);
                        left = w / 2 - u / 2;
                        int shortfall = left - (carry + a);
                        if (shortfall > 0) {
                            int p = prev >= 0 ? prev : (r > 0 ? r - 1 : -1);
                            if (p >= 0 && Record(p).GetKind() != lkSpacer) Record(p).Width += shortfall;
                        }
                    }
                    int t = (w - left + gap) - (own + room - a);
                    carry = 0;
                    if (t > 0) {
                        if (!spacer) R.Width += t;
                    } else {
                        carry = -t;
                    }
                }
                prev = lastAnchor;
                r = next >= 0 ? next : r + 1;
                continue;
            }
            if (R.GetKind() == lkBarLine) {
                TNotatedItem* it = ItemOf(R);
                int m = it ? it->Measure(*this, R) : 0;
                carry = std::max(R.Width - (m + u7 / 2), 0);
                prev = r;
            } else {
                carry += R.Width;
                if (R.GetPriority() != 0 || R.GetKind() == lkSpacer) prev = r;
            }
            ++r;
        }
    }
}

// Queries.

int TStaffDrawInfo::GetWidthRange(int first, int count) const {
    int w = 0;
    for (int i = std::max(first, 0); i < first + count && i < RecordCount; ++i)
        w += Record(i).Width;
    return w;
}

int TStaffDrawInfo::GetFirstItemPosition() const {
    for (int i = 0; i < RecordCount; ++i)
        if (Record(i).IsItemPosition()) return Record(i).ItemIndex;
    return -1;
}

const TLayoutRecord* TStaffDrawInfo::GetLastItemPositionRecord() const {
    for (int i = RecordCount - 1; i >= 0; --i)
        if (Record(i).IsItemPosition()) return &Record(i);
    return nullptr;
}

int TStaffDrawInfo::GetLastItemIndex() const {
    const TLayoutRecord* r = GetLastItemPositionRecord();
    if (r) return r->ItemIndex;
    return Staff ? Staff->GetLastIndex() : -1;
}

bool TStaffDrawInfo::IsAtStaffEnd() const {
    if (!Staff) return true;
    const TLayoutRecord* r = GetLastItemPositionRecord();
    if (!r) return RecordCount > 0 && FormattedStart.Item > Staff->GetLastIndex();
    if (r->ItemIndex != Staff->GetLastIndex()) return false;
    if (r->IsMultiBarRest()) {
        auto* rest = qsm::AsMultiMeasureRest(Staff->GetItem(r->ItemIndex));
        return !rest || r->Count + 1 >= rest->GetNumBars();
    }
    return true;
}

bool TStaffDrawInfo::HasItemRecord(int item) const {
    return RecordIndexOfItem(item) >= 0;
}

int TStaffDrawInfo::RecordIndexOfItem(int item) const {
    for (int i = 1; i < RecordCount; ++i)
        if (Record(i).ItemIndex == item && Record(i).GetKind() != lkSegmentStart) return i;
    return -1;
}

int TStaffDrawInfo::XOfItem(int item) const {
    int r = RecordIndexOfItem(item);
    if (r >= 0) return XOfRecord(r);
    int firstItem = GetFirstItemPosition();
    if (firstItem < 0 || item < firstItem) return static_cast<int>(0x80000002u);
    return 0x7fffffff;
}

int TStaffDrawInfo::RecordIndexOfIndex(TStaffStartPosition position) const {
    int ri = -1;
    for (int i = 1; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        if (r.ItemIndex != position.Item || !r.IsItemPosition() || r.GetKind() == lkMultiRestMore) continue;
        if (r.GetKind() != lkMultiRest) return i;
        if (r.Count > position.Bar) continue;
        ri = i;
        if (r.Count == position.Bar) break;
    }
    return ri;
}

const TLayoutRecord* TStaffDrawInfo::RecordOfIndex(TStaffStartPosition position) const {
    int ri = RecordIndexOfIndex(position);
    return ri >= 0 ? &Record(ri) : nullptr;
}

int TStaffDrawInfo::XOfIndex(TStaffStartPosition position) const {
    int ri = RecordIndexOfIndex(position);
    if (ri >= 0) return XOfRecord(ri);
    int firstItem = GetFirstItemPosition();
    if (firstItem < 0 || position.Item < firstItem) return static_cast<int>(0x80000002u);
    return 0x7fffffff;
}

bool TStaffDrawInfo::TakesLabelFull() const {
    return ShowsHidden() || (RecordCount > 1 && Record(1).Time == 0 && Record(0).Time == 0);
}

int TStaffDrawInfo::ItemAtX(int x) const {
    int right = 0;
    for (int i = 0; i < RecordCount; ++i) {
        right += Record(i).Width;
        if (i == 0) continue;
        if (right >= x) {
            const TLayoutRecord& r = Record(i);
            if (r.GetKind() == lkMultiRestMore) return r.ItemIndex + 1;
            return r.ItemIndex;
        }
    }
    return GetLastItemIndex();
}

int TStaffDrawInfo::IndexAtX(int x) const {
    int t = RecordCount ? static_cast<int>(Record(0).Time) : 0;
    int right = 0;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        right += r.Width;
        if (i > 0 && right >= x) return t;
        if (i == 0 || !r.IsCopy() || r.GetKind() == lkMultiRest) t += static_cast<int>(r.Time);
    }
    return t;
}

bool TStaffDrawInfo::NoteAtPoint(int px, int py, int& item, int& member) {
    item = member = -1;
    if (px < 1) return false;
    int left = 0;
    for (int i = 0; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        if (left + r.Width < px) {
            left += r.Width;
            continue;
        }
        if (r.GetKind() == lkSegmentStart || r.IsCopy() || !r.IsItemPosition()) return false;
        item = r.ItemIndex;
        auto* note = qsm::AsSongNote(ItemOf(r));
        if (note && px >= left + GetHeadOffset(*this, r, *note)) {
            int hx = left + GetHeadOffset(*this, r, *note);
            for (int m = note->GetNoteCount() - 1; m >= 0; --m) {
                TMusicNote* n = note->GetNote(m);
                if (!n) continue;
                RECT rc;
                GetNoteExtent(*this, *n, rc);
                int rx = px - hx, ry = py - Y;
                if (rx >= rc.left && rx < rc.right && ry >= rc.top && ry < rc.bottom) {
                    member = m;
                    break;
                }
            }
        }
        return true;
    }
    return false;
}

int TStaffDrawInfo::BarNumberAt(int recordIndex) const {
    for (int i = std::max(recordIndex, 0); i < RecordCount; ++i)
        if (Record(i).GetKind() == lkBarLine && Record(i).Count) return Record(i).Count;
    TRelNtnIdx idx = Index;
    int item = GetFirstItemPosition();
    if (item >= 0 && Staff) idx.Seek(item);
    return idx.GetBarNumber(false);
}

int TStaffDrawInfo::StepToY(int step) const {
    return Y + (Owner ? Owner->GetHalfSpace() : 0) * step;
}

int TStaffDrawInfo::YToStep(int y) const {
    int u = GetFonts() ? GetFonts()->StaffSpace : 2;
    return (y - Y) * 2 / u;
}

int TStaffDrawInfo::GetOuterLineStep(int dir) const {
    if (LineCount <= 0) return dir < 0 ? -999 : 999;
    return dir < 0 ? -2 * ((LineCount - 1) / 2) : 2 * (LineCount / 2);
}

bool TStaffDrawInfo::IsBottomStaff() const {
    return !Owner || Slot == Owner->GetStaffCount() - 1;
}

int TStaffDrawInfo::GetColor() const {
    int c = Staff ? Staff->GetColor() : 0;
    // Only the seven staff colours map into the palette; other stored values draw as the default.
    if (c >= 1 && c <= 7) return c + 8;
    if (ShowsHidden()) return IsActive() ? 4 : 5;
    return 0;
}

int TStaffDrawInfo::GetHiddenColor() const {
    if (ShowsHidden()) return IsActive() ? 6 : 7;
    return 7;
}

int TStaffDrawInfo::GetItemColorIndex(const TNotatedItem* item, const TLayoutRecord& record) const {
    if (record.IsHidden()) return GetHiddenColor();
    int c = item ? item->GetColor() : 0;
    if (c >= 1 && c <= 7) return c + 8;
    return GetColor();
}

int TStaffDrawInfo::GetDistanceToBarLine(int ri, int dir, int offsetMode, bool stopAtSignatures,
                                         bool multiRestEnds) {
    TMusicFonts* f = GetFonts();
    auto isBreak = [&](const TLayoutRecord& r) {
        return r.GetKind() == lkBarLine || (multiRestEnds && r.GetKind() == lkMultiRestMore);
    };
    int d = 0;
    if (dir < 0) {
        for (int i = ri - 1; i >= 0; --i) {
            TLayoutRecord& r = Record(i);
            d -= r.Width;
            if (isBreak(r)) {
                if (offsetMode >= 0 && !r.IsHidden()) {
                    d += GetFitWidth(r);
                    auto* bar = qsm::AsBarLine(ItemOf(r));
                    if (offsetMode == 0 && bar && bar->IsRepeatOpen()) d -= f->GetRepeatDotsSpace();
                }
                return d;
            }
            if (stopAtSignatures && r.IsSignatureLike()) return d + GetFitWidth(r);
            if (i == 0) return d;
        }
        return d;
    }
    for (int i = ri; i < RecordCount; ++i) {
        TLayoutRecord& r = Record(i);
        if (i > ri && isBreak(r)) {
            if (!r.IsHidden()) {
                auto* bar = qsm::AsBarLine(ItemOf(r));
                if (offsetMode == 0 && bar && bar->IsRepeatClose()) d += f->GetRepeatDotsSpace();
                if (offsetMode > 0) d += GetFitWidth(r);
            }
            return d;
        }
        if (i > ri && stopAtSignatures && r.IsSignatureLike()) return d;
        d += r.Width;
    }
    return d;
}

int TStaffDrawInfo::GetRoomAfter(int ri) {
    int room = 0;
    int item = Record(ri).ItemIndex;
    for (int i = ri; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        if (i > ri && r.ItemIndex != item && (ShowsHidden() || r.IsDrawable())) break;
        room += r.Width;
    }
    int limit = 3 * GetFonts()->GetGlyphWidth(glFilledHead) / 2;
    return room > limit ? room - limit : room;
}

int TStaffDrawInfo::GetDistanceToDrawable(int ri, int dir) {
    if (dir > 0) {
        int d = 0;
        for (int i = ri; i < RecordCount; ++i) {
            if (i > ri && Record(i).IsDrawable()) return d;
            d += Record(i).Width;
        }
        return d;
    }
    int d = 0;
    for (int i = ri - 1; i >= 0; --i) {
        TLayoutRecord& r = Record(i);
        d -= r.Width;
        if (r.IsDrawable()) {
            if (r.IsBarBreak()) return d + GetFitWidth(r);
            return 0;
        }
    }
    return 0;
}

bool TStaffDrawInfo::GetNoteRoomLeft(int ri, int pos, int accidental, int& room) {
    TMusicFonts* f = GetFonts();
    auto* note = qsm::AsSongNote(ItemOf(Record(ri)));
    room = note ? GetHeadOffset(*this, Record(ri), *note) : 0;
    TSimpleNtnIdx partner(Staff, Record(ri).ItemIndex);
    bool found = partner.StepToMatchInSection(pos, accidental, !ShowsHidden(), -1);
    if (found) {
        for (int i = ri - 1; i >= 0; --i) {
            TLayoutRecord& r = Record(i);
            room += r.Width;
            if (r.GetKind() == lkSegmentStart) break;
            if (r.ItemIndex <= partner.GetIndex()) {
                TNotatedItem* it = ItemOf(r);
                if (it && it->IsSongNote()) {
                    room -= it->Measure(*this, r);
                    if (r.ItemIndex == partner.GetIndex()) return true;
                } else if (partner.GetItem()) {
                    room -= partner.GetItem()->Measure(*this, r);
                }
                break;
            }
            int k = r.GetKind();
            bool passable = k == lkGap || k == lkBarStart || k == lkClef || k == lkKey || k == lkTimeSig ||
                            k == lkBarLine;
            if (!passable && k != lkEnding) break;
        }
    }
    room = std::max(room, f->GetGlyphWidth(glFilledHead));
    return false;
}

bool TStaffDrawInfo::GetNoteRoomRight(int ri, int pos, int accidental, int& room) {
    TLayoutRecord& self = Record(ri);
    TNotatedItem* it = ItemOf(self);
    room = self.Width - (it ? it->Measure(*this, self) : 0);
    if (ri >= RecordCount - 1) return false;
    TSimpleNtnIdx partner(Staff, self.ItemIndex);
    if (!partner.StepToMatchInSection(pos, accidental, !ShowsHidden(), 1)) return false;
    for (int i = ri + 1; i < RecordCount - 1; ++i) {
        TLayoutRecord& r = Record(i);
        room += r.Width;
        if (r.ItemIndex >= partner.GetIndex()) {
            room -= r.Width;
            auto* p = qsm::AsSongNote(ItemOf(r));
            if (p && r.ItemIndex == partner.GetIndex()) {
                room += GetHeadOffset(*this, r, *p);
                if (TMusicNote* m = p->FindNoteAtStaffPos(pos))
                    room += 7 * HeadWidth(*this, *m) / 8 * m->GetHeadColumn();
                return true;
            }
            return false;
        }
    }
    return false;
}

int TStaffDrawInfo::GetClefTypeBefore(int ri, int def) {
    for (int i = ri - 1; i >= 0; --i)
        if (Record(i).GetKind() == lkClef)
            if (auto* c = qsm::AsClef(ItemOf(Record(i)))) return c->GetClefType();
    int first = GetFirstItemPosition();
    if (Staff && first > 0) {
        int found = Staff->FindItemOfType(first - 1, ntClef, -1);
        if (found >= 0)
            if (auto* c = qsm::AsClef(Staff->GetItem(found))) return c->GetClefType();
    }
    return def;
}

int TStaffDrawInfo::GetExpressionOffset(int alignment, int ri) {
    if (ri >= RecordCount - 1) return 0;
    TMusicFonts* f = GetFonts();
    int d = 0;
    for (int i = ri; i < RecordCount; ++i) {
        TLayoutRecord& r = Record(i);
        TNotatedItem* it = ItemOf(r);
        if (r.GetKind() == lkBarLine) return d + (it ? it->Measure(*this, r) / 2 : 0);
        auto* rest = qsm::AsRestNote(it);
        if (!ShowsHidden() && (r.GetKind() == lkMultiRestMore || (rest && rest->HasBarLength()))) {
            int a = GetDistanceToDrawable(i, -1), b = GetDistanceToDrawable(i, 1);
            d += (a + b) / 2;
            int h = f->GetGlyphWidth(glWholeRest) / 2;
            return d + (alignment == 0 ? -h : (alignment == 2 ? h : 0));
        }
        if (r.GetKind() == lkMultiRest) {
            if (alignment == 1 && !ShowsHidden()) d += GetRoomAfter(i) / 2;
            return d;
        }
        if (auto* n = qsm::AsSongNote(it)) {
            d += GetHeadOffset(*this, r, *n);
            if (alignment != 0) {
                int w = rest ? f->GetGlyphWidth(glWholeRest + std::clamp(rest->GetDur(), 0, 6))
                             : (n->HasNotes() && n->GetType() != ntRestChord
                                    ? HeadWidth(*this, *static_cast<TMusicNote*>(n)) *
                                          std::max<int>(r.ChordLayout, 1)
                                    : f->GetGlyphWidth(glFilledHead));
                d += alignment == 1 ? w / 2 : w;
            }
            return d;
        }
        d += r.Width;
    }
    return d;
}

int TStaffDrawInfo::GetDistanceToNextNote(int ri) {
    int d = 0;
    for (int i = ri; i < RecordCount; ++i) {
        const TLayoutRecord& r = Record(i);
        if (i > ri && (r.GetKind() == lkNote || r.GetKind() == lkGrace) && !r.IsCopy()) return d;
        d += r.Width;
    }
    return d;
}
