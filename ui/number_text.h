// Reading and stepping the numbers of the numeric controls: decimal texts read the way the C library's
// conversions read them (but never overflowing), and the step rules of the up and down arrows.
#pragma once

#include <cstdint>

namespace qsm {

// A decimal integer: leading blanks skipped, one optional sign, then digits up to the first other
// character; no digits give 0. Values past the 32-bit range stop at its ends.
int32_t ReadIntText(const char* text);

// A decimal real: leading blanks skipped, one optional sign, digits with at most one point, up to the first
// other character (there is no exponent); no digits give 0. Values past the float range stop at its ends.
float ReadRealText(const char* text);

// v limited to at most max, then to at least min (so min wins when the bounds cross).
int32_t ClampInt(int64_t v, int32_t min, int32_t max);
float ClampReal(float v, float min, float max);

// One step of an integer by the arrows: a value on the grid of step moves to the next grid value in the
// direction dir (+1 up, -1 down); a value off the grid moves to the grid value next to it in that direction.
// The result is clamped to [min, max]. A step below 1 counts as 1.
int32_t StepIntValue(int32_t v, int dir, int32_t step, int32_t min, int32_t max);

// The same for reals: the neighbouring multiple of step in the direction dir, clamped to [min, max]. A value
// within a ten-thousandth of a step of a multiple counts as on it. A step of 0 leaves v as it is.
float StepRealValue(float v, int dir, float step, float min, float max);

}  // namespace qsm
