// The staff formatting passes. One audit walk from item 0 carries the context; each item it reaches gets its
// derived marks rewritten from the context before it.
#include "score/format/format.h"

#include <algorithm>
#include <vector>

#include "core/file_utils.h"
#include "core/parallel.h"
#include "score/audit_index.h"
#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/staff_range.h"
#include "score/structure_items.h"

namespace {

// The pass running on a staff. A nested request for the same staff (a beam group settled while the pass
// runs) only moves its end: the items up to the group were formatted already and do not depend on the
// group's stems, and the running walk reaches everything after it.
struct TRunningPass {
    TMusicStaff* Staff;
    int End;
    TRunningPass* Outer;
};

// The passes running on this thread, innermost first. Per thread, because the staffs of a score are
// formatted side by side: a nested request always comes from the pass on its own thread.
thread_local TRunningPass* tRunning = nullptr;

// Attributes a rest keeps: Accent, Dotted, Staccato, Slur, DblDotted, Grace, slur direction given,
// Crescendo, Diminuendo.
constexpr uint16_t kRestAttributes = 0x3B17;

bool IsGroupContinuedState(int s) {
    return s == gsMiddle || s == gsEnd;
}

// The state of a note in the beam (g 0) or triplet (g 1) grouping.
int GroupState(const TSongNote& note, int g) {
    return g == 0 ? note.GetBeamState() : note.GetTripletState();
}

int StemSign(const TSongNote& note) {
    return note.GetStemDirSign() > 0 ? 1 : -1;
}

void FormatKey(TKeyData& key, const TAuditNtnIdx& idx) {
    const TStaffPlayState& state = idx.GetPlayState();
    key.SetClefInForce(state.GetClef());
    key.SetPrecedingSignature(static_cast<uint16_t>(state.GetKeySharpMask()),
                              static_cast<uint16_t>(state.GetKeyFlatMask()));
}

void FormatBarLine(TBarLineData& bar, const TAuditNtnIdx& idx) {
    bool holdsMusic = false;
    if (idx.GetLastSongNote() > 0 || idx.GetLastMultiMeasureRest() > 0) {
        const TMusicStaff& staff = *idx.GetStaff();
        for (int i = idx.GetIndex() + 1; i < staff.GetItemCount(); ++i) {
            const TNotatedItem* item = staff.GetItem(i);
            const int type = item->GetType();
            if (type == ntBarLine) break;
            if (IsSongNoteType(type) || type == ntMultiMeasureRest) {
                holdsMusic = true;
                break;
            }
        }
    }
    bar.SetComputedFlag(!holdsMusic);
}

void FormatTempo(TTempoData& tempo, const TAuditNtnIdx& idx) {
    const int variance = idx.GetLastGradualTempo();
    const int previous = idx.GetLastTempo();
    if (variance <= previous) return;
    TMusicStaff* staff = idx.GetStaff();
    // Without an earlier tempo mark the ramp starts from the performance's opening tempo.
    int start = 120;
    if (previous > 0 && staff->GetItem(previous)->GetType() == ntTempo) {
        start = static_cast<const TTempoData*>(staff->GetItem(previous))->GetNormalizedTempo();
    }
    const int end = tempo.GetNormalizedTempo();
    const int span = StaffRangeGetTicks(TStaffItemRange(staff, variance, idx.GetIndex()));
    if (span != 0 && start != end) {
        static_cast<TTempoVariance*>(staff->GetItem(variance))->SetPlaybackRamp(start, end, span);
    }
}

void FormatDynamic(TDynamicLevelData& dynamic, const TAuditNtnIdx& idx) {
    if (dynamic.HasVelocity()) return;
    const TStaffInstrument* instrument = idx.GetInstrumentData();
    if (instrument) dynamic.SetVelocity(instrument->GetDynamicVelocity(dynamic.GetStyle() & 15));
}

void FormatMultiMeasureRest(TMultiMeasureRest& rest, const TAuditNtnIdx& idx) {
    int beats = 4;
    int exponent = 2;
    idx.GetTimeSignature(beats, exponent);
    rest.SetBarLength(beats, exponent);
}

void ResolveTies(TSongNote& note, int type, const TAuditNtnIdx& idx) {
    note.SetTieContinued(false);
    ForEachNote(note, type, [](TMusicNote& m) {
        m.SetTieContinued(false);
        m.ResetAutomaticAccidental();
    });
    if (idx.GetPendingTies().GetCount() == 0) return;
    TPendingTieList open = idx.GetPendingTies();
    ForEachNote(note, type, [&open, &idx](TMusicNote& m) {
        const int pos = m.GetStaffPos();
        const int shown = m.GetShownAccidental();
        TPendingTie entry;
        if (!open.Take(pos, shown, entry, true)) return;
        m.SetTieContinued(true);
        if (shown == acNone) {
            const int played = m.GetPlayedAccidental(idx.GetPlayState());
            TPendingTie other;
            if (played != entry.GetAccidental() || open.Take(pos, shown, other, false)) {
                m.SetAutomaticAccidental(entry.GetAccidental());
            }
        }
        // The end of a tie bends the way its start does.
        if (!m.HasAttribute(naTieDirection)) m.SetTieDownward(!entry.GetFlag());
    });
}

bool CanCompleteGroup(TSongNote& note, int g, const TAuditNtnIdx& idx) {
    TMusicStaff* staff = idx.GetStaff();
    const int index = idx.GetIndex();
    // Notes join a beam, notes and rests a triplet.
    auto isMember = [g](int type) {
        return IsSongNoteType(type) && (g == 1 || (type != ntRest && type != ntRestChord));
    };
    TNotatedItem* item = staff->GetItem(index);
    if (!item || !isMember(item->GetType())) return false;
    if (g == 0 && !note.HasStemSetting()) {
        TStaffItemRange group(staff, index, index);
        StaffRangeExtendByNotes(group, 0, index);
        if (!StaffMakeNoteGroup(group, 0)) return false;
    }
    // A walk along the staff from the note, item by item, while the items let the group go on.
    const bool grace = note.IsGrace();
    int total = 0;
    for (int i = index;;) {
        if (!item) return false;
        const int type = item->GetType();
        if (!TSimpleNtnIdx::ItemCanJoinGroup(*item, type, grace, g)) return false;
        const auto* n = isMember(type) ? static_cast<const TSongNote*>(item) : nullptr;
        if (n && n->IsGrace() == grace) {
            if (g == 0 && n->GetStemSetting() != note.GetStemSetting()) return false;
            // Only a triplet's length is checked.
            if (g == 1) total += n->GetDuration();
            const int state = GroupState(*n, g);
            if (state == gsEnd) return g == 0 || total % 12 == 0;
            if (n != &note && state != gsMiddle) return false;
        }
        if (i >= staff->GetLastIndex()) return false;
        item = staff->GetItem(++i);
    }
}

void CheckGroups(TSongNote& note, TAuditNtnIdx& idx) {
    if (note.GetBeamState() == gsNone && note.GetTripletState() == gsNone) return;
    const uint32_t mask = idx.GetGroupMask(note.IsGrace());
    for (int g = 0; g < 2; ++g) {
        const bool groupOpen = (mask & (1u << g)) != 0;
        const int state = GroupState(note, g);
        if (state == gsFirst) {
            if (groupOpen || !CanCompleteGroup(note, g, idx)) note.SetGroupState(g, gsNone);
        } else if (IsGroupContinuedState(state) && !groupOpen) {
            note.SetGroupState(g, gsNone);
        }
    }
}

// A plain whole rest alone in its bar lasts the bar.
void CheckWholeBarRest(TRestNote& rest, int type, const TAuditNtnIdx& idx) {
    if (type != ntRest || !rest.IsWholeBarRestCandidate()) return;
    const TMusicStaff& staff = *idx.GetStaff();
    for (int i = idx.GetLastBar() + 1; i < staff.GetItemCount(); ++i) {
        const TNotatedItem* item = staff.GetItem(i);
        const int t = item->GetType();
        if (t == ntBarLine) break;
        const bool durational =
            t == ntNote || t == ntRest || t == ntChord || t == ntRestChord || t == ntMultiMeasureRest;
        if (durational && i != idx.GetIndex()) return;
    }
    int beats = 4;
    int unit = 2;
    idx.GetPlayTimeSignature(beats, unit);
    rest.SetBarLength(beats, unit);
}

void FormatSongNote(TSongNote& note, int type, TAuditNtnIdx& idx) {
    const bool isRest = type == ntRest || type == ntRestChord;
    const int open = idx.GetOpenChordTicks();
    note.SetUnderOpenChord(open > 0 && StemSign(note) == idx.GetOpenChordStem());

    ResolveTies(note, type, idx);

    // The group marks are checked before a rest is judged a whole-bar rest: a triplet mark that cannot
    // stand would otherwise keep the rest from filling its bar in this pass and not in the next one.
    if (isRest) {
        auto& rest = static_cast<TRestNote&>(note);
        rest.ClearBarLength();
        rest.SetAttributes(static_cast<uint16_t>(rest.GetAttributes() & kRestAttributes));
    }
    CheckGroups(note, idx);
    if (isRest) {
        auto& rest = static_cast<TRestNote&>(note);
        CheckWholeBarRest(rest, type, idx);
        if (type == ntRestChord) {
            if (TMusicNote* part = static_cast<TRestChord&>(rest).GetPart()) part->SetColor(0);
        }
    }

    if (type != ntNote && note.GetNoteCount() > 1)
        ForEachNote(note, type, [](TMusicNote& m) { m.SetColor(0); });
    if (const int color = note.GetColor(); color != 0) {
        ForEachNote(note, type, [color](TMusicNote& m) {
            if (m.GetMarkNumber() == color) m.SetMarkNumber(0);
        });
    }

    note.UpdateSlurAndTie(idx.GetPlayState(), *idx.GetStaff(), idx.GetIndex());
}

void FormatItem(TAuditNtnIdx& idx) {
    TNotatedItem* item = idx.GetItem();
    if (!item) return;
    const int type = item->GetType();
    switch (type) {
        case ntKey:
            FormatKey(static_cast<TKeyData&>(*item), idx);
            break;
        case ntBarLine:
            FormatBarLine(static_cast<TBarLineData&>(*item), idx);
            break;
        case ntTempo:
            FormatTempo(static_cast<TTempoData&>(*item), idx);
            break;
        case ntDynamic:
            FormatDynamic(static_cast<TDynamicLevelData&>(*item), idx);
            break;
        case ntTempoVariance: {
            auto& variance = static_cast<TTempoVariance&>(*item);
            variance.SetPlaybackRamp(variance.GetRampStartTempo(), variance.GetRampEndTempo(), 0);
            // The ramp is set again at the tempo mark that ends it: the pass goes on at least that far, so
            // that a pass ending in between does not leave the gradual change without its ramp.
            if (!variance.IsPauseStyle() && tRunning) {
                TMusicStaff* staff = idx.GetStaff();
                const int next = staff->FindItemOfType(idx.GetIndex(), ntTempo, 1);
                const TNotatedItem* tempo = staff->GetItem(next);
                if (tempo && tempo->GetType() == ntTempo) tRunning->End = std::max(tRunning->End, next);
            }
            break;
        }
        case ntMultiMeasureRest:
            FormatMultiMeasureRest(static_cast<TMultiMeasureRest&>(*item), idx);
            break;
        default:
            if (IsSongNoteType(type)) FormatSongNote(static_cast<TSongNote&>(*item), type, idx);
            break;
    }
}

void ReformatHook(TMusicStaff& staff, int first, int last) {
    ReformatStaffRange(staff, first, last);
}

}  // namespace

