// The items that frame the music: clef, key and time signatures, bar lines, special endings, multi-measure
// rests, staff spacers and staff boundaries.
#pragma once

#include <cstdint>

#include "score/notated_item.h"
#include "score/pitch_ticks.h"

// Octave shift codes (vocabulary list 32).
enum TOctaveShift : int { osNone = 0, osOctaveUp = 1, osOctaveDown = 2 };

class TClefData : public TNotatedItem {
public:
    explicit TClefData(int type = ctTreble) : TNotatedItem(ntClef), Type(static_cast<uint8_t>(type)) {}

    void Save(TQSRStream& stream) const override;
    int GetMinStaffPos() const override;
    int GetMaxStaffPos() const override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;

    int GetClefType() const { return Type; }
    void SetClefType(int t) { Type = static_cast<uint8_t>(t); }
    int GetOctaveShift() const { return OctaveShift; }
    void SetOctaveShift(int v);
    // -1 when automatic system clefs are off for this clef, else 0.
    int GetAutoSysOff() const { return AutoSysOff ? -1 : 0; }
    void SetAutoSysOff(bool off) { AutoSysOff = off ? 1 : 0; }

private:
    uint8_t Type;
    int8_t OctaveShift = 0;
    uint8_t AutoSysOff = 0;
};

class TKeyData : public TNotatedItem {
public:
    TKeyData(uint16_t sharpMask = 0, uint16_t flatMask = 0, int tonic = 2);

    void Save(TQSRStream& stream) const override;
    int GetMinStaffPos() const override { return -6; }
    int GetMaxStaffPos() const override { return 6; }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    uint16_t GetSharpMask() const { return SharpMask; }
    uint16_t GetFlatMask() const { return FlatMask; }
    // Stores both masks; a letter in both keeps its sharp.
    void SetMasks(uint16_t sharpMask, uint16_t flatMask);
    int GetKeyAccidental(int letter) const;
    void SetSharp(int letter);
    void SetFlat(int letter);
    void SetNatural(int letter);
    int GetTonic() const { return static_cast<int>(Tonic); }
    void SetTonic(int letter) { Tonic = static_cast<uint32_t>(letter); }
    int GetFifths() const;
    int GetClefInForce() const { return ClefInForce; }
    void SetClefInForce(int clef) { ClefInForce = static_cast<uint8_t>(clef); }
    void SetPrecedingSignature(uint16_t sharps, uint16_t flats) {
        PrecedingSharps = sharps;
        PrecedingFlats = flats;
    }
    uint16_t GetPrecedingSharps() const { return PrecedingSharps; }
    uint16_t GetPrecedingFlats() const { return PrecedingFlats; }
    uint16_t GetCancelledSharps() const { return static_cast<uint16_t>(PrecedingSharps & ~SharpMask); }
    uint16_t GetCancelledFlats() const { return static_cast<uint16_t>(PrecedingFlats & ~FlatMask); }
    bool GetHideCancels() const { return HideCancels != 0; }
    void SetHideCancels(bool v) { HideCancels = v ? 1 : 0; }
    int GetAutoSysOff() const { return AutoSysOff ? -1 : 0; }
    void SetAutoSysOff(bool off) { AutoSysOff = off ? 1 : 0; }

    // Moves the key by semitones; steps receives the number of staff positions notes move (stored sense).
    // With testOnly the key is left unchanged.
    void Transpose(int semitones, int& steps, int preference, bool testOnly);

private:
    uint16_t FlatMask = 0;
    uint16_t SharpMask = 0;
    uint8_t ClefInForce = 0;
    uint16_t PrecedingFlats = 0;
    uint16_t PrecedingSharps = 0;
    uint8_t HideCancels = 0;
    uint8_t AutoSysOff = 0;
    uint32_t Tonic;
};

int CountSharps(uint16_t mask);
int CountFlats(uint16_t mask);
int KeySignatureToFifths(uint16_t sharpMask, uint16_t flatMask);
int FifthsToMajorTonic(int fifths);
// The masks of the key with that many sharps (positive) or flats (negative).
void FifthsToKeyMasks(int fifths, uint16_t& sharpMask, uint16_t& flatMask);

// Time signature styles (vocabulary list 25).
enum TTimeSignatureStyle : int { tsStandard = 0, tsCommon = 1, tsAllaBreve = 2 };

class TTimeSignatureData : public TNotatedItem {
public:
    TTimeSignatureData(int beats = 4, int exponent = 2, int style = tsStandard);

