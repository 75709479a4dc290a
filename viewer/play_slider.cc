#include "viewer/play_slider.h"

#include "viewer/app.h"

TQSMPlaySlider::TQSMPlaySlider(TWindow* parent, int id, int height)
    : TWindow(parent, nullptr),
      TQSHSlider(parent, id, 0, 0, 100, height, IDB_PLAYSLIDER_THUMB, TQSMViewerApp::Get()) {}

DEFINE_RESPONSE_TABLE1(TQSMPlaySlider, TQSHSlider)
EV_WM_RBUTTONDOWN, EV_WM_RBUTTONUP, END_RESPONSE_TABLE;
