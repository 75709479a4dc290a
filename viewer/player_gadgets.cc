#include "viewer/player_gadgets.h"

#include "ui/button_gadget.h"
#include "ui/status_bar.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/play_slider.h"

TQSMPlayerGadgets::TQSMPlayerGadgets(TWindow* parent)
    : TWindow(parent, nullptr), TGadgetWindow(parent, Horizontal) {
    Slider = new TQSMPlaySlider(this, IDC_PLAYSLIDER, 20);
    Slider->Attr.W = 200;
    Insert(*new TControlGadget(*Slider));
    auto button = [this](UINT id) {
        Insert(*new TToolbarButtonGadget(static_cast<int>(id), static_cast<int>(id)));
    };
    button(CM_QSM_PLAY);
    button(CM_QSM_PAUSE);
    button(CM_QSM_STOP);
    Insert(*new TQSStatusSeparatorGadget(6, 0, 0));
    button(CM_QSM_GOTOSTART);
    button(CM_QSM_GOTOEND);
    Insert(*new TQSStatusSeparatorGadget(3, 0, 0));
    button(CM_QSM_REPEATPLAY);
    button(CM_QSM_SLOWER);
    button(CM_QSM_FASTER);
    button(CM_QSM_TRANSPOSEMENU);
    button(CM_QSM_MUTELIST);
    if (TQSMViewerApp* app = TQSMViewerApp::Get()) app->SetPlaySlider(Slider);
}

TQSMPlayerGadgets::~TQSMPlayerGadgets() {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->GetPlaySlider() == Slider) app->SetPlaySlider(nullptr);
}

void TQSMPlayerGadgets::SetupWindow() {
    TGadgetWindow::SetupWindow();
    Slider->SetRuler(8, false);
    Slider->SetRange(0, 16384);
}

void TQSMPlayerGadgets::EvHScroll(UINT code, UINT thumbPos, HWND ctl) {
    TQSMViewerApp* app = TQSMViewerApp::Get();
    if (app && app->GetClient() && ctl == Slider->GetHandle())
        app->GetClient()->SeekToSliderPos(static_cast<int>(code), static_cast<int>(thumbPos));
}

DEFINE_RESPONSE_TABLE1(TQSMPlayerGadgets, TGadgetWindow)
EV_WM_HSCROLL, END_RESPONSE_TABLE;
