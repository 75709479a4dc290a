// Test set-up shared by the playback tests: the recording device, an owner window that answers the
// sequencer's requests, a MIDI manager and songs built into a song buffer.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "midi/midi_manager.h"
#include "platform/mm/mmtest.h"
#include "score/base/midi_file_buf.h"

namespace qsm::test {

// A short message as the song holds it, and when it is due.
struct SongMessage {
    DWORD tick;
    DWORD msg;  // status | data1 << 8 | data2 << 16 | port << 24
};

// Every short message of the song in play order.
std::vector<SongMessage> ShortMessages(const TMidiFileBuf& song);
// The recorded messages (top byte dropped) in order.
std::vector<DWORD> RecordedMessages();

// The 16-bit stereo samples of a WAV file that the synthesizer rendered (after its 44-byte header).
std::vector<int16_t> ReadWavSamples(const std::string& path);
// Root mean square of the samples between two times.
double Rms(const std::vector<int16_t>& samples, int rate, DWORD fromMs, DWORD toMs);

class PlaybackTest : public ::testing::Test {
public:
    // manual: the manual clock drives the timer; otherwise the real timer thread does and the test thread
    // runs the window's queue.
    void SetUpPlayback(bool manual, DWORD clockStart = 100000);
    void TearDown() override;

    // Advances the manual clock (the window's queue runs at every step).
    void Run(DWORD ms);
    // Real timer: runs the window's queue until the song ends or ms pass.
    void RunUntilEnded(DWORD ms);
    // Real timer: runs the window's queue for ms.
    void Pump(int ms);
    bool Play(DWORD startTick = 0);

    // A note on the port and channel at each tick, each lasting len ticks, with velocity 100.
    static void AddNotes(TMidiFileBuf& song, int port, int channel, const std::vector<DWORD>& ticks,
                         DWORD len, int firstKey = 40);
    static TMidiEvent Short(DWORD tick, int port, DWORD msg);

    HWND owner_ = nullptr;
    std::unique_ptr<TMidiManager> manager_;
    TMidiFileBuf song_{4};
    std::atomic<int> ended_{0};
    std::atomic<int> refills_{0};
};

}  // namespace qsm::test
