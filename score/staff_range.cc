// Item ranges and the operations over all items of a range.
#include "score/staff_range.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "core/ram_stream.h"
#include "score/audit_index.h"
#include "score/expression_items.h"
#include "score/item_records.h"
#include "score/music_staff.h"
#include "score/notation_index.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace {

TFormatItemsFn gFormatItems = nullptr;
thread_local bool tFormatPaused = false;

void FormatRange(const TStaffItemRange& range) {
    if (gFormatItems && range.Staff && !tFormatPaused) gFormatItems(range);
}

// Calls f(index, item) for every item of a valid range.
template <class F>
void ForEachItem(const TStaffItemRange& range, F f) {
    if (!range.IsValid()) return;
    const int last = std::min(range.Last, range.Staff->GetLastIndex());
    for (int i = range.First; i <= last; ++i)
        f(i, range.Staff->GetItem(i));
}

template <class F>
void ForEachSongNote(const TStaffItemRange& range, F f) {
    ForEachItem(range, [&](int i, TNotatedItem* item) {
        if (item->IsSongNote()) f(i, static_cast<TSongNote*>(item));
    });
}

template <class F>
void ForEachMember(TNotatedItem* item, F f) {
    const int count = item->GetNoteCount();
    for (int j = 0; j < count; ++j) {
        if (TMusicNote* m = item->GetNote(j)) f(m);
    }
}

bool IsGroupOpenState(int s) {
    return s == gsFirst || s == gsMiddle;
}

bool IsGroupContinuedState(int s) {
    return s == gsMiddle || s == gsEnd;
}

bool IsNoteOrChord(const TNotatedItem* item) {
    return item->GetType() == ntNote || item->GetType() == ntChord;
}

// The song note of grace flag grace passes as a member of a group of grouping g.
bool IsGroupMember(const TNotatedItem* item, bool grace, int g) {
    if (!item->IsSongNote() || static_cast<const TSongNote*>(item)->IsGrace() != grace) return false;
    return g == 1 || !item->IsRest();
}

// The rest part and the first and last member notes whose duration codes the duration queries compare.
template <class F>
void ForEachDurationPart(TSongNote* note, F f) {
    if (note->IsRest()) f(note);
    TMusicNote* pitched = nullptr;
    if (note->GetType() == ntRestChord) {
        pitched = static_cast<TRestChord*>(note)->GetPart();
    } else if (!note->IsRest()) {
        pitched = static_cast<TMusicNote*>(note);
    }
    if (!pitched) return;
    if (TMusicNote* first = pitched->GetFirstNote()) f(first);
    if (TMusicNote* last = pitched->GetLastNote()) f(last);
}

int DefaultedStemLength(const TMusicNote& note) {
    if (!note.HasStemLength()) return 0;
    return note.GetStemLengthField() == 0 ? 7 : note.GetStemLength();
}

int ClampStaffPos(int pos) {
    return std::clamp(pos, -128, 127);
}

}  // namespace

TFormatItemsFn SetFormatStaffItemsHook(TFormatItemsFn fn) {
    TFormatItemsFn old = gFormatItems;
    gFormatItems = fn;
    return old;
}

bool PauseFormatStaffItems(bool paused) {
    const bool was = tFormatPaused;
    tFormatPaused = paused;
    return was;
}

// ---------------------------------------------------------------------------------------------------------
// The range record

TStaffItemRange::TStaffItemRange(TMusicStaff* staff, int a, int b) {
    SetStaff(staff);
    SetRange(a, b);
}

TStaffItemRange TStaffItemRange::FromIndex(const TSimpleNtnIdx& index) {
    return TStaffItemRange(index.GetStaff(), index.GetIndex(), index.GetIndex());
}

TStaffItemRange TStaffItemRange::CopyAndExtend(const TSimpleNtnIdx& index, int g) {
    TStaffItemRange range = FromIndex(index);
    StaffRangeExtendByNotes(range, g, index.GetIndex());
    return range;
}

TStaffItemRange TStaffItemRange::Span(const TSimpleNtnIdx& a, const TSimpleNtnIdx& b) {
    return TStaffItemRange(a.GetStaff(), a.GetIndex(), b.GetIndex());
}

void TStaffItemRange::Assign(const TStaffItemRange& range) {
    SetStaff(range.Staff);
    SetRange(range.First, range.Last);
}

