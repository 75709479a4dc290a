// The print and print set-up dialogs.
#include "platform/print/print_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"
#include "platform/wm/dialog_template.h"

namespace qsm::print {
namespace {

const char kPrintTemplate[] = R"(dialog 0 0 260 132 "Print"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
font 8 "MS Sans Serif"
groupbox "Printer" -1 7 4 246 32
ltext "&Name:" -1 14 18 30 8
combobox 1001 46 16 200 80 CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
groupbox "Print range" -1 7 40 140 66
autoradiobutton "&All" 1010 14 52 60 10 WS_GROUP | WS_TABSTOP
autoradiobutton "Pa&ges" 1011 14 68 36 10
autoradiobutton "&Selection" 1012 14 84 60 10
ltext "&from:" -1 52 69 18 8
edittext 1013 72 67 28 12 ES_NUMBER | WS_GROUP | WS_TABSTOP
ltext "&to:" -1 104 69 12 8
edittext 1014 116 67 28 12 ES_NUMBER | WS_TABSTOP
groupbox "Copies" -1 153 40 100 66
ltext "Number of &copies:" -1 160 54 60 8
edittext 1020 222 52 24 12 ES_NUMBER | WS_GROUP | WS_TABSTOP
autocheckbox "C&ollate" 1021 160 72 60 10 WS_TABSTOP
defpushbutton "OK" 1 146 112 50 14 WS_GROUP | WS_TABSTOP
pushbutton "Cancel" 2 203 112 50 14 WS_TABSTOP
)";

const char kSetupTemplate[] = R"(dialog 0 0 260 110 "Print Setup"
style DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
font 8 "MS Sans Serif"
groupbox "Printer" -1 7 4 246 32
ltext "&Name:" -1 14 18 30 8
combobox 1001 46 16 200 80 CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
groupbox "Paper" -1 7 40 150 44
ltext "Si&ze:" -1 14 56 24 8
combobox 1030 40 54 110 80 CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP
groupbox "Orientation" -1 163 40 90 44
autoradiobutton "P&ortrait" 1031 170 52 70 10 WS_GROUP | WS_TABSTOP
autoradiobutton "L&andscape" 1032 170 66 70 10
defpushbutton "OK" 1 146 90 50 14 WS_GROUP | WS_TABSTOP
pushbutton "Cancel" 2 203 90 50 14 WS_TABSTOP
)";

struct State {
    PRINTDLGA* pd = nullptr;
    bool setup = false;
    std::vector<PrinterInfo> printers;
    size_t printer = 0;
    DEVMODEA dm{};
    // Results of the print dialog.
    DWORD range = PD_ALLPAGES;
    int from = 0, to = 0, copies = 1;
    bool collate = false;
};

std::string DevNamesDevice(HGLOBAL h, WORD* isDefault) {
    std::string device;
    if (isDefault) *isDefault = 0;
    if (!h) return device;
    SIZE_T size = GlobalSize(h);
    const auto* p = static_cast<const char*>(GlobalLock(h));
    if (p && size > sizeof(DEVNAMES)) {
        DEVNAMES dn;
        std::memcpy(&dn, p, sizeof dn);
        if (dn.wDeviceOffset < size)
            device.assign(p + dn.wDeviceOffset, strnlen(p + dn.wDeviceOffset, size - dn.wDeviceOffset));
        if (isDefault) *isDefault = dn.wDefault;
    }
    GlobalUnlock(h);
    return device;
}

bool ReadDevMode(HGLOBAL h, DEVMODEA* out) {
    if (!h || GlobalSize(h) < sizeof(DEVMODEA)) return false;
    const void* p = GlobalLock(h);
    if (p) std::memcpy(out, p, sizeof(DEVMODEA));
    GlobalUnlock(h);
    return p != nullptr;
}

std::string DevModeDevice(const DEVMODEA& dm) {
    return std::string(reinterpret_cast<const char*>(dm.dmDeviceName),
                       strnlen(reinterpret_cast<const char*>(dm.dmDeviceName), sizeof dm.dmDeviceName));
}

HGLOBAL Store(HGLOBAL h, const void* data, size_t size) {
    if (h && GlobalSize(h) != size) h = GlobalReAlloc(h, size, GMEM_MOVEABLE) ? h : nullptr;
    if (!h) h = GlobalAlloc(GHND, size);
    if (!h) return nullptr;
    void* p = GlobalLock(h);
    if (p) std::memcpy(p, data, size);
    GlobalUnlock(h);
    return h;
}

