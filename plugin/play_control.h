// The plug-in's playback controller: turns one score into a song buffer once and plays it on the device that
// the viewer's "PlayDevice" option names. It has no window of its own: the sequencer reports to the window
// handed to Play through the registered message "QSMMidiSeq", which that window passes to
// OnSequencerMessage.
//
// Every controller of the process plays through one MIDI manager and its one sequencer, made by the first
// controller and deleted with the last. One controller plays at a time: Play stops the controller that is
// playing. The window that controller reports to hears "QSMMidiSeq" wParam 2 first, as when its song runs
// out, so that it shows the stopped state. The output ports are open while any controller is open, and close
// with the last one that closes.
#pragma once

#include "platform/base/wintypes.h"
#include "score/base/midi_file_buf.h"

class TMidiManager;
class TMusicScore;
class TScoreMidiPlayer;

class TQSMMCIPlayer {
public:
    // Renders the score into the song buffer through the score player (which the caller owns and which
    // must outlive the controller), adds five silent seconds at the end and reads the output device.
    TQSMMCIPlayer(TScoreMidiPlayer* scorePlayer, TMusicScore* score);
    ~TQSMMCIPlayer();
    TQSMMCIPlayer(const TQSMMCIPlayer&) = delete;
    TQSMMCIPlayer& operator=(const TQSMMCIPlayer&) = delete;

    // Opens the output ports; answers whether they are open.
    bool Open();
    // Plays from the time cursor's tick, reporting to the owner window. Refuses (false) a song whose first
    // block holds fewer than 2 events, or when the ports cannot be opened.
    bool Play(HWND owner);
    void Pause();
    void Resume();
    // Stops playing and closes the ports.
    void Stop();
    void Close();

    bool IsOpen() const { return OpenFlag; }
    bool IsPlaying() const { return Playing; }
    bool IsPaused() const { return Paused; }

    // The play length of the score in milliseconds.
    DWORD GetLength() const;
    // The sequencer's tick while this controller plays, else the time cursor's tick.
    DWORD GetCurrentTick() const;
    DWORD GetCurrentMs();
    // Moves the start point of the next play; while playing, the performance continues from there (and
    // stays paused when it was paused).
    void SeekMs(DWORD ms);
    void SeekTick(DWORD tick);
    // The answer to "QSMMidiSeq": wParam 1 queues the next song block. Answers 0.
    LRESULT OnSequencerMessage(WPARAM wParam);

    // 0..255 and -128..128; applied to output port 0 while open.
    void SetVolume(int volume);
    void SetBalance(int balance);
    int GetVolume() const { return Volume; }
    int GetBalance() const { return Balance; }
    // The device volume word of a volume and balance: the left level x 256 in the low word, the right in the
    // high word; a balance to one side lowers the other side's level.
    static DWORD MakeVolumeWord(int volume, int balance);

    // The output device the controller plays on: -1 is the system's MIDI mapper.
    int GetDeviceId() const { return DeviceId; }
    const TMidiFileBuf& GetSong() const { return Song; }

    // The manager shared by the controllers of the process; null while there is no controller.
    static TMidiManager* GetSharedManager();

private:
    void ApplyVolume();
    void Reposition();
    // Another controller takes the sequencer: the owner of this play hears that its song ended, and this
    // play stops whatever the owner does with the news.
    void EndTakenOverPlay();

    TScoreMidiPlayer* ScorePlayer;
    // The window that hears the sequencer of the last play.
    HWND Owner = nullptr;
    TMidiManager* Manager;
    TMidiFileBuf Song;
    TMFBTimeIndex TimeIndex;
    int Volume = 250;
    int Balance = 0;
    bool OpenFlag = false;
    bool Playing = false;
    bool Paused = false;
    int DeviceId = -1;
    DWORD LengthMs = 0;
};
