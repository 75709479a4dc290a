// Printers, print dialog data and printer DCs of the class library.
#include "platform/framework/printer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/framework/window.h"
#include "platform/kernel/memory.h"

namespace {

WORD PageWord(int page) {
    return static_cast<WORD>(std::clamp(page, 0, 0xFFFF));
}

HGLOBAL NewBlock(const void* data, size_t size) {
    HGLOBAL h = GlobalAlloc(GHND, size);
    if (!h) return nullptr;
    std::memcpy(GlobalLock(h), data, size);
    GlobalUnlock(h);
    return h;
}

HGLOBAL DevNamesBlock(const std::string& driver, const std::string& device, const std::string& output,
                      bool isDefault) {
    std::vector<char> block(sizeof(DEVNAMES));
    DEVNAMES dn{};
    auto add = [&](const std::string& s) {
        auto at = static_cast<WORD>(block.size());
        block.insert(block.end(), s.begin(), s.end());
        block.push_back('\0');
        return at;
    };
    dn.wDriverOffset = add(driver);
    dn.wDeviceOffset = add(device);
    dn.wOutputOffset = add(output);
    dn.wDefault = isDefault ? DN_DEFAULTPRN : 0;
    std::memcpy(block.data(), &dn, sizeof dn);
    return NewBlock(block.data(), block.size());
}

// Reads names and device mode back from the dialog's blocks.
void ReadBlocks(const PRINTDLGA& pd, TPrintDialog::TData& data, std::string* driver, std::string* device,
                std::string* output, bool* isDefault) {
    if (pd.hDevNames) {
        SIZE_T size = GlobalSize(pd.hDevNames);
        const auto* p = static_cast<const char*>(GlobalLock(pd.hDevNames));
        DEVNAMES dn{};
        std::memcpy(&dn, p, sizeof dn);
        auto at = [&](WORD off) {
            return off < size ? std::string(p + off, strnlen(p + off, size - off)) : "";
        };
        *driver = at(dn.wDriverOffset);
        *device = at(dn.wDeviceOffset);
        *output = at(dn.wOutputOffset);
        *isDefault = dn.wDefault & DN_DEFAULTPRN;
        GlobalUnlock(pd.hDevNames);
    }
    if (pd.hDevMode && GlobalSize(pd.hDevMode) >= sizeof(DEVMODEA)) {
        DEVMODEA dm;
        std::memcpy(&dm, GlobalLock(pd.hDevMode), sizeof dm);
        GlobalUnlock(pd.hDevMode);
        data.SetDevMode(&dm);
    }
}

}  // namespace

TPrintDC::TPrintDC(const char* driver, const char* device, const char* output, const DEVMODEA* devmode)
    : TDC(CreateDCA(driver, device, output, devmode)) {}

TPrintDC::~TPrintDC() {
    RestoreObjects();
    if (Handle) ::DeleteDC(Handle);
    Handle = nullptr;
}

int TPrintDC::StartDoc(const char* docName, const char* output) const {
    DOCINFOA di{sizeof(DOCINFOA), docName, output, nullptr, 0};
    return ::StartDocA(Handle, &di);
}

TPrintDialog::TData::~TData() {
    if (Dc) ::DeleteDC(Dc);
}

void TPrintDialog::TData::SetDevNames(const char* driver, const char* device, const char* output) {
    Driver = driver ? driver : "";
    Device = device ? device : "";
    Output = output ? output : "";
    IsDefault = false;
}

void TPrintDialog::TData::ClearDevNames() {
    Driver.clear();
    Device.clear();
    Output.clear();
    IsDefault = false;
}

void TPrintDialog::TData::SetDevMode(const DEVMODEA* devMode) {
    if (devMode)
        DevMode = *devMode;
    else
        DevMode.reset();
}

TPrintDC* TPrintDialog::TData::TransferDC() {
    if (!Dc) return nullptr;
    auto* dc = new TPrintDC(Dc);
    Dc = nullptr;
    return dc;
}

int TPrintDialog::Execute() {
    qsm::print::InstallPrinters();
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = Parent ? Parent->GetHandle() : nullptr;
    pd.Flags = Data.Flags;
    pd.nFromPage = PageWord(Data.FromPage);
    pd.nToPage = PageWord(Data.ToPage);
    pd.nMinPage = PageWord(Data.MinPage);
    pd.nMaxPage = PageWord(Data.MaxPage);
    pd.nCopies = PageWord(Data.Copies);
    if (Data.DevMode) pd.hDevMode = NewBlock(&*Data.DevMode, sizeof(DEVMODEA));
    if (!Data.Device.empty())
        pd.hDevNames = DevNamesBlock(Data.Driver, Data.Device, Data.Output, Data.IsDefault);
    BOOL ok = PrintDlgA(&pd);
    Data.Error = ok ? 0 : CommDlgExtendedError();
    if (ok) {
        std::string driver, device, output;
        bool isDefault = false;
        ReadBlocks(pd, Data, &driver, &device, &output, &isDefault);
        Data.SetDevNames(driver.c_str(), device.c_str(), output.c_str());
        Data.IsDefault = isDefault;
        Data.Flags = pd.Flags;
        if (!(pd.Flags & (PD_PRINTSETUP | PD_RETURNDEFAULT))) {
            Data.FromPage = pd.nFromPage;
            Data.ToPage = pd.nToPage;
            Data.Copies = pd.nCopies;
        }
        if (Data.Dc) ::DeleteDC(Data.Dc);
        Data.Dc = pd.hDC;
    }
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
    return ok ? IDOK : IDCANCEL;
}

TPrinter::TPrinter() {
    qsm::print::InstallPrinters();
    GetDefaultPrinter();
}

TPrinter::~TPrinter() = default;

void TPrinter::ClearDevice() {
    Data.ClearDevNames();
    Data.ClearDevMode();
}

void TPrinter::SetPrinter(const char* driver, const char* device, const char* output) {
    Data.SetDevNames(driver, device, output);
}

void TPrinter::GetDefaultPrinter() {
    ClearDevice();
    DWORD flags = Data.Flags;
    Data.Flags = PD_RETURNDEFAULT;
    TPrintDialog(nullptr, Data).Execute();
    Data.Flags = flags;
}

bool TPrinter::Setup(TWindow* parent) {
    DWORD flags = Data.Flags;
    Data.Flags = (flags & ~static_cast<DWORD>(PD_RETURNDEFAULT | PD_RETURNDC | PD_RETURNIC)) | PD_PRINTSETUP;
    bool ok = TPrintDialog(parent, Data).Execute() == IDOK;
    Data.Flags = flags;
    return ok;
}
