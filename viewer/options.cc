#include "viewer/options.h"

#include <climits>
#include <cstring>

#include "core/reg_key.h"
#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/registry/registry.h"
#include "render/music_fonts.h"

TViewerOptions ViewerOptions = {1, 0, 0, 1, 0, 1, 1, 1, 16};
TSessionOptions SessionOptions = {0, 0, 0, 0};
TOpenRequest OpenRequest = {0, 0, 0};

const char* const kEditor1UninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillStave Composer";
const char* const kEditor2UninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillStave Composer 2";

namespace {

constexpr const char* kSection = "Options";

int32_t Abs(int32_t v) {
    return v == INT32_MIN ? INT32_MAX : (v < 0 ? -v : v);
}
int32_t Flag(int32_t v) {
    return v != 0 ? 1 : 0;
}

struct OptionField {
    const char* name;
    int32_t TViewerOptions::*field;
    int32_t (*normalise)(int32_t);
};

int32_t ToolSizeRange(int32_t v) {
    v = Abs(v);
    return v < 5 ? 5 : (v > 32 ? 32 : v);
}

const OptionField kFields[] = {
    {"PlayDelay", &TViewerOptions::PlayDelay, Abs},
    {"PlayDevice", &TViewerOptions::PlayDevice, Abs},
    {"RecallSizePos", &TViewerOptions::RecallSizePos, Flag},
    {"ReuseInst", &TViewerOptions::ReuseInst, Flag},
    {"AutoPlay", &TViewerOptions::AutoPlay, Flag},
    {"CloseOnSendTo", &TViewerOptions::CloseOnSendTo, Flag},
    {"AutoLaunch", &TViewerOptions::AutoLaunch, Flag},
    {"AutoWelcome", &TViewerOptions::AutoWelcome, Flag},
    {"ToolSize", &TViewerOptions::ToolSize, ToolSizeRange},
};

bool KeyExists(const char* path) {
    TKeyReadOnly key(HKEY_LOCAL_MACHINE, path);
    return key.IsOpen();
}

// The mixer's synthesizer line controls; false when the volume control is missing.
struct SynthControls {
    HMIXER mixer = nullptr;
    DWORD volumeId = 0;
    DWORD muteId = 0;
    bool hasMute = false;
};

bool FindControl(HMIXER mixer, DWORD lineId, DWORD type, DWORD* id) {
    MIXERCONTROLA control{};
    control.cbStruct = sizeof(control);
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof(controls);
    controls.dwLineID = lineId;
    controls.dwControlType = type;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof(control);
    controls.pamxctrl = &control;
    if (mixerGetLineControlsA(mixer, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_HMIXER) !=
        MMSYSERR_NOERROR)
        return false;
    *id = control.dwControlID;
    return true;
}

bool OpenSynth(SynthControls& c) {
    if (mixerOpen(&c.mixer, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) return false;
    MIXERLINEA line{};
    line.cbStruct = sizeof(line);
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;
    if (mixerGetLineInfoA(c.mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER) !=
            MMSYSERR_NOERROR ||
        !FindControl(c.mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, &c.volumeId)) {
        mixerClose(c.mixer);
        return false;
    }
    c.hasMute = FindControl(c.mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_MUTE, &c.muteId);
    return true;
}

MMRESULT ControlValue(HMIXER mixer, DWORD id, DWORD* value, bool set) {
    MIXERCONTROLDETAILS details{};
    details.cbStruct = sizeof(details);
    details.dwControlID = id;
    details.cChannels = 1;
    details.cbDetails = sizeof(DWORD);
    details.paDetails = value;
    return set ? mixerSetControlDetails(mixer, &details,
                                        MIXER_SETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER)
               : mixerGetControlDetailsA(mixer, &details,
                                         MIXER_GETCONTROLDETAILSF_VALUE | MIXER_OBJECTF_HMIXER);
}

}  // namespace

void SetDefaultOptions(TViewerOptions& options) {
    options = TViewerOptions{1, 0, 0, 1, 0, 1, 1, 1, 16};
}

void LoadOptions(TViewerOptions& options) {
    for (const OptionField& f : kFields)
        options.*f.field = f.normalise(SysInfo.ReadInt(kSection, f.name, options.*f.field));
    SetUseWideTextForSymbols(SysInfo.ReadInt(kSection, "UseWideTextForSymbols", GetUseWideTextForSymbols()) !=
                             0);
}

void SaveOptions(const TViewerOptions& options) {
    for (const OptionField& f : kFields)
        SysInfo.WriteInt(kSection, f.name, options.*f.field);
}

int GetPlayDeviceId(const TViewerOptions& options) {
    return options.PlayDevice == 0 ? -1 : options.PlayDevice - 1;
}

void DetectEditors(TSessionOptions& session) {
    session.RepeatPlay = Flag(SysInfo.ReadInt(kSection, "RepeatPlay", 0));
    session.Editor1Installed = 0;
    session.Editor2Installed = 0;
    session.NewestEditor = 0;
    if (KeyExists(kEditor1UninstallKey)) {
        session.Editor1Installed = 1;
        session.NewestEditor = 1;
    }
    if (KeyExists(kEditor2UninstallKey)) {
        session.Editor2Installed = 1;
        session.NewestEditor = 2;
    }
}

void ResetOpenRequest(TOpenRequest& request) {
    request.PlayAfterOpen = ViewerOptions.AutoPlay;
    request.CloseAfterPlay = 0;
    request.FromCache = 0;
}

TQSMultiField BuildPlayDeviceList() {
    UINT devices = midiOutGetNumDevs();
    TQSMultiField list(static_cast<int32_t>(devices) + 1, 64);
    list.SetField(0, "Default (Midi Mapper)");
    for (UINT i = 0; i < devices; ++i) {
        MIDIOUTCAPSA caps{};
        if (midiOutGetDevCapsA(i, &caps, sizeof(caps)) != MMSYSERR_NOERROR) break;
        caps.szPname[sizeof(caps.szPname) - 1] = '\0';
        list.SetField(static_cast<int32_t>(i) + 1, caps.szPname);
    }
    return list;
}

bool ReadSynthMixer(TSynthMixerValues& values) {
    SynthControls c;
    if (!OpenSynth(c)) return false;
    DWORD volume = 0, mute = 0;
    ControlValue(c.mixer, c.volumeId, &volume, false);
    if (c.hasMute) ControlValue(c.mixer, c.muteId, &mute, false);
    values.Volume = volume;
    values.Mute = mute != 0 ? 1 : 0;
    mixerClose(c.mixer);
    return true;
}

bool WriteSynthMixer(const TSynthMixerValues& values) {
    SynthControls c;
    if (!OpenSynth(c)) return false;
    DWORD volume = values.Volume > 65535 ? 65535 : values.Volume;
    DWORD mute = values.Mute != 0 ? 1 : 0;
    ControlValue(c.mixer, c.volumeId, &volume, true);
    if (c.hasMute) ControlValue(c.mixer, c.muteId, &mute, true);
    mixerClose(c.mixer);
    return true;
}
