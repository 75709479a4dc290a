// Helpers of the walk tests: staves built in code, a performance walk over one staff and the events it
// rendered in a readable form.
#pragma once

#include <string>
#include <vector>

#include "score/base/midi_file_buf.h"
#include "score/base/play_state.h"
#include "score/expression_items.h"
#include "score/item_play.h"
#include "score/music_staff.h"
#include "score/song_note.h"
#include "score/structure_items.h"

namespace qsm::test {

// Inserts the item before the staff's closing bar line; returns its index.
inline int Append(TMusicStaff& staff, TNotatedItem* item) {
    const int index = staff.GetLastIndex();
    staff.InsertItem(item, index);
    return index;
}

// A note at a stored staff position (positive downward; 0 is the middle line).
inline TMusicNote* Note(int pos, int dur = dcQuarter, uint16_t attributes = 0, int accidental = acNone) {
    return new TMusicNote(pos, dur, attributes, accidental);
}

inline TChordData* Chord(std::initializer_list<int> positions, int dur = dcQuarter, uint16_t attributes = 0) {
    auto* chord = new TChordData();
    chord->SetDuration(dur);
    chord->SetAttributes(attributes);
    for (int p : positions) {
        TMusicNote* note = Note(p, dur, attributes);
        if (!chord->AddNote(note)) delete note;  // a refused note stays the caller's
    }
    return chord;
}

inline uint16_t Attr(std::initializer_list<int> bits) {
    uint16_t word = 0;
    for (int b : bits)
        word = static_cast<uint16_t>(word | AttributeBit(b));
    return word;
}

// Walks the staff in play order as the score renderer does: Play, GetNextPlayIndex, UpdatePlayState,
// with a step cap; then ends the ties left sounding. Returns the number of items played.
inline int PerformStaff(TMusicStaff& staff, TMidiFileBuf& buffer, TStaffPlayState* out = nullptr) {
    TStaffPlayState state;
    state.InitFromStaff(staff);
    int index = 0;
    int steps = 0;
    const int cap = 16 * staff.GetItemCount() + 1000;
    while (index >= 0 && index < staff.GetItemCount() && steps < cap) {
        TNotatedItem* item = staff.GetItem(index);
        item->Play(state, buffer);
        const int next = item->GetNextPlayIndex(state, staff, index);
        item->UpdatePlayState(state);
        index = next;
        ++steps;
    }
    EndSoundingTies(state, buffer);
    if (out) *out = state;
    return steps;
}

// "tick what data": "0 on 71 110", "160 off 71", "0 cc 64 127", "0 prog 5", "0 bend 0 64", "0 tempo 120",
// "0 time 3 2", "0 key -1 0", "0 pause 4".
inline std::string Describe(const TMidiEvent& e) {
    const std::string t = std::to_string(e.Tick) + " ";
    switch (e.GetKind()) {
        case MIDI_KIND_TEMPO:
            return t + "tempo " + std::to_string(TMidiEvent::GetTempoBpm(e.GetMessage()));
        case MIDI_KIND_TIMESIG:
            return t + "time " + std::to_string(e.Status) + " " + std::to_string(e.Data1);
        case MIDI_KIND_KEYSIG:
            return t + "key " + std::to_string(static_cast<int16_t>(e.Status | (e.Data1 << 8))) + " " +
                   std::to_string(e.Data2);
        case MIDI_KIND_PAUSE:
            return t + "pause " + std::to_string(e.Status | (e.Data1 << 8));
        default:
            break;
    }
    switch (e.GetCommand()) {
        case MIDI_CMD_NOTEON:
            if (e.Data2 == 0) return t + "off " + std::to_string(e.Data1);
            return t + "on " + std::to_string(e.Data1) + " " + std::to_string(e.Data2);
        case MIDI_CMD_CONTROLLER:
            return t + "cc " + std::to_string(e.Data1) + " " + std::to_string(e.Data2);
        case MIDI_CMD_PROGRAM:
            return t + "prog " + std::to_string(e.Data1);
        case MIDI_CMD_PITCHBEND:
            return t + "bend " + std::to_string(e.Data1) + " " + std::to_string(e.Data2);
        default:
            return t + "msg " + std::to_string(e.GetMessage());
    }
}

inline std::vector<std::string> Events(const TMidiFileBuf& buffer) {
    std::vector<std::string> out;
    for (int i = 0; i < buffer.GetEventCount(); ++i)
        out.push_back(Describe(*buffer.GetEvent(i)));
    return out;
}

inline std::vector<std::string> Perform(TMusicStaff& staff) {
    TMidiFileBuf buffer;
    PerformStaff(staff, buffer);
    return Events(buffer);
}

}  // namespace qsm::test
