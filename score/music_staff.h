// One staff of a score: its ordered items (owned), its lyrics, names and group, play settings and drawing
// settings, with the item operations that readers, importers and editors use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/small_pool.h"
#include "score/base/play_state.h"
#include "score/notated_item.h"

class TStaffLyrics;
class TMusicNote;

// Staff flag bits.
enum : uint8_t {
    STAFF_BRACKET = 0x01,
    STAFF_BRACE = 0x02,
    STAFF_CONNECT_BARS = 0x04,
    STAFF_LAYER = 0x08,
    STAFF_MULTIPART_DOTS = 0x10,
    STAFF_STYLE_MASK = 0xE0,
};

constexpr int kStaffMaxItems = 32002;
constexpr int kStaffFullItems = 31902;

class TMusicStaff;

// A play-order walk from item 0 that a later call can carry on: the context items for an index at or after
// the one the walk last stopped for come from where it stopped, so walking a staff system by system costs
// one walk in all.
struct TStaffContextWalk {
    int Next = 0;  // index of the next item of the walk
    int Steps = 0;
    int Target = 0;  // the index the walk last stopped for
    int Clef = -1;
    int TimeSignature = -1;
    int Key = -1;
    bool Started = false;
    TStaffPlayState State;
};

// Reformatting a range of a staff after an edit belongs to the formatting library, which installs it here;
// last -1 means "to the end of the staff". Without one installed, edits leave the derived marks as they are.
using TStaffReformatFn = void (*)(TMusicStaff& staff, int first, int last);
TStaffReformatFn SetStaffReformatHook(TStaffReformatFn fn);

class TMusicStaff {
public:
    TMusicStaff();
    ~TMusicStaff();
    TMusicStaff(const TMusicStaff&) = delete;
    TMusicStaff& operator=(const TMusicStaff&) = delete;

    // Names and settings.
    const char* GetName() const { return Name; }
    void SetName(const char* text);
    const char* GetLabelText() const { return Label; }
    void SetLabel(const char* text);
    const char* GetLabelAbbr() const { return LabelAbbr; }
    void SetLabelAbbr(const char* text);
    const char* GetGroup() const { return Group; }
    void SetGroup(const char* text);
    const char* GetLabel(bool full) const;
    bool IsUngrouped() const;
    bool IsMultiPartDotPlacement() const { return (StaffFlags & STAFF_MULTIPART_DOTS) != 0; }
    int GetStyle() const { return StaffFlags >> 5; }
    void SetStyle(int style) { StaffFlags = static_cast<uint8_t>((StaffFlags & 0x1F) | ((style & 7) << 5)); }
    int GetEndingBar() const { return EndingBar; }
    void SetEndingBar(int style);
    void SetBoundaries(int top, int bottom);
    void GetBoundaries(int& top, int& bottom) const {
        top = BoundaryTop;
        bottom = BoundaryBottom;
    }
    int GetBoundaryTop() const { return BoundaryTop; }
    int GetBoundaryBottom() const { return BoundaryBottom; }
    void SetLineCount(int lines);
    int GetLineCount() const { return Lines; }
    int GetTopLinePosition() const;
    int GetBottomLinePosition() const;
    int GetColor() const { return Color; }
    void SetColor(int c) { Color = static_cast<int8_t>(c); }

    TStaffLyrics* GetLyrics() const { return Lyrics; }
    // Installs the lyrics (owned; the old ones are deleted).
    void SetLyrics(TStaffLyrics* lyrics);
    TStaffLyrics* DetachLyrics() {
        TStaffLyrics* l = Lyrics;
        Lyrics = nullptr;
        return l;
    }

    // Item access.
    int GetItemCount() const { return static_cast<int>(Items.size()); }
    int GetLastIndex() const { return GetItemCount() - 1; }
    // Null for an index out of range. Inline: every walk over a staff asks for each item.
    TNotatedItem* GetItem(int index) const {
        return static_cast<size_t>(index) < Items.size() ? Items[static_cast<size_t>(index)] : nullptr;
    }
    TNotatedItem* GetLastItem() const { return GetItem(GetLastIndex()); }
    bool IsFull() const { return GetItemCount() >= kStaffFullItems; }
    int GetFreeItemSlots() const { return kStaffMaxItems - GetItemCount(); }
    // Inserts before the item at index (index = count appends); the staff takes ownership, also when the
    // insertion throws (the item is then deleted).
    void InsertItem(TNotatedItem* item, int index);
    // Inserts just before the last item (the closing bar line), as InsertItem(item, GetLastIndex()) does;
    // inline, for the file reader, which fills staves this way item after item.
    void InsertBeforeLastItem(TNotatedItem* item) {
        if (!item || Items.empty() || Items.size() == Items.capacity()) {
            InsertItem(item, GetLastIndex());
            return;
        }
        TNotatedItem* last = Items.back();
        Items.back() = item;
        Items.push_back(last);
    }
    // Makes room for count items in all, so that filling the staff up to there moves no item.
    void ReserveItems(int count) { Items.reserve(static_cast<size_t>(count)); }
    // Removes and returns an item; null for index 0, the last index and indexes out of range.
    TNotatedItem* DetachItem(int index);
    TNotatedItem* DetachItemAndReformat(int index);
    bool DeleteItem(int index);
    // Deletes the items first..last; the opening and the closing bar lines are never deleted.
    void DeleteItems(int first, int last);
    // Inserts at the time, splitting the item that spans it; the staff takes ownership as InsertItem does.
    void InsertItemAtTime(TNotatedItem* item, int ticks);
    // Inserts, re-forms the beamed group around a note, rest or chord without a stored stem direction, and
    // reformats the staff from the item on.
    void InsertItemAndReformat(TNotatedItem* item, int index);
    void InsertItemAtTimeAndReformat(TNotatedItem* item, int ticks);
    int CountItemsOfType(int type) const;
    bool HasNotes() const;
    int ChangeSpacerWidth(int index, int width);
    // Adds a note to the note, rest, chord or rest chord at index; false when refused (the caller keeps it).
    bool AddNoteToItem(TMusicNote* note, int index);
    bool RemoveNoteAt(int index, int position);
    void GetTimeSignatureAt(int index, int& beats, int& exponent) const;
    void DissolveGroupAt(int grouping, int index);
    // When the song note at index stands inside a group of the grouping that its neighbours hold open, the
    // group is made again with it.
    void RegroupAt(int grouping, int index);

