// The program's one rule for turning a real number into an integer: the
// nearest integer, halves to even, never truncation.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace colour {

// NaN gives 0 and values beyond the 32-bit range saturate.
inline int32_t RoundToInt32(double value) {
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    // In range (NaN is not): one test for the common case.
    if (rounded > -2147483648.0 && rounded < 2147483647.0) return static_cast<int32_t>(rounded);
    if (std::isnan(rounded)) return 0;
    return rounded > 0.0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
}

}  // namespace colour
