// Expression items: the marks above and below the staff that take no time (text, chord names, dynamics,
// tempo marks and changes, performance directions, pedal marks, controller curves, instrument changes and
// flow directions).
#pragma once

#include <cstdint>

#include "core/memory_block.h"
#include "score/base/play_state.h"
#include "score/glyph_codes.h"
#include "score/notated_item.h"

// Justification (vocabulary list 31) and placement (list 34) of an expression.
enum TExpressionJustify : int { ejLeft = 0, ejCenter = 1, ejRight = 2 };
enum TExpressionPlacement : int {
    epBestFit = 0,
    epBestFitForward = 1,
    epAsStaffSignature = 2,
    epAtNextNote = 3
};

class TNtnGeneralExpression : public TNotatedItem {
public:
    explicit TNtnGeneralExpression(TNotatedItemType type, int pos = 8, bool wide = true)
        : TNotatedItem(type), Pos(static_cast<int8_t>(pos)), Wide(wide ? 1 : 0) {}

    bool IsExpression() const override { return true; }
    int GetStaffPos() const override { return Pos; }
    int GetMinStaffPos() const override { return Pos; }
    int GetMaxStaffPos() const override { return Pos; }
    void SetStaffPos(int pos) override { Pos = static_cast<int8_t>(pos); }
    int Measure(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void Draw(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    // Slots 22-23.
    virtual int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) = 0;
    virtual void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) = 0;

    bool GetWide() const { return Wide != 0; }
    void SetWide(bool v) { Wide = v ? 1 : 0; }
    int GetJustify() const { return Justify; }
    void SetJustify(int v) { Justify = static_cast<uint8_t>(v & 3); }
    int GetPlacement() const { return Placement; }
    void SetPlacement(int v) { Placement = static_cast<uint8_t>(v & 3); }

private:
    int8_t Pos;
    uint8_t Wide;
    uint8_t Justify = 0;
    uint8_t Placement = 0;
};

// The instrument change ("Instrument").
class TPatchData : public TNtnGeneralExpression {
public:
    explicit TPatchData(const TStaffInstrument* instrument = nullptr);

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    TStaffInstrument& GetInstrument() { return Instrument; }
    const TStaffInstrument& GetInstrument() const { return Instrument; }
    // The program number + 1 (0 = no patch), stored unchanged.
    void SetPatchByte(int b) { Instrument.PatchByte = static_cast<uint8_t>(b); }
    const char* GetDisplayName() const;

private:
    TStaffInstrument Instrument;
};

// Tempo bases (vocabulary list 26).
enum TTempoBase : int {
    tbEighth = 0,
    tbEighthDotted = 1,
    tbQuarter = 2,
    tbQuarterDotted = 3,
    tbHalf = 4,
    tbHalfDotted = 5
};

int TempoToQuarters(int tempo, int base);
int TempoFromQuarters(int quarters, int base);
int ConvertTempoBase(int tempo, int from, int to);

// Texts of the text-carrying expressions are kept to this many characters.
constexpr int kMaxExpressionText = 254;

class TTempoData : public TNtnGeneralExpression {
public:
    TTempoData(int tempo = 120, int base = tbQuarter);

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetTempo() const { return static_cast<int>(Tempo); }
    int GetBase() const { return Base; }
    // Tempos below 5 become 4.
    void SetTempo(int tempo, int base);
    int GetNormalizedTempo() const { return TempoToQuarters(GetTempo(), Base); }
    const char* GetText() const;
    void SetText(const char* text);

private:
    uint32_t Tempo = 120;
    uint8_t Base = tbQuarter;
    TQSMemoryBlock Text;
};

// Dynamic levels (vocabulary list 18).
enum TDynamicLevel : int { dlPPP = 0, dlPP = 1, dlP = 2, dlMP = 3, dlMF = 4, dlF = 5, dlFF = 6, dlFFF = 7 };

