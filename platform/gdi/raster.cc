// The raster engine: ternary raster operations evaluated from their truth tables, over the pixels of cairo
// image surfaces, with the depth conversions of transfers between colour and monochrome bitmaps.
#include "platform/gdi/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

namespace qsm::gdi {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFu;

uint32_t ToPixel(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// A colour shown on a monochrome bitmap: white when it is light, black otherwise.
uint32_t ToMono(uint32_t px) {
    unsigned sum = ((px >> 16) & 0xFF) + ((px >> 8) & 0xFF) + (px & 0xFF);
    return sum >= 384 ? kWhite : 0;
}

}  // namespace

uint32_t ApplyRop3ByTable(DWORD rop, uint32_t p, uint32_t s, uint32_t d) {
    // Bit i of the table is the result for pattern bit (i & 4), source bit (i & 2) and destination bit
    // (i & 1); the result is the union of the terms whose bit is set.
    unsigned table = (rop >> 16) & 0xFF;
    uint32_t out = 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (!((table >> i) & 1)) continue;
        out |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return out & kWhite;
}

const unsigned kClosedFormRops[kClosedFormRopCount] = {0x00, 0x11, 0x33, 0x44, 0x55, 0x5A, 0x66, 0x88, 0xAA,
                                                       0xB8, 0xBB, 0xC0, 0xCC, 0xE2, 0xEE, 0xF0, 0xFB, 0xFF};

namespace {

// An operation with a closed form, by its truth table.
template <unsigned Table>
struct ClosedRop {
    uint32_t operator()(uint32_t p, uint32_t s, uint32_t d) const {
        if constexpr (Table == 0x00) return 0;
        if constexpr (Table == 0x11) return ~(s | d) & kWhite;
        if constexpr (Table == 0x33) return ~s & kWhite;
        if constexpr (Table == 0x44) return s & ~d & kWhite;
        if constexpr (Table == 0x55) return ~d & kWhite;
        if constexpr (Table == 0x5A) return (p ^ d) & kWhite;
        if constexpr (Table == 0x66) return (s ^ d) & kWhite;
        if constexpr (Table == 0x88) return s & d & kWhite;
        if constexpr (Table == 0xAA) return d & kWhite;
        if constexpr (Table == 0xB8)
            return (((d ^ p) & s) ^ p) & kWhite;  // source set: destination, else pattern
        if constexpr (Table == 0xBB) return (~s | d) & kWhite;
        if constexpr (Table == 0xC0) return p & s & kWhite;
        if constexpr (Table == 0xCC) return s & kWhite;
        if constexpr (Table == 0xE2)
            return (((p ^ d) & s) ^ d) & kWhite;  // source set: pattern, else destination
        if constexpr (Table == 0xEE) return (s | d) & kWhite;
        if constexpr (Table == 0xF0) return p & kWhite;
        if constexpr (Table == 0xFB) return (p | ~s | d) & kWhite;
        if constexpr (Table == 0xFF) return kWhite;
    }
};

struct TableRop {
    DWORD rop;
    uint32_t operator()(uint32_t p, uint32_t s, uint32_t d) const { return ApplyRop3ByTable(rop, p, s, d); }
};

// Calls f with the operation as a function object of its own type, so that a loop over pixels is made once
// for each closed form.
template <class F>
void WithRop(DWORD rop, F&& f) {
    switch ((rop >> 16) & 0xFF) {
        case 0x00:
            f(ClosedRop<0x00>{});
            break;
        case 0x11:
            f(ClosedRop<0x11>{});
            break;
        case 0x33:
            f(ClosedRop<0x33>{});
            break;
        case 0x44:
            f(ClosedRop<0x44>{});
            break;
        case 0x55:
            f(ClosedRop<0x55>{});
            break;
        case 0x5A:
            f(ClosedRop<0x5A>{});
            break;
        case 0x66:
            f(ClosedRop<0x66>{});
            break;
        case 0x88:
            f(ClosedRop<0x88>{});
            break;
        case 0xAA:
            f(ClosedRop<0xAA>{});
            break;
        case 0xB8:
            f(ClosedRop<0xB8>{});
            break;
        case 0xBB:
            f(ClosedRop<0xBB>{});
            break;
        case 0xC0:
            f(ClosedRop<0xC0>{});
            break;
        case 0xCC:
            f(ClosedRop<0xCC>{});
            break;
        case 0xE2:
            f(ClosedRop<0xE2>{});
            break;
        case 0xEE:
            f(ClosedRop<0xEE>{});
            break;
        case 0xF0:
            f(ClosedRop<0xF0>{});
            break;
        case 0xFB:
            f(ClosedRop<0xFB>{});
            break;
        case 0xFF:
            f(ClosedRop<0xFF>{});
            break;
        default:
            f(TableRop{rop});
            break;
    }
}

// The depths of a transfer's source and destination.
enum { kNoSource, kNoSourceOnMono, kMonoToMono, kMonoToColour, kColourToMono, kColourToColour };

struct Conversion {
    uint32_t srcBk, dstText, dstBk;
};

// One row of n pixels of a transfer, the source pixels (none without a source) converted to the
// destination's depth as RasterBlt's pixel-by-pixel road does.
template <int Depths, class Op>
void DirectRow(uint32_t* out, const uint32_t* in, int n, uint32_t pat, const Conversion& c, Op op) {
    for (int i = 0; i < n; ++i) {
        uint32_t sp = 0;
        if constexpr (Depths != kNoSource && Depths != kNoSourceOnMono) sp = in[i] & kWhite;
        if constexpr (Depths == kMonoToMono) sp = ToMono(sp) != 0 ? kWhite : 0;
        if constexpr (Depths == kMonoToColour) sp = ToMono(sp) != 0 ? c.dstBk : c.dstText;
        if constexpr (Depths == kColourToMono) sp = sp == c.srcBk ? kWhite : 0;
        uint32_t dp = out[i] & kWhite;
        if constexpr (Depths == kNoSourceOnMono || Depths == kMonoToMono || Depths == kColourToMono)
            dp = ToMono(dp);
        out[i] = 0xFF000000u | op(pat, sp, dp);
    }
}

// Calls f with the depths as a compile-time constant (std::integral_constant), so that a whole transfer runs
// with its conversion chosen once.
template <class F>
void WithDepths(int depths, F&& f) {
    switch (depths) {
        case kNoSource:
            return f(std::integral_constant<int, kNoSource>{});
        case kNoSourceOnMono:
            return f(std::integral_constant<int, kNoSourceOnMono>{});
        case kMonoToMono:
            return f(std::integral_constant<int, kMonoToMono>{});
        case kMonoToColour:
            return f(std::integral_constant<int, kMonoToColour>{});
        case kColourToMono:
            return f(std::integral_constant<int, kColourToMono>{});
        default:
            return f(std::integral_constant<int, kColourToColour>{});
    }
}

}  // namespace

uint32_t ApplyRop3(DWORD rop, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t out = 0;
    WithRop(rop, [&](auto op) { out = op(p, s, d); });
    return out;
}

bool RopUsesSource(DWORD rop) {
    unsigned t = (rop >> 16) & 0xFF;
    return (((t >> 2) ^ t) & 0x33) != 0;
}

bool RopUsesPattern(DWORD rop) {
    unsigned t = (rop >> 16) & 0xFF;
    return (((t >> 4) ^ t) & 0x0F) != 0;
}

bool IsMonochrome(const DC& dc) {
    return dc.bitmap != nullptr && dc.bitmap->bitCount == 1;
}

bool ConvertsDepth(const DC& dst, const DC& src) {
    return IsMonochrome(dst) != IsMonochrome(src);
}

BltSource SourceOf(DC& dc) {
    SyncBitmapIn(dc);
    BltSource s;
    s.surface = dc.surface;
    s.origin = dc.origin;
    s.mono = IsMonochrome(dc);
    s.bkColor = dc.st.bkColor;
    return s;
}

BOOL RasterBlt(DC& dst, double dx, double dy, double dw, double dh, const BltSource* src, double sx,
               double sy, double sw, double sh, DWORD rop) {
    if (!dst.surface || cairo_surface_get_type(dst.surface) != CAIRO_SURFACE_TYPE_IMAGE) return FALSE;
    if (src && (!src->surface || cairo_surface_get_type(src->surface) != CAIRO_SURFACE_TYPE_IMAGE))
        return FALSE;
    if (dw == 0 || dh == 0) return TRUE;
    SyncBitmapIn(dst);
    cairo_surface_flush(dst.surface);
    if (src) cairo_surface_flush(src->surface);
    const bool monoDst = IsMonochrome(dst);
    const bool monoSrc = src != nullptr && src->mono;
    int W = cairo_image_surface_get_width(dst.surface), H = cairo_image_surface_get_height(dst.surface);
    unsigned char* d = cairo_image_surface_get_data(dst.surface);
    int dstride = cairo_image_surface_get_stride(dst.surface);
    const unsigned char* s = src ? cairo_image_surface_get_data(src->surface) : nullptr;
    int sstride = src ? cairo_image_surface_get_stride(src->surface) : 0;
    int SW = src ? cairo_image_surface_get_width(src->surface) : 0;
    int SH = src ? cairo_image_surface_get_height(src->surface) : 0;

    // The pattern: the selected brush's colour, or its pattern repeating from the DC's device origin, as
    // the destination shows it.
    const Brush* brush = dst.st.brush && dst.st.brush->style != BS_NULL ? dst.st.brush : nullptr;
    const bool patterned = brush != nullptr && brush->style == BS_PATTERN;
    uint32_t pat = brush != nullptr ? BrushPixel(*brush, dst.st, 0, 0) : 0;
    if (monoDst) pat = ToMono(pat);
    // Source pixels as the destination takes them. Colour to monochrome: the source DC's background colour
    // becomes white (1), every other colour black (0). Monochrome to colour: 0 becomes the destination DC's
    // text colour, 1 its background colour.
    const uint32_t srcBk = src ? ToPixel(src->bkColor) : 0;
    const uint32_t dstText = ToPixel(dst.st.textColor), dstBk = ToPixel(dst.st.bkColor);
    auto convert = [&](uint32_t px) -> uint32_t {
        px &= kWhite;
        if (monoSrc) {
            bool white = ToMono(px) != 0;
            if (monoDst) return white ? kWhite : 0;
            return white ? dstBk : dstText;
        }
        if (monoDst) return px == srcBk ? kWhite : 0;
        return px;
    };

    cairo_region_t* clip = EffectiveClip(dst);
    int x0 = static_cast<int>(std::lround(std::min(dx, dx + dw))) + dst.origin.x;
    int x1 = static_cast<int>(std::lround(std::max(dx, dx + dw))) + dst.origin.x;
    int y0 = static_cast<int>(std::lround(std::min(dy, dy + dh))) + dst.origin.y;
    int y1 = static_cast<int>(std::lround(std::max(dy, dy + dh))) + dst.origin.y;
    const int bx0 = std::max(x0, 0), bx1 = std::min(x1, W), by0 = std::max(y0, 0), by1 = std::min(y1, H);
    // A clip that holds the whole area needs no test pixel by pixel.
    if (clip && bx0 < bx1 && by0 < by1) {
        cairo_rectangle_int_t area{bx0, by0, bx1 - bx0, by1 - by0};
        if (cairo_region_contains_rectangle(clip, &area) == CAIRO_REGION_OVERLAP_IN) {
            cairo_region_destroy(clip);
            clip = nullptr;
        }
    }
    // The source column of every destination column, worked out once instead of on every row.
    std::vector<int> srcColumn;
    if (src && bx0 < bx1) {
        srcColumn.resize(static_cast<size_t>(bx1 - bx0));
        for (int x = bx0; x < bx1; ++x) {
            double fx = (x - dst.origin.x - dx + 0.5) * sw / dw + sx;
            srcColumn[static_cast<size_t>(x - bx0)] = static_cast<int>(std::floor(fx)) + src->origin.x;
        }
    }
    // Without a clip to test, a brush pattern or a change of scale, every row of the source is read side by
    // side, and the conversion between depths is chosen once.
    bool direct = !clip && !patterned && bx0 < bx1;
    if (direct && src) {
        const int first = srcColumn.front();
        direct = first >= 0 && first + (bx1 - bx0) <= SW;
        for (size_t i = 0; direct && i < srcColumn.size(); ++i)
            direct = srcColumn[i] == first + static_cast<int>(i);
    }
    const int depths = !src      ? (monoDst ? kNoSourceOnMono : kNoSource)
                       : monoSrc ? (monoDst ? kMonoToMono : kMonoToColour)
                                 : (monoDst ? kColourToMono : kColourToColour);
    WithRop(rop, [&](auto op) {
        if (direct) {
            const Conversion c{srcBk, dstText, dstBk};
            WithDepths(depths, [&](auto kind) {
                for (int y = by0; y < by1; ++y) {
                    uint32_t* row = reinterpret_cast<uint32_t*>(d + static_cast<size_t>(y) * dstride) + bx0;
                    const uint32_t* in = nullptr;
                    if (src) {
                        double fy = (y - dst.origin.y - dy + 0.5) * sh / dh + sy;
                        int py = static_cast<int>(std::floor(fy)) + src->origin.y;
                        if (py < 0 || py >= SH) continue;
                        in = reinterpret_cast<const uint32_t*>(s + static_cast<size_t>(py) * sstride) +
                             srcColumn.front();
                    }
                    DirectRow<decltype(kind)::value>(row, in, bx1 - bx0, pat, c, op);
                }
            });
            return;
        }
        for (int y = by0; y < by1; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(d + static_cast<size_t>(y) * dstride);
            int py = 0;
            if (src) {
                double fy = (y - dst.origin.y - dy + 0.5) * sh / dh + sy;
                py = static_cast<int>(std::floor(fy)) + src->origin.y;
            }
            for (int x = bx0; x < bx1; ++x) {
                if (clip && !cairo_region_contains_point(clip, x, y)) continue;
                uint32_t sp = 0;
                if (src) {
                    int px = srcColumn[static_cast<size_t>(x - bx0)];
                    if (px < 0 || py < 0 || px >= SW || py >= SH) continue;
                    std::memcpy(&sp, s + static_cast<size_t>(py) * sstride + static_cast<size_t>(px) * 4, 4);
                    sp = convert(sp);
                }
                uint32_t p = pat;
                if (patterned) {
                    p = BrushPixel(*brush, dst.st, x - dst.origin.x, y - dst.origin.y);
                    if (monoDst) p = ToMono(p);
                }
                uint32_t dp = row[x] & kWhite;
                if (monoDst) dp = ToMono(dp);
                row[x] = 0xFF000000u | op(p, sp, dp);
            }
        }
    });
    if (clip) cairo_region_destroy(clip);
    cairo_surface_mark_dirty(dst.surface);
    SyncBitmapOut(dst);
    return TRUE;
}

}  // namespace qsm::gdi
