#include "plugin/gadgets.h"

#include "ui/edge_border.h"

namespace {

// The colour of a glyph that shows the button face.
constexpr int kFaceIndex = 15;

}  // namespace

TQSCmdBtnGadgetEnabler::TQSCmdBtnGadgetEnabler(HWND receiver, TQSCommandButtonGadget& gadget)
    : TToolButtonGadgetEnabler(receiver, gadget) {}

TQSCommandButtonGadget::TQSCommandButtonGadget(int glyphId, int id, int type, bool enabled, int state)
    : TToolbarButtonGadget(glyphId, id, type, enabled, state) {}

void TQSCommandButtonGadget::CommandEnable() {
    if (!Window || !Window->GetHandle()) return;
    HWND owner = ::GetParent(Window->GetHandle());
    if (!owner) return;
    TQSCmdBtnGadgetEnabler ce(Window->GetHandle(), *this);
    SendMessageA(owner, WM_COMMAND_ENABLE, 0, reinterpret_cast<LPARAM>(&ce));
}

TDib* TQSCommandButtonGadget::GetGlyphBitmap() {
    TModule* module = Window && Window->GetModule() ? Window->GetModule() : &TModule::GetDefault();
    auto* dib = new TDib(module->GetInstance(), GetGlyphId());
    if (!dib->IsOK()) {
        delete dib;
        return nullptr;
    }
    if (kFaceIndex < dib->NumColors()) dib->SetColor(kFaceIndex, TColor(GetSysColor(COLOR_BTNFACE)));
    return dib;
}

void TQSCommandButtonGadget::Activate(const TPoint& p) {
    if (Type == Exclusive)
        SetButtonState(Down);
    else if (Type == Toggle)
        SetButtonState(State == Down ? Up : Down);
    CancelPressed(p);
    if (Enabled && Window && Window->GetHandle())
        PostMessageA(Window->GetHandle(), WM_COMMAND, static_cast<WPARAM>(Id), 0);
}

TQSFlatBtnSeparatorGadget::TQSFlatBtnSeparatorGadget() : TSeparatorGadget(6) {}

void TQSFlatBtnSeparatorGadget::GetDesiredSize(TSize& size) {
    TSeparatorGadget::GetDesiredSize(size);
    const int cx = 6 * GetSystemMetrics(SM_CXBORDER), cy = 6 * GetSystemMetrics(SM_CYBORDER);
    if (!Window) {
        size.cx = cx;
        size.cy = cy;
    } else if (Window->GetDirection() == TGadgetWindow::Horizontal) {
        size.cx = cx;
    } else {
        size.cy = cy;
    }
}

// A sunken edge on a strip 4 pixels across at the separator's leading side: along the strip's top in a
// horizontal bar, along its bottom in a vertical one.
void TQSFlatBtnSeparatorGadget::Paint(TDC& dc) {
    TSeparatorGadget::Paint(dc);
    const TRect& b = Bounds;
    if (!Window || Window->GetDirection() == TGadgetWindow::Horizontal)
        EdgeBorder(TRect(b.left, b.top, b.left + 4, b.bottom), EdgeBorder::Style{9}, BF_TOP).Paint(dc);
    else
        EdgeBorder(TRect(b.left, b.top, b.right, b.top + 4), EdgeBorder::Style{9}, BF_BOTTOM).Paint(dc);
}
