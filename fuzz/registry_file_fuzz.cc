// Reads hostile registry files: whatever the bytes, the reader keeps what parses, and writing that back and
// reading it again gives the same file, no longer than a small multiple of the input.
//
// An input that starts with 'R' is grown before reading, so that short inputs reach keys thousands of
// levels deep: 'R', a count byte, then prefix, 0x01, unit, 0x01, suffix; the text is the prefix, the unit
// repeated 32 times the count (at most 256 KB of it), and the suffix.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/registry/registry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 2 && data[0] == 'R') {
        size_t a = text.find('\x01', 2), b = a == std::string::npos ? a : text.find('\x01', a + 1);
        if (b != std::string::npos && b > a + 1) {
            const std::string unit = text.substr(a + 1, b - a - 1);
            const size_t count = std::min<size_t>(32u * data[1], (size_t{1} << 18) / unit.size());
            std::string grown = text.substr(2, a - 2);
            grown.reserve(grown.size() + unit.size() * count + size);
            for (size_t i = 0; i < count; ++i)
                grown += unit;
            grown += text.substr(b + 1);
            text = std::move(grown);
        }
    }
    std::string once = qsm::registry_internal::ReparseForTest(text);
    if (qsm::registry_internal::ReparseForTest(once) != once) __builtin_trap();
    if (once.size() > 32 * text.size() + 256) __builtin_trap();
    return 0;
}
