// The running context of one walk over a staff's items (performance, audit or transpose walk), the list of
// ties still open during a walk, and the instrument record of a staff.
#pragma once

#include "platform/base/wintypes.h"

class TMusicStaff;

// Tied notes of a performance walk whose sound goes on past their own item: the key sent, the channel and
// port it went to, the staff position of the note and the tick at which the tied note's own length ends.
struct TSoundingTie {
    DWORD EndTick = 0;
    BYTE Key = 0;
    BYTE ChannelPort = 0;  // low nibble channel, high nibble port
    signed char Position = 0;
};

class TSoundingTieList {
public:
    static constexpr int MaxTies = 32;

    void Clear() { Count = 0; }
    int GetCount() const { return Count; }
    const TSoundingTie& Get(int i) const { return Ties[i]; }
    // Appends; false (and nothing added) when full.
    bool Add(const TSoundingTie& tie);
    // The index of the last entry at the staff position, or -1.
    int Find(int position) const;
    // Removes entry i (later entries move down).
    void Remove(int i);

private:
    TSoundingTie Ties[MaxTies];
    int32_t Count = 0;
};

// Walk modes.
enum : int {
    PLAYWALK_PERFORMANCE = 0,
    PLAYWALK_AUDIT = 1,
    PLAYWALK_TRANSPOSE = 2,
};

// A bit-packed record, copied whole by assignment. Field widths are part of its behaviour: values are
// kept to the bits they are stored in.
class TStaffPlayState {
public:
    TStaffPlayState() { Reset(); }

    // Everything but channel and port back to the start of a staff.
    void Reset();
    // Reset, then the channel, port and transposition of the staff's play settings. Defined with the staff,
    // which this record does not know.
    void InitFromStaff(const TMusicStaff& staff);

    DWORD GetTick() const { return Tick; }
    void SetTick(DWORD tick) { Tick = tick; }
    // Steps a running velocity ramp over the ticks, then adds them to the tick.
    void AdvanceTick(DWORD ticks);

    int GetChannel() const { return ChannelPort & 15; }
    void SetChannel(int channel) { ChannelPort = static_cast<BYTE>((ChannelPort & 0xF0) | (channel & 15)); }
    int GetPort() const { return ChannelPort >> 4; }
    void SetPort(int port) { ChannelPort = static_cast<BYTE>((ChannelPort & 0x0F) | ((port & 15) << 4)); }
    int GetTranspose() const { return Transpose; }
    void SetTranspose(int semitones) { Transpose = static_cast<signed char>(semitones); }
    int GetVelocity() const { return Velocity; }
    void SetVelocity(int velocity) { Velocity = static_cast<BYTE>(velocity); }

    // Velocity ramp toward target over ticks (at most 65534); none when the target is the current velocity.
    void SetVelocityRamp(int current, int target, DWORD ticks);
    int GetVelocityRampTarget() const { return RampTargetReached & 0x7F; }
    int GetVelocityRampTicks() const { return RampTicks; }
    // Ends a ramp and marks the dynamic as set.
    void StopVelocityRamp();
    bool IsDynamicSet() const { return (BeatsDynamic & 0x80) != 0; }
    void SetDynamicSet() { BeatsDynamic = static_cast<BYTE>(BeatsDynamic | 0x80); }
    void ClearDynamicSet() { BeatsDynamic = static_cast<BYTE>(BeatsDynamic & 0x7F); }

    // Beats 1-128 (stored minus one in 7 bits; a count below 1 is taken as 1), unit code 0-7.
    void SetTimeSignature(int beats, int unitCode);
    int GetBeatsPerBar() const { return (BeatsDynamic & 0x7F) + 1; }
    int GetBeatUnitCode() const { return UnitMarkTonic & 7; }
    DWORD GetBarTicks() const;

    void SetClef(int type, int octaveShift);
    int GetClef() const { return CounterClef >> 4; }
    int GetOctaveShift() const { return ModeGroupOctave >> 6; }

