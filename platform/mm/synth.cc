#include "platform/mm/synth.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "platform/kernel/lazy_library.h"
#include "platform/mm/mmtest.h"

#if defined(__SANITIZE_THREAD__)
#define QSM_TSAN_BUILD 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define QSM_TSAN_BUILD 1
#endif
#endif

#ifdef QSM_TSAN_BUILD
// FluidSynth loads and renders with OpenMP threads of an uninstrumented library, whose own synchronisation
// ThreadSanitizer cannot see.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libgomp.so.1\nrace:libgomp.so.1\nrace:libfluidsynth.so.3\n";
}
#endif

namespace qsm::mm {

namespace {

constexpr float kBaseGain = 0.4f;
// The stream closes once no voice has sounded and no sample has reached one step of 16-bit audio for this
// long: the last note and the reverberation after it have died away.
constexpr int kQuietMs = 250;
constexpr float kSilence = 1.0f / 32768;

// FluidSynth and the sound libraries it pulls in are loaded when the synthesizer first starts.
#define QSM_FLUID_FUNCTIONS(X)            \
    X(delete_fluid_audio_driver)          \
    X(fluid_set_log_function)             \
    X(fluid_settings_setint)              \
    X(fluid_settings_setnum)              \
    X(fluid_settings_setstr)              \
    X(fluid_synth_all_notes_off)          \
    X(fluid_synth_cc)                     \
    X(fluid_synth_get_active_voice_count) \
    X(fluid_synth_channel_pressure)       \
    X(fluid_synth_key_pressure)           \
    X(fluid_synth_noteoff)                \
    X(fluid_synth_noteon)                 \
    X(fluid_synth_pitch_bend)             \
    X(fluid_synth_process)                \
    X(fluid_synth_program_change)         \
    X(fluid_synth_set_gain)               \
    X(fluid_synth_sfload)                 \
    X(fluid_synth_system_reset)           \
    X(fluid_synth_write_s16)              \
    X(new_fluid_audio_driver2)            \
    X(new_fluid_settings)                 \
    X(new_fluid_synth)
QSM_LAZY_LIBRARY(FluidApi, "libfluidsynth.so.3", QSM_FLUID_FUNCTIONS)

// Only called once StartLocked found the library (every other use follows a synthesizer it made).
const FluidApi& Fluid() {
    return *FluidApi::Get();
}

const char* const kDefaultSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
};

void QuietLog(int, const char*, void*) {}

void PutLe(std::vector<unsigned char>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void WriteWavHeader(FILE* f, int rate, uint64_t frames) {
    uint64_t data_bytes = frames * 4;
    if (data_bytes > 0xFFFFFFF0u - 36) data_bytes = 0xFFFFFFF0u - 36;
    std::vector<unsigned char> h;
    h.insert(h.end(), {'R', 'I', 'F', 'F'});
    PutLe(h, static_cast<uint32_t>(36 + data_bytes), 4);
    h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutLe(h, 16, 4);
    PutLe(h, 1, 2);  // PCM
    PutLe(h, 2, 2);  // stereo
    PutLe(h, static_cast<uint32_t>(rate), 4);
    PutLe(h, static_cast<uint32_t>(rate) * 4, 4);
    PutLe(h, 4, 2);
    PutLe(h, 16, 2);
    h.insert(h.end(), {'d', 'a', 't', 'a'});
    PutLe(h, static_cast<uint32_t>(data_bytes), 4);
    fseek(f, 0, SEEK_SET);
    fwrite(h.data(), 1, h.size(), f);
    fseek(f, 0, SEEK_END);
}

}  // namespace

InternalSynth& InternalSynth::Get() {
    static InternalSynth* synth = new InternalSynth;  // lives until the process ends
    return *synth;
}

void InternalSynth::Start() {
    std::lock_guard<std::mutex> lock(mu_);
    StartLocked();
}

void InternalSynth::StartLocked() {
    if (started_) {
        // The device is opened again: its audio stream is about to be wanted.
        if (synth_ != nullptr && audio_ && sound_font_ && wav_ == nullptr) StartStreamLocked();
        return;
    }
    started_ = true;
    // Without the library there is no synthesizer, as when FluidSynth cannot make one.
    if (FluidApi::Get() == nullptr) return;
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
        Fluid().fluid_set_log_function(level, QuietLog, nullptr);
    }
    settings_ = Fluid().new_fluid_settings();
    if (settings_ == nullptr) return;
    Fluid().fluid_settings_setint(settings_, "synth.threadsafe-api", 1);
    Fluid().fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
    synth_ = Fluid().new_fluid_synth(settings_);
    if (synth_ == nullptr) return;
    std::vector<std::string> candidates;
    if (!sound_font_path_.empty()) {
        candidates.push_back(sound_font_path_);
    } else {
        for (const char* path : kDefaultSoundFonts)
            candidates.emplace_back(path);
    }
    for (const std::string& path : candidates) {
        if (access(path.c_str(), R_OK) == 0 &&
            Fluid().fluid_synth_sfload(synth_, path.c_str(), 1) != FLUID_FAILED) {
            sound_font_ = true;
            break;
        }
    }
    ApplyGainLocked();
    if (audio_ && sound_font_ && wav_ == nullptr) StartStreamLocked();
    // Without an audio device the synthesizer still takes every message, silently.
}

