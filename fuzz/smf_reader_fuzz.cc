// Standard MIDI Files from outside: the importer reads any bytes into per-track event buffers, texts and
// system-exclusive records; everything it stored is then walked, and a file of modest size is converted
// into a score, which must come out with at least one staff whatever the file holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "fuzz/smf_conversion_work.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/base/midi_file_buf.h"
#include "score/music_score.h"

using qsm::fuzz::CountBars;
using qsm::fuzz::WidestChord;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TQSRFlatRamStream log(256, 4096);
    TSMFData smf;
    TSMFImport::Run(&smf, &in, &log);
    const qsm::fuzz::TrackTally tally = qsm::fuzz::TallyTracks(smf, [](TSMFTrackData* track) {
        TMFBTimeIndex index(track);
        index.SeekTick(track->GetLastTick());
        index.GetMs();
    });
    // The conversion pads every staff (note, lyric and conductor staves) with bars up to the last event and
    // formats each: its work grows with the staves times the bars, and a bar of tied chords weighs more than
    // a bar of rests. Larger files, and files over the budget, only slow the search down; the budget takes
    // at most about 2 s in the instrumented build.
    if (tally.events > 600 || smf.GetTrackCount() > 32) return 0;
    TSMFImportList list;
    BuildImportInstructions(&smf, list, true, 16);
    constexpr uint64_t kMaxWork = 4000;
    const uint64_t bars = CountBars(smf, std::min<DWORD>(tally.lastTick, 0x7FFFFFFF) + 384);
    const uint64_t weight = 2 + static_cast<uint64_t>(WidestChord(smf));
    for (int kind : {1, 2}) {
        const uint64_t staves = list.size() + 1 + static_cast<uint64_t>(tally.lyricTracks[kind]);
        if (bars * staves * weight / 2 > kMaxWork) continue;
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, list, kind));
        if (score->GetStaffCount() < 1) __builtin_trap();
    }
    return 0;
}
