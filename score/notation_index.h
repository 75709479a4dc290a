// Notation indexes: small cursors over the items of one staff. TSimpleNtnIdx knows its staff, index and
// current item and offers the kind tests, group tests and skip loops that every walk uses; TRelNtnIdx adds
// time, bar and lyric counts; TNeighborhoodNtnIdx remembers the last item of each governing kind. Indexes
// are plain values: copy one to look ahead without disturbing the walk.
#pragma once

#include <cstdint>
#include <functional>

#include "score/music_staff.h"
#include "score/song_note.h"

class TMusicScore;
class TNotatedItem;
class TClefData;
class TKeyData;
class TBarLineData;
class TSpecialEnding;
class TPatchData;
class TTimeSignatureData;
class TTempoData;
class TDynamicLevelData;
class TSustainPedal;
class TFlowDirection;
class TGenericControl;
class TTempoVariance;
class TDynamicVariance;
class TTextExpression;
class TRestChord;
class TChordName;
class TStaffSpacer;
class TMultiMeasureRest;
class TStaffSizer;
class TNtnGeneralExpression;
struct TStaffInstrument;

// Notes, rests, chords and rest chords: the item types of the song notes, told without a virtual call.
inline bool IsSongNoteType(int type) {
    return type == ntNote || type == ntRest || type == ntChord || type == ntRestChord;
}

// Visits the notes of a song note of the given type in order: a plain note itself, the members of a chord,
// the chord part of a rest chord; a plain rest has none. A plain note, the common case, costs no virtual
// call.
template <class Visit>
void ForEachNote(const TSongNote& note, int type, Visit visit) {
    if (type == ntNote) {
        // What TMusicNote::GetNote answers: the note itself.
        visit(const_cast<TMusicNote&>(static_cast<const TMusicNote&>(note)));
        return;
    }
    const int count = note.GetNoteCount();
    for (int i = 0; i < count; ++i) {
        if (TMusicNote* m = note.GetNote(i)) visit(*m);
    }
}

class TSimpleNtnIdx {
public:
    TSimpleNtnIdx() = default;
    explicit TSimpleNtnIdx(TMusicStaff* staff);
    TSimpleNtnIdx(TMusicStaff* staff, int index);
    TSimpleNtnIdx(const TSimpleNtnIdx&) = default;
    TSimpleNtnIdx& operator=(const TSimpleNtnIdx&) = default;

    // Slot 0: item 0 of the own staff with every running context cleared.
    virtual void Reset();
    // Slot 1: to item i; beyond the last item to the last, below 0 to item 0.
    virtual void Seek(int i);
    // Slots 2 and 3: one item on; the new current item (null off either end).
    virtual TNotatedItem* Next();
    virtual TNotatedItem* Prev();

    void SetStaff(TMusicStaff* staff);
    // Reset, then back to the same index: re-reads the item and rebuilds the running context.
    void Refresh();
    // dir below 1: the index is above 0; otherwise it is below the last index.
    bool CanStep(int dir) const { return dir < 1 ? Index >= 1 : Index < LastIndex(); }
    void Step(int dir) { Seek(Index + dir); }

    TMusicStaff* GetStaff() const { return Staff; }
    int GetIndex() const { return Index; }
    TNotatedItem* GetItem() const { return Current; }
    int GetItemType() const { return Current ? Current->GetType() : -1; }

    // Kind tests on the current item: the item cast to its class, or null.
    TClefData* GetClef() const;
    TKeyData* GetKey() const;
    TBarLineData* GetBarLine() const;
    TSpecialEnding* GetSpecialEnding() const;
    TPatchData* GetPatch() const;
    TTimeSignatureData* GetTimeSignatureItem() const;
    TTempoData* GetTempo() const;
    TDynamicLevelData* GetDynamic() const;
    TMusicNote* GetMusicNote() const;
    TRestNote* GetRestNote() const;
    TChordData* GetChord() const;
    TSustainPedal* GetSustainPedal() const;
    TFlowDirection* GetFlowDirection() const;
    TGenericControl* GetGenericControl() const;
    TTempoVariance* GetTempoVariance() const;
    TDynamicVariance* GetDynamicVariance() const;
    TTextExpression* GetTextExpression() const;
    TRestChord* GetRestChord() const;
    TChordName* GetChordName() const;
    TStaffSpacer* GetStaffSpacer() const;
    TMultiMeasureRest* GetMultiMeasureRest() const;
    TStaffSizer* GetStaffSizer() const;
    // A note or chord.
    TMusicNote* GetNoteOrChord() const;
    // A rest or rest chord.
    TRestNote* GetRestOrRestChord() const;
    // A note or chord itself; the chord part of a rest chord.
    TMusicNote* GetPitchedPart() const;
    TSongNote* GetSongNote() const {
        return Current && Current->IsSongNote() ? static_cast<TSongNote*>(Current) : nullptr;
    }
    TNtnGeneralExpression* GetExpression() const;
    // A tempo variance that changes the tempo gradually (not a breath mark, caesura or fermata).
    TTempoVariance* GetGradualTempoVariance() const;
    TSpecialEnding* GetNumberedSpecialEnding() const;
    bool IsBarBoundary() const;
    bool IsDurational() const;
    bool IsNoteItem(bool allowRests) const;
    // 1 crescendo, 2 diminuendo, 0 none.
    int GetHairpin() const;

