// The simple, relative and neighbourhood notation indexes.
#include "score/notation_index.h"

#include <algorithm>
#include <vector>

#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

template <class T>
T* ItemIf(TNotatedItem* item, int type) {
    return item && item->GetType() == type ? static_cast<T*>(item) : nullptr;
}

bool IsGroupOpenState(int s) {
    return s == gsFirst || s == gsMiddle;
}

bool IsGroupContinuedState(int s) {
    return s == gsMiddle || s == gsEnd;
}

int StemSign(const TSongNote& note) {
    return note.GetStemDirSign() > 0 ? 1 : -1;
}

}  // namespace

int OpenChordTicks(const TSongNote& note) {
    if (note.GetType() == ntRestChord) {
        const TMusicNote* part = static_cast<const TRestChord&>(note).GetPart();
        return part ? part->GetNominalTicks() : 0;
    }
    if (note.GetType() != ntChord) return 0;
    auto& chord = const_cast<TChordData&>(static_cast<const TChordData&>(note));
    TMusicNote* first = chord.GetFirstNote();
    TMusicNote* last = chord.GetLastNote();
    if (!first || !last) return 0;
    const TMusicNote* other = StemSign(*last) == StemSign(chord) ? first : last;
    return other->GetNominalTicks();
}

// ---------------------------------------------------------------------------------------------------------
// TSimpleNtnIdx

TSimpleNtnIdx::TSimpleNtnIdx(TMusicStaff* staff) {
    SetStaff(staff);
}

TSimpleNtnIdx::TSimpleNtnIdx(TMusicStaff* staff, int index) {
    SetStaff(staff);
    TSimpleNtnIdx::Seek(index);
}

void TSimpleNtnIdx::SetStaff(TMusicStaff* staff) {
    Staff = staff;
    Index = 0;
    Current = ItemAt(0);
}

void TSimpleNtnIdx::Reset() {
    SetStaff(Staff);
}

void TSimpleNtnIdx::Seek(int i) {
    const int last = LastIndex();
    if (last < 0) {
        Index = 0;
        Current = nullptr;
        return;
    }
    Index = std::clamp(i, 0, last);
    Current = ItemAt(Index);
}

TNotatedItem* TSimpleNtnIdx::Next() {
    return StepOn();
}

TNotatedItem* TSimpleNtnIdx::Prev() {
    --Index;
    Current = ItemAt(Index);
    return Current;
}

void TSimpleNtnIdx::Refresh() {
    const int index = Index;
    Reset();
    Seek(index);
}

TClefData* TSimpleNtnIdx::GetClef() const {
    return ItemIf<TClefData>(Current, ntClef);
}
TKeyData* TSimpleNtnIdx::GetKey() const {
    return ItemIf<TKeyData>(Current, ntKey);
}
TBarLineData* TSimpleNtnIdx::GetBarLine() const {
    return ItemIf<TBarLineData>(Current, ntBarLine);
}
TSpecialEnding* TSimpleNtnIdx::GetSpecialEnding() const {
    return ItemIf<TSpecialEnding>(Current, ntSpecialEnding);
}
TPatchData* TSimpleNtnIdx::GetPatch() const {
    return ItemIf<TPatchData>(Current, ntPatch);
}
TTimeSignatureData* TSimpleNtnIdx::GetTimeSignatureItem() const {
    return ItemIf<TTimeSignatureData>(Current, ntTimeSignature);
}
TTempoData* TSimpleNtnIdx::GetTempo() const {
    return ItemIf<TTempoData>(Current, ntTempo);
}
TDynamicLevelData* TSimpleNtnIdx::GetDynamic() const {
    return ItemIf<TDynamicLevelData>(Current, ntDynamic);
}
TMusicNote* TSimpleNtnIdx::GetMusicNote() const {
    return ItemIf<TMusicNote>(Current, ntNote);
}
TRestNote* TSimpleNtnIdx::GetRestNote() const {
    return ItemIf<TRestNote>(Current, ntRest);
}
TChordData* TSimpleNtnIdx::GetChord() const {
    return ItemIf<TChordData>(Current, ntChord);
}
TSustainPedal* TSimpleNtnIdx::GetSustainPedal() const {
    return ItemIf<TSustainPedal>(Current, ntSustainPedal);
}
TFlowDirection* TSimpleNtnIdx::GetFlowDirection() const {
    return ItemIf<TFlowDirection>(Current, ntFlowDirection);
}
TGenericControl* TSimpleNtnIdx::GetGenericControl() const {
    return ItemIf<TGenericControl>(Current, ntGenericControl);
}
TTempoVariance* TSimpleNtnIdx::GetTempoVariance() const {
    return ItemIf<TTempoVariance>(Current, ntTempoVariance);
}
TDynamicVariance* TSimpleNtnIdx::GetDynamicVariance() const {
    return ItemIf<TDynamicVariance>(Current, ntDynamicVariance);
}
TTextExpression* TSimpleNtnIdx::GetTextExpression() const {
    return ItemIf<TTextExpression>(Current, ntTextExpression);
}
TRestChord* TSimpleNtnIdx::GetRestChord() const {
    return ItemIf<TRestChord>(Current, ntRestChord);
}
TChordName* TSimpleNtnIdx::GetChordName() const {
    return ItemIf<TChordName>(Current, ntChordName);
}
TStaffSpacer* TSimpleNtnIdx::GetStaffSpacer() const {
    return ItemIf<TStaffSpacer>(Current, ntStaffSpacer);
}
TMultiMeasureRest* TSimpleNtnIdx::GetMultiMeasureRest() const {
    return ItemIf<TMultiMeasureRest>(Current, ntMultiMeasureRest);
}
TStaffSizer* TSimpleNtnIdx::GetStaffSizer() const {
    return ItemIf<TStaffSizer>(Current, ntStaffSizer);
}

