// The geometry of dragging a toolbar, apart from windows: which side of the frame a drag rectangle docks
// on, and how the rectangle changes shape as the mouse moves.
#pragma once

#include <cstdint>

#include "platform/framework/geometry.h"

namespace qsm {

struct TToolbarDragGeometry {
    // The outer edges of the four dock stations and the frame's client window, on the screen.
    TRect DockArea;
    TRect Client;
    // The toolbar's size laid out along the top (one row) and along the left side.
    TSize Horz;
    TSize Vert;
};

// The side (top, bottom, left, right tried in that order) a rectangle near the frame's edges docks on with
// the mouse at p, 0 for none.
uint16_t DockSideAt(const TToolbarDragGeometry& d, const TRect& rect, const TPoint& p, uint16_t dockMask);
// One step of the drag: reshapes rect (already moved with the mouse) and returns the new drag word.
uint16_t DragStep(const TToolbarDragGeometry& d, TRect& rect, uint16_t word, const TPoint& p, bool ctrl,
                  uint16_t dockMask, const TSize& floatSize);

}  // namespace qsm
