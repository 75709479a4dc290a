// The window an embedded score shows in the browser: a bar of command buttons, a position slider with the
// play time, the score's title lines and the score itself, with its copyright lines at the foot. It plays
// the score through the plug-in's playback controller and opens the score in the viewer program.
#pragma once

#include <memory>

#include "midi/score_player.h"
#include "platform/framework/controls.h"
#include "platform/framework/frame.h"
#include "platform/framework/gadgets.h"
#include "score/base/color_palette.h"

class CPlugin;
class TMusicScore;
class TQSHSlider;
class TQSMMCIPlayer;
class TQSRStatic;
class TStaticScoreView;

// Commands of the player bar; each is also the id of its button's bitmap.
enum : int {
    CM_QSP_ABOUT = 101,
    CM_QSP_INFO = 102,
    CM_QSP_ZOOMIN = 103,
    CM_QSP_ZOOMOUT = 104,
    CM_QSP_PLAY = 105,
    CM_QSP_STOP = 106,
    CM_QSP_VIEWER = 107,
    CM_QSP_PAUSE = 109,
    CM_QSP_VOLUME = 110,
    CM_QSP_SAVECOPY = 111,
};

// Child windows of the player.
enum : int {
    IDC_QSP_TITLE = 101,
    IDC_QSP_AUTHOR = 102,
    IDC_QSP_COPYRIGHT1 = 103,
    IDC_QSP_COPYRIGHT2 = 104,
    IDC_QSP_LYRICIST = 105,
    IDC_QSP_SLIDER = 130,
    IDC_QSP_TIME = 131,
    IDC_QSP_VIEW = 200,
};

// Dialogs of the plug-in's module.
enum : int { IDD_QSP_SONGINFO = 511, IDD_QSP_ABOUT = 512 };

// The player's timer and its period.
constexpr UINT kPlayerTimerId = 411;
constexpr UINT kPlayerTimerMs = 100;

// The plug-in's dialogs: made from a template of the plug-in's module.
class TPlayerDialog : public TDialog {
public:
    TPlayerDialog(TWindow* parent, int resId, TModule* module);
};

class TQSPlayerClient : public TLayoutWindow {
public:
    TQSPlayerClient(CPlugin* plugin, TWindow* parent, TMusicScore* score, TModule* module);
    ~TQSPlayerClient() override;

    // A non-null score replaces the one shown; then the view, the performance, the title lines and their
    // fonts follow the score.
    void SetScore(TMusicScore* score);
    // Covers the parent's client area, at least 100 x 50.
    void FitToParent();

    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "TQSMIViewerClient"; }
    void SetupWindow() override;
    void CleanupWindow() override;

    LRESULT EvQsInit(WPARAM, LPARAM);
    LRESULT EvMidiSeq(WPARAM wp, LPARAM);
    void EvTimer(UINT id);
    HBRUSH EvCtlColor(HDC dc, HWND ctl, UINT ctlMsg);
    void EvSetFocus(HWND) {}
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);

    void CmAbout();
    void CmInfo();
    void CmZoomIn();
    void CmZoomOut();
    void CmPlay();
    void CmStop();
    void CmViewer();
    void CmPause();
    void CmVolume();
    void CmSaveCopy();
    void CePlay(TCommandEnabler& ce);
    void CeStop(TCommandEnabler& ce);
    void CeNotPlaying(TCommandEnabler& ce);
    void CePause(TCommandEnabler& ce);

    // Asks every button of the bar whether its command is available and shown down.
    void EnableButtons();
    // The play time of a slider position and the slider position of a play time, over the total play time.
    static DWORD SliderToMs(int position, DWORD total);
    static int MsToSlider(DWORD ms, DWORD total);
    // "m:ss", or "h:mm:ss" from an hour on.
    static void FormatPlayTime(DWORD ms, char* text, size_t size);

    TGadgetWindow* GetPlayerBar() const { return PlayerBar; }
    TQSHSlider* GetSlider() const { return Slider; }
    TQSMMCIPlayer* GetController() const { return Controller; }

    DECLARE_RESPONSE_TABLE(TQSPlayerClient);

private:
    bool IsPlaying() const;
    bool IsPaused() const;
    void ShowTime(DWORD ms);
    void FollowController();
    void DeleteScoreFonts();

    CPlugin* Plugin;
    TGadgetWindow* PlayerBar;
    TQSHSlider* Slider;
    TQSRStatic* TimeText;
    TQSRStatic* Title;
    TQSRStatic* Author;
    TQSRStatic* Lyricist;
    TQSRStatic* Copyright1;
    TQSRStatic* Copyright2;
    std::unique_ptr<TColorPalette> Palette;
    TStaticScoreView* View;
    HFONT TimeFont = nullptr;
    HFONT TitleFont = nullptr;
    HFONT TextFont = nullptr;
    HFONT SmallFont = nullptr;
    TMusicScore* Score;
    TQSMMCIPlayer* Controller = nullptr;
    TScoreMidiPlayer ScorePlayer;
    int TickCount = 0;
    UINT_PTR TimerId = 0;
    // The thumb is being dragged, and whether the song played when the drag began.
    bool Dragging = false;
    bool PlayingBeforeDrag = false;
};
