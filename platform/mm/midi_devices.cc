// MIDI output and input devices: the device table, handles and the recording device of tests.
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "platform/mm/alsa_seq.h"
#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/mm/synth.h"

namespace {

using qsm::mm::InternalSynth;

enum class Kind { kSynth, kAlsa, kRecorder };

struct DeviceInfo {
    std::string name;
    Kind kind = Kind::kSynth;
    int client = 0;
    int port = 0;
};

constexpr const char* kSynthName = "Internal Synth";
constexpr const char* kMapperName = "MIDI Mapper";
constexpr const char* kRecorderName = "Test Recorder";
constexpr const char* kRecorderInName = "Test Recorder In";

struct OutHandle {
    HMIDIOUT handle = nullptr;
    UINT id = 0;
    Kind kind = Kind::kSynth;
    std::unique_ptr<qsm::mm::alsa::Output> alsa;
};

struct InHandle {
    HMIDIIN handle = nullptr;
    UINT id = 0;
    Kind kind = Kind::kRecorder;
    MIDIINPROC proc = nullptr;
    DWORD_PTR instance = 0;
    std::mutex mu;
    std::condition_variable cv;
    std::deque<DWORD> queue;
    bool started = false;
    bool closing = false;
    bool delivering = false;
    uint64_t start_us = 0;
    std::thread worker;
    std::unique_ptr<qsm::mm::alsa::Input> alsa;

    void Push(DWORD msg) {
        {
            std::lock_guard<std::mutex> lock(mu);
            if (!started || closing) return;
            queue.push_back(msg);
        }
        cv.notify_all();
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mu);
        for (;;) {
            cv.wait(lock, [this] { return closing || !queue.empty(); });
            if (closing) break;
            DWORD msg = queue.front();
            queue.pop_front();
            delivering = true;
            uint64_t since = (qsm::mm::NowMicros() - start_us) / 1000;
            lock.unlock();
            proc(handle, MIM_DATA, instance, msg, static_cast<DWORD_PTR>(since));
            lock.lock();
            delivering = false;
            cv.notify_all();
        }
    }
};

struct Recorder {
    std::mutex mu;
    std::vector<qsm::mm::RecordedMessage> log;
    int fail_next = 0;
    std::map<std::thread::id, uint64_t> thread_numbers;
};

struct Devices {
    std::mutex mu;
    bool built = false;
    bool recorder = false;
    std::vector<DeviceInfo> outs;
    std::vector<DeviceInfo> ins;
    std::unordered_map<uintptr_t, std::shared_ptr<OutHandle>> out_handles;
    std::unordered_map<uintptr_t, std::shared_ptr<InHandle>> in_handles;
    uintptr_t next_handle = 0x1000;  // handle values are never reused
    Recorder rec;
    std::function<void()> recorder_open_close;  // set once at start, before any handle opens
};

Devices& Dev() {
    static Devices* devices = new Devices;  // lives until the process ends
    return *devices;
}

// Makes names at most 31 characters and unique by a " #n" suffix.
void MakeNamesUnique(std::vector<DeviceInfo>& list) {
    for (size_t i = 0; i < list.size(); ++i) {
        std::string base = list[i].name.substr(0, MAXPNAMELEN - 1);
        std::string name = base;
        for (int n = 2;; ++n) {
            bool clash = false;
            for (size_t j = 0; j < i; ++j)
                clash = clash || list[j].name == name;
            if (!clash) break;
            std::string suffix = " #" + std::to_string(n);
            name = base.substr(0, MAXPNAMELEN - 1 - suffix.size()) + suffix;
        }
        list[i].name = name;
    }
}

void BuildLocked(Devices& d) {
    d.outs.clear();
    d.ins.clear();
    d.outs.push_back({kSynthName, Kind::kSynth, 0, 0});
    for (const auto& p : qsm::mm::alsa::ListPorts(true)) {
        d.outs.push_back({p.client_name + ":" + p.port_name, Kind::kAlsa, p.client, p.port});
    }
    for (const auto& p : qsm::mm::alsa::ListPorts(false)) {
        d.ins.push_back({p.client_name + ":" + p.port_name, Kind::kAlsa, p.client, p.port});
    }
    if (d.recorder) {
        d.outs.push_back({kRecorderName, Kind::kRecorder, 0, 0});
        d.ins.push_back({kRecorderInName, Kind::kRecorder, 0, 0});
    }
    MakeNamesUnique(d.outs);
    MakeNamesUnique(d.ins);
    d.built = true;
}

