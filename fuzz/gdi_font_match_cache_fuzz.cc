// Reads hostile font match files: whatever the bytes, the reader takes a whole file or nothing, and what it
// takes is written back as a file that reads the same. Each input is read as it is and again with its last
// eight bytes made the sum of the rest, so that the layout behind the sum is reached.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gdi/font_match_cache.h"

namespace {

void Check(std::string_view bytes) {
    qsm::gdi::FontMatchRecord record, again;
    if (!qsm::gdi::DecodeFontMatches(bytes, &record)) {
        if (!record.facts.empty() || !record.paths.empty() || !record.files.empty() ||
            !record.matches.empty())
            __builtin_trap();
        return;
    }
    if (!qsm::gdi::DecodeFontMatches(qsm::gdi::EncodeFontMatches(record), &again)) __builtin_trap();
    if (!again.SameKey(record) || again.matches != record.matches) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Check(bytes);
    if (size < 8) return 0;
    // The file's sum: 64-bit FNV-1a of all but its last eight bytes, little-endian.
    uint64_t h = 0xcbf29ce484222325ull;
    for (size_t i = 0; i + 8 < size; ++i) {
        h ^= static_cast<unsigned char>(bytes[i]);
        h *= 0x100000001b3ull;
    }
    for (int i = 0; i < 8; ++i)
        bytes[size - 8 + i] = static_cast<char>(h >> (8 * i));
    Check(bytes);
    return 0;
}
