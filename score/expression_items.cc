// Expression items: fields, defaults and helpers.
#include "score/expression_items.h"

#include <cstring>
#include <string>

#include "score/base/vocabulary.h"

namespace {

const char* BlockText(const TQSMemoryBlock& block) {
    const char* data = reinterpret_cast<const char*>(block.GetData());
    return data ? data : "";
}

// Stores at most maxLen characters of text, always terminated.
void SetBlockText(TQSMemoryBlock& block, const char* text, int maxLen) {
    const size_t n = text ? strnlen(text, static_cast<size_t>(maxLen)) : 0;
    block.Resize(static_cast<int>(n) + 1);
    char* data = reinterpret_cast<char*>(block.GetData());
    if (n) memcpy(data, text, n);
    data[n] = 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TPatchData

TPatchData::TPatchData(const TStaffInstrument* instrument) : TNtnGeneralExpression(ntPatch, -8, true) {
    if (instrument) {
        Instrument = *instrument;
    } else {
        Instrument.Reset();
    }
}

const char* TPatchData::GetDisplayName() const {
    return Instrument.Name[0] ? Instrument.Name : "[Instr]";
}

// ---------------------------------------------------------------------------------------------------------
// TTempoData

int TempoToQuarters(int t, int base) {
    int q = t;
    switch (base) {
        case tbEighth:
            q = t / 2;
            break;
        case tbEighthDotted:
            q = t * 3 / 4;
            break;
        case tbQuarter:
            q = t;
            break;
        case tbQuarterDotted:
            q = t * 3 / 2;
            break;
        case tbHalf:
            q = t * 2;
            break;
        case tbHalfDotted:
            q = t * 3;
            break;
        default:
            break;
    }
    return q < 5 ? 4 : q;
}

int TempoFromQuarters(int q, int base) {
    switch (base) {
        case tbEighth:
            return q * 2;
        case tbEighthDotted:
            return q * 4 / 3;
        case tbQuarterDotted:
            return q * 2 / 3;
        case tbHalf:
            return q / 2;
        case tbHalfDotted:
            return q / 3;
        default:
            return q;
    }
}

int ConvertTempoBase(int tempo, int from, int to) {
    return TempoFromQuarters(TempoToQuarters(tempo, from), to);
}

TTempoData::TTempoData(int tempo, int base) : TNtnGeneralExpression(ntTempo, -10, false) {
    SetTempo(tempo, base);
    SetBlockText(Text, "", 0);
}

void TTempoData::SetTempo(int tempo, int base) {
    // A stored tempo is at most a few thousand; larger values would overflow the base conversions.
    if (tempo > 100000) tempo = 100000;
    Tempo = static_cast<uint32_t>(tempo < 5 ? 4 : tempo);
    Base = static_cast<uint8_t>(base);
}

const char* TTempoData::GetText() const {
    return BlockText(Text);
}

void TTempoData::SetText(const char* text) {
    SetBlockText(Text, text, kMaxExpressionText);
}

// ---------------------------------------------------------------------------------------------------------
// TGenericControl

TGenericControl::TGenericControl() : TNtnGeneralExpression(ntGenericControl, -8, true) {
    ClearPoints();
}

void TGenericControl::SetPointRaw(int i, bool inUse, int time, int value) {
    if (!InRange(i)) return;
    InUse[i] = inUse ? 1 : 0;
    Times[i] = static_cast<uint32_t>(time);
    Values[i] = static_cast<uint32_t>(value);
}

void TGenericControl::ClearPoints() {
    for (int i = 0; i < kPoints; ++i)
        ClearPoint(i);
}

int ControllerIndexToNumber(int controller) {
    static constexpr int kNumbers[18] = {-1, 7, 10, 2, -1, 1, 4, 5, 6, 8, 11, 12, 13, 91, 92, 93, 94, 95};
    return (controller >= 0 && controller < 18) ? kNumbers[controller] : -1;
}

int TGenericControl::GetControllerNumber() const {
    return ControllerIndexToNumber(GetController());
}

// ---------------------------------------------------------------------------------------------------------
// TTempoVariance, TDynamicVariance, TPerformanceStyle

TTempoVariance::TTempoVariance(int style, int pause)
    : TNtnGeneralExpression(
          ntTempoVariance,
          style == tvBreathMark ? -8 : (style == tvCaesura ? -4 : (style == tvFermata ? -9 : 8)), false),
      Style(static_cast<uint8_t>(style)),
      Pause(static_cast<uint8_t>(pause)) {}

void TTempoVariance::SetPlaybackRamp(int startTempo, int endTempo, int length) {
    RampStart = static_cast<uint16_t>(startTempo);
    RampEnd = static_cast<uint16_t>(endTempo);
    RampLength = static_cast<uint32_t>(length < 0 ? 0 : length);
}

const char* TTempoVariance::GetStyleText() const {
    return GetListName(28, Style);
}

int TDynamicVariance::GetHairpinKind() const {
    if (Style == dvCrescendo) return 1;
    if (Style == dvDecrescendo || Style == dvDiminuendo) return 2;
    return 0;
}

const char* TDynamicVariance::GetStyleText() const {
    return GetListName(20, Style);
}

const char* TPerformanceStyle::GetStyleText() const {
    return GetListName(30, Style);
}

// ---------------------------------------------------------------------------------------------------------
// TTextExpression and TChordName

TTextExpression::TTextExpression(const char* text) : TNtnGeneralExpression(ntTextExpression, -8, false) {
    SetText(text ? text : "<Text Expression>");
}

const char* TTextExpression::GetText() const {
    return BlockText(Text);
}

void TTextExpression::SetText(const char* text) {
    SetBlockText(Text, text, kMaxExpressionText);
}

void TTextExpression::SetTextLimited(const char* text, int n) {
    if (!text) text = "";
    if (n < 0) n = 0;
    const size_t len = strlen(text);
    if (len <= static_cast<size_t>(n)) {
        SetText(text);
        return;
    }
    std::string s(text, static_cast<size_t>(n));
    s += " ...";
    SetText(s.c_str());
}

TChordName::TChordName(const char* text) : TNtnGeneralExpression(ntChordName, -8, false) {
    SetText(text ? text : "C/F");
}

const char* TChordName::GetText() const {
    return BlockText(Text);
}

void TChordName::SetText(const char* text) {
    SetBlockText(Text, text, kMaxExpressionText);
}
