#include "viewer/printer.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/file_utils.h"
#include "core/sys_info.h"
#include "platform/kernel/files.h"
#include "platform/print/printers.h"
#include "score/music_score.h"
#include "ui/message_box.h"
#include "viewer/app.h"
#include "viewer/print_data.h"

namespace {

int printCancelFlag = 0;

TWindow* MainWindowOrNull() {
    TApplication* app = TApplication::Get();
    return app ? app->GetMainWindow() : nullptr;
}

}  // namespace

int GetPrintCancelFlag() {
    return printCancelFlag;
}
void SetPrintCancelFlag(int value) {
    printCancelFlag = value;
}

BOOL QSMPrintAbortProc(HDC, int) {
    if (TApplication* app = TApplication::Get()) app->PumpWaitingMessages();
    return printCancelFlag == 0 ? TRUE : FALSE;
}

TQSMPrintData::TQSMPrintData(TDC* referenceDC, TMusicScore* score, TMusicScore* staffSelection)
    : TQSMPrintData(referenceDC, score, staffSelection,
                    TQSMViewerApp::Get() ? &TQSMViewerApp::Get()->GetPalette() : nullptr) {}

// ---- the printer ----

TQSPrinter::~TQSPrinter() = default;

TQSPrinter& GetViewerPrinter() {
    static TQSPrinter* printer = new TQSPrinter;  // lives as long as the process
    return *printer;
}

void TQSPrinter::RestoreSavedPrinter() {
    char device[261] = "";
    SysInfo.ReadString("Printer", "Device", "", device, sizeof device);
    if (!device[0]) return;
    HDC ic = CreateICA("winspool", device, nullptr, nullptr);
    if (!ic) {
        SysInfo.WriteString("Printer", nullptr, nullptr);
        return;
    }
    DeleteDC(ic);
    GetSetup().ClearDevMode();
    SetPrinter("winspool", device, "");
}

void TQSPrinter::SaveSelectedPrinter() {
    SysInfo.WriteString("Printer", nullptr, nullptr);
    const char* device = GetSetup().GetDeviceName();
    if (device[0]) SysInfo.WriteString("Printer", "Device", device);
}

TPrintDC* TQSPrinter::CreateDefaultPrintDC() {
    TPrintDialog::TData& d = GetSetup();
    if (!HasDevice() || !d.GetDriverName()[0] || !d.GetDeviceName()[0]) return nullptr;
    auto dc = std::make_unique<TPrintDC>(d.GetDriverName(), d.GetDeviceName(), "", d.GetDevMode());
    return dc->GetHandle() ? dc.release() : nullptr;
}

TPrintDC* TQSPrinter::RunPrintDialog(TWindow* parent, int minPage, int maxPage) {
    TPrintDialog::TData& d = GetSetup();
    d.Flags |= PD_NOSELECTION | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
    d.Flags &= ~static_cast<DWORD>(PD_PAGENUMS | PD_COLLATE | PD_PRINTSETUP | PD_RETURNDEFAULT);
    d.MinPage = minPage;
    d.MaxPage = maxPage;
    int answer = TPrintDialog(parent, d).Execute();
    if (answer != IDOK && d.Error == PDERR_DEFAULTDIFFERENT) {
        ClearDevice();
        answer = TPrintDialog(parent, d).Execute();
    }
    return answer == IDOK ? d.TransferDC() : nullptr;
}

// ---- the cancel window ----

DEFINE_RESPONSE_TABLE1(TPrintCancelDialog, TQSMViewerDlg)
EV_COMMAND(IDCANCEL, CmCancelPrint), END_RESPONSE_TABLE;

TPrintCancelDialog::TPrintCancelDialog(TWindow* parent) : TQSMViewerDlg(parent, IDD_PRINTCANCEL) {}

void TPrintCancelDialog::SetupWindow() {
    TQSMViewerDlg::SetupWindow();
    if (HMENU menu = GetSystemMenu(GetHandle(), FALSE))
        EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    if (TWindow* main = MainWindowOrNull(); main && main->GetHandle())
        ::EnableWindow(main->GetHandle(), FALSE);
}

void TPrintCancelDialog::CmCancelPrint() {
    printCancelFlag = 1;
}

// ---- the job ----

std::string PrintDocumentName(const char* title) {
    std::string name = "Untitled";
    if (title && *title) {
        char parts[MAX_PATH] = "";
        ComposePath(title, parts, 2);
        if (parts[0]) name.assign(parts, strnlen(parts, 259));
    }
    return name;
}

