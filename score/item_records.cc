// Records of the notation items in the compact score file. Every class's Save writes the current version
// (its base part first); the readers take every older version back and mend out-of-range values, so that a
// hostile file cannot put a value into an item that later code would use as an index.
#include "score/item_records.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/ram_stream.h"
#include "core/stream.h"
#include "score/expression_items.h"
#include "score/lyrics.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

using qsm::ReadByte;
using qsm::ReadSByte;
using qsm::ReadSWord;
using qsm::ReadUWord;

namespace {

// Colours beyond the seven highlights and visibilities beyond "Never" have no meaning; they would index
// past the palette and the visibility list.
constexpr int kColorCount = 8;
constexpr int kVisibilityCount = 6;

// Chord members, and the parts of rest chords, that nest deeper than this are refused.
constexpr int kMaxNesting = 2;

void PutWord(TQSRStream& out, int v) {
    out.WriteWord(static_cast<uint16_t>(v & 0xFFFF));
}
void PutByte(TQSRStream& out, int v) {
    out.Put(v & 0xFF);
}

// ---- common prefix ----

// Reads the visibility and colour byte; for versions 24-28 the byte also holds a note's mark number.
inline void ReadItemPrefix(TNotatedItem& item, int V, TQSRStream& in, int* mark = nullptr) {
    int vis = 0;
    int color = 0;
    if (V >= 29) {
        int b = ReadByte(in);
        vis = b & 7;
        color = b >> 4;
    } else if (V >= 10) {
        int b = ReadByte(in);
        vis = b & 3;
        if (vis == 3) vis = ivNever;
        color = (b >> 3) & 7;
        if (V >= 24 && mark) *mark = ((b >> 2) & 1) | (((b >> 6) & 3) << 1);
    }
    item.SetVisibility(ClampToRange(vis, kVisibilityCount));
    item.SetColor(ClampToRange(color, kColorCount));
}

void SaveItemPrefix(const TNotatedItem& item, TQSRStream& out) {
    PutByte(out, item.GetFlagsByte() & ~0x08);
}

// ---- staff-structure items ----

TNotatedItem* ReadClef(int V, TQSRStream& in) {
    auto* clef = new TClefData();
    ReadItemPrefix(*clef, V, in);
    int type = ReadUWord(in);
    clef->SetClefType(type > ctPercussion ? ctTreble : type);
    if (V >= 4) {
        int w = ReadUWord(in);
        clef->SetOctaveShift(ClampToRange(w & 15, 3));
        if (V >= 27) clef->SetAutoSysOff((w & 16) != 0);
    }
    if (V < 27) clef->SetAutoSysOff(clef->GetVisibility() == ivNever);
    return clef;
}

// The tonic letter a key without a stored tonic has: the major key of its signature.
int DerivedTonic(uint16_t sharps, uint16_t flats) {
    return FifthsToMajorTonic(KeySignatureToFifths(sharps, flats));
}

TNotatedItem* ReadKey(int V, TQSRStream& in) {
    auto* key = new TKeyData();
    ReadItemPrefix(*key, V, in);
    // Only the seven note letters exist; a letter in both masks keeps its sharp.
    uint16_t flats = static_cast<uint16_t>(ReadUWord(in) & 0x7F);
    uint16_t sharps = static_cast<uint16_t>(ReadUWord(in) & 0x7F);
    key->SetMasks(sharps, flats);
    key->SetClefInForce(ClampToRange(ReadUWord(in), 5));
    if (V >= 3) {
        uint16_t prevFlats = static_cast<uint16_t>(ReadUWord(in) & 0x7F);
        uint16_t prevSharps = static_cast<uint16_t>(ReadUWord(in) & 0x7F);
        key->SetPrecedingSignature(prevSharps, static_cast<uint16_t>(prevFlats & ~prevSharps));
    }
    int tonic = -1;
    if (V >= 26) {
        tonic = ReadByte(in);
        int option = ReadByte(in);
        if (V >= 27) {
            key->SetHideCancels((option & 1) != 0);
            key->SetAutoSysOff((option & 2) != 0);
        } else {
            key->SetHideCancels(option != 0);
        }
    }
    if (V < 27) key->SetAutoSysOff(key->GetVisibility() == ivNever);
    if (tonic < 0 || tonic > 6) tonic = DerivedTonic(key->GetSharpMask(), key->GetFlatMask());
    key->SetTonic(tonic);
    return key;
}

TNotatedItem* ReadBarLine(int V, TQSRStream& in) {
    auto* bar = new TBarLineData();
    ReadItemPrefix(*bar, V, in);
    int w = ReadUWord(in);
    int style = w & 31;
    if (V < 26 && style > 1) style += 2;
    bar->SetStyle(style > bsTransparent ? bsSingle : style);
    bar->SetXBarCnt(V >= 24 && (w & 0x40) != 0);
    bar->SetSysBreak(V >= 12 && (w & 0x80) != 0);
    bar->SetRepeat(w >> 8);
    bar->SetComputedFlag(false);
    return bar;
}

TNotatedItem* ReadSpecialEnding(int V, TQSRStream& in) {
    auto* ending = new TSpecialEnding();
    ReadItemPrefix(*ending, V, in);
    ending->SetEndings(static_cast<uint32_t>(ReadUWord(in)));
    if (V >= 32) {
        int option = ReadByte(in);
        ending->SetClosedBracket((option & 1) != 0);
        ending->SetHideText((option & 2) != 0);
        ending->SetBracketOffsetNP(ReadSByte(in));
        ending->SetBracketHeight(ReadByte(in));
    }
    return ending;
}

TNotatedItem* ReadTimeSignature(int V, TQSRStream& in) {
    auto* sig = new TTimeSignatureData();
    ReadItemPrefix(*sig, V, in);
    int beats = ReadUWord(in);
    int exponent = ReadUWord(in);
    // The style is kept as stored and does not force the meter: the beats read stay.
    sig->SetStyle(V >= 3 ? ReadSWord(in) & 15 : tsStandard);
    sig->SetBeats(beats > 128 ? 128 : beats);
    sig->SetBeatValueExponent(exponent > 5 ? 5 : exponent);
    return sig;
}

TNotatedItem* ReadStaffSpacer(int V, TQSRStream& in) {
    auto* spacer = new TStaffSpacer();
    ReadItemPrefix(*spacer, V, in);
    spacer->SetWidth(static_cast<int>(in.ReadLong() & 0x7FFF));
    return spacer;
}

TNotatedItem* ReadMultiMeasureRest(int V, TQSRStream& in) {
    auto* rest = new TMultiMeasureRest();
    ReadItemPrefix(*rest, V, in);
    rest->SetNumBars(ReadUWord(in));
    int options = V >= 29 ? ReadUWord(in) : 0x0D;
    rest->SetPrintOnce((options & 1) != 0);
    rest->SetShowBars((options & 4) != 0);
    rest->SetShowRests((options & 8) != 0);
    rest->SetBarLengthTicks(768);
    return rest;
}

TNotatedItem* ReadStaffSizer(int V, TQSRStream& in) {
    auto* sizer = new TStaffSizer();
    ReadItemPrefix(*sizer, V, in);
    int style = ReadByte(in);
    if (V == 30) style = style == 0 ? ssEndCollapse : (style > 2 ? style + 1 : style);
    if (style > ssNewSystem) style = ssReset;
    switch (style) {
        case ssNewSize: {
            int upper = ReadByte(in);
            int lower = ReadByte(in);
            sizer->SetNewSize(upper, lower);
            break;
        }
        case ssGap: {
            int w = ReadUWord(in);
            sizer->SetGap(w & 0x7FFF);
            sizer->SetGapSystemConnections((w & 0x8000) != 0);
            break;
        }
        case ssNewSystem:
            sizer->SetNewSystem((ReadByte(in) & 1) != 0);
            break;
        default:
            sizer->SetStyleRaw(style);
            break;
    }
    return sizer;
}

// ---- expressions ----

void ReadExpressionPrefix(TNtnGeneralExpression& e, int V, TQSRStream& in) {
    if (V <= 10) {
        e.SetStaffPos(-8);
        e.SetWide(true);
        e.SetJustify(ejLeft);
        e.SetPlacement(epAsStaffSignature);
        return;
    }
    e.SetStaffPos(ReadSByte(in));
    int option = ReadByte(in);
    int placement = (option >> 3) & 3;
    if (V < 20 && placement == 1) placement = 2;
    if (V == 20 && placement == 2) placement = 3;
    e.SetWide((option & 1) != 0);
    e.SetJustify(ClampToRange((option >> 1) & 3, 3));
    e.SetPlacement(placement);
}

void SaveExpressionPrefix(const TNtnGeneralExpression& e, TQSRStream& out) {
    PutByte(out, e.GetStaffPos());
    PutByte(out, (e.GetWide() ? 1 : 0) | ((e.GetJustify() & 3) << 1) | ((e.GetPlacement() & 3) << 3));
}

// Versions up to 10 pack Pos (bits 8-15, signed), Wide (bit 7) and the main value (bits 0-6) in one word.
int ReadOldWord(TNtnGeneralExpression& e, TQSRStream& in) {
    int w = ReadUWord(in);
    e.SetStaffPos(static_cast<int8_t>(w >> 8));
    e.SetWide((w & 0x80) != 0);
    return w & 0x7F;
}

TNotatedItem* ReadPatch(int V, TQSRStream& in) {
    auto* patch = new TPatchData();
    ReadItemPrefix(*patch, V, in);
    ReadExpressionPrefix(*patch, V, in);
    TStaffInstrument& ins = patch->GetInstrument();
    ins.Reset();
    ins.BankFlag = static_cast<uint8_t>(ReadUWord(in));
    ins.Bank = static_cast<uint16_t>(ReadUWord(in));
    ins.PatchByte = static_cast<uint8_t>(ReadUWord(in));
    if (V >= 19) {
        char name[48];
        in.ReadString(name, sizeof name);
        ins.SetName(name);
        ins.Trans = static_cast<int8_t>(ReadByte(in));
        for (int i = 0; i < 8; ++i)
            ins.DynVel[i] = static_cast<uint8_t>(ReadByte(in));
    } else if (ins.PatchByte != 0) {
        char name[16];
        std::snprintf(name, sizeof name, "[#%03d]", ins.PatchByte);
        ins.SetName(name);
    }
    return patch;
}

// Tempo names that versions up to 10 refer to by index.
constexpr const char* kOldTempoNames[12] = {"Largo",    "Larghetto", "Adagio",    "Lento",
                                            "Moderato", "Andante",   "Andantino", "Allegretto",
                                            "Allegro",  "Vivace",    "Presto",    "Prestissimo"};

TNotatedItem* ReadTempo(int V, TQSRStream& in) {
    auto* tempo = new TTempoData();
    ReadItemPrefix(*tempo, V, in);
    ReadExpressionPrefix(*tempo, V, in);
    int value = 0;
    int base = tbQuarter;
    if (V >= 11) {
        value = ReadSWord(in);
        base = ReadByte(in);
        char text[255];
        in.ReadString(text, sizeof text);
        tempo->SetText(text);
    } else {
        tempo->SetStaffPos(static_cast<int8_t>(ReadSWord(in)));
        value = ReadSWord(in);
        if (V >= 3) base = ReadUWord(in);
        if (V >= 4) {
            int flags = ReadUWord(in);
            int index = flags & 15;
            if ((flags & 0x20) && index < 12) tempo->SetText(kOldTempoNames[index]);
            tempo->SetWide((flags & 0x40) != 0);
            if ((flags & 0x30) == 0) tempo->SetVisibility(ivNever);
        }
    }
    if (base > tbHalfDotted) base = tbQuarter;
    if (V < 24) value = TempoFromQuarters(value, base);
    tempo->SetTempo(value, base);
    return tempo;
}

TNotatedItem* ReadDynamic(int V, TQSRStream& in) {
    auto* dyn = new TDynamicLevelData();
    ReadItemPrefix(*dyn, V, in);
    ReadExpressionPrefix(*dyn, V, in);
    int option = 0;
    int velocity = 50;
    int volume = 127;
    if (V >= 11) {
        option = ReadByte(in);
        velocity = ReadUWord(in);
        volume = ReadUWord(in);
    } else if (V >= 4) {
        int w = ReadUWord(in);
        dyn->SetStaffPos(static_cast<int8_t>(w >> 8));
        dyn->SetWide((w & 0x10) != 0);
        option = w & 0xFF;
        if (V < 10 && (option & 0x80)) dyn->SetVisibility(ivNever);
        velocity = ReadUWord(in);
        volume = ReadUWord(in);
    } else {
        dyn->SetStaffPos(static_cast<int8_t>(ReadSWord(in)));
        option = ReadUWord(in) & 15;
    }
    int style = option & 15;
    dyn->SetStyle(style >= 8 ? 0 : style);
    dyn->SetVelocityGiven((option & 0x20) != 0);
    dyn->SetVolumeGiven((option & 0x40) != 0);
    velocity &= 0xFF;
    volume &= 0xFF;
    dyn->SetVelocity(velocity & 0x80 ? 0 : velocity);
    if (volume & 0x80) {
        dyn->SetVolume(127);
        dyn->SetVolumeGiven(false);
    } else {
        dyn->SetVolume(volume);
    }
    return dyn;
}

TNotatedItem* ReadPedal(int V, TQSRStream& in) {
    auto* pedal = new TSustainPedal();
    ReadItemPrefix(*pedal, V, in);
    ReadExpressionPrefix(*pedal, V, in);
    if (V >= 11) {
        pedal->SetStatus(ReadByte(in));
    } else {
        pedal->SetStaffPos(static_cast<int8_t>(ReadSWord(in)));
        int w = ReadUWord(in);
        pedal->SetStatus(w & 1);
        pedal->SetWide(V < 10 || (w & 2) != 0);
    }
    return pedal;
}

TNotatedItem* ReadFlow(int V, TQSRStream& in) {
    auto* flow = new TFlowDirection();
    ReadItemPrefix(*flow, V, in);
    ReadExpressionPrefix(*flow, V, in);
    int style = ClampToRange(ReadUWord(in), 10);
    flow->SetStyle(style);
    if (V < 11) {
        int pos = -8;
        if (style == fsCoda) pos = -7;
        if (style == fsFine) pos = 8;
        if (style >= fsDaCapo && style <= fsDCalFine) pos = -10;
        flow->SetStaffPos(pos);
    }
    return flow;
}

TNotatedItem* ReadControl(int V, TQSRStream& in) {
    auto* mpc = new TGenericControl();
    ReadItemPrefix(*mpc, V, in);
    ReadExpressionPrefix(*mpc, V, in);
    int controller = ReadSWord(in);
    int style = ReadSWord(in);
    int timeRes = ReadSWord(in);
    int sweepRes = ReadSWord(in);
    mpc->SetController(ClampToRange(controller, 18));
    mpc->SetStyle(ClampToRange(style, 2));
    mpc->SetTimeRes(ClampToRange(timeRes, 8));
    mpc->SetSweepRes(sweepRes);
    for (int i = 0; i < TGenericControl::kPoints; ++i) {
        int inUse = ReadSWord(in);
        int time = ReadSWord(in);
        int value = ReadSWord(in);
        mpc->SetPointRaw(i, inUse != 0, time, value);
    }
    return mpc;
}

TNotatedItem* ReadTempoVariance(int V, TQSRStream& in) {
    auto* var = new TTempoVariance();
    ReadItemPrefix(*var, V, in);
    ReadExpressionPrefix(*var, V, in);
    int style = 0;
    if (V >= 11) {
        style = ReadSByte(in);
        var->SetPause(ReadByte(in));
    } else {
        style = ReadOldWord(*var, in);
        var->SetPause(ReadUWord(in) & 0xFF);
    }
    if (V < 26 && style > 0) style += 1;
    if (style == tvFermata && !var->GetWide() && V <= 11) {
        var->SetPlacement(epAtNextNote);
        var->SetJustify(ejCenter);
    }
    var->SetStyle(ClampToRange(style, 10));
    var->SetPlaybackRamp(0, 0, 0);
    return var;
}

TNotatedItem* ReadDynamicVariance(int V, TQSRStream& in) {
    auto* var = new TDynamicVariance();
    ReadItemPrefix(*var, V, in);
    ReadExpressionPrefix(*var, V, in);
    int style = V >= 11 ? ReadSByte(in) : ReadOldWord(*var, in);
    var->SetStyle(ClampToRange(style, 5));
    return var;
}

TNotatedItem* ReadPerformanceStyle(int V, TQSRStream& in) {
    auto* perf = new TPerformanceStyle();
    ReadItemPrefix(*perf, V, in);
    ReadExpressionPrefix(*perf, V, in);
    int style = V >= 11 ? ReadSByte(in) : ReadOldWord(*perf, in);
    perf->SetStyle(ClampToRange(style, 23));
    return perf;
}

// Font styles 0-13 exist (the two music font sizes and the twelve text fonts).
constexpr int kFontStyleCount = 14;

// Text expressions and chord names: the same record with their own text limit and defaults.
template <class T>
T* ReadTextItem(int V, TQSRStream& in, int limit, int fontShift, int defaultFont, const char* emptyText) {
    auto* item = new T();
    ReadItemPrefix(*item, V, in);
    ReadExpressionPrefix(*item, V, in);
    int font = 0;
    if (V >= 11) {
        font = ReadByte(in);
    } else {
        int w = ReadUWord(in);
        item->SetStaffPos(static_cast<int8_t>(w >> 8));
        item->SetWide((w & 0x10) != 0);
        font = w & 15;
    }
    if (V < 26) font += fontShift;
    item->SetFont(font < kFontStyleCount ? font : defaultFont);
    std::vector<char> text(static_cast<size_t>(limit));
    in.ReadString(text.data(), limit);
    if (text[0] == 0) {
        item->SetText(emptyText);
        item->SetWide(true);
        item->SetVisibility(ivNever);
        item->SetFont(0);
        item->SetStaffPos(-8);
    } else {
        item->SetText(text.data());
    }
    return item;
}

// ---- notes, rests and chords ----

// File bit of word 3 -> attribute, with the first version that stores it.
struct TAttributeBit {
    int attribute;
    int since;
};
constexpr TAttributeBit kAttributeBits[16] = {
    {naDblDotted, 5},  {naStaccato, 0},       {naDotted, 0},        {naMarcato, 26},
    {naTie, 0},        {naAccent, 0},         {naCrescendo, 18},    {naDiminuendo, 18},
    {naSlur, 4},       {naStaccatissimo, 26}, {naTenuto, 5},        {naAttribute6, 5},
    {naAttribute7, 5}, {naGrace, 7},          {naTieDirection, 10}, {naSlurDirection, 10}};

// The file bits of word 3 that version V stores, for every version up to the current one.
constexpr std::array<uint16_t, kScoreFormatVersion + 1> kStoredAttributeBits = [] {
    std::array<uint16_t, kScoreFormatVersion + 1> masks{};
    for (int v = 0; v <= kScoreFormatVersion; ++v)
        for (int bit = 0; bit < 16; ++bit)
            if (v >= kAttributeBits[bit].since)
                masks[static_cast<size_t>(v)] |= static_cast<uint16_t>(1u << bit);
    return masks;
}();

unsigned StoredAttributeBits(int V) {
    if (V < 0) return 0;
    return kStoredAttributeBits[static_cast<size_t>(std::min(V, kScoreFormatVersion))];
}

void ReadSongPart(TSongNote& note, int V, TQSRStream& in) {
    int mark = 0;
    ReadItemPrefix(note, V, in, &mark);
    // The words are read before any field is stored: the fields are bytes, and a store through a byte
    // could change the stream's read position for all the compiler knows, so each read would wait for it.
    const int w1 = ReadUWord(in);
    const int w2 = ReadUWord(in);
    unsigned w3 = static_cast<unsigned>(ReadUWord(in)) & StoredAttributeBits(V);
    if (V >= 29) mark = (w2 & 0x8000) ? ReadByte(in) & 15 : 0;
    // The plain stores of the base: a chord has no member yet, so it has nothing to pass on to them.
    note.TSongNote::SetDuration(ClampToRange(w1 & 15, 7));
    if (V >= 9) {
        note.SetXAccSpace((w1 >> 4) & 15);
        note.SetXNoteSpace((w1 >> 8) & 15);
    }
    note.TSongNote::SetBeamState(w2 & 3);
    note.TSongNote::SetTripletState((w2 >> 2) & 3);
    note.TSongNote::SetStemSetting(ClampToRange((w2 >> 4) & 3, 3));
    if (V >= 4) note.SetSlurDownward((w2 & 0x40) != 0);
    if (V >= 13) note.SetLyricMode(ClampToRange((w2 >> 7) & 3, 3));
    if (V >= 17) note.SetNotehead(ClampToRange((w2 >> 9) & 15, 14));
    note.SetAttributes(0);
    // Most notes have no attribute or one: only the set bits are visited, in the order of the file bits.
    for (; w3 != 0; w3 &= w3 - 1)
        note.TSongNote::SetAttribute(kAttributeBits[std::countr_zero(w3)].attribute);
    if (V < 4) {
        int old = (w2 >> 6) & 3;
        if (old == 1 || old == 2) note.SetAttribute(naSlur);
        if (old == 2 || old == 3) note.SetSlurContinued(true);
    }
    if (V < 24) mark = 0;
    note.SetMarkNumber(ClampToRange(mark, 8));
}

void SaveSongPart(const TSongNote& note, TQSRStream& out) {
    SaveItemPrefix(note, out);
    PutWord(out, note.GetDur() | (note.GetXAccSpace() << 4) | (note.GetXNoteSpace() << 8));
    int mark = note.GetMarkNumber();
    PutWord(out, note.GetBeamState() | (note.GetTripletState() << 2) | (note.GetStemSetting() << 4) |
                     ((note.IsSlurDownward() ? 1 : 0) << 6) | (note.GetLyricMode() << 7) |
                     (note.GetNotehead() << 9) | ((mark != 0 ? 1 : 0) << 15));
    int w3 = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (note.HasAttribute(kAttributeBits[bit].attribute)) w3 |= 1 << bit;
    PutWord(out, w3);
    if (mark != 0) PutByte(out, mark);
}

// The note word and what follows it; shared by notes and the chord's own record.
void ReadNotePart(TMusicNote& note, int V, TQSRStream& in) {
    ReadSongPart(note, V, in);
    // Read first, then stored, as in ReadSongPart.
    const int w = ReadUWord(in);
    if (V <= 15) in.ReadWord();
    int length = 0;
    if (V >= 17 && (w & 0x4000)) {
        length = 31;
        if (V >= 19) {
            length = ReadByte(in) & 31;
            if (length == 0) length = 31;
        }
    }
    note.SetHeadColumn(0);
    note.SetAutomaticMark(false);
    note.SetStaffPos(static_cast<int8_t>(w & 0xFF));
    int acc = 0;
    if (V >= 5) {
        acc = (w >> 8) & 7;
        if (acc > acNone) acc = acSharp;
        note.SetTieDownward((w & 0x0800) != 0);
    } else {
        acc = (w >> 8) & 3;
        if (acc == 3) acc = acNone;
        note.SetTieDownward((w & 0x0400) != 0);
    }
    note.SetAccidental(acc);
    if (V >= 16) {
        note.SetMuted((w & 0x1000) != 0);
        note.SetNoLegerLines((w & 0x2000) != 0);
    }
    if (V >= 21) note.SetArticulationsOnStem((w & 0x8000) != 0);
    note.SetStemLengthField(length);
}

void SaveNotePart(const TMusicNote& note, TQSRStream& out) {
    SaveSongPart(note, out);
    bool stemStored = note.GetStemLengthField() != 0 && !note.IsChordMember();
    int w = (note.GetStaffPos() & 0xFF) | (note.GetShownAccidental() << 8);
    if (note.HasAttribute(naTieDirection) && note.IsTieDownward()) w |= 0x0800;
    if (note.IsMuted()) w |= 0x1000;
    if (note.HasNoLegerLines()) w |= 0x2000;
    if (stemStored) w |= 0x4000;
    if (note.HasArticulationsOnStem()) w |= 0x8000;
    PutWord(out, w);
    if (stemStored) PutByte(out, note.GetStemLength());
}

// In version 24 the mark number of chord members and chord parts was kept in the colour bits.
void RepairVersion24Mark(TMusicNote& note, int V) {
    if (V == 24 && note.GetType() == ntNote && note.GetColor() != 0 && note.GetMarkNumber() == 0) {
        note.SetMarkNumber(note.GetColor());
        note.SetColor(0);
    }
}

bool ReadItem(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item, int depth,
              TChordData** unfinished = nullptr);

TNotatedItem* ReadNote(int V, TQSRStream& in) {
    auto* note = new TMusicNote();
    ReadNotePart(*note, V, in);
    return note;
}

void ReadRestPart(TRestNote& rest, int V, TQSRStream& in) {
    ReadSongPart(rest, V, in);
    rest.SetHideRest(false);
    rest.SetBarLengthRaw(false, 768);
    rest.SetVertOffset(V >= 9 ? ReadSWord(in) : 0);
}

void SaveRestPart(const TRestNote& rest, TQSRStream& out) {
    SaveSongPart(rest, out);
    PutWord(out, rest.IsHiddenInRestChord() ? -2001 : rest.GetVertOffset());
}

TNotatedItem* ReadRest(int V, TQSRStream& in) {
    auto* rest = new TRestNote();
    ReadRestPart(*rest, V, in);
    return rest;
}

// Reads a chord member or a rest chord's part: a note, or a chord (which a single member makes a note).
TMusicNote* ReadPart(const TScoreFileHeader& hdr, TQSRStream& in, int depth, bool chordAllowed) {
    TNotatedItem* item = nullptr;
    if (!ReadItem(hdr, in, item, depth + 1)) return nullptr;
    int type = item->GetType();
    if (type == ntNote || (chordAllowed && type == ntChord)) return static_cast<TMusicNote*>(item);
    delete item;
    in.SetError();
    return nullptr;
}

TNotatedItem* ReadRestChord(const TScoreFileHeader& hdr, TQSRStream& in, int depth) {
    const int V = hdr.FormatVersion;
    auto* rc = new TRestChord();
    ReadRestPart(*rc, V, in);
    if (rc->GetVertOffset() < -2000 || rc->GetVertOffset() > 2000) rc->SetHideRest(true);
    int flag = ReadUWord(in);
    if ((flag & 1) && !in.GetError()) {
        TMusicNote* part = depth < kMaxNesting ? ReadPart(hdr, in, depth, true) : nullptr;
        if (!part) {
            in.SetError();
        } else {
            RepairVersion24Mark(*part, V);
            part->SetRestChordPart(true);
            if (V <= 20) part->SetArticulationsOnStem(true);
            rc->SetPartRaw(part);
        }
    }
    return rc;
}

int TicksWithDots(const TSongNote& note) {
    return NominalTicks(note.GetDur(), note.IsDotted(), note.IsDblDotted(), false);
}

// The steps of reading a chord after its members: their order, their stem settings, members that repeat
// the one before them dropped, and the sync.
void FinishChord(TChordData& chord, int V) {
    chord.SortNotes();
    int n = chord.GetNoteCount();
    if (n == 0) return;
    // Member stems follow the chord: with split stems the down-stem group comes first.
    TMusicNote* first = chord.GetNote(0);
    if (chord.HasSplitStems()) {
        int firstTicks = TicksWithDots(*first);
        first->SetStemSetting(2);
        bool up = false;
        for (int i = 1; i < n; ++i) {
            TMusicNote* m = chord.GetNote(i);
            if (!up && (m->GetStemSetting() == 1 || TicksWithDots(*m) != firstTicks)) up = true;
            m->SetStemSetting(up ? 1 : 2);
        }
    } else {
        for (int i = 1; i < n; ++i)
            chord.GetNote(i)->SetStemSetting(first->GetStemSetting());
    }
    chord.SortNotes();
    chord.DeleteRepeatedMembers();
    chord.SyncNotes();
    if (V <= 20 && chord.HasSplitStems()) chord.SetArticulationsOnStem(true);
}

// Two members or more, no two on one staff position: no member repeats another, so the chord keeps every
// member whatever its finishing does, and stays a chord.
bool KeepsEveryMember(const TChordData& chord) {
    const int n = chord.GetNoteCount();
    if (n < 2) return false;
    for (int i = 1; i < n; ++i) {
        const int p = chord.GetNote(i)->GetStaffPos();
        for (int j = 0; j < i; ++j)
            if (chord.GetNote(j)->GetStaffPos() == p) return false;
    }
    return true;
}

// With unfinished given, a chord of the staff (depth 0) that keeps every member is returned before its
// finishing and named there.
TNotatedItem* ReadChord(const TScoreFileHeader& hdr, TQSRStream& in, int depth, TChordData** unfinished) {
    const int V = hdr.FormatVersion;
    auto* chord = new TChordData();
    ReadNotePart(*chord, V, in);
    if (V <= 15) in.ReadWord();
    int count = ReadSWord(in);
    chord->SetWideFlags(0);
    for (int i = 0; i < count && !in.GetError(); ++i) {
        TMusicNote* member = depth < kMaxNesting ? ReadPart(hdr, in, depth, false) : nullptr;
        if (!member) {
            in.SetError();
            break;
        }
        RepairVersion24Mark(*member, V);
        chord->AppendNoteRaw(member);
    }
    if (unfinished && depth == 0 && KeepsEveryMember(*chord)) {
        *unfinished = chord;
        return chord;
    }
    FinishChord(*chord, V);
    return chord;
}

TNotatedItem* ReadItemOfKind(int code, const TScoreFileHeader& hdr, TQSRStream& in, int depth,
                             TChordData** unfinished) {
    const int V = hdr.FormatVersion;
    switch (code) {
        case ntClef:
            return ReadClef(V, in);
        case ntKey:
            return ReadKey(V, in);
        case ntBarLine:
            return ReadBarLine(V, in);
        case ntSpecialEnding:
            return ReadSpecialEnding(V, in);
        case ntPatch:
            return ReadPatch(V, in);
        case ntTimeSignature:
            return ReadTimeSignature(V, in);
        case ntTempo:
            return ReadTempo(V, in);
        case ntDynamic:
            return ReadDynamic(V, in);
        case ntNote:
            return ReadNote(V, in);
        case ntRest:
            return ReadRest(V, in);
        case ntChord:
            return ReadChord(hdr, in, depth, unfinished);
        case ntSustainPedal:
            return ReadPedal(V, in);
        case ntFlowDirection:
            return ReadFlow(V, in);
        case ntGenericControl:
            return ReadControl(V, in);
        case ntTempoVariance:
            return ReadTempoVariance(V, in);
        case ntDynamicVariance:
            return ReadDynamicVariance(V, in);
        case ntPerformanceStyle:
            return ReadPerformanceStyle(V, in);
        case ntTextExpression:
            return ReadTextItem<TTextExpression>(V, in, 255, 2, efStaffItalic, "<Text Expression>");
        case ntRestChord:
            return ReadRestChord(hdr, in, depth);
        case ntChordName:
            return ReadTextItem<TChordName>(V, in, 80, 0, efStaffSymbols, "C/F");
        case ntStaffSpacer:
            return ReadStaffSpacer(V, in);
        case ntMultiMeasureRest:
            return ReadMultiMeasureRest(V, in);
        case ntStaffSizer:
            return ReadStaffSizer(V, in);
        default:
            return nullptr;
    }
}

bool ReadItem(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item, int depth,
              TChordData** unfinished) {
    item = nullptr;
    if (in.GetError()) return false;
    int code = ReadSWord(in);
    if (code < 0 || code >= ntItemTypeCount || in.GetError()) return false;
    TNotatedItem* read = ReadItemOfKind(code, hdr, in, depth, unfinished);
    if (code == ntRestChord && !read->HasNotes()) {
        auto* rest = new TRestNote();
        rest->CopyFrom(*read);
        delete read;
        read = rest;
    } else if (code == ntChord && read->GetNoteCount() == 1) {
        auto* chord = static_cast<TChordData*>(read);
        TMusicNote* note = chord->GetLastNote();
        chord->RemoveNote(note);
        delete chord;
        read = note;
    }
    if (in.GetError()) {
        delete read;
        return false;
    }
    item = read;
    return true;
}

}  // namespace

