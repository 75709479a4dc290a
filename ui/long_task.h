// The progress dialog of a long task that runs on the window thread: up to two text lines, up to two
// gauges and a Cancel button that asks for confirmation.
//
// The task never runs a message loop of its own. At its checkpoints it calls IsLongTaskCancelled (declared
// in core/hooks.h), which lets the waiting window messages be handled, so that the dialog paints and its
// Cancel button works, and answers whether the user confirmed the cancel. One dialog is active at a time,
// reached through ActiveLongTaskDlg, so that deep routines can report progress without being handed it.
//
// Typical use:
//   TLongTaskDlg dlg(mainWindow, IDD_WORKING, 1, 1);
//   dlg.SetGaugeLed(3, 85);
//   dlg.Create();
//   ... the task: ActiveLongTaskDlg->SetTextPrintf(...), IsLongTaskCancelled() ...
//   bool cancelled = dlg.PollCancel();
//   dlg.CloseDialog();
// The parent is enabled again and ActiveLongTaskDlg cleared on every way out: CloseDialog, the window's
// destruction by the window system, and the object's destruction (also when the task ends by an exception).
#pragma once

#include <cstdarg>

#include "core/hooks.h"
#include "platform/framework/controls.h"
#include "platform/framework/gauge.h"

// The dialog template of the progress dialog that the program uses ("Working").
#define IDD_WORKING 515

class TLongTaskDlg : public TDialog {
public:
    // textLines: 0, 1 or 2 text lines (statics 101 and 102); gauges: 0, 1 or 2 gauges, each over its
    // placeholder static (110 and 111) of the template.
    TLongTaskDlg(TWindow* parent, int resId, int textLines, int gauges, TModule* module = nullptr);
    ~TLongTaskDlg() override;

    void SetupWindow() override;
    void Destroy(int retVal = 0) override;

    // Text lines. The printf forms cut their text at 259 bytes.
    void SetTextPrintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetLineTextPrintf(int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void SetLineText(int line, const char* text);
    void SetText(const char* text) { SetLineText(0, text); }

    // The gauges; each call does nothing when its gauge does not exist.
    void SetGaugeLed(int spacing, int thickPercent);
    void ResetGauge(int maximum);
    void SetGaugeValue(int value);
    void SetGauge2Led(int spacing, int thickPercent);
    void ResetGauge2(int maximum);
    void SetGauge2Value(int value);

    // Handles every waiting window message, then answers whether the cancel was confirmed.
    int PollCancel();
    // Asks "Are you sure?" unless already cancelled; Yes cancels.
    void ConfirmCancel();
    // A warning with OK and Cancel; Cancel leads to ConfirmCancel. The text is cut at 1023 bytes.
    void Warn(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void ResetCancelled() { Cancelled = 0; }
    // Closes the window (result 0) when it exists.
    void CloseDialog();

    void EvClose();
    void EvDestroy();

    int Cancelled = 0;
    int TextLines = 0;
    TStatic* Label1 = nullptr;
    TGauge* Gauge1 = nullptr;
    TStatic* Label2 = nullptr;
    TGauge* Gauge2 = nullptr;

    DECLARE_RESPONSE_TABLE(TLongTaskDlg);

private:
    void SetLineTextV(int line, const char* format, va_list args);
    void PlaceGauge(TStatic* label, TGauge* gauge);
    // Gives the parent its input back and stops being the active dialog (once).
    void Release();
    bool ParentDisabled = false;
};

// The dialog shown now, null when none is.
extern TLongTaskDlg* ActiveLongTaskDlg;
