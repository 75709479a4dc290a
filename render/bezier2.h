// Quadratic Bezier curves in device coordinates (y downward): evaluation, solving for x, bending over points
// and conversion to the cubic form the drawing primitives take.
#pragma once

#include <cstdint>

#include "platform/base/wintypes.h"

// a / b with a divisor below 0.001 in magnitude replaced by 0.001 of its sign (0 counts as positive).
float SafeDivide(float a, float b);
float Lerp(float a, float b, float t);
bool IsUnitParameter(float t);

struct Bezier2 {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0, x2 = 0, y2 = 0;

    Bezier2() = default;
    Bezier2(int32_t ax0, int32_t ay0, int32_t ax1, int32_t ay1, int32_t ax2, int32_t ay2)
        : x0(ax0), y0(ay0), x1(ax1), y1(ay1), x2(ax2), y2(ay2) {}

    void Clear() { *this = Bezier2(); }
    void CopyFrom(const Bezier2& other) { *this = other; }
    bool ContainsX(int32_t x) const { return x0 <= x && x <= x2; }
    POINT PointAt(float t) const;
    // Number of solutions in [0, 1] reported (0, 1 or 2); t1 first, t2 when there are two and it is asked.
    int TForX(int32_t x, float* t1, float* t2 = nullptr) const;
    int32_t YForX(int32_t x) const;
    // Direction d: +1 bends upward on the page (toward smaller y), -1 downward.
    int FitThroughPoint(POINT point, int d);
    void FitOverPoints(int count, const POINT* points, int height, int d);
    // Start, first control, second control, end.
    void ToCubic(POINT out[4]) const;
};