// ---- the Save slot of every class ----

void TNotatedItem::Save(TQSRStream& out) const {
    SaveItemPrefix(*this, out);
}

void TClefData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out, GetClefType());
    PutWord(out, (GetOctaveShift() & 15) | (GetAutoSysOff() ? 16 : 0));
}

void TKeyData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out, GetFlatMask());
    PutWord(out, GetSharpMask());
    PutWord(out, GetClefInForce());
    PutWord(out, GetPrecedingFlats());
    PutWord(out, GetPrecedingSharps());
    PutByte(out, GetTonic());
    PutByte(out, (GetHideCancels() ? 1 : 0) | (GetAutoSysOff() ? 2 : 0));
}

void TBarLineData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out,
            (GetStyle() & 31) | (GetXBarCnt() ? 0x40 : 0) | (GetSysBreak() ? 0x80 : 0) | (GetRepeat() << 8));
}

void TSpecialEnding::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out, static_cast<int>(GetEndings() & 0xFFFF));
    PutByte(out, (GetClosedBracket() ? 1 : 0) | (GetHideText() ? 2 : 0));
    PutByte(out, GetBracketOffsetNP());
    PutByte(out, GetBracketHeight());
}

void TTimeSignatureData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out, GetBeats());
    PutWord(out, GetBeatValueExponent());
    PutWord(out, GetStyle());
}

