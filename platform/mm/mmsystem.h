// The multimedia calls of the platform layer: MIDI output and input devices, the multimedia timer and the
// mixer of the built-in synthesizer.
//
// Output devices, in a stable order: 0 is the built-in synthesizer "Internal Synth" (FluidSynth with a
// General MIDI SoundFont), then the ALSA sequencer's writable ports, then "Test Recorder" while tests enable
// it. MIDI_MAPPER opens the built-in synthesizer. Input devices: the ALSA sequencer's readable ports, then
// "Test Recorder In" while tests enable it. Device names are at most 31 characters and unique.
//
// Handles are never reused; a call with a closed handle answers MMSYSERR_INVALHANDLE. midiOutShortMsg may be
// called from several threads at once and never waits for the device.
#pragma once

#include "platform/base/wintypes.h"

using MMRESULT = UINT;
using MMVERSION = UINT;

struct HMIXER__;
using HMIXER = HMIXER__*;

// Results.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_NOTENABLED = 3;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NODRIVER = 6;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT MIDIERR_BASE = 64;
constexpr MMRESULT MIDIERR_STILLPLAYING = MIDIERR_BASE + 1;
constexpr MMRESULT MIDIERR_NOTREADY = MIDIERR_BASE + 3;
constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;
constexpr MMRESULT MIXERR_INVALLINE = 1024;
constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
constexpr MMRESULT MIXERR_INVALVALUE = 1026;

// MIDI devices.
constexpr UINT MIDI_MAPPER = 0xFFFFFFFFu;
constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_WINDOW = 0x00010000;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;

constexpr WORD MOD_MIDIPORT = 1;
constexpr WORD MOD_SYNTH = 2;
constexpr WORD MOD_MAPPER = 5;
constexpr WORD MOD_SWSYNTH = 7;

constexpr DWORD MIDICAPS_VOLUME = 0x0001;
constexpr DWORD MIDICAPS_LRVOLUME = 0x0002;
constexpr DWORD MIDICAPS_CACHE = 0x0004;

constexpr UINT MIDI_CACHE_ALL = 1;
constexpr UINT MIDI_CACHE_BESTFIT = 2;
constexpr UINT MIDI_CACHE_QUERY = 3;
constexpr UINT MIDI_UNCACHE = 4;

constexpr UINT MIM_OPEN = 0x3C1;
constexpr UINT MIM_CLOSE = 0x3C2;
constexpr UINT MIM_DATA = 0x3C3;
constexpr UINT MIM_LONGDATA = 0x3C4;
constexpr UINT MIM_ERROR = 0x3C5;
constexpr UINT MIM_LONGERROR = 0x3C6;
constexpr UINT MIM_MOREDATA = 0x3CC;
constexpr UINT MM_MIM_DATA = 0x3C3;

constexpr UINT DRVM_MAPPER_PREFERRED_GET = 0x2015;

constexpr int MAXPNAMELEN = 32;

struct MIDIOUTCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    WORD wTechnology;
    WORD wVoices;
    WORD wNotes;
    WORD wChannelMask;
    DWORD dwSupport;
};
static_assert(sizeof(MIDIOUTCAPSA) == 52);

struct MIDIINCAPSA {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    CHAR szPname[MAXPNAMELEN];
    DWORD dwSupport;
};
static_assert(sizeof(MIDIINCAPSA) == 44);

