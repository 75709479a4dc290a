// The one tooltip of the process: a small topmost popup that shows a one-line tip below the item under the
// mouse. It keeps no list of tools: the owner of the item (a toolbar, a button gadget) tells it the item's
// screen rectangle with SetToolRect, and the hint route of the status bar hands it the text with SetText.
// One window timer does the rest: the tip shows 600 ms after a new text (50 ms when another tip was hidden
// for a new text within the last 600 ms), is checked every 200 ms while shown, and hides when the cursor
// leaves the rectangle or a window takes the mouse capture. The tip never activates and lets the mouse
// through to the window beneath it.
#pragma once

#include <cstdint>

#include "platform/framework/window.h"

class TToolTip : public TWindow {
public:
    // Makes the window at once, hidden.
    TToolTip();
    ~TToolTip() override;

    // The item's rectangle in screen coordinates; with placeRect the tip goes to its top-left corner instead
    // of below the item. font (not owned) is used for the next showing; null means the stock ANSI_VAR_FONT.
    void SetToolRect(const TRect& toolRect, const TRect* placeRect = nullptr, TFont* font = nullptr);
    // A new text hides a visible tip and arms the timer; the text already set changes nothing; null or an
    // empty text hides the tip and stops the timer.
    void SetText(const char* text);
    // The timer's work.
    void CheckHover();
    void KillHoverTimer();

    void Paint(TDC& dc, bool erase, TRect& rect) override;
    void GetWindowClass(WNDCLASSA& wc) override;
    const char* GetClassName() override { return "TToolTip"; }

    LRESULT EvNCHitTest(const TPoint& p);
    void EvTimer(UINT id);
    DECLARE_RESPONSE_TABLE(TToolTip);

    static constexpr UINT kTimerId = 1000;
    static constexpr UINT kShowDelay = 600;
    static constexpr UINT kQuickDelay = 50;
    static constexpr UINT kCheckPeriod = 200;

    UINT_PTR GetHoverTimer() const { return HoverTimer; }
    const TRect& GetToolRect() const { return ToolRect; }

protected:
    void ShowTip();

    UINT_PTR HoverTimer = 0;
    uint32_t LastHideTick = 0;
    // Whether a visible tip was ever hidden by a text change (LastHideTick is meaningful).
    bool HiddenOnce = false;
    TFont* TipFont = nullptr;
    TRect ToolRect;
    TRect PlaceRect;
    bool NoPlaceRect = true;
};

// The process's tooltip; null while there is none. Every user tests it before calling.
extern TToolTip* GlobalToolTip;

// Raised while a toolbar or gadget hands a mouse move to the gadget machinery: while it is non-zero the
// status bar sends the short line of a hint to the tooltip instead of showing the long line.
extern int HintToTipDepth;