void EnsureBuiltLocked(Devices& d, bool refresh) {
    if (!d.built || (refresh && d.out_handles.empty() && d.in_handles.empty())) BuildLocked(d);
}

void CopyName(CHAR* dest, const std::string& name) {
    std::memset(dest, 0, MAXPNAMELEN);
    std::memcpy(dest, name.data(), name.size() < MAXPNAMELEN ? name.size() : MAXPNAMELEN - 1);
}

std::shared_ptr<OutHandle> FindOut(HMIDIOUT h) {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    auto it = d.out_handles.find(reinterpret_cast<uintptr_t>(h));
    return it == d.out_handles.end() ? nullptr : it->second;
}

std::shared_ptr<InHandle> FindIn(HMIDIIN h) {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    auto it = d.in_handles.find(reinterpret_cast<uintptr_t>(h));
    return it == d.in_handles.end() ? nullptr : it->second;
}

// Number of data bytes a status byte takes.
int DataBytes(BYTE status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0:
            return 1;
        case 0xF0:
            return status == 0xF2 ? 2 : (status == 0xF1 || status == 0xF3) ? 1 : 0;
        default:
            return 2;
    }
}

MMRESULT RecordMessage(HMIDIOUT h, DWORD msg) {
    Recorder& r = Dev().rec;
    std::lock_guard<std::mutex> lock(r.mu);
    if (r.fail_next > 0) {
        --r.fail_next;
        return MIDIERR_NOTREADY;
    }
    auto [it, inserted] = r.thread_numbers.emplace(std::this_thread::get_id(), r.thread_numbers.size() + 1);
    r.log.push_back({qsm::mm::NowMicros(), msg, h, it->second});
    return MMSYSERR_NOERROR;
}

MMRESULT SendTo(OutHandle& out, DWORD msg) {
    BYTE status = static_cast<BYTE>(msg & 0xFF);
    if (status < 0x80) return MMSYSERR_INVALPARAM;
    BYTE data1 = DataBytes(status) >= 1 ? static_cast<BYTE>((msg >> 8) & 0x7F) : 0;
    BYTE data2 = DataBytes(status) >= 2 ? static_cast<BYTE>((msg >> 16) & 0x7F) : 0;
    switch (out.kind) {
        case Kind::kSynth:
            InternalSynth::Get().Send(status, data1, data2);
            return MMSYSERR_NOERROR;
        case Kind::kAlsa:
            return out.alsa->Send(status, data1, data2);
        case Kind::kRecorder:
            return RecordMessage(out.handle, msg);
    }
    return MMSYSERR_ERROR;
}

}  // namespace

UINT midiOutGetNumDevs() {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    EnsureBuiltLocked(d, true);
    return static_cast<UINT>(d.outs.size());
}

