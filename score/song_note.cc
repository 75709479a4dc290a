// The shared base of notes, rests and chords: attributes, group states, slur and tie directions, stems,
// and the nominal length of a duration code.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

namespace {

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

}  // namespace

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
