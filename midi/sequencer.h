// The sequencer: plays a song buffer block by block to up to 16 MIDI output ports from a 2 ms multimedia
// timer, keeps per port which notes sound and which controller states are in force, and takes MIDI input.
//
// Threads. The timer callback runs on the timer's thread, MIDI input on the input device's thread, everything
// else on the owner window's thread. The window thread hands the next block over through one slot: it fills
// the slot only when it is empty (SetNextBlock, in answer to the "QSMMidiSeq" request with wParam 1), the
// timer takes and clears it before it posts the next request. Every field both threads touch is atomic.
// Whenever the window thread changes the timer's state (pause, resume, speed, reposition, stop) it first
// holds the timer off and waits out a callback that is running (a Dekker handshake: the timer never waits, it
// returns at once while held).
#pragma once

#include <atomic>

#include "platform/base/wintypes.h"
#include "score/base/midi_event.h"

// Per output port: the notes that sound and the controller states in force, so that pause, stop and a start
// in the middle of a song can silence and restore them.
struct TMidiPortTracker {
    // Every key of every channel can sound at once.
    static constexpr int kMaxNotes = 16 * 128;

    // The sounding notes, one entry per channel and key (its latest note-on), in the order they were struck
    // but for releases, whose place the last entry takes.
    int NoteCount = 0;
    DWORD Notes[kMaxNotes] = {};
    int StateCount = 0;
    DWORD States[256] = {};
    // Channels that had a note on since the tracker was cleared: silencing sends all-notes-off and
    // sustain-off to each of them.
    WORD SoundedChannels = 0;

    void Clear() {
        for (int i = 0; i < NoteCount; ++i)
            Strikes[KeyIndex(Notes[i])] = 0;
        NoteCount = 0;
        StateCount = 0;
        SoundedChannels = 0;
    }
    // Follows one short message (status, data1, data2 in the low three bytes).
    void Update(DWORD msg);
    // Channels whose sustain pedal is down.
    WORD GetPedalMask() const;

private:
    static int KeyIndex(DWORD msg) { return static_cast<int>((msg & 0x0F) << 7 | ((msg >> 8) & 0x7F)); }

    // Per channel and key: note-ons not yet released (a key struck twice needs two releases), and the
    // place of its entry in Notes while that is above zero.
    WORD Strikes[kMaxNotes] = {};
    WORD Place[kMaxNotes] = {};
};

// What the manager hands to the sequencer when play starts.
struct TMidiPlayParams {
    WORD StartDelay = 0;  // ms
    DWORD StartTick = 0;
    HMIDIOUT Outs[16] = {};
};

class TQSMidi {
public:
    TQSMidi();
    ~TQSMidi();
    TQSMidi(const TQSMidi&) = delete;
    TQSMidi& operator=(const TQSMidi&) = delete;

    // Starts playing the first block at the start tick (events before it only set the state that is sent
    // once just before the first timer tick). False when already playing, the block is empty, there is no
    // owner or no timer.
    bool Start(HWND owner, const TMidiPlayParams& params, TSingleMidiBuf* first);
    // Queues the block that follows the current one; false when one is queued already or not playing.
    bool SetNextBlock(TSingleMidiBuf* block);
    void Stop();
    void TogglePause();
    // While paused: moves the play position to the start tick of a song whose first block is given.
    void Reposition(DWORD startTick, TSingleMidiBuf* first);
    // 100 / speed percent; 0 or 1 plays at the song's tempo.
    void SetSpeedFactor(float factor);
    float GetSpeedFactor() const { return SpeedFactor.load(); }

    bool IsPlaying() const { return Playing.load(); }
    bool IsPaused() const { return Paused.load(); }
    DWORD GetPauseLength() const;
    DWORD GetTotalPausedMs() const { return TotalPausedMs.load(std::memory_order_relaxed); }
    DWORD GetStartPositionMs() const { return StartPositionMs.load(std::memory_order_relaxed); }
    DWORD GetCurrentTick() const { return CurrentTick.load(std::memory_order_relaxed); }
    int GetCountdownSeconds() const;
    // The tempo in microseconds per quarter scaled by the speed factor, at least 1.
    DWORD GetEffectiveTempo() const;
    UINT GetMessageId() const { return MessageId; }

