// The player bar at the bottom of the viewer's frame: the play slider, then the transport buttons.
#pragma once

#include "platform/framework/gadgets.h"

class TQSMPlaySlider;

// Command ids of the player bar's buttons.
enum : UINT {
    CM_QSM_PLAY = 120,
    CM_QSM_STOP = 121,
    CM_QSM_PAUSE = 125,
    CM_QSM_PLAYPAUSE = 126,
    CM_QSM_STOPPLAY = 130,
    CM_QSM_MUTELIST = 132,
    CM_QSM_GOTOSTART = 133,
    CM_QSM_GOTOEND = 134,
};

// The id of the play slider in the player bar.
#define IDC_PLAYSLIDER 100

class TQSMPlayerGadgets : public TGadgetWindow {
public:
    // The slider (200 x 20) in a control gadget, then the buttons 120, 125, 121, a separator of 6, 133,
    // 134, a separator of 3, 123, 129, 128, 136 and 132. The application learns the slider.
    explicit TQSMPlayerGadgets(TWindow* parent);
    ~TQSMPlayerGadgets() override;

    void SetupWindow() override;
    TQSMPlaySlider* GetSlider() const { return Slider; }

    // The slider's notifications become seeks of the client.
    void EvHScroll(UINT code, UINT thumbPos, HWND ctl);
    DECLARE_RESPONSE_TABLE(TQSMPlayerGadgets);

private:
    TQSMPlaySlider* Slider;
};