void TStaffSpacer::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    out.WriteLong(static_cast<uint32_t>(GetWidth()));
}

void TMultiMeasureRest::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutWord(out, GetNumBars());
    PutWord(out, (GetPrintOnce() ? 1 : 0) | (GetShowBars() ? 4 : 0) | (GetShowRests() ? 8 : 0));
}

void TStaffSizer::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    PutByte(out, GetStyle());
    if (IsNewSize()) {
        PutByte(out, GetData(0));
        PutByte(out, GetData(1));
    } else if (IsGap()) {
        PutWord(out, GetData(0) | (GetData(1) << 8));
    } else if (IsNewSystem()) {
        PutByte(out, GetNewPage() ? 1 : 0);
    }
}

void TPatchData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    const TStaffInstrument& ins = GetInstrument();
    PutWord(out, ins.BankFlag);
    PutWord(out, ins.Bank);
    PutWord(out, ins.PatchByte);
    out.WriteString(ins.Name);
    PutByte(out, ins.Trans);
    for (int i = 0; i < 8; ++i)
        PutByte(out, ins.DynVel[i]);
}

void TTempoData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutWord(out, GetTempo());
    PutByte(out, GetBase());
    out.WriteString(GetText());
}

void TDynamicLevelData::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, (GetStyle() & 15) | (HasVelocity() ? 0x20 : 0) | (HasVolume() ? 0x40 : 0));
    PutWord(out, GetVelocity());
    PutWord(out, GetVolume());
}

