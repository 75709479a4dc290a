#include "ui/tooltip.h"

#include <algorithm>
#include <string>

#include "core/sys_info.h"
#include "ui/ui_draw.h"

TToolTip* GlobalToolTip = nullptr;
int HintToTipDepth = 0;

namespace {

// Tips are shown and measured with at most this many characters.
constexpr size_t kMaxTipChars = 127;

}  // namespace

DEFINE_RESPONSE_TABLE1(TToolTip, TWindow)
EV_WM_NCHITTEST, EV_WM_TIMER, END_RESPONSE_TABLE;

TToolTip::TToolTip() : TWindow(static_cast<TWindow*>(nullptr), "") {
    Attr.Style = WS_POPUP;
    Attr.ExStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    DisableAutoCreate();
    Create();
}

TToolTip::~TToolTip() {
    KillHoverTimer();
}

void TToolTip::GetWindowClass(WNDCLASSA& wc) {
    TWindow::GetWindowClass(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_SAVEBITS;
}

LRESULT TToolTip::EvNCHitTest(const TPoint&) {
    return HTTRANSPARENT;
}

void TToolTip::EvTimer(UINT) {
    CheckHover();
}

void TToolTip::SetToolRect(const TRect& toolRect, const TRect* placeRect, TFont* font) {
    ToolRect = toolRect;
    NoPlaceRect = placeRect == nullptr;
    if (placeRect) PlaceRect = *placeRect;
    TipFont = font;
}

void TToolTip::KillHoverTimer() {
    if (HoverTimer == 0) return;
    if (Handle) KillTimer(kTimerId);
    HoverTimer = 0;
}

void TToolTip::SetText(const char* text) {
    // The whole text is compared, however long, so that a long tip set again on every mouse move neither
    // restarts the delay nor blinks.
    if (text != nullptr && Title == text) return;
    SetCaption(text ? text : "");
    if (Handle && IsWindowVisible()) {
        TipFont = nullptr;
        LastHideTick = GetTickCount();
        HiddenOnce = true;
        Show(SW_HIDE);
        UpdateWindow();
    }
    KillHoverTimer();
    if (text == nullptr || *text == 0 || !Handle) return;
    // Elapsed time in unsigned arithmetic holds across the wrap of the tick count.
    uint32_t since = static_cast<uint32_t>(GetTickCount()) - LastHideTick;
    UINT delay = HiddenOnce && since <= kShowDelay ? kQuickDelay : kShowDelay;
    HoverTimer = SetTimer(kTimerId, delay);
}

void TToolTip::CheckHover() {
    if (HoverTimer == 0) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    bool inside = cursor.x >= ToolRect.left && cursor.x < ToolRect.right && cursor.y >= ToolRect.top &&
                  cursor.y < ToolRect.bottom;
    if (!inside || ::GetCapture() != nullptr) {
        SetText(nullptr);
        return;
    }
    if (IsWindowVisible()) return;
    KillHoverTimer();
    ShowTip();
    HoverTimer = SetTimer(kTimerId, kCheckPeriod);
}

void TToolTip::ShowTip() {
    std::string text = Title.substr(0, kMaxTipChars);
    TSize extent;
    {
        TClientDC dc(*this);
        if (TipFont)
            dc.SelectObject(*TipFont);
        else
            dc.SelectStockObject(ANSI_VAR_FONT);
        extent = dc.GetTextExtent(text.c_str(), static_cast<int>(text.size()));
        dc.RestoreFont();
    }
    int w = extent.cx + 7, h = extent.cy + 4;
    int x, y;
    if (NoPlaceRect) {
        int offset = GetSystemMetrics(SM_CYCURSOR) / 3 + 2 * GetSystemMetrics(SM_CYBORDER);
        x = ToolRect.left;
        y = ToolRect.bottom + offset;
        if (y + h > GetSystemMetrics(SM_CYSCREEN)) y = ToolRect.top - h;
        if (x >= 0 && x + w > GetSystemMetrics(SM_CXSCREEN)) x = ToolRect.right - w;
    } else {
        x = PlaceRect.left - 1;
        y = PlaceRect.top;
    }
    ::SetWindowPos(Handle, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow();
}

void TToolTip::Paint(TDC& dc, bool, TRect&) {
    TColor bk, fg;
    if (SysInfo.IsVersion4OrLater()) {
        bk = TColor(GetSysColor(COLOR_INFOBK));
        fg = TColor(GetSysColor(COLOR_INFOTEXT));
    } else {
        bk = TColor(static_cast<COLORREF>(0x0080FFFF));
        fg = TColor(0, 0, 0);
    }
    TRect r = GetClientRect();
    DrawFrameSides(dc, r, kSideAll, TColor(GetSysColor(COLOR_BTNHIGHLIGHT)),
                   TColor(GetSysColor(COLOR_WINDOWFRAME)));
    dc.SetBkColor(bk);
    dc.ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0);
    if (TipFont)
        dc.SelectObject(*TipFont);
    else
        dc.SelectStockObject(ANSI_VAR_FONT);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(fg);
    std::string text = Title.substr(0, kMaxTipChars);
    dc.DrawText(text.c_str(), static_cast<int>(text.size()), r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc.RestoreFont();
}
