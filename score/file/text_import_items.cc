// Item lines of the text score importer: one parser per item keyword, the duration, options and position
// fields of notes, and the fields common to all items.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "platform/kernel/text.h"
#include "score/base/play_state.h"
#include "score/base/vocabulary.h"
#include "score/expression_items.h"
#include "score/file/text_import.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Two integers separated by a comma, as "%d,%d" reads them.
bool ReadIntPair(const char* text, int32_t& a, int32_t& b) {
    const char* end = nullptr;
    a = TQSMTextImportTokenizer::ParseInt(text, &end);
    if (end == text || *end != ',') return false;
    const char* second = end + 1;
    b = TQSMTextImportTokenizer::ParseInt(second, &end);
    return end != second;
}

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// Staff positions are signed bytes: out-of-range values are held at the ends instead of wrapping.
int ClampStaffPos(int64_t pos) {
    return static_cast<int>(std::clamp<int64_t>(pos, -128, 127));
}

// The place of each character in the first name of a vocabulary list, plus one (0: not in it), as strchr
// finds it there: the first place of a character that comes twice.
struct TCharPlaces {
    uint16_t Place[256] = {};
    explicit TCharPlaces(int list) {
        const char* name = GetNameList(list);
        for (int i = static_cast<int>(std::strlen(name)) - 1; i >= 0; --i)
            Place[static_cast<unsigned char>(name[i])] = static_cast<uint16_t>(i + 1);
    }
    // The place of a character other than the terminator, or -1.
    int Find(char c) const { return static_cast<int>(Place[static_cast<unsigned char>(c)]) - 1; }
};

// A copy of a template note (every field) given its position.
TMusicNote* CopyNoteAt(const TMusicNote& templ, const char* position) {
    auto* note = new TMusicNote();
    note->AssignNote(templ);
    TQSMFileTextImporter::ParsePosition(*note, position);
    return note;
}

// Notes waiting for a chord: those the chord has not taken are freed with the list.
class TPendingNotes {
public:
    explicit TPendingNotes(std::vector<TMusicNote*>& notes) : Notes(notes) { Notes.clear(); }
    TPendingNotes(const TPendingNotes&) = delete;
    TPendingNotes& operator=(const TPendingNotes&) = delete;
    ~TPendingNotes() {
        for (TMusicNote* note : Notes)
            delete note;
        Notes.clear();
    }
    void Add(TMusicNote* note) { Notes.push_back(note); }
    // Gives the notes to the chord in order; false when it refused any. finish false: the caller syncs the
    // chord next.
    bool AddTo(TChordData& chord, bool finish = true) {
        const int count = static_cast<int>(Notes.size());
        return chord.AddNotes(Notes.data(), count, finish) == count;
    }

private:
    std::vector<TMusicNote*>& Notes;
};

}  // namespace

TNotatedItem* TQSMFileTextImporter::ParseItem() {
    const char* keyword = GetKeyword();
    if (keyword == nullptr) return nullptr;
    TNotatedItem* item = nullptr;
    switch (FindName(0, keyword, -1)) {
        case ntClef:
            item = ParseClef();
            break;
        case ntKey:
            item = ParseKey();
            break;
        case ntBarLine:
            item = ParseBar();
            break;
        case ntSpecialEnding:
            item = ParseEnding();
            break;
        case ntPatch:
            item = ParseInstrumentItem();
            break;
        case ntTimeSignature:
            item = ParseTimeSignature();
            break;
        case ntTempo:
            item = ParseTempo();
            break;
        case ntDynamic:
            item = ParseDynamic();
            break;
        case ntNote:
            item = ParseNote();
            break;
        case ntRest:
            item = ParseRest();
            break;
        case ntChord:
            item = ParseChord();
            break;
        case ntSustainPedal:
            item = ParseSustainPedal();
            break;
        case ntFlowDirection:
            item = ParseFlow();
            break;
        case ntGenericControl:
            item = ParseGenericControl();
            break;
        case ntTempoVariance:
            item = ParseTempoVariance();
            break;
        case ntDynamicVariance:
            item = ParseDynamicVariance();
            break;
        case ntPerformanceStyle:
            item = ParsePerformanceStyle();
            break;
        case ntTextExpression:
            item = ParseText();
            break;
        case ntRestChord:
            item = ParseRestChord();
            break;
        case ntStaffSpacer:
            item = ParseSpacer();
            break;
        case ntMultiMeasureRest:
            item = ParseMultiMeasureRest();
            break;
        case ntStaffSizer:
            item = ParseBoundary();
            break;
        default:  // ChordName lines and other keywords build no item
            return nullptr;
    }
    if (item != nullptr) ApplyCommonFields(*item);
    return item;
}

