#include "ui/rich_edit.h"

#include <cstring>

namespace {

const char kClassName[] = "RichEdit20A";
const char kOldClassName[] = "RICHEDIT";

// Hands the control the next bytes of the stream that the cookie holds.
DWORD ReadFromStream(DWORD_PTR cookie, LPBYTE buf, LONG cb, LONG* pcb) {
    auto* stream = reinterpret_cast<TQSRStream*>(cookie);
    *pcb = cb > 0 ? static_cast<LONG>(stream->ReadBlock(buf, static_cast<DWORD>(cb))) : 0;
    return 0;
}

}  // namespace

// ---- the library ----

TQSRTF_DLL::~TQSRTF_DLL() {
    if (Module) System.FreeLibrary(Module);
}

TQSRTF_DLL& TQSRTF_DLL::Global() {
    static TQSRTF_DLL dll;
    return dll;
}

bool TQSRTF_DLL::Load() {
    if (Module) return true;
    Module = System.LoadLibrary("RichEd20.dll");
    if (!Module) Module = System.LoadLibrary("RichEd32.dll");
    if (!Module) return false;
    WNDCLASSA wc{};
    if (!System.GetClassInfo(nullptr, kClassName, &wc) && System.GetClassInfo(nullptr, kOldClassName, &wc)) {
        // Only the older library: its class serves under the newer name.
        wc.lpszClassName = kClassName;
        System.RegisterClass(&wc);
    }
    return true;
}

// ---- the control ----

TQSRTFControl::TQSRTFControl(TWindow* parent, int id, const char* text, int x, int y, int w, int h,
                             UINT textLimit, bool multiline, TModule* module)
    : TEdit(parent, id, text, x, y, w, h, textLimit, multiline, module) {
    TQSRTF_DLL::Global().Load();
}

TQSRTFControl::TQSRTFControl(TWindow* parent, int resourceId, UINT textLimit, TModule* module)
    : TEdit(parent, resourceId, textLimit, module) {
    DlgCodeMask = DLGC_WANTALLKEYS | DLGC_HASSETSEL;
    TQSRTF_DLL::Global().Load();
}

LRESULT TQSRTFControl::StreamIn(TQSRStream& stream, int format) {
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, ReadFromStream};
    return SendMessage(EM_STREAMIN, format == 1 ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
}

void TQSRTFControl::SetFixedFont() {
    CHARFORMATA cf{};
    cf.cbSize = sizeof cf;
    SendMessage(EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
    cf.bCharSet = 0;
    cf.bPitchAndFamily = 0x31;  // fixed pitch, modern family
    std::strncpy(cf.szFaceName, "Courier New", sizeof cf.szFaceName - 1);
    cf.szFaceName[sizeof cf.szFaceName - 1] = 0;
    SendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&cf));
}

LRESULT TQSRTFControl::EvGetDlgCode(const MSG*) {
    return DefaultProcessing() & ~static_cast<LRESULT>(DlgCodeMask);
}

DEFINE_RESPONSE_TABLE1(TQSRTFControl, TEdit)
EV_WM_GETDLGCODE, END_RESPONSE_TABLE;
