// The viewer's application object: the blank and the current score, the song event buffer and what performs
// it, the MIDI manager, the colour palette, the recent views, the private fonts, the caption and play-time
// texts, and the speed, transposition and repeat commands.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/bool_array.h"
#include "core/multi_field.h"
#include "midi/midi_manager.h"
#include "midi/score_player.h"
#include "platform/framework/window.h"
#include "platform/kernel/files.h"
#include "score/base/color_palette.h"
#include "score/base/midi_file_buf.h"
#include "ui/tooltip.h"
#include "ui/touch_api.h"
#include "viewer/private_fonts.h"

class TMusicScore;
class TDib;
class TQSMViewerClient;
class TQSMPlaySlider;

namespace qsm {

// The recent views from their stored form (the compressed envelope over one line per entry), at most as many
// as the list holds; and the stored form of as many entries, in list order, as stay below the limit.
void ReadRecentViewsBlob(const void* data, DWORD size, TQSStringQueue& list);
std::vector<BYTE> MakeRecentViewsBlob(const TQSStringQueue& list, DWORD limit);

}  // namespace qsm

// Command ids of the application's commands.
enum : UINT {
    CM_QSM_HELP = 50,
    CM_QSM_ABOUT = 51,
    CM_QSM_CHECKUPDATES = 52,
    CM_QSM_WEBSITE = 53,
    CM_QSM_OPTIONS = 54,
    CM_QSM_EXIT = 112,
    CM_QSM_REPEATPLAY = 123,
    CM_QSM_SYNTHVOLUME = 124,
    CM_QSM_PLAYSPEED = 127,
    CM_QSM_FASTER = 128,
    CM_QSM_SLOWER = 129,
    CM_QSM_TRANSPOSE = 135,
    CM_QSM_TRANSPOSEMENU = 136,
};

// What the Open command and dropped files give the file dialog: its flags, filter ("text|patterns|" pairs),
// default extension and the last file name.
struct TOpenFileData {
    DWORD Flags;
    const char* Filter;
    const char* DefExt;
    int32_t FilterIndex;
    char FileName[MAX_PATH];
};

class TQSMViewerApp : public TApplication {
public:
    explicit TQSMViewerApp(const char* title);
    ~TQSMViewerApp() override;

    // The one application object (null when none exists).
    static TQSMViewerApp* Get() { return Instance; }

    void InitInstance() override;
    void InitMainWindow() override;
    int TermInstance(int status) override;

    // Scores. The blank score is shown when no file is open.
    TMusicScore* GetBlankScore() const { return BlankScore; }
    TMusicScore* GetScore() const {
        FinishSong();
        return Score;
    }
    const std::string& GetCurrentPath() const { return CurrentPath; }

    // The song of an opened score is rendered on a worker thread while the view is set up and painted: the
    // render reads the score and writes the song and the player, nothing else. Everything else reads them,
    // and the score, through the accessors here, which wait for the render; then the steps that follow it
    // (finish) run on this thread, before the accessor returns. Without a main window, or when the render is
    // too small to be worth a thread (inTurn: the blank score's), the render and finish run at once.
    void StartSongRender(std::function<void()> render, std::function<void()> finish, bool inTurn = false);
    // Waits for the render under way, if any, and runs its finish.
    void FinishSong() const {
        if (SongRender.joinable()) JoinSongRender();
    }
    bool IsSongPending() const { return SongRender.joinable(); }
    // A song that overflowed its buffer is told of once the open is through, or when its background render
    // has ended, never from inside an accessor that waited for it (a paint or a command enabler).
    // Each song's finish says whether it overflowed, so that a song gone before it was told of is not.
    void NoteSongOverflow(bool overflowed) const { SongOverflowToTell = overflowed; }
    void TellSongOverflow();

