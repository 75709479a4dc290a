#include "ui/edge_border.h"

#include "platform/wm/winuser.h"

namespace {

struct StyleEntry {
    int edge;
    int flags;
};

constexpr StyleEntry kStyles[EdgeBorder::NumStyles] = {
    {0, 0},                  // 0
    {0, 0},                  // 1
    {BDR_RAISEDOUTER, 0},    // 2
    {BDR_SUNKENOUTER, 0},    // 3
    {EDGE_BUMP, 0},          // 4
    {EDGE_ETCHED, 0},        // 5
    {EDGE_RAISED, BF_SOFT},  // 6
    {EDGE_SUNKEN, BF_SOFT},  // 7
    {EDGE_RAISED, 0},        // 8
    {EDGE_SUNKEN, 0},        // 9
    {EDGE_ETCHED, 0},        // 10
};

constexpr int kOuter = BDR_RAISEDOUTER | BDR_SUNKENOUTER;
constexpr int kInner = BDR_RAISEDINNER | BDR_SUNKENINNER;
constexpr int kSides = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;

int WithSides(int flags) {
    return (flags & kSides) ? flags : flags | kSides;
}

// Colours of the rings by row (top-left, bottom-right).
struct RingColours {
    int outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
};
constexpr RingColours kRows[4] = {
    {COLOR_BTNFACE, COLOR_WINDOWFRAME, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW},
    {COLOR_HIGHLIGHTTEXT, COLOR_WINDOWFRAME, COLOR_BTNFACE, COLOR_BTNSHADOW},
    {COLOR_BTNSHADOW, COLOR_HIGHLIGHTTEXT, COLOR_WINDOWFRAME, COLOR_BTNFACE},
    {COLOR_WINDOWFRAME, COLOR_HIGHLIGHTTEXT, COLOR_BTNSHADOW, COLOR_BTNFACE},
};

void Run(HDC dc, int x, int y, int w, int h, HBRUSH brush) {
    if (w <= 0 || h <= 0) return;
    HGDIOBJ old = SelectObject(dc, brush);
    PatBlt(dc, x, y, w, h, PATCOPY);
    SelectObject(dc, old);
}

// The four runs of one ring, each on its side only.
void Ring(HDC dc, const TRect& r, int flags, HBRUSH topLeft, HBRUSH bottomRight) {
    const int w = r.Width(), h = r.Height();
    if (flags & BF_TOP) Run(dc, r.left, r.top, w - 1, 1, topLeft);
    if (flags & BF_LEFT) Run(dc, r.left, r.top + 1, 1, h - 2, topLeft);
    if (flags & BF_BOTTOM) Run(dc, r.left, r.bottom - 1, w, 1, bottomRight);
    if (flags & BF_RIGHT) Run(dc, r.right - 1, r.top, 1, h - 1, bottomRight);
}

// Draws one ring in two system colours and shrinks the rectangle by a pixel on every side.
void SysRing(HDC dc, TRect& r, int flags, int topLeft, int bottomRight) {
    if (r.Width() > 0 && r.Height() > 0) {
        HBRUSH tl = CreateSolidBrush(GetSysColor(topLeft));
        HBRUSH br = CreateSolidBrush(GetSysColor(bottomRight));
        Ring(dc, r, flags, tl, br);
        DeleteObject(tl);
        DeleteObject(br);
    }
    r.Inflate(-1, -1);
}

void FillMiddle(HDC dc, const TRect& r, int colour) {
    if (r.Width() <= 0 || r.Height() <= 0) return;
    HBRUSH b = CreateSolidBrush(GetSysColor(colour));
    Run(dc, r.left, r.top, r.Width(), r.Height(), b);
    DeleteObject(b);
}

}  // namespace

EdgeBorder::EdgeBorder(const TRect& rect, Style style, int extraFlags) : Rect(rect) {
    const int index = static_cast<int>(style);
    const StyleEntry e = index >= 0 && index < NumStyles ? kStyles[index] : StyleEntry{0, 0};
    Edge = e.edge;
    Flags = WithSides(e.flags | extraFlags);
}

EdgeBorder::EdgeBorder(const TRect& rect, int edge, int flags)
    : Rect(rect), Edge(edge), Flags(WithSides(flags)) {}

TRect EdgeBorder::InnerRect() const {
    const int rings = ((Edge & kOuter) ? 1 : 0) + ((Edge & kInner) ? 1 : 0);
    return Rect.InflatedBy(-rings, -rings);
}

int EdgeBorder::DrawEdge(HDC dc, const TRect& rect, int edge, int flags) {
    TRect r = rect;
    if (flags & BF_MONO) {
        if (edge & kOuter) SysRing(dc, r, flags, COLOR_WINDOWFRAME, COLOR_WINDOWFRAME);
        if (flags & BF_MIDDLE) FillMiddle(dc, r, COLOR_WINDOW);
        return 1;
    }
    if (flags & BF_FLAT) {
        SysRing(dc, r, flags, COLOR_BTNSHADOW, COLOR_BTNSHADOW);
        if (flags & BF_MIDDLE) FillMiddle(dc, r, COLOR_BTNFACE);
        return 1;
    }
    // The inner ring takes the outer bit's row too: an etched edge draws its inner ring from row 2.
    const RingColours& row = kRows[((edge & BDR_SUNKENOUTER) ? 2 : 0) + ((flags & BF_SOFT) ? 1 : 0)];
    if (edge & kOuter) SysRing(dc, r, flags, row.outerTopLeft, row.outerBottomRight);
    if (edge & kInner) SysRing(dc, r, flags, row.innerTopLeft, row.innerBottomRight);
    if (flags & BF_MIDDLE) FillMiddle(dc, r, COLOR_BTNFACE);
    return 1;
}

void EdgeBorder::PaintRing(HDC dc, const TRect& rect, int flags, HBRUSH topLeft, HBRUSH bottomRight,
                           COLORREF cornerColor) {
    if (rect.Width() <= 0 || rect.Height() <= 0) return;
    Ring(dc, rect, flags, topLeft, bottomRight);
    if (flags & BF_TOP) SetPixelV(dc, rect.right - 2, rect.top, cornerColor);
    if (flags & BF_BOTTOM) SetPixelV(dc, rect.left, rect.bottom - 1, cornerColor);
}
