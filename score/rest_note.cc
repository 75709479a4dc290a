// Rests: staff position, vertical offset, hiding and whole-bar length.
#include "score/song_note.h"

#include <algorithm>
#include <cstdlib>

#include "score/base/play_state.h"
#include "score/pitch_ticks.h"
#include "score/structure_items.h"

TRestNote::TRestNote(int duration, uint16_t attributes) : TSongNote(ntRest, duration, attributes) {}

TRestNote::TRestNote(TNotatedItemType type, int duration, uint16_t attributes)
    : TSongNote(type, duration, attributes) {}

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