    TMidiFileBuf& GetSongBuffer() {
        FinishSong();
        return SongBuffer;
    }
    TMFBTimeIndex& GetTimeIndex() {
        FinishSong();
        return TimeIndex;
    }
    TMidiManager& GetMidiManager() { return MidiManager; }
    TColorPalette& GetPalette() { return Palette; }
    TScoreMidiPlayer& GetScorePlayer() {
        FinishSong();
        return ScorePlayer;
    }
    TQSBoolArray& GetMuteBits() { return MuteBits; }
    TPrivateFonts& GetPrivateFonts() { return *PrivateFonts; }
    const std::string& GetHelpFilePath() const { return HelpFilePath; }
    SIZE GetToolButtonSize() const { return ToolButtonSize; }
    bool IsFromNewFormat() const { return FromNewFormat != 0; }
    TOpenFileData& GetOpenFileData() { return OpenFileData; }
    // The command-button symbol font (null unless loaded) and one of its characters drawn on the button
    // face in the button-text colour; the caller owns the image.
    HFONT GetCommandFont() const { return CommandFont; }
    TDib* MakeCommandGlyph(char character, SIZE size) const;
    // A popup menu of the load warnings at the screen point; the chosen warning's number (1..), else 0.
    int ShowWarningsMenu(int x, int y);

    // Play state.
    int GetPlaySpeed() const { return PlaySpeed; }
    int GetTranspose() const { return Transposition; }
    bool IsPerformanceActive() const { return PerformanceActive != 0; }
    bool WasMovedWhilePaused() const { return MovedWhilePaused != 0; }
    void SetSpeed(int percent);
    void SetTranspose(int semitones);
    // The speed that Play Faster (true) or Play Slower gives from s percent: steps of 20 from 100 up, of 10
    // below, within 40..400; faster never slows and slower never speeds up.
    static int StepSpeed(int s, bool faster);
    // The transposition of entry id (0..23) of the transpose menu: -id below 12, else id - 12.
    static int TransposeMenuValue(int id);
    // The 24 entries of the transpose menu, checked where they equal the current transposition.
    HMENU BuildTransposeMenu() const;

    // The play timer on the main window (id 1, 70 ms); its ticks move the frame's play position while the
    // ports are open.
    bool ProcessAppMsg(MSG& msg) override;
    void EvTimer(UINT id);
    bool StartPlayTimer();
    void StopPlayTimer();

    // Caption "[*]name - QuillStave Composer Viewer" on the main window; takes the total play length from
    // the score MIDI player.
    void SetCaption(const char* name, bool isPath, bool marked);
    static std::string MakeCaption(const char* name, bool isPath, bool marked);
    // "h:mm:ss" with hours, else "m:ss".
    static void FormatPlayTime(DWORD ms, char* text);
    DWORD GetTotalPlayMs() const {
        FinishSong();
        return TotalPlayMs;
    }
    const char* GetTotalPlayText() const {
        FinishSong();
        return TotalPlayText;
    }
    // The total play time from the score MIDI player.
    void UpdateTotalPlayTime();

    // A wait cursor with a status text ("Working..." for null) until EndBusy.
    void BeginBusy(const char* text);
    void EndBusy();

    // The fonts of a score: faces neither installed nor loadable take their alternates or count as missing.
    void CheckScoreFonts(TMusicScore& score) { PrivateFonts->CheckScoreFonts(score); }
    // The load warnings of the current score (more than one MIDI port, missing fonts of the last check) and
    // the text of the frame's warnings gadget: "%d Note%s", empty without warnings.
    void BuildLoadWarnings();
    const std::vector<std::string>& GetLoadWarnings() const { return LoadWarnings; }
    const std::string& GetWarningsText() const { return WarningsText; }

    // Recent views: the compressed "z-mru" value of section "Options".
    const TQSStringQueue& GetRecentViews() const { return RecentViews; }
    void LoadViewerMru();
    void AddRecentView(const char* path, bool insert);

    // The editor's own recent files ("FileMRU" in the configuration folder), read again only when the file
    // changed; null until read. Only while editor 2 is installed.
    void LoadEditorMru();
    const TQSStringQueue* GetRecentEdits() const { return RecentEdits.get(); }
    // The folder "Songs" or "Config" (MAX_PATH bytes): the editor's setting, else the user's documents (its
    // "QuillStave Composer" folder when it exists) for songs, the local application-data folder's
    // "Quillstave Software/qsm2" (made when missing) or the program's "Config" folder for the configuration,
    // the program's folder for any other name.
    void GetFolder(const char* name, char* out) const;
    // The configuration folder and the file name set under the key in section "Config" (else the default).
    std::string GetConfigFilePath(const char* key, const char* defaultName) const;

