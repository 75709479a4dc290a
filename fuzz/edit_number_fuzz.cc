// Numbers typed into the numeric edits and combo boxes: any text read as an integer and as a real, and the
// arrows' steps from what was read, with bounds and steps taken from the input too.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/text_utils.h"
#include "ui/number_text.h"

namespace {

int32_t Take(const uint8_t*& data, size_t& size) {
    uint32_t v = 0;
    size_t n = size < 4 ? size : 4;
    std::memcpy(&v, data, n);
    data += n;
    size -= n;
    return static_cast<int32_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int32_t min = Take(data, size), max = Take(data, size), step = Take(data, size), dir = Take(data, size);
    std::string text(reinterpret_cast<const char*>(data), size);

    // The integer agrees with the C library's reading wherever that one does not overflow.
    int32_t v = qsm::ReadIntText(text.c_str());
    errno = 0;
    long long ref = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == 0) {
        long long clamped = ref < INT32_MIN ? INT32_MIN : ref > INT32_MAX ? INT32_MAX : ref;
        if (v != clamped) __builtin_trap();
    }
    // A text the close check accepts reads as the number it shows.
    if (IsNumberText(text.c_str(), false) && text.size() < 10 && v != std::atoi(text.c_str()))
        __builtin_trap();

    float f = qsm::ReadRealText(text.c_str());
    if (!std::isfinite(f)) __builtin_trap();

    // Steps stay within the bounds (the minimum when they cross) and move in the arrow's direction.
    int d = dir < 0 ? -1 : +1;
    int32_t n = qsm::StepIntValue(v, d, step, min, max);
    if (min <= max) {
        if (n < min || n > max) __builtin_trap();
        if (v >= min && v <= max && (d > 0 ? n < v : n > v)) __builtin_trap();
    } else if (n != min) {
        __builtin_trap();
    }
    float fmin = static_cast<float>(min) / 64, fmax = static_cast<float>(max) / 64;
    float r = qsm::StepRealValue(f, d, static_cast<float>(step) / 1024, fmin, fmax);
    if (!std::isfinite(r)) __builtin_trap();
    if (step != 0 && fmin <= fmax && (r < fmin || r > fmax)) __builtin_trap();
    return 0;
}
