#include "midi/midi_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/file_utils.h"
#include "core/sys_info.h"
#include "platform/mm/mmsystem.h"
#include "platform/wm/winuser.h"
#include "score/base/midi_file_buf.h"

TMidiManager* TheMidiManager = nullptr;
TQSMidi* TheQSMidi = nullptr;

namespace {

// (controller, value) pairs of the full reset, ended by (0, 0).
const BYTE kDefaultControllers[][2] = {{1, 0}, {7, 127}, {64, 0}, {10, 64}, {11, 127}, {0, 0}};

const char kOutPortsSection[] = "MIDI Out Ports";
const char kInPortsSection[] = "MIDI In Ports";
const char kEchoSection[] = "MIDI Echo";

void CopyName(char* dest, int size, const char* text) {
    if (size <= 0) return;
    size_t n = text != nullptr ? strnlen(text, static_cast<size_t>(size) - 1) : 0;
    std::memcpy(dest, text, n);
    dest[n] = 0;
}

}  // namespace

// ---- output device ----

bool TMidiOutDevice::Open(UINT id) {
    if (Sequencer == nullptr) return false;
    Close();
    HMIDIOUT handle = nullptr;
    if (midiOutOpen(&handle, id < 65 ? id : MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR)
        return false;
    Handle = handle;
    return true;
}

void TMidiOutDevice::Close() {
    if (Handle != nullptr) midiOutClose(Handle);
    Handle = nullptr;
}

UINT TMidiOutDevice::GetDeviceId() const {
    UINT id = 0;
    if (Handle == nullptr || midiOutGetID(Handle, &id) != MMSYSERR_NOERROR) return 0;
    return id;
}

void TMidiOutDevice::SendWithRetry(DWORD msg) {
    if (Handle == nullptr) return;
    for (int i = 0; i < 1000; ++i) {
        if (midiOutShortMsg(Handle, msg) != MIDIERR_NOTREADY) return;
    }
}

void TMidiOutDevice::Reset(bool full) {
    if (Handle == nullptr) return;
    if (!full) {
        midiOutReset(Handle);
        return;
    }
    TQSBusyCursor busy;
    for (DWORD channel = 0; channel < 16; ++channel) {
        for (int i = 0; kDefaultControllers[i][0] != 0; ++i) {
            SendWithRetry(0xB0 | channel | (static_cast<DWORD>(kDefaultControllers[i][0]) << 8) |
                          (static_cast<DWORD>(kDefaultControllers[i][1]) << 16));
        }
        SendWithRetry(0xE0 | channel | (64u << 16));  // pitch bend centre
        for (DWORD key = 0; key < 128; ++key)
            SendWithRetry(0x80 | channel | (key << 8));
    }
}

void TMidiOutDevice::GetName(char* buffer, int size) const {
    MIDIOUTCAPSA caps;
    if (Handle == nullptr || midiOutGetDevCapsA(GetDeviceId(), &caps, sizeof(caps)) != MMSYSERR_NOERROR) {
        CopyName(buffer, size, "");
        return;
    }
    CopyName(buffer, size, caps.szPname);
}

void TMidiOutDevice::CachePatches(int port, const TMidiFileBuf* song) {
    MIDIOUTCAPSA caps;
    if (Handle == nullptr || song == nullptr ||
        midiOutGetDevCapsA(GetDeviceId(), &caps, sizeof(caps)) != MMSYSERR_NOERROR ||
        (caps.dwSupport & MIDICAPS_CACHE) == 0) {
        return;
    }
    WORD patches[128] = {};
    WORD keys[128] = {};
    midiOutCachePatches(Handle, 0, patches, MIDI_CACHE_QUERY);
    midiOutCacheDrumPatches(Handle, 0, keys, MIDI_CACHE_QUERY);
    midiOutCachePatches(Handle, 0, patches, MIDI_UNCACHE);
    midiOutCacheDrumPatches(Handle, 0, keys, MIDI_UNCACHE);
    song->GetPatchArrays(port, 0x200, patches, keys);
    if (midiOutCachePatches(Handle, 0, patches, MIDI_CACHE_BESTFIT) != MMSYSERR_NOERROR) {
        MessageBoxA(nullptr, "An attempt to cache patches failed", "Patch Cache",
                    MB_TASKMODAL | MB_ICONINFORMATION);
    }
    midiOutCacheDrumPatches(Handle, 0, keys, MIDI_CACHE_BESTFIT);
}

// ---- input device ----

bool TMidiInDevice::Open(UINT id) {
    if (Sequencer == nullptr) return false;
    Close();
    HMIDIIN handle = nullptr;
    if (midiInOpen(&handle, id, reinterpret_cast<DWORD_PTR>(&TQSMidi::OnMidiInProc),
                   reinterpret_cast<DWORD_PTR>(Sequencer), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        return false;
    }
    Handle = handle;
    midiInStart(Handle);
    return true;
}

bool TMidiInDevice::OpenByName(const char* name) {
    Close();
    if (name == nullptr) return false;
    UINT count = midiInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIINCAPSA caps;
        if (midiInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
            std::strcmp(caps.szPname, name) == 0) {
            return Open(id);
        }
    }
    return false;
}

void TMidiInDevice::Close() {
    if (Handle == nullptr) return;
    midiInStop(Handle);
    midiInClose(Handle);  // returns once no input callback runs
    Handle = nullptr;
}

void TMidiInDevice::Reset() {
    if (Handle != nullptr) midiInReset(Handle);
}

UINT TMidiInDevice::GetDeviceId() const {
    UINT id = 0;
    if (Handle == nullptr || midiInGetID(Handle, &id) != MMSYSERR_NOERROR) return 0;
    return id;
}

void TMidiInDevice::GetName(char* buffer, int size) const {
    MIDIINCAPSA caps;
    if (Handle == nullptr || midiInGetDevCapsA(GetDeviceId(), &caps, sizeof(caps)) != MMSYSERR_NOERROR) {
        CopyName(buffer, size, "");
        return;
    }
    CopyName(buffer, size, caps.szPname);
}

// ---- manager ----

TMidiManager::TMidiManager() {
    Sequencer = new TQSMidi;
    In.SetSequencer(Sequencer);
    for (TMidiOutDevice& out : Outs)
        out.SetSequencer(Sequencer);
    // Several managers may live at once (one per embedded player): the globals name the first.
    if (TheMidiManager == nullptr) {
        TheMidiManager = this;
        TheQSMidi = Sequencer;
    }
}

TMidiManager::~TMidiManager() {
    if (IsPlaying()) Stop();
    if (Recording) StopRecording();
    if (PortsOpen) OpenPorts(false);
    In.Close();
    delete Sequencer;
    if (TheMidiManager == this) {
        TheMidiManager = nullptr;
        TheQSMidi = nullptr;
    }
}

void TMidiManager::LoadSettings() {
    const bool wasOpen = PortsOpen;
    OpenPorts(false);
    std::memset(OutNames, 0, sizeof(OutNames));
    OutCount = 0;
    // Names are cut to their 32-character fields whatever length the store holds.
    char name[256];
    while (OutCount < 16) {
        char value[12];
        std::snprintf(value, sizeof(value), "%d", OutCount);
        SysInfo.ReadString(kOutPortsSection, value, "", name, sizeof(name));
        if (name[0] == 0) break;
        CopyName(OutNames[OutCount], sizeof(OutNames[0]), name);
        ++OutCount;
    }
    SysInfo.ReadString(kInPortsSection, "0", "", name, sizeof(name));
    CopyName(InName, sizeof(InName), name);
    EchoEnabled = SysInfo.ReadInt(kEchoSection, "Enabled", 0) != 0;
    EchoDevice = SysInfo.ReadInt(kEchoSection, "DeviceNum", 0);
    EchoChannel = SysInfo.ReadInt(kEchoSection, "ChnlOvrd", 0);
    if (wasOpen) OpenPorts(true);
}

void TMidiManager::SaveSettings() {
    SysInfo.WriteString(kOutPortsSection, nullptr, nullptr);
    SysInfo.WriteString(kOutPortsSection, "0", "");
    for (int i = 0; i < OutCount; ++i) {
        char value[12];
        std::snprintf(value, sizeof(value), "%d", i);
        SysInfo.WriteString(kOutPortsSection, value, OutNames[i]);
    }
    SysInfo.WriteString(kInPortsSection, "0", InName);
    SysInfo.WriteInt(kEchoSection, "Enabled", EchoEnabled ? 1 : 0);
    SysInfo.WriteInt(kEchoSection, "DeviceNum", EchoDevice);
    SysInfo.WriteInt(kEchoSection, "ChnlOvrd", EchoChannel);
}

int TMidiManager::FindOutDevice(const char* name) {
    MIDIOUTCAPSA caps;
    if (midiOutGetDevCapsA(MIDI_MAPPER, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
        std::strcmp(caps.szPname, name) == 0) {
        return -1;
    }
    UINT count = midiOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        if (midiOutGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
            std::strcmp(caps.szPname, name) == 0) {
            return static_cast<int>(id);
        }
    }
    return -2;
}

bool TMidiManager::OpenPorts(bool open) {
    Sequencer->SetEcho(nullptr, 0);
    bool reopenOut = true;
    bool reopenIn = true;
    if (PortsOpen == open) {
        if (!open) return true;
        bool outsOk = true;
        for (int i = 0; i < OutCount; ++i)
            outsOk = outsOk && Outs[i].IsOpen();
        bool inOk = InName[0] == 0 || In.IsOpen();
        if (outsOk && inOk) {
            ApplyEcho();
            return true;
        }
        reopenOut = !outsOk;
        reopenIn = !inOk;
    }
    if (reopenOut) {
        for (TMidiOutDevice& out : Outs)
            out.Close();
    }
    if (reopenIn) In.Close();
    PortsOpen = open;
    if (!open) return true;
    if (reopenOut) {
        for (int i = 0; i < OutCount; ++i) {
            int id = FindOutDevice(OutNames[i]);
            if (id >= -1) Outs[i].Open(static_cast<UINT>(id));
        }
    }
    if (reopenIn && InName[0] != 0) In.OpenByName(InName);
    ApplyEcho();
    return true;
}

void TMidiManager::ApplyEcho() {
    if (EchoEnabled && EchoDevice >= 0 && EchoDevice < 16 && Outs[EchoDevice].IsOpen()) {
        Sequencer->SetEcho(Outs[EchoDevice].GetHandle(), static_cast<BYTE>(EchoChannel));
    }
}

void TMidiManager::SelectOutDevice(UINT id) {
    bool wasOpen = PortsOpen;
    OpenPorts(false);
    MIDIOUTCAPSA caps;
    if (midiOutGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR) {
        std::memset(OutNames, 0, sizeof(OutNames));
        CopyName(OutNames[0], 32, caps.szPname);
        OutCount = 1;
    }
    if (wasOpen) OpenPorts(true);
}

void TMidiManager::SetOutPortNames(const char* const* names, int count) {
    std::memset(OutNames, 0, sizeof(OutNames));
    OutCount = count < 0 ? 0 : count > 16 ? 16 : count;
    for (int i = 0; i < OutCount; ++i)
        CopyName(OutNames[i], 32, names[i]);
}

const char* TMidiManager::GetPortName(int i) const {
    return i >= 0 && i < OutCount ? OutNames[i] : "";
}

void TMidiManager::SetInPortName(const char* name) {
    CopyName(InName, 32, name);
}

HMIDIOUT TMidiManager::GetOutPortHandle(int i) const {
    if (!PortsOpen || i < 0 || i >= OutCount) return nullptr;
    return Outs[i].GetHandle();
}

DWORD TMidiManager::TestPorts() {
    bool wasOpen = PortsOpen;
    OpenPorts(true);
    DWORD failed = 0;
    for (int i = 0; i < OutCount; ++i) {
        if (!Outs[i].IsOpen()) failed |= 1u << i;
    }
    if (!wasOpen) OpenPorts(false);
    return failed;
}

namespace {

// The list's string i, cut to a device name's 31 characters.
void GetListName(HWND list, int i, char* name) {
    name[0] = 0;
    const LRESULT length = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) return;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    CopyName(name, 32, text.c_str());
}

int GetListCount(HWND list) {
    const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<int>(count) : 0;
}

void AddListString(HWND list, const char* text) {
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

bool IsInDeviceName(const char* name) {
    const UINT count = midiInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIINCAPSA caps;
        if (midiInGetDevCapsA(id, &caps, sizeof(caps)) == MMSYSERR_NOERROR &&
            std::strcmp(caps.szPname, name) == 0)
            return true;
    }
    return false;
}

}  // namespace

