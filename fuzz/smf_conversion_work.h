// Estimates of the work of converting a Standard MIDI File into a score, so that fuzz targets can skip the
// files whose conversion would take longer than a run may.
#pragma once

#include <algorithm>
#include <cstdint>

#include "midi/smf_file.h"
#include "score/base/midi_file_buf.h"
#include "score/pitch_ticks.h"

namespace qsm::fuzz {

// Bars that the converted staves reach: the time up to the last event or text, cut into bars by track 0's
// time signatures (4/4 before the first). A bar longer than a whole note counts once per whole note that it
// holds, since a note or rest held through it is written as that many tied pieces. A staff holds at most
// one bar per two of its 32002 items.
inline uint64_t CountBars(TSMFData& smf, DWORD lastTick) {
    uint64_t bars = 0;
    DWORD from = 0;
    int measure = MeasureTicks(4, 2);
    const auto wholes = [](int ticks) {
        return static_cast<uint64_t>(std::max(1, ticks / MeasureTicks(4, 2)));
    };
    TSMFTrackData* first = smf.GetTrackCount() > 0 ? smf.GetTrack(0) : nullptr;
    for (int i = 0; first != nullptr && i < first->GetEventCount(); ++i) {
        const TMidiEvent& ev = *first->GetEvent(i);
        if (ev.GetKind() != MIDI_KIND_TIMESIG) continue;
        const DWORD tick = std::min<DWORD>(ev.Tick & 0x7FFFFFFF, lastTick);
        bars += (tick - from) / static_cast<DWORD>(measure) * wholes(measure);
        from = tick;
        // As the time signature item keeps them: 1 to 128 beats, a beat value of a whole to a thirty-second.
        measure = MeasureTicks(std::clamp<int>(ev.Status, 1, 128), std::clamp<int>(ev.Data1, 0, 5));
    }
    bars += ((lastTick - from) / static_cast<DWORD>(measure) + 1) * wholes(measure);
    return std::min<uint64_t>(bars, 16001);
}

// The most notes sounding at once on one channel of one track (a chord item holds at most 30).
inline int WidestChord(TSMFData& smf) {
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

// What the work estimates need of every track: its events, the last tick of an event or a text, and how many
// tracks hold texts of each lyric kind (1 and 2). Each track's texts are read from the start; `afterTexts` is
// called with the track once they are read.
struct TrackTally {
    int events = 0;
    DWORD lastTick = 0;
    int lyricTracks[3] = {};
};

template <typename AfterTexts>
TrackTally TallyTracks(TSMFData& smf, AfterTexts afterTexts) {
    TrackTally tally;
    for (int t = 0; t < smf.GetTrackCount(); ++t) {
        TSMFTrackData* track = smf.GetTrack(t);
        tally.events += track->GetEventCount();
        tally.lastTick = std::max(tally.lastTick, track->GetLastTick());
        tally.lyricTracks[1] += track->FindText(1);
        tally.lyricTracks[2] += track->FindText(2);
        track->GetTextStream().Rewind();
        DWORD tick = 0;
        int type = 0;
        char text[64];
        while (track->ReadText(tick, type, text, sizeof(text)))
            tally.lastTick = std::max<DWORD>(tally.lastTick, tick & 0x7FFFFFFF);
        afterTexts(track);
    }
    return tally;
}

}  // namespace qsm::fuzz