    // Key masks over the note letters A = 0 to G = 6; the accidentals in force become the key's.
    void SetKeySignature(int flatMask, int sharpMask, int tonic);
    // At a bar line: the accidentals in force become the key's again.
    void ResetAccidentals();
    // Accidental codes: 0 sharp, 1 flat, 2 natural (clears the letter), 3 double sharp, 4 double flat.
    void SetAccidental(int letter, int code);
    int GetAccidental(int letter) const;
    // 0 when the key sharpens the letter, 1 when it flattens it, else 2.
    int GetKeyAccidental(int letter) const;
    int GetKeySharpMask() const { return KeySharps; }
    int GetKeyFlatMask() const { return KeyFlats; }
    int GetKeyTonic() const;
    // The key as a signed count of sharps (positive) or flats (negative).
    int GetKeyIndex() const;
    int GetSharpMask() const { return Sharps; }
    int GetFlatMask() const { return Flats; }
    int GetDoubleSharpMask() const { return DoubleSharps; }
    int GetDoubleFlatMask() const { return DoubleFlats; }
    bool HasSharp(int letter) const { return (Sharps & LetterBit(letter)) != 0; }
    bool HasFlat(int letter) const { return (Flats & LetterBit(letter)) != 0; }
    bool HasDoubleSharp(int letter) const { return (DoubleSharps & LetterBit(letter)) != 0; }
    bool HasDoubleFlat(int letter) const { return (DoubleFlats & LetterBit(letter)) != 0; }

    int GetLocalRepeatPass() const { return LocalPass; }
    void SetLocalRepeatPass(int pass) { LocalPass = static_cast<SHORT>(pass); }
    void IncLocalRepeatPass() { LocalPass = static_cast<SHORT>(LocalPass + 1); }
    int GetMasterRepeatPass() const { return MasterPass; }
    void SetMasterRepeatPass(int pass) { MasterPass = static_cast<signed char>(pass); }
    void IncMasterRepeatPass() { MasterPass = static_cast<signed char>(MasterPass + 1); }
    int GetMasterRepeatCount() const { return MasterCount; }
    void SetMasterRepeatCount(int count) { MasterCount = static_cast<BYTE>(count); }
    // The pass of the position: the larger of the local and master passes.
    int GetRepeatPass() const { return LocalPass > MasterPass ? LocalPass : MasterPass; }

    void SetSkipping() { StyleFlow = static_cast<BYTE>(StyleFlow | 0x40); }
    void ClearSkipping() { StyleFlow = static_cast<BYTE>(StyleFlow & ~0x40); }
    void BeginJumpSkip() { StyleFlow = static_cast<BYTE>(StyleFlow | 0xC0); }
    void BeginJumpSearch() { StyleFlow = static_cast<BYTE>(StyleFlow | 0xC0); }
    void EndJumpSkip();
    bool IsJumpTargetReached() const { return (RampTargetReached & 0x80) != 0; }
    bool IsJumpTaken() const { return (StyleFlow & 0x80) != 0; }
    bool IsNotSkipping() const { return (StyleFlow & 0x40) == 0; }

    int GetWalkMode() const { return ModeGroupOctave & 15; }
    bool IsNotationWalk() const { return GetWalkMode() != PLAYWALK_PERFORMANCE; }
    void SetAuditWalk() { SetWalkMode(PLAYWALK_AUDIT); }
    void SetTransposeWalk() { SetWalkMode(PLAYWALK_TRANSPOSE); }
    bool IsTransposeWalk() const { return GetWalkMode() == PLAYWALK_TRANSPOSE; }
    bool GetAuditMark() const { return (UnitMarkTonic & 8) != 0; }
    void SetAuditMark() { UnitMarkTonic = static_cast<BYTE>(UnitMarkTonic | 8); }
    void ClearAuditMark() { UnitMarkTonic = static_cast<BYTE>(UnitMarkTonic & ~8); }

