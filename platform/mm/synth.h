// The built-in synthesizer behind output device 0: one FluidSynth instance for the process, started when the
// device is first opened and kept until the process ends. Its audio stream is open only while there is sound
// to play: it is opened when the device is opened and at a note that comes while it is closed, and closed
// once every note has died away (the synthesizer takes no processor time then).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

struct _fluid_hashtable_t;
struct _fluid_synth_t;
struct _fluid_audio_driver_t;

namespace qsm::mm {

class InternalSynth {
public:
    static InternalSynth& Get();

    // Starts FluidSynth (SoundFont, audio driver) once; later calls do nothing.
    void Start();
    bool HasSoundFont();
    // One short message: status, data1, data2.
    void Send(BYTE status, BYTE data1, BYTE data2);
    // Releases the pedal and every note on all channels.
    void AllNotesOff();

    void SetSoundFontPath(const std::string& path);
    void SetAudio(bool on);
    // The audio drivers tried in turn when the stream opens (default: pulseaudio, then alsa), and the ALSA
    // device to play on (empty: the default one).
    void SetAudioDrivers(const std::vector<std::string>& names, const std::string& alsa_device);
    // Waits until the audio stream is open (or closed) and no change of it is pending; false when that did
    // not come within timeout_ms.
    bool WaitForStream(bool open, DWORD timeout_ms);
    // How many times the stream has been opened.
    uint64_t StreamOpenings();

    // Mixer: volume 0..65535, mute; the device volume of midiOutSetVolume (0..65535 per side).
    DWORD GetMixerVolume();
    bool GetMixerMute();
    void SetMixerVolume(DWORD volume);
    void SetMixerMute(bool mute);
    void SetDeviceVolume(DWORD left, DWORD right);
    float GetGain();

    bool StartRender(const std::string& path, int sample_rate);
    bool StopRender(DWORD tail_ms);

private:
    InternalSynth() = default;
    static int RenderAudio(void* data, int len, int nfx, float* fx[], int nout, float* out[]);
    void StartLocked();
    void StartStreamLocked();
    void WantStream();
    void StreamQuiet(uint64_t notes);
    void StreamLoop();
    _fluid_audio_driver_t* OpenDriver();
    void ApplyGainLocked();
    void RenderUpToLocked(uint64_t now_us);
    void RenderFramesLocked(uint64_t frames);

    std::mutex mu_;
    bool started_ = false;
    bool sound_font_ = false;
    bool audio_ = true;
    std::string sound_font_path_;
    _fluid_hashtable_t* settings_ = nullptr;
    _fluid_synth_t* synth_ = nullptr;
    DWORD mixer_volume_ = 65535;
    bool mixer_mute_ = false;
    float device_volume_ = 1.0f;
    // WAV rendering.
    FILE* wav_ = nullptr;
    int rate_ = 44100;
    uint64_t render_start_us_ = 0;
    uint64_t frames_written_ = 0;

    // The audio stream. The stream thread opens and closes it as asked: opening a driver may take a while,
    // and a driver cannot be closed from its own rendering callback. stream_mu_ is never held while a driver
    // is made or deleted, and is taken after mu_ where both are.
    std::mutex stream_mu_;
    std::condition_variable stream_cv_;
    bool stream_thread_ = false;     // made (it runs until the process ends)
    bool stream_wanted_ = false;     // to be open
    bool stream_changing_ = false;   // the stream thread is opening or closing the driver
    bool stream_failed_ = false;     // no driver could be opened: not tried again until the device is opened
    bool stream_rendering_ = false;  // a WAV file takes the audio: no stream
    std::vector<std::string> drivers_{"pulseaudio", "alsa"};
    std::string alsa_device_;
    _fluid_audio_driver_t* driver_ = nullptr;  // the open stream (stream_mu_)
    uint64_t stream_openings_ = 0;
    std::atomic<uint64_t> notes_{0};  // notes started so far
    // The rendering callback's own: frames rendered in silence since, and the note count then.
    uint64_t quiet_frames_ = 0;
    uint64_t quiet_notes_ = 0;
};

}  // namespace qsm::mm
