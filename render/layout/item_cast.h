// Typed views of notation items for the layout and drawing loops. Every item class answers its type tag
// and kind predicates, so these need no run-time type search; each gives null for another kind of item
// (or for null).
#pragma once

#include "score/notated_item.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace qsm {

// Notes, chords, rests and rest chords.
inline TSongNote* AsSongNote(TNotatedItem* item) {
    return item && item->IsSongNote() ? static_cast<TSongNote*>(item) : nullptr;
}

// Rests and rest chords.
inline TRestNote* AsRestNote(TNotatedItem* item) {
    return item ? item->GetRestNote() : nullptr;
}

// The structural item of the tag (the tag names exactly one class).
template <class T, int Type>
inline T* AsTagged(TNotatedItem* item) {
    return item && item->GetType() == Type ? static_cast<T*>(item) : nullptr;
}

inline TBarLineData* AsBarLine(TNotatedItem* item) {
    return AsTagged<TBarLineData, ntBarLine>(item);
}
inline TClefData* AsClef(TNotatedItem* item) {
    return AsTagged<TClefData, ntClef>(item);
}
inline TSpecialEnding* AsSpecialEnding(TNotatedItem* item) {
    return AsTagged<TSpecialEnding, ntSpecialEnding>(item);
}
inline TMultiMeasureRest* AsMultiMeasureRest(TNotatedItem* item) {
    return AsTagged<TMultiMeasureRest, ntMultiMeasureRest>(item);
}
inline TStaffSizer* AsStaffSizer(TNotatedItem* item) {
    return AsTagged<TStaffSizer, ntStaffSizer>(item);
}

}  // namespace qsm
