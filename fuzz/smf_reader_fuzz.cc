// Standard MIDI Files from outside: the importer reads any bytes into per-track event buffers, texts and
// system-exclusive records; everything it stored is then walked, and a file of modest size is converted
// into a score, which must come out with at least one staff whatever the file holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "midi/base/midi_file_buf.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "score/music_score.h"
#include "score/staff_util.h"

namespace {

// Bars that the converted staves reach: the time up to the last event or text, cut into bars by track 0's
// time signatures (4/4 before the first). A staff holds at most one bar per two of its 32002 items.
uint64_t CountBars(TSMFData& smf, DWORD lastTick) {
    uint64_t bars = 0;
    DWORD from = 0;
    int measure = MeasureTicks(4, 2);
    TSMFTrackData* first = smf.GetTrackCount() > 0 ? smf.GetTrack(0) : nullptr;
    for (int i = 0; first != nullptr && i < first->GetEventCount(); ++i) {
        const TMidiEvent& ev = *first->GetEvent(i);
        if (ev.GetKind() != MIDI_KIND_TIMESIG) continue;
        const DWORD tick = std::min<DWORD>(ev.Tick & 0x7FFFFFFF, lastTick);
        bars += (tick - from) / static_cast<DWORD>(measure);
        from = tick;
        // As the time signature item keeps them: 1 to 128 beats, a beat value of a whole to a thirty-second.
        measure = MeasureTicks(std::clamp<int>(ev.Status, 1, 128), std::clamp<int>(ev.Data1, 0, 5));
    }
    bars += (lastTick - from) / static_cast<DWORD>(measure) + 1;
    return std::min<uint64_t>(bars, 16001);
}

// The most notes sounding at once on one channel of one track (a chord item holds at most 30).
int WidestChord(TSMFData& smf) {
    int widest = 0;
    for (int t = 0; t < smf.GetTrackCount(); ++t) {
        TSMFTrackData* track = smf.GetTrack(t);
        bool on[16][128] = {};
        int count[16] = {};
        for (int i = 0; i < track->GetEventCount(); ++i) {
            const TMidiEvent& ev = *track->GetEvent(i);
            if (!ev.IsShortMsg()) continue;
            const int ch = ev.GetChannel();
            const int key = ev.Data1 & 0x7F;
            if (ev.IsSoundingNote() && !on[ch][key]) {
                on[ch][key] = true;
                widest = std::max(widest, ++count[ch]);
            } else if (ev.IsNoteRelease() && on[ch][key]) {
                on[ch][key] = false;
                --count[ch];
            }
        }
    }
    return std::min(widest, 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream in(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TQSRFlatRamStream log(256, 4096);
    TSMFData smf;
    TSMFImport::Run(&smf, &in, &log);
    int events = 0;
    DWORD lastTick = 0;
    int lyricTracks[3] = {};
    for (int t = 0; t < smf.GetTrackCount(); ++t) {
        TSMFTrackData* track = smf.GetTrack(t);
        events += track->GetEventCount();
        lastTick = std::max(lastTick, track->GetLastTick());
        lyricTracks[1] += track->FindText(1);
        lyricTracks[2] += track->FindText(2);
        track->GetTextStream().Rewind();
        DWORD tick = 0;
        int type = 0;
        char text[64];
        while (track->ReadText(tick, type, text, sizeof(text)))
            lastTick = std::max<DWORD>(lastTick, tick & 0x7FFFFFFF);
        TMFBTimeIndex index(track);
        index.SeekTick(track->GetLastTick());
        index.GetMs();
    }
    // The conversion pads every staff (note, lyric and conductor staves) with bars up to the last event and
    // formats each: its work grows with the staves times the bars, and a bar of tied chords weighs more than
    // a bar of rests. Larger files, and files over the budget, only slow the search down; the budget takes
    // at most about 2 s in the instrumented build.
    if (events > 600 || smf.GetTrackCount() > 32) return 0;
    TSMFImportList list;
    BuildImportInstructions(&smf, list, true, 16);
    constexpr uint64_t kMaxWork = 4000;
    const uint64_t bars = CountBars(smf, std::min<DWORD>(lastTick, 0x7FFFFFFF) + 384);
    const uint64_t weight = 2 + static_cast<uint64_t>(WidestChord(smf));
    for (int kind : {1, 2}) {
        const uint64_t staves = list.size() + 1 + static_cast<uint64_t>(lyricTracks[kind]);
        if (bars * staves * weight / 2 > kMaxWork) continue;
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&smf, list, kind));
        if (score->GetStaffCount() < 1) __builtin_trap();
    }
    return 0;
}