void TStaffItemRange::SetStaff(TMusicStaff* staff) {
    Staff = staff;
    First = 0;
    Last = staff ? staff->GetLastIndex() : -1;
}

void TStaffItemRange::SetRange(int a, int b) {
    First = std::min(a, b);
    Last = std::max(a, b);
    if (First < 0) std::swap(First, Last);
    if (!Staff) {
        Last = -1;
        return;
    }
    const int lastIndex = Staff->GetLastIndex();
    Last = std::min(Last, lastIndex);
    First = std::min(First, lastIndex);
}

void TStaffItemRange::SetFromIndexes(const TSimpleNtnIdx& a, const TSimpleNtnIdx& b) {
    SetStaff(a.GetStaff());
    SetRange(a.GetIndex(), b.GetIndex());
}

void TStaffItemRange::SetToBar(int i) {
    if (!Staff) return;
    const int lastIndex = Staff->GetLastIndex();
    i = std::clamp(i, 0, std::max(lastIndex, 0));
    int first = i;
    while (first > 0 && Staff->GetItem(first)->GetType() != ntBarLine)
        --first;
    int next = first + 1;
    while (next <= lastIndex && Staff->GetItem(next)->GetType() != ntBarLine)
        ++next;
    First = first;
    Last = next - 1;
}

// ---------------------------------------------------------------------------------------------------------
// Builders

void StaffRangeNormalize(TStaffItemRange& range) {
    TMusicStaff* staff = range.Staff;
    if (!staff || staff->GetItemCount() < 2) return;
    if (range.Last < 0) range.Last = range.First;
    const int lastIndex = staff->GetLastIndex();
    auto isBar = [&](int i) { return staff->GetItem(i)->GetType() == ntBarLine; };
    int first = std::clamp(range.First, 0, lastIndex);
    if (!isBar(first)) {
        while (first > 0 && !isBar(first - 1))
            --first;
    }
    int last = std::clamp(range.Last, 0, lastIndex);
    if (!isBar(last)) {
        while (last < lastIndex && !isBar(last + 1))
            ++last;
    }
    range.First = std::max(first, 1);
    range.Last = std::min(last, lastIndex - 1);
}

void StaffRangeExtendByNotes(TStaffItemRange& range, int g, int i) {
    range.SetRange(i, i);
    if (!range.IsValid()) return;
    TSimpleNtnIdx first(range.Staff, range.First);
    if (first.IsGroupContinued(g)) first.StepToGroupEndOfCurrent(g, -1);
    if (!first.IsInGroup(g)) return;
    TSimpleNtnIdx second(range.Staff, range.First);
    if (second.IsGroupOpen(g)) second.StepToGroupEndOfCurrent(g, 1);
    if (second.IsInGroup(g)) range.SetRange(first.GetIndex(), second.GetIndex());
}

void StaffHairpinRunExtent(TStaffItemRange& range, int i) {
    range.SetRange(i, i);
    if (!range.IsValid()) return;
    TSimpleNtnIdx idx(range.Staff, range.First);
    const TSongNote* note = idx.GetSongNote();
    const int hairpin = note ? note->GetHairpin() : 0;
    if (hairpin == 0) return;
    TSimpleNtnIdx back(idx);
    while (back.CanStep(-1)) {
        back.Step(-1);
        if (!back.IsHairpinContinued(hairpin)) break;
        if (back.GetSongNote()) range.First = back.GetIndex();
    }
    TSimpleNtnIdx ahead(idx);
    while (ahead.CanStep(1)) {
        ahead.Step(1);
        if (!ahead.IsHairpinContinued(hairpin)) break;
        if (ahead.GetSongNote()) range.Last = ahead.GetIndex();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Queries

int StaffRangeGetTicks(const TStaffItemRange& range) {
    int ticks = 0;
    ForEachItem(range, [&](int, TNotatedItem* item) { ticks += item->GetDuration(); });
    return ticks;
}

bool StaffRangeIsRestRun(const TStaffItemRange& range) {
    bool anyNotes = false;
    int firstRest = -1;
    int lastRest = -1;
    ForEachItem(range, [&](int i, TNotatedItem* item) {
        if (item->HasNotes()) anyNotes = true;
        if (item->GetType() == ntRest) {
            if (firstRest < 0) firstRest = i;
            lastRest = i;
        }
    });
    if (anyNotes || firstRest < 0) return false;
    for (int i = firstRest; i <= lastRest; ++i) {
        if (range.Staff->GetItem(i)->GetType() != ntRest) return false;
    }
    return true;
}

int StaffRangeFindNoteAtStaffPos(const TStaffItemRange& range, int pos) {
    int found = 0;
    ForEachItem(range, [&](int i, TNotatedItem* item) {
        if (found == 0 && item->FindNoteAtStaffPos(pos)) found = i;
    });
    return found;
}

void StaffRangeGetStaffPosExtent(const TStaffItemRange& range, int& max, int& min) {
    max = -INT_MAX;
    min = INT_MAX;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        min = std::min(min, item->GetMinStaffPos());
        max = std::max(max, item->GetMaxStaffPos());
    });
}