    // Group tests (grouping 0 beam, 1 triplet).
    bool IsInAnyGroup() const;
    bool IsInGroup(int g) const;
    bool IsInGroupWithGrace(bool grace, int g) const;
    bool IsGroupStateWith(bool grace, int g, int state) const;
    bool IsGroupOpenAny() const;
    bool IsGroupContinuedAny() const;
    bool IsGroupOpen(int g) const;
    bool IsGroupContinued(int g) const;
    // Whether the current item lets a group of notes with the grace flag go on.
    bool CanJoinGroup(bool grace, int g) const { return ItemCanJoinGroup(Current, grace, g); }
    // The same test for any item of a staff (null: no).
    static bool ItemCanJoinGroup(const TNotatedItem* item, bool grace, int g) {
        return item && ItemCanJoinGroup(*item, item->GetType(), grace, g);
    }
    // The same for an item whose type the caller has read already.
    static bool ItemCanJoinGroup(const TNotatedItem& item, int type, bool grace, int g);
    bool IsInTriplet() const;
    bool IsHairpinContinued(int hairpin) const;
    // The stem direction (+1 up, -1 down, 0 none) that a chord with split stems imposes on the current note.
    int GetSplitStemDirection() const;
    // GetSplitStemDirection of every song note from first to last, visit(index, direction) in order, in one
    // pass over the items from the bar line before first to the one after last (a note at a time would walk
    // its whole beam group and bar each time).
    static void ForEachSplitStemDirection(TMusicStaff* staff, int first, int last,
                                          const std::function<void(int, int)>& visit);

    // Skip loops: each steps at least once and stops on the first item that passes its test (true) or at
    // the first or last item of the staff (false).
    bool StepToKind(int type, int dir);
    bool StepToSongNote(int dir);
    bool StepToBarBoundary(int dir);
    bool StepToDurational(int dir);
    bool StepToDynamic(int dir);
    bool StepToSongNoteWithGrace(bool grace, int dir);
    bool StepToNoteWithHeads(int dir);
    bool StepToNoteAtStaffPos(int pos, int dir);
    bool StepToGroupedNote(bool grace, int g, int dir);
    bool StepToGroupState(int state, int dir);
    bool StepToGroupNoteWithState(bool grace, int g, int state, int dir);
    // Examines the current item first: steps while it lets the group go on and is not its End (forward)
    // or First (backward).
    void StepToGroupEnd(bool grace, int g, int dir);
    void StepToGroupEndOfCurrent(int g, int dir);
    bool StepToSongNoteInSection(int dir);
    bool StepToNoteInSection(int dir);
    // The tie partner of a note at pos: tied onward (forward) or tie-continued (backward).
    bool StepToMatchInSection(int pos, int accidental, bool stopAtHidden, int dir);
    // Where the slur through the current note ends (forward) or begins (backward).
    bool StepToSlurEnd(int dir);

protected:
    TNotatedItem* ItemAt(int i) const { return Staff ? Staff->GetItem(i) : nullptr; }
    int LastIndex() const { return Staff ? Staff->GetItemCount() - 1 : -1; }
    // The step of Next without the virtual call, for the walks of derived indexes.
    TNotatedItem* StepOn() {
        ++Index;
        Current = ItemAt(Index);
        return Current;
    }

    TMusicStaff* Staff = nullptr;
    int32_t Index = 0;
    TNotatedItem* Current = nullptr;

private:
    template <class Test>
    bool StepUntil(int dir, Test test);
};

class TRelNtnIdx : public TSimpleNtnIdx {
public:
    TRelNtnIdx() = default;
    explicit TRelNtnIdx(TMusicStaff* staff);
    TRelNtnIdx(TMusicStaff* staff, int index);

    void Reset() override;
    void Seek(int i) override;
    TNotatedItem* Next() override;
    TNotatedItem* Prev() override;

    int GetBarNumber(bool raw) const { return raw ? BarCount : BarCount - ExcludedBars; }
    int GetExcludedBars() const { return ExcludedBars; }
    int GetBarInMultiRest() const { return BarInRest; }
    int GetTime() const { return Time; }
    int GetSyllableCount() const { return Syllables; }
    int GetDisplayBarNumber(const TMusicScore& score) const;

