// Frames, three-dimensional edges, text fitting and the small window and image helpers.
#include "ui/ui_draw.h"

#include <cstring>
#include <memory>

namespace {

void FillLine(TDC& dc, const TRect& line, TColor color) {
    dc.SetBkColor(color);
    dc.ExtTextOut(0, 0, ETO_OPAQUE, &line, "", 0);
}

}  // namespace

void DrawFrameSides(TDC& dc, TRect& rect, UINT sides, TColor topLeft, TColor bottomRight) {
    const TRect r = rect;
    if (sides & kSideLeft) {
        FillLine(dc, TRect(r.left, r.top, r.left + 1, r.bottom), topLeft);
        rect.left += 1;
    }
    if (sides & kSideTop) {
        FillLine(dc, TRect(r.left, r.top, r.right, r.top + 1), topLeft);
        rect.top += 1;
    }
    if (sides & kSideRight) {
        FillLine(dc, TRect(r.right - 1, r.top, r.right, r.bottom), bottomRight);
        rect.right -= 1;
    }
    if (sides & kSideBottom) {
        FillLine(dc, TRect(r.left, r.bottom - 1, r.right, r.bottom), bottomRight);
        rect.bottom -= 1;
    }
}

void DrawEdge3d(TDC& dc, TRect& rect, UINT edge, UINT flags) {
    const TColor face = TColor::System(COLOR_BTNFACE), shadow = TColor::System(COLOR_BTNSHADOW),
                 hilight = TColor::System(COLOR_BTNHIGHLIGHT), frame = TColor::System(COLOR_WINDOWFRAME);
    TColor outerTL = (edge & kEdgeOuterRaised) ? face : shadow;
    TColor outerBR = (edge & kEdgeOuterRaised) ? frame : hilight;
    TColor innerTL = (edge & kEdgeInnerRaised) ? hilight : frame;
    TColor innerBR = (edge & kEdgeInnerRaised) ? shadow : face;
    if (flags & kEdgeSwapTopLeft) std::swap(outerTL, innerTL);
    TRect r = rect;
    if (edge & (kEdgeOuterRaised | kEdgeOuterSunken)) DrawFrameSides(dc, r, flags, outerTL, outerBR);
    if (edge & (kEdgeInnerRaised | kEdgeInnerSunken)) DrawFrameSides(dc, r, flags, innerTL, innerBR);
    if (flags & kEdgeFill) {
        dc.SetBkColor(TColor::System(COLOR_WINDOW));
        dc.ExtTextOut(0, 0, ETO_OPAQUE, &r, "", 0);
    }
    if (flags & kEdgeAdjust) rect = r;
}

void FitTextToWidth(TDC& dc, char* text, int maxWidth) {
    if (!text) return;
    const int length = static_cast<int>(std::strlen(text));
    if (length < 3 || dc.GetTextExtent(text, length).cx <= maxWidth) return;
    int widths[128];
    if (!dc.GetCharWidth(0, 127, widths)) return;
    const int budget = maxWidth - 3 * widths[static_cast<int>('.')];
    const int n = length - 3;
    int i = 0, sum = 0;
    for (; i < n; ++i) {
        const UINT c = static_cast<unsigned char>(text[i]);
        int w = 0;
        if (c < 128)
            w = widths[c];
        else if (!dc.GetCharWidth(c, c, &w))
            w = 0;
        sum += w;
        if (sum >= budget) break;
    }
    std::memcpy(text + i, "...", 4);
}

void CenterWindowInArea(TWindow* over, TWindow& win) {
    const int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    TRect area = over ? over->GetWindowRect() : TRect(0, 0, screenW, screenH);
    TRect r = win.GetWindowRect();
    int w = r.Width(), h = r.Height();
    int x = (area.left + area.right - w) / 2, y = (area.top + area.bottom - h) / 2;
    if (x + w > screenW) x = screenW - w;
    if (y + h > screenH) y = screenH - h;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    ::SetWindowPos(win.GetHandle(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ModifyWindowStyle(TWindow& w, int index, UINT remove, UINT add, UINT swpFlags) {
    const UINT old = static_cast<UINT>(GetWindowLongA(w.GetHandle(), index));
    const UINT style = (old & ~remove) | add;
    if (style == old) return false;
    SetWindowLongA(w.GetHandle(), index, static_cast<LONG>(style));
    if (swpFlags)
        ::SetWindowPos(w.GetHandle(), nullptr, 0, 0, 0, 0,
                       swpFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

namespace {

int KeyIndex(const TDib& dib) {
    const auto* bits = static_cast<const uint8_t*>(dib.GetBits());
    return bits ? bits[0] >> 4 : 0;
}

}  // namespace

TColor GetDibKeyColor(TDib& dib) {
    return dib.GetColor(KeyIndex(dib));
}

TBitmap* SetDibKeyColor(TDib& dib, TColor c) {
    dib.SetColor(KeyIndex(dib), c);
    TCreatedDC screen("DISPLAY");
    auto bitmap = std::make_unique<TBitmap>(screen, dib.Width(), dib.Height());
    {
        TMemoryDC mem(screen, *bitmap);
        SetDIBitsToDevice(mem, TRect(0, 0, dib.Width(), dib.Height()), TPoint(0, 0), dib);
    }
    return bitmap.release();
}

TBitmap* CreateColorMask(TBitmap& bmp, TColor c) {
    auto mask = std::make_unique<TBitmap>(bmp.Width(), bmp.Height());
    TMemoryDC src;
    src.SelectObject(bmp);
    src.SetBkColor(c);
    TMemoryDC dst;
    dst.SelectObject(*mask);
    dst.PatBlt(TRect(0, 0, bmp.Width(), bmp.Height()), WHITENESS);
    dst.BitBlt(TRect(0, 0, bmp.Width(), bmp.Height()), src, TPoint(0, 0), SRCCOPY);
    return mask.release();
}

// Both act only on a display with a palette of 256 entries. Every display here is true colour (RASTERCAPS
// never has RC_PALETTE), so there is no system palette to clear and the entries stay as they are.
void ClearSystemPalette() {}

void PrepareIdentityPalette(PALETTEENTRY[256]) {}
