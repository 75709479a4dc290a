// The sounding items of a staff: notes, chords, rests and rest chords, with their shared base TSongNote.
#pragma once

#include <cstdint>
#include <vector>

#include "score/glyph_codes.h"
#include "score/notated_item.h"
#include "score/pitch_ticks.h"

struct TMidiEvent;

// Attribute bits of a song note.
enum TNoteAttribute : int {
    naAccent = 0,
    naDotted = 1,
    naStaccato = 2,
    naTie = 3,
    naSlur = 4,
    naTenuto = 5,
    naAttribute6 = 6,
    naAttribute7 = 7,
    naDblDotted = 8,
    naGrace = 9,
    naTieDirection = 10,
    naSlurDirection = 11,
    naCrescendo = 12,
    naDiminuendo = 13,
    naMarcato = 14,
    naStaccatissimo = 15
};

// Group states of beams and triplets (vocabulary list 16).
enum TGroupState : int { gsNone = 0, gsFirst = 1, gsMiddle = 2, gsEnd = 3 };

// Lyric modes (vocabulary list 15).
enum TLyricMode : int { lmDefault = 0, lmAlways = 1, lmNever = 2 };

constexpr uint16_t AttributeBit(int bit) {
    return static_cast<uint16_t>(1u << bit);
}

// The articulation attributes of a song note.
constexpr uint16_t kArticulationBits = AttributeBit(naAccent) | AttributeBit(naStaccato) |
                                       AttributeBit(naTenuto) | AttributeBit(naMarcato) |
                                       AttributeBit(naStaccatissimo);

// A note's stem setting, as its file record stores it: free (the layout chooses the side), up or down.
enum class TStemSetting : uint8_t { Free = 0, Up = 1, Down = 2 };

// The other side of a set stem; a free stem stays free.
constexpr TStemSetting OppositeStem(TStemSetting s) {
    return s == TStemSetting::Up ? TStemSetting::Down : (s == TStemSetting::Down ? TStemSetting::Up : s);
}

class TSongNote : public TNotatedItem {
public:
    TSongNote(TNotatedItemType type, int duration, uint16_t attributes);

    void CopyFrom(const TNotatedItem& other) override;
    bool IsSongNote() const override { return true; }
    int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    int GetDuration() const override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    // Slots 22-38.
    virtual void SetDuration(int code) { Dur = static_cast<uint8_t>(code & 0x0F); }
    virtual void SetAttribute(int bit);
    virtual void ClearAttribute(int bit) { Attributes &= static_cast<uint16_t>(~AttributeBit(bit & 15)); }
    virtual void SetGroupState(int kind, int value);
    virtual void SetBeamState(int v) { BeamState = static_cast<uint8_t>(v & 3); }
    virtual void SetTripletState(int v) { TripletState = static_cast<uint8_t>(v & 3); }
    virtual void SetStemSetting(int code) { StemSetting = static_cast<uint8_t>(code & 3); }
    virtual void SetStemDirection(int dir) {
        SetStem(dir == 0 ? TStemSetting::Free : (dir > 0 ? TStemSetting::Up : TStemSetting::Down));
    }
    virtual void SyncNotes() {}
    virtual bool HasSplitStems() const { return false; }
    virtual bool HasSplitDurations() const { return false; }
    virtual int GetChordLayoutSize() const { return 0; }
    virtual int GetAccidentalSpace(TStaffDrawInfo& /*info*/) { return 0; }
    // Sets the slur and tie marks of the item from the walk state; done by the formatting pass.
    virtual void UpdateSlurAndTie(TStaffPlayState& state, TMusicStaff& staff, int index);
    virtual bool Transpose(TStaffPlayState& /*state*/, int /*semitones*/, int /*steps*/, bool /*keep*/) {
        return true;
    }
    virtual void RespellFromPitch(TStaffPlayState& /*state*/) {}
    virtual bool TakesLyricByDefault() const { return false; }

