// Bitmaps, DIB sections and block transfers.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/gdi/gdi_internal.h"
#include "platform/gdi/raster.h"

namespace qsm::gdi {
namespace {

Bitmap* NewBitmap(int width, int height, int bitCount) {
    auto* b = new Bitmap;
    b->type = OBJ_BITMAP;
    b->width = width;
    b->height = height;
    b->bitCount = bitCount;
    b->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(b->surface) != CAIRO_STATUS_SUCCESS) {
        delete b;
        return nullptr;
    }
    return b;
}

uint32_t Pixel(const RGBQUAD& q) {
    return 0xFF000000u | (q.rgbRed << 16) | (q.rgbGreen << 8) | q.rgbBlue;
}

int NearestIndex(const std::vector<RGBQUAD>& colors, uint32_t px) {
    int best = 0, bestDist = INT_MAX;
    int r = (px >> 16) & 0xFF, g = (px >> 8) & 0xFF, b = px & 0xFF;
    for (size_t i = 0; i < colors.size(); ++i) {
        int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) bestDist = d, best = static_cast<int>(i);
    }
    return best;
}

bool NeedsSource(DWORD rop) {
    return RopUsesSource(rop);
}

BOOL Blt(HDC hdcDest, int x, int y, int w, int h, HDC hdcSrc, int sx, int sy, int sw, int sh, DWORD rop,
         const char* op) {
    DC* dst = ToDC(hdcDest);
    if (!dst) return FALSE;
    DC* src = hdcSrc ? ToDC(hdcSrc) : nullptr;
    if (NeedsSource(rop) && !src) return FALSE;
    if (dst->recording) Record(*dst, op, {x, y, w, h, sx, sy, sw, sh, static_cast<int32_t>(rop)});
    if (!dst->cr || (dst->bitmap && dst->bitmap->stock)) return TRUE;
    FlushBatch(*dst);
    if (src) FlushBatch(*src);
    double dx0, dy0, dx1, dy1;
    ToDevice(*dst, x, y, &dx0, &dy0);
    ToDevice(*dst, x + w, y + h, &dx1, &dy1);
    double sx0 = 0, sy0 = 0, sx1 = 0, sy1 = 0;
    if (src) {
        ToDevice(*src, sx, sy, &sx0, &sy0);
        ToDevice(*src, sx + sw, sy + sh, &sx1, &sy1);
    }
    bool image = cairo_surface_get_type(dst->surface) == CAIRO_SURFACE_TYPE_IMAGE;
    // A copy onto itself needs the source before it changes.
    if (src && src->surface == dst->surface && NeedsSource(rop) && image) {
        cairo_surface_t* snap = cairo_surface_create_similar_image(
            dst->surface, CAIRO_FORMAT_RGB24, cairo_image_surface_get_width(dst->surface),
            cairo_image_surface_get_height(dst->surface));
        cairo_t* cr = cairo_create(snap);
        cairo_set_source_surface(cr, dst->surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        BltSource copy = SourceOf(*src);
        copy.surface = snap;
        BOOL ok = RasterBlt(*dst, dx0, dy0, dx1 - dx0, dy1 - dy0, &copy, sx0, sy0, sx1 - sx0, sy1 - sy0, rop);
        cairo_surface_destroy(snap);
        return ok;
    }
    if (rop == SRCCOPY && src && src->surface &&
        (!image || (dst->st.rop2 == R2_COPYPEN && !ConvertsDepth(*dst, *src)))) {
        SyncBitmapIn(*src);
        double scx = (dx1 - dx0) / (sx1 - sx0), scy = (dy1 - dy0) / (sy1 - sy0);
        if (!std::isfinite(scx) || !std::isfinite(scy)) return FALSE;
        Emit(
            *dst, 0,
            [&](cairo_t* cr) {
                ClipRect(cr, std::min(dx0, dx1), std::min(dy0, dy1), std::fabs(dx1 - dx0),
                         std::fabs(dy1 - dy0));
                cairo_translate(cr, dx0, dy0);
                cairo_scale(cr, scx, scy);
                cairo_set_source_surface(cr, src->surface, -(sx0 + src->origin.x), -(sy0 + src->origin.y));
                cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
                PaintSource(cr);
            },
            false);
        return TRUE;
    }
    if ((rop == PATCOPY && !(dst->st.brush && dst->st.brush->style == BS_PATTERN && image)) ||
        rop == BLACKNESS || rop == WHITENESS) {
        COLORREF c = rop == BLACKNESS   ? 0
                     : rop == WHITENESS ? RGB(255, 255, 255)
                                        : (dst->st.brush ? dst->st.brush->color : 0);
        if (rop == PATCOPY && (!dst->st.brush || dst->st.brush->style == BS_NULL)) return TRUE;
        Emit(
            *dst, c,
            [&](cairo_t* cr) {
                cairo_rectangle(cr, std::min(dx0, dx1), std::min(dy0, dy1), std::fabs(dx1 - dx0),
                                std::fabs(dy1 - dy0));
                PaintFill(cr, false);
            },
            false);
        return TRUE;
    }
    BltSource source;
    if (src) source = SourceOf(*src);
    return RasterBlt(*dst, dx0, dy0, dx1 - dx0, dy1 - dy0, src ? &source : nullptr, sx0, sy0, sx1 - sx0,
                     sy1 - sy0, rop);
}

}  // namespace

