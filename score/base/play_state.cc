#include "score/base/play_state.h"

#include <cstring>

void TStaffPlayState::Reset() {
    Tick = 0;
    Transpose = 0;
    Velocity = 110;
    BeatsDynamic = 4 - 1;
    StyleFlow = 0;
    ModeGroupOctave = 0;
    RampTicks = 0;
    RampTargetReached = 0;
    LocalPass = 1;
    MasterPass = 1;
    MasterCount = 2;
    CounterClef = 0;
    UnitMarkTonic = static_cast<BYTE>(2 | (2 << 4));
    KeyFlats = KeySharps = 0;
    Flats = Sharps = 0;
    DoubleFlats = DoubleSharps = 0;
    SoundingTies.Clear();
}

void TStaffPlayState::SetVelocityRamp(int current, int target, DWORD ticks) {
    target &= 127;
    RampTargetReached = static_cast<BYTE>((RampTargetReached & 0x80) | target);
    RampTicks = static_cast<WORD>(ticks >= 65535 ? 65534 : ticks);
    if (target == current) RampTicks = 0;
}

void TStaffPlayState::StopVelocityRamp() {
    RampTicks = 0;
    SetDynamicSet();
}

void TStaffPlayState::SetTimeSignature(int beats, int unitCode) {
    if (beats < 1) beats = 1;
    BeatsDynamic = static_cast<BYTE>((BeatsDynamic & 0x80) | ((beats - 1) & 0x7F));
    UnitMarkTonic = static_cast<BYTE>((UnitMarkTonic & ~7) | (unitCode & 7));
}

DWORD TStaffPlayState::GetBarTicks() const {
    return static_cast<DWORD>(GetBeatsPerBar()) * static_cast<DWORD>(768 >> GetBeatUnitCode());
}

void TStaffPlayState::SetClef(int type, int octaveShift) {
    CounterClef = static_cast<BYTE>((CounterClef & 0x0F) | ((type & 15) << 4));
    ModeGroupOctave = static_cast<BYTE>((ModeGroupOctave & 0x3F) | ((octaveShift & 3) << 6));
}

void TStaffPlayState::SetKeySignature(int flatMask, int sharpMask, int tonic) {
    KeyFlats = Flats = static_cast<WORD>(flatMask);
    KeySharps = Sharps = static_cast<WORD>(sharpMask);
    DoubleFlats = DoubleSharps = 0;
    UnitMarkTonic = static_cast<BYTE>((UnitMarkTonic & 0x0F) | ((tonic & 15) << 4));
}

void TStaffPlayState::ResetAccidentals() {
    Sharps = KeySharps;
    Flats = KeyFlats;
    DoubleSharps = DoubleFlats = 0;
}

int TStaffPlayState::GetKeyAccidental(int letter) const {
    int bit = LetterBit(letter);
    if (KeySharps & bit) return 0;
    if (KeyFlats & bit) return 1;
    return 2;
}

int TStaffPlayState::GetKeyTonic() const {
    int nibble = UnitMarkTonic >> 4;
    return nibble >= 8 ? nibble - 16 : nibble;
}

// Letters in the order sharps and flats are added to a key (A = 0 ... G = 6), counted until the first one
// the mask lacks.
static int CountInOrder(int mask, const int (&order)[7]) {
    int n = 0;
    while (n < 7 && (mask & (1 << order[n])))
        ++n;
    return n;
}

int TStaffPlayState::GetKeyIndex() const {
    static constexpr int sharpOrder[7] = {5, 2, 6, 3, 0, 4, 1};  // F C G D A E B
    static constexpr int flatOrder[7] = {1, 4, 0, 3, 6, 2, 5};   // B E A D G C F
    int sharps = CountInOrder(KeySharps, sharpOrder);
    int flats = CountInOrder(KeyFlats, flatOrder);
    return sharps < flats ? -flats : sharps;
}

void TStaffPlayState::EndJumpSkip() {
    RampTargetReached = static_cast<BYTE>(RampTargetReached | 0x80);
    ClearSkipping();
}

bool TPendingTieList::Add(int position, int accidental, bool flag) {
    if (Count >= MaxTies) return false;
    TPendingTie& tie = Ties[Count++];
    tie.Position = static_cast<signed char>(position);
    tie.Bits = static_cast<BYTE>((accidental & 15) | (flag ? 0x10 : 0));
    return true;
}

bool TPendingTieList::GetEntry(int i, TPendingTie& out) const {
    if (i < 0 || i >= Count) return false;
    out = Ties[i];
    return true;
}

bool TPendingTieList::Take(int position, int accidental, TPendingTie& out, bool remove) {
    signed char pos = static_cast<signed char>(position);
    for (int i = Count - 1; i >= 0; --i) {
        if (Ties[i].Position != pos) continue;
        if (accidental != 5 && Ties[i].GetAccidental() != accidental) continue;
        out = Ties[i];
        if (remove) {
            for (int j = i; j + 1 < Count; ++j)
                Ties[j] = Ties[j + 1];
            --Count;
        }
        return true;
    }
    return false;
}

void TStaffInstrument::Reset() {
    static constexpr BYTE velocities[8] = {10, 30, 45, 60, 75, 92, 108, 127};
    std::memset(Name, 0, sizeof(Name));
    BankFlag = 0;
    Bank = 0;
    PatchByte = 0;
    Trans = 0;
    std::memcpy(DynVel, velocities, sizeof(DynVel));
}

void TStaffInstrument::SetName(const char* text) {
    std::memset(Name, 0, sizeof(Name));
    if (text) std::memcpy(Name, text, strnlen(text, sizeof(Name) - 1));
}

int TStaffInstrument::CompareName(const char* text) const {
    return std::strncmp(Name, text ? text : "", sizeof(Name));
}

void TStaffInstrument::SetBank(int msb, int lsb) {
    BankFlag = 1;
    Bank = static_cast<WORD>(msb * 128 + lsb);
}

void TStaffInstrument::SetDynamicVelocity(int level, int velocity) {
    if (level >= 0 && level < 8) DynVel[level] = static_cast<BYTE>(velocity);
}

int TStaffInstrument::GetDynamicVelocity(int level) const {
    return level >= 0 && level < 8 ? DynVel[level] : 0;
}
