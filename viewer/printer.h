// The viewer's printer and print job: the printer remembered between runs, the print dialog, printer DCs,
// the job that prints a score's pages through the spooler with a "Score Print" window offering Cancel, and
// the Print, Printer Setup and direct-print commands.
#pragma once

#include <string>

#include "platform/framework/printer.h"
#include "viewer/viewer_dlg.h"

class TQSMPrintData;
class TWindow;

#define IDD_PRINTCANCEL 516

class TQSPrinter : public TPrinter {
public:
    TQSPrinter() = default;
    ~TQSPrinter() override;

    bool HasDevice() { return GetSetup().GetDeviceName()[0] != '\0'; }
    // The printer saved in "Printer"/"Device", when it still exists; else the saved one is forgotten.
    void RestoreSavedPrinter();
    void SaveSelectedPrinter();
    // A DC on the chosen printer, or null when none is chosen. The caller owns it.
    TPrintDC* CreateDefaultPrintDC();
    // The print dialog; the DC it made (the caller owns it) or null when cancelled or failed.
    TPrintDC* RunPrintDialog(TWindow* parent, int minPage, int maxPage);
};

// The application's printer (made on first use, lives until the process ends).
TQSPrinter& GetViewerPrinter();

// The process-wide cancel flag of the print job.
int GetPrintCancelFlag();
void SetPrintCancelFlag(int value);

// Asked by the spooler while pages go out: lets waiting messages be handled, FALSE once Cancel was pressed.
BOOL QSMPrintAbortProc(HDC dc, int code);

class TPrintCancelDialog : public TQSMViewerDlg {
public:
    explicit TPrintCancelDialog(TWindow* parent);
    void SetupWindow() override;
    // Cancel: the job stops after the page it is on.
    void CmCancelPrint();
    DECLARE_RESPONSE_TABLE(TPrintCancelDialog);
};

// What became of a print job.
enum class TPrintResult { Printed, Cancelled, Failed, NothingToPrint };

// Prints the pages firstPage..lastPage of the data on its DC. output names the file of a file printer
// (null: the printer's own choice). Every spooler answer is checked: a failure aborts the job, which is
// then not reported as printed.
TPrintResult PrintJob(TQSMPrintData* data, const char* title, const char* output = nullptr);
// The job as the commands run it: true unless cancelled or failed; a failure is told to the user (in a
// message box, or on the standard error stream when quiet).
bool PrintScore(TQSMPrintData* data, const char* title, const char* output = nullptr, bool quiet = false);
// The spooler's document name of a title: its name part (up to an extension), "Untitled" when empty.
std::string PrintDocumentName(const char* title);

// The commands. Print shows the print dialog; print direct prints at most 50 pages on the chosen printer
// (for a file printer into output, when given), tells on the standard error stream what became of the job
// (the PDF file it wrote, the printer it printed on, or why nothing was printed) and asks the main window
// to exit; in a run that only prints, a job that printed nothing makes the run fail.
void CmPrint(TWindow* parent);
void CmPrinterSetup(TWindow* parent);
void CmPrintDirect(TWindow* frame, const char* output);
// Where direct printing writes on a file printer: the folder "PrintFolder" of the program's configuration
// holds "<name>.pdf"; else the score file's own path with ".pdf" in place of its extension.
std::string DirectPrintOutput(const std::string& scorePath, const std::string& folder);
