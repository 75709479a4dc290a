// The viewer's option records: the user's options kept in section "Options" of the settings store, the
// session values (repeat play and which editor programs are installed) and the request that goes with the
// next file opened; and the synthesizer mixer values the volume command shows.
#pragma once

#include <cstdint>

#include "core/multi_field.h"
#include "platform/base/wintypes.h"

// Nine values in this order (the order the Options dialog transfers them).
struct TViewerOptions {
    int32_t PlayDelay;      // seconds of the countdown before play; 0 = none
    int32_t PlayDevice;     // 0 = the MIDI mapper, n = MIDI output device n-1
    int32_t RecallSizePos;  // flags 0/1 from here on
    int32_t ReuseInst;
    int32_t AutoPlay;
    int32_t CloseOnSendTo;
    int32_t AutoLaunch;
    int32_t AutoWelcome;
    int32_t ToolSize;  // points
};

struct TSessionOptions {
    int32_t RepeatPlay;
    int32_t Editor1Installed;
    int32_t Editor2Installed;
    int32_t NewestEditor;  // 0 none, 1 or 2
};

struct TOpenRequest {
    int32_t PlayAfterOpen;
    int32_t CloseAfterPlay;
    int32_t FromCache;
};

// The process-wide records.
extern TViewerOptions ViewerOptions;
extern TSessionOptions SessionOptions;
extern TOpenRequest OpenRequest;

// The uninstall keys (under HKEY_LOCAL_MACHINE) whose existence tells that an editor is installed.
extern const char* const kEditor1UninstallKey;
extern const char* const kEditor2UninstallKey;

// Defaults: 1, 0, 0, 1, 0, 1, 1, 1, 16.
void SetDefaultOptions(TViewerOptions& options);
// Reads the nine values from "Options" with the current values as defaults: counts and the device by
// absolute value, flags as 0/1, the tool size kept within 5..32; then "UseWideTextForSymbols" for the
// drawing code.
void LoadOptions(TViewerOptions& options);
// Writes the nine values, nothing else.
void SaveOptions(const TViewerOptions& options);
// -1 (the MIDI mapper) for device entry 0, else the entry - 1.
int GetPlayDeviceId(const TViewerOptions& options);
// "RepeatPlay" from "Options" (default 0) and the editors found by their uninstall keys.
void DetectEditors(TSessionOptions& session);
// Play after open from AutoPlay, the other flags 0.
void ResetOpenRequest(TOpenRequest& request);

// The play device list: field 0 "Default (Midi Mapper)", then the names of the MIDI output devices until
// the first that cannot be asked; unused fields stay empty.
TQSMultiField BuildPlayDeviceList();

// The synthesizer line of mixer 0: its volume (0..65535) and mute.
struct TSynthMixerValues {
    DWORD Volume;
    int32_t Mute;
};
// Reads the values; false (and the mixer closed again) when the mixer, the synthesizer line or its volume
// control is missing. The mute control is optional.
bool ReadSynthMixer(TSynthMixerValues& values);
// Writes the volume, then the mute; false when the controls cannot be reached.
bool WriteSynthMixer(const TSynthMixerValues& values);
