// The picture settings that "New" sets, and the view arithmetic.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "iteration_context.h"

namespace engine {

constexpr const char* kIdleTitle = "halvane-ware, v0.001";
constexpr const char* kInitialCaption = "halvane-ware";

// Every context field of the New command's table, set to its default.
// The Julia constant and the two name texts are left alone.
void ApplyNewDefaults(TIterationContext& ctx);

// Magnification 1, the square -2..2 and the pending rectangle with it.
void ResetCoordinates(TIterationContext& ctx);

// Derives XMin..YMax from centre, magnification and image size so that the
// rectangle's width-to-height ratio is the image's. Sizes of 0 or below
// leave the aspect factors at 1 rather than dividing by them.
void AdjustCoords(TIterationContext& ctx);

// Rounds to the nearest integer, halves to even; NaN gives 0 and values
// beyond the 32-bit range saturate.
inline int32_t RoundToInt32(double value) {
    if (std::isnan(value)) return 0;
    const double rounded = std::nearbyint(value);  // the default mode rounds halves to even
    if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(rounded);
}

}  // namespace engine