void InstallStaffFormatting() {
    SetStaffReformatHook(&ReformatHook);
    SetFormatStaffItemsHook(&FormatStaffItems);
}

void FormatStaffItems(const TStaffItemRange& range) {
    TMusicStaff* staff = range.Staff;
    if (!staff) return;
    TRunningPass* running = tRunning;
    while (running && running->Staff != staff)
        running = running->Outer;
    // A pass that goes to the staff's end already covers whatever a nested request asks for.
    if (running && running->End >= staff->GetLastIndex()) return;
    int end = std::max(range.Last, 0);
    for (int k = 0; k < 10; ++k)
        end = staff->FindItemOfType(end, ntBarLine, 1);
    if (running) {
        running->End = std::max(running->End, end);
        return;
    }
    TRunningPass pass{staff, end, tRunning};
    tRunning = &pass;
    // The thread's list of passes loses this one however the pass ends: a worker thread lives on after an
    // exception that ends its pass.
    struct TPassEnd {
        TRunningPass& Pass;
        ~TPassEnd() { tRunning = Pass.Outer; }
    } passEnd{pass};
    // One cursor moves on item by item: each step carries the context one item further.
    TAuditNtnIdx idx(staff);
    while (idx.CanStep(1) && idx.GetIndex() <= pass.End) {
        idx.Next();
        FormatItem(idx);
    }
}