void StaffRangeGetNoteStaffPosExtent(const TStaffItemRange& range, int& max, int& min) {
    max = -INT_MAX;
    min = INT_MAX;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        if (!IsNoteOrChord(item)) return;
        min = std::min(min, item->GetMinStaffPos());
        max = std::max(max, item->GetMaxStaffPos());
    });
}

void StaffRangeGetGroupStaffPosExtent(const TStaffItemRange& range, int g, int& max, int& min) {
    max = 0;
    min = 0;
    if (!range.IsValid()) return;
    TSimpleNtnIdx idx(range.Staff, range.First);
    if (!idx.GetSongNote() && !idx.StepToSongNote(1)) return;
    const bool grace = idx.GetSongNote()->IsGrace();
    idx.Seek(range.First);
    bool found = false;
    while (idx.GetIndex() <= range.Last && idx.CanJoinGroup(grace, g)) {
        const TNotatedItem* item = idx.GetItem();
        if (IsNoteOrChord(item) && static_cast<const TSongNote*>(item)->IsGrace() == grace) {
            if (!found) {
                max = item->GetMaxStaffPos();
                min = item->GetMinStaffPos();
                found = true;
            } else {
                max = std::max(max, item->GetMaxStaffPos());
                min = std::min(min, item->GetMinStaffPos());
            }
        }
        if (!idx.CanStep(1)) break;
        idx.Step(1);
    }
}

bool StaffRangeGetSplitStemDirection(const TStaffItemRange& range, int& dir) {
    dir = 0;
    bool agree = true;
    if (!range.IsValid()) return true;
    TSimpleNtnIdx::ForEachSplitStemDirection(range.Staff, range.First, range.Last, [&](int, int d) {
        if (d == 0) return;
        if (dir != 0 && d != dir) agree = false;
        dir = d;
    });
    return agree;
}

bool StaffRangeHasGroup(const TStaffItemRange& range, int g) {
    bool any = false;
    ForEachSongNote(range, [&](int, TSongNote* n) { any = any || n->GetGroupState(g) != gsNone; });
    return any;
}

namespace {

// Whether the range can be made one group of grouping g; dir: the stem direction its split-stem chords
// impose on it (0 when none).
bool CanFormGroup(const TStaffItemRange& range, int g, int& dir) {
    dir = 0;
    if (!range.IsValid()) return false;
    TMusicStaff* staff = range.Staff;
    const TNotatedItem* first = staff->GetItem(range.First);
    if (!first->IsSongNote() || (g == 0 && !IsNoteOrChord(first))) return false;
    const bool grace = static_cast<const TSongNote*>(first)->IsGrace();
    int count = 0;
    int ticks = 0;
    TSimpleNtnIdx idx(staff, range.First);
    for (int i = range.First; i <= range.Last; ++i) {
        idx.Seek(i);
        if (!idx.CanJoinGroup(grace, g)) return false;
        if (IsGroupMember(idx.GetItem(), grace, g)) {
            ++count;
            ticks += idx.GetItem()->GetDuration();
        }
    }
    if (!IsGroupMember(staff->GetItem(range.Last), grace, g) || count < 2) return false;
    if (!StaffRangeGetSplitStemDirection(range, dir)) return false;
    return g == 0 || (ticks * 2 / 3) % 12 == 0;
}

}  // namespace

