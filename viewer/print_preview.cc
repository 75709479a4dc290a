#include "viewer/print_preview.h"

#include <algorithm>
#include <cstdio>

#include "platform/framework/controls.h"
#include "render/layout/score_draw_info.h"
#include "score/music_score.h"
#include "ui/edit_number.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/print_data.h"
#include "viewer/printer.h"
#include "viewer/viewer_dlg.h"

namespace {

constexpr int kControlId = 101;

HINSTANCE ResourceInstance(TWindow* w) {
    return w->GetModule() ? w->GetModule()->GetInstance() : nullptr;
}

// Goto Page: the printed page number, from the score's first one to 30000.
class TGotoPageDlg : public TQSMViewerDlg {
public:
    TGotoPageDlg(TWindow* parent, int first, int* page)
        : TQSMViewerDlg(parent, IDD_GOTOPAGE),
          Page(page),
          Edit(new TEditNumber(this, 101, first, 30000, 1)) {}
    void SetupWindow() override {
        TQSMViewerDlg::SetupWindow();
        Edit->SetValue(*Page);
    }
    bool CanClose() override {
        if (!TQSMViewerDlg::CanClose()) return false;
        *Page = Edit->GetValue();
        return true;
    }

private:
    int* Page;
    TEditNumber* Edit;
};

}  // namespace

std::string PreviewStatusText(int displayedPage, int zoomLevel, int zoomCount, bool justifyDisabled) {
    char text[96];
    std::snprintf(text, sizeof text, "Page %d, Zoom %d/%d%s", displayedPage, zoomLevel + 1, zoomCount,
                  justifyDisabled ? ", Justify Disabled" : "");
    return text;
}

// ---- client ----

DEFINE_RESPONSE_TABLE1(TQSMPrintPreviewClient, TWindow)
EV_COMMAND(CM_PREVIEW_REPAINT, CmRepaint), EV_COMMAND(CM_PREVIEW_START, CmStart),
    EV_COMMAND(CM_PREVIEW_LAST, CmLast), EV_COMMAND(CM_PREVIEW_NEXT, CmNext),
    EV_COMMAND_ENABLE(CM_PREVIEW_NEXT, CeNext), EV_COMMAND(CM_PREVIEW_PREVIOUS, CmPrevious),
    EV_COMMAND_ENABLE(CM_PREVIEW_PREVIOUS, CePrevious), EV_COMMAND(CM_PREVIEW_ZOOMIN, CmZoomIn),
    EV_COMMAND(CM_PREVIEW_ZOOMOUT, CmZoomOut), EV_COMMAND(CM_PREVIEW_GOTO, CmGoto),
    EV_COMMAND(CM_PREVIEW_MARGIN, CmMargin), EV_COMMAND_ENABLE(CM_PREVIEW_MARGIN, CeMargin), EV_WM_SIZE,
    EV_MESSAGE(WM_MOUSEWHEEL, EvMouseWheelMsg),
    EV_MESSAGE(WM_CONTEXTMENU, EvContextMenuMsg), END_RESPONSE_TABLE;

TQSMPrintPreviewClient::TQSMPrintPreviewClient(TWindow* parent, TQSMPrintData* data, int startIndex)
    : TWindow(parent, "Preview Cient"), Data(data) {
    Attr.Style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    Control = new TScorePreviewControl(this, kControlId, "qsmpreview", 1, 1, 100, 100, data);
    Control->SetStartIndex(startIndex);
}

void TQSMPrintPreviewClient::SetupWindow() {
    TWindow::SetupWindow();
    Control->SetFrame(GetParentO());
    Data->ResetPages();
    Control->MoveWindow(GetClientRect(), false);
    Control->SetFocus();
}

void TQSMPrintPreviewClient::CmRepaint() {
    Control->Invalidate(false);
}
void TQSMPrintPreviewClient::CmStart() {
    Control->GotoStart();
}
void TQSMPrintPreviewClient::CmLast() {
    Control->GotoLastPage();
}
void TQSMPrintPreviewClient::CmNext() {
    Control->NextPage();
}
void TQSMPrintPreviewClient::CeNext(TCommandEnabler& ce) {
    ce.Enable(Control->HasMorePages());
}
void TQSMPrintPreviewClient::CmPrevious() {
    Control->PreviousPage();
}
void TQSMPrintPreviewClient::CePrevious(TCommandEnabler& ce) {
    ce.Enable(Control->GetPageIndex() >= 2);
}
void TQSMPrintPreviewClient::CmZoomIn() {
    Control->ZoomIn();
}
void TQSMPrintPreviewClient::CmZoomOut() {
    Control->ZoomOut();
}
void TQSMPrintPreviewClient::CmMargin() {
    Control->TogglePrintableArea();
}
void TQSMPrintPreviewClient::CeMargin(TCommandEnabler& ce) {
    ce.SetCheck(Control->IsPrintableAreaShown() ? TCommandEnabler::Checked : TCommandEnabler::Unchecked);
}