void TSustainPedal::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetStatus());
}

void TFlowDirection::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutWord(out, GetStyle());
}

void TGenericControl::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutWord(out, GetController());
    PutWord(out, GetStyle());
    PutWord(out, GetTimeRes());
    PutWord(out, GetSweepRes());
    for (int i = 0; i < kPoints; ++i) {
        PutWord(out, IsPointInUse(i) ? 1 : 0);
        PutWord(out, GetPointTime(i));
        PutWord(out, GetPointValue(i));
    }
}

void TTempoVariance::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetStyle());
    PutByte(out, GetPause());
}

void TDynamicVariance::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetStyle());
}

void TPerformanceStyle::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetStyle());
}

void TTextExpression::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetFont());
    out.WriteString(GetText());
}

void TChordName::Save(TQSRStream& out) const {
    TNotatedItem::Save(out);
    SaveExpressionPrefix(*this, out);
    PutByte(out, GetFont());
    out.WriteString(GetText());
}

void TMusicNote::Save(TQSRStream& out) const {
    SaveNotePart(*this, out);
}

void TRestNote::Save(TQSRStream& out) const {
    SaveRestPart(*this, out);
}

void TChordData::Save(TQSRStream& out) const {
    TMusicNote::Save(out);
    PutWord(out, GetNoteCount());
    for (int i = 0; i < GetNoteCount(); ++i)
        WriteNotatedItem(out, *GetNote(i));
}

