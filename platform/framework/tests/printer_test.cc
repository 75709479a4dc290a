// The printer object, the print dialog data and printer DCs: a three-page job on the PDF printer from the
// print dialog, the retry when the default printer changed, the set-up dialog, and a job cancelled from a
// window while its pages go out.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/framework/printer.h"
#include "platform/framework/window.h"
#include "platform/print/tests/print_test_util.h"
#include "platform/wm/backend.h"

namespace {

using qsm::print::testing::FakeCups;
using qsm::print::testing::FileExists;
using qsm::print::testing::PdfPages;

constexpr DWORD kViewerSet =
    PD_NOSELECTION | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;
constexpr DWORD kViewerClear = PD_PAGENUMS | PD_COLLATE | PD_PRINTSETUP | PD_RETURNDEFAULT;

class PrinterTest : public ::testing::Test {
protected:
    void SetUp() override { qsm::wm::ResetForTests(); }
    void TearDown() override {
        qsm::wm::SetModalHook(nullptr);
        qsm::wm::ResetForTests();
    }
    FakeCups cups;
};

// The viewer's way of asking for a DC: its flags, one retry after PDERR_DEFAULTDIFFERENT.
std::unique_ptr<TPrintDC> RunPrintDialog(TPrinter& printer, TWindow* parent, int minPage, int maxPage) {
    TPrintDialog::TData& data = printer.GetSetup();
    for (int attempt = 0; attempt < 2; ++attempt) {
        data.Flags = (data.Flags | kViewerSet) & ~kViewerClear;
        data.MinPage = minPage;
        data.MaxPage = maxPage;
        if (TPrintDialog(parent, data).Execute() == IDOK) return std::unique_ptr<TPrintDC>(data.TransferDC());
        if (data.Error != PDERR_DEFAULTDIFFERENT) break;
        printer.ClearDevice();
    }
    return nullptr;
}

void Choose(HWND dlg, const char* printer, int from, int to) {
    HWND combo = GetDlgItem(dlg, qsm::print::kPrinterCombo);
    LRESULT n = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        char text[64] = {};
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        if (std::string(text) == printer) SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(qsm::print::kPrinterCombo, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    if (from > 0) {
        SendDlgItemMessageA(dlg, qsm::print::kPageRange, BM_CLICK, 0, 0);
        SetDlgItemInt(dlg, qsm::print::kFromPage, static_cast<UINT>(from), FALSE);
        SetDlgItemInt(dlg, qsm::print::kToPage, static_cast<UINT>(to), FALSE);
    }
    SendMessageA(dlg, WM_COMMAND, IDOK, 0);
}

// Prints pages first..last of a document whose pages are numbered 1..count, asking the abort procedure
// through the DC; answers the number of pages put out, or -1 when a spooler call failed.
int PrintDocument(TPrintDC& dc, const char* name, int count, int first, int last) {
    if (dc.StartDoc(name) <= 0) return -1;
    int printed = 0;
    for (int page = std::max(first, 1); page <= std::min(last, count); ++page) {
        if (dc.StartPage() <= 0) return -1;
        TRect area(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
        dc.Rectangle(area);
        std::string text = "Page " + std::to_string(page);
        dc.TextOut(200, 200, text.c_str());
        if (dc.EndPage() <= 0) return -1;
        ++printed;
    }
    return dc.EndDoc() > 0 ? printed : -1;
}

TEST_F(PrinterTest, AThreePageJobFromThePrintDialogOnThePdfPrinter) {
    TPrinter printer;
    EXPECT_STREQ(printer.GetSetup().GetDriverName(), "winspool");
    EXPECT_STREQ(printer.GetSetup().GetDeviceName(), "Office");  // the default printer

    qsm::wm::SetModalHook([](HWND dlg) { Choose(dlg, "PDF file", 2, 4); });
    std::unique_ptr<TPrintDC> dc = RunPrintDialog(printer, nullptr, 1, 2147483647);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(printer.GetSetup().TransferDC(), nullptr);  // handed over once
    TPrintDialog::TData& data = printer.GetSetup();
    EXPECT_TRUE(data.Flags & PD_PAGENUMS);
    EXPECT_EQ(data.FromPage, 2);
    EXPECT_EQ(data.ToPage, 4);
    EXPECT_STREQ(data.GetDeviceName(), "PDF file");
    ASSERT_NE(data.GetDevMode(), nullptr);
    EXPECT_EQ(data.GetDevMode()->dmPaperSize, DMPAPER_A4);

    EXPECT_EQ(PrintDocument(*dc, "Three", 10, data.FromPage, data.ToPage), 3);
    std::string file = cups.Home() + "/Three.pdf";
    ASSERT_TRUE(FileExists(file));
    int pages = 0;
    double width = 0, height = 0;
    if (PdfPages(file, cups.OldPath(), &pages, &width, &height)) {
        EXPECT_EQ(pages, 3);
        EXPECT_NEAR(width, 595.276, 0.01);
        EXPECT_NEAR(height, 841.89, 0.01);
    }

    // The chosen printer makes the next DC without a dialog.
    TPrintDC again(data.GetDriverName(), data.GetDeviceName(), "", data.GetDevMode());
    EXPECT_EQ(again.GetDeviceCaps(LOGPIXELSX), 600);
}

TEST_F(PrinterTest, ARememberedDefaultThatChangedIsClearedAndTheDialogRunsAgain) {
    TPrinter printer;  // remembers "Office" as the default
    cups.RemoveCups();
    int dialogs = 0;
    qsm::wm::SetModalHook([&](HWND) {
        ++dialogs;
        qsm::wm::PressKey(VK_RETURN);
    });
    std::unique_ptr<TPrintDC> dc = RunPrintDialog(printer, nullptr, 1, 5);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(dialogs, 1);  // the first run failed before showing anything
    EXPECT_STREQ(printer.GetSetup().GetDeviceName(), "PDF file");
    // Cancel: no DC, no error.
    qsm::wm::SetModalHook([](HWND) { qsm::wm::PressKey(VK_ESCAPE); });
    EXPECT_EQ(RunPrintDialog(printer, nullptr, 1, 5), nullptr);
    EXPECT_EQ(printer.GetSetup().Error, 0u);
}

TEST_F(PrinterTest, SetupChangesThePrinterOnlyWhenConfirmed) {
    TPrinter printer;
    qsm::wm::SetModalHook([](HWND dlg) {
        SendDlgItemMessageA(dlg, qsm::print::kPrinterCombo, CB_SETCURSEL, 2, 0);  // "Label"
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(qsm::print::kPrinterCombo, CBN_SELCHANGE), 0);
        qsm::wm::PressKey(VK_ESCAPE);
    });
    EXPECT_FALSE(printer.Setup(nullptr));
    EXPECT_STREQ(printer.GetSetup().GetDeviceName(), "Office");
    qsm::wm::SetModalHook([](HWND dlg) {
        SendDlgItemMessageA(dlg, qsm::print::kPrinterCombo, CB_SETCURSEL, 2, 0);
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(qsm::print::kPrinterCombo, CBN_SELCHANGE), 0);
        SendMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(printer.Setup(nullptr));
    EXPECT_STREQ(printer.GetSetup().GetDeviceName(), "Label");
    EXPECT_EQ(printer.GetSetup().Flags & PD_PRINTSETUP, 0u);  // the caller's flags come back
    printer.ClearDevice();
    EXPECT_STREQ(printer.GetSetup().GetDeviceName(), "");
    EXPECT_EQ(printer.GetSetup().GetDevMode(), nullptr);
}

// A job cancelled from a window: the abort procedure pumps the application's messages, a command posted to
// the cancel window sets the flag, and the spooler stops at the next page.
int g_cancel = 0;
BOOL PumpingAbort(HDC, int) {
    TApplication::Get()->PumpWaitingMessages();
    return g_cancel == 0;
}

class TCancelWindow : public TWindow {
public:
    using TWindow::TWindow;
    void CmCancel() { g_cancel = 1; }
    DECLARE_RESPONSE_TABLE(TCancelWindow);
};
DEFINE_RESPONSE_TABLE1(TCancelWindow, TWindow)
EV_COMMAND(IDCANCEL, CmCancel), END_RESPONSE_TABLE;

TEST_F(PrinterTest, CancelWhilePagesGoOutDiscardsTheJob) {
    TApplication app("printing");
    TCancelWindow cancel(nullptr, "Score Print");
    cancel.Attr.Style = WS_POPUP | WS_VISIBLE;
    ASSERT_TRUE(cancel.Create());
    for (const char* device : {"PDF file", "Office"}) {
        g_cancel = 0;
        TPrintDC dc("winspool", device, "", nullptr);
        dc.SetAbortProc(PumpingAbort);
        ASSERT_GT(dc.StartDoc("Stopped"), 0);
        int pages = 0;
        int result = 0;
        for (int page = 1; page <= 5; ++page) {
            if ((result = dc.StartPage()) <= 0) break;
            dc.Rectangle(0, 0, 100, 100);
            if (page == 2) PostMessageA(cancel.GetHandle(), WM_COMMAND, IDCANCEL, 0);
            if ((result = dc.EndPage()) <= 0) break;
            ++pages;
        }
        EXPECT_EQ(result, SP_APPABORT) << device;
        EXPECT_EQ(pages, 1) << device;  // page 2 was under way when the click came
        EXPECT_EQ(g_cancel, 1);
        EXPECT_EQ(dc.EndDoc(), SP_ERROR);
        EXPECT_FALSE(FileExists(cups.Home() + "/Stopped.pdf"));
        EXPECT_FALSE(FileExists(cups.Dir() + "/lp.args"));
    }
}

}  // namespace