TMusicNote* TSimpleNtnIdx::GetNoteOrChord() const {
    const int t = GetItemType();
    return t == ntNote || t == ntChord ? static_cast<TMusicNote*>(Current) : nullptr;
}

TRestNote* TSimpleNtnIdx::GetRestOrRestChord() const {
    const int t = GetItemType();
    return t == ntRest || t == ntRestChord ? static_cast<TRestNote*>(Current) : nullptr;
}

TMusicNote* TSimpleNtnIdx::GetPitchedPart() const {
    if (TMusicNote* n = GetNoteOrChord()) return n;
    if (TRestChord* rc = GetRestChord()) return rc->GetPart();
    return nullptr;
}

TNtnGeneralExpression* TSimpleNtnIdx::GetExpression() const {
    return Current && Current->IsExpression() ? static_cast<TNtnGeneralExpression*>(Current) : nullptr;
}

TTempoVariance* TSimpleNtnIdx::GetGradualTempoVariance() const {
    TTempoVariance* v = GetTempoVariance();
    return v && v->GetStyle() > tvFermata ? v : nullptr;
}

TSpecialEnding* TSimpleNtnIdx::GetNumberedSpecialEnding() const {
    TSpecialEnding* e = GetSpecialEnding();
    return e && e->GetEndings() != 0 ? e : nullptr;
}

bool TSimpleNtnIdx::IsBarBoundary() const {
    const int t = GetItemType();
    return t == ntBarLine || t == ntMultiMeasureRest;
}

bool TSimpleNtnIdx::IsDurational() const {
    const int t = GetItemType();
    return t == ntNote || t == ntRest || t == ntChord || t == ntRestChord || t == ntMultiMeasureRest;
}

bool TSimpleNtnIdx::IsNoteItem(bool allowRests) const {
    if (!GetSongNote()) return false;
    return allowRests || !Current->IsRest();
}

int TSimpleNtnIdx::GetHairpin() const {
    if (const TSongNote* n = GetSongNote()) return n->GetHairpin();
    if (const TDynamicVariance* v = GetDynamicVariance()) return v->GetHairpinKind();
    return 0;
}

bool TSimpleNtnIdx::IsInAnyGroup() const {
    const TSongNote* n = GetSongNote();
    return n && (n->GetBeamState() != gsNone || n->GetTripletState() != gsNone);
}

bool TSimpleNtnIdx::IsInGroup(int g) const {
    return IsInAnyGroup() && GetSongNote()->GetGroupState(g) != gsNone;
}

bool TSimpleNtnIdx::IsInGroupWithGrace(bool grace, int g) const {
    return IsInGroup(g) && GetSongNote()->IsGrace() == grace;
}

