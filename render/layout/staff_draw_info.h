// One staff's share of a system: the segment of its items that the system shows, laid out as layout
// records, with the staff's vertical place, its group states, the beam, triplet and slur geometry, and the
// cursors over its lyric lines.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/base/wintypes.h"

#include "render/layout/layout_record.h"
#include "render/layout/sd_ntn_idx.h"
#include "render/layout/staff_connects.h"
#include "score/music_staff.h"
#include "score/notation_index.h"

class TScoreDrawInfo;
class TMusicFonts;
class TMusicStaff;
class TMusicScore;
class TNotatedItem;
class TLyric;

// The horizontal clip of a drawing: width, left and right; drawing reads the right edge.
struct TDrawExtent {
    int Width = 0;
    int Left = 0;
    int Right = 0;
    void Init(int w) {
        Width = w;
        Left = 0;
        Right = w;
    }
};

// Where a page segment starts: an item index and the bar inside a multi-measure rest standing there. Kept
// as two fields: a rest can hold more bars than a byte counts.
struct TStaffStartPosition {
    int Item = 0;
    int Bar = 0;
    bool operator==(const TStaffStartPosition&) const = default;
};

enum : uint16_t {
    SDI_OWNS_SLOT = 0x0001,
    SDI_LAYERED = 0x0002,
    SDI_LAYERED_WITH_NEXT = 0x0004,
    SDI_COLLAPSED = 0x0008,
    SDI_NO_SPACE = 0x0010,
};

// What a system is drawn for: the mode given to TScoreDrawInfo (stored as its number).
enum class TDrawMode : uint32_t {
    Edit = 0,         // hidden items shown with expression markers; the layering switch counts
    View = 1,         // the score view
    PrintLike = 2,    // drawn as for printing
    Print = 3,        // printing and its preview
    EditExcerpt = 4,  // hidden items shown; the segment's last record and the lyrics are not drawn
};

class TStaffDrawInfo {
public:
    static constexpr int kInitialRecords = 256;
    static constexpr int kRecordGrowth = 256;
    static constexpr int kMaxRecords = 2048;
    static constexpr int kMaxLyricLines = 8;

    TStaffDrawInfo(TScoreDrawInfo* owner, int slot);
    ~TStaffDrawInfo();
    TStaffDrawInfo(const TStaffDrawInfo&) = delete;
    TStaffDrawInfo& operator=(const TStaffDrawInfo&) = delete;

    void AttachStaff(int scoreStaff);
    void UpdateLyricCursors();
    // Forgets the positions kept from earlier formatting (after the staff's items changed).
    void ResetIndexes();

    // Formatting.
    void FormatFromTime(int time, int width);
    void FormatSegment(TStaffStartPosition start, int width);
    TStaffStartPosition GetStartPosition() const;
    // The start the current segment was formatted from.
    TStaffStartPosition GetFormattedStart() const { return FormattedStart; }
    void BuildSlurs(int x, int y);

    // Building records (also used by fitting).
    void BuildLayoutRecord(TLayoutRecord& record, int itemIndex, TRelNtnIdx& index, bool copy);
    void AddSpacing(int recordIndex);
    int GetFitWidth(const TLayoutRecord& record);
    bool IsItemVisible(const TNotatedItem* item) const;
    int GetLeftExtent(const TLayoutRecord& record);

    // Drawing.
    void DrawSegment(const TDrawExtent& extent, int x, int y);
    void DrawSegmentInRect(const RECT& rect);
    int DrawPlayMark(int x, int y, TStaffStartPosition position, int colour, int lyricLine);
    int DrawHairpins(int recordIndex, int x);
    // A ruler of bar numbers along the segment: ticks at the bar positions, each bar's number centred
    // between its bar lines (a run of multi-measure rest bars as one range with joinRests).
    void DrawBarNumberRuler(int x, int right, int y, int tickLength, int barTickLength, bool joinRests);
    void DrawLyrics(const TDrawExtent& extent, int x);
    void DrawLyricAt(int recordIndex, int line, int x);
    int GetLyricLineY(int line) const;