void TQSMFileTextImporter::ApplyCommonFields(TNotatedItem& item) {
    if (item.IsExpression()) {
        auto& expr = static_cast<TNtnGeneralExpression&>(item);
        if (const char* v = FindField("Pos:"))
            expr.SetStaffPos(ClampStaffPos(-static_cast<int64_t>(ParseInt(v))));
        expr.SetWide(IsFirstLetterYes(FindField("Wide:")));
        expr.SetJustify(FindName(31, FindField("Justify:"), 0));
        expr.SetPlacement(FindName(34, FindField("Placement:"), 0));
    }
    if (const char* v = FindField("Color:")) item.SetColor(ParseIntLimited(v, 0, 7));
    if (const char* v = FindField("Visibility:")) item.SetVisibility(FindName(5, v, 0));
}

// ---- Signature and structural items

TNotatedItem* TQSMFileTextImporter::ParseClef() {
    const int type = FindName(6, FindField("Type:"), -1);
    if (type < 0) return nullptr;
    auto* clef = new TClefData(type);
    if (const char* v = FindField("OctaveShift:")) clef->SetOctaveShift(FindName(32, v, 0));
    if (const char* v = FindField("AutoSys:")) clef->SetAutoSysOff(v[0] == 'N');
    return clef;
}

TNotatedItem* TQSMFileTextImporter::ParseKey() {
    auto* key = new TKeyData(0, 0, 2);
    const int n = SplitValueList(FindField("Signature:"));
    for (int i = 0; i < n; ++i) {
        const char* part = GetPart(i);
        if (std::strlen(part) != 2) continue;
        const char letter[2] = {part[0], 0};
        const int index = FindName(12, letter, -1);
        if (index < 0) continue;
        if (part[1] == 'b') key->SetFlat(index);
        if (part[1] == '#') key->SetSharp(index);
    }
    const int tonic = FindName(12, FindField("Tonic:"), -1);
    key->SetTonic(tonic >= 0
                      ? tonic
                      : FifthsToMajorTonic(KeySignatureToFifths(key->GetSharpMask(), key->GetFlatMask())));
    if (const char* v = FindField("HideCancels:")) key->SetHideCancels(IsFirstLetterYes(v));
    if (const char* v = FindField("AutoSys:")) key->SetAutoSysOff(v[0] == 'N');
    return key;
}

TNotatedItem* TQSMFileTextImporter::ParseBar() {
    auto* bar = new TBarLineData(bsSingle, 1);
    if (const char* style = FindField("Style:")) {
        const int s = std::strcmp(style, "***") == 0 ? bsTransparent : FindName(8, style, 0);
        const char* repeat = FindField("Repeat:");
        bar->SetStyleAndRepeat(s, repeat != nullptr ? ParseIntLimited(repeat, 2, 250) : 1);
    }
    if (const char* v = FindField("XBarCnt:")) bar->SetXBarCnt(IsFirstLetterYes(v));
    if (const char* v = FindField("SysBreak:")) bar->SetSysBreak(IsFirstLetterYes(v));
    return bar;
}

TNotatedItem* TQSMFileTextImporter::ParseEnding() {
    // The mask holds just the endings the line names.
    auto* ending = new TSpecialEnding(0);
    const int n = SplitValueList(FindField("Endings:"));
    uint32_t mask = 0;
    for (int i = 0; i < n; ++i) {
        const char* part = GetPart(i);
        const int value = SameWord(part, "D") ? 8 : ParseInt(part);
        if (value >= 1 && value <= 8) mask |= 1u << (value - 1);
    }
    ending->SetEndings(mask);
    if (const char* v = FindField("ClosedBracket:")) ending->SetClosedBracket(IsFirstLetterYes(v));
    if (const char* v = FindField("HideText:")) ending->SetHideText(IsFirstLetterYes(v));
    if (const char* v = FindField("BracketHeight:")) ending->SetBracketHeight(ParseIntLimited(v, 0, 100));
    if (const char* v = FindField("BracketOffsetNP:"))
        ending->SetBracketOffsetNP(ParseIntLimited(v, -100, 100));
    if (const char* v = FindField("VertOffset:")) ending->SetVertOffset(ParseIntLimited(v, -100, 100));
    return ending;
}

