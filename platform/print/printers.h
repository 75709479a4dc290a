// Printers: an always-present "PDF file" printer and the destinations of the CUPS print system.
//
// Every printer is reached through the "winspool" driver under its own name: CreateDCA("winspool", name,
// output, devmode) makes a printer DC (after InstallPrinters), CreateICA the same DC for questions only.
// A printer DC draws onto a PDF page of the printer's paper at its resolution; device (0, 0) is the top-left
// corner of the printable area (GetDeviceCaps HORZRES/VERTRES, PHYSICALWIDTH/HEIGHT, PHYSICALOFFSETX/Y).
//
// Jobs: StartDocA opens the job's file, EndDoc finishes it and hands it on; AbortDoc, or an abort procedure
// that answers FALSE, or deleting the DC before EndDoc discards it (the file is removed and nothing is
// handed on).
// - "PDF file": the job is written to DOCINFOA.lpszOutput when given, else to "<document name>.pdf" in the
//   folder the DC's output names (an existing folder), else in $XDG_DOCUMENTS_DIR, ~/Documents or ~ (the
//   first that exists); an existing file is never overwritten: " (2)", " (3)" ... are added to the name.
// - A CUPS destination: the job goes to a temporary file that EndDoc gives to `lp -d <name> -t <document
//   name> -n <copies>` (found on PATH); EndDoc answers SP_ERROR when lp cannot be run or fails. The file is
//   removed afterwards either way.
// The CUPS destinations, their default and their paper and resolution are asked of `lpstat -e`, `lpstat -d`
// and `lpoptions -p <name> -l` on PATH; without them only "PDF file" exists. The system's default printer
// is the CUPS default when there is one, else "PDF file".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/base/wintypes.h"

// Device mode: the settings of one printer that a job is printed with.
#define CCHDEVICENAME 32
#define CCHFORMNAME 32

#define DM_ORIENTATION 0x00000001
#define DM_PAPERSIZE 0x00000002
#define DM_COPIES 0x00000100
#define DM_PRINTQUALITY 0x00000400
#define DM_COLLATE 0x00008000

#define DMORIENT_PORTRAIT 1
#define DMORIENT_LANDSCAPE 2

#define DMPAPER_LETTER 1
#define DMPAPER_LEGAL 5
#define DMPAPER_A3 8
#define DMPAPER_A4 9
#define DMPAPER_A5 11

#define DMCOLLATE_FALSE 0
#define DMCOLLATE_TRUE 1

#define DM_SPECVERSION 0x0401

struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmOrientation;
    short dmPaperSize;
    short dmPaperLength;  // 0.1 mm; 0 = from dmPaperSize
    short dmPaperWidth;
    short dmScale;
    short dmCopies;
    short dmDefaultSource;
    short dmPrintQuality;  // dots per inch when positive
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    BYTE dmFormName[CCHFORMNAME];
};
using DEVMODE = DEVMODEA;

// Names of a printer: offsets (in characters from the record's start) of the zero-terminated driver,
// device and output names that follow the record in the same memory block.
#define DN_DEFAULTPRN 0x0001
struct DEVNAMES {
    WORD wDriverOffset;
    WORD wDeviceOffset;
    WORD wOutputOffset;
    WORD wDefault;
};

namespace qsm::print {

inline constexpr const char* kPdfPrinterName = "PDF file";
inline constexpr const char* kDriverName = "winspool";

struct PaperSize {
    short id;          // DMPAPER_*
    const char* name;  // as CUPS names it
    double widthPt, heightPt;
};
// The papers printers offer, Letter first.
const std::vector<PaperSize>& Papers();
const PaperSize* FindPaper(short id);

struct PrinterInfo {
    std::string name;
    bool isPdf = false;
    bool isDefault = false;
    short paper = DMPAPER_A4;  // its default paper
    int dpi = 600;
    double marginInch = 0;  // unprintable border on every side
};

// "PDF file" first, then the CUPS destinations in the order lpstat gives them.
std::vector<PrinterInfo> ListPrinters();
// Starts a look at the printers on a thread of its own, so that the programs it asks run beside the rest of a
// program's start; the first ListPrinters afterwards waits for it and answers its list, later calls look
// again. Does nothing when a look was started before.
void StartPrinterLookup();
// The printer of this name; false when there is none.
bool FindPrinter(const std::string& name, PrinterInfo* out);
std::string DefaultPrinterName();
// The index of the default printer in a list from ListPrinters.
size_t DefaultPrinterIndex(const std::vector<PrinterInfo>& printers);

// The device mode a printer starts with: its paper, portrait, one copy, its resolution.
DEVMODEA DefaultDevMode(const PrinterInfo& printer);

// Makes CreateDCA and CreateICA answer for the "winspool" driver. Safe to call more than once.
void InstallPrinters();

// Runs a program found on PATH with the arguments (no shell), collecting its standard output. Answers the
// exit status, or -1 when it could not be run.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

// A finished CUPS job: the destination, the PDF file, the job's title, copies and collation.
struct CupsJob {
    std::string printer, file, title;
    int copies = 1;
    bool collate = false;
};
// Hands a finished job to the spooler; false when the spooler did not take it.
using CupsSubmitter = std::function<bool(const CupsJob&)>;
// The submitter EndDoc uses for CUPS printers; an empty one restores SubmitToCups.
void SetCupsSubmitter(CupsSubmitter submitter);
// Sends the job to the CUPS server (CUPS_SERVER, client.conf or the local one) through the CUPS library.
bool SubmitToCups(const CupsJob& job);

}  // namespace qsm::print