    // Records.
    int GetRecordCount() const { return RecordCount; }
    // While a segment is drawn: the x where its closing bar line starts (0 when it ends in none). Marks of
    // the segment are kept left of it.
    int ClosingBarX = 0;
    void SetRecordCount(int n) { RecordCount = n; }
    TLayoutRecord& Record(int i) { return Records[static_cast<size_t>(i)]; }
    const TLayoutRecord& Record(int i) const { return Records[static_cast<size_t>(i)]; }
    int IndexOfRecord(const TLayoutRecord* r) const { return r ? static_cast<int>(r - Records.data()) : -1; }
    TNotatedItem* ItemOf(const TLayoutRecord& r) const {
        return Staff && r.GetKind() != lkSegmentStart ? Staff->GetItem(r.ItemIndex) : nullptr;
    }

    // Owner and staff.
    TScoreDrawInfo* GetOwner() const { return Owner; }
    int GetSlot() const { return Slot; }
    int GetScoreStaff() const { return ScoreStaff; }
    TMusicStaff* GetStaff() const { return Staff; }
    // The owner's score and fonts (an owner keeps both for its lifetime).
    TMusicScore* GetScore() const { return Score; }
    TMusicFonts* GetFonts() const { return Fonts; }
    int GetMode() const;
    TDrawMode GetDrawMode() const { return static_cast<TDrawMode>(GetMode()); }
    bool ShowsHidden() const;
    bool IsActive() const;
    TStaffDrawInfo* GetNeighbour(int dir, bool slotOwnersOnly) const;
    TMusicStaff* GetStaffAtOffset(int offset) const;

    // Queries over the records (x from the segment's left edge).
    int GetTotalWidth() const { return GetWidthRange(0, RecordCount); }
    int GetWidthRange(int first, int count) const;
    const TLayoutRecord* GetLastRecord() const { return RecordCount ? &Record(RecordCount - 1) : nullptr; }
    int GetFirstItemPosition() const;
    const TLayoutRecord* GetLastItemPositionRecord() const;
    int GetLastItemIndex() const;
    bool IsAtStaffEnd() const;
    bool HasItemRecord(int item) const;
    int RecordIndexOfItem(int item) const;
    int XOfRecord(int recordIndex) const { return GetWidthRange(0, recordIndex); }
    int XOfItem(int item) const;
    // The record of a position (item index and bar inside a multi-measure rest): the multi-measure rest
    // record of the bar reached, or the last one before it; -1 or null when the segment has none.
    int RecordIndexOfIndex(TStaffStartPosition position) const;
    const TLayoutRecord* RecordOfIndex(TStaffStartPosition position) const;
    // x of a position's record; 0x80000002 before the segment, 0x7fffffff after it.
    int XOfIndex(TStaffStartPosition position) const;
    int ItemAtX(int x) const;
    // Time in ticks of the position reached at x (the navigation unit of the view and the preview).
    int IndexAtX(int x) const;
    bool NoteAtPoint(int px, int py, int& item, int& member);
    int BarNumberAt(int recordIndex) const;
    int StepToY(int step) const;
    int YToStep(int y) const;
    int GetOuterLineStep(int dir) const;
    bool IsTopStaff() const { return Slot == 0; }
    bool IsBottomStaff() const;
    bool IsHidden() const { return (Flags & SDI_COLLAPSED) != 0; }
    bool IsNoSpace() const { return (Flags & SDI_NO_SPACE) != 0; }
    bool IsLayered() const { return (Flags & SDI_LAYERED) != 0; }
    // The staff shows its full label: in modes 0 and 4, and where the segment starts at the score's start.
    bool TakesLabelFull() const;
    int GetColor() const;
    int GetHiddenColor() const;
    // Palette index of an item: its own colour 1-7 as entry 8 + colour, else the staff's.
    int GetItemColorIndex(const TNotatedItem* item, const TLayoutRecord& record) const;

    // Queries that item drawing uses.
    int GetDistanceToBarLine(int recordIndex, int dir, int offsetMode, bool stopAtSignatures,
                             bool multiRestEnds);
    int GetRoomAfter(int recordIndex);
    int GetDistanceToDrawable(int recordIndex, int dir);
    bool GetNoteRoomLeft(int recordIndex, int pos, int accidental, int& room);
    bool GetNoteRoomRight(int recordIndex, int pos, int accidental, int& room);
    int GetClefTypeBefore(int recordIndex, int def);
    int GetExpressionOffset(int alignment, int recordIndex);
    int GetDistanceToNextNote(int recordIndex);