TNotatedItem* TQSMFileTextImporter::ParseTimeSignature() {
    const char* signature = FindField("Signature:");
    if (signature == nullptr) return nullptr;
    const int kind = FindName(25, signature, -1);
    if (kind == tsCommon || kind == tsAllaBreve) {
        // The item's own rule gives AllaBreve its 2/2.
        auto* time = new TTimeSignatureData(4, 2, tsStandard);
        time->SetStyle(kind);
        return time;
    }
    int32_t beats = 0, value = 0;
    const char* end = nullptr;
    beats = ParseInt(signature, &end);
    if (end == signature || *end != '/') return nullptr;
    const char* second = end + 1;
    value = ParseInt(second, &end);
    if (end == second) return nullptr;
    return new TTimeSignatureData(beats, ExponentOfBeatValue(value), tsStandard);
}

TNotatedItem* TQSMFileTextImporter::ParseSpacer() {
    const char* v = FindField("Width:");
    return new TStaffSpacer(v != nullptr ? ParseIntLimited(v, 0, 9999) : 50);
}

TNotatedItem* TQSMFileTextImporter::ParseMultiMeasureRest() {
    const char* bars = FindField("NumBars:");
    auto* rest = new TMultiMeasureRest(bars != nullptr ? ParseIntLimited(bars, 1, 255) : 1);
    if (const char* v = FindField("PrintOnce:")) rest->SetPrintOnce(IsWholeValueYes(v));
    bool showBars = false, showRests = false;
    const int n = SplitValueList(FindField("WhenHidden:"));
    for (int i = 0; i < n; ++i) {
        if (SameWord(GetPart(i), "ShowBars")) showBars = true;
        if (SameWord(GetPart(i), "ShowRests")) showRests = true;
    }
    rest->SetShowBars(showBars);
    rest->SetShowRests(showRests);
    return rest;
}

TNotatedItem* TQSMFileTextImporter::ParseBoundary() {
    auto* sizer = new TStaffSizer();
    switch (FindName(45, FindField("Style:"), -1)) {
        case ssNewSize: {
            const char* upper = FindField("Upper:");
            const char* lower = FindField("Lower:");
            sizer->SetNewSize(upper != nullptr ? ParseIntLimited(upper, 1, 100) : 0,
                              lower != nullptr ? ParseIntLimited(lower, 1, 100) : 0);
            break;
        }
        case ssGap: {
            const char* width = FindField("Width:");
            sizer->SetGap(width != nullptr ? ParseIntLimited(width, 1, 9999) : 200);
            if (const char* v = FindField("SystemConnections:"))
                sizer->SetGapSystemConnections(IsWholeValueYes(v));
            break;
        }
        case ssNewSystem:
            sizer->SetNewSystem(IsWholeValueYes(FindField("NewPage:")));
            break;
        case ssReset:
        case ssCollapse:
        case ssEndCollapse:
            sizer->SetStyle(FindName(45, FindField("Style:"), 0));
            break;
        default:  // absent or unknown: the item's default setting
            break;
    }
    return sizer;
}

// ---- Expression items

void TQSMFileTextImporter::ParseInstrument(TStaffInstrument& instrument) {
    instrument.Reset();
    if (const char* v = FindField("Name:")) instrument.SetName(UnescapeText(v).c_str());
    bool patch = false;
    if (const char* v = FindField("Patch:")) {
        if (v[0] != 'N') {
            instrument.SetPatch(ParseIntLimited(v, 0, 127));
            patch = true;
        }
    }
    const char* bank = FindField("Bank:");
    int32_t msb = 0, lsb = 0;
    // Bank select bytes are 7-bit MIDI data: larger values are held at 127.
    if (patch && bank != nullptr && bank[0] != 'N' && ReadIntPair(bank, msb, lsb)) {
        instrument.SetBank(Clamp(msb, 0, 127), Clamp(lsb, 0, 127));
    }
    if (const char* v = FindField("Trans:")) instrument.SetTranspose(ParseInt(v));
    if (const char* v = FindField("DynVel:")) {
        const int n = SplitValueList(v);
        if (n <= 8) {
            for (int i = 0; i < n; ++i)
                instrument.SetDynamicVelocity(i, ParseInt(GetPart(i)));
        }
    }
}

