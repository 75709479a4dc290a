// Pictures of cursors loaded from cursor resources, for backends that show cursors of their own.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/kernel/resources.h"
#include "platform/wm/internal.h"

namespace qsm::wm {

namespace {

std::mutex& ImagesMutex() {
    static std::mutex m;
    return m;
}
std::map<HCURSOR, CursorImage>& Images() {
    static auto* images = new std::map<HCURSOR, CursorImage>();
    return *images;
}

uint32_t Read32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Read16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

bool ParseCursorResource(const void* data, size_t size, CursorImage* out) {
    auto* p = static_cast<const unsigned char*>(data);
    if (p == nullptr || out == nullptr || size < 4 + 40) return false;
    int hot_x = Read16(p), hot_y = Read16(p + 2);
    const unsigned char* dib = p + 4;
    size_t rest = size - 4;
    uint32_t header = Read32(dib);
    auto width = static_cast<int32_t>(Read32(dib + 4));
    auto height2 = static_cast<int32_t>(Read32(dib + 8));
    uint16_t planes = Read16(dib + 12), bits = Read16(dib + 14);
    uint32_t compression = Read32(dib + 16), used = Read32(dib + 32);
    // Only monochrome, uncompressed, bottom-up pictures of a sensible size.
    if (header < 40 || header > rest || planes != 1 || bits != 1 || compression != 0) return false;
    if (width <= 0 || width > 256 || height2 <= 0 || height2 % 2 != 0 || height2 / 2 > 256) return false;
    if (used == 0) used = 2;
    if (used > 2) return false;
    int height = height2 / 2;
    size_t stride = (static_cast<size_t>(width) + 31) / 32 * 4;
    size_t table = header, masks = table + 4 * used;
    if (masks + 2 * stride * static_cast<size_t>(height) > rest) return false;
    uint32_t colours[2] = {0xFF000000u, 0xFFFFFFFFu};
    for (uint32_t i = 0; i < used; ++i) {
        const unsigned char* q = dib + table + 4 * i;
        colours[i] =
            0xFF000000u | static_cast<uint32_t>(q[2]) << 16 | static_cast<uint32_t>(q[1]) << 8 | q[0];
    }
    CursorImage image;
    image.width = width;
    image.height = height;
    image.hot_x = std::min(hot_x, width - 1);
    image.hot_y = std::min(hot_y, height - 1);
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    const unsigned char* colour_mask = dib + masks;
    const unsigned char* and_mask = colour_mask + stride * static_cast<size_t>(height);
    for (int y = 0; y < height; ++y) {
        size_t row = static_cast<size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            unsigned bit = 0x80u >> (x % 8);
            bool colour = (colour_mask[row + static_cast<size_t>(x / 8)] & bit) != 0;
            bool transparent = (and_mask[row + static_cast<size_t>(x / 8)] & bit) != 0;
            uint32_t& px =
                image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
            // A pixel that would invert the screen is shown black.
            if (transparent)
                px = colour ? 0xFF000000u : 0u;
            else
                px = colours[colour ? 1 : 0];
        }
    }
    *out = std::move(image);
    return true;
}

void RememberCursorImage(HCURSOR cursor, HINSTANCE instance, LPCSTR name) {
    HRSRC res = FindResourceA(instance, name, RT_CURSOR);
    if (res == nullptr) return;
    const void* data = LockResource(LoadResource(instance, res));
    CursorImage image;
    if (!ParseCursorResource(data, SizeofResource(instance, res), &image)) return;
    std::lock_guard<std::mutex> lock(ImagesMutex());
    Images()[cursor] = std::move(image);
}

bool ParseIconResource(const void* data, size_t size, CursorImage* out) {
    const auto* p = static_cast<const unsigned char*>(data);
    if (p == nullptr || size < 40 || Read32(p) != 40) return false;
    auto width = static_cast<int32_t>(Read32(p + 4));
    auto height = static_cast<int32_t>(Read32(p + 8));
    if (Read16(p + 12) != 1 || Read16(p + 14) != 32 || Read32(p + 16) != 0) return false;
    if (width <= 0 || width > 256 || height == 0 || height < -256 || height > 256) return false;
    bool bottom_up = height > 0;
    int rows = bottom_up ? height : -height;
    size_t stride = static_cast<size_t>(width) * 4;
    if (size < 40 + stride * static_cast<size_t>(rows)) return false;
    CursorImage image;
    image.width = width;
    image.height = rows;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(rows));
    for (int y = 0; y < rows; ++y) {
        const unsigned char* row = p + 40 + stride * static_cast<size_t>(bottom_up ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x)
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] =
                Read32(row + static_cast<size_t>(x) * 4);
    }
    *out = std::move(image);
    return true;
}

void RememberIconImage(HICON icon, HINSTANCE instance, LPCSTR name) {
    HRSRC res = FindResourceA(instance, name, RT_ICON);
    if (res == nullptr) return;
    const void* data = LockResource(LoadResource(instance, res));
    CursorImage image;
    if (!ParseIconResource(data, SizeofResource(instance, res), &image)) return;
    std::lock_guard<std::mutex> lock(ImagesMutex());
    Images()[reinterpret_cast<HCURSOR>(icon)] = std::move(image);
}

bool GetCursorImage(HCURSOR cursor, CursorImage* out) {
    std::lock_guard<std::mutex> lock(ImagesMutex());
    auto it = Images().find(cursor);
    if (it == Images().end()) return false;
    if (out != nullptr) *out = it->second;
    return true;
}

}  // namespace qsm::wm