void TRestChord::Save(TQSRStream& out) const {
    TRestNote::Save(out);
    PutWord(out, GetPart() ? 1 : 0);
    if (GetPart()) WriteNotatedItem(out, *GetPart());
}

// ---- item serialisation ----

bool ReadNotatedItem(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item) {
    return ReadItem(hdr, in, item, 0);
}

bool ReadNotatedItemUnfinished(const TScoreFileHeader& hdr, TQSRStream& in, TNotatedItem*& item,
                               TChordData*& unfinished) {
    unfinished = nullptr;
    TChordData* chord = nullptr;
    if (!ReadItem(hdr, in, item, 0, &chord)) return false;
    unfinished = chord;
    return true;
}

void FinishReadingChord(TChordData& chord, const TScoreFileHeader& hdr) {
    FinishChord(chord, hdr.FormatVersion);
}

TNotatedItem* CreateNotatedItem(int typeCode) {
    switch (typeCode) {
        case ntClef:
            return new TClefData(ctTreble);
        case ntKey:
            return new TKeyData(0, 0, 2);
        case ntBarLine:
            return new TBarLineData(bsSingle, 1);
        case ntSpecialEnding:
            return new TSpecialEnding(1);
        case ntPatch:
            return new TPatchData();
        case ntTimeSignature:
            return new TTimeSignatureData(4, 2, tsStandard);
        case ntTempo:
            return new TTempoData(120, tbQuarter);
        case ntDynamic:
            return new TDynamicLevelData(dlMP);
        case ntNote:
            return new TMusicNote(0, dcQuarter, 0, acNone);
        case ntRest:
            return new TRestNote(dcQuarter, 0);
        case ntChord:
            return new TChordData(nullptr, nullptr);
        case ntSustainPedal:
            return new TSustainPedal(1);
        case ntFlowDirection:
            return new TFlowDirection(fsCoda);
        case ntGenericControl:
            return new TGenericControl();
        case ntTempoVariance:
            return new TTempoVariance(tvBreathMark, 0);
        case ntDynamicVariance:
            return new TDynamicVariance(dvCrescendo);
        case ntPerformanceStyle:
            return new TPerformanceStyle(20);
        case ntTextExpression:
            return new TTextExpression();
        case ntRestChord:
            return new TRestChord(dcQuarter, 0);
        case ntChordName:
            return new TChordName();
        case ntStaffSpacer:
            return new TStaffSpacer(100);
        case ntMultiMeasureRest:
            return new TMultiMeasureRest(1);
        case ntStaffSizer:
            return new TStaffSizer();
        default:
            return nullptr;
    }
}

