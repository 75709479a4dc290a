// Reads hostile bytes through the decompressing stream in every requested envelope mode, by blocks, byte by
// byte and with seeks, the way the score and text readers do.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    int mode = data[0] % 3;
    bool bytewise = (data[0] & 4) != 0;
    const uint8_t* body = data + 1;
    DWORD n = static_cast<DWORD>(size - 1);
    std::vector<uint8_t> copy(body, body + n);
    TQSRZLibInStream in(mode, new TQSRFlatRamStream(copy.data(), n, n), true);
    std::vector<uint8_t> buf(4099);
    DWORD total = 0;
    // The output is bounded so that a small bomb does not take the whole run.
    while (total < (1u << 22)) {
        DWORD k;
        if (bytewise) {
            in.Get();
            k = in.GetError() ? 0 : 1;
        } else {
            k = in.ReadBlock(buf.data(), static_cast<DWORD>(buf.size()));
        }
        if (k == 0) break;
        total += k;
    }
    if (in.Tell() != total) __builtin_trap();
    in.Seek(total / 2);
    in.ReadWord();
    in.Rewind();
    in.ReadLong();
    return 0;
}
