// Imports arbitrary bytes as a text score and lays out and draws whatever results: the view's continuous
// system from a few time positions (drawing modes 1 and 0) and page systems (mode 3), into a recording DC
// with fixed metrics. Whatever a score holds, layout ends and stays inside its records.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "fuzz/score_view_drawing.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 200000) return 0;
    TQSRFlatRamStream stream(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    std::unique_ptr<TMusicScore> score(ImportTextScore(stream, nullptr, -1));
    if (!score) return 0;
    qsm::fuzz::LayOutAndDraw(score.get(), 200);
    return 0;
}
