// The built-in synthesizer behind output device 0: one FluidSynth instance for the process, started when the
// device is first opened and kept until the process ends.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

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
    void StartLocked();
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
    _fluid_audio_driver_t* driver_ = nullptr;
    DWORD mixer_volume_ = 65535;
    bool mixer_mute_ = false;
    float device_volume_ = 1.0f;
    // WAV rendering.
    FILE* wav_ = nullptr;
    int rate_ = 44100;
    uint64_t render_start_us_ = 0;
    uint64_t frames_written_ = 0;
};

}  // namespace qsm::mm