TPrintResult PrintJob(TQSMPrintData* data, const char* title, const char* output) {
    const std::string name = PrintDocumentName(title);
    data->ResetPages();
    printCancelFlag = 0;
    // A score with no laid-out staff has no page to print.
    if (!data->HasStaves()) return TPrintResult::NothingToPrint;
    auto* dc = static_cast<TPrintDC*>(data->GetReferenceDC());
    if (dc->SetAbortProc(QSMPrintAbortProc) <= 0) return TPrintResult::Failed;

    std::unique_ptr<TPrintCancelDialog> dialog;
    TWindow* main = MainWindowOrNull();
    if (TApplication::Get()) {
        dialog = std::make_unique<TPrintCancelDialog>(main);
        if (dialog->Create())
            SetDlgItemTextA(dialog->GetHandle(), 101, name.c_str());
        else
            dialog.reset();
    }

    bool failed = dc->StartDoc(name.c_str(), output) <= 0;
    bool started = !failed;
    bool more = printCancelFlag == 0;
    int page = 1;
    while (!failed && more && page < data->firstPage) {
        more = data->DrawPage(dc, page, false);
        data->StartNextPage();
        ++page;
    }
    bool gone = false;  // the spooler already dropped the job
    while (!failed && printCancelFlag == 0 && more && page <= data->lastPage) {
        char status[64];
        std::snprintf(status, sizeof status, "Printing Page %d", page);
        SysInfo.PushStatus(status, true);
        int r = dc->StartPage();
        if (r > 0) {
            more = data->DrawPage(dc, page, true);
            data->StartNextPage();
            dc->RestoreObjects();
            r = dc->EndPage();
        }
        SysInfo.PopStatus();
        if (r <= 0) {
            gone = r == SP_APPABORT || r == SP_USERABORT;
            if (!(gone && printCancelFlag)) failed = true;
            break;
        }
        ++page;
    }
    const bool cancelled = printCancelFlag != 0 && !failed;
    if (started) {
        if (cancelled || failed) {
            if (!gone) dc->AbortDoc();
        } else if (dc->EndDoc() <= 0) {
            failed = true;
        }
    }

    if (main && main->GetHandle()) {
        EnableWindow(main->GetHandle(), TRUE);
        SetFocus(main->GetHandle());
    }
    if (dialog) dialog->Destroy();
    printCancelFlag = 0;
    if (failed) return TPrintResult::Failed;
    return cancelled ? TPrintResult::Cancelled : TPrintResult::Printed;
}

bool PrintScore(TQSMPrintData* data, const char* title, const char* output, bool quiet) {
    TPrintResult r = PrintJob(data, title, output);
    if (r == TPrintResult::Failed) {
        std::string name = PrintDocumentName(title);
        if (quiet)
            std::fprintf(stderr, "QSM2View: printing \"%s\" failed; nothing was printed.\n", name.c_str());
        else
            FormatMessageBox(MainWindowOrNull(), MB_OK | MB_ICONEXCLAMATION, "Print Error",
                             "Printing \"%s\" failed; nothing was printed.", name.c_str());
    }
    return r == TPrintResult::Printed || r == TPrintResult::NothingToPrint;
}

// ---- the commands ----

void CmPrint(TWindow* parent) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (!app || !app->GetScore()) return;
    TQSPrinter& printer = GetViewerPrinter();
    TPrintDC* dc = printer.RunPrintDialog(parent, 1, INT_MAX);
    if (!dc) return;
    TMusicScore* score = app->GetScore();
    int base = std::max<int>(1, score->PageNumbers);
    TQSMPrintData data(dc, score, score);
    data.firstPage = 1;
    data.lastPage = INT_MAX;
    const TPrintDialog::TData& d = printer.GetSetup();
    if (d.Flags & PD_PAGENUMS) {
        data.firstPage = d.FromPage - base + 1;
        data.lastPage = d.ToPage - base + 1;
    }
    PrintScore(&data, score->SongInfo.Title);
}

void CmPrinterSetup(TWindow* parent) {
    TQSPrinter& printer = GetViewerPrinter();
    if (printer.Setup(parent)) printer.SaveSelectedPrinter();
}

void CmPrintDirect(TWindow* frame, const char* output) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    TPrintResult result = TPrintResult::Failed;
    if (app && app->GetScore()) {
        TQSPrinter& printer = GetViewerPrinter();
        const std::string device = printer.GetSetup().GetDeviceName();
        if (TPrintDC* dc = printer.CreateDefaultPrintDC()) {
            TMusicScore* score = app->GetScore();
            TQSMPrintData data(dc, score, score);
            data.firstPage = 1;
            data.lastPage = 50;
            result = PrintJob(&data, score->SongInfo.Title, output);
            const std::string name = PrintDocumentName(score->SongInfo.Title);
            // Nobody may be watching this run: what became of the job is told on the standard error stream.
            if (result == TPrintResult::Failed)
                TQSMViewerApp::TellOnStderr("printing \"%s\" failed; nothing was printed.", name.c_str());
            else if (result == TPrintResult::NothingToPrint)
                TQSMViewerApp::TellOnStderr("\"%s\" has no staff to print; nothing was printed.",
                                            name.c_str());
            else if (result == TPrintResult::Printed && device == qsm::print::kPdfPrinterName && output)
                TQSMViewerApp::TellOnStderr("wrote %s", output);
            else if (result == TPrintResult::Printed)
                TQSMViewerApp::TellOnStderr("printed \"%s\" on %s", name.c_str(), device.c_str());
        } else {
            TQSMViewerApp::TellOnStderr("there is no printer to print on; nothing was printed.");
        }
    }
    if (app && app->IsPrintOnlyRun() && result != TPrintResult::Printed) app->SetRunFailed();
    if (frame && frame->GetHandle()) PostMessageA(frame->GetHandle(), WM_COMMAND, 112, 0);
}

std::string DirectPrintOutput(const std::string& scorePath, const std::string& folder) {
    if (scorePath.empty()) return {};
    size_t slash = scorePath.rfind('/');
    std::string base = slash == std::string::npos ? scorePath : scorePath.substr(slash + 1);
    std::string dir = slash == std::string::npos ? std::string(".") : scorePath.substr(0, slash);
    if (size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
    if (!folder.empty()) dir = folder;
    return dir + "/" + base + ".pdf";
}
