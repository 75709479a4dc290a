// The rich-edit control: its library, loaded once for the process on demand, and TQSRTFControl, an edit
// control of the class library that shows formatted text streamed in from a TQSRStream.
#pragma once

#include "core/stream.h"
#include "platform/framework/controls.h"
#include "platform/kernel/module.h"
#include "platform/wm/controls.h"

// The rich-edit library. The process has one (TQSRTF_DLL::Global); it frees the library at exit.
class TQSRTF_DLL {
public:
    // What the loader asks of the system; the default is the system's own functions.
    struct TSystem {
        HMODULE (*LoadLibrary)(LPCSTR name) = LoadLibraryA;
        BOOL (*FreeLibrary)(HMODULE module) = ::FreeLibrary;
        BOOL (*GetClassInfo)(HINSTANCE instance, LPCSTR name, WNDCLASSA* out) = GetClassInfoA;
        ATOM (*RegisterClass)(const WNDCLASSA* wc) = RegisterClassA;
    };

    TQSRTF_DLL() = default;
    explicit TQSRTF_DLL(const TSystem& system) : System(system) {}
    ~TQSRTF_DLL();
    TQSRTF_DLL(const TQSRTF_DLL&) = delete;
    TQSRTF_DLL& operator=(const TQSRTF_DLL&) = delete;

    // Loads "RichEd20.dll", else the older "RichEd32.dll", whose class "RICHEDIT" is then registered again
    // as "RichEdit20A" when that class is missing. True when a library is loaded (now or before).
    bool Load();
    bool IsLoaded() const { return Module != nullptr; }
    HMODULE GetModule() const { return Module; }

    static TQSRTF_DLL& Global();

private:
    TSystem System;
    HMODULE Module = nullptr;
};

class TQSRTFControl : public TEdit {
public:
    TQSRTFControl(TWindow* parent, int id, const char* text, int x, int y, int w, int h, UINT textLimit,
                  bool multiline, TModule* module = nullptr);
    // A control of a dialog template: Enter and Esc stay the dialog's, and the text is not selected when
    // the control gets the focus.
    TQSRTFControl(TWindow* parent, int resourceId, UINT textLimit = 0, TModule* module = nullptr);

    const char* GetClassName() override { return RICHEDIT_CLASSA; }

    // Replaces the text by the stream's bytes from its position on: rich text with format 1, plain text
    // otherwise. Answers the number of characters the control took.
    LRESULT StreamIn(TQSRStream& stream, int format);
    DWORD GetEventMask() const { return static_cast<DWORD>(SendMessage(EM_GETEVENTMASK)); }
    DWORD SetEventMask(DWORD mask) { return static_cast<DWORD>(SendMessage(EM_SETEVENTMASK, 0, mask)); }
    void SetAutoUrlDetect(bool on) { SendMessage(EM_AUTOURLDETECT, on ? TRUE : FALSE); }
    // Makes the default character format Courier New, fixed pitch.
    void SetFixedFont();

    LRESULT EvGetDlgCode(const MSG* msg);

    // Bits taken out of the edit control's answer to WM_GETDLGCODE.
    UINT DlgCodeMask = 0;

    DECLARE_RESPONSE_TABLE(TQSRTFControl);
};
