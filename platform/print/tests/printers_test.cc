// Printers from the CUPS tools, printer DCs of their paper and resolution, jobs written to PDF files or
// handed to the spooler, and jobs aborted on the way.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/print/printers.h"
#include "platform/print/tests/print_test_util.h"

namespace qsm::print::testing {
namespace {

DOCINFOA Doc(const char* name) {
    return DOCINFOA{sizeof(DOCINFOA), name, nullptr, nullptr, 0};
}

// Prints `pages` pages with a frame and a line of text each; answers EndDoc's result (or the first failure).
int PrintPages(HDC dc, const char* name, int pages) {
    DOCINFOA di = Doc(name);
    int r = StartDocA(dc, &di);
    if (r <= 0) return r;
    for (int p = 1; p <= pages; ++p) {
        if ((r = StartPage(dc)) <= 0) return r;
        Rectangle(dc, 0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES));
        std::string text = "Page " + std::to_string(p);
        TextOutA(dc, 100, 100, text.c_str(), static_cast<int>(text.size()));
        if ((r = EndPage(dc)) <= 0) return r;
    }
    return EndDoc(dc);
}

TEST(Printers, ThePdfPrinterAndTheCupsDestinationsWithTheirDefaults) {
    FakeCups cups;
    std::vector<PrinterInfo> list = ListPrinters();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "PDF file");
    EXPECT_TRUE(list[0].isPdf);
    EXPECT_FALSE(list[0].isDefault);
    EXPECT_EQ(list[0].paper, DMPAPER_A4);  // $PAPERSIZE
    EXPECT_EQ(list[1].name, "Office");
    EXPECT_TRUE(list[1].isDefault);
    EXPECT_EQ(list[1].paper, DMPAPER_LETTER);
    EXPECT_EQ(list[1].dpi, 1200);
    EXPECT_EQ(list[2].name, "Label");
    EXPECT_EQ(list[2].dpi, 600);
    EXPECT_EQ(DefaultPrinterName(), "Office");

    cups.RemoveCups();
    list = ListPrinters();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].isDefault);
    EXPECT_EQ(DefaultPrinterName(), "PDF file");
    // A printer that is gone has no DC and no information context.
    EXPECT_EQ(CreateICA("winspool", "Office", nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateDCA("winspool", "Office", nullptr, nullptr), nullptr);
}

// Programs are looked up on PATH before a process is started; with no destinations the default is not
// asked for.
TEST(Printers, ProgramsAreFoundOnPathAndAskedOnlyWhatMatters) {
    FakeCups cups;
    EXPECT_EQ(RunProgram({"no-such-program-here"}), -1);
    EXPECT_EQ(RunProgram({cups.Dir() + "/no-such-program"}), -1);
    std::string out;
    EXPECT_EQ(RunProgram({cups.Dir() + "/lpstat", "-e"}, &out), 0);
    EXPECT_EQ(out, "Office\nLabel\n");

    WriteScript(cups.Dir() + "/lpstat", "echo \"$1\" >> '" + cups.Dir() + "/lpstat.log'\n");
    std::vector<PrinterInfo> list = ListPrinters();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].isDefault);
    EXPECT_EQ(ReadFile(cups.Dir() + "/lpstat.log"), "-e\n");
}

