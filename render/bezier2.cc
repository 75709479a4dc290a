#include "render/bezier2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

float SafeDivide(float a, float b) {
    if (std::fabs(b) < 0.001f) b = b < 0 ? -0.001f : 0.001f;
    return a / b;
}

float Lerp(float a, float b, float t) {
    return (1 - t) * a + t * b;
}

bool IsUnitParameter(float t) {
    return t >= 0 && t <= 1;
}

namespace {

int SignOf(int64_t v) {
    return v < 0 ? -1 : 1;
}

// Truncation toward zero that saturates: a nearly vertical tangent or a parameter at an end of the curve
// can give values past the 32-bit range, which a plain conversion leaves undefined.
int32_t ToInt(float v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483520.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(v);
}

float Diff(int32_t a, int32_t b) {
    return static_cast<float>(static_cast<int64_t>(a) - b);
}

int32_t Clamp(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

POINT Bezier2::PointAt(float t) const {
    float x = Lerp(Lerp(static_cast<float>(x0), static_cast<float>(x1), t),
                   Lerp(static_cast<float>(x1), static_cast<float>(x2), t), t);
    float y = Lerp(Lerp(static_cast<float>(y0), static_cast<float>(y1), t),
                   Lerp(static_cast<float>(y1), static_cast<float>(y2), t), t);
    return {ToInt(x), ToInt(y)};
}

int Bezier2::TForX(int32_t x, float* t1, float* t2) const {
    // The coefficients are taken in 64 bits: curves a few thousand pixels wide would overflow 32.
    int64_t a = static_cast<int64_t>(x0) + x2 - 2 * static_cast<int64_t>(x1);
    int64_t b = 2 * static_cast<int64_t>(x1) - 2 * static_cast<int64_t>(x0);
    int64_t c = static_cast<int64_t>(x0) - x;
    float r1, r2 = 0;
    int count;
    if (a != 0) {
        // 128 bits hold the discriminant of any 32-bit curve exactly.
        __int128 d = static_cast<__int128>(b) * b - 4 * static_cast<__int128>(a) * c;
        float g = static_cast<float>(std::sqrt(static_cast<double>(d < 0 ? -d : d)));
        r1 = (static_cast<float>(-b) + g) / static_cast<float>(2 * a);
        r2 = (static_cast<float>(-b) - g) / static_cast<float>(2 * a);
        count = (r2 != r1 && IsUnitParameter(r2)) ? 2 : 1;
    } else {
        r1 = -SafeDivide(static_cast<float>(c), static_cast<float>(b));
        count = 1;
    }
    if (!IsUnitParameter(r1)) count = 0;
    if (count >= 1 && t1) *t1 = r1;
    if (count == 2 && t2) *t2 = r2;
    return count;
}

int32_t Bezier2::YForX(int32_t x) const {
    float t;
    if (TForX(x, &t) > 0) return PointAt(t).y;
    return x < x0 ? y0 : y2;
}

int Bezier2::FitThroughPoint(POINT point, int d) {
    float t;
    if (TForX(point.x, &t) != 1) return 0;
    int32_t c = PointAt(t).y;
    if (SignOf(static_cast<int64_t>(c) - point.y) != SignOf(d)) return 1;
    float u = 1 - t;
    y1 = ToInt(SafeDivide(
        static_cast<float>(point.y) - t * t * static_cast<float>(y2) - u * u * static_cast<float>(y0),
        2 * u * t));
    return 1;
}

void Bezier2::FitOverPoints(int count, const POINT* points, int height, int d) {
    if (count < 2 || !points) return;
    x0 = points[0].x;
    y0 = points[0].y;
    x2 = points[count - 1].x;
    y2 = points[count - 1].y;
    x1 = static_cast<int32_t>(x0 + (static_cast<int64_t>(x2) - x0) / 2);
    y1 = static_cast<int32_t>(y0 + (static_cast<int64_t>(y2) - y0) / 2);
    FitThroughPoint({x1, Clamp(static_cast<int64_t>(y1) - static_cast<int64_t>(d) * height)}, d);
    float s = SafeDivide(Diff(y1, y0), Diff(x1, x0) + 1);
    float e = SafeDivide(Diff(y1, y2), Diff(x1, x2) + 1);
    auto bending = [d](int64_t dy) { return d > 0 ? dy < 0 : dy >= 0; };
    for (int i = 1; i < count - 1; ++i) {
        int32_t xi = points[i].x, yi = points[i].y;
        if (bending(static_cast<int64_t>(yi) - y0)) {
            float g = SafeDivide(Diff(yi, y0), Diff(xi, x0));
            if (std::fabs(g) > std::fabs(s)) s = g;
        }
        if (bending(static_cast<int64_t>(yi) - y2)) {
            float g = SafeDivide(Diff(yi, y2), Diff(xi, x2));
            if (std::fabs(g) > std::fabs(e)) e = g;
        }
    }
    if (std::fabs(s - e) > 0)
        x1 = ToInt(SafeDivide(static_cast<float>(static_cast<int64_t>(y2) - y0) + s * static_cast<float>(x0) -
                                  e * static_cast<float>(x2),
                              s - e));
    for (int i = 1; i < count - 1; ++i)
        FitThroughPoint(points[i], d);
}

void Bezier2::ToCubic(POINT out[4]) const {
    // In 64 bits: the differences of two 32-bit values and their doubles do not fit in 32.
    auto two3 = [](int64_t a, int64_t b) { return static_cast<LONG>(a + (b - a) * 2 / 3); };
    auto one3 = [](int64_t a, int64_t b) { return static_cast<LONG>(a + (b - a) / 3); };
    out[0] = {x0, y0};
    out[1] = {two3(x0, x1), two3(y0, y1)};
    out[2] = {one3(x1, x2), one3(y1, y2)};
    out[3] = {x2, y2};
}