    // Attributes.
    uint16_t GetAttributes() const { return Attributes; }
    void SetAttributes(uint16_t word) { Attributes = word; }
    bool HasAttribute(int bit) const { return (Attributes & AttributeBit(bit & 15)) != 0; }
    bool HasArticulation() const;
    int CountArticulations() const;
    bool IsGrace() const { return HasAttribute(naGrace); }
    bool IsDotted() const { return HasAttribute(naDotted); }
    bool IsDblDotted() const { return HasAttribute(naDblDotted); }
    int GetDotCount() const { return IsDblDotted() ? 2 : (IsDotted() ? 1 : 0); }
    int GetHairpin() const;
    int GetSlurDirection() const;
    void SetSlurDirection(int dir);
    int GetTieDirection() const;
    void SetTieDirection(int dir);
    // The tie-downward bit lives in TMusicNote; the base keeps the direction flag only.
    virtual bool IsTieDownward() const { return false; }
    virtual void SetTieDownward(bool /*down*/) {}

    // Plain fields.
    int GetDur() const { return Dur; }
    int GetMarkNumber() const { return MarkNumber; }
    void SetMarkNumber(int v) { MarkNumber = static_cast<uint8_t>(v & 0x0F); }
    int GetXAccSpace() const { return XAccSpace; }
    void SetXAccSpace(int v) { XAccSpace = static_cast<uint8_t>(v & 0x0F); }
    int GetXNoteSpace() const { return XNoteSpace; }
    void SetXNoteSpace(int v) { XNoteSpace = static_cast<uint8_t>(v & 0x0F); }
    int GetStemSetting() const { return StemSetting; }
    TStemSetting GetStem() const { return static_cast<TStemSetting>(StemSetting); }
    void SetStem(TStemSetting s) { SetStemSetting(static_cast<int>(s)); }
    int GetBeamState() const { return BeamState; }
    int GetTripletState() const { return TripletState; }
    bool IsTriplet() const { return TripletState != gsNone; }
    int GetLyricMode() const { return LyricMode; }
    void SetLyricMode(int v) { LyricMode = static_cast<uint8_t>(v & 3); }
    bool IsSlurDownward() const { return SlurDown != 0; }
    void SetSlurDownward(bool v) { SlurDown = v ? 1 : 0; }
    bool IsRestChordPart() const { return RestChordPart != 0; }
    void SetRestChordPart(bool v) { RestChordPart = v ? 1 : 0; }
    bool IsChordMember() const { return ChordMember != 0; }
    void SetChordMember(bool v) { ChordMember = v ? 1 : 0; }
    bool IsSlurContinued() const { return SlurContinued != 0; }
    void SetSlurContinued(bool v) { SlurContinued = v ? 1 : 0; }
    bool IsTieContinued() const { return TieContinued != 0; }
    void SetTieContinued(bool v) { TieContinued = v ? 1 : 0; }
    bool IsUnderOpenChord() const { return UnderOpenChord != 0; }
    void SetUnderOpenChord(bool v) { UnderOpenChord = v ? 1 : 0; }
    int GetNotehead() const { return Notehead; }
    void SetNotehead(int v) { Notehead = static_cast<uint8_t>(v & 0x0F); }

    // Ticks from the duration code, dots and triplet state (grace notes included).
    int GetNominalTicks() const;

protected:
    // Copies every field of the song-note part, computed marks included.
    void AssignSongNoteFields(const TSongNote& other);

public:
    // Stems.
    int GetStemDirSign() const;
    bool IsStemUp() const { return GetStemDirSign() >= 0; }
    bool HasStemSetting() const { return StemSetting != 0; }
    bool HasLinkedStem() const;

    // Lyrics.
    bool TakesLyric() const;
    bool StartsSlurOrTie() const;

