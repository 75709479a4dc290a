// Loads arbitrary bytes as a score file and performs what loads: the score MIDI player renders it into a
// song buffer of bounded size, then follows a few play positions. Whatever a file holds, rendering ends,
// keeps the events in play order and marks the end of the longest staff.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/ram_stream.h"
#include "midi/score_player.h"
#include "score/base/midi_file_buf.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TQSRFlatRamStream raw(const_cast<uint8_t*>(data), static_cast<DWORD>(size), static_cast<DWORD>(size));
    TScoreFileHeader hdr;
    std::unique_ptr<TMusicScore> score(qsm::LoadScoreFromStream(raw, hdr, nullptr));
    if (!score) return 0;
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    TMidiFileBuf song(0);
    song.SetBlockCount(8);
    player.RenderToBuffer(song);
    for (int i = 1; i < song.GetEventCount(); ++i) {
        if (TMidiEvent::GoesAfter(*song.GetEvent(i - 1), *song.GetEvent(i))) __builtin_trap();
    }
    const DWORD end = player.GetLargestTick();
    if (!song.HasOverflowed()) {
        bool marked = false;
        for (int i = song.GetEventCount() - 1; i >= 0 && !marked; --i) {
            const TMidiEvent* e = song.GetEvent(i);
            marked = e->GetKind() == MIDI_KIND_PAUSE && e->Tick == end;
        }
        if (!marked) __builtin_trap();
    }
    for (DWORD tick : {end / 3, end / 2, end / 5, end + 1})
        player.SeekTick(tick);
    TStaffPlayPosition position;
    for (int i = 0; i < score->GetStaffCount(); ++i)
        player.GetStaffPosition(position, i);
    return 0;
}
