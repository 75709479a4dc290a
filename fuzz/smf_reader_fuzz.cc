// Standard MIDI Files from outside: the importer reads any bytes into per-track event buffers, texts and
// system-exclusive records; everything it stored is then walked.
#include <cstddef>
#include <cstdint>

#include "core/ram_stream.h"
#include "midi/smf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TQSRFlatRamStream log(256, 4096);
    TSMFData smf;
    TSMFImport::Run(&smf, &in, &log);
    for (int t = 0; t < smf.GetTrackCount(); ++t) {
        TSMFTrackData* track = smf.GetTrack(t);
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
    return 0;
}