void TQSMPrintPreviewClient::CmGoto() {
    int base = Data->GetPageNumberBase();
    int page = Control->GetDisplayedPage();
    if (TGotoPageDlg(this, base != 0 ? base : 1, &page).Execute() == IDOK) Control->GotoDisplayedPage(page);
}

void TQSMPrintPreviewClient::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (Control->GetHandle()) Control->MoveWindow(GetClientRect(), true);
    if (auto* frame = dynamic_cast<TQSMPrintPreviewFrame*>(GetParentO())) frame->UpdateStatus();
}

LRESULT TQSMPrintPreviewClient::EvMouseWheelMsg(WPARAM wp, LPARAM lp) {
    return Control->GetHandle() ? Control->SendMessage(WM_MOUSEWHEEL, wp, lp) : 0;
}

LRESULT TQSMPrintPreviewClient::EvContextMenuMsg(WPARAM wp, LPARAM lp) {
    auto* frame = dynamic_cast<TQSMPrintPreviewFrame*>(GetParentO());
    if (frame && reinterpret_cast<HWND>(wp) == Control->GetHandle())
        frame->ShowPreviewMenu(POINT{static_cast<SHORT>(LOWORD(lp)), static_cast<SHORT>(HIWORD(lp))});
    return 0;
}

// ---- frame ----

DEFINE_RESPONSE_TABLE1(TQSMPrintPreviewFrame, TFrameWindow)
EV_WM_SIZE, EV_WM_CLOSE, EV_MESSAGE(WM_APPCOMMAND, EvAppCommand), EV_COMMAND(CM_PREVIEW_MENU, CmMenu),
    EV_COMMAND(IDCANCEL, CmCancel), END_RESPONSE_TABLE;

TQSMPrintPreviewFrame::TQSMPrintPreviewFrame(TWindow* parent, const char* title,
                                             TQSMPrintPreviewClient* client)
    : TWindow(parent, title), TFrameWindow(parent, title, client), Client(client) {
    Attr.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    // A top-level window of the system's default size and place, though it has an owner.
    Attr.X = Attr.Y = Attr.W = Attr.H = CW_USEDEFAULT;
    if (TQSMViewerApp* app = TQSMViewerApp::Get()) SetIcon(app, MAKEINTRESOURCEA(1));
}

void TQSMPrintPreviewFrame::SetupWindow() {
    TFrameWindow::SetupWindow();
    SetAcceleratorTable(LoadAcceleratorsA(ResourceInstance(this), "PrintPreview"));
    Status = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 10, 10,
                             GetHandle(), nullptr, nullptr, nullptr);
    TRect r = GetClientRect();
    EvSize(SIZE_RESTORED, TSize(r.Width(), r.Height()));
}

void TQSMPrintPreviewFrame::EvClose() {
    // The placement is kept for the next preview, and the window that waited takes the activation back
    // before this one goes.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (TQSMViewerApp* app = TQSMViewerApp::Get(); app && GetWindowPlacement(GetHandle(), &wp))
        app->SetPreviewPlacement(wp);
    if (HWND owner = ::GetWindow(GetHandle(), GW_OWNER)) ::EnableWindow(owner, TRUE);
    TFrameWindow::EvClose();
}

void TQSMPrintPreviewFrame::CmCancel() {
    PostMessage(WM_CLOSE);
}

void TQSMPrintPreviewFrame::EvSize(UINT sizeType, const TSize& size) {
    TWindow::EvSize(sizeType, size);
    if (sizeType == SIZE_MINIMIZED) return;
    const int statusHeight = Status ? 20 : 0;
    if (Status) ::MoveWindow(Status, 0, size.cy - statusHeight, size.cx, statusHeight, TRUE);
    if (Client && Client->GetHandle())
        Client->MoveWindow(0, 0, size.cx, std::max(0, size.cy - statusHeight), true);
}