TNotatedItem* TQSMFileTextImporter::ParseInstrumentItem() {
    TStaffInstrument instrument;
    ParseInstrument(instrument);
    return new TPatchData(&instrument);
}

TNotatedItem* TQSMFileTextImporter::ParseTempo() {
    const char* tempo = FindField("Tempo:");
    if (tempo == nullptr) return nullptr;
    auto* item = new TTempoData(ParseInt(tempo), FindName(26, FindField("Base:"), tbQuarter));
    if (const char* v = FindField("Text:")) item->SetText(UnescapeText(v).c_str());
    return item;
}

TNotatedItem* TQSMFileTextImporter::ParseDynamic() {
    const int style = FindName(18, FindField("Style:"), -1);
    if (style < 0) return nullptr;
    auto* item = new TDynamicLevelData(style);
    const int n = SplitValueList(FindField("Opts:"));
    for (int i = 0; i < n; ++i) {
        char* key = GetPart(i);
        const char* value = SplitKeyValue(key);
        if (value == nullptr) continue;
        if (SameWord(key, "Velocity")) {
            item->SetVelocity(ParseIntLimited(value, 0, 127));
            item->SetVelocityGiven(true);
        } else if (SameWord(key, "Volume")) {
            item->SetVolume(ParseIntLimited(value, 0, 127));
            item->SetVolumeGiven(true);
        }
    }
    return item;
}

TNotatedItem* TQSMFileTextImporter::ParseSustainPedal() {
    // Only Released lifts the pedal.
    return new TSustainPedal(FindName(41, FindField("Status:"), 0) == 1 ? 0 : 1);
}

TNotatedItem* TQSMFileTextImporter::ParseFlow() {
    const int style = FindName(11, FindField("Style:"), -1);
    return style < 0 ? nullptr : new TFlowDirection(style);
}

TNotatedItem* TQSMFileTextImporter::ParseGenericControl() {
    const int controller = FindName(22, FindField("Controller:"), -1);
    if (controller < 0) return nullptr;
    auto item = std::make_unique<TGenericControl>();
    item->SetController(controller);
    item->SetStyle(FindName(23, FindField("Style:"), gcAbsolute));
    item->SetTimeRes(FindName(13, FindField("TimeRes:"), dcQuarter));
    if (const char* v = FindField("SweepRes:")) item->SetSweepRes(ParseInt(v));
    int points = 0;
    for (int i = 0; i < TGenericControl::kPoints; ++i) {
        char name[] = "Pt0:";
        name[2] = static_cast<char>('1' + i);
        const char* v = FindField(name);
        if (v == nullptr) break;
        int32_t time = 0, value = 0;
        if (!ReadIntPair(v, time, value)) return nullptr;
        item->SetPoint(i, time, value);
        ++points;
    }
    return points > 0 ? item.release() : nullptr;
}

TNotatedItem* TQSMFileTextImporter::ParseTempoVariance() {
    const int style = FindName(27, FindField("Style:"), -1);
    if (style < 0) return nullptr;
    const char* pause = FindField("Pause:");
    return new TTempoVariance(style, pause != nullptr ? ParseInt(pause) : 0);
}

TNotatedItem* TQSMFileTextImporter::ParseDynamicVariance() {
    const int style = FindName(19, FindField("Style:"), -1);
    return style < 0 ? nullptr : new TDynamicVariance(style);
}

TNotatedItem* TQSMFileTextImporter::ParsePerformanceStyle() {
    const int style = FindName(29, FindField("Style:"), -1);
    return style < 0 ? nullptr : new TPerformanceStyle(style);
}

TNotatedItem* TQSMFileTextImporter::ParseText() {
    const char* value = FindField("Text:");
    if (value == nullptr) return nullptr;
    const std::string text = UnescapeText(value);
    if (text.empty()) return nullptr;
    auto* item = new TTextExpression(text.c_str());
    if (const char* v = FindField("Font:")) item->SetFont(FindName(37, v, 0));
    return item;
}

// ---- Notes, rests and chords