    // Grouping.
    int GetGroupState(int kind) const;
    bool HasGroupState(int kind) const { return GetGroupState(kind) != gsNone; }
    int GetGroupStateMask() const { return (1 << BeamState) | (1 << TripletState); }

private:
    // A large score holds close to a million notes: the fields that are read and written most are bytes of
    // their own, the others bit fields of their widths, so that a note takes 24 bytes.
    uint16_t Attributes;
    uint8_t Dur;
    uint8_t StemSetting = 0;
    uint8_t BeamState = 0;
    uint8_t TripletState = 0;
    uint8_t MarkNumber : 4 = 0;
    uint8_t XAccSpace : 4 = 0;
    uint8_t XNoteSpace : 4 = 0;
    uint8_t Notehead : 4 = 0;
    uint8_t LyricMode : 2 = 0;
    uint8_t SlurDown : 1 = 0;
    uint8_t RestChordPart : 1 = 0;
    uint8_t ChordMember : 1 = 0;
    uint8_t SlurContinued : 1 = 0;
    uint8_t TieContinued : 1 = 0;
    uint8_t UnderOpenChord : 1 = 0;
};

class TMusicNote : public TSongNote {
public:
    TMusicNote(int pos = 0, int duration = dcQuarter, uint16_t attributes = 0, int accidental = acNone);

    void Save(TQSRStream& stream) const override;
    void CopyFrom(const TNotatedItem& other) override;
    int GetNoteCount() const override { return 1; }
    TMusicNote* GetNote(int index) const override;
    bool IsNote() const override { return true; }
    bool HasNotes() const override { return true; }
    int GetStaffPos() const override { return Pos; }
    int GetMinStaffPos() const override { return Pos; }
    int GetMaxStaffPos() const override { return Pos; }
    void SetStaffPos(int pos) override { Pos = static_cast<int8_t>(pos); }
    int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    bool HasSplitDurations() const override;
    int GetChordLayoutSize() const override { return 1; }
    int GetAccidentalSpace(TStaffDrawInfo& info) override;
    bool Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) override;
    void RespellFromPitch(TStaffPlayState& state) override;
    bool TakesLyricByDefault() const override;
    // Final: chords set these of every member at each sync, so calls through a note pointer need no dispatch.
    bool IsTieDownward() const final { return TieDown != 0; }
    void SetTieDownward(bool down) final { TieDown = down ? 1 : 0; }
    void SetStemSetting(int code) final { TSongNote::SetStemSetting(code); }
    void SetStemDirection(int dir) final { TSongNote::SetStemDirection(dir); }

    // Slots 39-43.
    virtual TMusicNote* GetFirstNote() { return this; }
    virtual TMusicNote* GetLastNote() { return this; }
    virtual int GetFlagCount() const;
    virtual bool HasFreeStem() const;
    virtual bool HasWideLayout(int /*stemDir*/) const { return false; }

    // Accidentals.
    int GetAccidental() const { return Accidental; }
    int GetShownAccidental() const { return AutoAccidental ? int{acNone} : int{Accidental}; }
    void SetAccidental(int a) {
        Accidental = static_cast<uint8_t>(a & 7);
        AutoAccidental = 0;
    }
    bool IsAccidentalAutomatic() const;
    // A cross head (head shapes 1 and 4) marks an unpitched sound: its accidental, which the note keeps for
    // playing, is neither drawn nor given room.
    bool HasCrossHead() const { return GetNotehead() == 1 || GetNotehead() == 4; }
    void SetAutomaticAccidental(int a);
    void ResetAutomaticAccidental();
    bool HasAutomaticMark() const { return AutoAccidental != 0; }
    void SetAutomaticMark(bool v) { AutoAccidental = v ? 1 : 0; }
    int GetPlayedAccidental(const TStaffPlayState& state) const;
    // The accidental that the note plays with given the accidental the bar has in force for its letter.
    int GetPlayedAccidental(int inForce) const { return Accidental == acNone ? inForce : Accidental; }

    // Pitch.
    int GetMidiPitch(const TStaffPlayState& state) const;
    // A note-on at the state's tick, channel and port with the state's velocity, raised by seven fifths
    // (at most 127) for an accent or marcato.
    TMidiEvent MakeNoteOnEvent(const TStaffPlayState& state) const;
    // Letter 0-6 (A..G) of the note under a clef.
    int GetLetter(int clef) const;

    // Plain fields.
    bool IsMuted() const { return Muted != 0; }
    void SetMuted(bool v) { Muted = v ? 1 : 0; }
    bool HasNoLegerLines() const { return NoLegerLines != 0; }
    void SetNoLegerLines(bool v) { NoLegerLines = v ? 1 : 0; }
    bool HasArticulationsOnStem() const { return ArticulationsOnStem != 0; }
    void SetArticulationsOnStem(bool v) { ArticulationsOnStem = v ? 1 : 0; }
    int GetStemLengthField() const { return StemLength; }
    void SetStemLengthField(int v) { StemLength = static_cast<uint8_t>(v & 31); }
    void SetStemLength(int v) { StemLength = static_cast<uint8_t>(v == 0 ? 31 : (v & 31)); }
    int GetStemLength() const { return StemLength == 31 ? 0 : StemLength; }
    bool HasStemLength() const { return StemLength != 31; }
    bool HasCustomStem() const { return HasStemLength() && GetDur() > 0; }
    int GetHeadColumn() const { return HeadColumn; }
    void SetHeadColumn(int v) { HeadColumn = static_cast<uint8_t>(v & 7); }
    void MoveStaffPos(int d) { SetStaffPos(Pos + d); }

    // Symbol codes (glyph table indexes) for drawing.
    int GetAccidentalSymbolCode() const;
    int GetNoteheadSymbolCode() const;

    // Makes this note an exact copy of another single note (every field, computed marks included).
    void AssignNote(const TMusicNote& other);

    TMusicNote* GetStemEndNote(int direction);
    int CountNotesInRange(int a, int b, int direction) const;

