// Printers of the class library: the printer object an application keeps, the data of its print dialogs
// and printer DCs.
//
// TPrinter starts on the system's default printer (its names and device mode, marked as the default) and
// remembers the printer and settings the dialogs choose. TPrintDialog runs the print dialog, or the set-up
// dialog when the data's flags ask for PD_PRINTSETUP, on a TData: page numbers are ints here and pass the
// dialog as 0..65535 (a larger maximum counts as 65535); after OK the data holds the chosen printer,
// device mode, flags, pages and copies, and the DC the dialog made (PD_RETURNDC) until TransferDC hands it
// over. A failure leaves its error in Error (PDERR_DEFAULTDIFFERENT when the remembered default printer is
// no longer the default: clear the device and run again).
//
// The spooler calls of TPrintDC answer as the platform's do: positive for success, SP_ERROR or
// SP_APPABORT (the abort procedure said stop; the job is gone) otherwise.
#pragma once

#include <optional>
#include <string>

#include "platform/framework/dc.h"
#include "platform/print/print_dialog.h"
#include "platform/print/printers.h"

class TWindow;

class TPrintDC : public TDC {
public:
    TPrintDC(const char* driver, const char* device, const char* output, const DEVMODEA* devmode);
    // Takes over a printer DC made elsewhere (the print dialog's).
    explicit TPrintDC(HDC owned) : TDC(owned) {}
    ~TPrintDC() override;

    int SetAbortProc(ABORTPROC proc) const { return ::SetAbortProc(Handle, proc); }
    int StartDoc(const char* docName, const char* output = nullptr) const;
    int StartPage() const { return ::StartPage(Handle); }
    int EndPage() const { return ::EndPage(Handle); }
    int EndDoc() const { return ::EndDoc(Handle); }
    int AbortDoc() const { return ::AbortDoc(Handle); }
};

class TPrintDialog {
public:
    class TData {
    public:
        TData() = default;
        ~TData();
        TData(const TData&) = delete;
        TData& operator=(const TData&) = delete;

        DWORD Flags = 0;
        DWORD Error = 0;
        int FromPage = 0, ToPage = 0, MinPage = 1, MaxPage = 1;
        int Copies = 1;

        const char* GetDriverName() const { return Driver.c_str(); }
        const char* GetDeviceName() const { return Device.c_str(); }
        const char* GetOutputName() const { return Output.c_str(); }
        // The names of the printer; an empty device means "none chosen" (the dialogs take the default).
        void SetDevNames(const char* driver, const char* device, const char* output);
        void ClearDevNames();
        // The device mode, null when none is kept.
        const DEVMODEA* GetDevMode() const { return DevMode ? &*DevMode : nullptr; }
        void SetDevMode(const DEVMODEA* devMode);
        void ClearDevMode() { DevMode.reset(); }
        // The DC the last dialog made; the caller owns it from now on. Null when there is none.
        TPrintDC* TransferDC();

    private:
        friend class TPrintDialog;
        friend class TPrinter;
        std::string Driver, Device, Output;
        bool IsDefault = false;  // the names are those of the default printer
        std::optional<DEVMODEA> DevMode;
        HDC Dc = nullptr;
    };

    TPrintDialog(TWindow* parent, TData& data) : Parent(parent), Data(data) {}
    // IDOK when the user confirmed, else IDCANCEL (Data.Error tells a failure from a cancel).
    int Execute();

private:
    TWindow* Parent;
    TData& Data;
};

class TPrinter {
public:
    TPrinter();
    virtual ~TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;

    TPrintDialog::TData& GetSetup() { return Data; }
    // Forgets the printer: names and device mode.
    void ClearDevice();
    // Chooses a printer by its names; the device mode stays as it is.
    void SetPrinter(const char* driver, const char* device, const char* output);
    // Takes the system's default printer.
    void GetDefaultPrinter();
    // The print set-up dialog for the parent; true when the user confirmed.
    virtual bool Setup(TWindow* parent);

protected:
    TPrintDialog::TData Data;
};