bool WriteBack(State& s) {
    PRINTDLGA* pd = s.pd;
    const PrinterInfo& p = s.printers[s.printer];
    HGLOBAL dm = Store(pd->hDevMode, &s.dm, sizeof s.dm);
    std::string names(sizeof(DEVNAMES), '\0');
    DEVNAMES dn{};
    dn.wDriverOffset = static_cast<WORD>(names.size());
    names += std::string(kDriverName) + '\0';
    dn.wDeviceOffset = static_cast<WORD>(names.size());
    names += p.name + '\0';
    dn.wOutputOffset = static_cast<WORD>(names.size());
    names += '\0';
    dn.wDefault = p.isDefault ? DN_DEFAULTPRN : 0;
    std::memcpy(names.data(), &dn, sizeof dn);
    HGLOBAL nm = Store(pd->hDevNames, names.data(), names.size());
    if (!dm || !nm) {
        qsm::wm::SetCommDlgExtendedError(CDERR_MEMALLOCFAILURE);
        return false;
    }
    pd->hDevMode = dm;
    pd->hDevNames = nm;
    if (!s.setup) {
        pd->Flags &= ~static_cast<DWORD>(PD_PAGENUMS | PD_SELECTION | PD_COLLATE);
        pd->Flags |= s.range;
        if (s.range == PD_PAGENUMS) {
            pd->nFromPage = static_cast<WORD>(s.from);
            pd->nToPage = static_cast<WORD>(s.to);
        }
        if (pd->Flags & PD_USEDEVMODECOPIESANDCOLLATE) {
            pd->nCopies = 1;
        } else {
            pd->nCopies = static_cast<WORD>(s.copies);
            if (s.collate) pd->Flags |= PD_COLLATE;
        }
    }
    pd->hDC = nullptr;
    if (pd->Flags & (PD_RETURNDC | PD_RETURNIC)) {
        pd->hDC = (pd->Flags & PD_RETURNDC) ? CreateDCA(kDriverName, p.name.c_str(), "", &s.dm)
                                            : CreateICA(kDriverName, p.name.c_str(), "", &s.dm);
        if (!pd->hDC) {
            qsm::wm::SetCommDlgExtendedError(PDERR_CREATEICFAILURE);
            return false;
        }
    }
    return true;
}

void SelectPrinter(HWND dlg, State& s, size_t index, bool keepDevMode) {
    s.printer = index;
    if (!keepDevMode) {
        DEVMODEA fresh = DefaultDevMode(s.printers[index]);
        // The choices of copies and collation stay when the printer changes.
        fresh.dmCopies = s.dm.dmCopies > 0 ? s.dm.dmCopies : 1;
        fresh.dmCollate = s.dm.dmCollate;
        s.dm = fresh;
    }
    if (!dlg || !s.setup) return;
    const auto& papers = Papers();
    for (size_t i = 0; i < papers.size(); ++i)
        if (papers[i].id == s.dm.dmPaperSize) SendDlgItemMessageA(dlg, kPaperCombo, CB_SETCURSEL, i, 0);
    CheckRadioButton(dlg, kPortrait, kLandscape,
                     s.dm.dmOrientation == DMORIENT_LANDSCAPE ? kLandscape : kPortrait);
}

void EnableRange(HWND dlg, bool pages) {
    EnableWindow(GetDlgItem(dlg, kFromPage), pages);
    EnableWindow(GetDlgItem(dlg, kToPage), pages);
}