void Bitmap::SyncToSurface() {
    if (direct || !bits) return;
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int cstride = cairo_image_surface_get_stride(surface);
    const auto* src = static_cast<const unsigned char*>(bits);
    // The colour table's pixels, and opaque black for indices past its end.
    uint32_t table[256];
    if (bitCount <= 8)
        for (size_t i = 0; i < std::size(table); ++i)
            table[i] = i < colors.size() ? Pixel(colors[i]) : 0xFF000000u;
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = src + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride;
        auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * cstride);
        switch (bitCount) {
            case 32:
                std::memcpy(out, row, static_cast<size_t>(width) * 4);
                break;
            case 24:
                for (int x = 0; x < width; ++x)
                    out[x] = 0xFF000000u | (row[x * 3 + 2] << 16) | (row[x * 3 + 1] << 8) | row[x * 3];
                break;
            case 8:
                for (int x = 0; x < width; ++x)
                    out[x] = table[row[x]];
                break;
            case 4:
                for (int x = 0; x < width; ++x)
                    out[x] = table[(row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF];
                break;
            case 1:
                for (int x = 0; x < width; ++x)
                    out[x] = table[(row[x / 8] >> (7 - x % 8)) & 1];
                break;
            default:
                for (int x = 0; x < width; ++x)
                    out[x] = 0xFF000000u;
                break;
        }
    }
    cairo_surface_mark_dirty(surface);
}

void Bitmap::SyncFromSurface() {
    if (direct || !bits) return;
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int cstride = cairo_image_surface_get_stride(surface);
    auto* dst = static_cast<unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = dst + static_cast<size_t>(bottomUp ? height - 1 - y : y) * stride;
        const auto* in = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * cstride);
        for (int x = 0; x < width; ++x) {
            uint32_t px = in[x];
            switch (bitCount) {
                case 32:
                    std::memcpy(row + x * 4, &px, 4);
                    break;
                case 24:
                    row[x * 3] = px & 0xFF;
                    row[x * 3 + 1] = (px >> 8) & 0xFF;
                    row[x * 3 + 2] = (px >> 16) & 0xFF;
                    break;
                case 8:
                    row[x] = static_cast<unsigned char>(NearestIndex(colors, px));
                    break;
                case 4: {
                    int idx = NearestIndex(colors, px);
                    int shift = x % 2 ? 0 : 4;
                    row[x / 2] = static_cast<unsigned char>((row[x / 2] & ~(0xF << shift)) | (idx << shift));
                    break;
                }
                case 1: {
                    int idx = NearestIndex(colors, px);
                    int bit = 7 - x % 8;
                    row[x / 8] = static_cast<unsigned char>((row[x / 8] & ~(1 << bit)) | (idx << bit));
                    break;
                }
                default:
                    break;
            }
        }
    }
}

cairo_surface_t* GetBitmapSurface(HBITMAP bitmap) {
    auto* b = ToObjectOf<Bitmap>(bitmap, OBJ_BITMAP);
    if (!b) return nullptr;
    b->SyncToSurface();
    return b->surface;
}

