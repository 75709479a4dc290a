// The slur and tie marks of a song note, set by the formatting pass from the walk state before the note.
#include "score/base/play_state.h"
#include "score/song_note.h"

namespace {

// The form shared by every song note: the slur-continued mark and the slur's bend.
void UpdateSlur(TSongNote& note, const TStaffPlayState& state) {
    note.SetSlurContinued(false);
    const bool given = note.HasAttribute(naSlurDirection);
    if (note.IsGrace()) {
        if (!given) note.SetSlurDownward(true);
    } else if (state.InNoteGroup()) {
        note.SetSlurContinued(true);
        if (!given) note.SetSlurDownward(state.IsNoteGroupStart());
    } else if (note.HasAttribute(naSlur) && !given) {
        int d = note.GetStemDirSign();
        if (note.HasSplitStems()) d = -d;
        note.SetSlurDownward(d >= 0);  // opposite to the stem
    }
}

}  // namespace

void TSongNote::UpdateSlurAndTie(TStaffPlayState& state, TMusicStaff& staff, int index) {
    if (IsChordMember()) return;
    UpdateSlur(*this, state);
    switch (GetType()) {
        case ntNote:
            // A tie that starts here bends away from the stem.
            if (HasAttribute(naTie) && !IsTieContinued() && !HasAttribute(naTieDirection)) {
                SetTieDownward(GetStemDirSign() > 0);
            }
            break;
        case ntChord: {
            const int count = GetNoteCount();
            if (count == 0) break;
            for (int i = 0; i < count; ++i) {
                if (TMusicNote* member = GetNote(i)) member->UpdateSlurAndTie(state, staff, index);
            }
            SyncNotes();
            break;
        }
        case ntRestChord:
            if (TMusicNote* part = static_cast<TRestChord*>(this)->GetPart()) {
                part->UpdateSlurAndTie(state, staff, index);
            }
            SyncNotes();
            break;
        default:
            break;
    }
}
