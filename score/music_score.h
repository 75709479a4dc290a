// The in-memory score: the staves in score order with one visibility bit each, the score font settings, the
// editor selection, the song information and the page settings.
#pragma once

#include <cstdint>
#include <vector>

#include "core/bool_array.h"
#include "platform/base/wintypes.h"

class TMusicStaff;
class TMusicFontsData;
struct TScoreFileHeader;
class TScoreDrawInfo;

// The song information block (1368 bytes, copied whole; each field NUL-terminated).
struct TSongInfo {
    char Title[64];
    char Author[48];
    char Lyricist[48];
    char Copyright1[92];
    char Copyright2[92];
    char Comments[1024];
};
static_assert(sizeof(TSongInfo) == 1368, "the song information is one 1368-byte block");

struct TScoreSelection {
    int32_t ActiveStaff = -1;
    int32_t CaretIndex = -1;
    int32_t SelectIndex = -1;
    int32_t CaretPos = 0;

    void Reset() { Set(-1, -1, -1, 0); }
    void Set(int activeStaff, int caretIndex, int selectIndex, int caretPos) {
        ActiveStaff = activeStaff;
        CaretIndex = caretIndex;
        SelectIndex = selectIndex;
        CaretPos = caretPos;
    }
    bool HasRange() const { return CaretIndex >= 1 && SelectIndex >= 1 && CaretIndex != SelectIndex; }
    int GetRangeEnd() const { return HasRange() ? SelectIndex : CaretIndex; }
};

struct TPageMargins {
    float Top = 0.5f;
    float Left = 0.5f;
    float Right = 0.5f;
    float Bottom = 0.5f;
    int32_t Mirror = 0;
};

// Layout flag bits.
enum : uint8_t {
    LAYOUT_FROM_OLD_FORMAT = 0x02,
    LAYOUT_COMPRESSED = 0x04,
    LAYOUT_ANY_MULTIPART_DOTS = 0x08,
    LAYOUT_TITLE_PAGE = 0x10,
    LAYOUT_EXTEND_LAST_SYSTEM = 0x20,
    LAYOUT_DURATION_PADDING = 0x40,
    LAYOUT_ALLOW_LAYERING = 0x80,
};
// Print flag bits.
enum : uint8_t { PRINT_JUSTIFY_VERTICALLY = 0x01, PRINT_SYSTEM_SEP_MARK = 0x02 };

// A score holds at most this many staves: one visibility bit each.
constexpr int kMaxStaves = 255;

class TMusicScore {
public:
    explicit TMusicScore(const TSongInfo* info = nullptr);
    ~TMusicScore();
    TMusicScore(const TMusicScore&) = delete;
    TMusicScore& operator=(const TMusicScore&) = delete;

    // The settings back to their defaults; staves, selection and font settings stay.
    void Reset();

    // Staff list. AddStaff and InsertStaff take ownership and return true; with 255 staves they refuse
    // (false) and the caller keeps the staff.
    int GetStaffCount() const { return static_cast<int>(Staves.size()); }
    TMusicStaff* GetStaff(int index) const;
    bool AddStaff(TMusicStaff* staff);
    bool InsertStaff(TMusicStaff* staff, int index);
    TMusicStaff* DetachStaff(int index);
    int FindStaffIndex(const TMusicStaff* staff) const;
    int FindStaffByName(const char* name) const;
    int FindLastStaffByName(const char* name) const;
    void MakeUniqueStaffName(TMusicStaff* staff);
    // Writes "Staff-%d" with the smallest free number; out must hold 32 bytes.
    void MakeStaffName(char* out) const;
    bool AnyStaffMultiPartDotPlacement() const;
    void SetAnyMultiPartDotPlacement(bool force);
    void ClearContent();

    bool IsStaffVisible(int index) const { return StaffVisible.Get(index) != 0; }
    void SetStaffVisible(int index, bool visible) { StaffVisible.Set(index, visible ? 1 : 0); }
    TQSBoolArray& GetStaffVisibleBits() { return StaffVisible; }
    const TQSBoolArray& GetStaffVisibleBits() const { return StaffVisible; }