    void Save(TQSRStream& stream) const override;
    int GetMinStaffPos() const override { return -4; }
    int GetMaxStaffPos() const override { return 4; }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetBeats() const { return Beats; }
    int GetBeatValueExponent() const { return Exponent; }
    int GetBeatValue() const { return 1 << Exponent; }
    int GetStyle() const { return Style; }
    // Mends the values: |beats| at most 128 (0 becomes 1), |exponent| at most 5.
    void SetBeats(int beats);
    void SetBeatValueExponent(int exponent);
    void SetStyle(int style);
    bool IsCommon() const { return Style == tsCommon; }
    bool IsAllaBreve() const { return Style == tsAllaBreve; }
    int GetMeasureTicks() const;

private:
    uint8_t Beats = 4;
    uint8_t Exponent = 2;
    uint8_t Style = 0;
};

int ExponentOfBeatValue(int value);

// Bar line styles (vocabulary list 8).
enum TBarLineStyle : int {
    bsSingle = 0,
    bsDouble = 1,
    bsBrokenSingle = 2,
    bsBrokenDouble = 3,
    bsSectionOpen = 4,
    bsSectionClose = 5,
    bsLocalRepeatOpen = 6,
    bsLocalRepeatClose = 7,
    bsMasterRepeatOpen = 8,
    bsMasterRepeatClose = 9,
    bsTransparent = 10
};

class TBarLineData : public TNotatedItem {
public:
    TBarLineData(int style = bsSingle, int repeat = 1)
        : TNotatedItem(ntBarLine),
          Style(static_cast<uint8_t>(style & 31)),
          Repeat(static_cast<uint8_t>(repeat)) {}

    void Save(TQSRStream& stream) const override;
    int GetMinStaffPos() const override { return -4; }
    int GetMaxStaffPos() const override { return 4; }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    int GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) override;

    int GetStyle() const { return Style; }
    void SetStyle(int style) { Style = static_cast<uint8_t>(style & 31); }
    int GetRepeat() const { return Repeat; }
    void SetRepeat(int n) { Repeat = static_cast<uint8_t>(n); }
    void SetStyleAndRepeat(int style, int n);
    // Index of vocabulary list 9 (the staff's ending bar setting).
    void SetStaffEndStyle(int index);
    bool GetSysBreak() const { return SysBreak != 0; }
    void SetSysBreak(bool v) { SysBreak = v ? 1 : 0; }
    bool GetComputedFlag() const { return Computed != 0; }
    void SetComputedFlag(bool v) { Computed = v ? 1 : 0; }
    bool GetXBarCnt() const { return XBarCnt != 0; }
    void SetXBarCnt(bool v) { XBarCnt = v ? 1 : 0; }

    bool IsRepeatOpen() const { return Style == bsLocalRepeatOpen || Style == bsMasterRepeatOpen; }
    bool IsRepeatClose() const { return Style == bsLocalRepeatClose || Style == bsMasterRepeatClose; }
    bool IsClosingStyle() const;
    bool IsOpeningStyle() const;
    int GetMatchingOpenStyle() const;
    bool IsCountedBar() const { return XBarCnt == 0; }

private:
    uint8_t Style;
    uint8_t SysBreak = 0;
    uint8_t Computed = 0;
    uint8_t XBarCnt = 0;
    uint8_t Repeat;
};

class TSpecialEnding : public TNotatedItem {
public:
    explicit TSpecialEnding(uint32_t endings = 0) : TNotatedItem(ntSpecialEnding), Endings(endings) {}

    void Save(TQSRStream& stream) const override;
    int GetStaffPos() const override { return -10; }
    int GetMinStaffPos() const override { return 0; }
    int GetMaxStaffPos() const override { return 0; }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    int GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) override;

    uint32_t GetEndings() const { return Endings; }
    void SetEndings(uint32_t mask) { Endings = mask; }
    // Bit n stands for pass n + 1.
    bool HasEnding(int n) const { return n >= 0 && n < 32 && (Endings >> n) & 1u; }
    bool IsLaterEnding() const { return Endings != 0 && !HasEnding(0); }
    bool GetClosedBracket() const { return ClosedBracket != 0; }
    void SetClosedBracket(bool v) { ClosedBracket = v ? 1 : 0; }
    bool GetHideText() const { return HideText != 0; }
    void SetHideText(bool v) { HideText = v ? 1 : 0; }
    int GetBracketHeight() const { return static_cast<int>(BracketHeight); }
    void SetBracketHeight(int v);
    int GetBracketOffsetNP() const { return BracketOffsetNP; }
    void SetBracketOffsetNP(int v);
    int GetVertOffset() const { return 1 - BracketOffsetNP; }
    void SetVertOffset(int v) { SetBracketOffsetNP(1 - v); }

private:
    uint32_t ClosedBracket = 0;
    uint32_t HideText = 0;
    uint32_t Endings;
    uint32_t BracketHeight = 4;
    int32_t BracketOffsetNP = 1;
};

class TMultiMeasureRest : public TNotatedItem {
public:
    explicit TMultiMeasureRest(int bars = 1);

