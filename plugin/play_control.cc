#include "plugin/play_control.h"

#include <algorithm>
#include <cstdlib>

#include "core/sys_info.h"
#include "midi/midi_manager.h"
#include "midi/score_player.h"
#include "platform/mm/mmsystem.h"
#include "platform/wm/winuser.h"

namespace {

// What the controllers of the process share: one manager (the one sequencer with it), how many controllers
// use it and have it open, and the controller whose song the sequencer plays. Window thread only.
struct TSharedMidi {
    TMidiManager* Manager = nullptr;
    int Users = 0;
    int OpenCount = 0;
    TQSMMCIPlayer* Holder = nullptr;
};

TSharedMidi& Shared() {
    static TSharedMidi shared;
    return shared;
}

// The output device of the "PlayDevice" option: its absolute value minus 1 (0 is the MIDI mapper, -1).
int ReadPlayDevice() {
    const long long value = SysInfo.ReadInt("Options", "PlayDevice", 0);
    return static_cast<int>(std::min<long long>(std::llabs(value), 0x7FFFFFFF)) - 1;
}

}  // namespace

TQSMMCIPlayer::TQSMMCIPlayer(TScoreMidiPlayer* scorePlayer, TMusicScore* score)
    : ScorePlayer(scorePlayer), Manager(nullptr), Song(16), TimeIndex(&Song) {
    TSharedMidi& shared = Shared();
    if (shared.Manager == nullptr) shared.Manager = new TMidiManager;
    ++shared.Users;
    Manager = shared.Manager;

    Song.SetBlockCount(16);
    Song.Clear();
    ScorePlayer->SetScore(score);
    ScorePlayer->RenderToBuffer(Song);
    LengthMs = ScorePlayer->GetPlayLengthMs();
    Song.AppendEndPause(5);
    TimeIndex.Reset();

    DeviceId = ReadPlayDevice();
    // While another controller has the ports open they stay on its device.
    if (shared.OpenCount == 0) Manager->SelectOutDevice(static_cast<UINT>(DeviceId));
}

TQSMMCIPlayer::~TQSMMCIPlayer() {
    Stop();
    Close();
    TSharedMidi& shared = Shared();
    if (--shared.Users == 0) {
        delete shared.Manager;
        shared.Manager = nullptr;
    }
}

TMidiManager* TQSMMCIPlayer::GetSharedManager() {
    return Shared().Manager;
}

bool TQSMMCIPlayer::Open() {
    if (!OpenFlag) {
        TSharedMidi& shared = Shared();
        if (shared.OpenCount == 0) {
            Manager->SelectOutDevice(static_cast<UINT>(DeviceId));
            // A port whose device is missing stays closed; the song then plays to no device.
            Manager->OpenPorts(true);
        }
        ++shared.OpenCount;
        OpenFlag = true;
    }
    return OpenFlag;
}

bool TQSMMCIPlayer::Play(HWND owner) {
    Paused = false;
    const TSingleMidiBuf* first = Song.GetBlock(0);
    if (first == nullptr || first->GetCount() < 2) return false;
    TSharedMidi& shared = Shared();
    // One song at a time: the controller that plays now stops (and closes, unless this one holds the ports
    // open as well).
    if (shared.Holder != nullptr && shared.Holder != this) shared.Holder->EndTakenOverPlay();
    if (Playing) {
        Manager->Stop();
        Playing = false;
        shared.Holder = nullptr;
    }
    if (!Open()) return false;
    const DWORD tick = TimeIndex.GetTick();
    Manager->CachePatches(&Song);
    // The sequencer asks for the next block while it starts: the request must find this controller.
    shared.Holder = this;
    Owner = owner;
    Playing = Manager->Play(owner, &Song, tick);
    if (Playing) {
        ScorePlayer->Rewind();
        ScorePlayer->SeekTick(tick);
    } else {
        shared.Holder = nullptr;
    }
    return Playing;
}

void TQSMMCIPlayer::Pause() {
    if (!Playing || Paused) return;
    Manager->TogglePause();
    Paused = true;
}

void TQSMMCIPlayer::Resume() {
    if (!Playing || !Paused) return;
    Manager->TogglePause();
    Paused = false;
}

void TQSMMCIPlayer::Stop() {
    if (Playing) {
        Manager->Stop();
        Playing = false;
        if (Shared().Holder == this) Shared().Holder = nullptr;
    }
    Paused = false;
    Close();
}

void TQSMMCIPlayer::EndTakenOverPlay() {
    const HWND owner = Owner;
    Owner = nullptr;
    if (Playing && owner != nullptr && IsWindow(owner))
        SendMessageA(owner, RegisterWindowMessageA("QSMMidiSeq"), 2, 0);
    Stop();
}

void TQSMMCIPlayer::Close() {
    if (!OpenFlag) return;
    if (Playing) Stop();
    TSharedMidi& shared = Shared();
    if (--shared.OpenCount == 0) Manager->OpenPorts(false);
    OpenFlag = false;
}

DWORD TQSMMCIPlayer::GetLength() const {
    return LengthMs;
}

DWORD TQSMMCIPlayer::GetCurrentTick() const {
    return Playing ? Manager->GetPlayTick() : TimeIndex.GetTick();
}

DWORD TQSMMCIPlayer::GetCurrentMs() {
    if (Playing && !Paused) TimeIndex.SeekTick(Manager->GetPlayTick());
    return TimeIndex.GetMs();
}

void TQSMMCIPlayer::Reposition() {
    Manager->SetPausedPosition(TimeIndex.GetTick());
}

void TQSMMCIPlayer::SeekMs(DWORD ms) {
    if (!Playing) {
        TimeIndex.SeekMs(ms);
        return;
    }
    const bool wasPaused = Paused;
    Pause();
    TimeIndex.SeekMs(ms);
    Reposition();
    if (!wasPaused) Resume();
}

void TQSMMCIPlayer::SeekTick(DWORD tick) {
    if (!Playing) {
        TimeIndex.SeekTick(tick);
        return;
    }
    const bool wasPaused = Paused;
    Pause();
    TimeIndex.SeekTick(tick);
    Reposition();
    if (!wasPaused) Resume();
}

LRESULT TQSMMCIPlayer::OnSequencerMessage(WPARAM wParam) {
    // A request that reaches a controller whose play was taken over belongs to no song of its own.
    if (wParam == 1 && Shared().Holder == this) Manager->QueueNextBlock();
    return 0;
}

void TQSMMCIPlayer::SetVolume(int volume) {
    Volume = std::clamp(volume, 0, 255);
    ApplyVolume();
}

void TQSMMCIPlayer::SetBalance(int balance) {
    Balance = std::clamp(balance, -128, 128);
    ApplyVolume();
}

DWORD TQSMMCIPlayer::MakeVolumeWord(int volume, int balance) {
    const int left = balance > 0 ? MulDiv(volume, 128 - balance, 128) : volume;
    const int right = balance < 0 ? MulDiv(volume, balance + 128, 128) : volume;
    return static_cast<DWORD>(left * 256) | (static_cast<DWORD>(right * 256) << 16);
}

void TQSMMCIPlayer::ApplyVolume() {
    if (!OpenFlag) return;
    if (HMIDIOUT out = Manager->GetOutPortHandle(0)) midiOutSetVolume(out, MakeVolumeWord(Volume, Balance));
}