void FormatStaff(TMusicStaff& staff, int first, int last) {
    if (first < 0) first = 0;
    if (last < 0) last = staff.GetItemCount();
    TStaffItemRange range(&staff, first, last);
    StaffRangeNormalize(range);
    FormatStaffItems(range);
    if (first == 0 && last == staff.GetItemCount()) staff.NeedsFormat = 0;
}

void ReformatStaffRange(TMusicStaff& staff, int first, int last) {
    if (first < 0) first = 0;
    if (last < 0) last = first;
    for (int k = 0; k < 2; ++k)
        first = staff.FindItemOfType(first, ntBarLine, -1);
    for (int k = 0; k < 2; ++k)
        last = staff.FindItemOfType(last, ntBarLine, 1);
    FormatStaffItems(TStaffItemRange(&staff, first, last));
}

void FormatAllStaffs(TMusicScore* score, bool force) {
    if (!score) return;
    TQSBusyCursor busy;
    std::vector<TMusicStaff*> staffs;
    for (int i = 0; i < score->GetStaffCount(); ++i) {
        TMusicStaff* staff = score->GetStaff(i);
        if (staff && (force || staff->NeedsFormat)) staffs.push_back(staff);
    }
    // The threads take the staffs in this order: the longest go first, so that a long staff does not start
    // last and keep the others waiting for it.
    std::stable_sort(staffs.begin(), staffs.end(), [](const TMusicStaff* a, const TMusicStaff* b) {
        return a->GetItemCount() > b->GetItemCount();
    });
    // A staff's pass reads and writes that staff's items only (and reads the score), so the staffs are
    // formatted side by side. The cursor stays with the calling thread; with no staff to format, the
    // workers are not woken.
    qsm::ParallelFor(staffs.size(), [&staffs](size_t i) { FormatStaff(*staffs[i], -1, -1); });
}
