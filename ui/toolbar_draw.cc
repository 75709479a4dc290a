#include "ui/toolbar_draw.h"

#include <algorithm>
#include <memory>

#include "core/sys_info.h"
#include "platform/framework/frame.h"

namespace {

struct ModuleObjects {
    std::unique_ptr<THatch8x8Brush> hatch;
    HBRUSH faceBrush = nullptr;
    HBITMAP workBitmap = nullptr;
    int workWidth = 0;
    int workHeight = 0;
};

ModuleObjects& Module() {
    static ModuleObjects m;
    return m;
}

// One-pixel line (or any filled rectangle) in a colour: an opaque text-out of no text.
void FillLine(HDC dc, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) return;
    RECT r{left, top, right, bottom};
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, "", 0, nullptr);
}

constexpr uint16_t kBorderLeft = 0x0100, kBorderTop = 0x0200, kBorderRight = 0x0400, kBorderBottom = 0x0800;
constexpr uint16_t kNewLook = 0x0080;

}  // namespace

int ToolbarBorderUnit() {
    return SysInfo.IsVersion4OrLater() ? 2 : 1;
}

void Draw3dEdges(HDC dc, const TRect& rect, uint16_t placement) {
    if ((placement & (kBorderLeft | kBorderTop | kBorderRight | kBorderBottom)) == 0) return;
    const int g = ToolbarBorderUnit();
    const bool newLook = (placement & kNewLook) != 0;
    const int innerTop = rect.top + ((placement & kBorderTop) ? g : 0);
    const int innerBottom = rect.bottom - ((placement & kBorderBottom) ? g : 0);
    const int right = rect.right - (newLook ? 1 : 0);
    const int bottom = rect.bottom - (newLook ? 1 : 0);
    const COLORREF oldBk =
        SetBkColor(dc, GetSysColor(SysInfo.IsVersion4OrLater() ? COLOR_BTNSHADOW : COLOR_WINDOWFRAME));
    if (placement & kBorderLeft) FillLine(dc, rect.left, innerTop, rect.left + 1, innerBottom);
    if (placement & kBorderTop) FillLine(dc, rect.left, rect.top, right, rect.top + 1);
    if (placement & kBorderRight) FillLine(dc, right - 1, innerTop, right, innerBottom);
    if (placement & kBorderBottom) FillLine(dc, rect.left, bottom - 1, right, bottom);
    if (newLook) {
        SetBkColor(dc, GetSysColor(COLOR_BTNHIGHLIGHT));
        if (placement & kBorderLeft) FillLine(dc, rect.left + 1, innerTop, rect.left + 2, innerBottom);
        if (placement & kBorderTop) FillLine(dc, rect.left, rect.top + 1, rect.right, rect.top + 2);
        if (placement & kBorderRight) FillLine(dc, rect.right - 1, innerTop, rect.right, innerBottom);
        if (placement & kBorderBottom) FillLine(dc, rect.left, rect.bottom - 1, rect.right, rect.bottom);
    }
    SetBkColor(dc, oldBk);
}

void ComputeEdgeInsets(const TWindow& window, TRect& rect, uint16_t placement, int empty) {
    TLayoutMetrics m;
    auto* frame = dynamic_cast<TLayoutManager*>(window.GetParentO());
    if (frame && frame->GetChildLayoutMetrics(window, m)) {
        const int cx = GetSystemMetrics(SM_CXBORDER), cy = GetSystemMetrics(SM_CYBORDER);
        for (const TEdgeConstraint* c :
             {static_cast<const TEdgeConstraint*>(&m.X), static_cast<const TEdgeConstraint*>(&m.Y),
              static_cast<const TEdgeConstraint*>(&m.Width),
              static_cast<const TEdgeConstraint*>(&m.Height)}) {
            if (c->Relationship != lmSameAs || c->RelWin != lmParent || c->MyEdge != c->OtherEdge) continue;
            switch (c->MyEdge) {
                case lmLeft:
                    rect.left += cx;
                    break;
                case lmTop:
                    rect.top += cy;
                    break;
                case lmRight:
                    rect.right -= cx;
                    break;
                case lmBottom:
                    rect.bottom -= cy;
                    break;
                default:
                    break;
            }
        }
    }
    if ((placement & (kBorderLeft | kBorderTop | kBorderRight | kBorderBottom)) == 0) return;
    const int g = ToolbarBorderUnit();
    if (!empty) {
        if (placement & kBorderLeft) rect.left += g;
        if (placement & kBorderTop) rect.top += g;
        if (placement & kBorderRight) rect.right -= g;
        if (placement & kBorderBottom) rect.bottom -= g;
        return;
    }
    if ((placement & kBorderTop) && (placement & kBorderBottom)) rect.left += g;
    if ((placement & kBorderLeft) && (placement & kBorderRight)) rect.top += g;
}