bool StaffRangeCanFormGroup(const TStaffItemRange& range, int g) {
    int dir = 0;
    return CanFormGroup(range, g, dir);
}

bool StaffRangeGetAttributeState(const TStaffItemRange& range, int attribute, bool& set) {
    set = false;
    int songNotes = 0;
    ForEachSongNote(range, [&](int, TSongNote*) { ++songNotes; });
    if (attribute == naTie && songNotes > 1) {
        auto copy = range;
        return StaffRangeToggleTies(copy, &set);
    }
    constexpr int kWithHeads = 0xC0ED;  // 0, 2, 3, 5, 6, 7, 14, 15
    constexpr int kAny = 0x331A;        // 1, 4, 8, 9, 12, 13
    const int bit = 1 << (attribute & 15);
    bool applies = false;
    ForEachSongNote(range, [&](int, TSongNote* note) {
        if (applies && set) return;
        const bool fits = (kAny & bit) != 0 || ((kWithHeads & bit) != 0 && note->GetNoteCount() > 0);
        if (!fits) return;
        applies = true;
        if (note->HasAttribute(attribute)) set = true;
        ForEachMember(note, [&](TMusicNote* m) { set = set || m->HasAttribute(attribute); });
    });
    return applies;
}

void StaffRangeGetDurationExtent(const TStaffItemRange& range, int& min, int& max) {
    min = dc64th;
    max = dcWhole;
    ForEachSongNote(range, [&](int, TSongNote* note) {
        ForEachDurationPart(note, [&](TSongNote* part) {
            min = std::min(min, part->GetDur());
            max = std::max(max, part->GetDur());
        });
    });
}

bool StaffRangeGetDuration(const TStaffItemRange& range, int& code) {
    int found = -1;
    bool same = true;
    ForEachSongNote(range, [&](int, TSongNote* note) {
        ForEachDurationPart(note, [&](TSongNote* part) {
            if (found >= 0 && part->GetDur() != found) same = false;
            found = part->GetDur();
        });
    });
    if (found < 0 || !same) return false;
    code = found;
    return true;
}

bool StaffRangeGetNotehead(const TStaffItemRange& range, int& style) {
    int found = -1;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        ForEachMember(item, [&](TMusicNote* m) {
            if (found >= 0 && m->GetNotehead() != found) {
                found = 14;
            } else if (found < 0) {
                found = m->GetNotehead();
            }
        });
    });
    if (found < 0) return false;
    style = found;
    return true;
}

bool StaffRangeGetColor(const TStaffItemRange& range, int& color) {
    if (!range.IsValid()) return false;
    int found = -1;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        if (found >= 0 && item->GetColor() != found) found = 8;
        if (found < 0) found = item->GetColor();
        ForEachMember(item, [&](TMusicNote* m) {
            if (m != item && m->GetMarkNumber() != 0 && m->GetMarkNumber() != item->GetColor()) found = 8;
        });
    });
    color = found;
    return true;
}

bool StaffRangeGetAccidental(const TStaffItemRange& range, int& accidental) {
    int found = -1;
    bool same = true;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        ForEachMember(item, [&](TMusicNote* m) {
            if (found >= 0 && m->GetShownAccidental() != found) same = false;
            found = m->GetShownAccidental();
        });
    });
    if (found < 0 || !same) return false;
    accidental = found;
    return true;
}

bool StaffRangeGetStemDir(const TStaffItemRange& range, int& dir) {
    if (StaffRangeCutsGroup(range, 0)) return false;
    bool refused = false;
    bool found = false;
    int common = -1;
    ForEachSongNote(range, [&](int, TSongNote* note) {
        if (note->GetType() == ntRestChord && note->HasNotes()) refused = true;
        if (note->GetType() == ntNote && note->HasSplitDurations()) refused = true;
        const int code = note->GetStemSetting();
        if (!found) {
            common = code;
        } else if (code != common) {
            common = 0;
        }
        if (code == 0) common = 0;
        found = true;
    });
    if (refused) return false;
    dir = found ? common : 0;
    return found;
}

