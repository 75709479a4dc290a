// The staff operations that work over item ranges and notation indexes: insertion with regrouping, the
// walk from a special ending, and the clean-ups of imported notation that remove repeated items, make whole
// bars of rests and beam the notes of each beat.
#include <algorithm>

#include "score/expression_items.h"
#include "score/item_records.h"
#include "score/music_staff.h"
#include "score/notation_index.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace {

bool IsNoteRestOrChord(const TNotatedItem* item) {
    if (!item) return false;
    const int t = item->GetType();
    return t == ntNote || t == ntRest || t == ntChord;
}

// The first index of the group of grouping g that goes on through the song note at i, or i.
int GroupStartThrough(TMusicStaff& staff, int g, int i) {
    TSimpleNtnIdx idx(&staff, i);
    const TSongNote* note = idx.GetSongNote();
    if (!note) return i;
    const int state = note->GetGroupState(g);
    if (state != gsFirst && state != gsMiddle) return i;
    TStaffItemRange range = TStaffItemRange::CopyAndExtend(idx, g);
    return range.IsValid() ? std::min(range.First, i) : i;
}

// The last index of the group of grouping g that comes in through the song note at i, or i.
int GroupEndThrough(TMusicStaff& staff, int g, int i) {
    TSimpleNtnIdx idx(&staff, i);
    const TSongNote* note = idx.GetSongNote();
    if (!note) return i;
    const int state = note->GetGroupState(g);
    if (state != gsMiddle && state != gsEnd) return i;
    TStaffItemRange range = TStaffItemRange::CopyAndExtend(idx, g);
    return range.IsValid() ? std::max(range.Last, i) : i;
}

}  // namespace

void TMusicStaff::RegroupAt(int grouping, int index) {
    const TNotatedItem* item = GetItem(index);
    if (!item || !item->IsSongNote() || index < 1 || index >= GetLastIndex()) return;
    // The group that the neighbours hold open around the index takes the item in.
    int first = index;
    int last = index;
    const int before = FindSongNote(index, -1);
    if (before > 0 && before < index) first = std::min(first, GroupStartThrough(*this, grouping, before));
    const int after = FindSongNote(index, 1);
    if (after > index && after < GetLastIndex())
        last = std::max(last, GroupEndThrough(*this, grouping, after));
    if (first == index && last == index) return;
    // Only a group that was open on both sides is re-formed; an item beside a group stays out of it.
    if (first == index || last == index) return;
    TStaffItemRange range(this, first, last);
    StaffMakeNoteGroup(range, grouping);
}

void TMusicStaff::InsertItemAndReformat(TNotatedItem* item, int index) {
    if (!item) return;
    index = std::clamp(index, 0, GetItemCount());
    InsertItem(item, index);
    if (IsNoteRestOrChord(item) && !static_cast<const TSongNote*>(item)->HasStemSetting())
        RegroupAt(0, index);
    Reformat(index, -1);
}

void TMusicStaff::InsertItemAtTimeAndReformat(TNotatedItem* item, int ticks) {
    if (!item) return;
    InsertItemAtTime(item, ticks);
    const int index = FindItemIndex(item);
    if (index < 0) return;
    if (IsNoteRestOrChord(item) && !static_cast<const TSongNote*>(item)->HasStemSetting())
        RegroupAt(0, index);
    Reformat(index, -1);
}

int TMusicStaff::FindItemIndex(const TNotatedItem* item) const {
    for (int i = 0; i < GetItemCount(); ++i) {
        if (GetItem(i) == item) return i;
    }
    return -1;
}

int TMusicStaff::WalkToEnding(int index) {
    index = std::clamp(index, 0, std::max(0, GetLastIndex()));
    int start = index;
    while (start > 0 && GetItem(start)->GetType() != ntSpecialEnding)
        --start;
    TStaffPlayState state;
    state.InitFromStaff(*this);
    const int limit = 16 * GetItemCount() + 1000;
    int i = start;
    for (int steps = 0; steps < limit && i >= 0 && i < GetItemCount() && i != index; ++steps) {
        TNotatedItem* item = GetItem(i);
        const int next = item->GetNextPlayIndex(state, *this, i);
        item->UpdatePlayState(state);
        i = next;
    }
    return static_cast<int>(state.GetTick());
}

