// Reads hostile font match files: whatever the bytes, the reader takes a whole file or nothing, and what it
// takes is written back as a file that reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/gdi/font_match_cache.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qsm::gdi::FontMatchRecord record, again;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!qsm::gdi::DecodeFontMatches(bytes, &record)) {
        if (!record.facts.empty() || !record.paths.empty() || !record.matches.empty()) __builtin_trap();
        return 0;
    }
    if (!qsm::gdi::DecodeFontMatches(qsm::gdi::EncodeFontMatches(record), &again)) __builtin_trap();
    if (!again.SameKey(record) || again.matches != record.matches) __builtin_trap();
    return 0;
}
