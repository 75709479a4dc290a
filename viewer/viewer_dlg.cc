#include "viewer/viewer_dlg.h"

#include <cstring>
#include <vector>

#include "core/ram_stream.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/resources.h"
#include "score/music_score.h"
#include "ui/message_box.h"
#include "ui/shell.h"

static_assert(sizeof(TSongInfo) == 1368, "the song information dialog transfers the whole block");

namespace {

TWindow* MainWindow() {
    TApplication* app = TApplication::Get();
    return app != nullptr ? app->GetMainWindow() : nullptr;
}

// Links in the text are reported to the dialog, and web addresses become links.
void EnableLinks(TQSRTFControl& control) {
    control.SetEventMask(control.GetEventMask() | ENM_LINK);
    control.SetAutoUrlDetect(true);
}

}  // namespace

// ---- base ----

TQSMViewerDlg::TQSMViewerDlg(TWindow* parent, int resId, TModule* module) {
    Init(parent, nullptr, module);
    InitDialog(MAKEINTRESOURCEA(resId));
}

void TQSMViewerDlg::SetupWindow() {
    TDialog::SetupWindow();
    if (CenterOnSetup != 0 && Parent != nullptr && Parent->GetHandle() != nullptr)
        CenterWindowOver(Handle, Parent->GetHandle(), true);
}

// ---- links ----

TLinkOpener& ViewerLinkOpener() {
    static TLinkOpener opener = [](const char* address) { OpenInBrowser(address); };
    return opener;
}

LRESULT HandleLinkNotify(TQSRTFControl& control, NMHDR& info) {
    if (info.code != EN_LINK) return 0;
    auto& link = reinterpret_cast<ENLINK&>(info);
    if (link.msg == WM_LBUTTONDOWN) {
        CHARRANGE range = link.chrg;
        control.SendMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        LONG length = range.cpMax > range.cpMin ? range.cpMax - range.cpMin : 0;
        std::vector<char> text(static_cast<size_t>(length) + 16, '\0');
        control.SendMessage(EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text.data()));
        text.back() = '\0';
        if (ViewerLinkOpener()) ViewerLinkOpener()(text.data());
        return 1;
    }
    return link.msg == WM_LBUTTONUP ? 1 : 0;
}

// ---- countdown ----

DEFINE_RESPONSE_TABLE1(TQSCountDownDlg, TQSMViewerDlg)
EV_WM_TIMER, END_RESPONSE_TABLE;

TQSCountDownDlg::TQSCountDownDlg(TWindow* parent, int seconds, TModule* module)
    : TQSMViewerDlg(parent, IDD_COUNTDOWN, module), TickCount(seconds * 10) {
    Number = new TStatic(this, 101, 15);
    Number->DisableTransfer();
}

TQSCountDownDlg::~TQSCountDownDlg() {
    if (BigFont != nullptr) DeleteObject(BigFont);
}

void TQSCountDownDlg::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    TRect r = Number->GetClientRect();
    BigFont = CreateFontA(r.Height(), 0, 0, 0, 800, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH, "Courier New");
    Number->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(BigFont), TRUE);
    SetTimer(1, 100);
}

void TQSCountDownDlg::CleanupWindow() {
    KillTimer(1);
    TQSMViewerDlg::CleanupWindow();
}

void TQSCountDownDlg::EvTimer(UINT) {
    --TickCount;
    int32_t shown = TickCount / 10 + 1;
    if (shown != LastShown) {
        LastShown = shown;
        SetDlgItemInt(Handle, 101, static_cast<UINT>(shown), TRUE);
    }
    if (TickCount < 0) Destroy(IDCANCEL);
}

void RunCountDown(int seconds) {
    TQSCountDownDlg dialog(MainWindow(), seconds);
    dialog.Execute();
}

// ---- song information ----

DEFINE_RESPONSE_TABLE1(TQSScoreInfoDlg, TQSMViewerDlg)
EV_NOTIFY(104, EvCommentsNotify), END_RESPONSE_TABLE;

TQSScoreInfoDlg::TQSScoreInfoDlg(TWindow* parent, const TSongInfo& info, TModule* module)
    : TQSMViewerDlg(parent, IDD_SONGINFO, module) {
    std::memcpy(Buffer, &info, sizeof Buffer);
    new TEdit(this, 100, sizeof info.Title);
    new TEdit(this, 101, sizeof info.Author);
    new TEdit(this, 105, sizeof info.Lyricist);
    new TEdit(this, 102, sizeof info.Copyright1);
    new TEdit(this, 103, sizeof info.Copyright2);
    Comments = new TQSRTFControl(this, 104, sizeof info.Comments);
    SetTransferBuffer(Buffer);
}

void TQSScoreInfoDlg::TransferData(TTransferDirection direction) {
    if (direction == tdSetData) EnableLinks(*Comments);
    TQSMViewerDlg::TransferData(direction);
}

LRESULT TQSScoreInfoDlg::EvCommentsNotify(NMHDR& info) {
    return HandleLinkNotify(*Comments, info);
}

int ShowScoreInfo(TWindow* parent, const TSongInfo& info) {
    TQSScoreInfoDlg dialog(parent, info);
    return dialog.Execute();
}

// ---- help ----

DEFINE_RESPONSE_TABLE1(TQSHelpDlg, TQSMViewerDlg)
EV_WM_SIZE, EV_NOTIFY(101, EvTextNotify), END_RESPONSE_TABLE;

TQSHelpDlg::TQSHelpDlg(TWindow* parent, TModule* module) : TQSMViewerDlg(parent, IDD_HELP, module) {
    CenterOnSetup = 0;
    Text = new TQSRTFControl(this, 101, 2147483647u);
    // The text comes from the program's resource, not from a buffer.
    Text->DisableTransfer();
}

void TQSHelpDlg::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    HWND main = Parent != nullptr ? Parent->GetHandle() : nullptr;
    if (main == nullptr) return;
    RECT r;
    ::GetWindowRect(main, &r);
    r.left += GetSystemMetrics(SM_CXHSCROLL);
    r.top += GetSystemMetrics(SM_CYCAPTION);
    r.bottom -= 5;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.showCmd = SW_SHOW;
    wp.rcNormalPosition = r;
    SetWindowPlacement(Handle, &wp);
}

void TQSHelpDlg::TransferData(TTransferDirection direction) {
    if (direction == tdSetData) {
        EnableLinks(*Text);
        TQSRResourceStream rtf(GetModule() != nullptr ? GetModule()->GetInstance() : nullptr,
                               MAKEINTRESOURCEA(1), "RTF");
        if (rtf.GetError() == 0) Text->StreamIn(rtf, 1);
        int margin = GetSystemMetrics(SM_CXHSCROLL);
        Text->PostMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(margin, margin / 2));
    }
    TQSMViewerDlg::TransferData(direction);
}

void TQSHelpDlg::EvSize(UINT sizeType, const TSize& size) {
    TQSMViewerDlg::EvSize(sizeType, size);
    if (Text->GetHandle() != nullptr) Text->MoveWindow(GetClientRect(), true);
}

LRESULT TQSHelpDlg::EvTextNotify(NMHDR& info) {
    return HandleLinkNotify(*Text, info);
}

void CmHelp() {
    TQSHelpDlg dialog(MainWindow());
    dialog.Execute();
}
