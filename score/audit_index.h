// The audit index, which carries the musical context of a staff (clef, key, accidentals in force, meter,
// ties still open, open groups, bar and lyric counts) while it walks forward, and the two indexes built on
// it: the transposing index and the index that finds notes whose accidental nothing shows.
#pragma once

#include <cstdint>

#include "score/base/play_state.h"
#include "score/notation_index.h"

class TMusicScore;

class TAuditNtnIdx : public TNeighborhoodNtnIdx {
public:
    TAuditNtnIdx() = default;
    explicit TAuditNtnIdx(TMusicStaff* staff);

    void Reset() override;
    // Forward only: an earlier index is reached by walking again from item 0.
    void Seek(int i) override;
    TNotatedItem* Next() override;
    TNotatedItem* Prev() override;

    TStaffPlayState& GetPlayState() { return PlayState; }
    const TStaffPlayState& GetPlayState() const { return PlayState; }
    const TPendingTieList& GetPendingTies() const { return Ties; }
    // Bit 0: a beam is open, bit 1: a triplet is open, after the last song note of the grace flag.
    uint32_t GetGroupMask(bool grace) const { return GroupMask[grace ? 1 : 0]; }
    void GetPlayTimeSignature(int& beats, int& unitCode) const;
    int GetTicksIntoBar() const;
    float GetBeatPosition() const;
    int GetBarNumber(bool raw) const { return raw ? BarCount : BarCount - ExcludedBars; }
    int GetExcludedBars() const { return ExcludedBars; }
    int GetDisplayBarNumber(const TMusicScore& score) const;
    int GetSyllableCount() const { return Syllables; }
    int GetLastMultiMeasureRest() const { return LastMultiRest; }
    // Ticks that the longer part of a split-duration chord still sounds beyond the current item.
    int GetOpenChordTicks() const { return OpenChord >> 1; }
    int GetOpenChordStem() const { return (OpenChord & 1) ? 1 : -1; }

protected:
    void AuditReset();
    // The audit step over the current item, then the neighbourhood step.
    TNotatedItem* AuditNext();

private:
    void StepSongNote(const TSongNote& note, int type);
    void SetOpenChordTicks(int ticks) {
        OpenChord = static_cast<uint16_t>((OpenChord & 1) | ((ticks & 0x7FFF) << 1));
    }

    TStaffPlayState PlayState;
    TStaffPlayState FirstEndingState;
    TStaffPlayState JumpState;
    TPendingTieList Ties;
    TPendingTieList FirstEndingTies;
    TPendingTieList JumpTies;
    uint32_t GroupMask[2] = {0, 0};
    uint16_t BarCount = 0;
    int16_t ExcludedBars = 0;
    uint16_t OpenChord = 0;
    int16_t Syllables = 0;
    int32_t LastMultiRest = 0;
};

class TTransposeNtnIdx : public TAuditNtnIdx {
public:
    // preference: below 0 prefers flats, above 0 sharps.
    TTransposeNtnIdx(TMusicStaff* staff, int semitones, int preference);

    void Reset() override;
    TNotatedItem* Next() override;

    // Transposes the current key signature or song note.
    void ApplyTranspose();
    // Whether the current item can be transposed (key signatures only update the step shift).
    bool CanTranspose();
    // Staff positions by which notes move under the key in force (negative for an upward move).
    int GetStepShift() const { return StepShift; }

private:
    void TransposeReset();
    bool TransposeCurrent(bool testOnly);

    int32_t StepShift = 0;
    int32_t FirstEndingShift = 0;
    int32_t JumpShift = 0;
    int32_t Semitones = 0;
    int32_t Preference = 0;
};

class TFindErrorNtnIdx : public TAuditNtnIdx {
public:
    explicit TFindErrorNtnIdx(TMusicStaff* staff);

    void Reset() override;
    TNotatedItem* Next() override;

    // Whether a note of the current item sounds an accidental that nothing at its own position shows.
    bool HasAccidentalError() const;
    // The accidental last shown at a staff position since the last bar line, clef, key or ending (5: none).
    int GetShownAt(int pos) const;

private:
    // One entry per staff position a note can hold (a signed byte).
    static constexpr int kPositions = 256;
    static constexpr int kOffset = 128;
    void ClearShown();

    uint8_t Shown[kPositions];
};