void TQSMFileTextImporter::ParseDuration(TSongNote& note, const char* field) {
    static const struct {
        const char* word;
        int attribute;
    } kAttributes[] = {{"DblDotted", naDblDotted}, {"Dotted", naDotted},
                       {"Grace", naGrace},         {"Staccatissimo", naStaccatissimo},
                       {"Staccato", naStaccato},   {"Tenuto", naTenuto},
                       {"Slur", naSlur},           {"Accent", naAccent},
                       {"Marcato", naMarcato}};
    const int n = CutFieldList(field);
    for (int i = 0; i < n; ++i) {
        char* key = GetPart(i);
        const char* value = SplitKeyValue(key);
        const int duration = FindName(14, key, -1);
        if (duration >= 0) {
            note.SetDuration(duration);
            continue;
        }
        if (SameWord(key, "Triplet")) {
            note.SetTripletState(value != nullptr ? FindName(16, value, gsMiddle) : gsMiddle);
            continue;
        }
        for (const auto& a : kAttributes) {
            if (SameWord(key, a.word)) {
                note.SetAttribute(a.attribute);
                break;
            }
        }
    }
}

void TQSMFileTextImporter::ParseOptions(TSongNote& note, const char* field) {
    const int type = note.GetType();
    TRestNote* rest = type == ntRest || type == ntRestChord ? note.GetRestNote() : nullptr;
    TRestChord* restChord = type == ntRestChord ? static_cast<TRestChord*>(&note) : nullptr;
    // The note-only options go to the note or chord itself, or to a rest chord's chord part.
    TMusicNote* target = nullptr;
    if (type == ntNote || type == ntChord) target = static_cast<TMusicNote*>(&note);
    if (restChord != nullptr) target = restChord->GetPart();

    const int n = CutFieldList(field);
    for (int i = 0; i < n; ++i) {
        char* key = GetPart(i);
        const char* value = SplitKeyValue(key);
        if (SameWord(key, "Crescendo")) {
            note.SetAttribute(naCrescendo);
        } else if (SameWord(key, "Diminuendo")) {
            note.SetAttribute(naDiminuendo);
        } else if (SameWord(key, "Slur")) {
            if (value != nullptr) note.SetSlurDirection(FindName(39, value, 0));
        } else if (SameWord(key, "Lyric")) {
            if (value != nullptr) note.SetLyricMode(FindName(15, value, 0));
        } else if (SameWord(key, "Stem")) {
            if (value != nullptr) note.SetStemDirection(SameWord(value, "Up") ? 1 : -1);
        } else if (SameWord(key, "HideRest")) {
            if (restChord != nullptr) restChord->SetHideRest(true);
        } else if (SameWord(key, "VertOffset")) {
            if (value != nullptr && rest != nullptr && !rest->IsHideRest()) {
                const int64_t offset = -static_cast<int64_t>(ParseInt(value));
                if (restChord != nullptr && (offset > 2000 || offset < -2000)) {
                    restChord->SetHideRest(true);
                } else {
                    rest->SetVertOffset(static_cast<int>(std::clamp<int64_t>(offset, -2001, 2001)));
                }
            }
        } else if (target == nullptr) {
            continue;
        } else if (SameWord(key, "StemLength")) {
            if (value != nullptr) target->SetStemLength(ParseInt(value));
        } else if (SameWord(key, "Beam")) {
            target->SetBeamState(value != nullptr ? FindName(16, value, gsMiddle) : gsMiddle);
        } else if (SameWord(key, "XAccSpace")) {
            if (value != nullptr) target->SetXAccSpace(ParseInt(value));
        } else if (SameWord(key, "XNoteSpace")) {
            if (value != nullptr) target->SetXNoteSpace(ParseInt(value));
        } else if (SameWord(key, "NoLegerLines")) {
            target->SetNoLegerLines(true);
        } else if (SameWord(key, "ArticulationsOnStem")) {
            target->SetArticulationsOnStem(true);
        } else if (SameWord(key, "Tie")) {
            if (value != nullptr) target->SetTieDirection(FindName(39, value, 0));
        } else if (SameWord(key, "Muted")) {
            target->SetMuted(true);
        }
    }
}