    // Grace notes since the last main note, counted modulo 16.
    int GetNoteCounter() const { return CounterClef & 15; }
    void IncNoteCounter() {
        CounterClef = static_cast<BYTE>((CounterClef & 0xF0) | ((CounterClef + 1) & 15));
    }
    void ClearNoteCounter() { CounterClef = static_cast<BYTE>(CounterClef & 0xF0); }

    // A slur in progress: kind 1 also sets the start bit.
    void BeginNoteGroup(int kind);
    void EndNoteGroup() { ModeGroupOctave = static_cast<BYTE>(ModeGroupOctave & ~0x30); }
    bool InNoteGroup() const { return (ModeGroupOctave & 0x30) != 0; }
    bool IsNoteGroupStart() const { return (ModeGroupOctave & 0x20) != 0; }

    // Tied notes still sounding (performance walks only; cleared by Reset).
    TSoundingTieList& GetSoundingTies() { return SoundingTies; }
    const TSoundingTieList& GetSoundingTies() const { return SoundingTies; }

    // Signed 6-bit performance style index.
    int GetPerformanceStyle() const;
    void SetPerformanceStyle(int style) {
        StyleFlow = static_cast<BYTE>((StyleFlow & 0xC0) | (style & 0x3F));
    }

private:
    static int LetterBit(int letter) { return letter >= 0 && letter < 16 ? 1 << letter : 0; }
    void SetWalkMode(int mode) {
        ModeGroupOctave = static_cast<BYTE>((ModeGroupOctave & 0xF0) | (mode & 15));
    }

    DWORD Tick = 0;
    BYTE ChannelPort = 0;       // low nibble channel, high nibble port
    signed char Transpose = 0;  // semitones
    BYTE Velocity = 0;
    BYTE BeatsDynamic = 0;       // bits 0-6 beats minus one, bit 7 dynamic set
    BYTE StyleFlow = 0;          // bits 0-5 style, bit 6 skipping, bit 7 jump taken
    BYTE ModeGroupOctave = 0;    // bits 0-3 walk mode, bits 4-5 note group, bits 6-7 octave shift
    WORD RampTicks = 0;          // ticks left in the velocity ramp
    BYTE RampTargetReached = 0;  // bits 0-6 ramp target, bit 7 jump target reached
    SHORT LocalPass = 0;
    signed char MasterPass = 0;
    BYTE MasterCount = 0;
    BYTE CounterClef = 0;    // low nibble note counter, high nibble clef type
    BYTE UnitMarkTonic = 0;  // bits 0-2 beat unit code, bit 3 audit mark, bits 4-7 key tonic (signed)
    WORD KeyFlats = 0;
    WORD KeySharps = 0;
    WORD Flats = 0;
    WORD Sharps = 0;
    WORD DoubleFlats = 0;
    WORD DoubleSharps = 0;
    TSoundingTieList SoundingTies;
};

// An open tie: the staff position of its note and a byte with the accidental code in bits 0-3 and a flag
// in bit 4.
struct TPendingTie {
    signed char Position = 0;
    BYTE Bits = 0;

    int GetPosition() const { return Position; }
    int GetAccidental() const { return Bits & 15; }
    bool GetFlag() const { return (Bits & 0x10) != 0; }
};

class TPendingTieList {
public:
    static constexpr int MaxTies = 24;

    void Clear() { Count = 0; }
    int GetCount() const { return Count; }
    // Appends; false (and nothing added) when 24 are held.
    bool Add(int position, int accidental, bool flag);
    // Copies entry i; false beyond the count.
    bool GetEntry(int i, TPendingTie& out) const;
    // The last entry with the position and accidental (accidental 5 matches any), copied out and, with
    // remove, deleted; false when none.
    bool Take(int position, int accidental, TPendingTie& out, bool remove);

private:
    TPendingTie Ties[MaxTies];
    int32_t Count = 0;
};

