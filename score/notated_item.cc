// The base part shared by every notation item.
#include "score/notated_item.h"

#include "score/song_note.h"

void TNotatedItem::CopyFrom(const TNotatedItem& other) {
    Flags = other.Flags;
}

TMusicNote* TNotatedItem::GetNote(int /*index*/) const {
    return nullptr;
}

TMusicNote* TNotatedItem::FindNoteAtStaffPos(int pos) const {
    const int count = GetNoteCount();
    for (int i = 0; i < count; ++i) {
        TMusicNote* note = GetNote(i);
        if (!note) continue;
        const int p = note->GetStaffPos();
        if (p < pos) return nullptr;
        if (p == pos) return note;
    }
    return nullptr;
}

TMusicNote* TNotatedItem::FindTiedNote(int pos, bool tieEnd, int accidental, bool stop) const {
    const int count = GetNoteCount();
    for (int i = 0; i < count; ++i) {
        TMusicNote* note = GetNote(i);
        if (!note) continue;
        const int p = note->GetStaffPos();
        if (p < pos) return nullptr;
        if (p != pos) continue;
        const int a = note->GetAccidental();
        if (a != accidental && a != acNone && accidental != acNone) continue;
        if (stop && note->IsTieContinued() && note->HasAttribute(naTie) && GetVisibility() == ivNever) {
            return nullptr;
        }
        if (tieEnd ? note->IsTieContinued() : note->HasAttribute(naTie)) return note;
    }
    return nullptr;
}