bool TQSMPrintPreviewFrame::IdleAction(LONG idleCount) {
    UpdateStatus();
    return TFrameWindow::IdleAction(idleCount);
}

void TQSMPrintPreviewFrame::UpdateStatus() {
    TScorePreviewControl* c = Client ? Client->GetControl() : nullptr;
    if (!c) return;
    int values[4] = {c->GetDisplayedPage(), c->GetZoomLevel(), c->GetZoomCount(),
                     c->IsPrinterMarginShown() ? 1 : 0};
    if (std::equal(values, values + 4, LastValues)) return;
    std::copy(values, values + 4, LastValues);
    StatusText = PreviewStatusText(values[0], values[1], values[2], values[3] != 0);
    if (Status) SetWindowTextA(Status, StatusText.c_str());
}

void TQSMPrintPreviewFrame::ShowPreviewMenu(POINT screen) {
    HMENU bar = LoadMenuA(ResourceInstance(this), "PrintPreviewMenu");
    if (!bar) return;
    HMENU popup = GetSubMenu(bar, 0);
    if (Client && Client->GetControl())
        CheckMenuItem(
            popup, CM_PREVIEW_MARGIN,
            MF_BYCOMMAND | (Client->GetControl()->IsPrintableAreaShown() ? MF_CHECKED : MF_UNCHECKED));
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, screen.x, screen.y, 0, GetHandle(), nullptr);
    DestroyMenu(bar);
}

void TQSMPrintPreviewFrame::CmMenu() {
    POINT p;
    GetCursorPos(&p);
    ShowPreviewMenu(p);
}

LRESULT TQSMPrintPreviewFrame::EvAppCommand(WPARAM, LPARAM lp) {
    TScorePreviewControl* c = Client ? Client->GetControl() : nullptr;
    int cmd = static_cast<int>((HIWORD(lp)) & 0x0FFF);
    if (!c) return DefaultProcessing();
    switch (cmd) {
        case 1:
            c->PreviousPage();
            return 1;
        case 2:
            c->NextPage();
            return 1;
        case 7:
            c->GotoPage(1);
            return 1;
        default:
            return DefaultProcessing();
    }
}

// ---- the command ----

void CmPrintPreview(TWindow* parent, int startIndex) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TMusicScore* score = app ? app->GetScore() : nullptr;
    if (!score) return;
    TPrintDC* dc = GetViewerPrinter().CreateDefaultPrintDC();
    if (!dc) {
        FormatMessageBox(parent, MB_OK | MB_ICONINFORMATION, "Print Error", "%s",
                         "There is no default printer.\n\nA printer must be installed before this operation "
                         "can be performed.");
        return;
    }
    TQSMPrintData data(dc, score, score);
    data.firstPage = 0;
    data.lastPage = 20000;
    data.StartNextPage();
    auto* client = new TQSMPrintPreviewClient(nullptr, &data, startIndex);
    auto frame = std::make_unique<TQSMPrintPreviewFrame>(parent, "Print Preview", client);
    if (!frame->Create()) return;
    HWND owner = parent ? parent->GetHandle() : nullptr;
    if (owner) ::EnableWindow(owner, FALSE);
    WINDOWPLACEMENT placement{};
    if (app->GetPreviewPlacement(placement)) {
        // A preview closed while minimised opens again as a normal window.
        if (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_MINIMIZE)
            placement.showCmd = SW_SHOWNORMAL;
        SetWindowPlacement(frame->GetHandle(), &placement);
    } else {
        frame->Show(SW_SHOWNORMAL);
    }
    // The preview takes the keyboard, its page view first, however it was shown.
    ::SetActiveWindow(frame->GetHandle());
    client->GetControl()->SetFocus();
    // The main window waits until the preview is closed.
    while (frame->GetHandle() && ::IsWindow(frame->GetHandle())) {
        if (!app->PumpWaitingMessages()) {
            PostQuitMessage(0);
            break;
        }
        if (frame->GetHandle() && ::IsWindow(frame->GetHandle())) {
            frame->IdleAction(0);
            WaitMessage();
        }
    }
    if (owner) {
        ::EnableWindow(owner, TRUE);
        ::SetFocus(owner);
    }
}