namespace {

bool CutsGroupWith(const TStaffItemRange& range, bool (*continues)(const TSongNote&),
                   bool (*opens)(const TSongNote&)) {
    if (!range.IsValid()) return false;
    TMusicStaff* staff = range.Staff;
    const int last = std::min(range.Last, staff->GetLastIndex());
    bool seen[2] = {false, false};
    for (int i = range.First; i <= last && !(seen[0] && seen[1]); ++i) {
        const TNotatedItem* item = staff->GetItem(i);
        if (!item->IsSongNote()) continue;
        const auto& note = static_cast<const TSongNote&>(*item);
        bool& s = seen[note.IsGrace() ? 1 : 0];
        if (s) continue;
        s = true;
        if (continues(note)) return true;
    }
    seen[0] = seen[1] = false;
    for (int i = last; i >= range.First && !(seen[0] && seen[1]); --i) {
        const TNotatedItem* item = staff->GetItem(i);
        if (!item->IsSongNote()) continue;
        const auto& note = static_cast<const TSongNote&>(*item);
        bool& s = seen[note.IsGrace() ? 1 : 0];
        if (s) continue;
        s = true;
        if (opens(note)) return true;
    }
    return false;
}

}  // namespace

bool StaffRangeCutsGroup(const TStaffItemRange& range, int g) {
    if (g == 0) {
        return CutsGroupWith(
            range, [](const TSongNote& n) { return IsGroupContinuedState(n.GetBeamState()); },
            [](const TSongNote& n) { return IsGroupOpenState(n.GetBeamState()); });
    }
    return CutsGroupWith(
        range, [](const TSongNote& n) { return IsGroupContinuedState(n.GetTripletState()); },
        [](const TSongNote& n) { return IsGroupOpenState(n.GetTripletState()); });
}

bool StaffRangeCutsAnyGroup(const TStaffItemRange& range) {
    return CutsGroupWith(
        range,
        [](const TSongNote& n) {
            return IsGroupContinuedState(n.GetBeamState()) || IsGroupContinuedState(n.GetTripletState());
        },
        [](const TSongNote& n) {
            return IsGroupOpenState(n.GetBeamState()) || IsGroupOpenState(n.GetTripletState());
        });
}

int StaffRangeOuterStaffPos(const TStaffItemRange& range, int dir) {
    int r = dir * 1000;
    auto take = [&](int v) { r = dir > 0 ? std::min(r, v) : std::max(r, v); };
    ForEachSongNote(range, [&](int, TSongNote* note) {
        const int m = note->IsGrace() ? 2 : 1;
        TMusicNote* pitched = nullptr;
        if (note->GetType() == ntRestChord) {
            TMusicNote* part = static_cast<TRestChord*>(note)->GetPart();
            if (part && note->GetStemDirSign() != dir) pitched = part;
        } else if (!note->IsRest()) {
            pitched = static_cast<TMusicNote*>(note);
        }
        if (!pitched) {
            int v = dir > 0 ? note->GetMinStaffPos() : note->GetMaxStaffPos();
            if (!(note->IsSlurContinued() && note->HasAttribute(naSlur))) v -= dir * 2 / m;
            take(v);
            return;
        }
        TMusicNote* end = pitched->GetStemEndNote(dir);
        if (!end) return;
        const int stem = pitched->GetStemDirSign() > 0 ? 1 : -1;
        int e = 0;
        int b = 2;
        if (dir == stem) {
            e = DefaultedStemLength(*end);
            b = 1;
        }
        const int articulations = pitched->CountArticulations();
        const int side = pitched->HasArticulationsOnStem() ? stem : -stem;
        if (articulations > 0 && side == dir) b = 2 * articulations + 2;
        take(end->GetStaffPos() - dir * (b + e) / m);
    });
    return r;
}

int StaffRangeGetByteSize(const TStaffItemRange& range) {
    if (!range.IsValid()) return 0;
    TQSRSizerStream sizer;
    WriteItemRange(range, sizer);
    return static_cast<int>(sizer.GetSize());
}

// ---------------------------------------------------------------------------------------------------------
// Changes