TEST(Printers, DeviceCapsFollowPaperOrientationAndResolution) {
    FakeCups cups;
    HDC pdf = CreateICA("winspool", "PDF file", nullptr, nullptr);
    ASSERT_NE(pdf, nullptr);
    EXPECT_EQ(GetDeviceCaps(pdf, PHYSICALWIDTH), 4961);  // A4 at 600 dpi
    EXPECT_EQ(GetDeviceCaps(pdf, PHYSICALHEIGHT), 7016);
    EXPECT_EQ(GetDeviceCaps(pdf, HORZRES), 4961);
    EXPECT_EQ(GetDeviceCaps(pdf, PHYSICALOFFSETX), 0);
    EXPECT_EQ(GetDeviceCaps(pdf, LOGPIXELSY), 600);
    DeleteDC(pdf);

    // The default printer (no device named): Letter at 1200 dpi with a sixth of an inch unprintable.
    HDC office = CreateDCA("winspool", nullptr, nullptr, nullptr);
    ASSERT_NE(office, nullptr);
    EXPECT_EQ(GetDeviceCaps(office, PHYSICALWIDTH), 10200);
    EXPECT_EQ(GetDeviceCaps(office, PHYSICALHEIGHT), 13200);
    EXPECT_EQ(GetDeviceCaps(office, PHYSICALOFFSETX), 200);
    EXPECT_EQ(GetDeviceCaps(office, PHYSICALOFFSETY), 200);
    EXPECT_EQ(GetDeviceCaps(office, HORZRES), 9800);
    EXPECT_EQ(GetDeviceCaps(office, VERTRES), 12800);
    DeleteDC(office);

    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_PRINTQUALITY;
    dm.dmOrientation = DMORIENT_LANDSCAPE;
    dm.dmPaperSize = DMPAPER_LEGAL;
    dm.dmPrintQuality = 300;
    HDC legal = CreateDCA("winspool", "PDF file", "", &dm);
    ASSERT_NE(legal, nullptr);
    EXPECT_EQ(GetDeviceCaps(legal, PHYSICALWIDTH), 4200);
    EXPECT_EQ(GetDeviceCaps(legal, PHYSICALHEIGHT), 2550);
    DeleteDC(legal);
    // An unknown paper keeps the printer's own.
    dm.dmPaperSize = 999;
    dm.dmFields = DM_PAPERSIZE;
    HDC kept = CreateDCA("winspool", "PDF file", "", &dm);
    EXPECT_EQ(GetDeviceCaps(kept, PHYSICALWIDTH), 4961);
    DeleteDC(kept);
    EXPECT_EQ(CreateDCA("other", "PDF file", nullptr, nullptr), nullptr);
}