void TMusicStaff::RemoveRedundantItems() {
    static const int kKinds[] = {ntKey,           ntBarLine, ntSpecialEnding, ntPatch,
                                 ntTimeSignature, ntTempo,   ntDynamic};
    for (int kind : kKinds) {
        int pending = -1;
        const TNotatedItem* kept = nullptr;
        for (int i = 0; i < GetLastIndex(); ++i) {
            const TNotatedItem* item = GetItem(i);
            const int type = item->GetType();
            if (type == kind) {
                if (pending > 0) {
                    DeleteItem(pending);
                    --i;
                    pending = -1;
                    item = GetItem(i);
                }
                if (kept && CompareNotatedItems(*item, *kept) == 0 && i > 0) {
                    // It repeats what is in force already.
                    DeleteItem(i);
                    --i;
                } else if (i > 0) {
                    pending = i;
                }
            } else if (type == ntNote || type == ntRest || type == ntChord || type == ntRestChord) {
                if (pending > 0) {
                    const int pendingType = GetItem(pending)->GetType();
                    if (pendingType != ntBarLine && pendingType != ntSpecialEnding) kept = GetItem(pending);
                }
                pending = -1;
            }
        }
    }
    // Of two sustain pedal marks of one status side by side, the earlier says nothing.
    for (int status = 0; status <= 1; ++status) {
        auto isPedal = [&](int i) {
            const TNotatedItem* item = GetItem(i);
            return item && item->GetType() == ntSustainPedal &&
                   static_cast<const TSustainPedal*>(item)->IsDown() == (status != 0);
        };
        for (int i = 1; i < GetLastIndex() - 1;) {
            if (isPedal(i) && isPedal(i + 1)) {
                DeleteItem(i);
            } else {
                ++i;
            }
        }
    }
}

void TMusicStaff::CheckImportedBars() {
    TNeighborhoodNtnIdx idx(this);
    // The time signature in force, carried forward over the items before scanned (a search back from each
    // bar would walk the staff once per bar). Merging deletes only rests at or after the first note of a
    // bar, so the items before scanned keep their places.
    int beats = 4;
    int exponent = 2;
    int scanned = 0;
    int first = 1;
    while (first < GetLastIndex()) {
        int bar = FindBarLineFrom(first - 1, 1);
        if (bar <= first) bar = GetLastIndex();
        const int last = bar - 1;
        if (last >= first) {
            idx.Seek(first);
            int ticks = 0;
            int firstNote = -1;
            for (int i = first; i <= last; ++i) {
                ticks += GetItem(i)->GetDuration();
                if (firstNote < 0 && GetItem(i)->IsSongNote()) firstNote = i;
            }
            for (const int at = std::min(firstNote < 0 ? first : firstNote, GetItemCount()); scanned < at;
                 ++scanned) {
                const TNotatedItem* item = GetItem(scanned);
                if (item->GetType() != ntTimeSignature) continue;
                beats = static_cast<const TTimeSignatureData*>(item)->GetBeats();
                exponent = static_cast<const TTimeSignatureData*>(item)->GetBeatValueExponent();
            }
            TStaffItemRange range(this, first, last);
            if (firstNote >= 0 && ticks == MeasureTicks(beats, exponent) && StaffRangeIsRestRun(range)) {
                // A bar that holds only rests becomes one whole-bar rest.
                StaffRangeMergeRests(range);
                bar = FindBarLineFrom(first - 1, 1);
                if (bar <= first) bar = GetLastIndex();
            }
        }
        first = bar + 1;
    }
    Reformat(0, -1);
}

void TMusicStaff::GroupImportedNotes(bool compound) {
    int beat = BeatTicks(4, 2, compound);
    int t = 0;
    int boundary = beat;
    int beatFirst = 1;
    // Beams the runs of notes with flags among the items first..last; expressions and grace notes between
    // them do not end a run, rests and everything that ends a group do.
    auto groupBeat = [this](int first, int last) {
        TSimpleNtnIdx idx(this);
        int runStart = -1;
        int runEnd = -1;
        for (int i = first; i <= last + 1; ++i) {
            bool member = false;
            bool passes = false;
            if (i <= last) {
                idx.Seek(i);
                const TSongNote* note = idx.GetSongNote();
                member = idx.GetNoteOrChord() && !note->IsGrace() && idx.CanJoinGroup(false, 0);
                passes = !member && idx.CanJoinGroup(false, 0) && (!note || note->IsGrace());
            }
            if (member) {
                if (runStart < 0) runStart = i;
                runEnd = i;
                continue;
            }
            if (passes) continue;
            if (runStart >= 0 && runEnd > runStart) {
                TStaffItemRange range(this, runStart, runEnd);
                if (!StaffRangeHasGroup(range, 0)) StaffMakeNoteGroup(range, 0);
            }
            runStart = -1;
        }
    };
    int i = 1;
    for (; i < GetLastIndex(); ++i) {
        const TNotatedItem* item = GetItem(i);
        const int type = item->GetType();
        if (type == ntTimeSignature || type == ntBarLine) {
            if (type == ntTimeSignature)
                beat = TimeSignatureBeatTicks(*static_cast<const TTimeSignatureData*>(item), compound);
            if (beat <= 0) beat = 192;
            groupBeat(beatFirst, i - 1);
            boundary = t + beat;
            beatFirst = i + 1;
            continue;
        }
        t += item->GetDuration();
        if (t < boundary) continue;
        // The boundary falls at the end of this item or inside it.
        groupBeat(beatFirst, t == boundary ? i : i - 1);
        while (boundary <= t)
            boundary += beat;
        beatFirst = i + 1;
    }
    groupBeat(beatFirst, GetLastIndex() - 1);
}