bool StaffMakeNoteGroup(TStaffItemRange& range, int g) {
    int s = 0;
    if (!CanFormGroup(range, g, s)) return false;
    TMusicStaff* staff = range.Staff;
    const auto* firstNote = static_cast<const TSongNote*>(staff->GetItem(range.First));
    const bool grace = firstNote->IsGrace();
    if (s == 0 && firstNote->HasStemSetting()) s = firstNote->GetStemDirSign() > 0 ? 1 : -1;
    if (s == 0) {
        if (grace) {
            s = 1;
        } else {
            int max = 0;
            int min = 0;
            StaffRangeGetGroupStaffPosExtent(range, g, max, min);
            if (max == min) {
                s = max <= 0 ? -1 : 1;
            } else {
                s = std::abs(max) - std::abs(min) <= 0 ? -1 : 1;
            }
        }
    }
    ForEachSongNote(range, [&](int i, TSongNote* note) {
        if (!IsGroupMember(note, grace, g)) return;
        if (g == 0) note->SetStemDirection(s);
        note->SetGroupState(g, i == range.First ? gsFirst : (i == range.Last ? gsEnd : gsMiddle));
    });
    FormatRange(range);
    return true;
}

void StaffRangeUngroup(TStaffItemRange& range, int g) {
    ForEachItem(range, [&](int i, TNotatedItem*) {
        TSimpleNtnIdx idx(range.Staff, i);
        const TSongNote* note = idx.GetSongNote();
        if (!note || note->GetGroupState(g) == gsNone) return;
        const bool grace = note->IsGrace();
        if (IsGroupContinuedState(note->GetGroupState(g))) idx.StepToGroupEnd(grace, g, -1);
        for (;;) {
            TSongNote* n = idx.GetSongNote();
            if (n && n->IsGrace() == grace && n->GetGroupState(g) != gsNone) {
                const bool end = n->GetGroupState(g) == gsEnd;
                n->SetGroupState(g, gsNone);
                if (end) break;
            }
            if (!idx.CanStep(1)) break;
            idx.Step(1);
            if (!idx.CanJoinGroup(grace, g)) break;
        }
    });
}

bool StaffRangeToggleTies(TStaffItemRange& range, bool* result) {
    if (!range.IsValid()) return false;
    TMusicStaff* staff = range.Staff;
    int a = -1;
    int b = -1;
    ForEachSongNote(range, [&](int i, TSongNote*) {
        if (a < 0) a = i;
        b = i;
    });
    if (a < 0 || a == b) return false;
    const bool test = result != nullptr;
    bool tiedAlready = false;
    if (test) {
        *result = false;
        for (int i = a + 1; i < b; ++i) {
            const TNotatedItem* item = staff->GetItem(i);
            switch (item->GetType()) {
                case ntClef:
                case ntKey:
                    return false;
                case ntBarLine: {
                    const int style = static_cast<const TBarLineData*>(item)->GetStyle();
                    if (style == bsLocalRepeatClose || style == bsMasterRepeatClose) return false;
                    break;
                }
                case ntSpecialEnding:
                    if (static_cast<const TSpecialEnding*>(item)->IsLaterEnding()) return false;
                    break;
                default:
                    break;
            }
        }
    } else if (!StaffRangeToggleTies(range, &tiedAlready)) {
        return false;
    }

    bool found = false;
    TAuditNtnIdx idx(staff);
    idx.Seek(a);
    while (idx.GetIndex() <= b) {
        auto* note = idx.GetSongNote();
        if (note) {
            if (!test && tiedAlready) note->ClearAttribute(naTie);
            TMusicNote* lastExamined = nullptr;
            const int count = note->GetNoteCount();
            for (int j = 0; j < count; ++j) {
                TMusicNote* m = note->GetNote(j);
                if (!m) continue;
                lastExamined = m;
                TAuditNtnIdx ahead(idx);
                TMusicNote* partner = nullptr;
                while (ahead.GetIndex() < b && ahead.StepToSongNote(1) && ahead.GetIndex() <= b) {
                    partner = ahead.GetItem()->FindNoteAtStaffPos(m->GetStaffPos());
                    if (partner) break;
                }
                if (!partner) continue;
                if (partner->GetPlayedAccidental(ahead.GetPlayState()) !=
                        m->GetPlayedAccidental(idx.GetPlayState()) &&
                    partner->GetShownAccidental() != acNone) {
                    return false;
                }
                found = true;
                if (test) {
                    if (m->HasAttribute(naTie)) {
                        *result = true;
                        return true;
                    }
                } else if (tiedAlready) {
                    m->ClearAttribute(naTie);
                } else {
                    m->SetAttribute(naTie);
                }
            }
            if (!test && lastExamined && lastExamined != note && lastExamined->HasAttribute(naTie)) {
                note->SetAttribute(naTie);
            }
        }
        if (!idx.CanStep(1)) break;
        idx.Step(1);
    }
    if (!test) FormatRange(range);
    return found;
}

