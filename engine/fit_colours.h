// "Fit Colours to Picture" on the picture a core computed last: the colour
// controls that spread its render values over the colour waves (the rule:
// colour_fit.h), then the picture recoloured from its kept values, nothing
// computed again.
#pragma once

#include "generation.h"

namespace engine {

enum class FitOutcome {
    Fitted,        // controls changed, picture recoloured
    NoValues,      // the core holds no values of the whole picture: nothing changed
    NothingToFit,  // the values do not vary (or the blend number is wrong): nothing changed
};

FitOutcome FitColoursToPicture(GenerationCore& core);

}  // namespace engine
