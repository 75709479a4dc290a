// Device-independent bitmaps drawn from the caller's memory (StretchDIBits, SetDIBitsToDevice) and packed
// DIBs from resources.
#include "platform/gdi/dib.h"

#include <cstdlib>
#include <cstring>

namespace qsm::gdi {
namespace {

// Checks the header of a BITMAPINFO the caller gives; answers the row size and the colour count.
bool CheckInfo(const BITMAPINFO* info, size_t* stride, int* colors) {
    if (!info) return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    int bc = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB) return false;
    if (bc != 1 && bc != 4 && bc != 8 && bc != 24 && bc != 32) return false;
    if (h.biWidth <= 0 || h.biWidth > 32767 || h.biHeight == 0 || h.biHeight > 32767 || h.biHeight < -32767)
        return false;
    *stride = static_cast<size_t>((static_cast<int64_t>(h.biWidth) * bc + 31) / 32 * 4);
    // A colour count beyond what the pixels can name is refused (the table's size is read from it).
    DWORD full = bc <= 8 ? DWORD{1} << bc : 0;
    if (bc <= 8 && h.biClrUsed > full) return false;
    *colors = static_cast<int>(h.biClrUsed && bc <= 8 ? h.biClrUsed : full);
    return true;
}

// A DIB section holding the caller's image, selected into a memory DC.
struct Staged {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    ~Staged() {
        if (dc) {
            SelectObject(dc, old);
            DeleteDC(dc);
        }
        if (bmp) DeleteObject(bmp);
    }
};

bool Stage(HDC ref, const void* bits, const BITMAPINFO* info, Staged* out) {
    size_t stride = 0;
    int colors = 0;
    if (!bits || !CheckInfo(info, &stride, &colors)) return false;
    // The section wants the colour table right after a 40-byte header.
    std::vector<uint8_t> copy(sizeof(BITMAPINFOHEADER) + static_cast<size_t>(colors) * sizeof(RGBQUAD) +
                              sizeof(RGBQUAD));
    std::memcpy(copy.data(), &info->bmiHeader, sizeof(BITMAPINFOHEADER));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(copy.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biClrUsed = static_cast<DWORD>(colors);
    const auto* table = reinterpret_cast<const uint8_t*>(info) + info->bmiHeader.biSize;
    std::memcpy(copy.data() + sizeof(BITMAPINFOHEADER), table, static_cast<size_t>(colors) * sizeof(RGBQUAD));
    void* dst = nullptr;
    out->bmp =
        CreateDIBSection(ref, reinterpret_cast<BITMAPINFO*>(copy.data()), DIB_RGB_COLORS, &dst, nullptr, 0);
    if (!out->bmp || !dst) return false;
    std::memcpy(dst, bits, stride * static_cast<size_t>(std::abs(info->bmiHeader.biHeight)));
    out->dc = CreateCompatibleDC(ref);
    out->old = SelectObject(out->dc, out->bmp);
    return true;
}

// The top row (in the image as shown) of a source rectangle whose y counts from the bottom of a bottom-up
// image and from the top of a top-down one.
int TopRow(const BITMAPINFO* info, int y, int h) {
    int height = info->bmiHeader.biHeight;
    return height > 0 ? height - y - h : y;
}

}  // namespace

bool ParsePackedDib(const void* data, size_t size, PackedDibLayout* out) {
    if (!data || size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof h);
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size) return false;
    size_t stride = 0;
    int colors = 0;
    BITMAPINFO probe{};
    probe.bmiHeader = h;
    if (!CheckInfo(&probe, &stride, &colors)) return false;
    size_t colorsOffset = h.biSize;
    size_t bitsOffset = colorsOffset + static_cast<size_t>(colors) * sizeof(RGBQUAD);
    size_t rows = static_cast<size_t>(std::abs(h.biHeight));
    if (bitsOffset > size || stride * rows > size - bitsOffset) return false;
    if (out) *out = {h.biWidth, h.biHeight, h.biBitCount, colors, colorsOffset, bitsOffset, stride};
    return true;
}

bool UnpackDib(const void* data, size_t size, std::vector<uint8_t>* info, std::vector<uint8_t>* bits) {
    PackedDibLayout l;
    if (!ParsePackedDib(data, size, &l)) return false;
    const auto* p = static_cast<const uint8_t*>(data);
    size_t table = static_cast<size_t>(l.colors) * sizeof(RGBQUAD);
    // One spare colour entry keeps bmiColors[0] inside the block for a table-less image.
    info->assign(sizeof(BITMAPINFOHEADER) + table + sizeof(RGBQUAD), 0);
    std::memcpy(info->data(), p, sizeof(BITMAPINFOHEADER));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info->data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biClrUsed = static_cast<DWORD>(l.colors);
    std::memcpy(info->data() + sizeof(BITMAPINFOHEADER), p + l.colorsOffset, table);
    bits->assign(p + l.bitsOffset, p + l.bitsOffset + l.stride * static_cast<size_t>(std::abs(l.height)));
    return true;
}

}  // namespace qsm::gdi

using namespace qsm::gdi;

int StretchDIBits(HDC hdc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
    if (usage != DIB_RGB_COLORS || sw <= 0 || sh <= 0) return 0;
    Staged s;
    if (!Stage(hdc, bits, info, &s)) return 0;
    if (!StretchBlt(hdc, x, y, w, h, s.dc, sx, TopRow(info, sy, sh), sw, sh, rop)) return 0;
    return sh;
}

int SetDIBitsToDevice(HDC hdc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT scanLines,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
    if (usage != DIB_RGB_COLORS || !info || startScan != 0 ||
        scanLines < static_cast<UINT>(std::abs(info->bmiHeader.biHeight)))
        return 0;
    Staged s;
    if (!Stage(hdc, bits, info, &s)) return 0;
    int iw = static_cast<int>(w), ih = static_cast<int>(h);
    if (!BitBlt(hdc, x, y, iw, ih, s.dc, sx, TopRow(info, sy, ih), SRCCOPY)) return 0;
    return static_cast<int>(scanLines);
}
