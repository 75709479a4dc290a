// The slider of the player bar that shows and sets the play position.
#pragma once

#include "ui/slider.h"

// The thumb bitmap of the play slider.
#define IDB_PLAYSLIDER_THUMB 32000

class TQSMPlaySlider : public TQSHSlider {
public:
    // At the origin, 100 pixels wide; the range stays 0..100 until the owner sets another.
    TQSMPlaySlider(TWindow* parent, int id, int height);

    // A right click neither moves the thumb nor reaches the parent.
    void EvRButtonDown(UINT, const TPoint&) {}
    void EvRButtonUp(UINT, const TPoint&) {}

    // A press takes the focus while the mouse works the slider. Once the button is up (a click, or a drag
    // that ended) the focus goes back to the window that had it before, else to the score view, so that the
    // commands and keys of the score reach it again.
    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvLButtonDblClk(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvCaptureChanged(HWND gets);
    DECLARE_RESPONSE_TABLE(TQSMPlaySlider);

private:
    void NotePress();
    void GiveFocusBack();

    bool Pressed = false;
    HWND FocusBefore = nullptr;
};