MMRESULT midiOutGetDevCapsA(UINT_PTR id, MIDIOUTCAPSA* caps, UINT size) {
    if (caps == nullptr || size < sizeof(MIDIOUTCAPSA)) return MMSYSERR_INVALPARAM;
    std::memset(caps, 0, sizeof(MIDIOUTCAPSA));
    caps->wMid = 1;
    caps->vDriverVersion = 0x0100;
    caps->wChannelMask = 0xFFFF;
    // The mapper is the same whatever devices there are: it needs no look at them (a program asks for it at
    // its start, where the look costs the most).
    if (static_cast<UINT>(id) == MIDI_MAPPER) {
        CopyName(caps->szPname, kMapperName);
        caps->wTechnology = MOD_MAPPER;
        return MMSYSERR_NOERROR;
    }
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    EnsureBuiltLocked(d, false);
    if (id >= d.outs.size()) return MMSYSERR_BADDEVICEID;
    const DeviceInfo& info = d.outs[id];
    CopyName(caps->szPname, info.name);
    caps->wPid = static_cast<WORD>(id + 1);
    if (info.kind == Kind::kSynth) {
        caps->wTechnology = MOD_SWSYNTH;
        caps->wVoices = 256;
        caps->wNotes = 256;
        caps->dwSupport = MIDICAPS_VOLUME | MIDICAPS_LRVOLUME;
    } else {
        caps->wTechnology = MOD_MIDIPORT;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutOpen(HMIDIOUT* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    (void)callback;
    (void)instance;
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if ((flags & 0x00070000) != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
    Devices& d = Dev();
    auto out = std::make_shared<OutHandle>();
    {
        std::lock_guard<std::mutex> lock(d.mu);
        EnsureBuiltLocked(d, false);
        UINT device = id == MIDI_MAPPER ? 0 : id;
        if (device >= d.outs.size()) return MMSYSERR_BADDEVICEID;
        out->id = id;
        out->kind = d.outs[device].kind;
        if (out->kind == Kind::kAlsa) {
            out->alsa = qsm::mm::alsa::Output::Open(d.outs[device].client, d.outs[device].port);
            if (!out->alsa) return MMSYSERR_ALLOCATED;
        }
    }
    if (out->kind == Kind::kSynth) InternalSynth::Get().Start();
    {
        std::lock_guard<std::mutex> lock(d.mu);
        out->handle = reinterpret_cast<HMIDIOUT>(d.next_handle++);
        d.out_handles[reinterpret_cast<uintptr_t>(out->handle)] = out;
        *handle = out->handle;
    }
    if (out->kind == Kind::kRecorder && d.recorder_open_close) d.recorder_open_close();
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutClose(HMIDIOUT handle) {
    std::shared_ptr<OutHandle> out;
    {
        Devices& d = Dev();
        std::lock_guard<std::mutex> lock(d.mu);
        auto it = d.out_handles.find(reinterpret_cast<uintptr_t>(handle));
        if (it == d.out_handles.end()) return MMSYSERR_INVALHANDLE;
        out = it->second;
        d.out_handles.erase(it);
    }
    // A closed handle of the built-in synthesizer leaves nothing sounding.
    if (out->kind == Kind::kSynth) InternalSynth::Get().AllNotesOff();
    if (out->kind == Kind::kRecorder && Dev().recorder_open_close) Dev().recorder_open_close();
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT handle, DWORD msg) {
    std::shared_ptr<OutHandle> out = FindOut(handle);
    if (!out) return MMSYSERR_INVALHANDLE;
    return SendTo(*out, msg);
}

MMRESULT midiOutReset(HMIDIOUT handle) {
    std::shared_ptr<OutHandle> out = FindOut(handle);
    if (!out) return MMSYSERR_INVALHANDLE;
    if (out->kind == Kind::kSynth) {
        InternalSynth::Get().AllNotesOff();
        return MMSYSERR_NOERROR;
    }
    for (DWORD channel = 0; channel < 16; ++channel) {
        SendTo(*out, 0xB0 | channel | (64u << 8));
        SendTo(*out, 0xB0 | channel | (123u << 8));
    }
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutGetID(HMIDIOUT handle, UINT* id) {
    if (id == nullptr) return MMSYSERR_INVALPARAM;
    std::shared_ptr<OutHandle> out = FindOut(handle);
    if (!out) return MMSYSERR_INVALHANDLE;
    *id = out->id;
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutSetVolume(HMIDIOUT handle, DWORD volume) {
    std::shared_ptr<OutHandle> out = FindOut(handle);
    if (!out) return MMSYSERR_INVALHANDLE;
    if (out->kind != Kind::kSynth) return MMSYSERR_NOTSUPPORTED;
    InternalSynth::Get().SetDeviceVolume(volume & 0xFFFF, volume >> 16);
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutCachePatches(HMIDIOUT handle, UINT, WORD*, UINT) {
    return FindOut(handle) ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutCacheDrumPatches(HMIDIOUT handle, UINT, WORD*, UINT) {
    return FindOut(handle) ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALHANDLE;
}

MMRESULT midiOutMessage(HMIDIOUT handle, UINT msg, DWORD_PTR param1, DWORD_PTR param2) {
    uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    if (value != MIDI_MAPPER && value != UINTPTR_MAX) {
        return FindOut(handle) ? MMSYSERR_NOTSUPPORTED : MMSYSERR_INVALHANDLE;
    }
    if (msg != DRVM_MAPPER_PREFERRED_GET) return MMSYSERR_NOTSUPPORTED;
    if (param1 == 0 || param2 == 0) return MMSYSERR_INVALPARAM;
    *reinterpret_cast<DWORD*>(param1) = 0;  // the built-in synthesizer
    *reinterpret_cast<DWORD*>(param2) = 0;
    return MMSYSERR_NOERROR;
}

UINT midiInGetNumDevs() {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    EnsureBuiltLocked(d, true);
    return static_cast<UINT>(d.ins.size());
}

MMRESULT midiInGetDevCapsA(UINT_PTR id, MIDIINCAPSA* caps, UINT size) {
    if (caps == nullptr || size < sizeof(MIDIINCAPSA)) return MMSYSERR_INVALPARAM;
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    EnsureBuiltLocked(d, false);
    if (id >= d.ins.size()) return MMSYSERR_BADDEVICEID;
    std::memset(caps, 0, sizeof(MIDIINCAPSA));
    caps->wMid = 1;
    caps->wPid = static_cast<WORD>(id + 1);
    caps->vDriverVersion = 0x0100;
    CopyName(caps->szPname, d.ins[id].name);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInOpen(HMIDIIN* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    DWORD type = flags & 0x00070000;
    if (type != CALLBACK_FUNCTION && type != CALLBACK_NULL) return MMSYSERR_NOTSUPPORTED;
    Devices& d = Dev();
    auto in = std::make_shared<InHandle>();
    in->proc = type == CALLBACK_FUNCTION ? reinterpret_cast<MIDIINPROC>(callback) : nullptr;
    in->instance = instance;
    InHandle* raw = in.get();
    {
        std::lock_guard<std::mutex> lock(d.mu);
        EnsureBuiltLocked(d, false);
        if (id >= d.ins.size()) return MMSYSERR_BADDEVICEID;
        in->id = id;
        in->kind = d.ins[id].kind;
        in->handle = reinterpret_cast<HMIDIIN>(d.next_handle++);
        if (in->kind == Kind::kAlsa) {
            in->alsa = qsm::mm::alsa::Input::Open(d.ins[id].client, d.ins[id].port,
                                                  [raw](DWORD msg) { raw->Push(msg); });
            if (!in->alsa) return MMSYSERR_ALLOCATED;
        }
    }
    if (in->proc != nullptr) {
        in->worker = std::thread([raw] { raw->Run(); });
        in->proc(in->handle, MIM_OPEN, instance, 0, 0);
    }
    std::lock_guard<std::mutex> lock(d.mu);
    d.in_handles[reinterpret_cast<uintptr_t>(in->handle)] = in;
    *handle = in->handle;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInClose(HMIDIIN handle) {
    std::shared_ptr<InHandle> in;
    {
        Devices& d = Dev();
        std::lock_guard<std::mutex> lock(d.mu);
        auto it = d.in_handles.find(reinterpret_cast<uintptr_t>(handle));
        if (it == d.in_handles.end()) return MMSYSERR_INVALHANDLE;
        in = it->second;
        d.in_handles.erase(it);
    }
    in->alsa.reset();  // no more input arrives
    {
        std::lock_guard<std::mutex> lock(in->mu);
        in->closing = true;
        in->started = false;
        in->queue.clear();
    }
    in->cv.notify_all();
    if (in->worker.joinable()) in->worker.join();
    if (in->proc != nullptr) in->proc(in->handle, MIM_CLOSE, in->instance, 0, 0);
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStart(HMIDIIN handle) {
    std::shared_ptr<InHandle> in = FindIn(handle);
    if (!in) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(in->mu);
    if (!in->started) in->start_us = qsm::mm::NowMicros();
    in->started = in->proc != nullptr;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInStop(HMIDIIN handle) {
    std::shared_ptr<InHandle> in = FindIn(handle);
    if (!in) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(in->mu);
    in->started = false;
    return MMSYSERR_NOERROR;
}

MMRESULT midiInReset(HMIDIIN handle) {
    std::shared_ptr<InHandle> in = FindIn(handle);
    if (!in) return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(in->mu);
    in->started = false;
    in->queue.clear();
    return MMSYSERR_NOERROR;
}

MMRESULT midiInGetID(HMIDIIN handle, UINT* id) {
    if (id == nullptr) return MMSYSERR_INVALPARAM;
    std::shared_ptr<InHandle> in = FindIn(handle);
    if (!in) return MMSYSERR_INVALHANDLE;
    *id = in->id;
    return MMSYSERR_NOERROR;
}

namespace qsm::mm {

void EnableTestRecorder(bool on) {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    d.recorder = on;
    BuildLocked(d);
}

void SetRecorderOpenCloseHook(std::function<void()> hook) {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    d.recorder_open_close = std::move(hook);
}

std::vector<RecordedMessage> GetRecording() {
    Recorder& r = Dev().rec;
    std::lock_guard<std::mutex> lock(r.mu);
    return r.log;
}

void ClearRecording() {
    Recorder& r = Dev().rec;
    std::lock_guard<std::mutex> lock(r.mu);
    r.log.clear();
    r.fail_next = 0;
}

void FailNextRecorderSends(int n) {
    Recorder& r = Dev().rec;
    std::lock_guard<std::mutex> lock(r.mu);
    r.fail_next = n;
}

namespace {
std::vector<std::shared_ptr<InHandle>> RecorderInputs() {
    Devices& d = Dev();
    std::lock_guard<std::mutex> lock(d.mu);
    std::vector<std::shared_ptr<InHandle>> list;
    for (auto& entry : d.in_handles) {
        if (entry.second->kind == Kind::kRecorder) list.push_back(entry.second);
    }
    return list;
}
}  // namespace

void SendRecorderInput(DWORD msg) {
    for (auto& in : RecorderInputs())
        in->Push(msg);
}

void FlushRecorderInput() {
    for (auto& in : RecorderInputs()) {
        std::unique_lock<std::mutex> lock(in->mu);
        in->cv.wait(lock, [&] { return in->closing || (in->queue.empty() && !in->delivering); });
    }
}

std::vector<std::pair<BYTE, BYTE>> FindSoundingNotes(const std::vector<RecordedMessage>& messages) {
    // Keyed by handle, channel and key (pedals: key 128 + controller).
    std::map<std::tuple<HMIDIOUT, int, int>, std::pair<BYTE, BYTE>> down;
    for (const RecordedMessage& m : messages) {
        BYTE status = static_cast<BYTE>(m.msg & 0xFF);
        int data1 = static_cast<int>((m.msg >> 8) & 0x7F);
        int data2 = static_cast<int>((m.msg >> 16) & 0x7F);
        int channel = status & 0x0F;
        switch (status & 0xF0) {
            case 0x90:
                if (data2 != 0) {
                    down[{m.handle, channel, data1}] = {status, static_cast<BYTE>(data1)};
                    break;
                }
                [[fallthrough]];
            case 0x80:
                down.erase({m.handle, channel, data1});
                break;
            case 0xB0:
                if (data1 == 64) {
                    if (data2 >= 64) {
                        down[{m.handle, channel, 128 + data1}] = {status, static_cast<BYTE>(data1)};
                    } else {
                        down.erase({m.handle, channel, 128 + data1});
                    }
                } else if (data1 == 123) {  // all notes off
                    for (auto it = down.begin(); it != down.end();) {
                        bool note = std::get<0>(it->first) == m.handle && std::get<1>(it->first) == channel &&
                                    std::get<2>(it->first) < 128;
                        it = note ? down.erase(it) : std::next(it);
                    }
                }
                break;
            default:
                break;
        }
    }
    std::vector<std::pair<BYTE, BYTE>> result;
    for (auto& entry : down)
        result.push_back(entry.second);
    return result;
}

void SetSoundFontPath(const std::string& path) {
    InternalSynth::Get().SetSoundFontPath(path);
}
void SetSynthAudio(bool on) {
    InternalSynth::Get().SetAudio(on);
}
void SetSynthAudioDrivers(const std::vector<std::string>& names, const std::string& alsa_device) {
    InternalSynth::Get().SetAudioDrivers(names, alsa_device);
}
bool WaitForSynthStream(bool open, DWORD timeout_ms) {
    return InternalSynth::Get().WaitForStream(open, timeout_ms);
}
uint64_t SynthStreamOpenings() {
    return InternalSynth::Get().StreamOpenings();
}
bool IsSoundFontLoaded() {
    return InternalSynth::Get().HasSoundFont();
}
bool StartSynthRender(const std::string& wav_path, int sample_rate) {
    return InternalSynth::Get().StartRender(wav_path, sample_rate);
}
bool StopSynthRender(DWORD tail_ms) {
    return InternalSynth::Get().StopRender(tail_ms);
}

}  // namespace qsm::mm
