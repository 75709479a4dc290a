// The print and print set-up dialogs driven headless: the flags the viewer passes, page ranges, copies,
// printer choice, the default printer, and the errors for a printer that changed or went.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"
#include "platform/print/print_dialog.h"
#include "platform/print/tests/print_test_util.h"
#include "platform/wm/backend.h"
#include "platform/wm/file_dialog.h"

namespace qsm::print::testing {
namespace {

constexpr DWORD kViewerSet =
    PD_NOSELECTION | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_HIDEPRINTTOFILE;

class PrintDialogTest : public ::testing::Test {
protected:
    void SetUp() override { wm::ResetForTests(); }
    void TearDown() override {
        wm::ResetForTests();
        if (pd.hDC) DeleteDC(pd.hDC);
        if (pd.hDevMode) GlobalFree(pd.hDevMode);
        if (pd.hDevNames) GlobalFree(pd.hDevNames);
    }
    PRINTDLGA Fresh(DWORD flags) {
        PRINTDLGA p{};
        p.lStructSize = sizeof p;
        p.Flags = flags;
        return p;
    }
    std::string Name(int which) {  // 0 driver, 1 device
        const auto* base = static_cast<const char*>(GlobalLock(pd.hDevNames));
        DEVNAMES dn;
        std::memcpy(&dn, base, sizeof dn);
        std::string s = base + (which == 0 ? dn.wDriverOffset : dn.wDeviceOffset);
        GlobalUnlock(pd.hDevNames);
        return s;
    }
    DEVMODEA DevMode() {
        DEVMODEA dm{};
        std::memcpy(&dm, GlobalLock(pd.hDevMode), sizeof dm);
        GlobalUnlock(pd.hDevMode);
        return dm;
    }
    static void Command(HWND dlg, int id, int code = BN_CLICKED) {
        SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
    FakeCups cups;
    PRINTDLGA pd{};
};

TEST_F(PrintDialogTest, ReturnDefaultAnswersTheDefaultPrinterWithoutADialog) {
    pd = Fresh(PD_RETURNDEFAULT | PD_RETURNDC);
    wm::SetModalHook([](HWND) { ADD_FAILURE() << "no dialog expected"; });
    ASSERT_TRUE(PrintDlgA(&pd));
    EXPECT_EQ(Name(0), "winspool");
    EXPECT_EQ(Name(1), "Office");
    ASSERT_NE(pd.hDC, nullptr);
    EXPECT_EQ(GetDeviceCaps(pd.hDC, LOGPIXELSX), 1200);
    // Asked again with the blocks already there: refused.
    HDC dc = pd.hDC;
    pd.hDC = nullptr;
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_RETDEFFAILURE));
    DeleteDC(dc);
    PRINTDLGA small = Fresh(0);
    small.lStructSize = 10;
    EXPECT_FALSE(PrintDlgA(&small));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

TEST_F(PrintDialogTest, PageRangeAndCopiesWithTheViewersFlags) {
    pd = Fresh(kViewerSet);
    pd.nMinPage = 1;
    pd.nMaxPage = 0xFFFF;
    int boxes = 0;
    wm::SetModalHook([&](HWND dlg) {
        if (!GetDlgItem(dlg, kPrinterCombo)) {  // the message box about the range
            ++boxes;
            wm::PressKey(VK_RETURN);
            return;
        }
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, kSelection)));  // PD_NOSELECTION
        EXPECT_EQ(IsDlgButtonChecked(dlg, kAllPages), static_cast<UINT>(BST_CHECKED));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, kFromPage)));
        SendDlgItemMessageA(dlg, kPageRange, BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, kFromPage)));
        // From after to: refused with a message, the dialog stays.
        SetDlgItemInt(dlg, kFromPage, 5, FALSE);
        SetDlgItemInt(dlg, kToPage, 2, FALSE);
        Command(dlg, IDOK);
        EXPECT_TRUE(IsWindow(dlg));
        SetDlgItemInt(dlg, kFromPage, 3, FALSE);
        SetDlgItemInt(dlg, kToPage, 4, FALSE);
        SetDlgItemInt(dlg, kCopies, 2, FALSE);
        SendDlgItemMessageA(dlg, kCollate, BM_CLICK, 0, 0);
        Command(dlg, IDOK);
    });
    ASSERT_TRUE(PrintDlgA(&pd));
    EXPECT_EQ(boxes, 1);
    EXPECT_TRUE(pd.Flags & PD_PAGENUMS);
    EXPECT_FALSE(pd.Flags & PD_COLLATE);  // collation went into the device mode
    EXPECT_EQ(pd.nFromPage, 3);
    EXPECT_EQ(pd.nToPage, 4);
    EXPECT_EQ(pd.nCopies, 1);
    DEVMODEA dm = DevMode();
    EXPECT_EQ(dm.dmCopies, 2);
    EXPECT_EQ(dm.dmCollate, DMCOLLATE_TRUE);
    EXPECT_STREQ(reinterpret_cast<const char*>(dm.dmDeviceName), "Office");
    ASSERT_NE(pd.hDC, nullptr);
    EXPECT_EQ(GetDeviceCaps(pd.hDC, TECHNOLOGY), DT_RASPRINTER);

    // Run again with those blocks: the dialog starts on the same printer, copies from the device mode;
    // choosing another printer and all pages.
    DeleteDC(pd.hDC);
    pd.hDC = nullptr;
    pd.Flags = (pd.Flags | kViewerSet) &
               ~static_cast<DWORD>(PD_PAGENUMS | PD_COLLATE | PD_PRINTSETUP | PD_RETURNDEFAULT);
    wm::SetModalHook([&](HWND dlg) {
        EXPECT_EQ(GetDlgItemInt(dlg, kCopies, nullptr, FALSE), 2u);
        EXPECT_EQ(SendDlgItemMessageA(dlg, kPrinterCombo, CB_GETCURSEL, 0, 0), 1);
        SendDlgItemMessageA(dlg, kPrinterCombo, CB_SETCURSEL, 0, 0);
        Command(dlg, kPrinterCombo, CBN_SELCHANGE);
        Command(dlg, IDOK);
    });
    ASSERT_TRUE(PrintDlgA(&pd));
    EXPECT_FALSE(pd.Flags & PD_PAGENUMS);
    EXPECT_EQ(Name(1), "PDF file");
    EXPECT_EQ(DevMode().dmCopies, 2);  // kept across the change of printer
    EXPECT_EQ(GetDeviceCaps(pd.hDC, LOGPIXELSX), 600);
}