void BuildButtonFaceMask(HDC mask, const TRect& dest, HDC src, const TRect& srcRect) {
    PatBlt(mask, dest.left, dest.top, dest.Width(), dest.Height(), WHITENESS);
    const COLORREF oldBk = SetBkColor(src, GetSysColor(COLOR_BTNFACE));
    BitBlt(mask, dest.left, dest.top, dest.Width(), dest.Height(), src, srcRect.left, srcRect.top, SRCCOPY);
    SetBkColor(src, oldBk);
}

void PaintHatchThroughMask(HDC dc, HDC mask, const TRect& rect) {
    HGDIOBJ oldBrush = SelectObject(dc, static_cast<HBRUSH>(ToolbarHatchBrush()));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    const COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    // D xor (S and (P xor D)): the pattern where the mask is white, the destination where it is black.
    BitBlt(dc, rect.left, rect.top, rect.Width(), rect.Height(), mask, 0, 0, 0x00E20746);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
    SelectObject(dc, oldBrush);
}

int SubtractRectPieces(const TRect& a, const TRect& b, TRect pieces[4]) {
    if (a.left >= b.right || b.left >= a.right || a.top >= b.bottom || b.top >= a.bottom) {
        pieces[0] = a;
        return 1;
    }
    int n = 0;
    const int top = std::max(a.top, b.top), bottom = std::min(a.bottom, b.bottom);
    if (a.top < b.top) pieces[n++] = TRect(a.left, a.top, a.right, b.top);
    if (b.bottom < a.bottom) pieces[n++] = TRect(a.left, b.bottom, a.right, a.bottom);
    if (a.left < b.left) pieces[n++] = TRect(a.left, top, b.left, bottom);
    if (b.right < a.right) pieces[n++] = TRect(b.right, top, a.right, bottom);
    return n;
}

void ToolbarModuleInit() {
    RebuildToolbarHatchBrush();
}

void ToolbarModuleExit() {
    ModuleObjects& m = Module();
    if (m.faceBrush) DeleteObject(m.faceBrush);
    m.faceBrush = nullptr;
    if (m.workBitmap) DeleteObject(m.workBitmap);
    m.workBitmap = nullptr;
    m.workWidth = m.workHeight = 0;
    m.hatch.reset();
}

THatch8x8Brush& ToolbarHatchBrush() {
    ModuleObjects& m = Module();
    if (!m.hatch) RebuildToolbarHatchBrush();
    return *m.hatch;
}

void RebuildToolbarHatchBrush() {
    ModuleObjects& m = Module();
    const TColor face = GetSysColor(COLOR_BTNFACE), hilite = GetSysColor(COLOR_BTNHIGHLIGHT);
    if (m.hatch)
        m.hatch->Reconstruct(THatch8x8Brush::Hatch11F1, face, hilite);
    else
        m.hatch = std::make_unique<THatch8x8Brush>(THatch8x8Brush::Hatch11F1, face, hilite);
}

HBRUSH ToolbarFaceBrush() {
    ModuleObjects& m = Module();
    if (!m.faceBrush) m.faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    return m.faceBrush;
}

HBITMAP ButtonWorkBitmap(int width, int height) {
    ModuleObjects& m = Module();
    // At least the 128 x 128 of old, and as large as the largest cel asked for: a larger toolbar button
    // must not lose the right or bottom of its masks.
    const int w = std::max({width, m.workWidth, 128}), h = std::max({height, m.workHeight, 128});
    if (!m.workBitmap || w > m.workWidth || h > m.workHeight) {
        if (m.workBitmap) DeleteObject(m.workBitmap);
        m.workBitmap = CreateBitmap(w, h, 1, 1, nullptr);
        m.workWidth = w;
        m.workHeight = h;
    }
    return m.workBitmap;
}
