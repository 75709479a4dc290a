// A score built in code for the playback tests and the timing benchmark: four staves (melody, chords, bass
// with pedal, drums) with patches, dynamics, a crescendo and a repeated opening, played at a chosen tempo.
#pragma once

#include <memory>

#include "score/expression_items.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace qsm::test {

inline void AppendItem(TMusicStaff& staff, TNotatedItem* item) {
    staff.InsertItem(item, staff.GetLastIndex());
}

inline TMusicStaff* NewDemoStaff(const char* name, int channel, int patch, int bpm) {
    auto* staff = new TMusicStaff;
    staff->SetName(name);
    staff->Channel = channel;
    if (patch >= 0) staff->Instrument.SetPatch(patch);
    AppendItem(*staff, new TTempoData(bpm, tbQuarter));
    AppendItem(*staff, new TTimeSignatureData(4, 2));
    return staff;
}

// bars: 4/4 bars after the repeated two; dense: 32nd notes and four-note chords instead of eighths and
// triads.
inline std::unique_ptr<TMusicScore> MakeDemoScore(int bars, int bpm, bool dense) {
    auto score = std::make_unique<TMusicScore>();
    TMusicStaff* melody = NewDemoStaff("Melody", 0, 0, bpm);
    TMusicStaff* chords = NewDemoStaff("Chords", 1, 48, bpm);
    TMusicStaff* bass = NewDemoStaff("Bass", 2, 32, bpm);
    TMusicStaff* drums = NewDemoStaff("Drums", 9, -1, bpm);
    auto* soft = new TDynamicLevelData(dlP);
    soft->SetVelocity(50);
    soft->SetVolume(70);
    soft->SetVolumeGiven(true);
    AppendItem(*melody, soft);
    const int total = bars + 2;
    for (int bar = 0; bar < total; ++bar) {
        if (bar == 0) {
            for (TMusicStaff* s : {melody, chords, bass, drums})
                AppendItem(*s, new TBarLineData(bsLocalRepeatOpen));
        }
        if (bar == 2) {
            AppendItem(*melody, new TDynamicVariance(dvCrescendo));
        }
        if (bar == 4) {
            auto* loud = new TDynamicLevelData(dlF);
            loud->SetVelocity(100);
            loud->SetVolume(110);
            loud->SetVolumeGiven(true);
            AppendItem(*melody, loud);
        }
        const int notes = dense ? 32 : 8;
        for (int i = 0; i < notes; ++i)
            AppendItem(*melody, new TMusicNote((i + bar) % 9 - 4, dense ? dc32nd : dcEighth));
        for (int i = 0; i < (dense ? 8 : 4); ++i) {
            auto* chord = new TChordData();
            chord->SetDuration(dense ? dcEighth : dcQuarter);
            const int top = (bar + i) % 5 - 2;
            for (int k = 0; k < (dense ? 4 : 3); ++k)
                chord->AddNote(new TMusicNote(top + 2 * k, dense ? dcEighth : dcQuarter));
            AppendItem(*chords, chord);
        }
        AppendItem(*bass, new TSustainPedal(1));
        AppendItem(*bass, new TMusicNote(6 + bar % 3, dcHalf));
        AppendItem(*bass, new TMusicNote(4, dcHalf));
        AppendItem(*bass, new TSustainPedal(0));
        for (int i = 0; i < 8; ++i)
            AppendItem(*drums, new TMusicNote(i % 2 == 0 ? 4 : 1, dcEighth));
        const bool closeRepeat = bar == 1;
        for (TMusicStaff* s : {melody, chords, bass, drums}) {
            if (closeRepeat)
                AppendItem(*s, new TBarLineData(bsLocalRepeatClose, 2));
            else if (bar + 1 < total)
                AppendItem(*s, new TBarLineData());
        }
    }
    for (TMusicStaff* s : {melody, chords, bass, drums})
        score->AddStaff(s);
    return score;
}

}  // namespace qsm::test
