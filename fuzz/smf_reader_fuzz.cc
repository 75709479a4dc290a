// Standard MIDI Files from outside: the importer reads any bytes into per-track event buffers, texts and
// system-exclusive records; everything it stored is then walked, and a file of modest size is converted
// into a score, which must come out with at least one staff whatever the file holds.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/music_score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TQSRFlatRamStream log(256, 4096);
    TSMFData smf;
    TSMFImport::Run(&smf, &in, &log);
    int events = 0;
    DWORD lastTick = 0;
    for (int t = 0; t < smf.GetTrackCount(); ++t) {
        TSMFTrackData* track = smf.GetTrack(t);
        events += track->GetEventCount();
        if (track->GetLastTick() > lastTick) lastTick = track->GetLastTick();
        track->FindText(1);
        track->FindText(2);
        track->GetTextStream().Rewind();
        DWORD tick = 0;
        int type = 0;
        char text[64];
        while (track->ReadText(tick, type, text, sizeof(text))) {
        }
        TMFBTimeIndex index(track);
        index.SeekTick(track->GetLastTick());
        index.GetMs();
    }
    // The conversion formats every staff it makes, and pads every staff with bars up to the last event: its
    // work grows with the staves times the bars. Larger files, and files whose staves together hold more
    // bars than the budget, only slow the search down (the budget takes about 2 s in the instrumented build).
    if (events > 600 || smf.GetTrackCount() > 32) return 0;
    TSMFImportList list;
    BuildImportInstructions(&smf, list, true, 16);
    constexpr uint64_t kMaxStaffBars = 2400;
    const uint64_t bars = lastTick / (192 * 4) + 1;
    if (bars * (list.size() + 1) > kMaxStaffBars) return 0;
    for (int kind : {1, 2}) {
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, list, kind));
        if (score->GetStaffCount() < 1) __builtin_trap();
    }
    return 0;
}