bool StaffRangeToggleAttribute(TStaffItemRange& range, int attribute) {
    int songNotes = 0;
    ForEachSongNote(range, [&](int, TSongNote*) { ++songNotes; });
    if (attribute == naTie && songNotes > 1) return StaffRangeToggleTies(range, nullptr);
    bool set = false;
    if (!StaffRangeGetAttributeState(range, attribute, set)) return false;
    constexpr int kWithHeads = 0xC0ED;
    const bool headsOnly = (kWithHeads & (1 << (attribute & 15))) != 0;
    int slurGrace = -1;
    ForEachSongNote(range, [&](int, TSongNote* note) {
        if (attribute == naSlur) {
            if (slurGrace < 0) slurGrace = note->IsGrace() ? 1 : 0;
            if ((note->IsGrace() ? 1 : 0) != slurGrace) return;
        }
        TSongNote* target = note;
        if (headsOnly) {
            if (!note->HasNotes()) return;
            if (note->GetType() == ntRestChord) target = static_cast<TRestChord*>(note)->GetPart();
        }
        if (!target) return;
        auto change = [&](TSongNote* n) {
            if (set) {
                n->ClearAttribute(attribute);
            } else {
                n->SetAttribute(attribute);
            }
        };
        change(target);
        ForEachMember(target, [&](TMusicNote* m) {
            if (m != target) change(m);
        });
    });
    FormatRange(range);
    return true;
}

void StaffRangeMergeRests(TStaffItemRange& range) {
    if (!range.IsValid()) return;
    TMusicStaff* staff = range.Staff;
    TRestNote* kept = nullptr;
    for (int i = range.First; i <= range.Last && i <= staff->GetLastIndex(); ++i) {
        TNotatedItem* item = staff->GetItem(i);
        if (item->GetType() != ntRest) continue;
        if (!kept) {
            kept = static_cast<TRestNote*>(item);
            continue;
        }
        if (TNotatedItem* removed = staff->DetachItem(i)) {
            delete removed;
            --i;
            --range.Last;
        }
    }
    if (!kept) return;
    kept->SetDuration(dcWhole);
    kept->ClearAttribute(naDotted);
    kept->ClearAttribute(naDblDotted);
    kept->SetBarLength(4, dcQuarter);
}

void StaffRangeShiftDuration(TStaffItemRange& range, int n) {
    auto shift = [n](TSongNote* note) { note->SetDuration(std::clamp(note->GetDur() - n, 0, 6)); };
    ForEachSongNote(range, [&](int, TSongNote* note) {
        shift(note);
        if (note->GetNoteCount() > 1 || note->IsRest()) {
            ForEachMember(note, [&](TMusicNote* m) { shift(m); });
        }
    });
    FormatRange(range);
}

void StaffRangeSetDuration(TStaffItemRange& range, int code) {
    ForEachSongNote(range, [&](int, TSongNote* note) {
        note->SetDuration(code);
        ForEachMember(note, [&](TMusicNote* m) {
            if (m != note) m->SetDuration(code);
        });
    });
    FormatRange(range);
}

void StaffRangeSetNotehead(TStaffItemRange& range, int style) {
    ForEachItem(range, [&](int, TNotatedItem* item) {
        ForEachMember(item, [&](TMusicNote* m) { m->SetNotehead(style); });
    });
    FormatRange(range);
}

void StaffRangeCycleNotehead(TStaffItemRange& range, int allowed) {
    // With no style allowed the heads stay as they are.
    if ((allowed & 0x3FFF) == 0) return;
    const bool special = (allowed & ((1 << 9) | (1 << 10))) != 0;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        ForEachMember(item, [&](TMusicNote* m) {
            int style = m->GetNotehead();
            do {
                style = (style + 1) % 14;
            } while ((allowed & (1 << style)) == 0);
            if (special && style == 10) {
                style = 11;
            } else if (special && style == 9 && m->GetHeadColumn() > 0) {
                style = 10;
            }
            m->SetNotehead(style);
        });
    });
    FormatRange(range);
}