    // A value of section "Config" of the INI file named after the program beside it, or the default.
    void GetConfigString(const char* key, char* buffer, int size, const char* defaultText) const;

    // Commands.
    void CmExit();
    // The Welcome dialog (command 101) and what its Open does; a sample it opens takes the blank score's
    // place.
    void CmWelcome();
    void ReplaceBlankScore(TMusicScore* score);
    // The fonts of the current score and where each came from (command 131).
    void CmFontUsage();
    // The staves muted in the performance (command 132), checked once the user changed them; not for MIDI
    // files.
    void CmMuteList();
    void CeMuteList(TCommandEnabler& ce);
    bool IsMuteListChanged() const { return MuteListState != 0; }
    // The maker's version-check page and web site in the user's browser.
    void CmCheckForUpdates();
    void CmWebSite();
    void CmRepeatPlay();
    void CeRepeatPlay(TCommandEnabler& ce);
    void CmFaster();
    void CeFaster(TCommandEnabler& ce);
    void CmSlower();
    void CeSlower(TCommandEnabler& ce);
    void CmTransposeMenu();
    void CeTranspose(TCommandEnabler& ce);
    // The dialogs: about (512), options (513), synthesizer volume (518), play speed (520) and transposition
    // (526).
    void CmAbout();
    void CmOptions();
    void CmMidiMapperVolume();
    void CmPlaySpeed();
    void CmTranspose();

    // The open road's state (the client keeps it here).
    void SetScore(TMusicScore* score) { Score = score; }
    void SetCurrentPath(const char* path) { CurrentPath = path ? path : ""; }
    int32_t GetLoadCount() const { return LoadCount; }
    void IncrementLoadCount() { ++LoadCount; }
    void SetSourceFlags(int32_t fromNewFormat, int32_t fromTextFile, int32_t fromMidiFile) {
        FromNewFormat = fromNewFormat;
        FromTextFile = fromTextFile;
        FromMidiFile = fromMidiFile;
    }
    bool IsFromTextFile() const { return FromTextFile != 0; }
    bool IsFromMidiFile() const { return FromMidiFile != 0; }
    void ClearMuteListState() { MuteListState = 0; }
    // The play state that the client's play commands keep.
    DWORD GetPlayStartTick() const { return PlayStartTick; }
    void SetPlayStartTick(DWORD tick) { PlayStartTick = tick; }
    void SetPerformanceActive(bool on) { PerformanceActive = on ? 1 : 0; }
    void SetMovedWhilePaused(bool on) { MovedWhilePaused = on ? 1 : 0; }
    // The play position the user chose: the time index's tick.
    DWORD GetCurrentTick() const {
        FinishSong();
        return TimeIndex.GetTick();
    }

    // The client window and the play slider (null until the main window makes them).
    TQSMViewerClient* GetClient() const { return Client; }
    void SetClient(TQSMViewerClient* client) { Client = client; }
    TQSMPlaySlider* GetPlaySlider() const { return PlaySlider; }
    void SetPlaySlider(TQSMPlaySlider* slider) { PlaySlider = slider; }
    // Slider positions 0..16384 over the total play length.
    void SetSliderFromMs(DWORD ms);
    DWORD GetMsFromSlider() const;
    // The play position and whether a performance runs (flag bit 0); without the state, {-1, 0}.
    struct TPositionRecord {
        DWORD Tick;
        DWORD Flags;
    };
    TPositionRecord GetPositionRecord(bool withState) const;
    // Refreshes the frame's position texts when the position moved while no performance runs, or when a
    // performance has just ended; remembers the record shown.
    void UpdateStatusIfMoved();
    // The first idle pass after messages updates the position texts.
    bool IdleAction(LONG idleCount) override;
    // Forgets the last shown position, so that the next status update shows it again.
    void ClearLastStatus() { LastStatus = {0xFFFFFFFFu, 0}; }
    // The frame's refresh of its position texts (time and bar); the frame sets it.
    void SetPositionTextsHandler(std::function<void()> handler) { PositionTexts = std::move(handler); }
    void ShowPositionTexts() {
        if (PositionTexts) PositionTexts();
    }

