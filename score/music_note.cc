// Notes: heads, accidentals, pitch, transposition and respelling.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/glyph_codes.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

namespace {

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

// The pitch of a note the given whole octaves and letter (A = 0) away from the clef's reference step.
int PitchOf(int octaves, int letter, int octaveShift, int accidental, int transpose) {
    if (octaveShift == osOctaveUp) ++octaves;
    if (octaveShift == osOctaveDown) --octaves;
    const int a = (accidental >= 0 && accidental <= 5) ? accidental : acNatural;
    return FoldMidiPitch(21 + 12 * octaves + kLetterSemitones[letter] + kAccidentalOffset[a] + transpose);
}

// Converts a pitch into a staff position and accidental under the walk state's clef and key.
void SpellPitch(const TStaffPlayState& state, int pitch, int& pos, int& accidental) {
    MidiNoteToStaffPos(state.GetClef(), state.GetKeyIndex(), pitch, pos, accidental);
    if (state.GetOctaveShift() == osOctaveUp) pos += 7;
    if (state.GetOctaveShift() == osOctaveDown) pos -= 7;
}

}  // namespace

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
    const bool shows = Accidental != acNone && !IsAccidentalAutomatic() && !HasCrossHead();
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
    // The clef's reference step less the position, as whole octaves and a letter (GetLetter); the accidental
    // as GetPlayedAccidental finds it.
    const int steps = ClefReferenceStep(state.GetClef()) - Pos;
    const int octaves = FloorDiv(steps, 7);
    const int letter = steps - 7 * octaves;
    const int accidental = Accidental != acNone ? Accidental : state.GetAccidental(letter);
    return PitchOf(octaves, letter, state.GetOctaveShift(), accidental, state.GetTranspose());
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
    static constexpr int kCodes[6] = {glSharp,       glFlat,       glNatural,
                                      glDoubleSharp, glDoubleFlat, glNoAccidental};
    const int a = GetShownAccidental();
    return (a >= 0 && a <= 5) ? kCodes[a] : glNoAccidental;
}

int TMusicNote::GetNoteheadSymbolCode() const {
    const int style = GetNotehead();
    const bool longNote = GetDur() <= dcHalf;
    switch (style) {
        case 0:
            return GetDur() == dcWhole ? glWholeHead : (GetDur() == dcHalf ? glHalfHead : glFilledHead);
        case 1:
            return glXHead;
        case 2:
            return glDiamondHead;
        case 3:
            return glBlankHead;
        case 4:
            return longNote ? glDiamondHead : glXHead;
        case 5:
            return longNote ? glDiamondHead : glFilledDiamondHead;
        default:
            break;
    }
    if (style <= 13) {
        const int first = glShapeDo + 2 * (style - 6);
        return longNote ? first : first + 1;
    }
    return glFilledHead;
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