    // Finders.
    int FindItemOfType(int start, int type, int step) const;
    int FindSongNote(int start, int step) const;
    int FindBarLineFrom(int start, int step) const { return FindItemOfType(start, ntBarLine, step); }
    int FindBarLineFromClamped(int start, int step) const;
    int FindNthBarLine(int n) const;
    int FindItemAtTime(int ticks, int start, int startTicks) const;
    int GetDurationBetween(int to, int from, int fromTicks) const;

    // Play-order walks.
    void FindContextItems(int index, int& clef, int& timeSignature, int& key);
    // The same, carried on from the walk's state when index is not before the index it last stopped for
    // (else walked again from item 0).
    void FindContextItems(int index, int& clef, int& timeSignature, int& key, TStaffContextWalk& walk);
    void BuildPlayStateAt(int index, TStaffPlayState& state);
    // Walks in play order from the special ending at or before index (item 0 when none) to index; the ticks
    // the walk took.
    int WalkToEnding(int index);

    // Clean-up of imported notation.
    int SuggestClef() const;
    bool CanMerge(int a, int b) const;
    int GetRunDuration(int index) const;
    void MergeRun(int index);
    // Gives the item the longest duration not above ticks and fills the rest with tied continuations;
    // returns the number of pieces.
    int SplitToDuration(int index, int ticks);
    void SplitItemAt(int index, int itemStart, int splitTime);
    // Joins tied runs and rests of imported notation and moves rest time up to the beats (rests shorter
    // than maxGap after a run are taken into the run up to the next beat).
    void RegroupImportedRests(bool compound, int maxGap);
    void TruncateAtTime(int ticks);
    // Of items of one kind with no note between, only the last stays; an item equal to the one in force
    // goes; of two sustain pedal marks of one status side by side the earlier goes.
    void RemoveRedundantItems();
    // Every bar whose items fill its time signature exactly and hold only rests becomes one whole-bar rest;
    // then the staff is reformatted.
    void CheckImportedBars();
    // Beams the notes with flags of each beat.
    void GroupImportedNotes(bool compound);

    // Passes over the audit index (staff_audit.cc).
    void MakeAccidentalsExplicit();
    void AuditAccidentals();
    void RespellAllNotes();
    // mode: below 0 prefers flats, above 0 sharps. With adjustInstrument the staff's and every patch item's
    // transposition are lowered by semitones.
    void Transpose(int semitones, int mode, bool adjustInstrument);
    // First note or chord from start holding a note within a semitone of the one before it; -1 when none.
    int FindCloseCluster(int start);
    // First item after fromIndex that the transposition cannot spell; 0 when none.
    int FindTransposeProblem(int semitones, int mode, int fromIndex);
    void InsertBarLines(bool fillLastMeasure);
    // Checks the ties of the items first..last (last -1: to the end): a note keeps its tie only when the
    // next note, rest or chord that is not a grace note holds a note at its staff position that plays the
    // same accidental; a chord keeps its own tie only while a member keeps one. Returns the ties removed.
    int AuditItemRange(int first = 0, int last = -1);

    // Asks the installed formatting to reformat the staff from first to last (-1: the end).
    void Reformat(int first, int last);

    int NeedsFormat = 0;
    int Muted = 0;
    int Channel = 0;
    int Device = 0;
    TStaffInstrument Instrument;
    int Volume = 127;
    int StereoPan = 64;
    uint8_t StaffFlags = 0;

private:
    int ItemDuration(int index) const;
    int FindItemIndex(const TNotatedItem* item) const;

    TStaffLyrics* Lyrics = nullptr;
    std::vector<TNotatedItem*> Items;
    char Name[32];
    char Label[32];
    char LabelAbbr[12];
    char Group[16];
    int EndingBar = 0;
    int BoundaryTop = -12;
    int BoundaryBottom = 12;
    int8_t Color = 0;
    uint8_t Lines = 5;
};

namespace qsm {
// Bounded copy: at most size - 1 characters, always terminated.
void CopyBounded(char* dst, const char* src, int size);
}  // namespace qsm