protected:
    // For the chord, which is a note of its own type.
    TMusicNote(TNotatedItemType type, int pos, int duration, uint16_t attributes, int accidental);

    int8_t Pos;

private:
    uint8_t Accidental;
    uint8_t AutoAccidental : 1 = 0;
    uint8_t TieDown : 1 = 1;
    uint8_t Muted : 1 = 0;
    uint8_t NoLegerLines : 1 = 0;
    uint8_t ArticulationsOnStem : 1 = 0;
    uint8_t HeadColumn : 3 = 0;
    uint8_t StemLength = 0;
};

class TChordData final : public TMusicNote {
public:
    TChordData(TMusicNote* first = nullptr, TMusicNote* second = nullptr);
    ~TChordData() override;

    void Save(TQSRStream& stream) const override;
    int GetNoteCount() const override { return static_cast<int>(Members.size()); }
    TMusicNote* GetNote(int index) const override;
    int GetStaffPos() const override;
    int GetMinStaffPos() const override;
    int GetMaxStaffPos() const override;
    void SetStaffPos(int pos) override { Pos = static_cast<int8_t>(pos); }
    int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    void SetBeamState(int v) override;
    void SetTripletState(int v) override;
    void SyncNotes() override;
    bool HasSplitStems() const override;
    int GetChordLayoutSize() const override { return GetHeadColumn() + 1; }
    int GetAccidentalSpace(TStaffDrawInfo& info) override;
    bool Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) override;
    void RespellFromPitch(TStaffPlayState& state) override;

    TMusicNote* GetFirstNote() override { return Members.empty() ? nullptr : Members.front(); }
    TMusicNote* GetLastNote() override { return Members.empty() ? nullptr : Members.back(); }
    bool HasWideLayout(int stemDir) const override;

    // Adds a note (1) or refuses it (0, the caller keeps it). The chord owns an added note.
    bool AddNote(TMusicNote* note);
    // Adds the notes in order with the same result as AddNote on each one after the other, with fewer
    // syncs. The chord owns each added note, whose entry is set to null; refused notes (and null entries)
    // stay in the list for the caller. Returns the count added. With finish false the caller syncs the chord
    // (SyncNotes) next: the adds then leave out their last sync and head layout where that sync repeats them.
    int AddNotes(TMusicNote** notes, int count, bool finish = true);
    // Removes a member (1; the caller owns it again) or refuses (0).
    bool RemoveNote(TMusicNote* note);
    int FindStemSplitIndex(int direction) const;
    bool IsUnisonPair() const;
    int GetWideFlags() const { return WideFlags; }
    void SetWideFlags(int v) { WideFlags = static_cast<uint8_t>(v & 3); }
    // Restores the member order after positions changed.
    void SortNotes();
    // Appends a member as the file reader finds it, without any checks; the chord owns it.
    void AppendNoteRaw(TMusicNote* note) { Members.push_back(note); }
    // Detaches every member (the caller owns them).
    std::vector<TMusicNote*> DetachAllNotes();
    // Deletes every member that repeats the member kept before it: the same staff position and stem setting.
    void DeleteRepeatedMembers();

