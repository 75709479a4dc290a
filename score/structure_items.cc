// Clefs, key and time signatures, bar lines, endings, multi-measure rests, spacers and boundaries.
#include "score/structure_items.h"

#include <algorithm>
#include <cstdlib>

#include "score/pitch_ticks.h"

namespace {

// Sharp order F, C, G, D, A, E, B and flat order B, E, A, D, G, C, F as letters (A = 0).
constexpr int kSharpOrder[7] = {5, 2, 6, 3, 0, 4, 1};
constexpr int kFlatOrder[7] = {1, 4, 0, 3, 6, 2, 5};

int CountInOrder(uint16_t mask, const int* order) {
    int n = 0;
    while (n < 7 && (mask & (1u << order[n])))
        ++n;
    return n;
}

int DurationCodeTicks(int code) {
    return (code >= 0 && code <= 6) ? (768 >> code) : 192;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// TClefData

void TClefData::SetOctaveShift(int v) {
    // Seven signed bits.
    v &= 0x7F;
    if (v & 0x40) v -= 0x80;
    OctaveShift = static_cast<int8_t>(v);
}

int TClefData::GetMinStaffPos() const {
    int p = -4;
    switch (Type) {
        case ctTreble:
            p = -6;
            break;
        case ctAlto:
            p = -5;
            break;
        case ctTenor:
            p = -7;
            break;
        default:
            break;
    }
    if (OctaveShift == osOctaveUp) p -= 2;
    return p;
}

int TClefData::GetMaxStaffPos() const {
    int p = 4;
    switch (Type) {
        case ctTreble:
            p = 7;
            break;
        case ctBass:
            p = 3;
            break;
        case ctAlto:
            p = 5;
            break;
        case ctTenor:
            p = 3;
            break;
        default:
            break;
    }
    if (OctaveShift == osOctaveDown) p += 2;
    return p;
}

// ---------------------------------------------------------------------------------------------------------
// TKeyData

TKeyData::TKeyData(uint16_t sharpMask, uint16_t flatMask, int tonic)
    : TNotatedItem(ntKey), Tonic(static_cast<uint32_t>(tonic)) {
    SetMasks(sharpMask, flatMask);
}

void TKeyData::SetMasks(uint16_t sharpMask, uint16_t flatMask) {
    SharpMask = sharpMask;
    FlatMask = static_cast<uint16_t>(flatMask & ~sharpMask);
}

int TKeyData::GetKeyAccidental(int letter) const {
    if (letter < 0 || letter > 15) return 2;
    if (SharpMask & (1u << letter)) return 0;
    if (FlatMask & (1u << letter)) return 1;
    return 2;
}

void TKeyData::SetSharp(int letter) {
    SharpMask = static_cast<uint16_t>(SharpMask | (1u << (letter & 15)));
    FlatMask = static_cast<uint16_t>(FlatMask & ~(1u << (letter & 15)));
}

void TKeyData::SetFlat(int letter) {
    FlatMask = static_cast<uint16_t>(FlatMask | (1u << (letter & 15)));
    SharpMask = static_cast<uint16_t>(SharpMask & ~(1u << (letter & 15)));
}

void TKeyData::SetNatural(int letter) {
    SharpMask = static_cast<uint16_t>(SharpMask & ~(1u << (letter & 15)));
    FlatMask = static_cast<uint16_t>(FlatMask & ~(1u << (letter & 15)));
}

int TKeyData::GetFifths() const {
    return KeySignatureToFifths(SharpMask, FlatMask);
}

int CountSharps(uint16_t mask) {
    return CountInOrder(mask, kSharpOrder);
}

int CountFlats(uint16_t mask) {
    return CountInOrder(mask, kFlatOrder);
}

int KeySignatureToFifths(uint16_t sharpMask, uint16_t flatMask) {
    const int s = CountSharps(sharpMask);
    const int f = CountFlats(flatMask);
    return s < f ? -f : s;
}

int FifthsToMajorTonic(int fifths) {
    const int v = fifths < 0 ? std::abs(fifths) * 3 : fifths * 4;
    return (v + 2) % 7;
}

void FifthsToKeyMasks(int fifths, uint16_t& sharpMask, uint16_t& flatMask) {
    sharpMask = 0;
    flatMask = 0;
    const int n = std::abs(fifths) > 7 ? 7 : std::abs(fifths);
    for (int i = 0; i < n; ++i) {
        if (fifths < 0) {
            flatMask = static_cast<uint16_t>(flatMask | (1u << kFlatOrder[i]));
        } else {
            sharpMask = static_cast<uint16_t>(sharpMask | (1u << kSharpOrder[i]));
        }
    }
}

void TKeyData::Transpose(int semitones, int& steps, int preference, bool testOnly) {
    // Keys 0-14: C, C#, Db, D, Eb, E, F, F#, Gb, G, Ab, A, Bb, B, Cb.
    static constexpr int kSemitone[15] = {0, 1, 1, 2, 3, 4, 5, 6, 6, 7, 8, 9, 10, 11, 11};
    static constexpr int kLetter[15] = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 0};
    static constexpr int kFifths[15] = {0, 7, -5, 2, -3, 4, -1, 6, -6, 1, -4, 3, -2, 5, -7};
    static constexpr int kBySharps[8] = {0, 9, 3, 11, 5, 13, 7, 1};
    static constexpr int kByFlats[8] = {0, 6, 12, 4, 10, 2, 8, 14};
    static constexpr int kBySemitone[12] = {0, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13};

    const int s = CountSharps(SharpMask);
    const int f = CountFlats(FlatMask);
    const int oldKey = s < f ? kByFlats[f] : kBySharps[s];
    int u = (kSemitone[oldKey] + semitones) % 12;
    if (u < 0) u += 12;
    int newKey = kBySemitone[u];
    if (preference < 0 && newKey == 13) newKey = 14;
    if (preference > 0 && newKey == 8) newKey = 7;
    if (preference > 0 && newKey == 2) newKey = 1;

    int d = kLetter[newKey] - kLetter[oldKey];
    if (semitones < 0 && d > 0) d -= 7;
    if (semitones >= 0 && d < 0) d += 7;
    d += (semitones / 12) * 7;
    steps = -d;
    if (testOnly) return;

    int tonic = (static_cast<int>(Tonic) + d) % 7;
    if (tonic < 0) tonic += 7;
    Tonic = static_cast<uint32_t>(tonic);
    FifthsToKeyMasks(kFifths[newKey], SharpMask, FlatMask);
}

// ---------------------------------------------------------------------------------------------------------
// TTimeSignatureData

TTimeSignatureData::TTimeSignatureData(int beats, int exponent, int style) : TNotatedItem(ntTimeSignature) {
    SetBeats(beats);
    SetBeatValueExponent(exponent);
    SetStyle(style);
}

void TTimeSignatureData::SetBeats(int beats) {
    // Bounded before the sign is dropped: the most negative int has no positive counterpart.
    beats = std::abs(std::clamp(beats, -128, 128));
    if (beats == 0) beats = 1;
    Beats = static_cast<uint8_t>(beats);
}

void TTimeSignatureData::SetBeatValueExponent(int exponent) {
    exponent = std::abs(std::clamp(exponent, -5, 5));
    Exponent = static_cast<uint8_t>(exponent);
}

void TTimeSignatureData::SetStyle(int style) {
    Style = static_cast<uint8_t>(style & 15);
    if (Style == tsCommon) {
        Beats = 4;
        Exponent = 2;
    } else if (Style == tsAllaBreve) {
        Beats = 2;
        Exponent = 1;
    }
}

int TTimeSignatureData::GetMeasureTicks() const {
    return MeasureTicks(Beats, Exponent);
}

int ExponentOfBeatValue(int value) {
    for (int i = 0; i <= 5; ++i) {
        if ((1 << i) == value) return i;
    }
    return 2;
}

// ---------------------------------------------------------------------------------------------------------
// TBarLineData

void TBarLineData::SetStyleAndRepeat(int style, int n) {
    SetStyle(style);
    Repeat = static_cast<uint8_t>(Style == bsLocalRepeatClose ? (n > 2 ? (n > 255 ? 255 : n) : 2) : 1);
}

void TBarLineData::SetStaffEndStyle(int index) {
    static constexpr int kStyles[5] = {bsSectionClose, bsMasterRepeatClose, bsSingle, bsDouble,
                                       bsTransparent};
    SetVisibility(ivDefault);
    SetStyle((index >= 0 && index < 5) ? kStyles[index] : bsSectionClose);
    Repeat = 1;
}

bool TBarLineData::IsClosingStyle() const {
    return Style == bsSectionClose || Style == bsLocalRepeatClose || Style == bsMasterRepeatClose;
}

bool TBarLineData::IsOpeningStyle() const {
    return Style == bsSectionOpen || Style == bsLocalRepeatOpen || Style == bsMasterRepeatOpen;
}

int TBarLineData::GetMatchingOpenStyle() const {
    switch (Style) {
        case bsSectionClose:
            return bsSectionOpen;
        case bsLocalRepeatClose:
            return bsLocalRepeatOpen;
        case bsMasterRepeatClose:
            return bsMasterRepeatOpen;
        default:
            return 11;
    }
}

// ---------------------------------------------------------------------------------------------------------
// TSpecialEnding

void TSpecialEnding::SetBracketHeight(int v) {
    BracketHeight = static_cast<uint32_t>(v < 0 ? 0 : (v > 100 ? 100 : v));
}

void TSpecialEnding::SetBracketOffsetNP(int v) {
    BracketOffsetNP = v < -100 ? -100 : (v > 100 ? 100 : v);
}

// ---------------------------------------------------------------------------------------------------------
// TMultiMeasureRest

TMultiMeasureRest::TMultiMeasureRest(int bars) : TNotatedItem(ntMultiMeasureRest) {
    SetNumBars(bars);
}

void TMultiMeasureRest::SetBarLength(int count, int durationCode) {
    SetBarLengthTicks(count * DurationCodeTicks(durationCode));
}

// ---------------------------------------------------------------------------------------------------------
// TStaffSpacer and TStaffSizer

int WidthValueToHundredths(float v) {
    return static_cast<int>((v + 0.006f) * 100.0f);
}

void TStaffSpacer::SetWidthValue(float v) {
    SetWidth(WidthValueToHundredths(v));
}

void TStaffSizer::SetStyle(int s) {
    switch (s) {
        case ssNewSize:
            SetNewSize(8, 0);
            break;
        case ssGap:
            SetGap(200);
            break;
        case ssNewSystem:
            SetNewSystem(false);
            break;
        default:
            Style = static_cast<uint32_t>(s);
            break;
    }
}

void TStaffSizer::SetNewSize(int upper, int lower) {
    auto mend = [](int v) { return v < 0 ? 0 : (v > 100 ? 99 : v); };
    upper = mend(upper);
    lower = mend(lower);
    if (upper == 0 && lower == 0) upper = 8;
    Style = ssNewSize;
    Data[0] = static_cast<uint8_t>(upper);
    Data[1] = static_cast<uint8_t>(lower);
}

bool TStaffSizer::GetNewSize(int& upper, int& lower) const {
    if (!IsNewSize()) return false;
    upper = Data[0];
    lower = Data[1];
    return true;
}

void TStaffSizer::SetGap(int width) {
    const uint16_t keep = IsGap() ? (GapWord() & 0x8000) : 0;
    Style = ssGap;
    SetGapWord(static_cast<uint16_t>(keep | (width & 0x7FFF)));
}

void TStaffSizer::SetGapValue(float v) {
    int w = WidthValueToHundredths(v);
    if (w < 0) w = 0;
    if (w > 0x7FFF) w = 0x7FFF;
    SetGap(w);
}

void TStaffSizer::SetGapSystemConnections(bool flag) {
    if (!IsGap()) return;
    SetGapWord(static_cast<uint16_t>((GapWord() & 0x7FFF) | (flag ? 0x8000 : 0)));
}

void TStaffSizer::SetNewSystem(bool newPage) {
    Style = ssNewSystem;
    Data[0] = newPage ? 1 : 0;
    Data[1] = 0;
}