    // Staff group and play helpers.
    void GetStaffFlagBits(int kind, TQSBoolArray& bits) const;
    void SetStaffFlagBits(int kind, const TQSBoolArray& bits);
    void SelectStavesByGroup(const char* group, TQSBoolArray& bits) const;
    int CountStavesOnPort(int device, int channel) const;
    int GetMaxPlayDevice() const;
    int GetLastStaffDevice() const;
    int FindFreeChannel(int device) const;
    // Empty the layout's staves, then add in score order each staff whose bit is set (or whose group is
    // group), stopping before a staff once the laid-out height exceeds maxHeight or the layout is full;
    // true when a staff was added. The bodies belong to the layout library (render/layout).
    bool AddSelectedStavesToLayout(TScoreDrawInfo& layout, const TQSBoolArray& bits, int maxHeight) const;
    bool AddStavesOfGroupToLayout(TScoreDrawInfo& layout, const char* group, int maxHeight) const;
    // Empties a list box and adds each staff group name once, in score order.
    void FillGroupList(HWND list) const;

    // The shared default header record, initialised again with the current product, format and date.
    static TScoreFileHeader& GetDefaultFileHeader();

    TMusicFontsData* GetFontData() const { return FontData; }

    // Flag accessors.
    bool GetFromOldFormat() const { return GetLayoutFlag(LAYOUT_FROM_OLD_FORMAT); }
    void SetFromOldFormat(bool v) { SetLayoutFlag(LAYOUT_FROM_OLD_FORMAT, v); }
    bool GetCompressed() const { return GetLayoutFlag(LAYOUT_COMPRESSED); }
    void SetCompressed(bool v) { SetLayoutFlag(LAYOUT_COMPRESSED, v); }
    bool GetAnyMultiPartDotPlacement() const { return GetLayoutFlag(LAYOUT_ANY_MULTIPART_DOTS); }
    bool GetTitlePage() const { return GetLayoutFlag(LAYOUT_TITLE_PAGE); }
    void SetTitlePage(bool v) { SetLayoutFlag(LAYOUT_TITLE_PAGE, v); }
    bool GetExtendLastSystem() const { return GetLayoutFlag(LAYOUT_EXTEND_LAST_SYSTEM); }
    void SetExtendLastSystem(bool v) { SetLayoutFlag(LAYOUT_EXTEND_LAST_SYSTEM, v); }
    bool GetDurationPadding() const { return GetLayoutFlag(LAYOUT_DURATION_PADDING); }
    void SetDurationPadding(bool v) { SetLayoutFlag(LAYOUT_DURATION_PADDING, v); }
    bool GetAllowLayering() const { return GetLayoutFlag(LAYOUT_ALLOW_LAYERING); }
    void SetAllowLayering(bool v) { SetLayoutFlag(LAYOUT_ALLOW_LAYERING, v); }
    bool GetJustifyVertically() const { return (PrintFlags & PRINT_JUSTIFY_VERTICALLY) != 0; }
    void SetJustifyVertically(bool v) { SetBit(PrintFlags, PRINT_JUSTIFY_VERTICALLY, v); }
    bool GetPrintSystemSepMark() const { return (PrintFlags & PRINT_SYSTEM_SEP_MARK) != 0; }
    void SetPrintSystemSepMark(bool v) { SetBit(PrintFlags, PRINT_SYSTEM_SEP_MARK, v); }

    TScoreSelection Selection;
    TSongInfo SongInfo;
    uint16_t Date = 0;  // DOS date: bits 9-15 year - 1980, 5-8 month, 0-4 day
    int32_t BarNumbers = 0;
    int32_t StartingBar = 1;
    TPageMargins Margins;
    int32_t Zoom = 8;
    int32_t PageNumbers = 0;
    int32_t StaffLabels = 0;
    uint8_t LayoutFlags = 0;
    uint8_t PrintFlags = 0;

private:
    bool GetLayoutFlag(uint8_t bit) const { return (LayoutFlags & bit) != 0; }
    void SetLayoutFlag(uint8_t bit, bool v) { SetBit(LayoutFlags, bit, v); }
    static void SetBit(uint8_t& flags, uint8_t bit, bool v) {
        flags = static_cast<uint8_t>(v ? (flags | bit) : (flags & ~bit));
    }

    TQSBoolArray StaffVisible{kMaxStaves};
    TMusicFontsData* FontData = nullptr;
    std::vector<TMusicStaff*> Staves;
};

namespace qsm {
// Today's local date in the DOS form.
uint16_t TodayDosDate();
}  // namespace qsm
