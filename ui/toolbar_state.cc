// A toolbar's placement kept between runs: one value of raw bytes per toolbar in section "Toolbars" of the
// settings store, named by the toolbar's title. The record, little-endian: u16 placement word, i16 floating
// x and y, i16 float shape index, u8 order in the station, u8 starts-a-row, and (only when not 18) u8
// button size.
#include "ui/toolbar_state.h"

#include <cstring>

#include "core/sys_info.h"
#include "ui/toolbar.h"

namespace {

const char kSection[] = "Toolbars";

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void PutU16(uint8_t* p, unsigned v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

namespace qsm {

uint16_t RepairToolbarPlacement(uint16_t word) {
    const unsigned side = word & tpSideMask;
    // Exactly one side bit; none, or several, give the top with a border at the bottom.
    if (side != tpLeft && side != tpTop && side != tpRight && side != tpBottom)
        word = static_cast<uint16_t>((word & ~tpSideMask) | 0x2800);
    return word;
}

void DecodeToolbarState(const uint8_t* record, TToolbarState& state, int screenWidth, int screenHeight) {
    state.Placement = RepairToolbarPlacement(U16(record));
    state.StartsRow = record[9];
    state.RowOrder = record[8];
    state.ShapeIndex = static_cast<int16_t>(U16(record + 6));
    int x = static_cast<int16_t>(U16(record + 2));
    if (x < 0 || x + 10 > screenWidth) x = 10;
    int y = static_cast<int16_t>(U16(record + 4));
    if (y < 0 || y + 10 > screenHeight) y = 10;
    state.FloatX = x;
    state.FloatY = y;
    state.ButtonSize = record[10] >= 6 && record[10] <= 120 ? record[10] : 18;
}

int EncodeToolbarState(const TToolbarState& state, uint8_t* record) {
    PutU16(record, state.Placement);
    PutU16(record + 2, static_cast<unsigned>(state.FloatX));
    PutU16(record + 4, static_cast<unsigned>(state.FloatY));
    PutU16(record + 6, static_cast<unsigned>(state.ShapeIndex));
    record[8] = static_cast<uint8_t>(state.RowOrder);
    record[9] = static_cast<uint8_t>(state.StartsRow);
    record[10] = static_cast<uint8_t>(state.ButtonSize);
    return state.ButtonSize != 18 ? 11 : 10;
}

}  // namespace qsm

void TToolbar::LoadState() {
    uint8_t record[22];
    std::memset(record, 0, sizeof record);
    if (SysInfo.ReadBlob(kSection, GetTitle(), nullptr, record, sizeof record) == 0) return;
    qsm::TToolbarState s;
    qsm::DecodeToolbarState(record, s, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    Placement = s.Placement;
    StartsRow = s.StartsRow;
    RowOrder = s.RowOrder;
    ShapeIndex = s.ShapeIndex;
    FloatPos = TPoint(s.FloatX, s.FloatY);
    ButtonSize = s.ButtonSize;
}

void TToolbar::SaveState() {
    qsm::TToolbarState s;
    s.Placement = Placement;
    s.FloatX = FloatPos.x;
    s.FloatY = FloatPos.y;
    s.ShapeIndex = ShapeIndex;
    s.RowOrder = RowOrder;
    s.StartsRow = StartsRow;
    s.ButtonSize = ButtonSize;
    uint8_t record[11];
    int n = qsm::EncodeToolbarState(s, record);
    SysInfo.WriteBlob(kSection, GetTitle(), record, static_cast<DWORD>(n));
}

void TToolbar::ClearSavedStates() {
    SysInfo.WriteString(kSection, nullptr, nullptr);
}