void TMidiManager::SetOutPortNamesFromList(HWND list) {
    char names[16][32];
    const char* pointers[16];
    const int count = std::min(GetListCount(list), 16);
    for (int i = 0; i < count; ++i) {
        GetListName(list, i, names[i]);
        pointers[i] = names[i];
    }
    SetOutPortNames(pointers, count);
}

DWORD TMidiManager::TestListDevices(HWND list) {
    const bool wasOpen = PortsOpen;
    OpenPorts(false);
    DWORD failed = 0;
    const int count = std::min(GetListCount(list), 16);
    for (int i = 0; i < count; ++i) {
        char name[32];
        GetListName(list, i, name);
        const int id = FindOutDevice(name);
        if (id < -1 || !Outs[i].Open(static_cast<UINT>(id))) failed |= 1u << i;
    }
    for (TMidiOutDevice& out : Outs)
        out.Close();
    if (wasOpen) OpenPorts(true);
    return failed;
}

void TMidiManager::FillPortList(HWND list) const {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < 16; ++i)
        AddListString(list, i < OutCount ? OutNames[i] : "<Unavailable>");
}

void TMidiManager::FillInDeviceList(HWND list) const {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const UINT count = midiInGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIINCAPSA caps;
        if (midiInGetDevCapsA(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        AddListString(list, caps.szPname);
        if (std::strcmp(caps.szPname, InName) == 0)
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(GetListCount(list) - 1), 0);
    }
}

