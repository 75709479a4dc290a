// The drawing side of windows. Device contexts come from the drawing layer; until a window has a back
// buffer there is nothing to draw on and the functions below do nothing but keep the bookkeeping.
#include "platform/wm/internal.h"

namespace qsm::wm {

HDC MakePaintDc(Window*, const Region&) {
    return nullptr;
}
void PresentClientRect(Window* w, const RECT& client_rect) {
    Window* top = TopLevel(w);
    POINT o = ClientOrigin(w);
    POINT t = ScreenOrigin(top);
    RECT r = client_rect;
    OffsetRect(&r, o.x - t.x, o.y - t.y);
    CurrentBackend().Present(top->handle, r);
}
void ScrollPixels(Window*, const RECT&, int, int) {}
void FillRectWithBrush(HDC, const RECT&, HBRUSH) {}
void PaintNonClient(Window*) {}
HBRUSH DefaultControlColor(HDC, UINT msg) {
    return GetSysColorBrush(msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW
                                                                                : COLOR_BTNFACE);
}
void SysColorsChanged() {}

}  // namespace qsm::wm

using namespace qsm::wm;

HBRUSH GetSysColorBrush(int index) {
    // The classic convention: a system colour brush is the colour index plus one.
    return reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(index + 1));
}
HDC GetDC(HWND) {
    return nullptr;
}
HDC GetWindowDC(HWND) {
    return nullptr;
}
HDC GetDCEx(HWND, HRGN, DWORD) {
    return nullptr;
}
int ReleaseDC(HWND, HDC) {
    return 1;
}
