#include "viewer/frame.h"

#include <cstdio>
#include <cstring>

#include "core/sys_info.h"
#include "platform/kernel/resources.h"
#include "platform/kernel/shell.h"
#include "platform/wm/controls.h"
#include "platform/wm/file_dialog.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/close_signals.h"
#include "viewer/file_open_dlg.h"
#include "viewer/options.h"
#include "viewer/print_preview.h"
#include "viewer/printer.h"
#include "viewer/startup.h"
#include "viewer/tool_glyphs.h"
#include "viewer/toolbar_list.h"
#include "viewer/view_control.h"
#include "viewer/viewer_dlg.h"

namespace {

constexpr const char* kPlacement = "Placement";
// Buttons of the Tools toolbar whose commands other windows carry out.
constexpr UINT kCmInfo = 111, kCmPrint = 113, kCmPrintPreview = 114, kCmZoomIn = 118, kCmZoomOut = 119,
               kCmVolumeControl = 122;
constexpr UINT kCmPrinterSetup = 115, kCmPrintDirect = 199;
// Posted by the frame to itself to process the command lines handed over to it.
constexpr UINT kHandedOverMessage = WM_APP + 0x52;

TQSMViewerApp* App() {
    return TQSMViewerApp::Get();
}

// The Welcome dialog, the font usage and the mute list.
constexpr UINT kCmWelcome = 101;
constexpr UINT kCmFontUsage = 131;
constexpr UINT kCmMuteList = 132;

// The font of a gadget window: the system's user-interface face at the given size in points.
TFont* GadgetWindowFont(int points) {
    LOGFONTA lf{};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    TCreatedDC screen("DISPLAY");
    lf.lfHeight = -MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
    lf.lfWidth = 0;
    return new TFont(lf);
}

}  // namespace

// ---------------------------------------------------------------- error text gadget

void TQSErrorTextGadget::Paint(TDC& dc) {
    PaintBorder(dc);
    TRect inner;
    GetInnerRect(inner);
    HFONT font = Window ? Window->GetFont() : nullptr;
    HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
    bool shown = !Text.empty();
    dc.SetTextColor(shown ? TColor(160, 0, 0) : TColor::SysBtnText());
    dc.SetBkColor(shown ? TColor(255, 255, 0) : TColor::Sys3dFace());
    int length = static_cast<int>(Text.size());
    SIZE extent{0, 0};
    if (shown) ::GetTextExtentPoint32A(dc, Text.c_str(), length, &extent);
    int spare = inner.Width() - extent.cx;
    int x = inner.left;
    if (Align == Center)
        x += spare / 2;
    else if (Align == Right)
        x += spare;
    int y = inner.top + (inner.Height() - extent.cy) / 2;
    RECT r = inner;
    ::ExtTextOutA(dc, x, y, ETO_OPAQUE | ETO_CLIPPED, &r, Text.c_str(), static_cast<UINT>(length), nullptr);
    if (old) ::SelectObject(dc, old);
}

// ---------------------------------------------------------------- status bar

DEFINE_RESPONSE_TABLE1(TQSMViewerStatus, TStatusBar95)
EV_WM_LBUTTONUP, EV_WM_RBUTTONUP, END_RESPONSE_TABLE;

TQSMViewerStatus::TQSMViewerStatus(TWindow* parent) : TStatusBar95(parent) {
    // Transposition, speed, bar, time and load warnings, each after a separator.
    struct Pane {
        int id;
        TTextGadget::TAlign align;
        UINT chars;
    } const panes[] = {
        {IDG_TRANSPOSE, TTextGadget::Center, 4},
        {IDG_SPEED, TTextGadget::Center, 6},
        {IDG_BAR, TTextGadget::Center, 9},
        {IDG_PLAYTIME, TTextGadget::Right, 10},
    };
    for (const Pane& p : panes) {
        Insert(*new TQSStatusSeparatorGadget(6, 1, 2));
        Insert(*new TTextGadget(p.id, TGadget::None, p.align, p.chars));
    }
    Insert(*new TQSStatusSeparatorGadget(6, 1, 2));
    Insert(*new TQSErrorTextGadget(IDG_WARNINGS, TGadget::None, TTextGadget::Center, 8));
}