void TMidiManager::FillFreeOutDeviceList(HWND list) const {
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    const UINT count = midiOutGetNumDevs();
    for (UINT id = 0; id < count; ++id) {
        MIDIOUTCAPSA caps;
        if (midiOutGetDevCapsA(id, &caps, sizeof(caps)) != MMSYSERR_NOERROR) continue;
        bool chosen = false;
        for (int i = 0; i < OutCount && !chosen; ++i)
            chosen = std::strcmp(OutNames[i], caps.szPname) == 0;
        if (!chosen) AddListString(list, caps.szPname);
    }
}

void TMidiManager::SetInPortNameFromEdit(HWND edit) {
    char text[32] = {};
    GetWindowTextA(edit, text, sizeof(text));
    SetInPortName(text);
}

bool TMidiManager::TestInPortEdit(HWND edit) const {
    char text[32] = {};
    GetWindowTextA(edit, text, sizeof(text));
    return text[0] == 0 || IsInDeviceName(text);
}

bool TMidiManager::IsInPortMissing() const {
    return InName[0] != 0 && !In.IsOpen();
}

void TMidiManager::ClearEcho() {
    EchoEnabled = false;
    Sequencer->SetEcho(nullptr, 0);
}

void TMidiManager::SetEcho(int device, int channel) {
    if (device < 0 || channel < 0) return;
    EchoEnabled = true;
    EchoDevice = device;
    EchoChannel = channel;
    if (PortsOpen) ApplyEcho();
}

