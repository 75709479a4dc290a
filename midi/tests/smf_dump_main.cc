// Prints what the importer read from a Standard MIDI File, for comparison with other readers:
//   smf_dump FILE
// One line per track ("track INDEX NAME"), then its events in play order: "N tick status data1 data2" for
// channel messages and "T tick microseconds" for tempo changes; last the warning and error lines.
#include <cstdio>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "midi/smf_file.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: smf_dump FILE\n");
        return 2;
    }
    TQSRBFStream in(5, argv[1], 30000);
    if (in.GetError()) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 2;
    }
    TSMFData data;
    TQSRFlatRamStream log(4096, 4096);
    TSMFImport::Run(&data, &in, &log);
    for (int t = 0; t < data.GetTrackCount(); ++t) {
        const TSMFTrackData* track = data.GetTrack(t);
        std::printf("track %d %s\n", t, track->GetName());
        for (int i = 0; i < track->GetEventCount(); ++i) {
            const TMidiEvent* e = track->GetEvent(i);
            if (e->IsShortMsg())
                std::printf("N %u %u %u %u\n", e->Tick, e->Status, e->Data1, e->Data2);
            else if (e->GetKind() == MIDI_KIND_TEMPO)
                std::printf("T %u %u\n", e->Tick, TMidiEvent::GetTempoMicros(e->GetMessage()));
        }
    }
    std::fwrite(log.GetData(), 1, log.GetSize(), stdout);
    return 0;
}
