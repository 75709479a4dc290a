// Notes, rests, chords and rest chords: attributes, durations, positions, chord membership and head layout,
// pitch, transposition and respelling.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

namespace {

constexpr uint16_t kArticulationBits = AttributeBit(naAccent) | AttributeBit(naStaccato) |
                                       AttributeBit(naTenuto) | AttributeBit(naMarcato) |
                                       AttributeBit(naStaccatissimo);

int PartnerAttribute(int bit) {
    switch (bit) {
        case naAccent:
            return naMarcato;
        case naMarcato:
            return naAccent;
        case naDotted:
            return naDblDotted;
        case naDblDotted:
            return naDotted;
        case naStaccato:
            return naStaccatissimo;
        case naStaccatissimo:
            return naStaccato;
        case naAttribute6:
            return naAttribute7;
        case naAttribute7:
            return naAttribute6;
        case naCrescendo:
            return naDiminuendo;
        case naDiminuendo:
            return naCrescendo;
        default:
            return -1;
    }
}

int Mod7(int v) {
    return ((v % 7) + 7) % 7;
}

int FloorDiv(int a, int b) {
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// Semitone offsets of the letters A..G from A, and of the accidental codes.
constexpr int kLetterSemitones[7] = {0, 2, 3, 5, 7, 8, 10};
constexpr int kAccidentalOffset[6] = {1, -1, 0, 2, -2, 0};

// Rank of an accidental in the order double flat, flat, natural, sharp, double sharp, and back.
constexpr int kAccidentalRank[6] = {3, 1, 2, 4, 0, -1};
constexpr int kRankAccidental[5] = {acDoubleFlat, acFlat, acNatural, acSharp, acDoubleSharp};

int PitchOf(int clef, int octaveShift, int pos, int accidental, int transpose) {
    const int r = ClefReferenceStep(clef);
    int b = r + 56;
    if (octaveShift == osOctaveUp) b = r + 63;
    if (octaveShift == osOctaveDown) b = r + 49;
    const int octave = FloorDiv(b - pos, 7) - 8;
    const int letter = Mod7(r - pos);
    const int a = (accidental >= 0 && accidental <= 5) ? accidental : acNatural;
    return FoldMidiPitch(21 + 12 * octave + kLetterSemitones[letter] + kAccidentalOffset[a] + transpose);
}

// Converts a pitch into a staff position and accidental under the walk state's clef and key.
void SpellPitch(const TStaffPlayState& state, int pitch, int& pos, int& accidental) {
    MidiNoteToStaffPos(state.GetClef(), state.GetKeyIndex(), pitch, pos, accidental);
    if (state.GetOctaveShift() == osOctaveUp) pos += 7;
    if (state.GetOctaveShift() == osOctaveDown) pos -= 7;
}

bool IsDownStem(const TMusicNote* n) {
    return !n->IsStemUp();
}

}  // namespace

int NominalTicks(int durationCode, bool dotted, bool dblDotted, bool triplet) {
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

// ---------------------------------------------------------------------------------------------------------
// TSongNote

TSongNote::TSongNote(int duration, uint16_t attributes)
    : Attributes(attributes), Dur(static_cast<uint8_t>(duration & 0x0F)) {}

void TSongNote::AssignSongNoteFields(const TSongNote& o) {
    SetFlagsByte(o.GetFlagsByte());
    Attributes = o.Attributes;
    MarkNumber = o.MarkNumber;
    XAccSpace = o.XAccSpace;
    XNoteSpace = o.XNoteSpace;
    Dur = o.Dur;
    Notehead = o.Notehead;
    StemSetting = o.StemSetting;
    BeamState = o.BeamState;
    TripletState = o.TripletState;
    LyricMode = o.LyricMode;
    SlurDown = o.SlurDown;
    RestChordPart = o.RestChordPart;
    ChordMember = o.ChordMember;
    SlurContinued = o.SlurContinued;
    TieContinued = o.TieContinued;
    UnderOpenChord = o.UnderOpenChord;
}

void TSongNote::CopyFrom(const TNotatedItem& other) {
    TNotatedItem::CopyFrom(other);
    if (!other.IsSongNote()) return;
    const auto& o = static_cast<const TSongNote&>(other);
    Dur = o.Dur;
    MarkNumber = o.MarkNumber;
    Attributes = o.Attributes;
    BeamState = o.BeamState;
    TripletState = o.TripletState;
    LyricMode = o.LyricMode;
    StemSetting = o.StemSetting;
    SlurDown = o.SlurDown;
    XAccSpace = o.XAccSpace;
    XNoteSpace = o.XNoteSpace;
}

void TSongNote::SetAttribute(int bit) {
    bit &= 15;
    Attributes |= AttributeBit(bit);
    const int partner = PartnerAttribute(bit);
    if (partner >= 0) ClearAttribute(partner);
    const bool accent = HasAttribute(naAccent) || HasAttribute(naMarcato);
    const bool staccato = HasAttribute(naStaccato) || HasAttribute(naStaccatissimo);
    if ((bit == naAccent || bit == naMarcato) && staccato) ClearAttribute(naTenuto);
    if ((bit == naStaccato || bit == naStaccatissimo) && accent) ClearAttribute(naTenuto);
    if (bit == naTenuto && accent) {
        ClearAttribute(naStaccato);
        ClearAttribute(naStaccatissimo);
    }
}

void TSongNote::SetGroupState(int kind, int value) {
    if (kind == 0)
        SetBeamState(value);
    else if (kind == 1)
        SetTripletState(value);
}

bool TSongNote::HasArticulation() const {
    return (Attributes & kArticulationBits) != 0;
}

int TSongNote::CountArticulations() const {
    int n = 0;
    for (int bit : {naAccent, naStaccato, naTenuto, naMarcato, naStaccatissimo})
        n += HasAttribute(bit) ? 1 : 0;
    return n;
}

int TSongNote::GetHairpin() const {
    if (HasAttribute(naCrescendo)) return 1;
    if (HasAttribute(naDiminuendo)) return 2;
    return 0;
}

int TSongNote::GetSlurDirection() const {
    if (!HasAttribute(naSlurDirection)) return 0;
    return SlurDown ? 2 : 1;
}

void TSongNote::SetSlurDirection(int dir) {
    if (dir == 0) {
        ClearAttribute(naSlurDirection);
        return;
    }
    Attributes |= AttributeBit(naSlurDirection);
    SlurDown = dir != 1 ? 1 : 0;
}

int TSongNote::GetTieDirection() const {
    if (!HasAttribute(naTieDirection)) return 0;
    return IsTieDownward() ? 2 : 1;
}

void TSongNote::SetTieDirection(int dir) {
    if (dir == 0) {
        ClearAttribute(naTieDirection);
        return;
    }
    Attributes |= AttributeBit(naTieDirection);
    SetTieDownward(dir != 1);
}

int TSongNote::GetNominalTicks() const {
    return NominalTicks(Dur, HasAttribute(naDotted), HasAttribute(naDblDotted), TripletState != gsNone);
}

int TSongNote::GetStemDirSign() const {
    if (StemSetting == 1) return 1;
    if (StemSetting == 2) return -1;
    if (!IsGrace() && GetStaffPos() <= 0) return -1;
    return 1;
}

bool TSongNote::HasLinkedStem() const {
    return ChordMember || HasSplitStems() || BeamState != gsNone || RestChordPart || HasSplitDurations();
}

bool TSongNote::TakesLyric() const {
    switch (LyricMode) {
        case lmDefault:
            return TakesLyricByDefault();
        case lmAlways:
            return true;
        default:
            return false;
    }
}

bool TSongNote::StartsSlurOrTie() const {
    const bool mode = LyricMode != lmAlways || IsGrace();
    const bool slur = HasAttribute(naSlur) && !SlurContinued;
    const bool tie = HasAttribute(naTie) && !TieContinued;
    return mode && (slur || tie);
}

int TSongNote::GetGroupState(int kind) const {
    if (kind == 0) return BeamState;
    if (kind == 1) return TripletState;
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// TMusicNote

TMusicNote::TMusicNote(int pos, int duration, uint16_t attributes, int accidental)
    : TSongNote(duration, attributes),
      Pos(static_cast<int8_t>(pos)),
      Accidental(static_cast<uint8_t>(accidental & 7)) {}

void TMusicNote::AssignNote(const TMusicNote& o) {
    AssignSongNoteFields(o);
    Pos = o.Pos;
    Accidental = o.Accidental;
    AutoAccidental = o.AutoAccidental;
    TieDown = o.TieDown;
    Muted = o.Muted;
    NoLegerLines = o.NoLegerLines;
    ArticulationsOnStem = o.ArticulationsOnStem;
    StemLength = o.StemLength;
    HeadColumn = o.HeadColumn;
}

void TMusicNote::CopyFrom(const TNotatedItem& other) {
    TSongNote::CopyFrom(other);
    if (!other.IsSongNote() || !other.IsNote()) return;
    const auto& o = static_cast<const TMusicNote&>(other);
    TieDown = o.TieDown;
    Muted = o.Muted;
    NoLegerLines = o.NoLegerLines;
    ArticulationsOnStem = o.ArticulationsOnStem;
    SetNotehead(o.GetNotehead());
    StemLength = o.StemLength;
}

TMusicNote* TMusicNote::GetNote(int /*index*/) const {
    return const_cast<TMusicNote*>(this);
}

bool TMusicNote::HasSplitDurations() const {
    auto* self = const_cast<TMusicNote*>(this);
    TMusicNote* first = self->GetFirstNote();
    TMusicNote* last = self->GetLastNote();
    if (!first || !last) return false;
    return first->GetNominalTicks() != last->GetNominalTicks();
}

int TMusicNote::GetAccidentalSpace(TStaffDrawInfo& /*info*/) {
    const bool shows = Accidental != acNone && !IsAccidentalAutomatic();
    return GetXAccSpace() + (shows ? 1 : 0);
}

bool TMusicNote::TakesLyricByDefault() const {
    return !IsGrace() && !IsSlurContinued() && !IsTieContinued();
}

int TMusicNote::GetFlagCount() const {
    const int d = GetDur();
    return (d >= 3 && d <= 6) ? d - 2 : 0;
}

bool TMusicNote::HasFreeStem() const {
    return GetDur() != 0 && !IsChordMember() && GetBeamState() == gsNone;
}

bool TMusicNote::IsAccidentalAutomatic() const {
    return AutoAccidental != 0 || (GetShownAccidental() == acNone && IsTieContinued());
}

void TMusicNote::SetAutomaticAccidental(int a) {
    if (!IsAccidentalAutomatic()) return;
    Accidental = static_cast<uint8_t>(a & 7);
    AutoAccidental = 1;
}

void TMusicNote::ResetAutomaticAccidental() {
    if (AutoAccidental) SetAccidental(acNone);
}

int TMusicNote::GetLetter(int clef) const {
    return Mod7(ClefReferenceStep(clef) - Pos);
}

int TMusicNote::GetPlayedAccidental(const TStaffPlayState& state) const {
    if (Accidental != acNone) return Accidental;
    return state.GetAccidental(GetLetter(state.GetClef()));
}

int TMusicNote::GetMidiPitch(const TStaffPlayState& state) const {
    return PitchOf(state.GetClef(), state.GetOctaveShift(), Pos, GetPlayedAccidental(state),
                   state.GetTranspose());
}

bool TMusicNote::Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) {
    const int target = FoldMidiPitch(GetMidiPitch(state) + semitones);
    const int oldPos = Pos;
    const uint8_t oldAcc = Accidental;
    const uint8_t oldAuto = AutoAccidental;
    SetStaffPos(Pos + steps);
    bool matched = false;
    for (int a = acSharp; a <= acDoubleFlat && !matched; ++a) {
        SetAccidental(a);
        matched = GetMidiPitch(state) == target;
    }
    if (keep) {
        SetStaffPos(oldPos);
        Accidental = oldAcc;
        AutoAccidental = oldAuto;
        return matched;
    }
    if (!matched) {
        // The spelling works on the written pitch: the walk's transposition is taken off first.
        int pos = 0;
        int acc = acNatural;
        SpellPitch(state, FoldMidiPitch(target - state.GetTranspose()), pos, acc);
        SetAccidental(acc);
        SetStaffPos(pos);
    }
    return matched;
}

void TMusicNote::RespellFromPitch(TStaffPlayState& state) {
    const int p = FoldMidiPitch(GetMidiPitch(state) - state.GetTranspose());
    int pos = 0;
    int acc = acNatural;
    SpellPitch(state, p, pos, acc);
    SetAccidental(acc);
    SetStaffPos(pos);
}

int TMusicNote::GetAccidentalSymbolCode() const {
    static constexpr int kCodes[6] = {9, 8, 10, 42, 43, 82};
    const int a = GetShownAccidental();
    return (a >= 0 && a <= 5) ? kCodes[a] : 82;
}

int TMusicNote::GetNoteheadSymbolCode() const {
    const int style = GetNotehead();
    const bool longNote = GetDur() <= dcHalf;
    switch (style) {
        case 0:
            return GetDur() == dcWhole ? 5 : (GetDur() == dcHalf ? 6 : 7);
        case 1:
            return 54;
        case 2:
            return 55;
        case 3:
            return 1;
        case 4:
            return longNote ? 55 : 54;
        case 5:
            return longNote ? 55 : 56;
        default:
            break;
    }
    if (style <= 13) {
        const int first = 57 + 2 * (style - 6);
        return longNote ? first : first + 1;
    }
    return 7;
}

TMusicNote* TMusicNote::GetStemEndNote(int direction) {
    const int dir = direction != 0 ? direction : GetStemDirSign();
    return dir > 0 ? GetLastNote() : GetFirstNote();
}

int TMusicNote::CountNotesInRange(int a, int b, int direction) const {
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    int n = 0;
    for (int i = 0; i < GetNoteCount(); ++i) {
        const TMusicNote* note = GetNote(i);
        if (!note) continue;
        const int p = note->GetStaffPos();
        if (p < lo || p > hi) continue;
        if (direction != 0 && note->GetStemDirSign() != direction) continue;
        ++n;
    }
    return n;
}

bool EnharmonicShift(TMusicNote& note, int clef, int direction) {
    const int shown = note.GetShownAccidental();
    if (shown < 0 || shown >= acNone) return false;
    const int rank = kAccidentalRank[shown];
    const int letter = note.GetLetter(clef);
    int next = rank;
    if (direction > 0) {
        next -= (letter == 1 || letter == 4) ? 1 : 2;  // B or E
    } else {
        next += (letter == 2 || letter == 5) ? 1 : 2;  // C or F
    }
    if (next < 0 || next > 4) return false;
    note.SetAccidental(kRankAccidental[next]);
    note.SetStaffPos(note.GetStaffPos() - (direction > 0 ? 1 : -1));
    return true;
}

bool EnharmonicShift(TMusicNote& note, const TStaffPlayState& state, int direction) {
    return EnharmonicShift(note, state.GetClef(), direction);
}

// ---------------------------------------------------------------------------------------------------------
// TChordData

TChordData::TChordData(TMusicNote* first, TMusicNote* second) : TMusicNote(0, dcQuarter, 0, acNone) {
    Members.reserve(4);
    TMusicNote* notes[2] = {first, second};
    AddNotes(notes, 2);
}

TChordData::~TChordData() {
    for (auto it = Members.rbegin(); it != Members.rend(); ++it)
        delete *it;
}

std::vector<TMusicNote*> TChordData::DetachAllNotes() {
    std::vector<TMusicNote*> out;
    out.swap(Members);
    return out;
}

TMusicNote* TChordData::GetNote(int index) const {
    if (index < 0 || index >= static_cast<int>(Members.size())) return nullptr;
    return Members[static_cast<size_t>(index)];
}

int TChordData::GetMinStaffPos() const {
    return Members.empty() ? 0 : Members.back()->GetMinStaffPos();
}

int TChordData::GetMaxStaffPos() const {
    return Members.empty() ? 0 : Members.front()->GetMaxStaffPos();
}

int TChordData::GetStaffPos() const {
    const int mx = GetMaxStaffPos();
    const int mn = GetMinStaffPos();
    int p = mx - (mx - mn) / 2;
    if (std::abs(mx) < std::abs(mn)) --p;
    return p;
}

void TChordData::SetBeamState(int v) {
    TSongNote::SetBeamState(v);
    SyncNotes();
}

void TChordData::SetTripletState(int v) {
    TSongNote::SetTripletState(v);
    SyncNotes();
}

bool TChordData::HasSplitStems() const {
    if (Members.size() < 2) return false;
    return Members.front()->GetStemSetting() != Members.back()->GetStemSetting();
}

bool TChordData::HasWideLayout(int stemDir) const {
    if (!HasSplitStems()) return GetChordLayoutSize() > 1;
    const int side = stemDir != 0 ? stemDir : GetStemDirSign();
    return side > 0 ? (WideFlags & 1) != 0 : (WideFlags & 2) != 0;
}

namespace {
bool ComesBefore(const TMusicNote* a, const TMusicNote* b) {
    if (a->GetStaffPos() != b->GetStaffPos()) return a->GetStaffPos() > b->GetStaffPos();
    return IsDownStem(a) && !IsDownStem(b);
}
}  // namespace

void TChordData::InsertOrdered(TMusicNote* note) {
    auto it = Members.begin();
    for (; it != Members.end(); ++it) {
        TMusicNote* m = *it;
        if (m->GetStaffPos() < note->GetStaffPos()) break;
        if (m->GetStaffPos() == note->GetStaffPos() && !IsDownStem(m) && IsDownStem(note)) break;
    }
    Members.insert(it, note);
}

void TChordData::SortNotes() {
    std::stable_sort(Members.begin(), Members.end(), ComesBefore);
}

int TChordData::FindStemSplitIndex(int direction) const {
    const int count = static_cast<int>(Members.size());
    if (!HasSplitStems()) return direction < 1 ? count - 1 : 0;
    int k = 1;
    while (k < count - 1 && Members[static_cast<size_t>(k)]->GetStemSetting() == 2)
        ++k;
    return direction < 1 ? k - 1 : k;
}

bool TChordData::IsUnisonPair() const {
    if (!HasSplitStems() || Members.size() != 2) return false;
    const TMusicNote* a = Members[0];
    const TMusicNote* b = Members[1];
    if (a->GetStaffPos() != b->GetStaffPos() || a->GetDur() == dcWhole) return false;
    if (HasSplitDurations() && !(a->GetNominalTicks() < 384 && b->GetNominalTicks() < 384)) return false;
    return !IsGrace();
}

bool TChordData::AddNote(TMusicNote* note) {
    bool synced = false;
    const bool added = AddMember(note, false, synced);
    if (synced) LayoutHeads();
    return added;
}

int TChordData::AddNotes(TMusicNote** notes, int count, bool finish) {
    if (AddNotesOfOneLength(notes, count, finish)) return count;
    int added = 0;
    bool synced = false;
    for (int i = 0; i < count; ++i) {
        // After a sync with nothing changed since, the chord is in sync with its members.
        if (!notes[i] || !AddMember(notes[i], synced, synced)) continue;
        notes[i] = nullptr;
        ++added;
    }
    // The head layout reads what the syncs leave and writes only the head columns and wide flags, which
    // nothing on the way reads: laying out once after the last sync gives the same columns.
    if (synced && finish) LayoutHeads();
    return added;
}

bool TChordData::AddNotesOfOneLength(TMusicNote** notes, int count, bool finish) {
    if (!Members.empty() || count < 2 || count > 64) return false;
    const TMusicNote* first = notes[0];
    if (!first || first == this) return false;
    const int stem = first->GetStemSetting();
    const int dur = first->GetDur();
    constexpr uint16_t kLength = AttributeBit(naDotted) | AttributeBit(naDblDotted);
    const uint16_t dots = first->GetAttributes() & kLength;
    const bool triplet = first->IsTriplet();
    for (int i = 0; i < count; ++i) {
        const TMusicNote* n = notes[i];
        if (!n || n == this || n->GetStemSetting() != stem || n->GetDur() != dur ||
            (n->GetAttributes() & kLength) != dots || n->IsTriplet() != triplet) {
            return false;
        }
        const int p = n->GetStaffPos();
        for (int j = 0; j < i; ++j) {
            if (notes[j]->GetStaffPos() == p) return false;
        }
    }
    // With one length, one stem setting and no shared position, AddMember takes each note on the same path:
    // the note gets the first member's stem setting and the chord's tie bend, and the chord keeps its stem
    // setting. What a sync in between writes is the members' stem settings, which all stay equal (so no
    // add sees split stems) and the last sync sets again, and fields that each sync sets anew from the
    // chord and the members' own fields; the chord's position, length and tie marks come from the members.
    // No add reads them, so only the last sync counts; a later sync of the chord gives the same members
    // whether this one ran or not, since it sets all those fields again.
    TakeFirstMember(notes[0]);
    notes[0] = nullptr;
    for (int i = 1; i < count; ++i) {
        TMusicNote* note = notes[i];
        if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
        note->SetChordMember(true);
        note->SetStemSetting(Members.front()->GetStemSetting());
        note->SetTieDownward(IsTieDownward());
        InsertOrdered(note);
        notes[i] = nullptr;
    }
    if (finish) SyncNotes();
    return true;
}

void TChordData::TakeFirstMember(TMusicNote* note) {
    const int s = note->GetStemSetting();
    TMusicNote::CopyFrom(*note);
    note->SetChordMember(true);
    Members.push_back(note);
    TSongNote::SetBeamState(note->GetBeamState());
    TSongNote::SetTripletState(note->GetTripletState());
    TSongNote::SetDuration(note->GetDur());
    SetAttributes(note->GetAttributes());
    SetStemSetting(s);
    SetChordMember(false);
    if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
    SetSlurDirection(note->GetSlurDirection());
}

bool TChordData::AddMember(TMusicNote* note, bool inSync, bool& synced) {
    if (!note || note == this) return false;
    const int p = note->GetStaffPos();
    int s = note->GetStemSetting();
    int c = GetStemSetting();
    const bool split = HasSplitStems();
    TMusicNote* d = FindNoteAtStaffPos(p);
    const int count = static_cast<int>(Members.size());

    if (d) {
        if (split) {
            if (s == d->GetStemSetting()) return false;
            s = d->IsStemUp() ? 2 : 1;
        } else if (count > 1) {
            if (d == Members.front()) {
                if (s == 1) return false;
                s = 2;
            } else if (d == Members.back()) {
                if (s == 2) return false;
                s = 1;
            } else {
                return false;
            }
        }
    }

    if (count == 0) {
        // No member: the stem setting is the note's own.
        TakeFirstMember(note);
        SyncMembers();
        synced = true;
        return true;
    }

    TMusicNote* first = Members.front();
    TMusicNote* last = Members.back();
    int t = note->GetNominalTicks();
    const int tf = first->GetNominalTicks();
    const int tl = last->GetNominalTicks();
    if (IsTriplet() && !note->IsTriplet() && s == c && t * 2 / 3 == GetNominalTicks()) t = GetNominalTicks();
    const bool mismatch = t != tf && t != tl;
    if (mismatch && split) return false;

    if (!split) {
        if (mismatch || d) {
            if (s == 0) {
                if (p == first->GetStaffPos()) {
                    s = c == 1 ? 2 : 1;
                } else {
                    s = p > first->GetStaffPos() ? 2 : 1;
                }
            }
            if (s == c) return false;
            if (s == 1 && p > last->GetStaffPos()) return false;
            if (s == 2 && p < first->GetStaffPos()) return false;
            if (c == 0) {
                SetStemSetting(3 - s);
                SyncMembers();
                synced = true;
            }
            c = tf <= t ? 3 - s : s;
        }
        if (c == 0) {
            // A chord in sync that keeps its stem setting gets nothing new from another sync: the sync of a
            // chord whose members share one stem side repeats itself exactly.
            if (!(inSync && s == 0)) {
                SetStemSetting(s);
                SyncMembers();
                synced = true;
            }
            c = s;
        }
        if (s != c) {
            if (s == 1 && p > last->GetStaffPos()) return false;
            if (s == 2 && p < first->GetStaffPos()) return false;
        }
        if (s == 0) s = first->GetStemSetting();
        if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
        note->SetChordMember(true);
        note->SetStemSetting(s);
        note->SetTieDownward(IsTieDownward());
        if (count == 1 && t < tf) {
            TSongNote::SetBeamState(note->GetBeamState());
            TSongNote::SetTripletState(note->GetTripletState());
            TSongNote::SetDuration(note->GetDur());
            SetAttributes(note->GetAttributes());
            SetSlurDirection(note->GetSlurDirection());
        }
        InsertOrdered(note);
        SetStemSetting(c);
        SyncMembers();
        synced = true;
        return true;
    }

    // Split stems: the note joins one of the two stem sides.
    const int k = FindStemSplitIndex(1);
    const int lo = Members[static_cast<size_t>(k - 1)]->GetStaffPos();
    const int hi = Members[static_cast<size_t>(k)]->GetStaffPos();
    if (s == 0) {
        if (tf == tl) {
            s = p > lo ? 2 : 1;
        } else {
            s = t == tf ? 2 : 1;
        }
    }
    if (s == first->GetStemSetting()) {
        if (p < hi || (d && lo <= p) || t != tf) return false;
    } else {
        if (lo < p || (d && p <= hi) || t != tl) return false;
    }
    note->SetChordMember(true);
    note->SetStemSetting(s);
    InsertOrdered(note);
    if (note->HasAttribute(naSlur)) TSongNote::SetAttribute(naSlur);
    SyncMembers();
    synced = true;
    return true;
}

bool TChordData::RemoveNote(TMusicNote* note) {
    auto it = std::find(Members.begin(), Members.end(), note);
    if (it == Members.end()) return false;
    const bool wasSplit = HasSplitStems();
    Members.erase(it);
    note->SetChordMember(false);
    note->SetHeadColumn(0);
    if (GetStemSetting() == 0) note->SetStemSetting(0);
    if (!Members.empty() && wasSplit && !HasSplitStems()) {
        SetStemDirection(Members.front()->GetStemDirSign());
        SetArticulationsOnStem(false);
    }
    return true;
}

void TChordData::SyncNotes() {
    if (Members.empty()) return;
    SyncMembers();
    LayoutHeads();
}

void TChordData::SyncMembers() {
    const size_t n = Members.size();
    if (n == 0) return;
    constexpr uint16_t kKeep = AttributeBit(naDotted) | AttributeBit(naTie) | AttributeBit(naDblDotted) |
                               AttributeBit(naTieDirection) | AttributeBit(naSlurDirection) |
                               AttributeBit(naCrescendo) | AttributeBit(naDiminuendo);
    const bool grace = IsGrace();
    // The members take these from the chord, which the loop leaves as it is.
    const int visibility = GetVisibility();
    const int lyricMode = GetLyricMode();
    const int noteSpace = GetXNoteSpace();
    const int tieDirection = GetTieDirection();
    const bool tieDown = IsTieDownward();
    const int slurDirection = GetSlurDirection();
    const bool slurDown = IsSlurDownward();
    const bool muted = IsMuted();
    const bool noLegerLines = HasNoLegerLines();
    const bool articulationsOnStem = HasArticulationsOnStem();
    for (size_t i = 0; i < n; ++i) {
        TMusicNote* m = Members[i];
        m->SetVisibility(visibility);
        m->SetLyricMode(lyricMode);
        m->SetXNoteSpace(noteSpace);
        m->SetTieDirection(tieDirection);
        if (tieDirection == 0) m->SetTieDownward(tieDown);
        m->SetSlurDirection(slurDirection);
        if (slurDirection == 0) m->SetSlurDownward(slurDown);
        m->SetMuted(muted);
        m->SetNoLegerLines(noLegerLines);
        m->SetArticulationsOnStem(articulationsOnStem);
        m->SetChordMember(true);
        uint16_t word = m->GetAttributes() & kKeep;
        if (grace) word |= AttributeBit(naGrace);
        m->SetAttributes(word);
        m->SetSlurContinued(false);
        m->TSongNote::SetBeamState(gsNone);
        m->TSongNote::SetTripletState(gsNone);
        m->SetStemLengthField(0);
        if (i > 0) {
            TMusicNote* prev = Members[i - 1];
            if (prev->GetStaffPos() == m->GetStaffPos() &&
                prev->GetShownAccidental() != m->GetShownAccidental()) {
                if (m->GetShownAccidental() == acNone) {
                    m->SetAccidental(prev->GetShownAccidental());
                } else if (prev->GetShownAccidental() == acNone) {
                    prev->SetAccidental(m->GetShownAccidental());
                }
            }
        }
    }

    // Stem direction of the chord.
    const bool split = Members.front()->GetStemSetting() != Members.back()->GetStemSetting();
    // Without a stem setting the chord's own sign is not needed: the far member decides.
    const bool byFarMember = GetStemSetting() == 0 && !grace;
    int dir = byFarMember ? 0 : GetStemDirSign();
    bool pickedFirst = false;
    if (byFarMember) {
        const TMusicNote* far = Members.back();
        if (std::abs(Members.back()->GetStaffPos()) < std::abs(Members.front()->GetStaffPos())) {
            far = Members.front();
            pickedFirst = true;
        }
        dir = far->GetStaffPos() >= 0 ? 1 : -1;
        if (split) SetStemDirection(dir);
    }

    // The representative member gives the chord its position and length.
    const TMusicNote* rep = (GetStemSetting() == 2 || pickedFirst) ? Members.front() : Members.back();
    Pos = static_cast<int8_t>(rep->GetStaffPos());
    TSongNote::SetDuration(rep->GetDur());
    uint16_t own = GetAttributes();
    own = static_cast<uint16_t>(own &
                                ~(AttributeBit(naDotted) | AttributeBit(naDblDotted) | AttributeBit(naTie)));
    if (rep->HasAttribute(naDotted)) own |= AttributeBit(naDotted);
    if (rep->HasAttribute(naDblDotted)) own |= AttributeBit(naDblDotted);
    SetAttributes(own);
    SetTieContinued(false);

    // The line that separates upward from downward ties.
    int tieLine = Members.front()->GetStaffPos() + 1;
    if (!split) {
        std::vector<const TMusicNote*> tied;
        for (const TMusicNote* m : Members) {
            if (m->HasAttribute(naTie)) tied.push_back(m);
        }
        if (!tied.empty()) {
            bool found = false;
            for (size_t i = 0; i + 1 < tied.size(); ++i) {
                if (tied[i]->GetStaffPos() - tied[i + 1]->GetStaffPos() <= 1) {
                    tieLine = tied[i + 1]->GetStaffPos() + 1;
                    found = true;
                    break;
                }
            }
            if (!found) {
                for (const TMusicNote* m : tied) {
                    if (m->IsTieContinued()) {
                        tieLine = m->GetStaffPos() + (m->IsTieDownward() ? 0 : 1);
                        found = true;
                        break;
                    }
                }
            }
            if (!found && tied.size() == 1 && dir > 0) {
                tieLine = Members.back()->GetStaffPos();
                found = true;
            }
            if (!found) {
                const int low = tied.front()->GetStaffPos();
                const int high = tied.back()->GetStaffPos();
                tieLine = low - (low - high) / 2;
            }
        }
    }

    const int chordTicks = GetNominalTicks();
    for (TMusicNote* m : Members) {
        if (!split) m->SetStemDirection(dir);
        if (GetStemLengthField() != 0) m->SetStemLengthField(GetStemLengthField());
        if (m->GetStemDirSign() == dir) {
            m->TSongNote::SetBeamState(GetBeamState());
            m->TSongNote::SetTripletState(GetTripletState());
            uint16_t w = m->GetAttributes();
            if (HasAttribute(naAccent)) {
                w |= AttributeBit(naAccent);
            } else if (HasAttribute(naMarcato)) {
                w |= AttributeBit(naMarcato);
            }
            if (HasAttribute(naStaccatissimo)) {
                w |= AttributeBit(naStaccatissimo);
            } else if (HasAttribute(naStaccato)) {
                w |= AttributeBit(naStaccato);
            }
            if (HasAttribute(naTenuto)) w |= AttributeBit(naTenuto);
            if (HasAttribute(naSlur)) w |= AttributeBit(naSlur);
            m->SetAttributes(w);
            m->SetSlurContinued(IsSlurContinued());
        } else if (m->GetNominalTicks() < chordTicks) {
            m->TSongNote::SetDuration(GetDur());
            uint16_t w = m->GetAttributes() &
                         static_cast<uint16_t>(~(AttributeBit(naDotted) | AttributeBit(naDblDotted)));
            if (HasAttribute(naDblDotted)) {
                w |= AttributeBit(naDblDotted);
            } else if (HasAttribute(naDotted)) {
                w |= AttributeBit(naDotted);
            }
            m->SetAttributes(w);
        }
        if (m->HasAttribute(naTie)) {
            SetAttributes(GetAttributes() | AttributeBit(naTie));
            if (!HasAttribute(naTieDirection)) {
                m->SetTieDownward(split ? !m->IsStemUp() : m->GetStaffPos() >= tieLine);
            }
        }
        if (m->IsTieContinued()) SetTieContinued(true);
    }
}

void TChordData::LayoutHeads() {
    const int n = static_cast<int>(Members.size());
    const bool split = HasSplitStems();
    bool second = false, junction = false, dotsDiffer = false, upperDotted = false, unison = false;
    bool unisonAbove = false, unisonBelow = false, unshared = false, downSecond = false, upSecond = false;
    auto M = [&](int i) { return Members[static_cast<size_t>(i)]; };

    for (int i = 0; i + 1 < n; ++i) {
        TMusicNote* lower = M(i);
        TMusicNote* upper = M(i + 1);
        if (lower->GetStaffPos() - upper->GetStaffPos() > 1) continue;
        if (!split) {
            second = true;
            break;
        }
        if (IsDownStem(lower) && !IsDownStem(upper)) {
            junction = true;
            dotsDiffer = lower->GetDotCount() != upper->GetDotCount();
            upperDotted = upper->GetDotCount() > 0;
            if (lower->GetStaffPos() == upper->GetStaffPos()) {
                unison = true;
                if (i + 2 < n && M(i + 2)->GetStaffPos() == lower->GetStaffPos() - 1) unisonAbove = true;
                if (i - 1 >= 0 && M(i - 1)->GetStaffPos() == lower->GetStaffPos() + 1) unisonBelow = true;
                const bool shared = lower->GetNominalTicks() == upper->GetNominalTicks() &&
                                    lower->HasCustomStem() && upper->HasCustomStem() &&
                                    (!HasArticulation() || HasArticulationsOnStem() || n < 3);
                unshared = !shared;
            }
        } else if (IsDownStem(lower)) {
            downSecond = true;
        } else {
            upSecond = true;
        }
    }

    int D = 0;
    int U = 0;
    const int ds = downSecond ? 1 : 0;
    const int us = upSecond ? 1 : 0;
    const int ud = upperDotted ? 1 : 0;
    if (split) {
        if (!junction) {
            U = ds;
        } else if (!unison) {
            D = downSecond ? 0 : 1;
            if (dotsDiffer) D = us + (1 - ds) + ud;
        } else if (unshared) {
            if (unisonAbove || unisonBelow) dotsDiffer = true;
            if (!dotsDiffer) {
                D = downSecond ? 0 : 1;
            } else {
                D = us + (1 - ds) + ud + ((upperDotted && unisonBelow) ? 1 : 0);
            }
        } else {
            U = ds;
            D = 0;
        }
    }

    const int downExtra = split ? ds : (second ? 1 : 0);
    int lowestDown = -1;
    int highestDown = -1;
    for (int i = n - 1; i >= 0; --i) {
        if (!IsDownStem(M(i))) continue;
        if (highestDown < 0) highestDown = i;
        M(i)->SetHeadColumn(D + downExtra);
        lowestDown = i;
        if (i - 1 >= 0 && IsDownStem(M(i - 1)) && M(i - 1)->GetStaffPos() == M(i)->GetStaffPos() + 1) {
            M(i - 1)->SetHeadColumn(D);
            lowestDown = i - 1;
            --i;
        }
    }
    (void)lowestDown;
    for (int i = highestDown + 1; i < n; ++i) {
        M(i)->SetHeadColumn(U);
        if (i + 1 < n && !IsDownStem(M(i + 1)) && M(i + 1)->GetStaffPos() == M(i)->GetStaffPos() - 1) {
            M(i + 1)->SetHeadColumn(U + 1);
            ++i;
        }
    }

    int value = 0;
    if (split) {
        value = std::max(U + us, D + ds);
        WideFlags = static_cast<uint8_t>((downSecond ? 2 : 0) | (upSecond ? 1 : 0));
    } else {
        value = second ? 1 : 0;
        WideFlags = static_cast<uint8_t>(second ? 2 : 0);
    }
    SetHeadColumn(value);
}

bool TChordData::Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) {
    bool anyFailed = false;
    for (TMusicNote* m : Members) {
        if (!m->Transpose(state, semitones, steps, keep)) {
            if (keep) return false;
            anyFailed = true;
        }
    }
    if (keep) return true;
    if (anyFailed) RespellFromPitch(state);
    SortNotes();
    SyncNotes();
    return !anyFailed;
}

void TChordData::RespellFromPitch(TStaffPlayState& state) {
    for (TMusicNote* m : Members)
        m->RespellFromPitch(state);
    SortNotes();
    const bool equalColumns =
        Members.size() == 2 && Members[0]->GetHeadColumn() == Members[1]->GetHeadColumn();
    if (!(IsUnisonPair() && equalColumns)) {
        const int clef = state.GetClef();
        for (size_t i = 0; i < Members.size();) {
            TMusicNote* m = Members[i];
            TMusicNote* other = nullptr;
            for (TMusicNote* o : Members) {
                if (o != m && o->GetStaffPos() == m->GetStaffPos()) {
                    other = o;
                    break;
                }
            }
            if (!other || EnharmonicShift(*m, clef, 1)) {
                ++i;
                continue;
            }
            bool duplicate = m->GetShownAccidental() == other->GetShownAccidental();
            if (!duplicate) {
                if (!EnharmonicShift(*other, clef, -1)) {
                    duplicate = true;
                } else {
                    bool collides = false;
                    for (TMusicNote* o : Members) {
                        if (o != other && o->GetStaffPos() == other->GetStaffPos()) collides = true;
                    }
                    if (collides) {
                        EnharmonicShift(*other, clef, 1);
                        duplicate = true;
                    }
                }
            }
            if (!duplicate) {
                ++i;
                continue;
            }
            if (Members.size() == 2) {
                other->SetStemSetting(2);
                m->SetStemSetting(1);
                ++i;
            } else {
                Members.erase(Members.begin() + static_cast<std::ptrdiff_t>(i));
                delete m;
            }
        }
        SortNotes();
    }
    SyncNotes();
}

// ---------------------------------------------------------------------------------------------------------
// TRestNote

TRestNote::TRestNote(int duration, uint16_t attributes) : TSongNote(duration, attributes) {}

void TRestNote::CopyFrom(const TNotatedItem& other) {
    TSongNote::CopyFrom(other);
    if (GetType() == ntRest) {
        SetXNoteSpace(0);
        SetXAccSpace(0);
    }
    if (other.IsSongNote() && other.IsRest()) {
        const auto& o = static_cast<const TRestNote&>(other);
        BarLengthFlag = o.BarLengthFlag;
        BarLength = o.BarLength;
        VertOffset = o.VertOffset;
    }
}

int TRestNote::GetStaffPos() const {
    static constexpr int kBase[7] = {-2, 0, 0, -1, 1, 1, 3};
    const int d = GetDur();
    return (d <= 6 ? kBase[d] : 0) + VertOffset;
}

int TRestNote::GetMinStaffPos() const {
    return TRestNote::GetStaffPos() - 2;
}

int TRestNote::GetMaxStaffPos() const {
    return TRestNote::GetStaffPos() + 2;
}

void TRestNote::SetVertOffset(int v) {
    if (v > 2000) v = 2001;
    if (v < -2000) v = -2001;
    VertOffset = static_cast<int16_t>(v);
}

void TRestNote::SetHideRest(bool flag) {
    HideRest = flag ? 1 : 0;
    if (flag) VertOffset = 0;
}

void TRestNote::SetBarLength(int count, int durationCode) {
    BarLengthFlag = 1;
    const int ticks = (durationCode >= 0 && durationCode <= 6) ? (768 >> durationCode) : 192;
    BarLength = count * ticks;
}

bool TRestNote::IsWholeBarRestCandidate() const {
    return GetDur() == dcWhole && !IsGrace() && !IsDotted() && !IsDblDotted() && !IsTriplet() && !HasNotes();
}

// ---------------------------------------------------------------------------------------------------------
// TRestChord

TRestChord::TRestChord(int duration, uint16_t attributes) : TRestNote(duration, attributes) {}

TRestChord::~TRestChord() {
    delete Part;
}

void TRestChord::SetPartRaw(TMusicNote* part) {
    if (part == Part) return;
    delete Part;
    Part = part;
}

int TRestChord::GetNoteCount() const {
    return Part ? Part->GetNoteCount() : 0;
}

TMusicNote* TRestChord::GetNote(int index) const {
    return Part ? Part->GetNote(index) : nullptr;
}

int TRestChord::GetMinStaffPos() const {
    const int rest = TRestNote::GetMinStaffPos();
    return Part ? std::min(rest, Part->GetMinStaffPos()) : rest;
}

int TRestChord::GetMaxStaffPos() const {
    const int rest = TRestNote::GetMaxStaffPos();
    return Part ? std::max(rest, Part->GetMaxStaffPos()) : rest;
}

bool TRestChord::HasSplitDurations() const {
    return Part && Part->GetNominalTicks() != GetNominalTicks();
}

int TRestChord::GetAccidentalSpace(TStaffDrawInfo& info) {
    return Part ? Part->GetAccidentalSpace(info) : 0;
}

bool TRestChord::Transpose(TStaffPlayState& state, int semitones, int steps, bool keep) {
    return Part ? Part->Transpose(state, semitones, steps, keep) : true;
}

void TRestChord::RespellFromPitch(TStaffPlayState& state) {
    if (Part) Part->RespellFromPitch(state);
}

void TRestChord::RenewTieDirections() {
    if (!Part) return;
    for (int i = 0; i < Part->GetNoteCount(); ++i) {
        TMusicNote* n = Part->GetNote(i);
        if (n) n->SetTieDownward(!n->IsStemUp());
    }
    Part->SetTieDownward(!Part->IsStemUp());
}

bool TRestChord::AddNote(TMusicNote* note) {
    if (!note || note->GetType() != ntNote) return false;
    if (note->GetNominalTicks() < GetNominalTicks()) return false;
    if (Part) {
        if (Part->GetNominalTicks() != note->GetNominalTicks()) return false;
        if (Part->FindNoteAtStaffPos(note->GetStaffPos())) return false;
    }

    // Keep what may change so that a refusal leaves everything as it was.
    const int oldOwnStem = GetStemSetting();
    TMusicNote noteBefore;
    noteBefore.AssignNote(*note);

    if (GetStemSetting() == 0) {
        const int sign = note->GetStemDirSign();
        SetStemDirection(note->HasStemSetting() ? -sign : sign);
    }
    if (!note->HasStemSetting()) note->SetStemDirection(-GetStemDirSign());
    auto refuse = [&]() {
        TSongNote::SetStemSetting(oldOwnStem);
        note->AssignNote(noteBefore);
        return false;
    };
    if (note->GetStemSetting() == GetStemSetting()) return refuse();
    note->SetRestChordPart(true);
    note->SetTieDownward(!note->IsStemUp());

    if (!Part) {
        Part = note;
        note->SetArticulationsOnStem(true);
    } else if (Part->GetType() == ntNote) {
        TMusicNote partBefore;
        partBefore.AssignNote(*Part);
        auto* chord = new TChordData(Part);
        if (!chord->AddNote(note)) {
            chord->DetachAllNotes();
            delete chord;
            Part->AssignNote(partBefore);
            return refuse();
        }
        chord->SetRestChordPart(true);
        Part = chord;
    } else {
        if (!static_cast<TChordData*>(Part)->AddNote(note)) return refuse();
    }
    RenewTieDirections();
    return true;
}

bool TRestChord::RemoveNote(TMusicNote* note) {
    if (!note || !Part) return false;
    if (note == Part) {
        Part = nullptr;
        note->SetRestChordPart(false);
        return true;
    }
    if (Part->GetType() != ntChord || Part->GetNoteCount() < 2) return false;
    auto* chord = static_cast<TChordData*>(Part);
    if (!chord->RemoveNote(note)) return false;
    note->SetRestChordPart(false);
    if (chord->GetNoteCount() == 1) {
        TMusicNote* remaining = chord->DetachAllNotes().front();
        remaining->SetChordMember(false);
        remaining->SetHeadColumn(0);
        remaining->SetRestChordPart(true);
        delete chord;
        Part = remaining;
    }
    RenewTieDirections();
    return true;
}

void TRestChord::SyncNotes() {
    ClearBarLength();
    SetTieContinued(false);
    constexpr uint16_t kKeep = AttributeBit(naDotted) | AttributeBit(naTie) | AttributeBit(naSlur) |
                               AttributeBit(naDblDotted) | AttributeBit(naGrace) |
                               AttributeBit(naTieDirection) | AttributeBit(naSlurDirection) |
                               AttributeBit(naCrescendo) | AttributeBit(naDiminuendo);
    constexpr uint16_t kMoved = kArticulationBits | AttributeBit(naAttribute6) | AttributeBit(naAttribute7);
    const uint16_t articulations = GetAttributes() & kMoved;
    SetAttributes(GetAttributes() & kKeep);
    if (!Part) return;
    Part->SetAttributes(Part->GetAttributes() | articulations);
    SetXNoteSpace(Part->GetXNoteSpace());
    SetXAccSpace(Part->GetXAccSpace());
    if (IsGrace()) {
        Part->SetAttributes(Part->GetAttributes() | AttributeBit(naGrace));
    } else {
        Part->ClearAttribute(naGrace);
    }
    Part->SetStemDirection(-GetStemDirSign());
    Part->SetLyricMode(GetLyricMode());
    if (Part->GetNominalTicks() < GetNominalTicks()) {
        Part->TSongNote::SetDuration(GetDur());
        uint16_t w = Part->GetAttributes() &
                     static_cast<uint16_t>(~(AttributeBit(naDotted) | AttributeBit(naDblDotted)));
        if (IsDblDotted()) {
            w |= AttributeBit(naDblDotted);
        } else if (IsDotted()) {
            w |= AttributeBit(naDotted);
        }
        Part->SetAttributes(w);
    }
    Part->SyncNotes();
    RenewTieDirections();
    if (Part->IsTieContinued()) SetTieContinued(true);
}