bool TSimpleNtnIdx::IsGroupStateWith(bool grace, int g, int state) const {
    return IsInGroupWithGrace(grace, g) && GetSongNote()->GetGroupState(g) == state;
}

bool TSimpleNtnIdx::IsGroupOpenAny() const {
    const TSongNote* n = GetSongNote();
    return n && (IsGroupOpenState(n->GetBeamState()) || IsGroupOpenState(n->GetTripletState()));
}

bool TSimpleNtnIdx::IsGroupContinuedAny() const {
    const TSongNote* n = GetSongNote();
    return n && (IsGroupContinuedState(n->GetBeamState()) || IsGroupContinuedState(n->GetTripletState()));
}

bool TSimpleNtnIdx::IsGroupOpen(int g) const {
    const TSongNote* n = GetSongNote();
    return n && IsGroupOpenState(n->GetGroupState(g));
}

bool TSimpleNtnIdx::IsGroupContinued(int g) const {
    const TSongNote* n = GetSongNote();
    return n && IsGroupContinuedState(n->GetGroupState(g));
}

bool TSimpleNtnIdx::ItemCanJoinGroup(const TNotatedItem& item, int type, bool grace, int g) {
    switch (type) {
        case ntKey:
        case ntBarLine:
        case ntSpecialEnding:
        case ntTimeSignature:
        case ntFlowDirection:
            return false;
        default:
            break;
    }
    if (!IsSongNoteType(type)) return true;
    const auto* n = static_cast<const TSongNote*>(&item);
    if (n->IsGrace() != grace) return !grace;
    if (g == 1 || type == ntRest || type == ntRestChord) return true;
    return static_cast<const TMusicNote*>(n)->GetFlagCount() >= 1;
}

bool TSimpleNtnIdx::IsInTriplet() const {
    const TSongNote* n = GetSongNote();
    if (n && !n->IsGrace()) return IsInGroup(1);
    TSimpleNtnIdx c(*this);
    while (c.CanStep(-1)) {
        c.Step(-1);
        const TSongNote* before = c.GetSongNote();
        if (before && !before->IsGrace()) return IsGroupOpenState(before->GetTripletState());
    }
    return false;
}

bool TSimpleNtnIdx::IsHairpinContinued(int hairpin) const {
    const int t = GetItemType();
    if (t == -1 || t == ntDynamic || t == ntDynamicVariance) return false;
    const TSongNote* n = GetSongNote();
    return !n || n->GetHairpin() == hairpin;
}

int TSimpleNtnIdx::GetSplitStemDirection() const {
    const TSongNote* note = GetSongNote();
    if (!note) return 0;
    const bool grace = note->IsGrace();
    if (note->GetBeamState() != gsNone) {
        TSimpleNtnIdx c(*this);
        if (IsGroupContinuedState(note->GetBeamState())) c.StepToGroupEnd(grace, 0, -1);
        for (;;) {
            const TSongNote* n = c.GetSongNote();
            if (n && n->IsGrace() == grace) {
                if (n->HasSplitStems()) return StemSign(*n);
                if (n->GetBeamState() == gsEnd) break;
            }
            if (!c.CanStep(1)) break;
            c.Step(1);
            if (!c.CanJoinGroup(grace, 0)) break;
        }
    }
    TSimpleNtnIdx c(*this);
    int sum = 0;
    for (;;) {
        if (c.GetBarLine()) return 0;
        if (const TSongNote* n = c.GetSongNote()) {
            if (n->IsGrace() == grace) {
                sum += n->GetNominalTicks();
                if (n->HasSplitStems() && n->HasSplitDurations()) {
                    return OpenChordTicks(*n) >= sum ? StemSign(*n) : 0;
                }
            } else if (grace) {
                return 0;  // a normal note before a grace note ends the search
            }
        }
        if (c.GetIndex() <= 1) return 0;
        c.Step(-1);
    }
}