void InitDialog(HWND dlg, State& s) {
    for (const PrinterInfo& p : s.printers)
        SendDlgItemMessageA(dlg, kPrinterCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.name.c_str()));
    SendDlgItemMessageA(dlg, kPrinterCombo, CB_SETCURSEL, s.printer, 0);
    const PRINTDLGA* pd = s.pd;
    if (s.setup) {
        for (const PaperSize& p : Papers())
            SendDlgItemMessageA(dlg, kPaperCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p.name));
        SelectPrinter(dlg, s, s.printer, true);
        return;
    }
    bool pagesAllowed = !(pd->Flags & PD_NOPAGENUMS) && pd->nMinPage <= pd->nMaxPage;
    EnableWindow(GetDlgItem(dlg, kPageRange), pagesAllowed);
    EnableWindow(GetDlgItem(dlg, kSelection), !(pd->Flags & PD_NOSELECTION));
    int range = (pd->Flags & PD_PAGENUMS) && pagesAllowed                     ? kPageRange
                : (pd->Flags & PD_SELECTION) && !(pd->Flags & PD_NOSELECTION) ? kSelection
                                                                              : kAllPages;
    CheckRadioButton(dlg, kAllPages, kSelection, range);
    if (pagesAllowed) {
        SetDlgItemInt(dlg, kFromPage, std::max(pd->nFromPage, pd->nMinPage), FALSE);
        SetDlgItemInt(dlg, kToPage, pd->nToPage >= pd->nMinPage ? pd->nToPage : pd->nMaxPage, FALSE);
    }
    EnableRange(dlg, range == kPageRange);
    bool devCopies = pd->Flags & PD_USEDEVMODECOPIESANDCOLLATE;
    int copies = devCopies ? s.dm.dmCopies : pd->nCopies;
    SetDlgItemInt(dlg, kCopies, copies > 0 ? copies : 1, FALSE);
    SendDlgItemMessageA(dlg, kCopies, EM_LIMITTEXT, 4, 0);
    bool collate = devCopies ? s.dm.dmCollate == DMCOLLATE_TRUE : (pd->Flags & PD_COLLATE) != 0;
    CheckDlgButton(dlg, kCollate, collate ? BST_CHECKED : BST_UNCHECKED);
}

// Reads the print dialog's choices; false (after saying why) when they cannot be taken.
bool ReadChoices(HWND dlg, State& s) {
    const PRINTDLGA* pd = s.pd;
    if (s.setup) {
        LRESULT paper = SendDlgItemMessageA(dlg, kPaperCombo, CB_GETCURSEL, 0, 0);
        if (paper >= 0 && static_cast<size_t>(paper) < Papers().size())
            s.dm.dmPaperSize = Papers()[static_cast<size_t>(paper)].id;
        s.dm.dmOrientation =
            IsDlgButtonChecked(dlg, kLandscape) == BST_CHECKED ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
        return true;
    }
    BOOL okCopies = FALSE;
    int copies = static_cast<int>(GetDlgItemInt(dlg, kCopies, &okCopies, FALSE));
    if (!okCopies || copies < 1 || copies > 9999) {
        MessageBoxA(dlg, "The number of copies must lie between 1 and 9999.", "Print",
                    MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(dlg, kCopies));
        return false;
    }
    s.copies = copies;
    s.collate = IsDlgButtonChecked(dlg, kCollate) == BST_CHECKED;
    s.range = PD_ALLPAGES;
    if (IsDlgButtonChecked(dlg, kSelection) == BST_CHECKED) s.range = PD_SELECTION;
    if (IsDlgButtonChecked(dlg, kPageRange) == BST_CHECKED) {
        BOOL okFrom = FALSE, okTo = FALSE;
        int from = static_cast<int>(GetDlgItemInt(dlg, kFromPage, &okFrom, FALSE));
        int to = static_cast<int>(GetDlgItemInt(dlg, kToPage, &okTo, FALSE));
        if (!okTo && okFrom) to = from, okTo = TRUE;
        if (!okFrom || !okTo || from < pd->nMinPage || to > pd->nMaxPage || from > to) {
            char text[128];
            std::snprintf(text, sizeof text,
                          "The pages must lie between %u and %u, the first not after the last.", pd->nMinPage,
                          pd->nMaxPage);
            MessageBoxA(dlg, text, "Print", MB_OK | MB_ICONEXCLAMATION);
            SetFocus(GetDlgItem(dlg, okFrom && from >= pd->nMinPage ? kToPage : kFromPage));
            return false;
        }
        s.range = PD_PAGENUMS;
        s.from = from;
        s.to = to;
    }
    if (pd->Flags & PD_USEDEVMODECOPIESANDCOLLATE) {
        s.dm.dmCopies = static_cast<short>(copies);
        s.dm.dmCollate = s.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    }
    return true;
}