class TDynamicLevelData : public TNtnGeneralExpression {
public:
    explicit TDynamicLevelData(int style = dlMF)
        : TNtnGeneralExpression(ntDynamic, 8, false), Style(static_cast<uint8_t>(style & 15)) {}

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetStyle() const { return Style; }
    void SetStyle(int s) { Style = static_cast<uint8_t>(s & 15); }
    bool HasVelocity() const { return VelocityGiven != 0; }
    void SetVelocityGiven(bool v) { VelocityGiven = v ? 1 : 0; }
    bool HasVolume() const { return VolumeGiven != 0; }
    void SetVolumeGiven(bool v) { VolumeGiven = v ? 1 : 0; }
    int GetVelocity() const { return Velocity; }
    void SetVelocity(int v) { Velocity = static_cast<uint8_t>(v < 0 ? 0 : (v > 127 ? 127 : v)); }
    int GetVolume() const { return Volume; }
    void SetVolume(int v) { Volume = static_cast<uint8_t>(v < 0 ? 0 : (v > 127 ? 127 : v)); }

private:
    uint8_t Style;
    uint8_t VelocityGiven = 0;
    uint8_t VolumeGiven = 0;
    uint8_t Velocity = 0;
    uint8_t Volume = 0;
};

class TSustainPedal : public TNtnGeneralExpression {
public:
    explicit TSustainPedal(int status = 1)
        : TNtnGeneralExpression(ntSustainPedal), Status(static_cast<uint8_t>(status)) {}

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetStatus() const { return Status; }
    void SetStatus(int s) { Status = static_cast<uint8_t>(s); }
    bool IsDown() const { return Status != 0; }
    int GetSymbolCode() const { return IsDown() ? glPedalDown : glPedalUp; }

private:
    uint8_t Status;
};

// Flow direction styles (vocabulary list 11).
enum TFlowStyle : int {
    fsCoda = 0,
    fsSegno = 1,
    fsFine = 2,
    fsToCoda = 3,
    fsDaCapo = 4,
    fsDCalCoda = 5,
    fsDCalFine = 6,
    fsDalSegno = 7,
    fsDSalCoda = 8,
    fsDSalFine = 9
};

class TFlowDirection : public TNtnGeneralExpression {
public:
    explicit TFlowDirection(int style = fsCoda)
        : TNtnGeneralExpression(ntFlowDirection, -8, true), Style(static_cast<uint32_t>(style)) {}

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;
    int GetNextPlayIndex(TStaffPlayState& state, TMusicStaff& staff, int index) override;

    int GetStyle() const { return static_cast<int>(Style); }
    void SetStyle(int s) { Style = static_cast<uint32_t>(s); }

private:
    uint32_t Style;
};

// Generic controller styles (vocabulary list 23).
enum TGenericControlStyle : int { gcAbsolute = 0, gcLinearSweep = 1 };

class TGenericControl : public TNtnGeneralExpression {
public:
    static constexpr int kPoints = 4;

    TGenericControl();

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetController() const { return static_cast<int>(Controller); }
    void SetController(int c) { Controller = static_cast<uint32_t>(c); }
    int GetStyle() const { return static_cast<int>(Style); }
    void SetStyle(int s) { Style = static_cast<uint32_t>(s); }
    int GetTimeRes() const { return static_cast<int>(TimeRes); }
    void SetTimeRes(int r) { TimeRes = static_cast<uint32_t>(r); }
    int GetSweepRes() const { return static_cast<int>(SweepRes); }
    void SetSweepRes(int r) { SweepRes = static_cast<uint32_t>(r); }
    bool IsPointInUse(int i) const { return InRange(i) && InUse[i] != 0; }
    int GetPointTime(int i) const { return InRange(i) ? static_cast<int>(Times[i]) : 0; }
    int GetPointValue(int i) const { return InRange(i) ? static_cast<int>(Values[i]) : 0; }
    // Stores a point as the record holds it.
    void SetPointRaw(int i, bool inUse, int time, int value);
    void SetPoint(int i, int time, int value) { SetPointRaw(i, true, time, value); }
    void ClearPoint(int i) { SetPointRaw(i, false, 0, 100); }
    void ClearPoints();
    int GetControllerNumber() const;
    bool HasControllerNumber() const { return GetControllerNumber() >= 0; }

private:
    static bool InRange(int i) { return i >= 0 && i < kPoints; }

    uint32_t Controller = 0;
    uint32_t Style = gcAbsolute;
    uint32_t TimeRes = 2;
    uint32_t SweepRes = 0;
    uint32_t InUse[kPoints];
    uint32_t Times[kPoints];
    uint32_t Values[kPoints];
};