void TQSMViewerStatus::SetGadgetText(int id, const char* text) {
    auto* g = dynamic_cast<TTextGadget*>(GadgetWithId(id));
    if (g == nullptr) return;
    if (std::strcmp(g->GetText(), text ? text : "") == 0) return;
    g->SetText(text ? text : "");
}

const char* TQSMViewerStatus::GetGadgetText(int id) const {
    auto* g = dynamic_cast<TTextGadget*>(GadgetWithId(id));
    return g ? g->GetText() : nullptr;
}

void TQSMViewerStatus::EvLButtonUp(UINT, const TPoint& p) {
    Clicked(p);
}
void TQSMViewerStatus::EvRButtonUp(UINT, const TPoint& p) {
    Clicked(p);
}

void TQSMViewerStatus::Clicked(const TPoint& p) {
    if (InMenu) return;
    TRect client = GetClientRect();
    TGadget* g = GadgetFromPoint(TPoint(p.x, client.top + client.Height() / 2));
    if (g == nullptr || g->GetId() != IDG_WARNINGS || App() == nullptr) return;
    POINT at{p.x, p.y};
    ::ClientToScreen(GetHandle(), &at);
    InMenu = true;
    App()->ShowWarningsMenu(at.x, at.y);
    InMenu = false;
}

// ---------------------------------------------------------------- frame

DEFINE_RESPONSE_TABLE1(TQSMViewerFrame, TDecoratedFrame)
EV_WM_COPYDATA, EV_MESSAGE(kHandedOverMessage, EvHandedOver),
    EV_MESSAGE(WM_ENABLE, EvEnableMsg), EV_WM_DROPFILES, EV_WM_ACTIVATE, EV_WM_CLOSE,
    EV_REGISTERED("QSMCloseSignal", EvCloseSignal),
    EV_COMMAND(CM_QSM_FILEOPEN, CmFileOpen), EV_COMMAND(CM_QSM_SENDTOEDITOR1, CmSendToEditor1),
    EV_COMMAND_ENABLE(CM_QSM_SENDTOEDITOR1, CeSendToEditor1),
    EV_COMMAND(CM_QSM_SENDTOEDITOR2, CmSendToEditor2),
    EV_COMMAND_ENABLE(CM_QSM_SENDTOEDITOR2, CeSendToEditor2), EV_COMMAND(CM_TOOLBAR_LIST, CmToolbarList),
    EV_COMMAND(CM_QSM_EXIT, CmExit), EV_COMMAND(CM_QSM_REPEATPLAY, CmRepeatPlay),
    EV_COMMAND_ENABLE(CM_QSM_REPEATPLAY, CeRepeatPlay), EV_COMMAND(CM_QSM_FASTER, CmFaster),
    EV_COMMAND_ENABLE(CM_QSM_FASTER, CeFaster), EV_COMMAND(CM_QSM_SLOWER, CmSlower),
    EV_COMMAND_ENABLE(CM_QSM_SLOWER, CeSlower), EV_COMMAND(CM_QSM_TRANSPOSEMENU, CmTransposeMenu),
    EV_COMMAND_ENABLE(CM_QSM_TRANSPOSEMENU, CeTranspose), EV_COMMAND(CM_QSM_TRANSPOSE, CmTranspose),
    EV_COMMAND_ENABLE(CM_QSM_TRANSPOSE, CeTranspose), EV_COMMAND(CM_QSM_HELP, CmHelp),
    EV_COMMAND(CM_QSM_ABOUT, CmAbout), EV_COMMAND(CM_QSM_CHECKUPDATES, CmCheckForUpdates),
    EV_COMMAND(CM_QSM_WEBSITE, CmWebSite), EV_COMMAND(CM_QSM_OPTIONS, CmOptions),
    EV_COMMAND(CM_QSM_SYNTHVOLUME, CmMidiMapperVolume), EV_COMMAND(CM_QSM_PLAYSPEED, CmPlaySpeed),
    EV_COMMAND(kCmWelcome, CmWelcome), EV_COMMAND(kCmFontUsage, CmFontUsage),
    EV_COMMAND(kCmMuteList, CmMuteList), EV_COMMAND_ENABLE(kCmMuteList, CeMuteList),
    EV_COMMAND(kCmPrint, CmPrint), EV_COMMAND(kCmPrintPreview, CmPrintPreview),
    EV_COMMAND(kCmPrinterSetup, CmPrinterSetup),
    EV_COMMAND(kCmPrintDirect, CmPrintDirect), END_RESPONSE_TABLE;

