// The gauge control.
#include "platform/framework/gauge.h"

#include <algorithm>
#include <cstdint>
#include <vector>

TGauge::TGauge(TWindow* parent, const char* title, int id, int x, int y, int w, int h, bool isHorizontal,
               int margin, TModule* module)
    : TControl(parent, id, title, x, y, w, h, module),
      Horizontal(isHorizontal),
      Margin(std::max(margin, 0)) {}

void TGauge::GetWindowClass(WNDCLASSA& wc) {
    TControl::GetWindowClass(wc);
    wc.hbrBackground = nullptr;  // Paint covers the whole box
}

void TGauge::SetRange(int min, int max) {
    Min = min;
    Max = std::max(min, max);
    SetValue(Value);
    if (GetHandle()) Invalidate(false);
}

void TGauge::SetValue(int value) {
    value = std::clamp(value, Min, Max);
    if (value == Value) return;
    Value = value;
    if (GetHandle()) Invalidate(false);
}

void TGauge::SetLed(int spacing, int thickPercent) {
    LedSpacing = std::max(spacing, 0);
    LedThick = std::clamp(thickPercent, 1, 100);
    if (GetHandle()) Invalidate(false);
}

std::vector<TRect> TGauge::BarRects(const TRect& client) const {
    std::vector<TRect> out;
    // The sunken edge takes two pixels on every side, the margin the rest.
    TRect inner(client.left + 2 + Margin, client.top + 2 + Margin, client.right - 2 - Margin,
                client.bottom - 2 - Margin);
    int length = Horizontal ? inner.Width() : inner.Height();
    int64_t range = static_cast<int64_t>(Max) - Min;
    if (length <= 0 || inner.Width() <= 0 || inner.Height() <= 0 || range <= 0 || Value <= Min) return out;
    auto span = [&](int64_t from, int64_t to) {  // range units to a pixel span along the bar
        int a = static_cast<int>(from * length / range), b = static_cast<int>(to * length / range);
        if (b <= a) return;
        if (Horizontal)
            out.emplace_back(inner.left + a, inner.top, inner.left + b, inner.bottom);
        else
            out.emplace_back(inner.left, inner.bottom - b, inner.right, inner.bottom - a);
    };
    int64_t done = static_cast<int64_t>(Value) - Min;
    if (LedSpacing <= 0) {
        span(0, done);
        return out;
    }
    for (int64_t start = 0; start < done; start += LedSpacing) {
        int64_t end = start + std::max<int64_t>(1, LedSpacing * LedThick / 100);
        span(start, std::min(end, range));
    }
    return out;
}

void TGauge::Paint(TDC& dc, bool, TRect&) {
    TRect client = GetClientRect();
    dc.FillRect(client, TBrush(TColor::Sys3dFace()));
    dc.DrawEdge(client, EDGE_SUNKEN, BF_RECT);
    TBrush bar(TColor::System(COLOR_HIGHLIGHT));
    for (const TRect& r : BarRects(client))
        dc.FillRect(r, bar);
    std::string title = GetCaption();
    if (!title.empty()) {
        dc.SetBkMode(TRANSPARENT);
        dc.SetTextColor(TColor::SysBtnText());
        dc.DrawText(title.c_str(), -1, client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}
