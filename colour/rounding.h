// The program's one rule for turning a real number into an integer: the
// nearest integer, halves to even, never truncation.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace colour {

// NaN gives 0 and values beyond the 32-bit range saturate.
inline int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

}  // namespace colour
