// The index that staff drawing walks: besides time and bar counts it keeps the staff's current upper and
// lower size and whether the staff is collapsed, as staff boundaries set them.
#pragma once

#include <cstdint>

#include "score/notation_index.h"

class TLayoutRecord;
class TStaffDrawInfo;

class TSDNtnIdx final : public TRelNtnIdx {
public:
    TSDNtnIdx(TStaffDrawInfo* info, int index);
    TSDNtnIdx(const TSDNtnIdx&) = default;
    TSDNtnIdx& operator=(const TSDNtnIdx&) = default;

    void Reset() override;
    // Forward only: going back restarts from item 0.
    void Seek(int i) override;
    TNotatedItem* Next() override;
    TNotatedItem* Prev() override;

    int GetUpperSize() const { return Sizes & 0x7F; }
    int GetLowerSize() const { return (Sizes >> 7) & 0x7F; }
    bool IsCollapsed() const { return (Sizes & 0x4000) != 0; }
    bool IsStaffShown() const;

private:
    void ResetSizes(bool keepCollapsed);
    void SetSizes(int upper, int lower, bool collapsed);

    TStaffDrawInfo* Info;
    uint16_t Sizes = 0;
};

namespace qsm {

// An index on the draw information's staff; at the record's item when a record other than the segment start
// is given, and for a multi-measure rest record at the bar that it reaches, with time and bar count
// advanced to that bar.
TRelNtnIdx RelIndexAtRecord(TStaffDrawInfo& info, const TLayoutRecord* record);
// The record stands for an item position at this index: its item and, for a multi-measure rest record, its
// bar in the rest.
bool IsAtLayoutRecord(const TRelNtnIdx& index, const TLayoutRecord& record);
// Moves the index to the position a record stands for; to item 0 for a record of no item position.
void SeekLayoutRecord(TRelNtnIdx& index, const TLayoutRecord& record);

}  // namespace qsm
