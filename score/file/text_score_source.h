#pragma once
// Text scores held in memory or in a file, imported in one call: for tools, tests and benchmarks that
// start from a text score.

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/ram_stream.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

namespace qsm {

// The whole content of a file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Imports a text score held in a string; null when the text is refused.
inline std::unique_ptr<TMusicScore> ImportTextScoreText(std::string text) {
    TQSRFlatRamStream stream(text.data(), static_cast<DWORD>(text.size()), static_cast<DWORD>(text.size()));
    return std::unique_ptr<TMusicScore>(ImportTextScore(stream, nullptr, -1));
}

inline std::unique_ptr<TMusicScore> ImportTextScoreFile(const std::string& path) {
    return ImportTextScoreText(ReadWholeFile(path));
}

}  // namespace qsm
