// Fuzzes the text score importer over bytes from memory, read as a file (mode -1) and as a headerless
// clip (mode 0).
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;
    for (int mode : {-1, 0}) {
        TQSRFlatRamStream stream(const_cast<uint8_t*>(data), static_cast<DWORD>(size),
                                 static_cast<DWORD>(size));
        std::unique_ptr<TMusicScore> score(ImportTextScore(stream, nullptr, mode));
    }
    return 0;
}
