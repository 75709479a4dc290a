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
    DECLARE_RESPONSE_TABLE(TQSMPlaySlider);
};
