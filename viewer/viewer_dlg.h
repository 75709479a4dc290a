// The viewer's own dialogs: their base, which centres each dialog over its parent, and the play countdown,
// the song information and the help text. Every dialog is modal: made on the stack by the command that
// runs it, executed and destroyed before the command returns.
#pragma once

#include <functional>
#include <string>

#include "platform/framework/controls.h"
#include "ui/rich_edit.h"

struct TSongInfo;

// Dialog resources of the viewer.
enum : int {
    IDD_SONGINFO = 511,
    IDD_OPTIONS = 513,
    IDD_HELP = 514,
    IDD_LAUNCHPAD = 517,
    IDD_SYNTHVOLUME = 518,
    IDD_COUNTDOWN = 519,
};

class TQSMViewerDlg : public TDialog {
public:
    TQSMViewerDlg(TWindow* parent, int resId, TModule* module = nullptr);
    void SetupWindow() override;

    int CenterOnSetup = 1;
};

// Whoever opens a web address clicked in the dialogs' texts (the browser by default). Tests replace it.
using TLinkOpener = std::function<void(const char* address)>;
TLinkOpener& ViewerLinkOpener();

// Handles EN_LINK from a rich-edit control: a press on a link selects it, fetches its text and opens it; a
// press and its release count as handled, so that the caret stays; other mouse messages go on to the control.
LRESULT HandleLinkNotify(TQSRTFControl& control, NMHDR& info);

// The play countdown: the seconds left in big digits, counted down by a 100 ms timer in tenths of a second;
// it ends by itself (result 2) once the count goes below zero, or at once by Play Now.
class TQSCountDownDlg : public TQSMViewerDlg {
public:
    TQSCountDownDlg(TWindow* parent, int seconds, TModule* module = nullptr);
    ~TQSCountDownDlg() override;

    void SetupWindow() override;
    void CleanupWindow() override;
    void EvTimer(UINT id);

    TStatic* Number;
    int32_t TickCount;
    int32_t LastShown = -1;
    HFONT BigFont = nullptr;

    DECLARE_RESPONSE_TABLE(TQSCountDownDlg);
};

// Runs the countdown over the main window; returns when it ended, either way.
void RunCountDown(int seconds);

// The song's header texts and comments, shown from a copy of the song information block; nothing is ever
// copied back (the only button is Close).
class TQSScoreInfoDlg : public TQSMViewerDlg {
public:
    TQSScoreInfoDlg(TWindow* parent, const TSongInfo& info, TModule* module = nullptr);

    void TransferData(TTransferDirection direction) override;
    LRESULT EvCommentsNotify(NMHDR& info);

    TQSRTFControl* Comments;

    DECLARE_RESPONSE_TABLE(TQSScoreInfoDlg);

private:
    char Buffer[1368];
};

int ShowScoreInfo(TWindow* parent, const TSongInfo& info);

// The program's help: rich text of resource "RTF" 1, in a dialog laid over the main window.
class TQSHelpDlg : public TQSMViewerDlg {
public:
    explicit TQSHelpDlg(TWindow* parent, TModule* module = nullptr);

    void SetupWindow() override;
    void TransferData(TTransferDirection direction) override;
    void EvSize(UINT sizeType, const TSize& size);
    LRESULT EvTextNotify(NMHDR& info);

    TQSRTFControl* Text;

    DECLARE_RESPONSE_TABLE(TQSHelpDlg);
};

// The help command: the help dialog over the main window.
void CmHelp();