TQSMViewerFrame::TQSMViewerFrame(const char* title, TWindow* client, TWindow* playerBar)
    : TWindow(nullptr, title), TDecoratedFrame(nullptr, title, client, true) {
    Attr.Style = WS_OVERLAPPEDWINDOW;
    AssignMenu(MAKEINTRESOURCEA(1));
    Attr.AccelTable = LoadAcceleratorsA(nullptr, MAKEINTRESOURCEA(1));

    // The status bar is outermost at the bottom, the player gadgets above it; the dock stations that the
    // first toolbar makes come inside both.
    Status = new TQSMViewerStatus(this);
    Insert(*Status, Bottom);
    if (playerBar) Insert(*playerBar, Bottom);

    // The viewer's toolbars have no context menu: a right click on them does nothing.
    ContextMenuId = 0;
    Tools = new TToolbar(this, "Tools", 0x2800, 1, GadgetWindowFont(SysInfo.IsVersion4OrLater() ? 8 : 10));
    Tools->DockMask = 0xf000;
    if (App()) Tools->SetButtonSize(App()->GetToolButtonSize().cy);
    auto button = [this](UINT id) { Tools->Insert(*new TQSMViewToolbarBtn(static_cast<int>(id))); };
    auto separator = [this] { Tools->Insert(*new TQSToolbarSeparatorGadget); };
    button(CM_QSM_FILEOPEN);
    button(kCmInfo);
    button(kCmPrintPreview);
    button(kCmPrint);
    separator();
    button(kCmZoomIn);
    button(kCmZoomOut);
    separator();
    button(kCmVolumeControl);
    if (SessionOptions.Editor1Installed) button(CM_QSM_SENDTOEDITOR1);
    if (SessionOptions.Editor2Installed) button(CM_QSM_SENDTOEDITOR2);
    separator();
    button(CM_QSM_OPTIONS);
}

TQSMViewerFrame::~TQSMViewerFrame() {
    qsm::SetCloseSignalWindow(nullptr);
    if (Attr.AccelTable) DestroyAcceleratorTable(Attr.AccelTable);
    Attr.AccelTable = nullptr;
}

void TQSMViewerFrame::InsertPlayerBar(TWindow& bar) {
    Insert(bar, Bottom);
}

TQSMFrameClient* TQSMViewerFrame::GetFrameClient() const {
    return dynamic_cast<TQSMFrameClient*>(GetClientWindow());
}

void TQSMViewerFrame::GetWindowClass(WNDCLASSA& wc) {
    TDecoratedFrame::GetWindowClass(wc);
    wc.hIcon = LoadIconA(GetModule() ? GetModule()->GetInstance() : nullptr, MAKEINTRESOURCEA(1));
}

