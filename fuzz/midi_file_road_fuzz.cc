// The whole road of a Standard MIDI File from its bytes to the screen: read, convert into a score (with
// each kind of lyric), lay out and draw the first score converted. Files of up to 5,000 events are
// converted; the budget below keeps a run within about 2 s in the instrumented build (a conversion takes
// about 0.1 s per 1,000 units of work, and drawing about as long as a dense conversion).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "fuzz/score_view_drawing.h"
#include "fuzz/smf_conversion_work.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/music_score.h"

namespace {

constexpr int kMaxEvents = 5000;
// Bars times staves times chord weight, halved: 5,000 events of dense music weigh about 4,000.
constexpr uint64_t kMaxWork = 12000;
// Page systems drawn: each draws every staff.
constexpr int kMaxSystems = 4;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TQSRFlatRamStream log(256, 4096);
    TSMFData smf;
    TSMFImport::Run(&smf, &in, &log);
    const qsm::fuzz::TrackTally tally =
        qsm::fuzz::TallyTracks(smf, [](TSMFTrackData* track) { track->GetTextStream().Rewind(); });
    if (tally.events > kMaxEvents || smf.GetTrackCount() > 64) return 0;
    TSMFImportList list;
    BuildImportInstructions(&smf, list, true, 16);
    const uint64_t bars = qsm::fuzz::CountBars(smf, std::min<DWORD>(tally.lastTick, 0x7FFFFFFF) + 384);
    const uint64_t weight = 2 + static_cast<uint64_t>(qsm::fuzz::WidestChord(smf));
    bool drawn = false;
    for (int kind : {1, 2}) {
        // Without texts of the second kind its conversion repeats the first.
        if (kind == 2 && tally.lyricTracks[2] == 0) continue;
        const uint64_t staves = list.size() + 1 + static_cast<uint64_t>(tally.lyricTracks[kind]);
        if (bars * staves * weight / 2 > kMaxWork) continue;
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, list, kind));
        if (score->GetStaffCount() < 1) __builtin_trap();
        if (drawn) continue;
        qsm::fuzz::LayOutAndDraw(score.get(), kMaxSystems);
        drawn = true;
    }
    return 0;
}
