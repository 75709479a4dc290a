// The audit, transposing and error-finding indexes.
#include "score/audit_index.h"

#include <cstring>

#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

bool IsGroupOpenState(int s) {
    return s == gsFirst || s == gsMiddle;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TAuditNtnIdx

TAuditNtnIdx::TAuditNtnIdx(TMusicStaff* staff) : TNeighborhoodNtnIdx(staff) {
    AuditReset();
}

void TAuditNtnIdx::AuditReset() {
    PlayState.Reset();
    if (Staff) PlayState.InitFromStaff(*Staff);
    PlayState.SetAuditWalk();
    FirstEndingState = PlayState;
    JumpState = PlayState;
    Ties.Clear();
    FirstEndingTies.Clear();
    JumpTies.Clear();
    GroupMask[0] = GroupMask[1] = 0;
    BarCount = 0;
    ExcludedBars = 0;
    Syllables = 0;
    OpenChord = 0;
    LastMultiRest = 0;
}

void TAuditNtnIdx::Reset() {
    TNeighborhoodNtnIdx::Reset();
    AuditReset();
}

void TAuditNtnIdx::Seek(int i) {
    i = std::min(i, LastIndex());
    if (i < 2) {
        Reset();
        if (i <= 0) return;
    }
    if (i < Index) Reset();
    while (Index < i)
        Next();
}

TNotatedItem* TAuditNtnIdx::Next() {
    return AuditNext();
}

TNotatedItem* TAuditNtnIdx::Prev() {
    Seek(Index - 1);
    return Current;
}

void TAuditNtnIdx::StepSongNote(const TSongNote& x, int type) {
    const int g = x.IsGrace() ? 1 : 0;
    // Only chords and rest chords can split their stems.
    if ((type == ntChord || type == ntRestChord) && x.HasSplitStems() && x.HasSplitDurations()) {
        OpenChord = x.GetStemDirSign() > 0 ? 1 : 0;
        SetOpenChordTicks(OpenChordTicks(x));
    }
    if (const int open = GetOpenChordTicks(); open > 0) {
        const int d = x.GetNominalTicks();
        SetOpenChordTicks(d < open ? open - d : 0);
    }
    if (x.TakesLyric()) ++Syllables;
    if (type == ntNote || type == ntChord) {
        GroupMask[g] = (GroupMask[g] & ~1u) | (IsGroupOpenState(x.GetBeamState()) ? 1u : 0u);
    }
    GroupMask[g] = (GroupMask[g] & ~2u) | (IsGroupOpenState(x.GetTripletState()) ? 2u : 0u);

    ForEachNote(x, type, [this](const TMusicNote& m) {
        const bool tie = m.HasAttribute(naTie);
        if (tie && !m.IsTieContinued()) {
            Ties.Add(m.GetStaffPos(), m.GetPlayedAccidental(PlayState), !m.IsTieDownward());
        } else if (!tie && m.IsTieContinued()) {
            TPendingTie taken;
            Ties.Take(m.GetStaffPos(), m.GetShownAccidental(), taken, true);
        }
    });
}

TNotatedItem* TAuditNtnIdx::AuditNext() {
    TNotatedItem* x = Current;
    if (!x) return NeighborhoodNext();
    const int type = x->GetType();
    switch (type) {
        case ntNote:
        case ntRest:
        case ntChord:
        case ntRestChord:
            StepSongNote(static_cast<const TSongNote&>(*x), type);
            break;
        case ntBarLine: {
            const auto* bar = static_cast<const TBarLineData*>(x);
            SetOpenChordTicks(0);
            if (!bar->GetComputedFlag()) {
                ++BarCount;
                if (bar->GetXBarCnt()) ++ExcludedBars;
            }
            if (bar->GetStyle() == bsMasterRepeatOpen) PlayState.ClearAuditMark();
            break;
        }
        case ntMultiMeasureRest:
            LastMultiRest = Index;
            SetOpenChordTicks(0);
            BarCount =
                static_cast<uint16_t>(BarCount + static_cast<const TMultiMeasureRest*>(x)->GetNumBars() - 1);
            break;
        case ntSpecialEnding: {
            const auto* ending = static_cast<const TSpecialEnding*>(x);
            if (ending->GetEndings() == 0) break;
            if (ending->HasEnding(0)) {
                PlayState.SetAuditMark();
                FirstEndingState = PlayState;
                FirstEndingTies = Ties;
            } else if (PlayState.GetAuditMark()) {
                PlayState = FirstEndingState;
                Ties = FirstEndingTies;
            }
            break;
        }
        case ntFlowDirection: {
            const int style = static_cast<const TFlowDirection*>(x)->GetStyle();
            if (style == fsToCoda) {
                JumpState = PlayState;
                JumpTies = Ties;
                JumpState.BeginJumpSearch();
                x->UpdatePlayState(JumpState);
            } else if (style == fsCoda && JumpState.IsJumpTargetReached()) {
                PlayState = JumpState;
                Ties = JumpTies;
            }
            break;
        }
        default:
            break;
    }
    x->UpdatePlayState(PlayState);
    return NeighborhoodNext(type);
}

void TAuditNtnIdx::GetPlayTimeSignature(int& beats, int& unitCode) const {
    beats = PlayState.GetBeatsPerBar();
    unitCode = PlayState.GetBeatUnitCode();
}

int TAuditNtnIdx::GetTicksIntoBar() const {
    if (Index <= 0) return 0;
    const TNotatedItem* before = ItemAt(Index - 1);
    if (!before || before->GetType() == ntBarLine) return 0;
    if (before->GetType() == ntMultiMeasureRest) {
        return static_cast<const TMultiMeasureRest*>(before)->GetBarLength();
    }
    int bar = Index - 1;
    while (bar >= 0 && ItemAt(bar)->GetType() != ntBarLine)
        --bar;
    if (bar < 0) return 0;
    int ticks = 0;
    for (int i = bar + 1; i < Index; ++i)
        ticks += ItemAt(i)->GetDuration();
    return ticks;
}

float TAuditNtnIdx::GetBeatPosition() const {
    const int ticks = GetTicksIntoBar();
    const int beat = MeasureTicks(1, PlayState.GetBeatUnitCode());
    if (ticks == 0 || beat == 0) return 0.0f;
    return static_cast<float>(ticks) / static_cast<float>(beat);
}

int TAuditNtnIdx::GetDisplayBarNumber(const TMusicScore& score) const {
    return static_cast<uint16_t>(BarCount) - ExcludedBars + score.StartingBar - 1;
}

// ---------------------------------------------------------------------------------------------------------
// TTransposeNtnIdx

TTransposeNtnIdx::TTransposeNtnIdx(TMusicStaff* staff, int semitones, int preference)
    : TAuditNtnIdx(staff), Semitones(semitones), Preference(preference) {
    TransposeReset();
}

void TTransposeNtnIdx::TransposeReset() {
    StepShift = FirstEndingShift = JumpShift = 0;
    GetPlayState().SetTransposeWalk();
    // Notes before the staff's first key signature move as under a key without sharps or flats.
    TKeyData plain(0, 0, 2);
    int steps = 0;
    plain.Transpose(Semitones, steps, Preference, true);
    StepShift = steps;
}

void TTransposeNtnIdx::Reset() {
    TAuditNtnIdx::Reset();
    TransposeReset();
}

TNotatedItem* TTransposeNtnIdx::Next() {
    if (const TSpecialEnding* ending = GetNumberedSpecialEnding()) {
        if (ending->HasEnding(0)) {
            FirstEndingShift = StepShift;
        } else {
            StepShift = FirstEndingShift;
        }
    } else if (const TFlowDirection* flow = GetFlowDirection()) {
        if (flow->GetStyle() == fsToCoda) {
            JumpShift = StepShift;
        } else if (flow->GetStyle() == fsCoda && GetPlayState().IsJumpTargetReached()) {
            StepShift = JumpShift;
        }
    }
    return AuditNext();
}

bool TTransposeNtnIdx::TransposeCurrent(bool testOnly) {
    if (TKeyData* key = GetKey()) {
        int steps = StepShift;
        key->Transpose(Semitones, steps, Preference, testOnly);
        StepShift = steps;
        return true;
    }
    if (TSongNote* note = GetSongNote())
        return note->Transpose(GetPlayState(), Semitones, StepShift, testOnly);
    return true;
}

void TTransposeNtnIdx::ApplyTranspose() {
    TransposeCurrent(false);
}

bool TTransposeNtnIdx::CanTranspose() {
    return TransposeCurrent(true);
}

// ---------------------------------------------------------------------------------------------------------
// TFindErrorNtnIdx

TFindErrorNtnIdx::TFindErrorNtnIdx(TMusicStaff* staff) : TAuditNtnIdx(staff) {
    ClearShown();
}

void TFindErrorNtnIdx::ClearShown() {
    std::memset(Shown, acNone, sizeof(Shown));
}

void TFindErrorNtnIdx::Reset() {
    TAuditNtnIdx::Reset();
    ClearShown();
}

int TFindErrorNtnIdx::GetShownAt(int pos) const {
    const int i = pos + kOffset;
    return i >= 0 && i < kPositions ? Shown[i] : int{acNone};
}

TNotatedItem* TFindErrorNtnIdx::Next() {
    if (const TSongNote* note = GetSongNote()) {
        const int count = note->GetNoteCount();
        for (int i = 0; i < count; ++i) {
            const TMusicNote* m = note->GetNote(i);
            if (!m) continue;
            const int shown = m->GetShownAccidental();
            const int slot = m->GetStaffPos() + kOffset;
            if (shown != acNone && slot >= 0 && slot < kPositions) Shown[slot] = static_cast<uint8_t>(shown);
        }
    } else if (GetBarLine() || GetClef() || GetKey() || GetNumberedSpecialEnding()) {
        ClearShown();
    }
    return AuditNext();
}

bool TFindErrorNtnIdx::HasAccidentalError() const {
    if (!Staff || Staff->Muted) return false;
    const TSongNote* note = GetSongNote();
    if (!note) return false;
    const TStaffPlayState& state = GetPlayState();
    const int count = note->GetNoteCount();
    for (int i = 0; i < count; ++i) {
        const TMusicNote* m = note->GetNote(i);
        if (!m || m->GetShownAccidental() != acNone || m->IsTieContinued() || m->IsMuted()) continue;
        const int t = GetShownAt(m->GetStaffPos());
        const int letter = m->GetLetter(state.GetClef());
        const int inForce = state.GetAccidental(letter);
        if (t == acNone ? inForce != state.GetKeyAccidental(letter) : inForce != t) return true;
    }
    return false;
}
