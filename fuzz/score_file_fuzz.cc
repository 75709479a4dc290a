// Loads arbitrary bytes as a score file (any envelope). A score that loads is written again and read back:
// whatever the reader accepts and mends, the writer must store so that it reads back whole and unchanged.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/ram_stream.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

namespace {

std::vector<uint8_t> Written(TMusicScore& score) {
    TQSRSegRamStream out(1024);
    WriteScoreFileHeader(out, score);
    std::vector<uint8_t> bytes(out.GetSize());
    out.Seek(0);
    out.ReadBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

// Reads a written score back; it must load whole.
std::unique_ptr<TMusicScore> ReadBack(std::vector<uint8_t>& bytes, uint16_t date) {
    TQSRFlatRamStream in(bytes.data(), static_cast<DWORD>(bytes.size()), static_cast<DWORD>(bytes.size()));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(ReadScore(in, hdr, nullptr));
    if (!score || hdr.Status != StatusOk) __builtin_trap();
    score->Date = date;
    return score;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream raw(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
    if (!score) return 0;
    // The first reading may still settle derived member settings of chords (old versions and odd input);
    // from the second generation on, writing and reading must be exact.
    std::vector<uint8_t> first = Written(*score);
    std::vector<uint8_t> second = Written(*ReadBack(first, score->Date));
    if (Written(*ReadBack(second, score->Date)) != second) __builtin_trap();
    return 0;
}
