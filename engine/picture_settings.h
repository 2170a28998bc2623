// The picture settings that "New" sets, and the view they imply.
#pragma once

#include <cstdint>

#include "iteration_context.h"

namespace engine {

// Every context field of the New command's table, set to its default.
// The Julia constant and the two name texts are left alone.
void ApplyNewDefaults(TIterationContext& ctx);

// Magnification 1, the square -2..2 and the pending rectangle with it.
void ResetCoordinates(TIterationContext& ctx);

// Derives XMin..YMax from centre, magnification and image size so that the
// rectangle's width-to-height ratio is the image's. Sizes of 0 or below
// leave the aspect factors at 1 rather than dividing by them.
void FitViewToImage(TIterationContext& ctx);

}  // namespace engine