void InternalSynth::StartStreamLocked() {
    bool threaded = false;
    {
        std::lock_guard<std::mutex> lock(stream_mu_);
        if (!stream_thread_) {
            try {
                std::thread(&InternalSynth::StreamLoop, this).detach();
                stream_thread_ = true;
            } catch (const std::system_error&) {
            }
        }
        // Each opening of the device tries the drivers again.
        stream_failed_ = false;
        threaded = stream_thread_;
        if (!threaded && driver_ != nullptr) return;
    }
    if (threaded) {
        WantStream();
        return;
    }
    // Without a thread of its own the stream opens now and stays open.
    fluid_audio_driver_t* driver = OpenDriver();
    std::lock_guard<std::mutex> lock(stream_mu_);
    driver_ = driver;
}

void InternalSynth::WantStream() {
    std::lock_guard<std::mutex> lock(stream_mu_);
    if (stream_wanted_ || stream_failed_ || stream_rendering_ || !stream_thread_) return;
    stream_wanted_ = true;
    stream_cv_.notify_all();
}

fluid_audio_driver_t* InternalSynth::OpenDriver() {
    std::vector<std::string> names;
    std::string device;
    {
        std::lock_guard<std::mutex> lock(stream_mu_);
        names = drivers_;
        device = alsa_device_;
    }
    if (!device.empty()) Fluid().fluid_settings_setstr(settings_, "audio.alsa.device", device.c_str());
    for (const std::string& name : names) {
        Fluid().fluid_settings_setstr(settings_, "audio.driver", name.c_str());
        if (fluid_audio_driver_t* driver = Fluid().new_fluid_audio_driver2(settings_, RenderAudio, this))
            return driver;
    }
    return nullptr;
}

// Renders a period of the stream on the driver's thread, and tells the stream thread once the synthesizer
// has been silent for kQuietMs with no note started meanwhile.
int InternalSynth::RenderAudio(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
    auto* self = static_cast<InternalSynth*>(data);
    const uint64_t notes = self->notes_.load();
    int rc = FLUID_OK;
    if (nfx == 0 && nout >= 2) {
        // The drivers give no effect buffers: reverb and chorus are mixed into the output.
        float* mixed[4] = {out[0], out[1], out[0], out[1]};
        rc = Fluid().fluid_synth_process(self->synth_, len, 4, mixed, nout, out);
    } else {
        rc = Fluid().fluid_synth_process(self->synth_, len, nfx, fx, nout, out);
    }
    float peak = 0;
    for (int c = 0; c < nout; ++c)
        for (int i = 0; i < len; ++i)
            peak = std::max(peak, std::fabs(out[c][i]));
    const bool quiet = peak < kSilence && Fluid().fluid_synth_get_active_voice_count(self->synth_) == 0;
    if (!quiet || notes != self->quiet_notes_) {
        self->quiet_frames_ = 0;
        self->quiet_notes_ = notes;
    } else if ((self->quiet_frames_ += static_cast<uint64_t>(std::max(len, 0))) >=
               static_cast<uint64_t>(self->rate_) * kQuietMs / 1000) {
        self->StreamQuiet(notes);
    }
    return rc;
}

