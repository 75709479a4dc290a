// The mixer: mixer 0 has one line, the built-in synthesizer, with a volume control (the synthesizer's gain)
// and a mute control.
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/mm/mmsystem.h"
#include "platform/mm/mmtest.h"
#include "platform/mm/synth.h"

namespace {

constexpr DWORD kSynthLineId = 0x00010000;
constexpr DWORD kVolumeControlId = 1;
constexpr DWORD kMuteControlId = 2;

struct Mixers {
    std::mutex mu;
    std::set<uintptr_t> open;
    uintptr_t next = 0x100;
};

Mixers& Mix() {
    static Mixers* mixers = new Mixers;  // lives until the process ends
    return *mixers;
}

// Mixer id 0 or an open handle, whichever object flag comes with it.
bool IsMixer(HMIXER handle, DWORD) {
    if (handle == nullptr) return true;
    Mixers& m = Mix();
    std::lock_guard<std::mutex> lock(m.mu);
    return m.open.count(reinterpret_cast<uintptr_t>(handle)) != 0;
}

void CopyText(CHAR* dest, size_t size, const char* text) {
    std::memset(dest, 0, size);
    std::memcpy(dest, text, strnlen(text, size - 1));
}

std::atomic<bool> g_synthLineHidden{false};

}  // namespace

void qsm::mm::HideSynthMixerLine(bool hidden) {
    g_synthLineHidden.store(hidden);
}

MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR, DWORD_PTR, DWORD) {
    if (handle == nullptr) return MMSYSERR_INVALPARAM;
    *handle = nullptr;
    if (id != 0) return MMSYSERR_BADDEVICEID;
    Mixers& m = Mix();
    std::lock_guard<std::mutex> lock(m.mu);
    uintptr_t value = m.next++;
    m.open.insert(value);
    *handle = reinterpret_cast<HMIXER>(value);
    return MMSYSERR_NOERROR;
}

MMRESULT mixerClose(HMIXER handle) {
    Mixers& m = Mix();
    std::lock_guard<std::mutex> lock(m.mu);
    return m.open.erase(reinterpret_cast<uintptr_t>(handle)) != 0 ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}

MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags) {
    if (!IsMixer(handle, flags)) return MMSYSERR_INVALHANDLE;
    if (line == nullptr || line->cbStruct < sizeof(MIXERLINEA)) return MMSYSERR_INVALPARAM;
    if ((flags & 0x0F) != MIXER_GETLINEINFOF_COMPONENTTYPE) return MMSYSERR_NOTSUPPORTED;
    if (line->dwComponentType != MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER || g_synthLineHidden.load())
        return MIXERR_INVALLINE;
    line->dwDestination = 0;
    line->dwSource = 0;
    line->dwLineID = kSynthLineId;
    line->fdwLine = 1;  // active
    line->dwUser = 0;
    line->cChannels = 1;
    line->cConnections = 0;
    line->cControls = 2;
    CopyText(line->szShortName, sizeof(line->szShortName), "Synth");
    CopyText(line->szName, sizeof(line->szName), "Internal Synth");
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags) {
    if (!IsMixer(handle, flags)) return MMSYSERR_INVALHANDLE;
    if (controls == nullptr || controls->pamxctrl == nullptr || controls->cbmxctrl < sizeof(MIXERCONTROLA)) {
        return MMSYSERR_INVALPARAM;
    }
    if ((flags & 0x0F) != MIXER_GETLINECONTROLSF_ONEBYTYPE) return MMSYSERR_NOTSUPPORTED;
    if (controls->dwLineID != kSynthLineId) return MIXERR_INVALLINE;
    MIXERCONTROLA& c = *controls->pamxctrl;
    std::memset(&c, 0, sizeof(c));
    c.cbStruct = sizeof(MIXERCONTROLA);
    c.dwControlType = controls->dwControlType;
    if (controls->dwControlType == MIXERCONTROL_CONTROLTYPE_VOLUME) {
        c.dwControlID = kVolumeControlId;
        c.lMinimum = 0;
        c.lMaximum = 65535;
        CopyText(c.szShortName, sizeof(c.szShortName), "Volume");
        CopyText(c.szName, sizeof(c.szName), "Synth Volume");
    } else if (controls->dwControlType == MIXERCONTROL_CONTROLTYPE_MUTE) {
        c.dwControlID = kMuteControlId;
        c.lMinimum = 0;
        c.lMaximum = 1;
        CopyText(c.szShortName, sizeof(c.szShortName), "Mute");
        CopyText(c.szName, sizeof(c.szName), "Synth Mute");
    } else {
        return MIXERR_INVALCONTROL;
    }
    controls->cControls = 1;
    return MMSYSERR_NOERROR;
}

MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    if (!IsMixer(handle, flags)) return MMSYSERR_INVALHANDLE;
    if (details == nullptr || details->paDetails == nullptr || details->cbDetails < 4)
        return MMSYSERR_INVALPARAM;
    qsm::mm::InternalSynth& synth = qsm::mm::InternalSynth::Get();
    if (details->dwControlID == kVolumeControlId) {
        static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue = synth.GetMixerVolume();
    } else if (details->dwControlID == kMuteControlId) {
        static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)->fValue = synth.GetMixerMute() ? 1 : 0;
    } else {
        return MIXERR_INVALCONTROL;
    }
    return MMSYSERR_NOERROR;
}

MMRESULT mixerSetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags) {
    if (!IsMixer(handle, flags)) return MMSYSERR_INVALHANDLE;
    if (details == nullptr || details->paDetails == nullptr || details->cbDetails < 4)
        return MMSYSERR_INVALPARAM;
    qsm::mm::InternalSynth& synth = qsm::mm::InternalSynth::Get();
    if (details->dwControlID == kVolumeControlId) {
        DWORD value = static_cast<MIXERCONTROLDETAILS_UNSIGNED*>(details->paDetails)->dwValue;
        if (value > 65535) return MIXERR_INVALVALUE;
        synth.SetMixerVolume(value);
    } else if (details->dwControlID == kMuteControlId) {
        synth.SetMixerMute(static_cast<MIXERCONTROLDETAILS_BOOLEAN*>(details->paDetails)->fValue != 0);
    } else {
        return MIXERR_INVALCONTROL;
    }
    return MMSYSERR_NOERROR;
}