void TQSMFileTextImporter::ParsePosition(TMusicNote& note, const char* text) {
    static const TCharPlaces kAccidentals(43);
    static const TCharPlaces kHeads(44);
    const char* p = text;
    int accidental = acNone;
    if (*p != 0) {
        if (const int a = kAccidentals.Find(*p); a >= 0) {
            accidental = a;
            ++p;
        }
    }
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    int64_t number = 0;
    for (int digits = 0; digits < 31 && IsDigit(*p); ++digits, ++p) {
        number = std::min<int64_t>(number * 10 + (*p - '0'), 1000);
    }
    note.SetAccidental(accidental);
    note.SetStaffPos(ClampStaffPos(negative ? number : -number));
    if (*p != 0) {
        if (const int h = kHeads.Find(*p); h >= 0) {
            note.SetNotehead(std::min(h, 13));
            ++p;
        } else {
            note.SetNotehead(0);
        }
    }
    if (*p == '^') {
        note.SetAttribute(naTie);
        ++p;
    }
    if (*p == '!') note.SetMarkNumber(TQSMTextImportTokenizer::ParseIntLimited(p + 1, 0, 15));
}

TNotatedItem* TQSMFileTextImporter::ParseNote() {
    auto* note = new TMusicNote();
    ParseDuration(*note, FindField("Dur:"));
    if (const char* v = FindField("Pos:")) ParsePosition(*note, v);
    ParseOptions(*note, FindField("Opts:"));
    return note;
}

TNotatedItem* TQSMFileTextImporter::ParseRest() {
    auto* rest = new TRestNote();
    ParseDuration(*rest, FindField("Dur:"));
    ParseOptions(*rest, FindField("Opts:"));
    return rest;
}

TNotatedItem* TQSMFileTextImporter::ParseChord() {
    TMusicNote first;
    ParseDuration(first, FindField("Dur:"));
    ParseOptions(first, FindField("Opts:"));
    auto chord = std::make_unique<TChordData>();
    chord->CopyFrom(first);

    // Both lists go to the chord at once: a refused note drops the whole chord either way.
    TPendingNotes notes(ChordNotes);
    int n = CutFieldList(FindField("Pos:"));
    for (int i = 0; i < n; ++i)
        notes.Add(CopyNoteAt(first, GetPart(i)));

    TMusicNote second;
    ParseDuration(second, FindField("Dur2:"));
    second.SetStemDirection(-first.GetStemDirSign());
    if (second.GetNominalTicks() >= first.GetNominalTicks()) {
        n = CutFieldList(FindField("Pos2:"));
        for (int i = 0; i < n; ++i)
            notes.Add(CopyNoteAt(second, GetPart(i)));
    }
    if (!notes.AddTo(*chord, false)) return nullptr;

    chord->CopyFrom(first);
    chord->SyncNotes();
    if (chord->GetNoteCount() == 0) return nullptr;
    if (chord->GetNoteCount() == 1) {
        TMusicNote* only = chord->GetNote(0);
        if (!chord->RemoveNote(only)) return nullptr;
        return only;
    }
    return chord.release();
}

TNotatedItem* TQSMFileTextImporter::ParseRestChord() {
    auto restChord = std::make_unique<TRestChord>();
    ParseDuration(*restChord, FindField("Dur:"));
    TMusicNote note;
    ParseDuration(note, FindField("Dur2:"));

    auto chord = std::make_unique<TChordData>();
    if (note.GetNominalTicks() >= restChord->GetNominalTicks()) {
        TPendingNotes notes(ChordNotes);
        const int n = SplitValueList(FindField("Pos2:"));
        for (int i = 0; i < n; ++i)
            notes.Add(CopyNoteAt(note, GetPart(i)));
        if (!notes.AddTo(*chord)) return nullptr;
    }
    TMusicNote* part = nullptr;
    if (chord->GetNoteCount() == 1) {
        part = chord->GetNote(0);
        chord->RemoveNote(part);
    } else if (chord->GetNoteCount() > 1) {
        part = chord.release();
    }
    if (part != nullptr) {
        part->SetRestChordPart(true);
        restChord->SetPartRaw(part);
        part->SetArticulationsOnStem(false);
    }

    ParseOptions(*restChord, FindField("Opts:"));
    if (part == nullptr) {
        auto* rest = new TRestNote();
        rest->CopyFrom(*restChord);
        return rest;
    }
    restChord->SyncNotes();
    return restChord.release();
}
