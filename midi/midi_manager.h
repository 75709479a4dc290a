// MIDI ports and the MIDI manager: up to 16 output ports chosen by device name, one input port, MIDI echo,
// the start delay and the one sequencer. The manager opens and closes all ports together, prepares devices
// and is the only way in which the program starts, feeds, pauses and stops playback.
#pragma once

#include "midi/sequencer.h"
#include "platform/base/wintypes.h"

class TMidiFileBuf;

class TMidiOutDevice {
public:
    // Opening needs the sequencer of the device's manager.
    void SetSequencer(TQSMidi* sequencer) { Sequencer = sequencer; }
    // Device ids of 65 or more open the MIDI mapper.
    bool Open(UINT id);
    void Close();
    bool IsOpen() const { return Handle != nullptr; }
    HMIDIOUT GetHandle() const { return Handle; }
    UINT GetDeviceId() const;
    // midiOutShortMsg, retried while the device is not ready (up to 1000 times); a closed device counts as
    // sent.
    void SendWithRetry(DWORD msg);
    // full: the default controllers, pitch bend centre and a note-off for every key on all 16 channels;
    // otherwise the device's own reset.
    void Reset(bool full);
    // The device's name; empty when closed.
    void GetName(char* buffer, int size) const;
    void CachePatches(int port, const TMidiFileBuf* song);

private:
    TQSMidi* Sequencer = nullptr;
    HMIDIOUT Handle = nullptr;
};

class TMidiInDevice {
public:
    void SetSequencer(TQSMidi* sequencer) { Sequencer = sequencer; }
    // Opens the device with the sequencer's input callback and starts it.
    bool Open(UINT id);
    // Opens the first input device of that name.
    bool OpenByName(const char* name);
    void Close();
    void Reset();
    bool IsOpen() const { return Handle != nullptr; }
    UINT GetDeviceId() const;
    void GetName(char* buffer, int size) const;

private:
    TQSMidi* Sequencer = nullptr;
    HMIDIIN Handle = nullptr;
};

class TMidiManager {
public:
    // Publishes itself and its sequencer in the globals when they are free.
    TMidiManager();
    ~TMidiManager();
    TMidiManager(const TMidiManager&) = delete;
    TMidiManager& operator=(const TMidiManager&) = delete;

    TQSMidi* GetSequencer() const { return Sequencer; }

    // The port choice and echo from the settings store ("MIDI Out Ports", "MIDI In Ports", "MIDI Echo");
    // the open state is kept.
    void LoadSettings();
    void SaveSettings();

    bool OpenPorts(bool open);
    bool ArePortsOpen() const { return PortsOpen; }
    // Makes the device's name the single output port, keeping the open state.
    void SelectOutDevice(UINT id);
    // Sets the output port names in order (at most 16).
    void SetOutPortNames(const char* const* names, int count);
    int GetOutPortCount() const { return OutCount; }
    // Empty when out of range.
    const char* GetPortName(int i) const;
    void SetInPortName(const char* name);
    const char* GetInPortName() const { return InName; }
    // Null unless the ports are open and the port is configured.
    HMIDIOUT GetOutPortHandle(int i) const;
    // Opens the ports and returns the mask of the output ports that failed; the open state is kept.
    DWORD TestPorts();

    // Helpers of port settings dialogs, on list boxes and edit controls.
    // The output port names from the list's strings in order (at most 16).
    void SetOutPortNamesFromList(HWND list);
    // Opens each device the list names into the output port of its position; returns the mask of those
    // that failed. The ports are closed again and the open state is kept.
    DWORD TestListDevices(HWND list);
    // The 16 port names, "<Unavailable>" beyond the configured ports.
    void FillPortList(HWND list) const;
    // The input devices, the current one selected.
    void FillInDeviceList(HWND list) const;
    // The output devices that no port names yet.
    void FillFreeOutDeviceList(HWND list) const;
    void SetInPortNameFromEdit(HWND edit);
    // An empty text or the name of an input device.
    bool TestInPortEdit(HWND edit) const;
    // A name is set for the input port and it is not open.
    bool IsInPortMissing() const;

    void ClearEcho();
    void SetEcho(int device, int channel);
    bool IsEchoEnabled() const { return EchoEnabled; }
    int GetEchoDevice() const { return EchoDevice; }
    int GetEchoChannel() const { return EchoChannel; }

    void ResetPorts(bool full);
    void CachePatches(const TMidiFileBuf* song);
    // Sends through the port in bits 24-27; a port beyond the configured ones counts as sent.
    void Send(DWORD msg);

    void SetStartDelay(WORD ms) { StartDelay = ms; }
    WORD GetStartDelay() const { return StartDelay; }

    bool Play(HWND owner, TMidiFileBuf* song, DWORD startTick);
    // The answer to the sequencer's request for the next block.
    bool QueueNextBlock();
    void SetPausedPosition(DWORD tick);
    // The song buffer was filled again while paused (muted staves, transposition): the sequencer takes it
    // again from its first block at the tick it has reached, so that it keeps no pointer into the old
    // contents and strikes again no note that the new song does not hold. Nothing while not paused.
    void SongChanged();
    void TogglePause();
    void Stop();
    bool IsPlaying() const;
    bool IsPaused() const;
    DWORD GetPlayTick() const;
    int GetCountdownSeconds() const;
    DWORD GetTotalPausedMs() const;
    DWORD GetStartPositionMs() const;
    void SetPlaySpeed(float factor);
    float GetPlaySpeed() const;

    void StartRecording();
    bool IsRecording() const { return Recording; }
    bool ReadInputEvent(TMidiEvent& event);
    void StopRecording();
    void SetInputWindow(HWND hwnd);

private:
    void ApplyEcho();
    // The output device id whose name is given (the mapper first); -2 when there is none.
    static int FindOutDevice(const char* name);

    char InName[32] = {};
    TMidiInDevice In;
    int OutCount = 0;
    char OutNames[16][32] = {};
    TMidiOutDevice Outs[16];
    bool PortsOpen = false;
    bool Recording = false;
    bool EchoEnabled = false;
    int EchoDevice = 0;
    int EchoChannel = 0;
    WORD StartDelay = 500;
    TMidiFileBuf* Song = nullptr;
    int NextBlock = 0;
    TQSMidi* Sequencer = nullptr;
};

// The process's manager and its sequencer (the first manager made; null when none).
extern TMidiManager* TheMidiManager;
extern TQSMidi* TheQSMidi;