void TSimpleNtnIdx::ForEachSplitStemDirection(TMusicStaff* staff, int first, int last,
                                              const std::function<void(int, int)>& visit) {
    if (!staff) return;
    const int lastIndex = staff->GetItemCount() - 1;
    first = std::max(first, 0);
    last = std::min(last, lastIndex);
    if (first > last) return;
    // Bar lines end every walk of the single-note form: start at the one before first and end at the one
    // after last (or at the ends of the staff).
    int from = first;
    while (from > 0 && staff->GetItem(from)->GetType() != ntBarLine)
        --from;
    int end = last + 1;
    while (end < lastIndex && staff->GetItem(end)->GetType() != ntBarLine)
        ++end;
    end = std::min(end, lastIndex);

    // Only notes with split stems give a direction. Most bars have none: then every answer is 0, and
    // the walks below are not needed.
    bool anySplit = false;
    for (int k = from; k <= end && !anySplit; ++k) {
        const TNotatedItem* item = staff->GetItem(k);
        anySplit = item->IsSongNote() && static_cast<const TSongNote*>(item)->HasSplitStems();
    }
    if (!anySplit) {
        for (int k = first; k <= last; ++k) {
            if (staff->GetItem(k)->IsSongNote()) visit(k, 0);
        }
        return;
    }

    TSimpleNtnIdx c(staff, from);
    auto sameGrace = [&](int g) -> const TSongNote* {
        const TSongNote* n = c.GetSongNote();
        return n && n->IsGrace() == (g == 1) ? n : nullptr;
    };
    // forward[g][k - from]: what the search forward through a beam group of grace kind g (0 normal, 1
    // grace) answers when it starts at item k.
    const size_t span = static_cast<size_t>(end - from + 1);
    std::vector<int> forward[2] = {std::vector<int>(span, 0), std::vector<int>(span, 0)};
    for (int k = end; k >= from; --k) {
        c.Seek(k);
        for (int g = 0; g < 2; ++g) {
            int answer = 0;
            const TSongNote* n = sameGrace(g);
            if (n && n->HasSplitStems()) {
                answer = StemSign(*n);
            } else if (!(n && n->GetBeamState() == gsEnd) && k < end) {
                c.Seek(k + 1);
                if (c.CanJoinGroup(g == 1, 0)) answer = forward[g][static_cast<size_t>(k + 1 - from)];
                c.Seek(k);
            }
            forward[g][static_cast<size_t>(k - from)] = answer;
        }
    }

    // Per grace kind: where the walk back to a group's first note stops; the chord with split stems and
    // durations that the walk back through the bar meets (-1: none, the answer is 0), and the ticks of the
    // notes of that kind from it on.
    int groupStart[2] = {from, from};
    int chord[2] = {-1, -1};
    int ticks[2] = {0, 0};
    for (int k = from; k <= last; ++k) {
        c.Seek(k);
        for (int g = 0; g < 2; ++g) {
            const TSongNote* n = sameGrace(g);
            if (k == from || !c.CanJoinGroup(g == 1, 0) || (n && n->GetBeamState() == gsFirst))
                groupStart[g] = k;
            bool stop = false;
            if (c.GetBarLine()) {
                chord[g] = -1;
                stop = true;
            } else if (n) {
                ticks[g] += n->GetNominalTicks();
                if (n->HasSplitStems() && n->HasSplitDurations()) {
                    chord[g] = k;
                    ticks[g] = n->GetNominalTicks();
                    stop = true;
                }
            } else if (g == 1 && c.GetSongNote()) {
                chord[g] = -1;  // a normal note before a grace note
                stop = true;
            }
            if (!stop && k <= 1) chord[g] = -1;
        }
        const TSongNote* note = c.GetSongNote();
        if (!note || k < first) continue;
        const int g = note->IsGrace() ? 1 : 0;
        int dir = 0;
        if (note->GetBeamState() != gsNone) {
            const int start = IsGroupContinuedState(note->GetBeamState()) ? groupStart[g] : k;
            dir = forward[g][static_cast<size_t>(start - from)];
        }
        if (dir == 0 && chord[g] >= 0) {
            const auto* split = static_cast<const TSongNote*>(staff->GetItem(chord[g]));
            dir = OpenChordTicks(*split) >= ticks[g] ? StemSign(*split) : 0;
        }
        visit(k, dir);
    }
}

template <class Test>
bool TSimpleNtnIdx::StepUntil(int dir, Test test) {
    while (CanStep(dir)) {
        Step(dir);
        if (test()) return true;
    }
    return false;
}

bool TSimpleNtnIdx::StepToKind(int type, int dir) {
    return StepUntil(dir, [&] { return GetItemType() == type; });
}

