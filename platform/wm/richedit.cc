// The rich-text view "RichEdit20A": for now a read-only multi-line text view over the edit control.
#include "platform/wm/control_util.h"

namespace qsm::wm {

LRESULT RichEditProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_NCCREATE) {
        Window* w = W(h);
        if (w != nullptr) w->style |= ES_MULTILINE;
    }
    return EditProc(h, msg, wparam, lparam);
}

}  // namespace qsm::wm
