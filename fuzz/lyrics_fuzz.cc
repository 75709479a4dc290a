// Lyric lines from outside data: plain text read line by line, and the stored buffer form filled directly
// as the score file reader does it. Every cursor walk must stay inside the line's buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/ram_stream.h"
#include "score/lyrics.h"

namespace {

void Walk(const TLyricText& line) {
    TLyric cursor;
    cursor.SetLine(line, 1 << 20);
    const int count = cursor.GetIndex();
    cursor.Seek(0);
    for (int i = 0; i < count; ++i)
        cursor.Prev();
    cursor.Seek(count / 2);
    line.GetTextOffset(count);
    TQSRFlatRamStream out(256, 4096);
    line.WriteToStream(out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;
    TLyricText line;
    if (mode & 1) {
        // Stored form: a capacity and a used length from the data, then the raw bytes.
        const int capacity = static_cast<int>(size % 4096) - 8;
        const int used = (static_cast<int>(data[0]) << 4) | (mode >> 4);
        line.Resize(capacity);
        if (line.GetWritableBuffer()) {
            memcpy(line.GetWritableBuffer(), data, std::min<size_t>(size, static_cast<size_t>(capacity)));
        }
        line.MendRawFill(used);
    } else {
        TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
        line.ReadFromStream(in, (mode & 2) != 0);
    }
    Walk(line);
    return 0;
}
