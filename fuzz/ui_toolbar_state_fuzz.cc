// A toolbar's saved-state value as the settings store hands it back: any bytes, at most 22 of them read.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ui/toolbar_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint8_t record[22] = {};
    std::memcpy(record, data, size < sizeof record ? size : sizeof record);
    qsm::TToolbarState s;
    qsm::DecodeToolbarState(record, s, 1280, 1024);
    const unsigned side = s.Placement & 0xF000;
    if (side != 0x1000 && side != 0x2000 && side != 0x4000 && side != 0x8000) __builtin_trap();
    if (s.ButtonSize < 6 || s.ButtonSize > 120) __builtin_trap();
    if (s.FloatX < 0 || s.FloatX + 10 > 1280 || s.FloatY < 0 || s.FloatY + 10 > 1024) __builtin_trap();
    // What is read is written back as it was read.
    uint8_t again[11];
    qsm::EncodeToolbarState(s, again);
    qsm::TToolbarState t;
    qsm::DecodeToolbarState(again, t, 1280, 1024);
    if (t.Placement != s.Placement || t.FloatX != s.FloatX || t.FloatY != s.FloatY ||
        t.ShapeIndex != s.ShapeIndex || t.ButtonSize != s.ButtonSize)
        __builtin_trap();
    return 0;
}
