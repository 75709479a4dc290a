// Packed device-independent bitmaps as bitmap resources hold them: a BITMAPINFOHEADER (or a longer header
// of the same start), the colour table and the pixel rows, with nothing else around them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

namespace qsm::gdi {

struct PackedDibLayout {
    int width = 0;
    int height = 0;  // negative for top-down rows
    int bitCount = 0;
    int colors = 0;           // entries of the colour table
    size_t colorsOffset = 0;  // where the colour table starts
    size_t bitsOffset = 0;    // where the pixel rows start
    size_t stride = 0;        // bytes of one row (a multiple of 4)
};

// Checks the bytes: an uncompressed 1, 4, 8, 24 or 32 bits per pixel image of at most 32767 x 32767 pixels
// whose colour table and rows are all there. False for anything else.
bool ParsePackedDib(const void* data, size_t size, PackedDibLayout* out);

// The same image as a BITMAPINFO of a 40-byte header directly followed by the colour table, and its rows.
bool UnpackDib(const void* data, size_t size, std::vector<uint8_t>* info, std::vector<uint8_t>* bits);

}  // namespace qsm::gdi