INT_PTR DialogProc(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam) {
    auto* s = reinterpret_cast<State*>(GetWindowLongPtrA(dlg, DWLP_USER));
    switch (msg) {
        case WM_INITDIALOG:
            SetWindowLongPtrA(dlg, DWLP_USER, lparam);
            InitDialog(dlg, *reinterpret_cast<State*>(lparam));
            return TRUE;
        case WM_COMMAND: {
            if (!s) return FALSE;
            int id = LOWORD(wparam), code = HIWORD(wparam);
            if (id == kPrinterCombo && code == CBN_SELCHANGE) {
                LRESULT sel = SendDlgItemMessageA(dlg, kPrinterCombo, CB_GETCURSEL, 0, 0);
                if (sel >= 0 && static_cast<size_t>(sel) < s->printers.size())
                    SelectPrinter(dlg, *s, static_cast<size_t>(sel), false);
                return TRUE;
            }
            if ((id == kAllPages || id == kPageRange || id == kSelection) && code == BN_CLICKED) {
                EnableRange(dlg, IsDlgButtonChecked(dlg, kPageRange) == BST_CHECKED);
                return TRUE;
            }
            if (id == IDOK) {
                if (ReadChoices(dlg, *s)) EndDialog(dlg, IDOK);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dlg, IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

}  // namespace
}  // namespace qsm::print

using namespace qsm::print;

BOOL PrintDlgA(PRINTDLGA* pd) {
    qsm::wm::SetCommDlgExtendedError(0);
    if (!pd || pd->lStructSize != sizeof(PRINTDLGA)) {
        qsm::wm::SetCommDlgExtendedError(CDERR_STRUCTSIZE);
        return FALSE;
    }
    InstallPrinters();
    State s;
    s.pd = pd;
    s.setup = (pd->Flags & PD_PRINTSETUP) != 0;
    s.printers = ListPrinters();
    if (s.printers.empty()) {
        qsm::wm::SetCommDlgExtendedError(PDERR_NODEVICES);
        return FALSE;
    }
    auto indexOf = [&](const std::string& name) -> int {
        for (size_t i = 0; i < s.printers.size(); ++i)
            if (s.printers[i].name == name) return static_cast<int>(i);
        return -1;
    };
    int def = static_cast<int>(DefaultPrinterIndex(s.printers));
    if (pd->Flags & PD_RETURNDEFAULT) {
        if (pd->hDevMode || pd->hDevNames) {
            qsm::wm::SetCommDlgExtendedError(PDERR_RETDEFFAILURE);
            return FALSE;
        }
        s.printer = static_cast<size_t>(std::max(def, 0));
        s.dm = DefaultDevMode(s.printers[s.printer]);
        s.setup = true;  // no page or copy results
        return WriteBack(s) ? TRUE : FALSE;
    }
    WORD isDefault = 0;
    std::string device = DevNamesDevice(pd->hDevNames, &isDefault);
    DEVMODEA given{};
    bool haveDevMode = ReadDevMode(pd->hDevMode, &given);
    if (device.empty() && haveDevMode) device = DevModeDevice(given);
    int index = device.empty() ? def : indexOf(device);
    if (!device.empty() && (isDefault & DN_DEFAULTPRN) && index != def) {
        qsm::wm::SetCommDlgExtendedError(PDERR_DEFAULTDIFFERENT);
        return FALSE;
    }
    if (index < 0) {
        qsm::wm::SetCommDlgExtendedError(PDERR_PRINTERNOTFOUND);
        return FALSE;
    }
    s.printer = static_cast<size_t>(index);
    s.dm = haveDevMode && DevModeDevice(given) == s.printers[s.printer].name
               ? given
               : DefaultDevMode(s.printers[s.printer]);
    qsm::wm::DialogTemplate t;
    std::string error;
    const char* text = s.setup ? kSetupTemplate : kPrintTemplate;
    if (!qsm::wm::ParseDialogTemplate(text, std::strlen(text), &t, &error)) {
        qsm::wm::SetCommDlgExtendedError(PDERR_SETUPFAILURE);
        return FALSE;
    }
    INT_PTR r = qsm::wm::DialogBoxFromTemplate(t, pd->hwndOwner, DialogProc, reinterpret_cast<LPARAM>(&s));
    if (r == -1) qsm::wm::SetCommDlgExtendedError(CDERR_DIALOGFAILURE);
    if (r != IDOK) return FALSE;
    return WriteBack(s) ? TRUE : FALSE;
}
