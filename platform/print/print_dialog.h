// The print and print set-up dialogs over the printers of printers.h.
//
// PrintDlgA shows the print dialog (printer, page range, copies, collation) or, with PD_PRINTSETUP, the
// set-up dialog (printer, paper, orientation), owned by hwndOwner; with PD_RETURNDEFAULT it shows nothing
// and answers the default printer. The printer starts as the one hDevNames names (the default one when
// there is none); hDevMode is used when it is that printer's. On OK the dialog answers TRUE and fills
// hDevMode and hDevNames (new global blocks, or the caller's resized), the flags (PD_PAGENUMS or
// PD_SELECTION for the range chosen, PD_COLLATE), nFromPage/nToPage and nCopies, and with PD_RETURNDC or
// PD_RETURNIC a DC of the chosen printer in hDC. With PD_USEDEVMODECOPIESANDCOLLATE copies and collation
// go into the device mode and nCopies is 1. Cancel answers FALSE with CommDlgExtendedError() 0; a failure
// answers FALSE with one of the errors below (PDERR_DEFAULTDIFFERENT when hDevNames says DN_DEFAULTPRN for
// a printer that is no longer the default, PDERR_PRINTERNOTFOUND for a printer that is gone).
//
// OK with a page range outside nMinPage..nMaxPage or from > to says so in a message box and leaves the
// dialog open. There is no printing to a file: "PDF file" is a printer of its own.
#pragma once

#include "platform/print/printers.h"
#include "platform/wm/commdlg.h"
#include "platform/wm/winuser.h"

#define PD_ALLPAGES 0x00000000
#define PD_SELECTION 0x00000001
#define PD_PAGENUMS 0x00000002
#define PD_NOSELECTION 0x00000004
#define PD_NOPAGENUMS 0x00000008
#define PD_COLLATE 0x00000010
#define PD_PRINTTOFILE 0x00000020
#define PD_PRINTSETUP 0x00000040
#define PD_NOWARNING 0x00000080
#define PD_RETURNDC 0x00000100
#define PD_RETURNIC 0x00000200
#define PD_RETURNDEFAULT 0x00000400
#define PD_USEDEVMODECOPIES 0x00040000
#define PD_USEDEVMODECOPIESANDCOLLATE 0x00040000
#define PD_DISABLEPRINTTOFILE 0x00080000
#define PD_HIDEPRINTTOFILE 0x00100000

#define PDERR_SETUPFAILURE 0x1001
#define PDERR_RETDEFFAILURE 0x1003
#define PDERR_NODEVICES 0x1007
#define PDERR_CREATEICFAILURE 0x100A
#define PDERR_PRINTERNOTFOUND 0x100B
#define PDERR_DEFAULTDIFFERENT 0x100C

struct PRINTDLGA {
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;
    HGLOBAL hDevNames;
    HDC hDC;
    DWORD Flags;
    WORD nFromPage;
    WORD nToPage;
    WORD nMinPage;
    WORD nMaxPage;
    WORD nCopies;
    HINSTANCE hInstance;
    LPARAM lCustData;
};
using PRINTDLG = PRINTDLGA;

BOOL PrintDlgA(PRINTDLGA* pd);

namespace qsm::print {

// Control ids of the two dialogs (for tests and hooks).
inline constexpr int kPrinterCombo = 1001;
inline constexpr int kAllPages = 1010;
inline constexpr int kPageRange = 1011;
inline constexpr int kSelection = 1012;
inline constexpr int kFromPage = 1013;
inline constexpr int kToPage = 1014;
inline constexpr int kCopies = 1020;
inline constexpr int kCollate = 1021;
inline constexpr int kPaperCombo = 1030;
inline constexpr int kPortrait = 1031;
inline constexpr int kLandscape = 1032;

}  // namespace qsm::print