void TQSMViewerFrame::SetupWindow() {
    TDecoratedFrame::SetupWindow();
    qsm::SetCloseSignalWindow(GetHandle());
    DragAcceptFiles(GetHandle(), TRUE);
    if (SysInfo.ReadInt("Options", "ShowStatusBar", 1) == 0)
        PostMessageA(GetHandle(), WM_COMMAND, IDW_STATUSBAR, 0);
    ShowTransposition();
    ShowSpeed();
}

void TQSMViewerFrame::CleanupWindow() {
    DragAcceptFiles(GetHandle(), FALSE);
    TDecoratedFrame::CleanupWindow();
}

LRESULT TQSMViewerFrame::EvCommand(UINT id, HWND hWndCtl, UINT notifyCode) {
    if (hWndCtl == nullptr && id >= CM_TOOLBAR_FIRST && id <= CM_TOOLBAR_LAST &&
        TToolbar::ToggleToolbarCommand(id))
        return 0;
    LRESULT result = TDecoratedFrame::EvCommand(id, hWndCtl, notifyCode);
    if (id == IDW_STATUSBAR && hWndCtl == nullptr)
        SysInfo.WriteInt("Options", "ShowStatusBar", Status && Status->IsWindowVisible() ? 1 : 0);
    return result;
}

// ---------------------------------------------------------------- status texts

std::string TQSMViewerFrame::TranspositionText(int semitones) {
    if (semitones == 0) return std::string();
    char text[16];
    std::snprintf(text, sizeof(text), "%c %d", semitones < 0 ? '-' : '+',
                  semitones < 0 ? -semitones : semitones);
    return text;
}

std::string TQSMViewerFrame::SpeedText(int percent) {
    if (percent == 100) return std::string();
    char text[16];
    std::snprintf(text, sizeof(text), "%1.1fx", static_cast<double>(percent) / 100.0);
    return text;
}

void TQSMViewerFrame::ShowTransposition() {
    if (Status && App())
        Status->SetGadgetText(IDG_TRANSPOSE, TranspositionText(App()->GetTranspose()).c_str());
}

void TQSMViewerFrame::ShowSpeed() {
    if (Status && App()) Status->SetGadgetText(IDG_SPEED, SpeedText(App()->GetPlaySpeed()).c_str());
}

void TQSMViewerFrame::ShowWarnings() {
    if (Status && App()) Status->SetGadgetText(IDG_WARNINGS, App()->GetWarningsText().c_str());
}

void TQSMViewerFrame::ShowPositionTexts() {
    TQSMViewerApp* app = App();
    if (app == nullptr || Status == nullptr) return;
    TMFBTimeIndex& index = app->GetTimeIndex();
    TMidiManager& midi = app->GetMidiManager();
    TQSMFrameClient* client = GetFrameClient();
    if (app->IsPerformanceActive() && !midi.IsPaused()) {
        index.SeekTick(midi.GetPlayTick());
        if (client) client->SetSliderFromMs(index.GetMs());
    }
    char now[32];
    TQSMViewerApp::FormatPlayTime(index.GetMs(), now);
    char text[80];
    std::snprintf(text, sizeof(text), "%s / %s", now, app->GetTotalPlayText());
    Status->SetGadgetText(IDG_PLAYTIME, text);
    std::snprintf(text, sizeof(text), "Bar %d", client ? client->GetPositionBar() : 1);
    Status->SetGadgetText(IDG_BAR, text);
}

void TQSMViewerFrame::PlayTick() {
    ShowPositionTexts();
    if (TQSMFrameClient* client = GetFrameClient()) client->UpdatePlayPosition();
}

DWORD TQSMViewerFrame::GetPlayLength() const {
    return App() ? App()->GetScorePlayer().GetPlayLengthMs() + 600 : 600;
}

// ---------------------------------------------------------------- placement

