// The staff: settings, item storage and access, finders, play-order walks and the import clean-ups that
// need no formatting.
#include "score/music_staff.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>

#include "score/lyrics.h"
#include "score/pitch_ticks.h"
#include "score/song_note.h"
#include "score/staff_util.h"
#include "score/structure_items.h"

namespace qsm {

void CopyBounded(char* dst, const char* src, int size) {
    if (size <= 0) return;
    if (!src) src = "";
    const size_t n = strnlen(src, static_cast<size_t>(size - 1));
    memcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace qsm

namespace {

TStaffReformatFn gReformat = nullptr;

bool IsTimedSongNote(const TNotatedItem* item) {
    if (!item) return false;
    const int t = item->GetType();
    return t == ntNote || t == ntRest || t == ntChord || t == ntRestChord;
}

bool IsSplittable(const TNotatedItem* item) {
    if (!item) return false;
    const int t = item->GetType();
    return t == ntNote || t == ntRest || t == ntChord;
}

// A safety net for play-order walks: a staff whose repeats and jumps never end still stops.
int WalkStepLimit(int itemCount) {
    return 16 * itemCount + 1000;
}

}  // namespace

TStaffReformatFn SetStaffReformatHook(TStaffReformatFn fn) {
    TStaffReformatFn old = gReformat;
    gReformat = fn;
    return old;
}

void TStaffPlayState::InitFromStaff(const TMusicStaff& staff) {
    Reset();
    SetChannel(staff.Channel);
    SetPort(staff.Device);
    SetTranspose(staff.Instrument.GetTranspose());
}

TMusicStaff::TMusicStaff() {
    qsm::CopyBounded(Name, "Staff", sizeof(Name));
    Label[0] = 0;
    LabelAbbr[0] = 0;
    qsm::CopyBounded(Group, "Standard", sizeof(Group));
    // Both bar lines are made before either goes into the list: a constructor that throws runs no
    // destructor, so the first must not be left in the list when the second cannot be made.
    auto open = std::make_unique<TBarLineData>(bsSingle, 1);
    auto close = std::make_unique<TBarLineData>(bsSectionClose, 1);
    Items.reserve(1025);
    Items.push_back(open.release());
    Items.push_back(close.release());
}

TMusicStaff::~TMusicStaff() {
    while (!Items.empty()) {
        TNotatedItem* item = Items.back();
        Items.pop_back();
        delete item;
    }
    delete Lyrics;
}

void TMusicStaff::SetName(const char* text) {
    qsm::CopyBounded(Name, text, sizeof(Name));
}
void TMusicStaff::SetLabel(const char* text) {
    qsm::CopyBounded(Label, text, sizeof(Label));
}
void TMusicStaff::SetLabelAbbr(const char* text) {
    qsm::CopyBounded(LabelAbbr, text, sizeof(LabelAbbr));
}
void TMusicStaff::SetGroup(const char* text) {
    qsm::CopyBounded(Group, text, sizeof(Group));
}

const char* TMusicStaff::GetLabel(bool full) const {
    return (LabelAbbr[0] && !full) ? LabelAbbr : Label;
}

bool TMusicStaff::IsUngrouped() const {
    return strcmp(Group, "_") == 0;
}

void TMusicStaff::SetLyrics(TStaffLyrics* lyrics) {
    if (lyrics == Lyrics) return;
    delete Lyrics;
    Lyrics = lyrics;
}

void TMusicStaff::SetEndingBar(int style) {
    EndingBar = style;
    TNotatedItem* last = GetLastItem();
    if (!last || last->GetType() != ntBarLine || GetItemCount() < 2) return;
    auto* bar = static_cast<TBarLineData*>(last);
    int barStyle = bsSectionClose;
    switch (style) {
        case 1:
            barStyle = bsMasterRepeatClose;
            break;
        case 2:
            barStyle = bsSingle;
            break;
        case 3:
            barStyle = bsDouble;
            break;
        case 4:
            barStyle = bsTransparent;
            break;
        default:
            break;
    }
    bar->SetStyle(barStyle);
    bar->SetRepeat(1);
}

void TMusicStaff::SetBoundaries(int top, int bottom) {
    const int lines = Lines;
    if (top > -lines) {
        top = -lines;
    } else if (top < -100) {
        top = -100;
    }
    if (bottom < lines) {
        bottom = lines;
    } else if (bottom > 100) {
        bottom = 100;
    }
    BoundaryTop = top;
    BoundaryBottom = bottom;
}

void TMusicStaff::SetLineCount(int lines) {
    Lines = static_cast<uint8_t>(lines);
    SetBoundaries(BoundaryTop, BoundaryBottom);
}

int TMusicStaff::GetTopLinePosition() const {
    return Lines == 0 ? 0 : -2 * ((Lines - 1) / 2);
}

int TMusicStaff::GetBottomLinePosition() const {
    return Lines <= 1 ? 0 : (Lines & ~1);
}

int TMusicStaff::ItemDuration(int index) const {
    const TNotatedItem* item = GetItem(index);
    return item ? item->GetDuration() : 0;
}

void TMusicStaff::InsertItem(TNotatedItem* item, int index) {
    if (!item) return;
    std::unique_ptr<TNotatedItem> owned(item);
    index = std::clamp(index, 0, GetItemCount());
    Items.insert(Items.begin() + index, item);
    owned.release();
}

TNotatedItem* TMusicStaff::DetachItem(int index) {
    if (index <= 0 || index >= GetLastIndex()) return nullptr;
    TNotatedItem* item = Items[static_cast<size_t>(index)];
    Items.erase(Items.begin() + index);
    return item;
}

TNotatedItem* TMusicStaff::DetachItemAndReformat(int index) {
    TNotatedItem* item = DetachItem(index);
    if (item) Reformat(index, -1);
    return item;
}

bool TMusicStaff::DeleteItem(int index) {
    TNotatedItem* item = DetachItem(index);
    delete item;
    return item != nullptr;
}

void TMusicStaff::DeleteItems(int first, int last) {
    if (first < 1) return;
    // The closing bar line stays: the staff always ends with it.
    last = std::min(last, GetLastIndex() - 1);
    if (last < first) return;
    for (int i = last; i >= first; --i)
        delete Items[static_cast<size_t>(i)];
    Items.erase(Items.begin() + first, Items.begin() + last + 1);
}

void TMusicStaff::InsertItemAtTime(TNotatedItem* item, int ticks) {
    std::unique_ptr<TNotatedItem> owned(item);  // the staff's also when a split on the way throws
    int t = 0;
    int i = 1;
    while (t < ticks && i < GetLastIndex()) {
        if (t > ticks - 1536) SplitItemAt(i, t, ticks);
        t += ItemDuration(i);
        ++i;
    }
    InsertItem(owned.release(), i);
}

int TMusicStaff::CountItemsOfType(int type) const {
    return static_cast<int>(std::count_if(
        Items.begin(), Items.end(), [type](const TNotatedItem* item) { return item->GetType() == type; }));
}

bool TMusicStaff::HasNotes() const {
    return std::any_of(Items.begin(), Items.end(), [](const TNotatedItem* item) { return item->IsNote(); });
}

int TMusicStaff::ChangeSpacerWidth(int index, int width) {
    TNotatedItem* item = GetItem(index);
    if (!item || item->GetType() != ntStaffSpacer) item = GetItem(index - 1);
    if (!item || item->GetType() != ntStaffSpacer) return 0;
    auto* spacer = static_cast<TStaffSpacer*>(item);
    const int before = spacer->GetWidth();
    spacer->AddWidth(width);
    return spacer->GetWidth() - before;
}

bool TMusicStaff::AddNoteToItem(TMusicNote* note, int index) {
    TNotatedItem* item = GetItem(index);
    if (!note || !item) return false;
    switch (item->GetType()) {
        case ntNote: {
            auto* old = static_cast<TMusicNote*>(item);
            TMusicNote before;
            before.AssignNote(*old);
            auto* chord = new TChordData(old);
            if (chord->GetNoteCount() != 1 || !chord->AddNote(note)) {
                chord->DetachAllNotes();
                delete chord;
                old->AssignNote(before);
                return false;
            }
            Items[static_cast<size_t>(index)] = chord;
            break;
        }
        case ntRest: {
            auto* rest = static_cast<TRestNote*>(item);
            auto* restChord = new TRestChord(rest->GetDur(), rest->GetAttributes());
            restChord->CopyFrom(*rest);
            if (!restChord->AddNote(note)) {
                delete restChord;
                return false;
            }
            Items[static_cast<size_t>(index)] = restChord;
            delete rest;
            break;
        }
        case ntChord:
            if (!static_cast<TChordData*>(item)->AddNote(note)) return false;
            break;
        case ntRestChord:
            if (!static_cast<TRestChord*>(item)->AddNote(note)) return false;
            break;
        default:
            return false;
    }
    Reformat(index, -1);
    return true;
}

bool TMusicStaff::RemoveNoteAt(int index, int position) {
    TNotatedItem* item = GetItem(index);
    if (!item) return false;
    TMusicNote* note = item->FindNoteAtStaffPos(position);
    if (!note) return false;
    if (item->GetType() == ntChord) {
        auto* chord = static_cast<TChordData*>(item);
        if (!chord->RemoveNote(note)) return false;
        delete note;
        if (chord->GetNoteCount() == 1) {
            TMusicNote* remaining = chord->DetachAllNotes().front();
            remaining->SetChordMember(false);
            remaining->SetHeadColumn(0);
            remaining->SetColor(chord->GetColor());
            Items[static_cast<size_t>(index)] = remaining;
            delete chord;
        }
    } else if (item->GetType() == ntRestChord) {
        auto* restChord = static_cast<TRestChord*>(item);
        if (!restChord->RemoveNote(note)) return false;
        delete note;
        if (!restChord->HasNotes()) {
            auto* rest = new TRestNote(restChord->GetDur(), restChord->GetAttributes());
            rest->CopyFrom(*restChord);
            Items[static_cast<size_t>(index)] = rest;
            delete restChord;
        }
    } else {
        return false;
    }
    Reformat(index, -1);
    return true;
}

void TMusicStaff::GetTimeSignatureAt(int index, int& beats, int& exponent) const {
    beats = 4;
    exponent = 2;
    for (int i = std::min(index, GetItemCount()) - 1; i >= 0; --i) {
        const TNotatedItem* item = GetItem(i);
        if (item->GetType() == ntTimeSignature) {
            const auto* ts = static_cast<const TTimeSignatureData*>(item);
            beats = ts->GetBeats();
            exponent = ts->GetBeatValueExponent();
            return;
        }
    }
}

void TMusicStaff::DissolveGroupAt(int grouping, int index) {
    TNotatedItem* item = GetItem(index);
    if (!item || !item->IsSongNote()) return;
    auto* start = static_cast<TSongNote*>(item);
    if (start->GetGroupState(grouping) == gsNone) return;
    const bool grace = start->IsGrace();
    auto sameKind = [&](int i) {
        const TNotatedItem* it = GetItem(i);
        return it && it->IsSongNote() && static_cast<const TSongNote*>(it)->IsGrace() == grace;
    };
    int i = index;
    while (static_cast<TSongNote*>(GetItem(i))->GetGroupState(grouping) != gsFirst) {
        int j = i - 1;
        while (j > 0 && !sameKind(j))
            --j;
        if (j <= 0 || static_cast<TSongNote*>(GetItem(j))->GetGroupState(grouping) == gsNone) break;
        i = j;
    }
    for (; i < GetLastIndex(); ++i) {
        if (!sameKind(i)) continue;
        auto* note = static_cast<TSongNote*>(GetItem(i));
        const int state = note->GetGroupState(grouping);
        note->SetGroupState(grouping, gsNone);
        if (state == gsEnd) break;
    }
}

int TMusicStaff::FindItemOfType(int start, int type, int step) const {
    int i = start + step;
    while (i > 0 && i < GetLastIndex()) {
        if (Items[static_cast<size_t>(i)]->GetType() == type) return i;
        i += step;
    }
    return i;
}

int TMusicStaff::FindSongNote(int start, int step) const {
    int i = start + step;
    while (i > 0 && i < GetLastIndex()) {
        if (Items[static_cast<size_t>(i)]->IsSongNote()) return i;
        i += step;
    }
    return std::clamp(i, 0, std::max(0, GetLastIndex()));
}

int TMusicStaff::FindBarLineFromClamped(int start, int step) const {
    return std::clamp(FindBarLineFrom(start, step), 1, std::max(1, GetLastIndex()));
}

int TMusicStaff::FindNthBarLine(int n) const {
    int number = -1;
    for (int i = 0; i < GetItemCount(); ++i) {
        if (Items[static_cast<size_t>(i)]->GetType() != ntBarLine) continue;
        if (++number == n) return i;
    }
    return GetLastIndex();
}

int TMusicStaff::FindItemAtTime(int ticks, int start, int startTicks) const {
    if (ticks <= 0) return 0;
    start = std::clamp(start, 0, std::max(0, GetLastIndex()));
    if (startTicks == ticks) return start;
    int t = startTicks;
    int i = start;
    if (startTicks < ticks) {
        while (t < ticks && i < GetLastIndex()) {
            t += ItemDuration(i);
            ++i;
        }
        return i;
    }
    while (i > 0) {
        --i;
        t -= ItemDuration(i);
        if (t < ticks) return i + 1;
    }
    return 0;
}

int TMusicStaff::GetDurationBetween(int to, int from, int fromTicks) const {
    const int last = std::max(0, GetLastIndex());
    to = std::clamp(to, 0, last);
    from = std::clamp(from, 0, last);
    if (to == 0) return 0;
    int t = fromTicks;
    if (from <= to) {
        for (int i = from; i < to; ++i)
            t += ItemDuration(i);
    } else {
        for (int i = to; i < from; ++i)
            t -= ItemDuration(i);
    }
    return t;
}

void TMusicStaff::FindContextItems(int index, int& clef, int& timeSignature, int& key) {
    TStaffContextWalk walk;
    FindContextItems(index, clef, timeSignature, key, walk);
}

void TMusicStaff::FindContextItems(int index, int& clef, int& timeSignature, int& key,
                                   TStaffContextWalk& walk) {
    if (!walk.Started || index < walk.Target) {
        walk = TStaffContextWalk();
        walk.State.InitFromStaff(*this);
        walk.Started = true;
    }
    walk.Target = index;
    const int limit = WalkStepLimit(GetItemCount());
    int& i = walk.Next;
    // The walk ends at index or at the first item past it: an item that play order skips (an ending not
    // played on any pass) has the context in force where the walk jumped over it, not the staff's last one.
    for (; walk.Steps < limit && i >= 0 && i < GetItemCount() && i < index; ++walk.Steps) {
        TNotatedItem* item = Items[static_cast<size_t>(i)];
        switch (item->GetType()) {
            case ntClef:
                walk.Clef = i;
                break;
            case ntTimeSignature:
                walk.TimeSignature = i;
                break;
            case ntKey:
                walk.Key = i;
                break;
            default:
                break;
        }
        const int next = item->GetNextPlayIndex(walk.State, *this, i);
        item->UpdatePlayState(walk.State);
        i = next;
    }
    clef = walk.Clef;
    timeSignature = walk.TimeSignature;
    key = walk.Key;
}

void TMusicStaff::BuildPlayStateAt(int index, TStaffPlayState& state) {
    state.InitFromStaff(*this);
    const int limit = WalkStepLimit(GetItemCount());
    int i = 0;
    for (int steps = 0; steps < limit && i >= 0 && i < GetItemCount() && i != index; ++steps) {
        TNotatedItem* item = Items[static_cast<size_t>(i)];
        const int next = item->GetNextPlayIndex(state, *this, i);
        item->UpdatePlayState(state);
        i = next;
    }
}

int TMusicStaff::SuggestClef() const {
    int sum = 0;
    for (const TNotatedItem* item : Items) {
        if (item->IsNote()) sum += item->GetMaxStaffPos() - 8;
    }
    if (sum <= 0) return ctTreble;
    return Channel == 9 ? ctPercussion : ctBass;
}

namespace {

// The staff's items, as the run and split helpers below see them.
class TStaffItems {
public:
    explicit TStaffItems(TMusicStaff& staff) : Staff(staff) {}
    TNotatedItem* Get(int index) const { return Staff.GetItem(index); }
    bool IsFull() const { return Staff.IsFull(); }
    void Insert(TNotatedItem* item, int index) { Staff.InsertItem(item, index); }
    void Delete(int first, int last) { Staff.DeleteItems(first, last); }

private:
    TMusicStaff& Staff;
};

// The items of a staff during a forward pass that merges, splits and deletes items at and just after its
// position. The items before the position stay in the staff's list; the others are held in reverse order
// (the item at the position last), so that a change there moves only the few items between the position
// and the change, not the whole rest of a long staff. Indexes are those of the whole staff.
class TItemWalk {
public:
    explicit TItemWalk(std::vector<TNotatedItem*>& items) : Done(items) {
        Ahead.assign(items.rbegin(), items.rend());
        Done.clear();
    }
    // Puts the items not walked yet back into the staff, also when the pass stops early.
    ~TItemWalk() { Done.insert(Done.end(), Ahead.rbegin(), Ahead.rend()); }
    TItemWalk(const TItemWalk&) = delete;
    TItemWalk& operator=(const TItemWalk&) = delete;

    int Count() const { return static_cast<int>(Done.size() + Ahead.size()); }
    int GetLastIndex() const { return Count() - 1; }
    // Pieces that the pass has planned but not inserted yet count as items.
    bool IsFull() const { return Count() + Planned >= kStaffFullItems; }
    void SetPlanned(int pieces) { Planned = pieces; }
    TNotatedItem* Get(int index) const {
        if (index < 0) return nullptr;
        const size_t i = static_cast<size_t>(index);
        if (i < Done.size()) return Done[i];
        const size_t k = i - Done.size();
        return k < Ahead.size() ? Ahead[Ahead.size() - 1 - k] : nullptr;
    }
    // Steps the position on by one item.
    void Advance() {
        Done.push_back(Ahead.back());
        Ahead.pop_back();
    }
    // As TMusicStaff::InsertItem, at or after the position. The staff's list keeps room for every item, so
    // that stepping on and putting the items back at the end (in a destructor, also while an exception
    // unwinds) never needs memory.
    void Insert(TNotatedItem* item, int index) {
        if (!item) return;
        std::unique_ptr<TNotatedItem> owned(item);
        const size_t count = Done.size() + Ahead.size() + 1;
        if (Done.capacity() < count) Done.reserve(std::max(count, 2 * Done.capacity()));
        const size_t k =
            static_cast<size_t>(std::clamp(index - Position(), 0, static_cast<int>(Ahead.size())));
        Ahead.insert(Ahead.end() - static_cast<std::ptrdiff_t>(k), item);
        owned.release();
    }
    // As TMusicStaff::DeleteItems, at or after the position: the opening and closing bar lines stay.
    void Delete(int first, int last) {
        if (first < 1) return;
        last = std::min(last, GetLastIndex() - 1);
        if (last < first) return;
        const auto from = Ahead.end() - (last - Position() + 1);
        const auto to = Ahead.end() - (first - Position());
        for (auto it = from; it != to; ++it)
            delete *it;
        Ahead.erase(from, to);
    }

private:
    int Position() const { return static_cast<int>(Done.size()); }

    std::vector<TNotatedItem*>& Done;
    std::vector<TNotatedItem*> Ahead;
    int Planned = 0;
};

template <class List>
bool ItemsCanMerge(const List& items, int a, int b) {
    const TNotatedItem* first = items.Get(a);
    const TNotatedItem* second = items.Get(b);
    if (!first || !IsTimedSongNote(second)) return false;
    if (first->GetType() != second->GetType()) return false;
    if (first->GetType() == ntRest) return true;
    if (!HasTie(first)) return false;
    if (first->GetType() == ntNote) return first->GetStaffPos() == second->GetStaffPos();
    if (first->GetType() == ntChord) {
        if (first->GetNoteCount() != second->GetNoteCount()) return false;
        for (int i = 0; i < second->GetNoteCount(); ++i) {
            const TMusicNote* n = first->FindNoteAtStaffPos(second->GetNote(i)->GetStaffPos());
            if (!n || !n->HasAttribute(naTie)) return false;
        }
        return true;
    }
    return false;
}

template <class List>
int ItemDurationIn(const List& items, int index) {
    const TNotatedItem* item = items.Get(index);
    return item ? item->GetDuration() : 0;
}

// The run's duration; with enough, the walk stops once the total reaches it.
template <class List>
int RunDurationIn(const List& items, int index, int enough = INT_MAX) {
    if (!IsTimedSongNote(items.Get(index))) return 0;
    int total = ItemDurationIn(items, index);
    for (int i = index; total < enough && ItemsCanMerge(items, i, i + 1); ++i)
        total += ItemDurationIn(items, i + 1);
    return total;
}

template <class List>
void MergeRunIn(List& items, int index) {
    int n = 0;
    while (ItemsCanMerge(items, index + n, index + n + 1))
        ++n;
    if (index < 1) return;
    items.Delete(index, index + n - 1);
}

template <class List>
int SplitToDurationIn(List& items, int index, int ticks) {
    TNotatedItem* item = items.Get(index);
    if (!IsSplittable(item)) return 0;
    int remaining = ticks - SetDurationFromTicks(*item, ticks, false);
    int pieces = 1;
    int previous = index;
    // Remainders shorter than the shortest duration cannot be written and are dropped.
    while (remaining >= ShortestFittingTicks(false) && !items.IsFull()) {
        TNotatedItem* piece = MakeTiedContinuation(*items.Get(previous));
        remaining -= SetDurationFromTicks(*piece, remaining, false);
        items.Insert(piece, previous + 1);
        ++previous;
        ++pieces;
    }
    return pieces;
}

template <class List>
void SplitItemAtIn(List& items, int index, int itemStart, int splitTime) {
    TNotatedItem* item = items.Get(index);
    if (items.IsFull() || itemStart >= splitTime || !IsSplittable(item)) return;
    const int total = item->GetDuration();
    if (itemStart + total <= splitTime) return;
    const int pieces = SplitToDurationIn(items, index, splitTime - itemStart);
    const int lastPiece = index + pieces - 1;
    const int rest = total - (splitTime - itemStart);
    if (rest < ShortestFittingTicks(false) || items.IsFull()) return;
    TNotatedItem* continuation = MakeTiedContinuation(*items.Get(lastPiece));
    items.Insert(continuation, lastPiece + 1);
    SplitToDurationIn(items, lastPiece + 1, rest);
}

}  // namespace

bool TMusicStaff::CanMerge(int a, int b) const {
    return ItemsCanMerge(TStaffItems(const_cast<TMusicStaff&>(*this)), a, b);
}

int TMusicStaff::GetRunDuration(int index) const {
    return RunDurationIn(TStaffItems(const_cast<TMusicStaff&>(*this)), index);
}

void TMusicStaff::MergeRun(int index) {
    TStaffItems items(*this);
    MergeRunIn(items, index);
}

int TMusicStaff::SplitToDuration(int index, int ticks) {
    TStaffItems items(*this);
    return SplitToDurationIn(items, index, ticks);
}

void TMusicStaff::SplitItemAt(int index, int itemStart, int splitTime) {
    TStaffItems items(*this);
    SplitItemAtIn(items, index, itemStart, splitTime);
}

namespace {

// What SplitToDurationIn does with a length, worked out without items: the first piece's ticks, the number
// of pieces and the ticks of all of them (remainders too short for a piece are dropped).
struct TSplitPlan {
    int First = 0;
    int Pieces = 0;
    int Total = 0;
};

TSplitPlan PlanSplit(int ticks) {
    TSplitPlan plan;
    plan.First = FittingTicks(ticks, false);
    plan.Pieces = 1;
    plan.Total = plan.First;
    int remaining = ticks - plan.First;
    // Every length from the longest piece up gets the longest piece, so those are counted at once.
    const int longest = FittingTicks(INT_MAX, false);
    if (remaining >= longest) {
        const int whole = remaining / longest;
        plan.Pieces += whole;
        plan.Total += whole * longest;
        remaining -= whole * longest;
    }
    while (remaining >= ShortestFittingTicks(false)) {
        const int piece = FittingTicks(remaining, false);
        remaining -= piece;
        plan.Total += piece;
        ++plan.Pieces;
    }
    return plan;
}

// A run that the regrouping pass has split but not inserted in full: the item at Index is its first
// continuation and stands for it and the pieces after it, Ticks long in all. Each later item of a long
// run would otherwise merge all the pieces after it again and split them into the same pieces.
struct TPlannedRun {
    int Index = -1;
    int Ticks = 0;
};

// Inserts the planned pieces: the same pieces, with the same ties, as splitting the whole run at once.
void InsertPlannedRun(TItemWalk& items, TPlannedRun& run) {
    if (run.Index < 0) return;
    items.SetPlanned(0);
    SplitToDurationIn(items, run.Index, run.Ticks);
    run = TPlannedRun();
}

}  // namespace

void TMusicStaff::RegroupImportedRests(bool compound, int maxGap) {
    // Every change of this pass is at or just after item i, so it walks the items with TItemWalk.
    TItemWalk items(Items);
    TPlannedRun planned;
    // Runs of at least three of the longest pieces are planned.
    const int longRun = 3 * FittingTicks(INT_MAX, false);
    int beat = BeatTicks(4, 2, compound);
    int t = 0;
    int beatStart = 0;
    int nextBeat = beat;
    for (int i = 0; i < items.GetLastIndex() && !items.IsFull(); ++i) {
        TNotatedItem* item = items.Get(i);
        const int type = item->GetType();
        if (type == ntTimeSignature) {
            beat = TimeSignatureBeatTicks(*static_cast<TTimeSignatureData*>(item), compound);
            beatStart = t;
            nextBeat = beatStart + beat;
        } else if (type == ntBarLine) {
            beatStart = t;
            nextBeat = beatStart + beat;
        } else if (IsSplittable(item)) {
            // The run from i: its duration counts the planned pieces in; last is the index of its last item.
            int run = i == planned.Index ? planned.Ticks : item->GetDuration();
            int last = i;
            while (ItemsCanMerge(items, last, last + 1)) {
                ++last;
                run += last == planned.Index ? planned.Ticks : ItemDurationIn(items, last);
            }
            // A planned run that this run does not reach is inserted before anything moves in front of it.
            if (planned.Index > last) InsertPlannedRun(items, planned);
            if (item->GetDuration() < run) {
                // Merging deletes the planned pieces with the items of the run before its last.
                if (planned.Index >= 0) {
                    planned = TPlannedRun();
                    items.SetPlanned(0);
                }
                items.Delete(i, last - 1);
                item = items.Get(i);
            }
            const TNotatedItem* next = items.Get(i + 1);
            if (next && next->GetType() == ntRest) {
                // Ticks from the end of this run to the next beat boundary (a run may exceed 32 beats).
                int gap = (32 * beat - (run + t - beatStart)) % beat;
                if (gap < 0) gap += beat;
                // Only a rest run shorter than the gap matters here: a long one is not walked to its end.
                int restRun = RunDurationIn(items, i + 1, gap);
                gap = std::min(gap, restRun);
                if (gap >= maxGap) gap = 0;
                if (gap > 0) {
                    restRun = RunDurationIn(items, i + 1);
                    MergeRunIn(items, i + 1);
                    restRun -= gap;
                    if (restRun == 0) {
                        items.Delete(i + 1, i + 1);
                    } else {
                        SplitToDurationIn(items, i + 1, restRun);
                    }
                    run += gap;
                }
            }
            // Notes and rests continue alike piece after piece, so a long run is split into its first piece
            // and one continuation standing for the rest, when all of its pieces fit into the staff. A short
            // run is split at once: planning would cost more than it saves.
            const TSplitPlan plan =
                (type == ntNote || type == ntRest) && run >= longRun ? PlanSplit(run) : TSplitPlan();
            if (plan.Pieces > 2 && items.Count() + plan.Pieces - 1 <= kStaffFullItems) {
                SetDurationFromTicks(*item, run, false);
                TNotatedItem* continuation = MakeTiedContinuation(*item);
                SetDurationFromTicks(*continuation, run - plan.First, false);
                items.Insert(continuation, i + 1);
                planned.Index = i + 1;
                planned.Ticks = plan.Total - plan.First;
                items.SetPlanned(plan.Pieces - 2);
            } else {
                SplitToDurationIn(items, i, run);
            }
            if (beatStart < t) {
                const int before = items.Count();
                SplitItemAtIn(items, i, t, nextBeat);
                if (planned.Index >= 0) planned.Index += items.Count() - before;
            }
        }
        t += ItemDurationIn(items, i);
        while (nextBeat <= t && beat > 0) {
            beatStart = nextBeat;
            nextBeat = beatStart + beat;
        }
        items.Advance();
    }
    InsertPlannedRun(items, planned);
}

void TMusicStaff::TruncateAtTime(int ticks) {
    if (ticks < 192) return;
    int t = 0;
    int i = 1;
    while (i < GetLastIndex() && t + ItemDuration(i) <= ticks) {
        t += ItemDuration(i);
        ++i;
    }
    if (i < GetLastIndex()) DeleteItems(i, GetLastIndex() - 1);
}

void TMusicStaff::Reformat(int first, int last) {
    if (gReformat) gReformat(*this, first, last);
}
