// The viewer's main window: a decorated frame around the client with the docked "Tools" toolbar, the
// player gadgets and the status bar. It takes a second instance's command line, dropped files and the
// Open command to the client, hands the current file to an editor program, keeps its placement in the
// settings store and shows the play position, bar, speed, transposition and load warnings.
#pragma once

#include <deque>
#include <string>

#include "platform/framework/gadgets.h"
#include "ui/status_bar.h"
#include "ui/toolbar.h"

// Command ids of the frame.
enum : UINT {
    CM_QSM_FILEOPEN = 110,
    CM_QSM_SENDTOEDITOR1 = 116,
    CM_QSM_SENDTOEDITOR2 = 117,
};

// Gadget ids of the status bar.
enum : int {
    IDG_PLAYTIME = 101,
    IDG_BAR = 102,
    IDG_TRANSPOSE = 103,
    IDG_SPEED = 104,
    IDG_WARNINGS = 105,
};

// What the frame asks of its client window: the open road and the play position. The viewer's client
// implements it; the frame finds it by casting its client window.
class TQSMFrameClient {
public:
    virtual ~TQSMFrameClient() = default;
    virtual void ProcessCmdLine(const char* cmdLine) = 0;
    virtual bool OpenFile(const char* path, int addToRecent) = 0;
    virtual void UpdatePlayPosition() = 0;
    // The bar number at the play or view position, for the status bar.
    virtual int GetPositionBar() { return 1; }
    // Moves the play slider to the position of ms milliseconds.
    virtual void SetSliderFromMs(DWORD) {}
    // The window that takes the focus when the frame is activated (null: the frame's default).
    virtual HWND GetViewHandle() { return nullptr; }
    // The score view's navigation index (where the print preview opens).
    virtual int GetCurrentIndex() { return 0; }
};

// A text gadget that shows a non-empty text in dark red on yellow.
class TQSErrorTextGadget : public TTextGadget {
public:
    TQSErrorTextGadget(int id, TBorderStyle style, TAlign align, UINT numChars, const char* text = nullptr)
        : TTextGadget(id, style, align, numChars, text) {}
    void Paint(TDC& dc) override;
};

// The status bar of the main window: message pane, transposition, speed, bar, time and load warnings.
class TQSMViewerStatus : public TStatusBar95 {
public:
    explicit TQSMViewerStatus(TWindow* parent);
    // Sets the text of gadget id (nothing for an unknown id); repaints only when it changed.
    void SetGadgetText(int id, const char* text);
    const char* GetGadgetText(int id) const;

    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvRButtonUp(UINT modKeys, const TPoint& p);
    DECLARE_RESPONSE_TABLE(TQSMViewerStatus);

private:
    void Clicked(const TPoint& p);
    bool InMenu = false;
};

class TQSMViewerFrame : public TDecoratedFrame {
public:
    // playerBar (may be null) goes above the status bar.
    TQSMViewerFrame(const char* title, TWindow* client, TWindow* playerBar = nullptr);
    ~TQSMViewerFrame() override;

    const char* GetClassName() override { return "TQSMViewerFrame"; }
    void GetWindowClass(WNDCLASSA& wc) override;
    void SetupWindow() override;
    void CleanupWindow() override;
    LRESULT EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) override;

    TToolbar* GetToolsBar() const { return Tools; }
    TQSMViewerStatus* GetStatusBar() const { return Status; }
    // The player gadgets' window (the client's player bar), placed above the status bar.
    void InsertPlayerBar(TWindow& bar);
    TQSMFrameClient* GetFrameClient() const;

    // Status texts.
    void PlayTick();
    void ShowPositionTexts();
    void ShowTransposition();
    void ShowSpeed();
    void ShowWarnings();
    static std::string TranspositionText(int semitones);
    static std::string SpeedText(int percent);
    DWORD GetPlayLength() const;

    // Placement in section "Placement".
    static void SavePlacement(const WINDOWPLACEMENT& placement);
    bool RestorePlacement();

    // Message handlers. A command line handed over by another start is answered at once and processed from
    // the message loop once no dialog box is open (when the dialog closes, if one is open now).
    bool EvCopyData(HWND sender, COPYDATASTRUCT* data);
    LRESULT EvHandedOver(WPARAM, LPARAM);
    LRESULT EvEnableMsg(WPARAM enabled, LPARAM);
    bool IdleAction(LONG idleCount) override;
    void EvDropFiles(HDROP drop);
    void EvActivate(UINT active, bool minimized, HWND other);
    void EvClose();
    // A signal asked the program to close: the placement is saved at once, the modal window that is open is
    // closed, and then the frame as by its Close command.
    LRESULT EvCloseSignal(WPARAM signal, LPARAM);

    // Commands.
    void CmFileOpen();
    void CmSendToEditor1();
    void CmSendToEditor2();
    void CeSendToEditor1(TCommandEnabler& ce);
    void CeSendToEditor2(TCommandEnabler& ce);
    void CmToolbarList();
    void CmExit();
    void CmRepeatPlay();
    void CeRepeatPlay(TCommandEnabler& ce);
    void CmFaster();
    void CeFaster(TCommandEnabler& ce);
    void CmSlower();
    void CeSlower(TCommandEnabler& ce);
    void CmTransposeMenu();
    void CeTranspose(TCommandEnabler& ce);
    void CmTranspose();
    void CmHelp();
    void CmAbout();
    void CmCheckForUpdates();
    void CmWebSite();
    void CmOptions();
    void CmMidiMapperVolume();
    void CmPlaySpeed();
    // The Welcome dialog, the font usage and the mute list.
    void CmWelcome();
    void CmFontUsage();
    void CmMuteList();
    void CeMuteList(TCommandEnabler& ce);
    // Printing: the print dialog (113), the preview (114), printer set-up (115) and printing without a
    // dialog followed by Exit (199, "/xprint").
    void CmPrint();
    void CmPrintPreview();
    void CmPrinterSetup();
    void CmPrintDirect();
    DECLARE_RESPONSE_TABLE(TQSMViewerFrame);

    // The longest command line a second instance may hand over.
    static constexpr DWORD kMaxCopyData = 32 * 1024;

private:
    // Whether a dialog box (or another popup of the frame) is open.
    bool DialogOpen() const;
    // Saves the placement when RecallSizePos asks for it.
    void SaveClosingPlacement();

    TToolbar* Tools = nullptr;
    TQSMViewerStatus* Status = nullptr;
    // Command lines handed over and not yet processed, oldest first.
    std::deque<std::string> HandedOver;
    bool ClosingOnSignal = false;
    HWND SignalledPopup = nullptr;
};
