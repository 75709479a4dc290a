// The saved-state record of a toolbar (section "Toolbars" of the settings store), read and written by
// TToolbar::LoadState and TToolbar::SaveState.
#pragma once

#include <cstdint>

namespace qsm {

struct TToolbarState {
    uint16_t Placement = 0x2800;
    int FloatX = 10, FloatY = 10;
    int ShapeIndex = 0;
    int RowOrder = 0;
    int StartsRow = 0;
    int ButtonSize = 18;
};

// A placement word whose side nibble is not exactly one side becomes a top placement (0x2800 or-ed in).
uint16_t RepairToolbarPlacement(uint16_t word);
// record holds at least 11 bytes (missing ones zero); floating positions that leave the screen become 10.
void DecodeToolbarState(const uint8_t* record, TToolbarState& state, int screenWidth, int screenHeight);
// Writes 11 bytes; returns how many of them the value keeps (10 when the button size is 18).
int EncodeToolbarState(const TToolbarState& state, uint8_t* record);

}  // namespace qsm