    // Input.
    void SetRecording(bool on);
    bool IsRecording() const { return Recording.load(); }
    bool ReadInput(TMidiEvent& event);
    void SetInputWindow(HWND hwnd) { InputWindow.store(hwnd); }
    // Input is echoed to the handle; override n forces channel n - 1 (0 keeps the channel).
    void SetEcho(HMIDIOUT handle, BYTE channelOverride);

    // Sends a short message to the port in bits 24-27; a port without a handle counts as sent. False only
    // when the device is not ready. With track, the port's tracker follows the message.
    bool SendToPort(DWORD msg, bool track);
    // Sends a message that must not be lost (a release, a restored state or note): a device that is not ready
    // gets it again, a bounded number of times with a millisecond between tries. False when it never took it.
    bool SendSurely(DWORD msg);

    void OnTimer();
    static void OnTimerProc(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);
    void OnMidiIn(HMIDIIN handle, UINT msg, DWORD_PTR data);
    static void OnMidiInProc(HMIDIIN handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1,
                             DWORD_PTR param2);

private:
    enum class From { kWindow, kTimer };

    // Window thread: holds the timer off and waits until no callback runs; Resume lets it run again.
    void Hold();
    void Unhold();
    // Sends the tracked states and notes again (restore) or releases pedals and notes (silence), on every
    // port that has a tracker.
    void Restore();
    void Silence();
    bool SwapBuffers(From from);
    void PumpEvents(bool seeking);
    void ResetBlock(TSingleMidiBuf* first);
    void Notify(From from, WPARAM what);
    // Removes requests to the owner that a stop or reposition made stale.
    void PurgeNotices();
    DWORD DueOffsetMs(DWORD ticks) const;

    // Trackers, created on first use at start.
    TMidiPortTracker* Trackers[16] = {};
    std::atomic<float> SpeedFactor{0.0f};
    std::atomic<bool> Playing{false};
    std::atomic<bool> Paused{false};
    std::atomic<bool> HoldTimer{false};
    std::atomic<bool> InCallback{false};

    // Clock fields: the timer's while it runs, the window thread's while the timer is held.
    std::atomic<DWORD> CurrentTick{0};
    std::atomic<DWORD> PendingTick{0};
    std::atomic<DWORD> ClockTick{0};
    std::atomic<DWORD> DueTime{0};
    std::atomic<DWORD> RefTime{0};
    std::atomic<DWORD> RefTick{0};
    std::atomic<DWORD> PausedAt{0};
    std::atomic<DWORD> TotalPausedMs{0};
    std::atomic<DWORD> StartPositionMs{0};
    std::atomic<DWORD> PauseUnits{0};
    std::atomic<DWORD> Tempo{1000};

    // Input ring: the input thread writes a slot, then the write index; the window thread reads.
    std::atomic<bool> Recording{false};
    std::atomic<BYTE> InRead{0};
    std::atomic<BYTE> InWrite{0};
    TMidiEvent InRing[256] = {};

    // Play position in the current block: pending event index, and whether the block end still needs the
    // next block (the song ran dry and the timer looks again later).
    TSingleMidiBuf* CurBlock = nullptr;
    int PendingIndex = 0;
    bool NeedSwap = false;
    std::atomic<TSingleMidiBuf*> Queued{nullptr};

    HMIDIOUT Outs[16] = {};
    std::atomic<HMIDIOUT> EchoOut{nullptr};
    std::atomic<BYTE> EchoChannel{0};
    std::atomic<HWND> InputWindow{nullptr};
    UINT TimerId = 0;
    UINT MessageId = 0;
    std::atomic<HWND> Owner{nullptr};
};
