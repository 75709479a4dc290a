// Item ranges: runs of consecutive items of one staff, with the builders that widen them (to bars, groups
// and hairpins), the questions asked of all their items and the changes made to all of them. A change ends
// by formatting the range again through the formatting library's hook.
#pragma once

class TMusicStaff;
class TSimpleNtnIdx;

class TStaffItemRange {
public:
    TStaffItemRange() = default;
    TStaffItemRange(TMusicStaff* staff, int a, int b);

    // The single item at the index's position.
    static TStaffItemRange FromIndex(const TSimpleNtnIdx& index);
    // The item at the index widened to its group of grouping g.
    static TStaffItemRange CopyAndExtend(const TSimpleNtnIdx& index, int g);
    static TStaffItemRange Span(const TSimpleNtnIdx& a, const TSimpleNtnIdx& b);

    void Assign(const TStaffItemRange& range);
    // A staff, a first index on it and a last index not before the first.
    bool IsValid() const { return Staff != nullptr && First >= 0 && Last >= First; }
    void Clear() { Last = -1; }
    int GetCount() const { return IsValid() ? Last - First + 1 : 0; }
    // The whole staff.
    void SetStaff(TMusicStaff* staff);
    // The smaller index first; a negative smaller index leaves the range empty unless both are equal.
    void SetRange(int a, int b);
    void SetFromIndexes(const TSimpleNtnIdx& a, const TSimpleNtnIdx& b);
    // The bar around item i: from its bar line to the item before the next one.
    void SetToBar(int i);
    void ShrinkEnd(int n) { Last -= n; }

    TMusicStaff* Staff = nullptr;
    int First = 0;
    int Last = -1;
};

// The formatting library installs its pass over the items of a range here; without one, changes leave the
// derived marks as they are. Returns the previous hook.
using TFormatItemsFn = void (*)(const TStaffItemRange& range);
TFormatItemsFn SetFormatStaffItemsHook(TFormatItemsFn fn);
// Leaves the hook uninstalled for the calling thread alone (paused) or not; answers whether it was paused. A
// pass that changes a staff in many places and formats it once at its end pauses the hook meanwhile, without
// touching what other threads format.
bool PauseFormatStaffItems(bool paused);

// Builders.
void StaffRangeNormalize(TStaffItemRange& range);
void StaffRangeExtendByNotes(TStaffItemRange& range, int g, int i);
void StaffHairpinRunExtent(TStaffItemRange& range, int i);

// Queries.
int StaffRangeGetTicks(const TStaffItemRange& range);
bool StaffRangeIsRestRun(const TStaffItemRange& range);
int StaffRangeFindNoteAtStaffPos(const TStaffItemRange& range, int pos);
void StaffRangeGetStaffPosExtent(const TStaffItemRange& range, int& max, int& min);
void StaffRangeGetNoteStaffPosExtent(const TStaffItemRange& range, int& max, int& min);
void StaffRangeGetGroupStaffPosExtent(const TStaffItemRange& range, int g, int& max, int& min);
bool StaffRangeGetSplitStemDirection(const TStaffItemRange& range, int& dir);
bool StaffRangeHasGroup(const TStaffItemRange& range, int g);
bool StaffRangeCanFormGroup(const TStaffItemRange& range, int g);
// Whether the attribute applies to some item of the range; set tells whether some item has it.
bool StaffRangeGetAttributeState(const TStaffItemRange& range, int attribute, bool& set);
void StaffRangeGetDurationExtent(const TStaffItemRange& range, int& min, int& max);
bool StaffRangeGetDuration(const TStaffItemRange& range, int& code);
bool StaffRangeGetNotehead(const TStaffItemRange& range, int& style);
bool StaffRangeGetColor(const TStaffItemRange& range, int& color);
bool StaffRangeGetAccidental(const TStaffItemRange& range, int& accidental);
bool StaffRangeGetStemDir(const TStaffItemRange& range, int& dir);
bool StaffRangeCutsAnyGroup(const TStaffItemRange& range);
bool StaffRangeCutsGroup(const TStaffItemRange& range, int g);
// The outermost staff position the range's notes reach above (dir +1) or below (dir -1).
int StaffRangeOuterStaffPos(const TStaffItemRange& range, int dir);
int StaffRangeGetByteSize(const TStaffItemRange& range);

// Changes.
bool StaffMakeNoteGroup(TStaffItemRange& range, int g);
void StaffRangeUngroup(TStaffItemRange& range, int g);
// With result given: only tests (result: some note is tied already). Without: ties or unties the notes.
bool StaffRangeToggleTies(TStaffItemRange& range, bool* result);
bool StaffRangeToggleAttribute(TStaffItemRange& range, int attribute);
void StaffRangeMergeRests(TStaffItemRange& range);
void StaffRangeShiftDuration(TStaffItemRange& range, int n);
void StaffRangeSetDuration(TStaffItemRange& range, int code);
void StaffRangeSetNotehead(TStaffItemRange& range, int style);
void StaffRangeCycleNotehead(TStaffItemRange& range, int allowed);
void StaffRangeSetColor(TStaffItemRange& range, int color);
void StaffRangeSetAccidental(TStaffItemRange& range, int accidental);
void StaffRangeSetStemDir(TStaffItemRange& range, int dir);
void StaffRangeAutoStemDir(TStaffItemRange& range);
void StaffRangeSetHidden(TStaffItemRange& range);
void StaffRangeSetMuted(TStaffItemRange& range);
void StaffRangeShiftItems(TStaffItemRange& range, int n);
void StaffRangeDelete(TStaffItemRange& range);
void StaffRangeDeleteAndReformat(TStaffItemRange& range);
