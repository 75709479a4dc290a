// The small up and down arrow control at the right of a numeric edit (its buddy). A press on one half
// steps the buddy once at once, again after 300 ms and then every 50 ms while the button is held; dragging
// the pointer to the other half reverses the direction, and outside both halves the steps pause. The buddy
// makes, places, enables and shows its spin button; nobody else makes one.
#pragma once

#include "platform/framework/controls.h"

class TQSREditValue;

class TSpinButton : public TControl {
public:
    TSpinButton(TQSREditValue* buddy, TModule* module = nullptr);
    ~TSpinButton() override;

    // Places the button beside the buddy: three borders to its right, ten pixels and three borders wide,
    // from one border above its top to its bottom, of odd height (the halves then match).
    void PlaceBesideBuddy();
    // The halves of the client rectangle: the upper one for +1, the lower one for -1; a row between them
    // belongs to neither. Direction 0 gives the whole client rectangle.
    TRect GetHalfRect(int direction) const;
    // The half under a point of the client area: +1, -1, or 0 for neither.
    int HitDirection(const TPoint& p) const;

    int GetDirection() const { return Direction; }
    bool IsPressed() const { return Pressed != 0; }

    const char* GetClassName() override { return "TSpinButton"; }
    void GetWindowClass(WNDCLASSA& wc) override;
    void SetupWindow() override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;

    void EvLButtonDown(UINT modKeys, const TPoint& p);
    void EvMouseMove(UINT modKeys, const TPoint& p);
    void EvLButtonUp(UINT modKeys, const TPoint& p);
    void EvTimer(UINT id);
    void EvSetFocus(HWND lost);
    void EvCaptureChanged(HWND gets);

    DECLARE_RESPONSE_TABLE(TSpinButton);

private:
    friend class TQSREditValue;
    void Release();
    TQSREditValue* Buddy;
    int Direction = 0;
    int Pressed = 0;
};
