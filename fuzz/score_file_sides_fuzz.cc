// Loads arbitrary bytes as a score file with one thread and with several: reading the staff records side by
// side must give what reading them in turn gives (or read them in turn itself), whatever the bytes are:
// the same status, the same score and the same stream position.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/parallel.h"
#include "core/ram_stream.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

namespace {

struct TRead {
    std::unique_ptr<TMusicScore> Score;
    int Status = 0;
    std::vector<uint8_t> Written;
};

TRead Load(const uint8_t* data, size_t size, unsigned threads) {
    qsm::SetParallelThreads(threads);
    TQSRFlatRamStream raw(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TScoreFileHeader hdr;
    TRead read;
    read.Score.reset(qsm::LoadScoreFromStream(raw, hdr, nullptr));
    read.Status = hdr.Status;
    if (read.Score) {
        TQSRSegRamStream out(1024);
        WriteScoreFileHeader(out, *read.Score);
        read.Written.resize(out.GetSize());
        out.Seek(0);
        out.ReadBlock(read.Written.data(), static_cast<DWORD>(read.Written.size()));
    }
    return read;
}

// Plain bytes read straight from the stream: where the stream stands after the staves as well.
DWORD PlainEnd(const uint8_t* data, size_t size, unsigned threads) {
    qsm::SetParallelThreads(threads);
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(ReadScore(in, hdr, nullptr));
    return in.Tell();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TRead one = Load(data, size, 1);
    TRead many = Load(data, size, 4);
    if ((one.Score == nullptr) != (many.Score == nullptr) || one.Status != many.Status ||
        one.Written != many.Written)
        __builtin_trap();
    if (PlainEnd(data, size, 1) != PlainEnd(data, size, 4)) __builtin_trap();
    return 0;
}
