// Fuzzes the rich-text view's reader of rich text format and of plain text. Every character must come
// with a format of the table, within the limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/wm/rtf_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    for (int plain = 0; plain < 2; ++plain) {
        qsm::wm::RichText t;
        t.formats.push_back(qsm::wm::RichFormat{});
        const size_t limit = 4096;
        if (plain)
            qsm::wm::ReadPlainText(in, limit, &t);
        else
            qsm::wm::ReadRtf(in, limit, &t);
        if (t.text.size() != t.format.size() || t.text.size() > limit) abort();
        for (uint16_t f : t.format)
            if (f >= t.formats.size()) abort();
    }
    return 0;
}