private:
    // AddNote without the head layout; inSync: the chord is as its last sync left it. synced is set when
    // the members were synced.
    bool AddMember(TMusicNote* note, bool inSync, bool& synced);
    // The first member of an empty chord, which takes the note's settings; no sync.
    void TakeFirstMember(TMusicNote* note);
    // AddNotes for an empty chord and notes of one length, one stem setting and distinct positions, which
    // no add refuses: the syncs after each add are left out, the one after the last gives the same chord.
    // False (nothing done) for other lists.
    bool AddNotesOfOneLength(TMusicNote** notes, int count, bool finish);
    // SyncNotes without the head layout, and its steps.
    void SyncMembers();
    void CopySettingsToMembers();
    int ChooseStemDirection(bool split, bool& pickedFirst);
    void TakeRepresentativeMember(bool pickedFirst);
    int TieLine(bool split, int dir) const;
    void PassMarksToMembers(bool split, int dir, int tieLine);
    void InsertOrdered(TMusicNote* note);
    void LayoutHeads();

    uint8_t WideFlags = 0;
    // A chord has a handful of members, and a large score has a hundred thousand chords.
    std::vector<TMusicNote*, qsm::TPoolAllocator<TMusicNote*>> Members;
};

class TRestNote : public TSongNote {
public:
    TRestNote(int duration = dcQuarter, uint16_t attributes = 0);

    void Save(TQSRStream& stream) const override;
    void CopyFrom(const TNotatedItem& other) override;
    TRestNote* GetRestNote() override { return this; }
    bool IsRest() const override { return true; }
    int GetStaffPos() const override;
    int GetMinStaffPos() const override;
    int GetMaxStaffPos() const override;
    int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    int GetDuration() const override;

    int GetRestSymbolCode() const { return GetDur() + glWholeRest; }
    int GetVertOffset() const { return VertOffset; }
    void SetVertOffset(int v);
    bool IsHideRest() const { return HideRest != 0; }
    void SetHideRest(bool flag);
    bool IsHiddenInRestChord() const { return HideRest != 0 && GetType() == ntRestChord; }
    bool HasBarLength() const { return BarLengthFlag != 0; }
    int GetBarLength() const { return BarLength; }
    void SetBarLength(int count, int durationCode);
    // Stores the flag and the length as a record holds them.
    void SetBarLengthRaw(bool flag, int ticks) {
        BarLengthFlag = flag ? 1 : 0;
        BarLength = ticks;
    }
    void ClearBarLength() { BarLengthFlag = 0; }
    bool IsWholeBarRestCandidate() const;

protected:
    // For the rest chord, which is a rest of its own type.
    TRestNote(TNotatedItemType type, int duration, uint16_t attributes);

private:
    uint8_t BarLengthFlag = 0;
    int32_t BarLength = 768;
    uint8_t HideRest = 0;
    int16_t VertOffset = 0;
};

class TRestChord : public TRestNote {
public:
    TRestChord(int duration = dcQuarter, uint16_t attributes = 0);
    ~TRestChord() override;