// The callback of an input device: message MIM_OPEN, MIM_DATA (param1 = status | data1 << 8 | data2 << 16,
// param2 = milliseconds since midiInStart) or MIM_CLOSE. It runs on a thread of the layer, never twice at
// once for one handle.
using MIDIINPROC = void (*)(HMIDIIN handle, UINT msg, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

UINT midiOutGetNumDevs();
MMRESULT midiOutGetDevCapsA(UINT_PTR id, MIDIOUTCAPSA* caps, UINT size);
MMRESULT midiOutOpen(HMIDIOUT* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT midiOutClose(HMIDIOUT handle);
// Sends status (bits 0-7), data1 (8-15) and data2 (16-23); the top byte is ignored.
MMRESULT midiOutShortMsg(HMIDIOUT handle, DWORD msg);
// Every note off on all 16 channels (sustain pedal released, all-notes-off); controllers are kept.
MMRESULT midiOutReset(HMIDIOUT handle);
MMRESULT midiOutGetID(HMIDIOUT handle, UINT* id);
MMRESULT midiOutSetVolume(HMIDIOUT handle, DWORD volume);
MMRESULT midiOutCachePatches(HMIDIOUT handle, UINT bank, WORD* patches, UINT flags);
MMRESULT midiOutCacheDrumPatches(HMIDIOUT handle, UINT patch, WORD* keys, UINT flags);
// Only DRVM_MAPPER_PREFERRED_GET on MIDI_MAPPER: param1 -> DWORD device id, param2 -> DWORD flags.
MMRESULT midiOutMessage(HMIDIOUT handle, UINT msg, DWORD_PTR param1, DWORD_PTR param2);

UINT midiInGetNumDevs();
MMRESULT midiInGetDevCapsA(UINT_PTR id, MIDIINCAPSA* caps, UINT size);
MMRESULT midiInOpen(HMIDIIN* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
// Returns once no callback of the handle runs and none will start.
MMRESULT midiInClose(HMIDIIN handle);
MMRESULT midiInStart(HMIDIIN handle);
MMRESULT midiInStop(HMIDIIN handle);
MMRESULT midiInReset(HMIDIIN handle);
MMRESULT midiInGetID(HMIDIIN handle, UINT* id);

// Multimedia timer.
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;

using LPTIMECALLBACK = void (*)(UINT id, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

// Milliseconds of a monotonic clock (wraps after 2^32 ms).
DWORD timeGetTime();
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
// Starts a timer whose callback runs on a thread of its own, at absolute deadlines delay, 2 * delay, ...
// after the call (periodic) or once. A late timer skips missed periods rather than bursting. Answers 0 on
// failure.
UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK proc, DWORD_PTR user, UINT flags);
// Stops the timer and returns once a running callback has returned; inside the timer's own callback it only
// stops further calls.
MMRESULT timeKillEvent(UINT id);

// Mixer: one mixer (id 0) with one line, the built-in synthesizer, which has a volume (0..65535, the
// synthesizer's gain) and a mute control.
constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
constexpr DWORD MIXER_OBJECTF_HMIXER = 0x80000000;
constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 0x00000003;
constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x00000002;
constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x00000000;
constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x00000000;
constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = 0x00001004;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
constexpr int MIXER_SHORT_NAME_CHARS = 16;
constexpr int MIXER_LONG_NAME_CHARS = 64;

struct MIXERLINEA {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    DWORD_PTR dwUser;
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    CHAR szShortName[MIXER_SHORT_NAME_CHARS];
    CHAR szName[MIXER_LONG_NAME_CHARS];
};

struct MIXERCONTROLA {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD dwControlType;
    DWORD fdwControl;
    DWORD cMultipleItems;
    CHAR szShortName[MIXER_SHORT_NAME_CHARS];
    CHAR szName[MIXER_LONG_NAME_CHARS];
    LONG lMinimum;
    LONG lMaximum;
};

struct MIXERLINECONTROLSA {
    DWORD cbStruct;
    DWORD dwLineID;
    DWORD dwControlType;  // with MIXER_GETLINECONTROLSF_ONEBYTYPE
    DWORD cControls;
    DWORD cbmxctrl;
    MIXERCONTROLA* pamxctrl;
};

struct MIXERCONTROLDETAILS {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD cChannels;
    DWORD cMultipleItems;
    DWORD cbDetails;
    void* paDetails;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
    DWORD dwValue;
};
struct MIXERCONTROLDETAILS_BOOLEAN {
    LONG fValue;
};

MMRESULT mixerOpen(HMIXER* handle, UINT id, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT mixerClose(HMIXER handle);
MMRESULT mixerGetLineInfoA(HMIXER handle, MIXERLINEA* line, DWORD flags);
MMRESULT mixerGetLineControlsA(HMIXER handle, MIXERLINECONTROLSA* controls, DWORD flags);
MMRESULT mixerGetControlDetailsA(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags);
MMRESULT mixerSetControlDetails(HMIXER handle, MIXERCONTROLDETAILS* details, DWORD flags);
