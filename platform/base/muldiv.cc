#include "platform/base/wintypes.h"

#include <cstdint>
#include <limits>

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    int64_t product = static_cast<int64_t>(a) * b;
    bool negative = (product < 0) != (c < 0);
    uint64_t num = product < 0 ? static_cast<uint64_t>(-product) : static_cast<uint64_t>(product);
    uint64_t den = c < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(c)) : static_cast<uint64_t>(c);
    uint64_t q = (num + den / 2) / den;
    if (q > static_cast<uint64_t>(std::numeric_limits<int>::max())) return -1;
    return negative ? -static_cast<int>(q) : static_cast<int>(q);
}
