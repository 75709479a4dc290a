// Shows a dialog of numeric edits with their spin buttons, a range combo box and a check-box list, and
// saves a PNG of it: edit_number_shot <out.png> (docs/ui_edit_number.png is made so, under xvfb-run).
// With a display (DISPLAY set, as under xvfb-run) the dialog is shown by the SDL backend and the PNG holds
// the X server's pixels of it; without one, the headless virtual screen is saved.
#include <cairo.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/gdi/gdi_surface.h"
#include "platform/kernel/resources.h"
#include "platform/wm/backend.h"
#include "platform/wm/sdl_backend.h"
#include "platform/wm/surface.h"
#include "platform/wm/tests/real_clock_loop.h"
#include "platform/wm/tests/shot_util.h"
#include "ui/controls.h"
#include "ui/edit_number.h"

namespace {

constexpr int kDialogId = 4710;
const char kDialog[] =
    "dialog 10 10 230 96 \"Speed and Transposition\"\n"
    "ltext \"\" 100 8 6 130 10\n"
    "ltext \"Transpose (semitones):\" 110 8 22 90 10\n"
    "edittext 101 100 20 30 12\n"
    "ltext \"Tempo (%):\" 111 8 40 90 10\n"
    "edittext 102 100 38 30 12\n"
    "ltext \"Speed factor:\" 112 8 58 90 10\n"
    "edittext 103 100 56 40 12\n"
    "ltext \"Count-in bars:\" 113 8 76 90 10\n"
    "combobox 104 100 74 40 60 CBS_DROPDOWN\n"
    "ltext \"Parts:\" 114 150 8 40 10\n"
    "listbox 105 150 22 72 44 LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_MULTIPLESEL | WS_VSCROLL\n"
    "defpushbutton \"OK\" 1 150 74 34 14\n"
    "pushbutton \"Cancel\" 2 188 74 34 14\n";

#pragma pack(push, 1)
struct TShotBuffer {
    int32_t Transpose;
    int32_t Tempo;
    float Speed;
    int32_t CountIn;
};
#pragma pack(pop)

class TShotDialog : public TDialog {
public:
    TShotDialog() : TDialog(nullptr, kDialogId) {
        auto* file = new TQSRStatic(this, 100);
        file->SetInitialText("/home/anna/songs/Moon River.qsm", 1);
        transpose = new TEditNumber(this, 101, -12, 12, 1);
        new TEditNumber(this, 102, 25, 400, 5);
        new TEditRealNumber(this, 103, 0.25f, 4.0f, 0.25f, 2);
        auto* countIn = new TQSRComboBox(this, 104, 4);
        countIn->SetRange(0, 8);
        parts = new TQSRMultiSelListBox(this, 105);
        parts->DisableTransfer();
    }
    void SetupWindow() override {
        TDialog::SetupWindow();
        for (const char* p : {"Melody", "Piano", "Bass", "Drums"})
            parts->AddString(p);
        parts->SendMessage(LB_SETSEL, TRUE, 0);
        parts->SendMessage(LB_SETSEL, TRUE, 2);
        SendDlgItemMessageA(Handle, 104, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("0"));
    }
    TEditNumber* transpose;
    TQSRMultiSelListBox* parts;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    qsm::gdi::SetScreenMetrics(560, 360, 96);
    bool on_display = qsm::shot::StartDisplay();
    qsm::RegisterResource(nullptr, RT_DIALOG, MAKEINTRESOURCEA(kDialogId), kDialog, sizeof kDialog - 1);
    int result = 1;
    {
        TApplication app("edit_number_shot");
        TShotBuffer buffer{-3, 100, 1.5f, 2};
        TShotDialog dialog;
        dialog.SetTransferBuffer(&buffer);
        if (!dialog.Create()) return 1;
        dialog.Show(SW_SHOW);
        ::SetForegroundWindow(dialog.GetHandle());
        ::SetActiveWindow(dialog.GetHandle());
        dialog.transpose->SetFocus();
        // One step up by the spin button, as a click on its upper half gives.
        dialog.transpose->GetSpinButton()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 3));
        dialog.transpose->GetSpinButton()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(5, 3));
        if (!on_display) {
            qsm::wm::PumpMessages();
            result = qsm::wm::SaveScreenPng(argv[1]) ? 0 : 1;
        } else {
            // Until the X server shows the dialog as drawn. A display without a window manager may take
            // the focus away while the window maps: it is given back meanwhile.
            HWND dlg = dialog.GetHandle();
            qsm::wm::RunUntil([&] {
                if (::GetActiveWindow() != dlg) {
                    ::SetForegroundWindow(dlg);
                    ::SetActiveWindow(dlg);
                    dialog.transpose->SetFocus();
                }
                return qsm::shot::ShownAsDrawn(dlg);
            });
            RECT wr;
            ::GetWindowRect(dialog.GetHandle(), &wr);
            if (cairo_surface_t* shot = GrabScreen(wr)) {
                if (cairo_surface_write_to_png(shot, argv[1]) == CAIRO_STATUS_SUCCESS) result = 0;
                cairo_surface_destroy(shot);
            }
        }
        dialog.Destroy();
    }
    if (on_display) {
        qsm::shot::EndDisplay();
    }
    return result;
}
