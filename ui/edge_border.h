// Raised, sunken, etched and bump edges drawn with plain one-pixel fills in the system colours, so that the
// program's edges look the same whatever the system's own edge drawing does. Edge and side flags are the
// BDR_ and BF_ values of DrawEdge.
#pragma once

#include "platform/framework/geometry.h"
#include "platform/gdi/gdi.h"

class EdgeBorder {
public:
    // A border style, an index into the table of eleven styles (0 to 10; others draw nothing).
    enum class Style : int {};
    static constexpr int NumStyles = 11;

    // The edge and flags of the style, with extraFlags or-ed in.
    EdgeBorder(const TRect& rect, Style style, int extraFlags = 0);
    EdgeBorder(const TRect& rect, int edge, int flags);

    void Offset(int dx, int dy) { Rect.Offset(dx, dy); }
    // Moves the rectangle, keeping its size.
    void MoveTo(int x, int y) { Rect.Offset(x - Rect.left, y - Rect.top); }
    void SetRect(const TRect& rect) { Rect = rect; }
    void Resize(int width, int height) {
        Rect.right = Rect.left + width;
        Rect.bottom = Rect.top + height;
    }
    const TRect& GetRect() const { return Rect; }
    int GetEdge() const { return Edge; }
    int GetFlags() const { return Flags; }

    // The rectangle less the rings the edge draws (one for an outer bit, one for an inner bit).
    TRect InnerRect() const;
    void Paint(HDC dc) const { DrawEdge(dc, Rect, Edge, Flags); }

    // Draws the edge's rings on the sides the flags name, and with BF_MIDDLE fills what is inside them.
    // Returns 1.
    static int DrawEdge(HDC dc, const TRect& rect, int edge, int flags);
    // One ring: the top and left runs (flags BF_TOP, BF_LEFT) in topLeft, the bottom and right runs
    // (BF_BOTTOM, BF_RIGHT) in bottomRight, and the right end of the top run and the left end of the bottom
    // run set to cornerColor.
    static void PaintRing(HDC dc, const TRect& rect, int flags, HBRUSH topLeft, HBRUSH bottomRight,
                          COLORREF cornerColor);

private:
    TRect Rect;
    int Edge;
    int Flags;
};
