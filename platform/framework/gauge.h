// A gauge: a sunken box in the button face showing how far a value has come through its range, as a solid
// bar or as a row of LED blocks, drawn by the class library itself.
//
// The bar fills the box inside the margin from the left (horizontal) or from the bottom (vertical) in the
// highlight colour, in proportion to (value - min) / (max - min); an empty range shows no bar. With LEDs
// (SetLed) the bar is cut into blocks: a block starts every `spacing` units of the range and is `thick`
// percent of that step long; a block shows when its start lies below the value. Values are kept inside
// the range. A title, when given, is drawn centred over the box in the button text colour.
#pragma once

#include "platform/framework/controls.h"

class TGauge : public TControl {
public:
    TGauge(TWindow* parent, const char* title, int id, int x, int y, int w, int h, bool isHorizontal = true,
           int margin = 1, TModule* module = nullptr);

    void SetRange(int min, int max);
    void GetRange(int& min, int& max) const {
        min = Min;
        max = Max;
    }
    void SetValue(int value);
    int GetValue() const { return Value; }
    void DeltaValue(int delta) { SetValue(Value + delta); }
    // LED blocks: spacing in units of the range (0 = a solid bar), thick in percent of a step (1-100).
    void SetLed(int spacing, int thickPercent = 90);

    const char* GetClassName() override { return "QSMGauge"; }
    void GetWindowClass(WNDCLASSA& wc) override;
    void Paint(TDC& dc, bool erase, TRect& rect) override;

    // The rectangles the bar is drawn as for a client rectangle (for tests and owners that draw alike).
    std::vector<TRect> BarRects(const TRect& client) const;

private:
    bool Horizontal;
    int Margin;
    int Min = 0, Max = 100, Value = 0;
    int LedSpacing = 0, LedThick = 90;
};