void TMidiManager::ResetPorts(bool full) {
    TQSBusyCursor busy;
    for (int i = 0; i < OutCount; ++i)
        Outs[i].Reset(full);
}

void TMidiManager::CachePatches(const TMidiFileBuf* song) {
    if (!PortsOpen) return;
    for (int i = 0; i < OutCount; ++i)
        Outs[i].CachePatches(i, song);
}

void TMidiManager::Send(DWORD msg) {
    int port = static_cast<int>((msg >> 24) & 15);
    if (port < OutCount) Outs[port].SendWithRetry(msg);
}

bool TMidiManager::Play(HWND owner, TMidiFileBuf* song, DWORD startTick) {
    if (Sequencer == nullptr || song == nullptr || song->IsEmpty()) return false;
    TMidiPlayParams params;
    for (int i = 0; i < 16; ++i)
        params.Outs[i] = GetOutPortHandle(i);
    params.StartTick = startTick;
    params.StartDelay = StartDelay;
    Song = song;
    NextBlock = 1;
    return Sequencer->Start(owner, params, song->GetBlock(0));
}

bool TMidiManager::QueueNextBlock() {
    if (Song == nullptr) return false;
    if (NextBlock > Song->GetHighestBlock()) return true;
    // The index moves on only when the block was taken: a request that finds the slot full (a stale one)
    // must not skip a block.
    if (!Sequencer->SetNextBlock(Song->GetBlock(NextBlock))) return false;
    ++NextBlock;
    return true;
}

void TMidiManager::SetPausedPosition(DWORD tick) {
    if (Song == nullptr) return;
    NextBlock = 1;
    Sequencer->Reposition(tick, Song->GetBlock(0));
}

void TMidiManager::SongChanged() {
    if (Song != nullptr && IsPaused()) SetPausedPosition(GetPlayTick());
}

void TMidiManager::TogglePause() {
    Sequencer->TogglePause();
}

void TMidiManager::Stop() {
    Sequencer->Stop();
    Song = nullptr;
    NextBlock = 0;
}

bool TMidiManager::IsPlaying() const {
    return Sequencer->IsPlaying();
}
bool TMidiManager::IsPaused() const {
    return Sequencer->IsPaused();
}
DWORD TMidiManager::GetPlayTick() const {
    return Sequencer->GetCurrentTick();
}
int TMidiManager::GetCountdownSeconds() const {
    return Sequencer->GetCountdownSeconds();
}
DWORD TMidiManager::GetTotalPausedMs() const {
    return Sequencer->GetTotalPausedMs() + Sequencer->GetPauseLength();
}
DWORD TMidiManager::GetStartPositionMs() const {
    return Sequencer->GetStartPositionMs();
}
void TMidiManager::SetPlaySpeed(float factor) {
    Sequencer->SetSpeedFactor(factor);
}
float TMidiManager::GetPlaySpeed() const {
    return Sequencer->GetSpeedFactor();
}

void TMidiManager::StartRecording() {
    if (Recording) StopRecording();
    Recording = true;
    if (In.IsOpen()) Sequencer->SetRecording(true);
}

bool TMidiManager::ReadInputEvent(TMidiEvent& event) {
    return Recording && Sequencer->ReadInput(event);
}

void TMidiManager::StopRecording() {
    Recording = false;
    Sequencer->SetRecording(false);
}

void TMidiManager::SetInputWindow(HWND hwnd) {
    Sequencer->SetInputWindow(hwnd);
}
