#include "ui/number_text.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>

namespace qsm {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Skips the blanks and reads the sign; true for a minus.
const char* SkipToNumber(const char* p, bool* negative) {
    while (IsBlank(*p))
        ++p;
    *negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    return p;
}

}  // namespace

int32_t ReadIntText(const char* text) {
    if (text == nullptr) return 0;
    bool negative = false;
    const char* p = SkipToNumber(text, &negative);
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = std::min<int64_t>(v * 10 + (*p - '0'), int64_t{1} << 32);
    return ClampInt(negative ? -v : v, INT32_MIN, INT32_MAX);
}

float ReadRealText(const char* text) {
    if (text == nullptr) return 0;
    bool negative = false;
    const char* p = SkipToNumber(text, &negative);
    double v = 0, scale = 1;
    bool point = false;
    for (;; ++p) {
        if (*p >= '0' && *p <= '9') {
            if (point) {
                scale /= 10;
                v += (*p - '0') * scale;
            } else {
                v = std::min(v * 10 + (*p - '0'), 1e300);
            }
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    v = std::min(v, static_cast<double>(FLT_MAX));
    return static_cast<float>(negative && v != 0 ? -v : v);
}

int32_t ClampInt(int64_t v, int32_t min, int32_t max) {
    v = std::min<int64_t>(v, max);
    v = std::max<int64_t>(v, min);
    return static_cast<int32_t>(v);
}

float ClampReal(float v, float min, float max) {
    if (std::isnan(v)) return min;
    v = std::min(v, max);
    return std::max(v, min);
}

int32_t StepIntValue(int32_t v, int dir, int32_t step, int32_t min, int32_t max) {
    if (dir == 0) return ClampInt(v, min, max);
    int64_t s = std::max(step, 1);
    // The grid value at or below v (floor division, so negative values land below them too).
    int64_t q = v / s;
    if (v % s != 0 && v < 0) --q;
    int64_t below = q * s;
    int64_t n;
    if (dir > 0)
        n = below + s;
    else
        n = below == v ? below - s : below;
    return ClampInt(n, min, max);
}

float StepRealValue(float v, int dir, float step, float min, float max) {
    double s = std::fabs(static_cast<double>(step));
    if (s == 0 || std::isnan(s) || std::isinf(s)) return v;
    double q = static_cast<double>(v) / s;
    double k = std::nearbyint(q);
    double n;
    if (std::fabs(q - k) < 1e-4)
        n = (k + (dir > 0 ? 1 : -1)) * s;
    else
        n = (dir > 0 ? std::floor(q) + 1 : std::ceil(q) - 1) * s;
    n = std::clamp(n, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
    return ClampReal(static_cast<float>(n), min, max);
}

}  // namespace qsm
