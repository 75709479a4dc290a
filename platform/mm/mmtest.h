// Controls of the multimedia layer for tests and for the synthesizer's set-up: the manual clock, the
// recording MIDI device, the SoundFont and audio of the built-in synthesizer, and rendering it to a WAV file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

namespace qsm::mm {

// --- Clock -------------------------------------------------------------------------------------------------
// Freezes timeGetTime at start_ms. Timers then run only inside AdvanceClock, on the calling thread. Switch
// the clock only while no timer runs.
void UseManualClock(DWORD start_ms);
void UseRealClock();
bool IsManualClock();
// Moves the manual clock forward in 1 ms steps; at each step the due timer callbacks run (in the order the
// timers were made), then the step hook.
void AdvanceClock(DWORD ms);
// Called after every step of AdvanceClock (tests use it to run the window thread's message queue).
void SetClockStepHook(std::function<void()> hook);
// Added to the real clock's milliseconds, so that tests can run near the 2^32 wrap of timeGetTime.
void SetClockOffset(DWORD offset_ms);
// The clock of timeGetTime in microseconds, without the 32-bit wrap (manual clock: its ms * 1000).
uint64_t NowMicros();
// timeBeginPeriod calls minus timeEndPeriod calls.
int GetTimerPeriodBalance();
// The next n calls of timeSetEvent make no timer and answer 0.
void FailNextTimerEvents(int n);
// Mixer 0 without (or again with) its synthesizer line, as a system whose synthesizer has no mixer line.
void HideSynthMixerLine(bool hidden);

// --- Recording device
// ---------------------------------------------------------------------------------------- Adds (or removes)
// "Test Recorder" as the last output device and "Test Recorder In" as the last input device. Call it while no
// MIDI handle is open.
void EnableTestRecorder(bool on);
struct RecordedMessage {
    uint64_t time_us;  // NowMicros() when the message was taken
    DWORD msg;         // as given to midiOutShortMsg (top byte included)
    HMIDIOUT handle;
    uint64_t thread;  // a number per sending thread
};
std::vector<RecordedMessage> GetRecording();
// Called after a handle of "Test Recorder" was opened, and after one was closed.
void SetRecorderOpenCloseHook(std::function<void()> hook);
void ClearRecording();
// The next n messages to the recorder answer MIDIERR_NOTREADY and are not recorded.
void FailNextRecorderSends(int n);
// Delivers a message from "Test Recorder In" to every started handle of it (on the handle's thread).
void SendRecorderInput(DWORD msg);
// Waits until every message given to SendRecorderInput has been delivered to the callbacks.
void FlushRecorderInput();
// Notes (channel and key) and sustain pedals still down at the end of the messages; each entry is
// (status, data1) of the message that left it down.
std::vector<std::pair<BYTE, BYTE>> FindSoundingNotes(const std::vector<RecordedMessage>& messages);

// --- Built-in synthesizer
// ------------------------------------------------------------------------------------ The SoundFont to load
// when the synthesizer starts (default: the Debian default-GM link, then TimGM6mb, then FluidR3_GM). An empty
// path restores the default.
void SetSoundFontPath(const std::string& path);
// Whether the synthesizer plays through an audio driver (default on; tests switch it off).
void SetSynthAudio(bool on);
// The audio drivers of FluidSynth the synthesizer tries in turn (default: pulseaudio, then alsa), and the
// ALSA device it plays on (empty: the default one).
void SetSynthAudioDrivers(const std::vector<std::string>& names, const std::string& alsa_device = "");
// Waits until the synthesizer's audio stream is open (or closed); false when that did not come within
// timeout_ms. The stream opens with the device and at a note, and closes once every note has died away.
bool WaitForSynthStream(bool open, DWORD timeout_ms);
// How many times the synthesizer's audio stream has been opened.
uint64_t SynthStreamOpenings();
// True once the synthesizer has started with a SoundFont.
bool IsSoundFontLoaded();
// Renders the synthesizer into a 16-bit stereo WAV file instead of an audio driver: before every message the
// audio up to the current clock is written, so timing follows timeGetTime (manual clock included).
bool StartSynthRender(const std::string& wav_path, int sample_rate);
// Renders tail_ms more after the current clock and completes the file.
bool StopSynthRender(DWORD tail_ms);

}  // namespace qsm::mm
