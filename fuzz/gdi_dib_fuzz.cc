// Bitmap resources are packed DIBs: checked, unpacked and drawn scaled onto a small bitmap.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HDC dc = [] {
        HDC d = CreateCompatibleDC(nullptr);
        SelectObject(d, CreateBitmap(64, 64, 1, 32, nullptr));
        return d;
    }();
    qsm::gdi::PackedDibLayout layout;
    if (!qsm::gdi::ParsePackedDib(data, size, &layout)) return 0;
    std::vector<uint8_t> info, bits;
    if (!qsm::gdi::UnpackDib(data, size, &info, &bits)) std::abort();  // checked above
    // Large images cost time without reaching more code.
    if (static_cast<int64_t>(layout.width) * std::abs(layout.height) > (1 << 16)) return 0;
    const auto* bi = reinterpret_cast<const BITMAPINFO*>(info.data());
    int h = std::abs(layout.height);
    StretchDIBits(dc, 0, 0, 64, 64, 0, 0, layout.width, h, bits.data(), bi, DIB_RGB_COLORS, SRCCOPY);
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(layout.width), static_cast<DWORD>(h), 0, 0, 0,
                      static_cast<UINT>(h), bits.data(), bi, DIB_RGB_COLORS);
    return 0;
}
