// Points, sizes, rectangles and colours of the class library: thin value classes over the platform's
// POINT, SIZE, RECT and COLORREF that convert to them freely. Rectangles are half open: a rectangle
// covers [left, right) x [top, bottom), so Width() is right - left.
#pragma once

#include <algorithm>

#include "platform/base/wintypes.h"
#include "platform/wm/winuser.h"

class TPoint : public POINT {
public:
    TPoint() : POINT{0, 0} {}
    TPoint(int x_, int y_) : POINT{x_, y_} {}
    TPoint(const POINT& p) : POINT(p) {}  // NOLINT(google-explicit-constructor)
    TPoint operator+(const TPoint& o) const { return TPoint(x + o.x, y + o.y); }
    TPoint operator-(const TPoint& o) const { return TPoint(x - o.x, y - o.y); }
    TPoint& operator+=(const TPoint& o) {
        x += o.x;
        y += o.y;
        return *this;
    }
    TPoint OffsetBy(int dx, int dy) const { return TPoint(x + dx, y + dy); }
    bool operator==(const TPoint& o) const { return x == o.x && y == o.y; }
};

class TSize : public SIZE {
public:
    TSize() : SIZE{0, 0} {}
    TSize(int cx_, int cy_) : SIZE{cx_, cy_} {}
    TSize(const SIZE& s) : SIZE(s) {}  // NOLINT(google-explicit-constructor)
    bool operator==(const TSize& o) const { return cx == o.cx && cy == o.cy; }
};

class TRect : public RECT {
public:
    TRect() : RECT{0, 0, 0, 0} {}
    TRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
    TRect(const TPoint& origin, const TSize& extent)
        : RECT{origin.x, origin.y, origin.x + extent.cx, origin.y + extent.cy} {}
    TRect(const RECT& r) : RECT(r) {}  // NOLINT(google-explicit-constructor)

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    TSize Size() const { return TSize(Width(), Height()); }
    TPoint TopLeft() const { return TPoint(left, top); }
    TPoint BottomRight() const { return TPoint(right, bottom); }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(const TPoint& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool Touches(const TRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    TRect& Offset(int dx, int dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    TRect OffsetBy(int dx, int dy) const { return TRect(*this).Offset(dx, dy); }
    TRect& Inflate(int dx, int dy) {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
        return *this;
    }
    TRect InflatedBy(int dx, int dy) const { return TRect(*this).Inflate(dx, dy); }
    TRect operator&(const TRect& o) const {
        TRect r(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom));
        return r.IsEmpty() ? TRect() : r;
    }
    TRect operator|(const TRect& o) const {
        if (IsEmpty()) return o;
        if (o.IsEmpty()) return *this;
        return TRect(std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
                     std::max(bottom, o.bottom));
    }
    bool operator==(const TRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A colour: an RGB value or one of the system colours, which it answers at the time it is used.
class TColor {
public:
    TColor() = default;
    TColor(COLORREF rgb) : Value(rgb) {}  // NOLINT(google-explicit-constructor)
    TColor(int r, int g, int b)
        : Value(static_cast<COLORREF>(r & 255) | (static_cast<COLORREF>(g & 255) << 8) |
                (static_cast<COLORREF>(b & 255) << 16)) {}
    static TColor System(int index) {
        TColor c;
        c.SysIndex = index;
        return c;
    }
    bool IsSysColor() const { return SysIndex >= 0; }
    COLORREF GetValue() const { return IsSysColor() ? GetSysColor(SysIndex) : Value; }
    operator COLORREF() const { return GetValue(); }  // NOLINT(google-explicit-constructor)
    int Red() const { return static_cast<int>(GetValue() & 255); }
    int Green() const { return static_cast<int>((GetValue() >> 8) & 255); }
    int Blue() const { return static_cast<int>((GetValue() >> 16) & 255); }

    static const TColor Black, White, LtGray, Gray;
    static TColor SysWindow() { return System(COLOR_WINDOW); }
    static TColor Sys3dFace() { return System(COLOR_BTNFACE); }
    static TColor Sys3dShadow() { return System(COLOR_BTNSHADOW); }
    static TColor Sys3dHilight() { return System(COLOR_BTNHIGHLIGHT); }
    static TColor SysBtnText() { return System(COLOR_BTNTEXT); }
    static TColor SysWindowText() { return System(COLOR_WINDOWTEXT); }
    static TColor SysWindowFrame() { return System(COLOR_WINDOWFRAME); }

private:
    COLORREF Value = 0;
    int SysIndex = -1;
};

inline const TColor TColor::Black{0x000000u};
inline const TColor TColor::White{0xFFFFFFu};
inline const TColor TColor::LtGray{0xC0C0C0u};
inline const TColor TColor::Gray{0x808080u};