bool TSimpleNtnIdx::StepToSongNote(int dir) {
    return StepUntil(dir, [&] { return GetSongNote() != nullptr; });
}

bool TSimpleNtnIdx::StepToBarBoundary(int dir) {
    return StepUntil(dir, [&] { return IsBarBoundary(); });
}

bool TSimpleNtnIdx::StepToDurational(int dir) {
    return StepUntil(dir, [&] { return IsDurational(); });
}

bool TSimpleNtnIdx::StepToDynamic(int dir) {
    return StepUntil(dir, [&] { return GetDynamic() || GetDynamicVariance(); });
}

bool TSimpleNtnIdx::StepToSongNoteWithGrace(bool grace, int dir) {
    return StepUntil(dir, [&] {
        const TSongNote* n = GetSongNote();
        return n && n->IsGrace() == grace;
    });
}

bool TSimpleNtnIdx::StepToNoteWithHeads(int dir) {
    return StepUntil(dir, [&] { return Current && Current->HasNotes(); });
}

bool TSimpleNtnIdx::StepToNoteAtStaffPos(int pos, int dir) {
    return StepUntil(dir, [&] { return GetSongNote() && Current->FindNoteAtStaffPos(pos) != nullptr; });
}

bool TSimpleNtnIdx::StepToGroupedNote(bool grace, int g, int dir) {
    return StepUntil(dir, [&] { return IsInGroupWithGrace(grace, g); });
}

bool TSimpleNtnIdx::StepToGroupState(int state, int dir) {
    return StepUntil(dir, [&] {
        const TSongNote* n = GetSongNote();
        return n && (n->GetBeamState() == state || n->GetTripletState() == state);
    });
}

bool TSimpleNtnIdx::StepToGroupNoteWithState(bool grace, int g, int state, int dir) {
    return StepUntil(dir, [&] { return IsGroupStateWith(grace, g, state); });
}

void TSimpleNtnIdx::StepToGroupEnd(bool grace, int g, int dir) {
    const int end = dir > 0 ? gsEnd : gsFirst;
    while (CanJoinGroup(grace, g)) {
        const TSongNote* n = GetSongNote();
        if (n && n->IsGrace() == grace && n->GetGroupState(g) == end) return;
        if (!CanStep(dir)) return;
        Step(dir);
    }
}

void TSimpleNtnIdx::StepToGroupEndOfCurrent(int g, int dir) {
    const TSongNote* n = GetSongNote();
    if (n && n->GetGroupState(g) != gsNone) StepToGroupEnd(n->IsGrace(), g, dir);
}

bool TSimpleNtnIdx::StepToSongNoteInSection(int dir) {
    while (CanStep(dir)) {
        Step(dir);
        if (GetSongNote()) return true;
        if (GetSpecialEnding() || GetFlowDirection()) return false;
        if (dir < 0 && GetBarLine() && GetBarLine()->GetStyle() != bsSingle) return false;
    }
    return false;
}

bool TSimpleNtnIdx::StepToNoteInSection(int dir) {
    while (StepToSongNoteInSection(dir)) {
        if (Current->HasNotes()) return true;
    }
    return false;
}

bool TSimpleNtnIdx::StepToMatchInSection(int pos, int accidental, bool stopAtHidden, int dir) {
    while (CanStep(dir)) {
        Step(dir);
        if (GetSongNote()) {
            // The partner of a tie's start lies ahead and ends the tie; the partner of its end lies behind
            // and carries the tie.
            if (Current->FindTiedNote(pos, dir > 0, accidental, stopAtHidden)) return true;
            continue;
        }
        switch (GetItemType()) {
            case ntClef:
                return false;
            case ntBarLine: {
                const int style = GetBarLine()->GetStyle();
                if (style == bsLocalRepeatClose || style == bsMasterRepeatClose) return false;
                break;
            }
            case ntSpecialEnding:
                if (GetSpecialEnding()->IsLaterEnding()) return false;
                break;
            case ntStaffSizer:
                if (GetStaffSizer()->IsGap()) return false;
                break;
            case ntFlowDirection: {
                const int style = GetFlowDirection()->GetStyle();
                if (style == fsCoda) {
                    if (CanStep(-1)) Step(-1);
                    return false;
                }
                if (style == fsDCalCoda || style == fsDSalCoda) {
                    if (CanStep(1)) Step(1);
                    return false;
                }
                break;
            }
            default:
                break;
        }
    }
    return false;
}