// The instrument of a staff or of an instrument-change item: name, bank, patch, transposition and the
// velocities of the dynamic levels ppp to fff.
struct TStaffInstrument {
    char Name[48];
    BYTE BankFlag;   // bank select on or off
    WORD Bank;       // MSB * 128 + LSB
    BYTE PatchByte;  // program + 1; 0 = no patch
    signed char Trans;
    BYTE DynVel[8];

    TStaffInstrument() { Reset(); }
    void Reset();

    void SetName(const char* text);
    // strncmp over the 48 characters of the name.
    int CompareName(const char* text) const;
    void SetBank(int msb, int lsb);
    void ClearBank() { BankFlag = 0; }
    bool HasBank() const { return BankFlag != 0; }
    int GetBank() const { return Bank; }
    int GetBankMsb() const { return Bank >> 7; }
    int GetBankLsb() const { return Bank & 127; }
    void SetPatch(int program) { PatchByte = static_cast<BYTE>(program + 1); }
    void ClearPatch() { PatchByte = 0; }
    bool HasPatch() const { return PatchByte != 0; }
    int GetPatch() const { return PatchByte - 1; }
    void SetTranspose(int semitones) { Trans = static_cast<signed char>(semitones); }
    int GetTranspose() const { return Trans; }
    // Levels 0 (ppp) to 7 (fff); other levels are ignored (read as 0).
    void SetDynamicVelocity(int level, int velocity);
    int GetDynamicVelocity(int level) const;
};

// Called per item by the walks, so defined here where callers can inline them.
inline void TStaffPlayState::AdvanceTick(DWORD ticks) {
    if (RampTicks != 0) {
        int diff = GetVelocityRampTarget() - Velocity;
        if (diff == 0) {
            RampTicks = 0;
        } else {
            DWORD step = ticks < RampTicks ? ticks : RampTicks;
            float fraction = static_cast<float>(step) / static_cast<float>(RampTicks);
            Velocity = static_cast<BYTE>(Velocity + static_cast<int>(static_cast<float>(diff) * fraction));
            RampTicks = static_cast<WORD>(RampTicks - step);
        }
    }
    Tick += ticks;
}

inline void TStaffPlayState::SetAccidental(int letter, int code) {
    WORD bit = static_cast<WORD>(LetterBit(letter));
    WORD keep = static_cast<WORD>(~bit);
    Sharps &= keep;
    Flats &= keep;
    DoubleSharps &= keep;
    DoubleFlats &= keep;
    switch (code) {
        case 0:
            Sharps |= bit;
            break;
        case 1:
            Flats |= bit;
            break;
        case 3:
            DoubleSharps |= bit;
            break;
        case 4:
            DoubleFlats |= bit;
            break;
        default:
            break;
    }
}

inline int TStaffPlayState::GetAccidental(int letter) const {
    if (HasSharp(letter)) return 0;
    if (HasFlat(letter)) return 1;
    if (HasDoubleSharp(letter)) return 3;
    if (HasDoubleFlat(letter)) return 4;
    return 2;
}

inline void TStaffPlayState::BeginNoteGroup(int kind) {
    ModeGroupOctave = static_cast<BYTE>((ModeGroupOctave & ~0x30) | (kind == 1 ? 0x30 : 0x10));
}

inline int TStaffPlayState::GetPerformanceStyle() const {
    int v = StyleFlow & 0x3F;
    return v >= 32 ? v - 64 : v;
}

inline bool TSoundingTieList::Add(const TSoundingTie& tie) {
    if (Count >= MaxTies) return false;
    Ties[Count++] = tie;
    return true;
}

inline int TSoundingTieList::Find(int position) const {
    for (int i = Count - 1; i >= 0; --i) {
        if (Ties[i].Position == static_cast<signed char>(position)) return i;
    }
    return -1;
}

inline void TSoundingTieList::Remove(int i) {
    if (i < 0 || i >= Count) return;
    for (int j = i; j + 1 < Count; ++j)
        Ties[j] = Ties[j + 1];
    --Count;
}
