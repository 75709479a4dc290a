#include "platform/wm/region.h"

#include <algorithm>

namespace qsm::wm {

bool RectEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT RectIntersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (RectEmpty(r)) r = RECT{0, 0, 0, 0};
    return r;
}

namespace {

// Pushes the pieces of `r` outside `cut` (at most four).
void PushDifference(std::vector<RECT>& out, const RECT& r, const RECT& cut) {
    RECT i = RectIntersect(r, cut);
    if (RectEmpty(i)) {
        out.push_back(r);
        return;
    }
    if (r.top < i.top) out.push_back(RECT{r.left, r.top, r.right, i.top});
    if (i.bottom < r.bottom) out.push_back(RECT{r.left, i.bottom, r.right, r.bottom});
    if (r.left < i.left) out.push_back(RECT{r.left, i.top, i.left, i.bottom});
    if (i.right < r.right) out.push_back(RECT{i.right, i.top, r.right, i.bottom});
}

}  // namespace

void Region::Add(const RECT& r) {
    if (RectEmpty(r)) return;
    std::vector<RECT> pieces{r};
    for (const RECT& have : rects_) {
        std::vector<RECT> next;
        for (const RECT& p : pieces)
            PushDifference(next, p, have);
        pieces.swap(next);
        if (pieces.empty()) return;
    }
    rects_.insert(rects_.end(), pieces.begin(), pieces.end());
    // Many small pieces make every later operation slower; a region of this kind only needs to be exact
    // enough for painting, so collapse to the bounding box when it grows large.
    if (rects_.size() > 64) {
        RECT b = Bounds();
        rects_.assign(1, b);
    }
}

void Region::Subtract(const RECT& r) {
    if (RectEmpty(r)) return;
    std::vector<RECT> next;
    for (const RECT& have : rects_)
        PushDifference(next, have, r);
    rects_.swap(next);
}

void Region::Intersect(const RECT& r) {
    std::vector<RECT> next;
    for (const RECT& have : rects_) {
        RECT i = RectIntersect(have, r);
        if (!RectEmpty(i)) next.push_back(i);
    }
    rects_.swap(next);
}

void Region::Offset(int dx, int dy) {
    for (RECT& r : rects_) {
        r.left += dx;
        r.right += dx;
        r.top += dy;
        r.bottom += dy;
    }
}

RECT Region::Bounds() const {
    if (rects_.empty()) return RECT{0, 0, 0, 0};
    RECT b = rects_[0];
    for (const RECT& r : rects_) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

bool Region::Contains(POINT pt) const {
    for (const RECT& r : rects_)
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) return true;
    return false;
}

}  // namespace qsm::wm