bool TSimpleNtnIdx::StepToSlurEnd(int dir) {
    const TSongNote* start = GetSongNote();
    if (!start) return false;
    const bool grace = start->IsGrace();
    for (;;) {
        if (const TSongNote* n = GetSongNote()) {
            if (grace) {
                if (!n->IsGrace()) return true;
                if (dir < 0 || !n->HasAttribute(naSlur)) return true;
            } else if (!n->IsGrace()) {
                const bool goesOn = dir > 0 ? n->HasAttribute(naSlur) : n->IsSlurContinued();
                if (!goesOn) return true;
            }
        } else {
            switch (GetItemType()) {
                case ntClef:
                case ntKey:
                case ntTimeSignature:
                    if (dir < 0) return false;
                    break;
                case ntBarLine: {
                    const int style = GetBarLine()->GetStyle();
                    if (dir < 0 || style == bsLocalRepeatClose || style == bsMasterRepeatClose) return false;
                    break;
                }
                case ntSpecialEnding:
                    if (dir < 0 || grace || GetSpecialEnding()->IsLaterEnding()) return false;
                    break;
                case ntStaffSizer:
                    if (GetStaffSizer()->IsGap()) return false;
                    break;
                default:
                    break;
            }
        }
        if (!CanStep(dir)) return false;
        Step(dir);
    }
}

// ---------------------------------------------------------------------------------------------------------
// TRelNtnIdx

TRelNtnIdx::TRelNtnIdx(TMusicStaff* staff) : TSimpleNtnIdx(staff) {}

TRelNtnIdx::TRelNtnIdx(TMusicStaff* staff, int index) : TSimpleNtnIdx(staff) {
    TRelNtnIdx::Seek(index);
}

void TRelNtnIdx::Reset() {
    TSimpleNtnIdx::Reset();
    Time = 0;
    BarCount = 0;
    ExcludedBars = 0;
    Syllables = 0;
    BarInRest = 0;
}

int TRelNtnIdx::RestBarLength() const {
    const TMultiMeasureRest* rest = GetMultiMeasureRest();
    return rest ? rest->GetBarLength() : 0;
}

void TRelNtnIdx::LeaveMultiRestBar() {
    if (BarInRest == 0) return;
    Time -= BarInRest * RestBarLength();
    BarCount = static_cast<uint16_t>(BarCount - BarInRest);
    BarInRest = 0;
}

TNotatedItem* TRelNtnIdx::Next() {
    LeaveMultiRestBar();
    if (const TNotatedItem* x = Current) {
        if (const TBarLineData* bar = GetBarLine(); bar && !bar->GetComputedFlag()) {
            ++BarCount;
            if (bar->GetXBarCnt()) ++ExcludedBars;
        }
        if (const TMultiMeasureRest* rest = GetMultiMeasureRest()) {
            BarCount = static_cast<uint16_t>(BarCount + rest->GetNumBars() - 1);
        }
        if (const TSongNote* n = GetSongNote(); n && n->TakesLyric()) ++Syllables;
        Time += x->GetDuration();
    }
    return TSimpleNtnIdx::Next();
}

TNotatedItem* TRelNtnIdx::Prev() {
    LeaveMultiRestBar();
    TSimpleNtnIdx::Prev();
    if (const TNotatedItem* y = Current) {
        Time -= y->GetDuration();
        if (const TBarLineData* bar = GetBarLine(); bar && !bar->GetComputedFlag()) {
            --BarCount;
            if (bar->GetXBarCnt()) --ExcludedBars;
        }
        if (const TMultiMeasureRest* rest = GetMultiMeasureRest()) {
            BarCount = static_cast<uint16_t>(BarCount - (rest->GetNumBars() - 1));
        }
        if (const TSongNote* n = GetSongNote(); n && n->TakesLyric()) --Syllables;
    }
    return Current;
}

void TRelNtnIdx::Seek(int i) {
    i = std::min(i, LastIndex());
    if (i < 5) {
        Reset();
        if (i <= 0) return;
    }
    while (Index > i)
        Prev();
    while (Index < i)
        Next();
    LeaveMultiRestBar();
}