void WriteNotatedItem(TQSRStream& out, const TNotatedItem& item) {
    PutWord(out, item.GetType());
    item.Save(out);
}

void WriteItemRange(const TStaffItemRange& range, TQSRStream& out) {
    const int count = range.GetCount();
    PutWord(out, kScoreFormatVersion);
    PutWord(out, count);
    for (int i = 0; i < count; ++i)
        WriteNotatedItem(out, *range.Staff->GetItem(range.First + i));
}

bool ReadItemRange(TStaffItemRange& range, TQSRStream& in, bool format) {
    TScoreFileHeader hdr(StatusOk);
    if (range.Staff == nullptr || range.First < 0) return false;
    TMusicStaff& staff = *range.Staff;
    const int first = std::min(range.First, staff.GetItemCount());
    range.First = first;
    range.Last = first - 1;
    hdr.FormatVersion = ReadSWord(in);
    if (hdr.FormatVersion > kScoreFormatVersion) return false;
    int count = ReadSWord(in);
    if (count >= staff.GetFreeItemSlots()) return false;
    int next = first;
    bool ok = true;
    for (int i = 0; i < count; ++i) {
        TNotatedItem* item = nullptr;
        if (!ReadNotatedItem(hdr, in, item)) {
            ok = false;
            break;
        }
        staff.InsertItem(item, next++);
    }
    range.Last = next - 1;
    if (format && range.Last >= first) staff.Reformat(first, range.Last);
    return ok;
}