void InternalSynth::StreamQuiet(uint64_t notes) {
    std::lock_guard<std::mutex> lock(stream_mu_);
    // A note started since the silence began keeps the stream (Send counts it before it asks for the stream).
    if (!stream_wanted_ || notes_.load() != notes) return;
    stream_wanted_ = false;
    stream_cv_.notify_all();
}

void InternalSynth::StreamLoop() {
    std::unique_lock<std::mutex> lock(stream_mu_);
    for (;;) {
        stream_cv_.wait(lock, [this] { return stream_wanted_ != (driver_ != nullptr); });
        // While the driver opens or closes the stream is neither: the driver's first periods may already be
        // found silent and unwant the stream before the driver is kept here.
        stream_changing_ = true;
        if (stream_wanted_) {
            lock.unlock();
            fluid_audio_driver_t* driver = OpenDriver();
            lock.lock();
            driver_ = driver;
            if (driver != nullptr) ++stream_openings_;
            if (driver == nullptr) {
                stream_failed_ = true;
                stream_wanted_ = false;
            }
        } else {
            fluid_audio_driver_t* driver = std::exchange(driver_, nullptr);
            lock.unlock();
            Fluid().delete_fluid_audio_driver(driver);
            lock.lock();
        }
        stream_changing_ = false;
        stream_cv_.notify_all();
    }
}

bool InternalSynth::WaitForStream(bool open, DWORD timeout_ms) {
    std::unique_lock<std::mutex> lock(stream_mu_);
    return stream_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
        return !stream_changing_ && stream_wanted_ == open && (driver_ != nullptr) == open;
    });
}

uint64_t InternalSynth::StreamOpenings() {
    std::lock_guard<std::mutex> lock(stream_mu_);
    return stream_openings_;
}

void InternalSynth::SetAudioDrivers(const std::vector<std::string>& names, const std::string& alsa_device) {
    std::lock_guard<std::mutex> lock(stream_mu_);
    drivers_ = names;
    alsa_device_ = alsa_device;
}

bool InternalSynth::HasSoundFont() {
    std::lock_guard<std::mutex> lock(mu_);
    return sound_font_;
}

void InternalSynth::Send(BYTE status, BYTE data1, BYTE data2) {
    std::lock_guard<std::mutex> lock(mu_);
    if (synth_ == nullptr) return;
    if (wav_ != nullptr) RenderUpToLocked(NowMicros());
    int channel = status & 0x0F;
    data1 &= 0x7F;
    data2 &= 0x7F;
    switch (status & 0xF0) {
        case 0x80:
            Fluid().fluid_synth_noteoff(synth_, channel, data1);
            break;
        case 0x90:
            if (data2 == 0) {
                Fluid().fluid_synth_noteoff(synth_, channel, data1);
            } else {
                // Counted before the stream is asked for, so that a stream closing on the silence before it
                // sees the note (see StreamQuiet). Until the stream is open again the note waits in the
                // synthesizer: it sounds from its start.
                notes_.fetch_add(1);
                Fluid().fluid_synth_noteon(synth_, channel, data1, data2);
                WantStream();
            }
            break;
        case 0xA0:
            Fluid().fluid_synth_key_pressure(synth_, channel, data1, data2);
            break;
        case 0xB0:
            Fluid().fluid_synth_cc(synth_, channel, data1, data2);
            break;
        case 0xC0:
            Fluid().fluid_synth_program_change(synth_, channel, data1);
            break;
        case 0xD0:
            Fluid().fluid_synth_channel_pressure(synth_, channel, data1);
            break;
        case 0xE0:
            Fluid().fluid_synth_pitch_bend(synth_, channel, data1 | (data2 << 7));
            break;
        default:
            if (status == 0xFF) Fluid().fluid_synth_system_reset(synth_);
            break;
    }
}

void InternalSynth::AllNotesOff() {
    std::lock_guard<std::mutex> lock(mu_);
    if (synth_ == nullptr) return;
    if (wav_ != nullptr) RenderUpToLocked(NowMicros());
    for (int channel = 0; channel < 16; ++channel)
        Fluid().fluid_synth_cc(synth_, channel, 64, 0);
    Fluid().fluid_synth_all_notes_off(synth_, -1);
}

void InternalSynth::SetSoundFontPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mu_);
    sound_font_path_ = path;
}