int TRelNtnIdx::GetDisplayBarNumber(const TMusicScore& score) const {
    return static_cast<uint16_t>(BarCount) - ExcludedBars + score.StartingBar - 1;
}

bool TRelNtnIdx::SeekItemPosition(int index, int bar) {
    if (bar < 0) return false;
    if (index < 0 || index > LastIndex()) return false;
    Seek(index);
    if (bar == 0) return true;
    const TMultiMeasureRest* rest = GetMultiMeasureRest();
    if (!rest || rest->GetNumBars() < bar) return false;
    for (int k = 0; k < bar && Index == index; ++k)
        StepForward(true);
    return true;
}

bool TRelNtnIdx::CanStepInRests(int dir) const {
    if (CanStep(dir)) return true;
    const TMultiMeasureRest* rest = GetMultiMeasureRest();
    if (!rest) return false;
    return dir < 0 ? BarInRest > 0 : BarInRest + 1 < rest->GetNumBars();
}

void TRelNtnIdx::StepForward(bool intoRests) {
    if (!CanStepInRests(1)) return;
    const TMultiMeasureRest* rest = GetMultiMeasureRest();
    if (rest && intoRests && BarInRest + 1 < rest->GetNumBars()) {
        Time += rest->GetBarLength();
        ++BarCount;
        ++BarInRest;
        return;
    }
    Next();
}

void TRelNtnIdx::StepBack(bool intoRests) {
    if (!CanStepInRests(-1)) return;
    if (intoRests && BarInRest > 0) {
        Time -= RestBarLength();
        --BarCount;
        --BarInRest;
        return;
    }
    Prev();
    if (const TMultiMeasureRest* rest = GetMultiMeasureRest(); rest && intoRests) {
        const int k = rest->GetNumBars() - 1;
        BarInRest = static_cast<uint16_t>(k);
        Time += k * rest->GetBarLength();
        BarCount = static_cast<uint16_t>(BarCount + k);
    }
}

void TRelNtnIdx::StepInRests(int dir) {
    if (dir < 0) {
        StepBack(true);
    } else {
        StepForward(true);
    }
}

void TRelNtnIdx::StepToNextTime(int dir) {
    const int start = Time;
    while (Time == start && CanStepInRests(dir))
        StepInRests(dir);
}

void TRelNtnIdx::StepToNextBar(int dir) {
    const int start = GetBarNumber(true);
    StepToNextTime(dir);
    while (GetBarNumber(true) == start && CanStepInRests(dir))
        StepInRests(dir);
}

template <class Value>
void TRelNtnIdx::SeekValue(int target, bool intoRests, Value value) {
    while (value() == target && CanStep(-1) && BarInRest == 0)
        Prev();
    if (value() < target) {
        while (value() < target && CanStepInRests(1))
            StepForward(intoRests);
        return;
    }
    while (value() >= target && CanStepInRests(-1))
        StepBack(intoRests);
    if (value() < target) StepForward(intoRests);
}

void TRelNtnIdx::SeekTime(int ticks, bool intoRests) {
    if (ticks <= 0) {
        Reset();
        return;
    }
    SeekValue(ticks, intoRests, [&] { return Time; });
}

void TRelNtnIdx::SeekBar(int bar, bool raw, bool intoRests) {
    if (bar <= 0) {
        Reset();
        return;
    }
    SeekValue(bar, intoRests, [&] { return GetBarNumber(raw); });
}

int TRelNtnIdx::AlignWith(const TRelNtnIdx& other, bool intoRests) {
    SeekTime(other.GetTime(), intoRests);
    if (Index == 0 && CanStep(1)) Next();
    if (Time != other.GetTime()) return Time;
    if (GetBarNumber(true) < other.GetBarNumber(true)) {
        while (GetBarNumber(false) < other.GetBarNumber(false) && CanStepInRests(1))
            StepForward(intoRests);
        return Time;
    }
    const int kind = other.GetItemType();
    const bool signature = kind == ntBarLine || kind == ntClef || kind == ntKey || kind == ntFlowDirection ||
                           kind == ntSpecialEnding || kind == ntTimeSignature;
    if (signature && GetItemType() != kind) {
        StepToKind(kind, 1);
    } else if (other.GetSongNote() && !GetSongNote()) {
        StepToSongNote(1);
    }
    int rememberedIndex = Index;
    int rememberedBar = BarInRest;
    if (Time == other.GetTime()) {
        TRelNtnIdx back(other);
        while (back.CanStep(-1)) {
            back.Prev();
            if (back.GetTime() != other.GetTime()) break;
            if (back.GetBarLine() && back.GetIndex() != 0) {
                StepToKind(ntBarLine, 1);
                if (Time != other.GetTime()) break;
                rememberedIndex = Index;
                rememberedBar = BarInRest;
            }
        }
    }
    if (Time != other.GetTime()) SeekItemPosition(rememberedIndex, rememberedBar);
    return Time;
}