    // Vertical place (set by the score's vertical layout).
    uint16_t Flags = SDI_OWNS_SLOT;
    int LineCount = 5;
    int BracketState = 0;
    int BraceState = 0;
    int ConnectBarsState = 0;
    int Y = 0;
    int UpperSize = 0;
    int LowerSize = 0;

    TQSStaffConnects Beams{32};
    TQSStaffConnects Triplets{16};
    TQSStaffSlurs Slurs{16};
    TRelNtnIdx Index;
    // What laying out a segment and fitting it into a system leave for drawing it, so that a system can be
    // kept and drawn after others were laid out, without laying it out again.
    struct TSegmentLayout {
        std::vector<TLayoutRecord> Records;
        int RecordCount = 0;
        TRelNtnIdx Index;
        TStaffStartPosition FormattedStart;
        uint16_t Flags = 0;
        int LineCount = 0, BracketState = 0, BraceState = 0, ConnectBarsState = 0;
        int Y = 0, UpperSize = 0, LowerSize = 0;
    };
    void SaveSegmentLayout(TSegmentLayout& out) const;
    void RestoreSegmentLayout(const TSegmentLayout& in);

    // Kept between formatting calls so that systems that follow each other walk the staff only once.
    TSDNtnIdx SizeIndex{nullptr, 0};
    // The size index moved to item first: on from SizeIndex when it has not passed first, else from the
    // latest system start kept before first (pages are laid out again from an earlier system), else from
    // the staff's start.
    TSDNtnIdx& SizeIndexAt(int first);

private:
    bool EnsureRecords(int needed);
    void PadBar(int barBreak, bool atEnd, int& total);
    int AddDurationRoom(TLayoutRecord& r);
    void WidenForLyrics();
    void AddMultiRestMore(TRelNtnIdx& index, int itemIndex);
    // The steps of BuildLayoutRecord: the record's kind and fields by item type, then its width.
    void SetClefOrKeyRecord(TLayoutRecord& r, bool clef, int self, bool& hidden);
    void SetBarLineRecord(TLayoutRecord& r, TBarLineData& bar, int itemIndex, TRelNtnIdx& index);
    void SetMultiRestRecord(TLayoutRecord& r, TMultiMeasureRest& rest, int itemIndex, int self, int barInRest,
                            bool& hidden);
    void ShowMultiRestOnce(TLayoutRecord& r, TMultiMeasureRest& rest, int itemIndex, int self, bool& hidden);
    void SetSizerRecord(TLayoutRecord& r, TStaffSizer& sizer, bool& hidden);
    void SetNoteRecord(TLayoutRecord& r, TSongNote& note, TRelNtnIdx& index);
    void MeasureRecord(TLayoutRecord& r, TNotatedItem& item, bool hidden);

    TScoreDrawInfo* Owner;
    TMusicScore* Score = nullptr;
    TMusicFonts* Fonts = nullptr;
    int Slot;
    int ScoreStaff = -1;
    TMusicStaff* Staff = nullptr;
    std::vector<TLayoutRecord> Records;
    int RecordCount = 0;
    TLyric* LyricCursors[kMaxLyricLines] = {};
    TStaffStartPosition FormattedStart;
    // Where the last walk ended, and the play-order walk that finds the clef and key at a system start
    // (carried on from system to system; the staff it walked and its item count when it last ran).
    TRelNtnIdx Resume;
    TStaffContextWalk ContextWalk;
    const TMusicStaff* ContextStaff = nullptr;
    int ContextItemCount = -1;
    // The size index and the context walk as they stood at the last few system starts, so that laying out
    // an earlier system again (the next page starts with the system that did not fit, the pages of a
    // justified page or the preview go back) goes on from there instead of from the staff's start. Kept
    // for the staff and item count of the context walk above.
    static constexpr size_t kKeptStarts = 8;
    std::vector<TSDNtnIdx> SizeStarts;
    std::vector<TStaffContextWalk> ContextStarts;
    size_t NextSizeStart = 0, NextContextStart = 0;
    void CheckKeptStarts();
    void ResumeContextWalk(int index);
};
