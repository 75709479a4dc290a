#include "ui/long_task.h"

#include <cstdio>

#include "ui/message_box.h"

TLongTaskDlg* ActiveLongTaskDlg = nullptr;

namespace {

constexpr int kFirstLineId = 101;
constexpr int kLabel1Id = 110;
constexpr int kLabel2Id = 111;
constexpr int kGauge1Id = 112;
constexpr int kGauge2Id = 113;
constexpr int kTextSize = 260;

bool PollActive() {
    return ActiveLongTaskDlg != nullptr && ActiveLongTaskDlg->PollCancel() != 0;
}

void ResetActiveGauge(int range) {
    if (ActiveLongTaskDlg) ActiveLongTaskDlg->ResetGauge(range);
}

void SetActiveGauge(int value) {
    if (ActiveLongTaskDlg) ActiveLongTaskDlg->SetGaugeValue(value);
}

void SetActiveText(const char* text) {
    if (ActiveLongTaskDlg) ActiveLongTaskDlg->SetText(text);
}

}  // namespace

TLongTaskDlg::TLongTaskDlg(TWindow* parent, int resId, int textLines, int gauges, TModule* module)
    : TDialog(parent, resId, module), TextLines(textLines) {
    if (gauges >= 1) {
        Label1 = new TStatic(this, kLabel1Id, 10);
        Gauge1 = new TGauge(this, "", kGauge1Id, 0, 0, 100, 10, true, 2);
    }
    if (gauges >= 2) {
        Label2 = new TStatic(this, kLabel2Id, 10);
        Gauge2 = new TGauge(this, "", kGauge2Id, 0, 0, 100, 10, true, 2);
    }
}

TLongTaskDlg::~TLongTaskDlg() {
    // The base destroys the window without calling Destroy: the parent must get its input back here.
    Release();
}

void TLongTaskDlg::SetupWindow() {
    TDialog::SetupWindow();
    if (Parent && Parent->GetHandle() && Parent->IsWindowEnabled()) {
        Parent->EnableWindow(false);
        ParentDisabled = true;
    }
    CenterWindow(*this, true);
    ActiveLongTaskDlg = this;
    qsm::SetLongTaskCancelTest(PollActive);
    qsm::SetLongTaskProgressHooks({ResetActiveGauge, SetActiveGauge, SetActiveText});
    PlaceGauge(Label1, Gauge1);
    PlaceGauge(Label2, Gauge2);
    if (Gauge2) Gauge2->SetLed(2, 90);
}

void TLongTaskDlg::PlaceGauge(TStatic* label, TGauge* gauge) {
    if (!label || !gauge || !label->GetHandle() || !gauge->GetHandle()) return;
    TRect r = label->GetWindowRect();
    TPoint topLeft = ScreenToClient(r.TopLeft());
    gauge->MoveWindow(topLeft.x, topLeft.y, r.Width(), r.Height(), true);
    gauge->SetRange(0, 100);
    gauge->SetValue(0);
}

void TLongTaskDlg::Release() {
    if (ParentDisabled) {
        ParentDisabled = false;
        if (Parent && Parent->GetHandle()) Parent->EnableWindow(true);
    }
    if (ActiveLongTaskDlg == this) ActiveLongTaskDlg = nullptr;
}

void TLongTaskDlg::Destroy(int retVal) {
    Release();
    TDialog::Destroy(retVal);
}

void TLongTaskDlg::EvDestroy() {
    // Also when the window system destroys the window (with its owner, say).
    Release();
    TDialog::EvDestroy();
}

void TLongTaskDlg::SetLineTextV(int line, const char* format, va_list args) {
    char text[kTextSize];
    std::vsnprintf(text, sizeof text, format, args);
    SetLineText(line, text);
}

void TLongTaskDlg::SetTextPrintf(const char* format, ...) {
    if (TextLines < 1) return;
    va_list args;
    va_start(args, format);
    SetLineTextV(0, format, args);
    va_end(args);
}

void TLongTaskDlg::SetLineTextPrintf(int line, const char* format, ...) {
    if (line < 0 || line >= TextLines) return;
    va_list args;
    va_start(args, format);
    SetLineTextV(line, format, args);
    va_end(args);
}

void TLongTaskDlg::SetLineText(int line, const char* text) {
    if (!GetHandle() || line < 0 || line >= TextLines) return;
    SetDlgItemTextA(GetHandle(), kFirstLineId + line, text ? text : "");
}

void TLongTaskDlg::SetGaugeLed(int spacing, int thickPercent) {
    if (Gauge1) Gauge1->SetLed(spacing, thickPercent);
}

void TLongTaskDlg::ResetGauge(int maximum) {
    if (!Gauge1) return;
    Gauge1->SetRange(0, maximum);
    Gauge1->SetValue(0);
}

void TLongTaskDlg::SetGaugeValue(int value) {
    if (Gauge1) Gauge1->SetValue(value);
}

void TLongTaskDlg::SetGauge2Led(int spacing, int thickPercent) {
    if (Gauge2) Gauge2->SetLed(spacing, thickPercent);
}

void TLongTaskDlg::ResetGauge2(int maximum) {
    if (!Gauge2) return;
    Gauge2->SetRange(0, maximum);
    Gauge2->SetValue(0);
}

void TLongTaskDlg::SetGauge2Value(int value) {
    if (Gauge2) Gauge2->SetValue(value);
}

int TLongTaskDlg::PollCancel() {
    if (TApplication* app = GetApplication()) {
        app->PumpWaitingMessages();
    } else {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                break;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }
    return Cancelled;
}

void TLongTaskDlg::ConfirmCancel() {
    if (Cancelled) return;
    if (MessageBox("Are you sure?", "Cancel Confirmation", MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) ==
        IDYES)
        Cancelled = 1;
    if (GetHandle()) SetFocus();
}

void TLongTaskDlg::Warn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int answer =
        MessageBoxPrintf(this, MB_OKCANCEL | MB_ICONINFORMATION | MB_TASKMODAL, "Warning", format, args);
    va_end(args);
    if (answer == IDCANCEL) ConfirmCancel();
    if (GetHandle()) SetFocus();
}

void TLongTaskDlg::CloseDialog() {
    if (GetHandle()) CloseWindow(0);
}

void TLongTaskDlg::EvClose() {
    // A close request of the desktop is a cancel request too: the task is still running.
    ConfirmCancel();
}

DEFINE_RESPONSE_TABLE1(TLongTaskDlg, TDialog)
EV_COMMAND(IDCANCEL, ConfirmCancel), EV_WM_CLOSE, EV_WM_DESTROY, END_RESPONSE_TABLE;
