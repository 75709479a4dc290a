// The staff-drawing index.
#include "render/layout/sd_ntn_idx.h"

#include <algorithm>
#include <cstdlib>

#include "render/layout/layout_record.h"
#include "render/layout/staff_draw_info.h"
#include "score/music_staff.h"
#include "score/structure_items.h"

TSDNtnIdx::TSDNtnIdx(TStaffDrawInfo* info, int index)
    : TRelNtnIdx(info ? info->GetStaff() : nullptr), Info(info) {
    ResetSizes(false);
    Seek(index);
}

void TSDNtnIdx::SetSizes(int upper, int lower, bool collapsed) {
    Sizes = static_cast<uint16_t>((std::clamp(upper, 0, 127)) | (std::clamp(lower, 0, 127) << 7) |
                                  (collapsed ? 0x4000 : 0));
}

void TSDNtnIdx::ResetSizes(bool keepCollapsed) {
    bool collapsed = keepCollapsed && IsCollapsed();
    TMusicStaff* staff = GetStaff();
    if (staff)
        SetSizes(std::abs(staff->GetBoundaryTop()), std::abs(staff->GetBoundaryBottom()), collapsed);
    else
        SetSizes(1, 1, collapsed);
}

void TSDNtnIdx::Reset() {
    TRelNtnIdx::Reset();
    ResetSizes(false);
}

void TSDNtnIdx::Seek(int i) {
    TMusicStaff* staff = GetStaff();
    if (!staff) return;
    i = std::min(i, staff->GetLastIndex());
    if (i < GetIndex()) Reset();
    while (GetIndex() < i && CanStep(1))
        Next();
}

TNotatedItem* TSDNtnIdx::Next() {
    TNotatedItem* x = GetItem();
    if (x && x->GetType() == ntStaffSizer && (!Info || Info->IsItemVisible(x))) {
        auto* sizer = static_cast<TStaffSizer*>(x);
        TMusicStaff* staff = GetStaff();
        switch (sizer->GetStyle()) {
            case ssReset:
                ResetSizes(true);
                break;
            case ssNewSize: {
                int upper = GetUpperSize(), lower = GetLowerSize();
                if (sizer->GetUpper()) upper = std::abs(staff->GetTopLinePosition()) + sizer->GetUpper();
                if (sizer->GetLower()) lower = std::abs(staff->GetBottomLinePosition()) + sizer->GetLower();
                SetSizes(upper, lower, IsCollapsed());
                break;
            }
            case ssCollapse:
                SetSizes(GetUpperSize(), GetLowerSize(), true);
                break;
            case ssEndCollapse:
                SetSizes(GetUpperSize(), GetLowerSize(), false);
                break;
            default:
                break;
        }
    }
    return TRelNtnIdx::Next();
}

TNotatedItem* TSDNtnIdx::Prev() {
    Seek(GetIndex() - 1);
    return GetItem();
}

bool TSDNtnIdx::IsStaffShown() const {
    TNotatedItem* x = GetItem();
    if (x && x->GetType() == ntStaffSizer) {
        if (Info && !Info->IsItemVisible(x)) return false;
        return static_cast<TStaffSizer*>(x)->IsEndCollapse();
    }
    return GetIndex() > 0 && !IsCollapsed();
}

namespace qsm {

bool IsAtLayoutRecord(const TRelNtnIdx& index, const TLayoutRecord& record) {
    if (!record.IsItemPosition() || record.ItemIndex != index.GetIndex()) return false;
    return !record.IsMultiBarRest() || record.Count == index.GetBarInMultiRest();
}

void SeekLayoutRecord(TRelNtnIdx& index, const TLayoutRecord& record) {
    if (!record.IsItemPosition()) {
        index.Seek(0);
        return;
    }
    // Inside a multi-measure rest the index steps to the bar, so that its time and bar count stay those of
    // the position, as every stepping operation keeps them.
    index.Seek(record.ItemIndex);
    if (!record.IsMultiBarRest()) return;
    while (index.GetIndex() == record.ItemIndex && index.GetBarInMultiRest() < record.Count &&
           index.CanStepInRests(1))
        index.StepForward(true);
}

TRelNtnIdx RelIndexAtRecord(TStaffDrawInfo& info, const TLayoutRecord* record) {
    TRelNtnIdx index(info.GetStaff());
    if (record && record->GetKind() != lkSegmentStart && info.GetStaff()) SeekLayoutRecord(index, *record);
    return index;
}

}  // namespace qsm
