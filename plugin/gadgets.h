// The command buttons and separators of the plug-in's player bar. A button shows its glyph bitmap at the
// bitmap's own size (the glyph's resource id is its command id), asks the window that owns the bar whether
// its command is available, and posts its command to the bar when clicked while enabled.
#pragma once

#include "platform/framework/gadgets.h"
#include "ui/button_gadget.h"

class TQSCommandButtonGadget;

// The enabler of one command button: Enable turns it on or off, SetCheck sets its state, SetText does
// nothing.
class TQSCmdBtnGadgetEnabler : public TToolButtonGadgetEnabler {
public:
    TQSCmdBtnGadgetEnabler(HWND receiver, TQSCommandButtonGadget& gadget);
};

class TQSCommandButtonGadget : public TToolbarButtonGadget {
public:
    // The glyph is the bitmap resource glyphId of the bar's module.
    TQSCommandButtonGadget(int glyphId, int id, int type = Command, bool enabled = false, int state = Up);

    // Sends the enabler to the window that owns the bar.
    void CommandEnable() override;
    // The glyph unscaled, with its colour 15 shown as the button face.
    TDib* GetGlyphBitmap() override;
    // Posts WM_COMMAND (id, 0) to the bar when the button is enabled.
    void Activate(const TPoint& p) override;
};

// A separator 6 borders wide (high in a vertical bar) with a sunken groove.
class TQSFlatBtnSeparatorGadget : public TSeparatorGadget {
public:
    TQSFlatBtnSeparatorGadget();
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;
};