void TQSMViewerFrame::SavePlacement(const WINDOWPLACEMENT& placement) {
    SysInfo.WriteInt(kPlacement, "flags", static_cast<int32_t>(placement.flags));
    SysInfo.WriteInt(kPlacement, "showCmd", static_cast<int32_t>(placement.showCmd));
    SysInfo.WriteInt(kPlacement, "x1", placement.rcNormalPosition.left);
    SysInfo.WriteInt(kPlacement, "y1", placement.rcNormalPosition.top);
    SysInfo.WriteInt(kPlacement, "x2", placement.rcNormalPosition.right);
    SysInfo.WriteInt(kPlacement, "y2", placement.rcNormalPosition.bottom);
}

bool TQSMViewerFrame::RestorePlacement() {
    int left = SysInfo.ReadInt(kPlacement, "x1", -99);
    if (left < 0 || GetHandle() == nullptr) return false;
    WINDOWPLACEMENT wp{};
    wp.length = 44;
    GetWindowPlacement(GetHandle(), &wp);
    int cx = GetSystemMetrics(SM_CXSCREEN);
    int cy = GetSystemMetrics(SM_CYSCREEN);
    wp.flags = static_cast<UINT>(SysInfo.ReadInt(kPlacement, "flags", 0));
    wp.showCmd = static_cast<UINT>(SysInfo.ReadInt(kPlacement, "showCmd", SW_SHOWMAXIMIZED));
    int top = SysInfo.ReadInt(kPlacement, "y1", cy / 5);
    wp.rcNormalPosition.left = left;
    wp.rcNormalPosition.top = top;
    wp.rcNormalPosition.right = SysInfo.ReadInt(kPlacement, "x2", cx - left);
    wp.rcNormalPosition.bottom = SysInfo.ReadInt(kPlacement, "y2", cy - top);
    if (left > cx - 2 * GetSystemMetrics(SM_CXICON) || top > cy - 2 * GetSystemMetrics(SM_CYICON))
        return false;
    SetWindowPlacement(GetHandle(), &wp);
    return true;
}

// ---------------------------------------------------------------- messages

bool TQSMViewerFrame::DialogOpen() const {
    HWND popup = GetLastActivePopup(GetHandle());
    return popup != nullptr && popup != GetHandle();
}

bool TQSMViewerFrame::EvCopyData(HWND, COPYDATASTRUCT* data) {
    // The block comes from another process: only its bytes count, and an oversized one is refused. The
    // sender waits for the answer, so the command line is only noted here: opening its file may take a
    // while, and with a dialog box open it waits until the dialog closes.
    if (data == nullptr || data->cbData > kMaxCopyData) return false;
    HandedOver.push_back(CopyDataText(data));
    PostMessage(kHandedOverMessage, 0, 0);
    return false;
}

LRESULT TQSMViewerFrame::EvHandedOver(WPARAM, LPARAM) {
    while (!HandedOver.empty() && !DialogOpen()) {
        std::string text = std::move(HandedOver.front());
        HandedOver.pop_front();
        if (TQSMFrameClient* client = GetFrameClient())
            client->ProcessCmdLine(text.c_str());
        else if (App())
            App()->SetReceivedCommandLine(std::move(text));
    }
    return 0;
}

LRESULT TQSMViewerFrame::EvEnableMsg(WPARAM enabled, LPARAM) {
    // Enabled again: the modal dialog that held the frame has closed.
    if (enabled && !HandedOver.empty()) PostMessage(kHandedOverMessage, 0, 0);
    return 0;
}

bool TQSMViewerFrame::IdleAction(LONG idleCount) {
    // A popup that did not disable the frame has closed.
    if (idleCount == 0 && !HandedOver.empty() && !DialogOpen()) PostMessage(kHandedOverMessage, 0, 0);
    return TDecoratedFrame::IdleAction(idleCount);
}