TEST_F(PrintDialogTest, CancelAnswersFalseWithoutAnError) {
    pd = Fresh(kViewerSet);
    pd.nMinPage = 1;
    pd.nMaxPage = 10;
    wm::SetModalHook([](HWND) { wm::PressKey(VK_ESCAPE); });
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_EQ(pd.hDC, nullptr);
    EXPECT_EQ(pd.hDevNames, nullptr);
}

TEST_F(PrintDialogTest, PrintAndFileDialogsReportTheirErrorsInOnePlace) {
    // A print failure, then a file dialog failure, then a print failure again: each is the error read.
    pd = Fresh(kViewerSet);
    pd.lStructSize = 3;
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    char name[260] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = name;
    ofn.nMaxFile = sizeof name;
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;  // a hook flag without a hook
    EXPECT_FALSE(GetSaveFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_NOHOOK));
    pd = Fresh(PD_RETURNDEFAULT);
    ASSERT_TRUE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    pd.hDC = nullptr;
    EXPECT_FALSE(PrintDlgA(&pd));  // blocks already there
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_RETDEFFAILURE));
    // A cancelled file dialog clears the print dialog's error.
    ofn.Flags = OFN_EXPLORER;
    wm::SetModalHook([](HWND) { wm::PressKey(VK_ESCAPE); });
    EXPECT_FALSE(GetOpenFileNameA(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
}

TEST_F(PrintDialogTest, APrinterThatIsNoLongerTheDefaultOrIsGoneFails) {
    // Remember "Office" as the default printer, then make "PDF file" the only one.
    pd = Fresh(PD_RETURNDEFAULT);
    ASSERT_TRUE(PrintDlgA(&pd));
    cups.RemoveCups();
    pd.Flags = kViewerSet;
    wm::SetModalHook([](HWND) { ADD_FAILURE() << "no dialog expected"; });
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_DEFAULTDIFFERENT));
    // Names without the default mark: the printer is simply not found.
    auto* dn = static_cast<DEVNAMES*>(GlobalLock(pd.hDevNames));
    dn->wDefault = 0;
    GlobalUnlock(pd.hDevNames);
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_PRINTERNOTFOUND));
    // With no names the default printer is used.
    GlobalFree(pd.hDevNames);
    GlobalFree(pd.hDevMode);
    pd.hDevNames = pd.hDevMode = nullptr;
    wm::SetModalHook([](HWND) { wm::PressKey(VK_RETURN); });
    EXPECT_TRUE(PrintDlgA(&pd));
    EXPECT_EQ(Name(1), "PDF file");
}

TEST_F(PrintDialogTest, SetupChoosesPrinterPaperAndOrientation) {
    pd = Fresh(PD_PRINTSETUP);
    wm::SetModalHook([&](HWND dlg) {
        char caption[32];
        GetWindowTextA(dlg, caption, sizeof caption);
        EXPECT_STREQ(caption, "Print Setup");
        EXPECT_EQ(IsDlgButtonChecked(dlg, kPortrait), static_cast<UINT>(BST_CHECKED));
        SendDlgItemMessageA(dlg, kPrinterCombo, CB_SETCURSEL, 0, 0);  // "PDF file"
        Command(dlg, kPrinterCombo, CBN_SELCHANGE);
        SendDlgItemMessageA(dlg, kPaperCombo, CB_SETCURSEL, 4, 0);  // A5
        SendDlgItemMessageA(dlg, kLandscape, BM_CLICK, 0, 0);
        Command(dlg, IDOK);
    });
    ASSERT_TRUE(PrintDlgA(&pd));
    EXPECT_EQ(Name(1), "PDF file");
    DEVMODEA dm = DevMode();
    EXPECT_EQ(dm.dmPaperSize, DMPAPER_A5);
    EXPECT_EQ(dm.dmOrientation, DMORIENT_LANDSCAPE);
    // A DC made from the answer has that paper, turned.
    HDC dc = CreateDCA("winspool", "PDF file", "", &dm);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4961);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 3496);
    DeleteDC(dc);
}

}  // namespace
}  // namespace qsm::print::testing