    // The text that a second instance handed over, kept for the client.
    void SetReceivedCommandLine(std::string text) { ReceivedCommandLine = std::move(text); }
    const std::string& GetReceivedCommandLine() const { return ReceivedCommandLine; }

    // True when the settings name the printer chosen last time, which the start restores.
    static bool HasSavedPrinter();

    // The print preview's placement, kept from one preview to the next while the program runs; false when
    // no preview has closed yet.
    bool GetPreviewPlacement(WINDOWPLACEMENT& placement) const {
        if (!HasPreviewPlacement) return false;
        placement = PreviewPlacement;
        return true;
    }
    void SetPreviewPlacement(const WINDOWPLACEMENT& placement) {
        PreviewPlacement = placement;
        HasPreviewPlacement = true;
    }
    // A run that only prints its file ("/xprint" on its own command line). Nobody is there to answer a box:
    // from StartPrintOnlyRun on, every box is told as one line "QSM2View: <file>: <caption>: <text>" on the
    // standard error stream and answered as its OK (else No, else Cancel) button would. A run that printed
    // nothing ends with exit code 1.
    void StartPrintOnlyRun(const char* file);
    bool IsPrintOnlyRun() const { return PrintOnlyRun; }
    // Tells one line "QSM2View: <text>" on the standard error stream.
    static void TellOnStderr(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // The boxes told on the standard error stream so far.
    int GetToldBoxCount() const { return ToldBoxes; }
    void SetRunFailed() { RunFailed = true; }

private:
    void SaveViewerMru();
    void JoinSongRender() const;
    static std::string ProgramFolder();

    static TQSMViewerApp* Instance;

    TouchApi Touch;
    std::string CurrentPath;
    TMusicScore* BlankScore = nullptr;
    TMusicScore* Score = nullptr;
    int32_t LoadCount = 0;
    int32_t FromNewFormat = 0;
    int32_t FromTextFile = 0;
    int32_t FromMidiFile = 0;
    TQSBoolArray MuteBits{255};
    int32_t MuteListState = 0;
    TMidiFileBuf SongBuffer{16};
    TMFBTimeIndex TimeIndex{&SongBuffer};
    DWORD PlayStartTick = 0;
    int32_t PerformanceActive = 0;
    int32_t MovedWhilePaused = 0;
    int32_t PlaySpeed = 100;
    int32_t Transposition = 0;
    TMidiManager MidiManager;
    UINT_PTR PlayTimer = 0;
    TOpenFileData OpenFileData;
    TColorPalette Palette;
    TScoreMidiPlayer ScorePlayer;
    TQSStringQueue RecentViews{16, true, 64};
    std::unique_ptr<TQSStringQueue> RecentEdits;
    FILETIME EditorMruTime = {0, 0};
    struct {
        DWORD Tick;
        DWORD Flags;
    } LastStatus = {0xFFFFFFFFu, 0};
    HMODULE Gdi32 = nullptr;
    std::unique_ptr<TPrivateFonts> PrivateFonts;
    std::string HelpFilePath;
    SIZE ToolButtonSize = {0, 0};
    HFONT CommandFont = nullptr;
    WINDOWPLACEMENT PreviewPlacement{};
    bool HasPreviewPlacement = false;
    DWORD TotalPlayMs = 0;
    char TotalPlayText[32] = "";
    std::string ReceivedCommandLine;
    TQSMViewerClient* Client = nullptr;
    TQSMPlaySlider* PlaySlider = nullptr;
    std::function<void()> PositionTexts;
    // The song render under way and what follows it (see StartSongRender).
    mutable std::thread SongRender;
    std::function<void()> SongRenderWork;
    mutable std::function<void()> SongFinish;
    WPARAM SongRenderSerial = 0;
    mutable bool SongOverflowToTell = false;
    std::unique_ptr<TToolTip> ToolTip;
    std::vector<std::string> LoadWarnings;
    std::string WarningsText;
    bool PrintOnlyRun = false;
    std::string PrintOnlyFile;
    bool RunFailed = false;
    int ToldBoxes = 0;
};