// MIDI controller number of a generic control's controller index; -1 for tempo (0) and pitch bend (4).
int ControllerIndexToNumber(int controller);

// Tempo variance styles (vocabulary list 27).
enum TTempoVarianceStyle : int {
    tvBreathMark = 0,
    tvCaesura = 1,
    tvFermata = 2,
    tvAccelerando = 3,
    tvAllargando = 4,
    tvRallentando = 5,
    tvRitardando = 6,
    tvRitenuto = 7,
    tvRubato = 8,
    tvStringendo = 9
};

class TTempoVariance : public TNtnGeneralExpression {
public:
    TTempoVariance(int style = tvFermata, int pause = 0);

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void Play(TStaffPlayState& state, TMidiFileBuf& buffer) override;

    int GetStyle() const { return Style; }
    void SetStyle(int s) { Style = static_cast<uint8_t>(s); }
    int GetPause() const { return Pause; }
    void SetPause(int p) { Pause = static_cast<uint8_t>(p); }
    bool IsPauseStyle() const { return Style <= tvFermata; }
    void SetPlaybackRamp(int startTempo, int endTempo, int length);
    int GetRampStartTempo() const { return RampStart; }
    int GetRampEndTempo() const { return RampEnd; }
    int GetRampLength() const { return static_cast<int>(RampLength); }
    const char* GetStyleText() const;

private:
    uint8_t Style;
    uint8_t Pause;
    uint16_t RampStart = 0;
    uint16_t RampEnd = 0;
    uint32_t RampLength = 0;
};

// Dynamic variance styles (vocabulary list 19).
enum TDynamicVarianceStyle : int {
    dvCrescendo = 0,
    dvDecrescendo = 1,
    dvDiminuendo = 2,
    dvRinforzando = 3,
    dvSforzando = 4
};

class TDynamicVariance : public TNtnGeneralExpression {
public:
    explicit TDynamicVariance(int style = dvCrescendo)
        : TNtnGeneralExpression(ntDynamicVariance, 8, false), Style(static_cast<int8_t>(style)) {}

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    int GetStyle() const { return Style; }
    void SetStyle(int s) { Style = static_cast<int8_t>(s); }
    int GetHairpinKind() const;
    const char* GetStyleText() const;

private:
    int8_t Style;
};

class TPerformanceStyle : public TNtnGeneralExpression {
public:
    explicit TPerformanceStyle(int style = 0)
        : TNtnGeneralExpression(ntPerformanceStyle, 8, false), Style(static_cast<int8_t>(style)) {}

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;
    void UpdatePlayState(TStaffPlayState& state) override;

    int GetStyle() const { return Style; }
    void SetStyle(int s) { Style = static_cast<int8_t>(s); }
    const char* GetStyleText() const;

private:
    int8_t Style;
};

// Font styles of text expressions (vocabulary list 37).
enum TExpressionFont : int { efStaffSymbols = 0, efStaffItalic = 2 };

class TTextExpression : public TNtnGeneralExpression {
public:
    explicit TTextExpression(const char* text = nullptr);

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    const char* GetText() const;
    void SetText(const char* text);
    // The first n characters, with " ..." appended when the text is longer.
    void SetTextLimited(const char* text, int n);
    int GetFont() const { return Font; }
    void SetFont(int f) { Font = static_cast<uint8_t>(f); }
    void SetFontFromLegacy(int v) { Font = static_cast<uint8_t>(v + 2); }

private:
    uint8_t Font = efStaffItalic;
    TQSMemoryBlock Text;
};

class TChordName : public TNtnGeneralExpression {
public:
    explicit TChordName(const char* text = nullptr);

    void Save(TQSRStream& stream) const override;
    int MeasureExpression(TStaffDrawInfo& info, TLayoutRecord& record) override;
    void DrawExpression(TStaffDrawInfo& info, TLayoutRecord& record, int x) override;

    const char* GetText() const;
    void SetText(const char* text);
    int GetFont() const { return Font; }
    void SetFont(int f) { Font = static_cast<uint8_t>(f); }

private:
    uint8_t Font = efStaffSymbols;
    TQSMemoryBlock Text;
};