// ---------------------------------------------------------------------------------------------------------
// TNeighborhoodNtnIdx

TNeighborhoodNtnIdx::TNeighborhoodNtnIdx(TMusicStaff* staff) : TSimpleNtnIdx(staff) {}

TNeighborhoodNtnIdx::TNeighborhoodNtnIdx(TMusicStaff* staff, int index) : TSimpleNtnIdx(staff) {
    TNeighborhoodNtnIdx::Seek(index);
}

void TNeighborhoodNtnIdx::ClearNeighbours() {
    LastBar = LastClef = LastKey = LastTimeSignature = LastInstrument = LastDynamic = 0;
    LastDynamicVariance = LastTempo = LastGradualTempo = LastRest = LastSongNote = PrevSongNote = 0;
}

void TNeighborhoodNtnIdx::Reset() {
    TSimpleNtnIdx::Reset();
    ClearNeighbours();
}

bool TNeighborhoodNtnIdx::IsGradualTempoVariance(const TNotatedItem* item) {
    return static_cast<const TTempoVariance*>(item)->GetStyle() > tvFermata;
}

TNotatedItem* TNeighborhoodNtnIdx::NeighborhoodNext() {
    if (!Current) return StepOn();
    return NeighborhoodNext(Current->GetType());
}

TNotatedItem* TNeighborhoodNtnIdx::Next() {
    return NeighborhoodNext();
}

int TNeighborhoodNtnIdx::FindEarlier(int before, const TNotatedItem* like) const {
    const int type = like->GetType();
    for (int i = std::min(before, LastIndex() + 1) - 1; i >= 0; --i) {
        const TNotatedItem* item = ItemAt(i);
        if (item->GetType() != type) continue;
        if (type == ntTempoVariance && static_cast<const TTempoVariance*>(item)->GetStyle() <= tvFermata) {
            continue;
        }
        return i;
    }
    return 0;
}

TNotatedItem* TNeighborhoodNtnIdx::Prev() {
    TSimpleNtnIdx::Prev();
    if (!Current) return nullptr;
    if (Current->IsSongNote()) {
        LastSongNote = PrevSongNote;
        PrevSongNote = 0;
        for (int i = LastSongNote - 1; i >= 0; --i) {
            if (ItemAt(i)->IsSongNote()) {
                PrevSongNote = i;
                break;
            }
        }
    }
    if (int32_t* field = FieldForItem(Current, Current->GetType())) *field = FindEarlier(Index, Current);
    return Current;
}

void TNeighborhoodNtnIdx::Seek(int i) {
    if (i > 1) i = std::min(i, LastIndex());
    if (i <= 1) {
        Reset();
        if (i <= 0) return;
    }
    while (Index > i)
        Prev();
    while (Index < i)
        Next();
}

const TStaffInstrument* TNeighborhoodNtnIdx::GetInstrumentData() const {
    const TNotatedItem* item = ItemAt(LastInstrument);
    if (item && item->GetType() == ntPatch) return &static_cast<const TPatchData*>(item)->GetInstrument();
    return Staff ? &Staff->Instrument : nullptr;
}

void TNeighborhoodNtnIdx::GetTimeSignature(int& beats, int& exponent) const {
    const TNotatedItem* item = ItemAt(LastTimeSignature);
    if (item && item->GetType() == ntTimeSignature) {
        const auto* ts = static_cast<const TTimeSignatureData*>(item);
        beats = ts->GetBeats();
        exponent = ts->GetBeatValueExponent();
        return;
    }
    beats = 4;
    exponent = 2;
}