void InternalSynth::SetAudio(bool on) {
    std::lock_guard<std::mutex> lock(mu_);
    audio_ = on;
}

DWORD InternalSynth::GetMixerVolume() {
    std::lock_guard<std::mutex> lock(mu_);
    return mixer_volume_;
}

bool InternalSynth::GetMixerMute() {
    std::lock_guard<std::mutex> lock(mu_);
    return mixer_mute_;
}

void InternalSynth::SetMixerVolume(DWORD volume) {
    std::lock_guard<std::mutex> lock(mu_);
    mixer_volume_ = volume > 65535 ? 65535 : volume;
    ApplyGainLocked();
}

void InternalSynth::SetMixerMute(bool mute) {
    std::lock_guard<std::mutex> lock(mu_);
    mixer_mute_ = mute;
    ApplyGainLocked();
}

void InternalSynth::SetDeviceVolume(DWORD left, DWORD right) {
    std::lock_guard<std::mutex> lock(mu_);
    device_volume_ = static_cast<float>(left + right) / (2.0f * 65535.0f);
    ApplyGainLocked();
}

float InternalSynth::GetGain() {
    std::lock_guard<std::mutex> lock(mu_);
    if (mixer_mute_) return 0.0f;
    return kBaseGain * device_volume_ * static_cast<float>(mixer_volume_) / 65535.0f;
}

void InternalSynth::ApplyGainLocked() {
    if (synth_ == nullptr) return;
    float gain =
        mixer_mute_ ? 0.0f : kBaseGain * device_volume_ * static_cast<float>(mixer_volume_) / 65535.0f;
    Fluid().fluid_synth_set_gain(synth_, gain);
}

bool InternalSynth::StartRender(const std::string& path, int sample_rate) {
    std::lock_guard<std::mutex> lock(mu_);
    if (wav_ != nullptr || sample_rate <= 0) return false;
    if (started_ && sample_rate != rate_) return false;  // the rate is fixed once the synthesizer runs
    if (!started_) rate_ = sample_rate;
    {
        // The file takes the audio from now on: the stream closes for good.
        std::unique_lock<std::mutex> lock(stream_mu_);
        stream_rendering_ = true;
        stream_wanted_ = false;
        stream_cv_.notify_all();
        if (stream_thread_) {
            stream_cv_.wait(lock, [this] { return driver_ == nullptr && !stream_changing_; });
        } else if (driver_ != nullptr) {
            Fluid().delete_fluid_audio_driver(std::exchange(driver_, nullptr));
        }
    }
    wav_ = fopen(path.c_str(), "wb");
    if (wav_ == nullptr) return false;
    WriteWavHeader(wav_, rate_, 0);
    render_start_us_ = NowMicros();
    frames_written_ = 0;
    StartLocked();
    if (synth_ == nullptr) {
        fclose(wav_);
        wav_ = nullptr;
        return false;
    }
    return true;
}

bool InternalSynth::StopRender(DWORD tail_ms) {
    std::lock_guard<std::mutex> lock(mu_);
    if (wav_ == nullptr) return false;
    RenderUpToLocked(NowMicros() + static_cast<uint64_t>(tail_ms) * 1000);
    WriteWavHeader(wav_, rate_, frames_written_);
    bool ok = ferror(wav_) == 0;
    ok = fclose(wav_) == 0 && ok;
    wav_ = nullptr;
    return ok;
}

void InternalSynth::RenderUpToLocked(uint64_t now_us) {
    if (now_us <= render_start_us_) return;
    uint64_t target = (now_us - render_start_us_) * static_cast<uint64_t>(rate_) / 1000000;
    if (target > frames_written_) RenderFramesLocked(target - frames_written_);
}

void InternalSynth::RenderFramesLocked(uint64_t frames) {
    constexpr int kChunk = 1024;
    std::vector<int16_t> buffer(kChunk * 2);
    while (frames > 0) {
        int n = frames > kChunk ? kChunk : static_cast<int>(frames);
        Fluid().fluid_synth_write_s16(synth_, n, buffer.data(), 0, 2, buffer.data(), 1, 2);
        fwrite(buffer.data(), sizeof(int16_t), static_cast<size_t>(n) * 2, wav_);
        frames -= static_cast<uint64_t>(n);
        frames_written_ += static_cast<uint64_t>(n);
    }
}

}  // namespace qsm::mm
