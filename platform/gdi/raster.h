// The raster engine behind BitBlt, StretchBlt and PatBlt: every ternary raster operation on 24-bit pixels,
// with the conversions between colour and monochrome bitmaps. Not for use outside platform/gdi.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi_internal.h"

namespace qsm::gdi {

// The result of raster operation `rop` (its truth table is bits 16-23) on pattern, source and destination
// pixels, bit by bit.
uint32_t ApplyRop3(DWORD rop, uint32_t pattern, uint32_t source, uint32_t dest);
// The same worked out from the truth table alone, for every operation (ApplyRop3 has closed forms of the
// common ones, listed in kClosedFormRops by their table).
uint32_t ApplyRop3ByTable(DWORD rop, uint32_t pattern, uint32_t source, uint32_t dest);
inline constexpr int kClosedFormRopCount = 18;
extern const unsigned kClosedFormRops[kClosedFormRopCount];
bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);

// A DC whose selected bitmap has one bit per pixel.
bool IsMonochrome(const DC& dc);
// True when a transfer from src to dst changes the depth, so pixels are converted on the way.
bool ConvertsDepth(const DC& dst, const DC& src);

// The source of a transfer: an image surface with its device origin, its depth and the background colour
// of its DC.
struct BltSource {
    cairo_surface_t* surface = nullptr;
    POINT origin{0, 0};
    bool mono = false;
    COLORREF bkColor = RGB(255, 255, 255);
};
BltSource SourceOf(DC& dc);  // brings a DIB section's bits into its surface first

// Pixel-by-pixel transfer of the device rectangle (dx, dy, dw, dh) from the source's (sx, sy, sw, sh) into
// an image surface, through the raster operation (src null when the operation needs none). False when a
// surface is not an image.
BOOL RasterBlt(DC& dst, double dx, double dy, double dw, double dh, const BltSource* src, double sx,
               double sy, double sw, double sh, DWORD rop);

}  // namespace qsm::gdi
