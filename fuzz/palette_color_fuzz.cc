// Stored staff colours: any text read as a colour value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "score/base/color_palette.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    COLORREF color = TColorPalette::ReadColor(text.c_str(), RGB(1, 2, 3));
    char out[32];
    qsm::FormatColor(color, out, sizeof(out));
    if (TColorPalette::ReadColor(out, 0) != color) __builtin_trap();
    return 0;
}