    void Save(TQSRStream& stream) const override;
    int GetMinStaffPos() const override { return -2; }
    int GetMaxStaffPos() const override { return 2; }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    int GetDuration() const override;

    int GetNumBars() const { return NumBars; }
    void SetNumBars(int bars) {
        NumBars = static_cast<uint16_t>(bars < 1 ? 1 : (bars > 0xFFFF ? 0xFFFF : bars));
    }
    // Ticks of one bar (kept in 32 bits: long meters exceed the 16 bits of the record).
    int GetBarLength() const { return BarLength; }
    void SetBarLengthTicks(int ticks) { BarLength = ticks < 0 ? 0 : ticks; }
    void SetBarLength(int count, int durationCode);
    bool GetPrintOnce() const { return PrintOnce != 0; }
    void SetPrintOnce(bool v) { PrintOnce = v ? 1 : 0; }
    bool GetShowBars() const { return ShowBars != 0; }
    void SetShowBars(bool v) { ShowBars = v ? 1 : 0; }
    bool GetShowRests() const { return ShowRests != 0; }
    void SetShowRests(bool v) { ShowRests = v ? 1 : 0; }

private:
    uint16_t NumBars;
    int32_t BarLength = 768;
    uint8_t PrintOnce = 0;
    uint8_t ShowBars = 1;
    uint8_t ShowRests = 1;
};

class TStaffSpacer : public TNotatedItem {
public:
    explicit TStaffSpacer(int width = 0) : TNotatedItem(ntStaffSpacer) { SetWidth(width); }

    void Save(TQSRStream& stream) const override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    // Hundredths of a staff unit, 0-9999.
    int GetWidth() const { return Width; }
    void SetWidth(int w) { Width = static_cast<uint16_t>(w < 0 ? 0 : (w > 9999 ? 9999 : w)); }
    void SetWidthValue(float v);
    float GetWidthValue() const { return Width * 0.01f; }
    void AddWidth(int d) { SetWidth(Width + d); }

private:
    uint16_t Width = 0;
};

// Boundary styles (vocabulary list 45).
enum TStaffSizerStyle : int {
    ssReset = 0,
    ssNewSize = 1,
    ssCollapse = 2,
    ssEndCollapse = 3,
    ssGap = 4,
    ssNewSystem = 5
};

class TStaffSizer : public TNotatedItem {
public:
    TStaffSizer() : TNotatedItem(ntStaffSizer) {}

    void Save(TQSRStream& stream) const override;
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    int GetStyle() const { return static_cast<int>(Style); }
    void SetStyle(int s);
    // The two data bytes as the record stores them.
    uint8_t GetData(int i) const { return Data[i & 1]; }
    void SetData(int i, uint8_t b) { Data[i & 1] = b; }
    void SetStyleRaw(int s) { Style = static_cast<uint32_t>(s); }

    bool IsReset() const { return Style == ssReset; }
    bool IsNewSize() const { return Style == ssNewSize; }
    bool IsCollapse() const { return Style == ssCollapse; }
    bool IsEndCollapse() const { return Style == ssEndCollapse; }
    bool IsGap() const { return Style == ssGap; }
    bool IsNewSystem() const { return Style == ssNewSystem; }

    void SetNewSize(int upper, int lower);
    bool GetNewSize(int& upper, int& lower) const;
    int GetUpper() const { return IsNewSize() ? Data[0] : 0; }
    int GetLower() const { return IsNewSize() ? Data[1] : 0; }
    void SetUpper(int upper) { SetNewSize(upper, GetLower()); }
    void SetLower(int lower) { SetNewSize(GetUpper(), lower); }
    void SetGap(int width);
    void SetGapValue(float v);
    int GetGapWidthRaw() const { return IsGap() ? (GapWord() & 0x7FFF) : 0; }
    double GetGapWidth() const { return IsGap() ? (GapWord() & 0x7FFF) * 0.01 : 0.0; }
    bool GetGapSystemConnections() const { return IsGap() && (GapWord() & 0x8000) != 0; }
    void SetGapSystemConnections(bool flag);
    void SetNewSystem(bool newPage);
    bool GetNewPage() const { return IsNewSystem() && (Data[0] & 1) != 0; }

private:
    uint16_t GapWord() const { return static_cast<uint16_t>(Data[0] | (Data[1] << 8)); }
    void SetGapWord(uint16_t w) {
        Data[0] = static_cast<uint8_t>(w & 0xFF);
        Data[1] = static_cast<uint8_t>(w >> 8);
    }

    uint32_t Style = ssReset;
    uint8_t Data[2] = {0, 0};
};

// A width given as a number of units, stored in hundredths the way the editor does it.
int WidthValueToHundredths(float v);