bool WritePng(HDC hdc, const char* path) {
    DC* dc = ToDC(hdc);
    if (!dc || !dc->surface || !path || cairo_surface_get_type(dc->surface) != CAIRO_SURFACE_TYPE_IMAGE)
        return false;
    SyncBitmapIn(*dc);
    cairo_surface_flush(dc->surface);
    return cairo_surface_write_to_png(dc->surface, path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    DC* dc = ToDC(hdc);
    if (!dc || width < 0 || height < 0 || width > 32767 || height > 32767) return nullptr;
    // Compatible with what the DC draws on: a memory DC that holds a monochrome bitmap (a new memory DC
    // holds its 1 x 1 one) gives a monochrome bitmap; every other DC a colour one.
    int bitCount = dc->kind == DCKind::Memory && dc->bitmap != nullptr && dc->bitmap->bitCount == 1 ? 1 : 32;
    Bitmap* b = NewBitmap(std::max(width, 1), std::max(height, 1), bitCount);
    if (!b) return nullptr;
    // A fresh bitmap is black, as on a display.
    return reinterpret_cast<HBITMAP>(Register(b));
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitCount, const void* bits) {
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767 || planes != 1) return nullptr;
    if (bitCount != 1 && bitCount != 32) return nullptr;
    Bitmap* b = NewBitmap(width, height, static_cast<int>(bitCount));
    if (!b) return nullptr;
    if (bits) {
        // Device-dependent rows are padded to 16 bits.
        int rowBytes = bitCount == 1 ? ((width + 15) / 16) * 2 : width * 4;
        cairo_surface_flush(b->surface);
        unsigned char* data = cairo_image_surface_get_data(b->surface);
        int cstride = cairo_image_surface_get_stride(b->surface);
        const auto* in = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < height; ++y) {
            auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * cstride);
            const unsigned char* row = in + static_cast<size_t>(y) * rowBytes;
            for (int x = 0; x < width; ++x) {
                if (bitCount == 1)
                    out[x] = ((row[x / 8] >> (7 - x % 8)) & 1) ? 0xFFFFFFFFu : 0xFF000000u;
                else
                    std::memcpy(&out[x], row + x * 4, 4), out[x] |= 0xFF000000u;
            }
        }
        cairo_surface_mark_dirty(b->surface);
    } else if (bitCount == 1) {
        // Monochrome bitmaps start black.
    }
    return reinterpret_cast<HBITMAP>(Register(b));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    (void)hdc;
    (void)offset;
    if (bits) *bits = nullptr;
    if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bc = h.biBitCount;
    if (h.biCompression != BI_RGB || (bc != 1 && bc != 4 && bc != 8 && bc != 24 && bc != 32)) return nullptr;
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biWidth > 32767 || h.biHeight > 32767 || h.biHeight < -32767)
        return nullptr;
    int width = h.biWidth, height = std::abs(h.biHeight);
    Bitmap* b = NewBitmap(width, height, bc);
    if (!b) return nullptr;
    b->bottomUp = h.biHeight > 0;
    b->stride = ((width * bc + 31) / 32) * 4;
    if (bc <= 8) {
        size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, size_t{1} << bc) : size_t{1} << bc;
        b->colors.assign(info->bmiColors, info->bmiColors + n);
    }
    if (bc == 32 && !b->bottomUp) {
        // The surface works on the caller's bits directly.
        cairo_surface_destroy(b->surface);
        b->bits = std::calloc(static_cast<size_t>(b->stride) * height, 1);
        b->ownsBits = true;
        b->surface = cairo_image_surface_create_for_data(static_cast<unsigned char*>(b->bits),
                                                         CAIRO_FORMAT_RGB24, width, height, b->stride);
        b->direct = true;
    } else {
        b->bits = std::calloc(static_cast<size_t>(b->stride) * height, 1);
        b->ownsBits = true;
        b->direct = false;
        b->SyncToSurface();
    }
    if (bits) *bits = b->bits;
    return reinterpret_cast<HBITMAP>(Register(b));
}

BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
    return Blt(dest, x, y, w, h, src, sx, sy, w, h, rop, "BitBlt");
}

BOOL StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
    if (sw == 0 || sh == 0) return FALSE;
    return Blt(dest, x, y, w, h, src, sx, sy, sw, sh, rop, "StretchBlt");
}

BOOL PatBlt(HDC hdc, int x, int y, int w, int h, DWORD rop) {
    if (NeedsSource(rop)) return FALSE;
    return Blt(hdc, x, y, w, h, nullptr, 0, 0, w, h, rop, "PatBlt");
}

BOOL GdiFlush() {
    return TRUE;
}