const TScoreFileHeader& CurrentVersionHeader() {
    static const TScoreFileHeader header(StatusOk);
    return header;
}

TNotatedItem* CloneNotatedItem(const TNotatedItem& item) {
    TQSRSegRamStream buffer(1024);
    WriteNotatedItem(buffer, item);
    buffer.Seek(0);
    TNotatedItem* copy = nullptr;
    ReadNotatedItem(CurrentVersionHeader(), buffer, copy);
    return copy;
}

namespace {

std::vector<uint8_t> ItemBytes(const TNotatedItem& item) {
    TQSRSegRamStream buffer(1024);
    WriteNotatedItem(buffer, item);
    std::vector<uint8_t> bytes(buffer.GetSize());
    buffer.Seek(0);
    buffer.ReadBlock(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return bytes;
}

}  // namespace

int CompareNotatedItems(const TNotatedItem& a, const TNotatedItem& b) {
    std::vector<uint8_t> ra = ItemBytes(a);
    std::vector<uint8_t> rb = ItemBytes(b);
    size_t n = std::max({ra.size(), rb.size(), size_t{2048}});
    ra.resize(n, 0);
    rb.resize(n, 0);
    for (size_t i = 0; i < n; ++i)
        if (ra[i] != rb[i]) return static_cast<int>(ra[i]) - static_cast<int>(rb[i]);
    return 0;
}

// ---- lyrics ----

void WriteLyricLine(const TLyricText& line, TQSRStream& out) {
    int capacity = line.GetCapacity();
    if (capacity == 0) {
        PutWord(out, 0);
        return;
    }
    // The size word is unsigned in the file; a longer buffer is written up to its first 65535 bytes.
    int size = std::min({line.GetUsed() + 2, capacity, 0xFFFF});
    int used = std::min(line.GetUsed(), size);
    PutWord(out, size);
    PutWord(out, used);
    out.WriteBlock(line.GetBuffer(), static_cast<DWORD>(size));
}

void TStaffLyrics::Save(TQSRStream& out) const {
    PutWord(out, GetCount());
    PutWord(out, (Placement & 1) | ((Align & 1) << 1) | (UnderscoreAsSpace ? 0 : 8));
    PutWord(out, Offset);
    for (int i = 0; i < GetCount(); ++i)
        WriteLyricLine(*GetLine(i), out);
}
