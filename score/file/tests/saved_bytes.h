#ifndef QSM_SCORE_FILE_TESTS_SAVED_BYTES_H
#define QSM_SCORE_FILE_TESTS_SAVED_BYTES_H

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/ram_stream.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

// The bytes of the score written as a compact file.
inline std::vector<uint8_t> SavedBytes(TMusicScore& score) {
    TQSRSegRamStream out(1024);
    EXPECT_TRUE(WriteScoreFileHeader(out, score));
    std::vector<uint8_t> bytes(out.GetSize());
    out.Seek(0);
    out.ReadBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

#endif
