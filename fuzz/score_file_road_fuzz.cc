// The whole road of a compact score file from its bytes to the screen: load, format every staff, lay out
// and draw. Whatever a file holds, each step ends and stays inside its records.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "fuzz/score_view_drawing.h"
#include "score/file/score_file.h"
#include "score/format/format.h"
#include "score/music_score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream raw(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
    if (!score) return 0;
    for (int i = 0; i < score->GetStaffCount(); ++i)
        FormatStaff(*score->GetStaff(i));
    qsm::fuzz::LayOutAndDraw(score.get(), 200);
    return 0;
}
