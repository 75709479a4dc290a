// The viewer's client window: the song's header texts around the score view, the command line, the one
// open routine that every way of opening a file ends in, and the transport (play, pause, stop, repeat,
// seeking).
#pragma once

#include <string>

#include "platform/framework/frame.h"
#include "viewer/frame.h"

class TMusicScore;
class TQSRStatic;
class TQSMViewerControl;
class TSMFData;
class TMidiFileBuf;

// Ids of the header texts and the score view.
enum : int {
    IDC_TITLE = 101,
    IDC_AUTHOR = 102,
    IDC_COPYRIGHT1 = 103,
    IDC_COPYRIGHT2 = 104,
    IDC_LYRICIST = 105,
    IDC_SCOREVIEW = 200,
};

// Commands the client posts to the main window or handles itself.
enum : UINT {
    CM_QSM_WELCOME = 101,
    CM_QSM_INFO = 111,
    CM_QSM_ZOOMIN = 118,
    CM_QSM_ZOOMOUT = 119,
    CM_QSM_VOLUMECONTROL = 122,
    CM_QSM_PRINTDIRECT = 199,
};

class TQSMViewerClient : public TLayoutWindow, public TQSMFrameClient {
public:
    TQSMViewerClient();
    ~TQSMViewerClient() override;

    void SetupWindow() override;

    TQSMViewerControl* GetView() const { return View; }
    TQSRStatic* GetHeaderText(int id) const;

    // Splits the text into switches and the file, opens the file and carries out the switches.
    void ProcessCmdLine(const char* text) override;
    // Opens a compact score, a text score or a MIDI file (null: the blank score) and shows it in place of the
    // current one. False when the file could not be read; then nothing of the current state changes.
    bool OpenFile(const char* path, int addToRecent) override;
    // The readers behind OpenFile: a new score or null (after telling the user why).
    TMusicScore* OpenScoreFile(const char* path, const char* extension, int& fromNewFormat,
                               int& fromTextFile);
    TMusicScore* LoadMidiFile(const char* path);
    // The tracks of a read MIDI file into the song buffer, in windows of 768 ticks.
    static void MergeSmfTracks(TSMFData& smf, TMidiFileBuf& buffer);

    // Transport.
    void CmPlay();
    void CmPause();
    void CmPlayPause();
    void CmStop();
    void StopPlay();
    void CmVolumeControl();
    void CmGotoStart();
    void CmGotoEnd();
    void CePlay(TCommandEnabler& ce);
    void CePause(TCommandEnabler& ce);
    // A notification of the play slider (positions 0..16384).
    void SeekToSliderPos(int scrollCode, int position);
    // The play timer's move of the play marks.
    void UpdatePlayPosition() override;
    DWORD GetCurrentTick() const;
    // The bar shown in the status bar: at the play position while a song is performed, else at the view's.
    int GetPositionBar() override;
    void SetSliderFromMs(DWORD ms) override;
    HWND GetViewHandle() override;
    int GetCurrentIndex() override;

    void CmScoreInfo();
    void CmZoomIn();
    void CmZoomOut();

    LRESULT EvQsInit(WPARAM, LPARAM);
    LRESULT EvMidiSeq(WPARAM wp, LPARAM lp);
    LRESULT EvAppCommand(WPARAM wp, LPARAM lp);
    HBRUSH EvCtlColor(HDC dc, HWND ctl, UINT ctlMsg);
    DECLARE_RESPONSE_TABLE(TQSMViewerClient);

private:
    void SetHeaderFonts(TMusicScore* score);
    void DeleteHeaderFonts();
    // The main window, else this window.
    TWindow* TopWindow();

    TQSRStatic* Title;
    TQSRStatic* Author;
    TQSRStatic* Lyricist;
    TQSRStatic* Copyright1;
    TQSRStatic* Copyright2;
    TQSMViewerControl* View;
    HFONT Fonts[3] = {};
};