void TQSMViewerFrame::EvDropFiles(HDROP drop) {
    TQSMViewerApp* app = App();
    char* name = app ? app->GetOpenFileData().FileName : nullptr;
    if (name == nullptr) {
        DragFinish(drop);
        return;
    }
    UINT length = DragQueryFileA(drop, 0, name, MAX_PATH);
    DragFinish(drop);
    if (length == 0) return;
    ResetOpenRequest(OpenRequest);
    if (TQSMFrameClient* client = GetFrameClient()) client->OpenFile(name, 1);
}

void TQSMViewerFrame::EvActivate(UINT active, bool minimized, HWND other) {
    TDecoratedFrame::EvActivate(active, minimized, other);
    if (active != WA_INACTIVE) {
        TQSMFrameClient* client = GetFrameClient();
        HWND view = client ? client->GetViewHandle() : nullptr;
        if (view && ::IsWindow(view)) ::SetFocus(view);
    }
}

void TQSMViewerFrame::SaveClosingPlacement() {
    if (ViewerOptions.RecallSizePos && GetHandle()) {
        WINDOWPLACEMENT wp{};
        wp.length = 44;
        if (GetWindowPlacement(GetHandle(), &wp)) SavePlacement(wp);
    }
}

void TQSMViewerFrame::EvClose() {
    SaveClosingPlacement();
    if (App()) WinHelpA(GetHandle(), App()->GetHelpFilePath().c_str(), HELP_QUIT, 0);
    TDecoratedFrame::EvClose();
}

LRESULT TQSMViewerFrame::EvCloseSignal(WPARAM, LPARAM) {
    if (!ClosingOnSignal) {
        ClosingOnSignal = true;
        SaveClosingPlacement();
    }
    if (::IsWindowEnabled(GetHandle())) {
        PostMessage(WM_CLOSE);
        return 0;
    }
    // A modal window is open: it is closed first (once; a dialog takes that as its Cancel), and the frame
    // looks again once the messages before this one are handled.
    HWND popup = GetLastActivePopup(GetHandle());
    if (popup != GetHandle() && popup != SignalledPopup) {
        SignalledPopup = popup;
        ::PostMessageA(popup, WM_CLOSE, 0, 0);
    }
    PostMessage(qsm::CloseSignalMessage());
    return 0;
}

// ---------------------------------------------------------------- commands

void TQSMViewerFrame::CmFileOpen() {
    TQSMViewerApp* app = App();
    if (app == nullptr) return;
    TQSFileOpenDialog dialog(this, app->GetOpenFileData());
    if (dialog.Execute() != IDOK) return;
    ResetOpenRequest(OpenRequest);
    if (TQSMFrameClient* client = GetFrameClient()) client->OpenFile(app->GetOpenFileData().FileName, 1);
}

void TQSMViewerFrame::CmSendToEditor1() {
    TQSMViewerApp* app = App();
    if (app == nullptr || app->GetCurrentPath().empty()) return;
    HINSTANCE result =
        ShellExecuteA(nullptr, "qsm1", app->GetCurrentPath().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<intptr_t>(result) <= 32) {
        AppInfoBox("%s",
                   "The Windows Shell reports that the file could not be opened using the \"Open with QSM "
                   "Version 1\" verb.\n\nQSM 1.75 may not be completely installed on your system.");
        return;
    }
    if (ViewerOptions.CloseOnSendTo) PostMessageA(GetHandle(), WM_COMMAND, CM_QSM_EXIT, 0);
}

void TQSMViewerFrame::CmSendToEditor2() {
    TQSMViewerApp* app = App();
    if (app == nullptr || app->GetCurrentPath().empty()) return;
    if (SendToRunningEditor(app->GetCurrentPath().c_str(), "qsm2") == 0) {
        AppInfoBox("%s",
                   "The Windows Shell reports that the file could not be opened using the \"Open with QSM "
                   "Version 2\" verb.\n\nQSM 2 may not be completely installed on your system.");
        return;
    }
    if (ViewerOptions.CloseOnSendTo) PostMessageA(GetHandle(), WM_COMMAND, CM_QSM_EXIT, 0);
}

