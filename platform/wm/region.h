// A set of rectangles: update regions and invalid areas of windows.
#pragma once

#include <vector>

#include "platform/base/wintypes.h"

namespace qsm::wm {

class Region {
public:
    bool Empty() const { return rects_.empty(); }
    void Clear() { rects_.clear(); }
    // Adds the part of `r` not yet covered; the rectangles stay disjoint.
    void Add(const RECT& r);
    void Subtract(const RECT& r);
    void Intersect(const RECT& r);
    void Offset(int dx, int dy);
    RECT Bounds() const;
    bool Contains(POINT pt) const;
    const std::vector<RECT>& Rects() const { return rects_; }

private:
    std::vector<RECT> rects_;
};

bool RectEmpty(const RECT& r);
RECT RectIntersect(const RECT& a, const RECT& b);

}  // namespace qsm::wm