void StaffRangeSetColor(TStaffItemRange& range, int color) {
    if (color > 7) return;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        item->SetColor(color);
        ForEachMember(item, [&](TMusicNote* m) { m->SetMarkNumber(0); });
    });
    FormatRange(range);
}

void StaffRangeSetAccidental(TStaffItemRange& range, int accidental) {
    ForEachItem(range, [&](int, TNotatedItem* item) {
        ForEachMember(item, [&](TMusicNote* m) { m->SetAccidental(accidental); });
    });
    FormatRange(range);
}

void StaffRangeSetStemDir(TStaffItemRange& range, int dir) {
    ForEachSongNote(range, [&](int, TSongNote* note) {
        if (dir == 0 &&
            (note->GetBeamState() != gsNone || note->HasSplitStems() || note->HasSplitDurations())) {
            return;
        }
        note->SetStemSetting(dir);
    });
    FormatRange(range);
}

void StaffRangeAutoStemDir(TStaffItemRange& range) {
    // The stems go back to their default direction; the formatting pass settles every beam group that
    // starts with a default stem.
    ForEachSongNote(range, [&](int, TSongNote* note) {
        if (IsGroupContinuedState(note->GetBeamState())) return;
        note->SetStemSetting(0);
    });
    FormatRange(range);
}

void StaffRangeSetHidden(TStaffItemRange& range) {
    if (!range.IsValid()) return;
    const int first = std::max(range.First, 1);
    const int last = std::min(range.Last, range.Staff->GetLastIndex() - 1);
    for (int i = first; i <= last; ++i)
        range.Staff->GetItem(i)->SetVisibility(ivNever);
}

void StaffRangeSetMuted(TStaffItemRange& range) {
    ForEachItem(range, [&](int, TNotatedItem* item) {
        if (item->IsNote()) static_cast<TMusicNote*>(item)->SetMuted(true);
    });
}

void StaffRangeShiftItems(TStaffItemRange& range, int n) {
    if (!range.IsValid()) return;
    if (range.GetCount() == 1) {
        TNotatedItem* item = range.Staff->GetItem(range.First);
        switch (item->GetType()) {
            case ntStaffSpacer:
                static_cast<TStaffSpacer*>(item)->AddWidth(n * -50);
                FormatRange(range);
                return;
            case ntClef: {
                auto* clef = static_cast<TClefData*>(item);
                const int type = (clef->GetClefType() + n) % 5;
                clef->SetClefType(type < 0 ? 4 : type);
                FormatRange(range);
                return;
            }
            case ntBarLine: {
                auto* bar = static_cast<TBarLineData*>(item);
                const int style = (bar->GetStyle() + n) % 11;
                bar->SetStyle(style < 0 ? 10 : style);
                FormatRange(range);
                return;
            }
            default:
                break;
        }
    }
    bool heads = false;
    bool expressions = false;
    ForEachItem(range, [&](int, TNotatedItem* item) {
        heads = heads || item->HasNotes();
        expressions = expressions || item->IsExpression();
    });
    // Positions are signed bytes: a move stops at their ends instead of wrapping round.
    ForEachItem(range, [&](int, TNotatedItem* item) {
        if (heads) {
            if (!item->HasNotes()) return;
            ForEachMember(item, [&](TMusicNote* m) { m->SetStaffPos(ClampStaffPos(m->GetStaffPos() + n)); });
        } else if (expressions) {
            if (item->IsExpression()) item->SetStaffPos(ClampStaffPos(item->GetStaffPos() + n));
        } else if (item->GetType() == ntRest) {
            auto* rest = static_cast<TRestNote*>(item);
            rest->SetVertOffset(n + rest->GetVertOffset());
        }
    });
    FormatRange(range);
}

void StaffRangeDelete(TStaffItemRange& range) {
    if (!range.IsValid()) return;
    // The closing bar line stays: the staff always ends with it.
    range.Staff->DeleteItems(range.First, std::min(range.Last, range.Staff->GetLastIndex() - 1));
    range.Clear();
}

void StaffRangeDeleteAndReformat(TStaffItemRange& range) {
    TMusicStaff* staff = range.Staff;
    const int first = range.First;
    const bool valid = range.IsValid();
    StaffRangeDelete(range);
    if (valid && staff) staff->Reformat(first, first);
}
