// Separators of tool and status bars, the frame's status bar with its etched top edge and size grip, and
// the grip itself.
//
// Hints: a hint is a long line, a line break and a short line. The status bar shows the long line; while a
// toolbar or button gadget hands a mouse move on (HintToTipDepth raised) the short line goes to the tooltip
// instead and the status bar keeps what it shows.
#pragma once

#include <cstdint>

#include "platform/framework/gadgets.h"

// Divides groups of buttons in a toolbar: a groove across the bar, or along it where the bar is vertical
// or the row wraps after it. The last gadget of a bar draws nothing.
class TQSToolbarSeparatorGadget : public TSeparatorGadget {
public:
    TQSToolbarSeparatorGadget();
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;

protected:
    // The rectangle the groove spans: the next gadget's bounds.
    virtual TRect ReferenceRect() const;
};

// Divides the panes of a status bar or gadget window with a vertical groove.
class TQSStatusSeparatorGadget : public TSeparatorGadget {
public:
    TQSStatusSeparatorGadget(int size, int inset, int extra);
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;

protected:
    int Inset;
    int Width;
};

// The size grip in the status bar's right corner (id 9999). While hidden (the frame is maximised) it keeps
// one pixel and draws nothing.
class TSizeGripGadget : public TGadget {
public:
    TSizeGripGadget();
    void GetDesiredSize(TSize& size) override;
    void Paint(TDC& dc) override;
    bool IsShown() const;
    static constexpr int kId = 9999;

protected:
    int GripSize;
};

class TStatusBar95 : public TStatusBar {
public:
    TStatusBar95(TWindow* parent, TGadget::TBorderStyle borderStyle = TGadget::Recessed,
                 UINT modeIndicators = 0, TFont* font = nullptr, TModule* module = nullptr);
    ~TStatusBar95() override;

    // Panes inserted without a sibling go after the last pane, before the mode indicators and the grip.
    void Insert(TGadget& gadget, TPlacement placement = After, TGadget* sibling = nullptr) override;
    void GetDesiredSize(TSize& size) override;
    void PositionGadgets() override;
    void SetHintText(const char* text) override;
    // Whether the grip shows: the bar has a window, its frame has one and is not maximised.
    bool UpdateGripVisibility();
    TSizeGripGadget* GetGrip() const { return Grip; }
    uint16_t GetPlacement() const { return Placement; }

    LRESULT EvNCCalcSize(WPARAM wp, LPARAM lp);
    LRESULT EvNCPaint(WPARAM wp, LPARAM lp);
    LRESULT EvNCHitTest(const TPoint& p);
    DECLARE_RESPONSE_TABLE(TStatusBar95);

protected:
    // The etched line along the top edge, new look.
    uint16_t Placement = 0x0280;
    TSizeGripGadget* Grip = nullptr;
};
