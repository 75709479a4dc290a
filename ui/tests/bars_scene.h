// A frame as the programs build it: a player bar (a gadget window with a slider in a control gadget,
// command, toggle and exclusive buttons and separators) and a status bar with panes and grip, plus the
// tooltip. Shared by the headless test and the test on a real display.
#pragma once

#include <utility>
#include <vector>

#include "platform/framework/frame.h"
#include "platform/framework/gadgets.h"
#include "ui/button_gadget.h"
#include "ui/slider.h"
#include "ui/status_bar.h"
#include "ui/tooltip.h"

namespace qsm::uitest {

enum : int { kCmPlay = 120, kCmLoop = 121, kCmSlow = 122, kCmFast = 123, kSliderId = 130 };

// The player bar: hears the slider and shows the position it is dragged to.
class TPlayerBar : public TGadgetWindow {
public:
    explicit TPlayerBar(TWindow* parent);
    void EvHScroll(UINT code, UINT pos, HWND ctl);
    std::vector<std::pair<int, int>> Heard;
    TQSHSlider* Slider = nullptr;
    DECLARE_RESPONSE_TABLE(TPlayerBar);
};

class TBarsFrame : public TDecoratedFrame {
public:
    TBarsFrame();
    void CmPlay() { Commands.push_back(kCmPlay); }
    void CmLoop() { Commands.push_back(kCmLoop); }
    void CmSlow() { Commands.push_back(kCmSlow); }
    void CmFast() { Commands.push_back(kCmFast); }
    std::vector<int> Commands;
    TPlayerBar* Bar = nullptr;
    TStatusBar95* Status = nullptr;
    TToolbarButtonGadget* Play = nullptr;
    TToolbarButtonGadget* Loop = nullptr;
    TToolbarButtonGadget* Slow = nullptr;
    TToolbarButtonGadget* Fast = nullptr;
    TTextGadget* BarPane = nullptr;
    DECLARE_RESPONSE_TABLE(TBarsFrame);
};

// Registers the glyphs, hint strings and slider thumb, builds the frame (not yet created) and the tooltip
// comes with Create. The frame is w x h at (x, y).
TBarsFrame* BuildBarsFrame(int x, int y, int w, int h);
// Makes the tooltip (after the frame's window exists).
void MakeToolTip();
void DestroyToolTip();

}  // namespace qsm::uitest