    void Save(TQSRStream& stream) const override;
    int GetNoteCount() const override;
    TMusicNote* GetNote(int index) const override;
    bool HasNotes() const override { return Part != nullptr; }
    int GetMinStaffPos() const override;
    int GetMaxStaffPos() const override;
    int GetDotWidth(TStaffDrawInfo& info, TLayoutRecord& record) override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    void SyncNotes() override;
    bool HasSplitStems() const override { return Part != nullptr; }
    bool HasSplitDurations() const override;
    int GetChordLayoutSize() const override { return Part ? Part->GetChordLayoutSize() : 0; }
    int GetAccidentalSpace(TStaffDrawInfo& info) override;
    bool Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) override;
    void RespellFromPitch(TStaffPlayState& state) override;
    bool TakesLyricByDefault() const override { return Part ? Part->TakesLyric() : false; }

    // The chord part: null, a note or a chord.
    TMusicNote* GetPart() const { return Part; }
    // Installs a part as the file reader finds it (owned; the old part is deleted).
    void SetPartRaw(TMusicNote* part);
    TMusicNote* DetachPart() {
        TMusicNote* p = Part;
        Part = nullptr;
        return p;
    }
    bool AddNote(TMusicNote* note);
    bool RemoveNote(TMusicNote* note);

private:
    void RenewTieDirections();

    TMusicNote* Part = nullptr;
};

// Moves a note one letter up (+1) or down (-1) keeping its pitch; false when no accidental fits.
bool EnharmonicShift(TMusicNote& note, const TStaffPlayState& state, int direction);
bool EnharmonicShift(TMusicNote& note, int clef, int direction);

// Inline: these run for every note that is read, formatted or played.

// Nominal ticks of a duration code with its dots and triplet state.
inline int NominalTicks(int durationCode, bool dotted, bool dblDotted, bool triplet) {
    const int code = durationCode & 0x0F;
    int t = code > 10 ? 0 : (768 >> code);
    const int plain = t;
    if (dblDotted) {
        t += (plain >> 1) + (plain >> 2);
    } else if (dotted) {
        t += plain >> 1;
    }
    if (triplet) t = t * 2 / 3;
    return t;
}

inline TSongNote::TSongNote(TNotatedItemType type, int duration, uint16_t attributes)
    : TNotatedItem(type), Attributes(attributes), Dur(static_cast<uint8_t>(duration & 0x0F)) {}

inline TMusicNote::TMusicNote(int pos, int duration, uint16_t attributes, int accidental)
    : TMusicNote(ntNote, pos, duration, attributes, accidental) {}

inline TMusicNote::TMusicNote(TNotatedItemType type, int pos, int duration, uint16_t attributes,
                              int accidental)
    : TSongNote(type, duration, attributes),
      Pos(static_cast<int8_t>(pos)),
      Accidental(static_cast<uint8_t>(accidental & 7)) {}

inline int TSongNote::GetSlurDirection() const {
    if (!HasAttribute(naSlurDirection)) return 0;
    return SlurDown ? 2 : 1;
}

inline void TSongNote::SetSlurDirection(int dir) {
    if (dir == 0) {
        ClearAttribute(naSlurDirection);
        return;
    }
    Attributes |= AttributeBit(naSlurDirection);
    SlurDown = dir != 1 ? 1 : 0;
}

inline int TSongNote::GetTieDirection() const {
    if (!HasAttribute(naTieDirection)) return 0;
    return IsTieDownward() ? 2 : 1;
}

inline void TSongNote::SetTieDirection(int dir) {
    if (dir == 0) {
        ClearAttribute(naTieDirection);
        return;
    }
    Attributes |= AttributeBit(naTieDirection);
    SetTieDownward(dir != 1);
}

inline int TSongNote::GetNominalTicks() const {
    return NominalTicks(Dur, HasAttribute(naDotted), HasAttribute(naDblDotted), TripletState != gsNone);
}

inline int TSongNote::GetStemDirSign() const {
    if (GetStem() == TStemSetting::Up) return 1;
    if (GetStem() == TStemSetting::Down) return -1;
    if (!IsGrace() && GetStaffPos() <= 0) return -1;
    return 1;
}