TEST(Printers, ThePdfPrinterWritesNamedFilesAndNeverOverwrites) {
    FakeCups cups;
    HDC dc = CreateDCA("winspool", "PDF file", "", nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(PrintPages(dc, "Sonata/3", 3), 1);
    std::string first = cups.Home() + "/Sonata_3.pdf";
    ASSERT_TRUE(FileExists(first));
    EXPECT_EQ(ReadFile(first).rfind("%PDF", 0), 0u);
    int pages = 0;
    double width = 0, height = 0;
    if (PdfPages(first, cups.OldPath(), &pages, &width, &height)) {
        EXPECT_EQ(pages, 3);
        EXPECT_NEAR(width, 595.276, 0.01);
        EXPECT_NEAR(height, 841.89, 0.01);
    }
    // The same DC prints a second job; the name is taken, so the file gets a number.
    EXPECT_EQ(PrintPages(dc, "Sonata/3", 1), 1);
    EXPECT_TRUE(FileExists(cups.Home() + "/Sonata_3 (2).pdf"));
    DeleteDC(dc);

    // An output folder given to the DC, and an empty document name.
    std::string folder = cups.Home() + "/out";
    mkdir(folder.c_str(), 0755);
    dc = CreateDCA("winspool", "PDF file", folder.c_str(), nullptr);
    EXPECT_EQ(PrintPages(dc, "", 1), 1);
    EXPECT_TRUE(FileExists(folder + "/Untitled.pdf"));
    DeleteDC(dc);
    EXPECT_FALSE(FileExists(cups.Dir() + "/lp.args"));  // nothing went to CUPS
}

TEST(Printers, CupsJobsGoToTheSpoolerWithTitleAndCopies) {
    FakeCups cups;
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    dm.dmFields = DM_COPIES;
    dm.dmCopies = 2;
    HDC dc = CreateDCA("winspool", "Office", "", &dm);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(PrintPages(dc, "Score", 2), 1);
    std::string args = ReadFile(cups.Dir() + "/lp.args");
    ASSERT_EQ(args.rfind("-d Office -t Score -n 2 -- ", 0), 0u) << args;
    std::string spooled = args.substr(std::strlen("-d Office -t Score -n 2 -- "));
    spooled.pop_back();                 // the line break
    EXPECT_FALSE(FileExists(spooled));  // the temporary file is gone after the hand-over
    EXPECT_EQ(spooled.rfind(cups.Spool(), 0), 0u);
    int pages = 0;
    double width = 0, height = 0;
    if (PdfPages(cups.Dir() + "/job.pdf", cups.OldPath(), &pages, &width, &height)) {
        EXPECT_EQ(pages, 2);
        EXPECT_NEAR(width, 612, 0.01);
        EXPECT_NEAR(height, 792, 0.01);
    }
    // lp failing makes EndDoc fail.
    cups.SetLpExit(1);
    EXPECT_EQ(PrintPages(dc, "Score", 1), SP_ERROR);
    DeleteDC(dc);
}

// With no CUPS server to take it, the job is not handed over, and EndDoc says so.
TEST(Printers, AJobNoServerTakesFails) {
    FakeCups cups;
    SetCupsSubmitter(nullptr);  // the CUPS library, not the fake lp
    setenv("CUPS_SERVER", (cups.Dir() + "/no-such.sock").c_str(), 1);
    std::string file = cups.Dir() + "/job.pdf";
    std::ofstream(file) << "%PDF-1.4\n%%EOF\n";
    EXPECT_FALSE(SubmitToCups({"Office", file, "Score", 1, false}));
    HDC dc = CreateDCA("winspool", "Office", "", nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(PrintPages(dc, "Score", 1), SP_ERROR);
    EXPECT_EQ(cups.SpoolFiles(), 0u);  // the temporary file is gone
    DeleteDC(dc);
    unsetenv("CUPS_SERVER");
}

int g_pagesAllowed = 0;
BOOL StopAfter(HDC, int) {
    return g_pagesAllowed-- > 0;
}

TEST(Printers, AJobAbortedOnTheWayLeavesNothingBehind) {
    FakeCups cups;
    // The abort procedure says stop while page 2 is put out: no file, nothing handed to lp.
    for (const char* printer : {"PDF file", "Office"}) {
        HDC dc = CreateDCA("winspool", printer, "", nullptr);
        ASSERT_NE(dc, nullptr);
        g_pagesAllowed = 3;  // page 1 start and end, page 2 start
        SetAbortProc(dc, StopAfter);
        EXPECT_EQ(PrintPages(dc, "Cut", 3), SP_APPABORT) << printer;
        EXPECT_FALSE(FileExists(cups.Home() + "/Cut.pdf"));
        EXPECT_FALSE(FileExists(cups.Dir() + "/lp.args"));
        DeleteDC(dc);
    }
    // AbortDoc called by the program does the same, and so does deleting the DC before EndDoc.
    for (bool deleteOnly : {false, true}) {
        HDC dc = CreateDCA("winspool", deleteOnly ? "Office" : "PDF file", "", nullptr);
        DOCINFOA di = Doc("Dropped");
        ASSERT_GT(StartDocA(dc, &di), 0);
        StartPage(dc);
        EndPage(dc);
        if (!deleteOnly) {
            EXPECT_EQ(AbortDoc(dc), 1);
        }
        if (deleteOnly) {
            EXPECT_EQ(cups.SpoolFiles(), 1u);
        }
        DeleteDC(dc);
        EXPECT_EQ(cups.SpoolFiles(), 0u);  // the temporary file went too
        EXPECT_FALSE(FileExists(cups.Home() + "/Dropped.pdf"));
        EXPECT_FALSE(FileExists(cups.Dir() + "/lp.args"));
    }
}

}  // namespace
}  // namespace qsm::print::testing
