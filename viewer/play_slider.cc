#include "viewer/play_slider.h"

#include "viewer/app.h"
#include "viewer/client.h"

TQSMPlaySlider::TQSMPlaySlider(TWindow* parent, int id, int height)
    : TWindow(parent, nullptr),
      TQSHSlider(parent, id, 0, 0, 100, height, IDB_PLAYSLIDER_THUMB, TQSMViewerApp::Get()) {}

DEFINE_RESPONSE_TABLE1(TQSMPlaySlider, TQSHSlider)
EV_WM_RBUTTONDOWN, EV_WM_RBUTTONUP, EV_WM_LBUTTONDOWN, EV_WM_LBUTTONDBLCLK, EV_WM_LBUTTONUP, EV_WM_MOUSEMOVE,
    EV_WM_CAPTURECHANGED, END_RESPONSE_TABLE;

void TQSMPlaySlider::NotePress() {
    if (Pressed) return;
    HWND focus = ::GetFocus();
    FocusBefore = focus != GetHandle() ? focus : nullptr;
    Pressed = true;
}

void TQSMPlaySlider::EvLButtonDown(UINT modKeys, const TPoint& p) {
    NotePress();
    TQSSlider::EvLButtonDown(modKeys, p);
}

void TQSMPlaySlider::EvLButtonDblClk(UINT modKeys, const TPoint& p) {
    NotePress();
    TQSSlider::EvLButtonDblClk(modKeys, p);
}

void TQSMPlaySlider::EvLButtonUp(UINT modKeys, const TPoint& p) {
    TQSSlider::EvLButtonUp(modKeys, p);
    GiveFocusBack();
}

void TQSMPlaySlider::EvMouseMove(UINT modKeys, const TPoint& p) {
    TQSSlider::EvMouseMove(modKeys, p);
    if (!(modKeys & MK_LBUTTON)) GiveFocusBack();
}

void TQSMPlaySlider::EvCaptureChanged(HWND gets) {
    bool dragged = IsDragging();
    TQSSlider::EvCaptureChanged(gets);
    if (dragged && !IsDragging()) GiveFocusBack();
}

void TQSMPlaySlider::GiveFocusBack() {
    if (!Pressed || IsDragging()) return;
    Pressed = false;
    HWND to = FocusBefore;
    FocusBefore = nullptr;
    if (::GetFocus() != GetHandle()) return;
    if (to == nullptr || !::IsWindow(to) || !::IsWindowVisible(to) ||
        ::GetAncestor(to, GA_ROOT) != ::GetAncestor(GetHandle(), GA_ROOT)) {
        TQSMViewerApp* app = TQSMViewerApp::Get();
        to = app && app->GetClient() ? app->GetClient()->GetViewHandle() : nullptr;
    }
    if (to != nullptr) ::SetFocus(to);
}
