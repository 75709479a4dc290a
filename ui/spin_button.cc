#include "ui/spin_button.h"

#include <algorithm>

#include "ui/edit_number.h"

namespace {
constexpr UINT kRepeatTimer = 1;
constexpr UINT kFirstRepeatMs = 300;
constexpr UINT kRepeatMs = 50;
}  // namespace

TSpinButton::TSpinButton(TQSREditValue* buddy, TModule* module) : Buddy(buddy) {
    Init(buddy->GetParentO(), nullptr, module);
    Attr.Style = WS_CHILD | WS_VISIBLE;
    Attr.W = 12;
    Attr.H = 20;
}

TSpinButton::~TSpinButton() {
    if (Buddy != nullptr && Buddy->SpinButton == this) Buddy->SpinButton = nullptr;
}

void TSpinButton::GetWindowClass(WNDCLASSA& wc) {
    TControl::GetWindowClass(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
}

void TSpinButton::SetupWindow() {
    TControl::SetupWindow();
    PlaceBesideBuddy();
}

void TSpinButton::PlaceBesideBuddy() {
    if (Handle == nullptr || Buddy == nullptr || Buddy->GetHandle() == nullptr) return;
    int bx = GetSystemMetrics(SM_CXBORDER), by = GetSystemMetrics(SM_CYBORDER);
    TRect r = Buddy->GetWindowRect();
    if (HWND parent = GetParentH()) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    int left = r.right + 3 * bx, top = r.top - by;
    int width = 3 * bx + 10, height = r.Height() + by;
    if (height % 2 == 0) ++height;
    ::SetWindowPos(Handle, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

TRect TSpinButton::GetHalfRect(int direction) const {
    TRect c = GetClientRect();
    int h = c.Height() / 2;
    if (direction > 0) return TRect(c.left, c.top, c.right, c.top + h);
    if (direction < 0) return TRect(c.left, c.top + h + 1, c.right, c.bottom);
    return c;
}

int TSpinButton::HitDirection(const TPoint& p) const {
    if (GetHalfRect(-1).Contains(p)) return -1;
    if (GetHalfRect(+1).Contains(p)) return +1;
    return 0;
}

void TSpinButton::EvLButtonDown(UINT, const TPoint& p) {
    int dir = HitDirection(p);
    if (dir == 0) return;
    SetCapture();
    Pressed = 1;
    Direction = dir;
    Buddy->SetFocus();
    Buddy->Step(dir);
    Invalidate(false);
    SetTimer(kRepeatTimer, kFirstRepeatMs);
}

void TSpinButton::EvMouseMove(UINT, const TPoint& p) {
    if (!Pressed) return;
    int dir = HitDirection(p);
    if (dir == Direction) return;
    Direction = dir;
    Invalidate(false);
}

void TSpinButton::EvLButtonUp(UINT, const TPoint&) {
    Release();
}

void TSpinButton::EvCaptureChanged(HWND) {
    // A press that loses the mouse to another window ends as if released, so the steps stop.
    Release();
}

void TSpinButton::Release() {
    if (!Pressed) return;
    KillTimer(kRepeatTimer);
    Pressed = 0;
    Direction = 0;
    if (::GetCapture() == Handle) ReleaseCapture();
    Invalidate(false);
}

void TSpinButton::EvTimer(UINT id) {
    if (id != kRepeatTimer) {
        TControl::EvTimer(id);
        return;
    }
    KillTimer(kRepeatTimer);
    if (Direction != 0) Buddy->Step(Direction);
    SetTimer(kRepeatTimer, kRepeatMs);
}

void TSpinButton::EvSetFocus(HWND) {
    Buddy->SetFocus();
}

void TSpinButton::Paint(TDC& dc, bool, TRect&) {
    TRect c = GetClientRect();
    int bx = GetSystemMetrics(SM_CXBORDER), by = GetSystemMetrics(SM_CYBORDER);
    int h = c.Height() / 2;
    auto blit = [&](int stock, const TRect& r) {
        dc.SelectStockObject(stock);
        dc.PatBlt(r, PATCOPY);
    };
    // The black frame, with the row between the halves.
    blit(BLACK_BRUSH, TRect(c.left, c.top, c.right, c.top + 1));
    blit(BLACK_BRUSH, TRect(c.left, c.bottom - 1, c.right, c.bottom));
    blit(BLACK_BRUSH, TRect(c.left, c.top, c.left + 1, c.bottom));
    blit(BLACK_BRUSH, TRect(c.right - 1, c.top, c.right, c.bottom));
    blit(BLACK_BRUSH, TRect(c.left, c.top + h, c.right, c.top + h + 1));

    bool enabled = ::IsWindowEnabled(Buddy->GetHandle()) != 0;
    for (int dir : {+1, -1}) {
        TRect half = GetHalfRect(dir);
        TRect face(half.left + 1, dir > 0 ? half.top + 1 : half.top, half.right - 1,
                   dir > 0 ? half.bottom : half.bottom - 1);
        if (face.IsEmpty()) continue;
        // A raised face: light on the top and left, dark on the bottom and right.
        blit(LTGRAY_BRUSH, face);
        blit(WHITE_BRUSH, TRect(face.left, face.top, face.right, face.top + by));
        blit(WHITE_BRUSH, TRect(face.left, face.top, face.left + bx, face.bottom));
        blit(DKGRAY_BRUSH, TRect(face.left, face.bottom - by, face.right, face.bottom));
        blit(DKGRAY_BRUSH, TRect(face.right - bx, face.top, face.right, face.bottom));

        // The arrow: a triangle centred in the face, pointing up or down.
        TRect in(face.left + bx, face.top + by, face.right - bx, face.bottom - by);
        int t = std::min((in.Width() - 2) / 2, in.Height() - 2);
        if (t >= 1) {
            int cx = in.left + (in.Width() - 1) / 2;
            int top = in.top + (in.Height() - (t + 1)) / 2;
            POINT pts[3];
            if (dir > 0) {
                pts[0] = {cx, top};
                pts[1] = {cx - t, top + t};
                pts[2] = {cx + t, top + t};
            } else {
                pts[0] = {cx - t, top};
                pts[1] = {cx + t, top};
                pts[2] = {cx, top + t};
            }
            dc.SelectStockObject(enabled ? BLACK_BRUSH : GRAY_BRUSH);
            dc.SelectStockObject(enabled ? BLACK_PEN : WHITE_PEN);
            dc.Polygon(pts, 3);
        }
        if (Pressed && Direction == dir) dc.InvertRect(face);
    }
    dc.RestoreObjects();
}

DEFINE_RESPONSE_TABLE1(TSpinButton, TControl)
EV_WM_LBUTTONDOWN, EV_WM_MOUSEMOVE, EV_WM_LBUTTONUP, EV_WM_TIMER, EV_WM_SETFOCUS, EV_WM_CAPTURECHANGED,
    END_RESPONSE_TABLE;