void TQSMViewerFrame::CeSendToEditor1(TCommandEnabler& ce) {
    TQSMViewerApp* app = App();
    ce.Enable(SessionOptions.Editor1Installed && app && !app->GetCurrentPath().empty() &&
              !app->IsFromNewFormat());
}

void TQSMViewerFrame::CeSendToEditor2(TCommandEnabler& ce) {
    TQSMViewerApp* app = App();
    ce.Enable(SessionOptions.Editor2Installed && app && !app->GetCurrentPath().empty());
}

void TQSMViewerFrame::CmToolbarList() {
    ShowToolbarListDialog(this);
}

// The application's commands reach it through the main window.
void TQSMViewerFrame::CmExit() {
    if (App()) App()->CmExit();
}
void TQSMViewerFrame::CmRepeatPlay() {
    if (App()) App()->CmRepeatPlay();
}
void TQSMViewerFrame::CeRepeatPlay(TCommandEnabler& ce) {
    if (App()) App()->CeRepeatPlay(ce);
}
void TQSMViewerFrame::CmFaster() {
    if (App()) App()->CmFaster();
}
void TQSMViewerFrame::CeFaster(TCommandEnabler& ce) {
    if (App()) App()->CeFaster(ce);
}
void TQSMViewerFrame::CmSlower() {
    if (App()) App()->CmSlower();
}
void TQSMViewerFrame::CeSlower(TCommandEnabler& ce) {
    if (App()) App()->CeSlower(ce);
}
void TQSMViewerFrame::CmTransposeMenu() {
    if (App()) App()->CmTransposeMenu();
}
void TQSMViewerFrame::CeTranspose(TCommandEnabler& ce) {
    if (App()) App()->CeTranspose(ce);
}
void TQSMViewerFrame::CmTranspose() {
    if (App()) App()->CmTranspose();
}
void TQSMViewerFrame::CmHelp() {
    ::CmHelp();
}
void TQSMViewerFrame::CmAbout() {
    if (App()) App()->CmAbout();
}
void TQSMViewerFrame::CmCheckForUpdates() {
    if (App()) App()->CmCheckForUpdates();
}
void TQSMViewerFrame::CmWebSite() {
    if (App()) App()->CmWebSite();
}
void TQSMViewerFrame::CmOptions() {
    if (App()) App()->CmOptions();
}
void TQSMViewerFrame::CmMidiMapperVolume() {
    if (App()) App()->CmMidiMapperVolume();
}
void TQSMViewerFrame::CmPlaySpeed() {
    if (App()) App()->CmPlaySpeed();
}
void TQSMViewerFrame::CmWelcome() {
    if (App()) App()->CmWelcome();
}
void TQSMViewerFrame::CmFontUsage() {
    if (App()) App()->CmFontUsage();
}
void TQSMViewerFrame::CmMuteList() {
    if (App()) App()->CmMuteList();
}
void TQSMViewerFrame::CeMuteList(TCommandEnabler& ce) {
    if (App()) App()->CeMuteList(ce);
}

void TQSMViewerFrame::CmPrint() {
    ::CmPrint(this);
}

void TQSMViewerFrame::CmPrintPreview() {
    TQSMFrameClient* client = GetFrameClient();
    ::CmPrintPreview(this, client ? client->GetCurrentIndex() : 0);
}

void TQSMViewerFrame::CmPrinterSetup() {
    ::CmPrinterSetup(this);
}

void TQSMViewerFrame::CmPrintDirect() {
    std::string output;
    if (TQSMViewerApp* app = App()) {
        char folder[MAX_PATH] = "";
        app->GetConfigString("PrintFolder", folder, sizeof folder, "");
        output = DirectPrintOutput(app->GetCurrentPath(), folder);
    }
    ::CmPrintDirect(this, output.empty() ? nullptr : output.c_str());
}