    int GetPackedPosition() const { return (Index << 8) | (BarInRest & 255); }
    // The packed form holds the bar inside a multi-measure rest in 8 bits; SeekItemPosition takes any bar.
    bool SeekPackedPosition(int packed) { return SeekItemPosition(packed >> 8, packed & 255); }
    bool SeekItemPosition(int index, int bar);
    void LeaveMultiRestBar();
    bool CanStepInRests(int dir) const;
    void StepForward(bool intoRests);
    void StepBack(bool intoRests);
    void StepInRests(int dir);
    void StepToNextTime(int dir);
    void StepToNextBar(int dir);
    void SeekTime(int ticks, bool intoRests);
    void SeekBar(int bar, bool raw, bool intoRests);
    // Puts this index (on another staff) at the position of other; returns this index's time.
    int AlignWith(const TRelNtnIdx& other, bool intoRests);

private:
    int RestBarLength() const;
    template <class Value>
    void SeekValue(int target, bool intoRests, Value value);

    int32_t Time = 0;
    uint16_t BarCount = 0;
    int16_t ExcludedBars = 0;
    int16_t Syllables = 0;
    uint16_t BarInRest = 0;
};

class TNeighborhoodNtnIdx : public TSimpleNtnIdx {
public:
    TNeighborhoodNtnIdx() = default;
    explicit TNeighborhoodNtnIdx(TMusicStaff* staff);
    TNeighborhoodNtnIdx(TMusicStaff* staff, int index);

    void Reset() override;
    void Seek(int i) override;
    TNotatedItem* Next() override;
    TNotatedItem* Prev() override;

    // The instrument of the last instrument change passed, else the staff's own.
    const TStaffInstrument* GetInstrumentData() const;
    // Beats and beat value exponent of the last time signature passed; 4 and 2 without one.
    void GetTimeSignature(int& beats, int& exponent) const;

    int GetLastBar() const { return LastBar; }
    int GetLastClef() const { return LastClef; }
    int GetLastKey() const { return LastKey; }
    int GetLastTimeSignature() const { return LastTimeSignature; }
    int GetLastInstrument() const { return LastInstrument; }
    int GetLastDynamic() const { return LastDynamic; }
    int GetLastDynamicVariance() const { return LastDynamicVariance; }
    int GetLastTempo() const { return LastTempo; }
    int GetLastGradualTempo() const { return LastGradualTempo; }
    int GetLastRest() const { return LastRest; }
    int GetLastSongNote() const { return LastSongNote; }
    int GetPrevSongNote() const { return PrevSongNote; }

protected:
    void ClearNeighbours();
    // The neighbourhood step alone: remembers the current item by kind, then the base step.
    TNotatedItem* NeighborhoodNext();
    // The same for a current item whose type the caller has read already. Inline: the audit walk takes
    // this step for every item of a staff.
    TNotatedItem* NeighborhoodNext(int type) {
        if (IsSongNoteType(type)) {
            PrevSongNote = LastSongNote;
            LastSongNote = Index;
        }
        if (int32_t* field = FieldForItem(Current, type)) *field = Index;
        return StepOn();
    }

private:
    int32_t* FieldForItem(const TNotatedItem* item, int type) {
        switch (type) {
            case ntClef:
                return &LastClef;
            case ntKey:
                return &LastKey;
            case ntBarLine:
                return &LastBar;
            case ntPatch:
                return &LastInstrument;
            case ntTimeSignature:
                return &LastTimeSignature;
            case ntTempo:
                return &LastTempo;
            case ntDynamic:
                return &LastDynamic;
            case ntRest:
                return &LastRest;
            case ntDynamicVariance:
                return &LastDynamicVariance;
            case ntTempoVariance:
                return IsGradualTempoVariance(item) ? &LastGradualTempo : nullptr;
            default:
                return nullptr;
        }
    }
    static bool IsGradualTempoVariance(const TNotatedItem* item);
    int FindEarlier(int before, const TNotatedItem* like) const;

    int32_t LastBar = 0;
    int32_t LastClef = 0;
    int32_t LastKey = 0;
    int32_t LastTimeSignature = 0;
    int32_t LastInstrument = 0;
    int32_t LastDynamic = 0;
    int32_t LastDynamicVariance = 0;
    int32_t LastTempo = 0;
    int32_t LastGradualTempo = 0;
    int32_t LastRest = 0;
    int32_t LastSongNote = 0;
    int32_t PrevSongNote = 0;
};

// The ticks of the note that a split-duration chord holds on its other stem (a rest chord: its chord part).
int OpenChordTicks(const TSongNote& note);
