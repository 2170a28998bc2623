// "Fit Colours to Picture": colour controls that spread a picture's render
// values over the colour waves, so that a picture whose values differ only a
// little (deep views) shows more than a colour or two.
//
// The rule. The picture's pixels whose render values are not both 0 (those
// are black whatever the controls) are taken, at most 16,384 of them evenly
// spread. For a render factor d (the "Render" control, dFactor3) each
// channel's mix values follow from the blend method; the channel's spread
// is the range of its middle 96 % (2nd to 98th percentile). A channel then
// gets the Step that makes that spread one whole wave: Step = 360 /
// (wave factor x spread), the wave factor being 360/255 for the blend
// methods' triangle wave and 360 for the others. d stays as it is where
// every Step needed lies in the Steps' range (0.01 to 255); else it becomes
// the factor nearest to it (on a scale of ratios, ten steps to a decade from 0.001 to 10000) for
// which they do, or, where none does, the one that comes closest. Steps
// keep two decimals and d three, as the colour controls show them, so that
// opening the controls changes nothing. Starts, saturations, offsets, the
// other factors, the blend method and the channel order are not touched;
// a channel whose values do not vary, or that the blend method does not use
// (method 6 uses blue alone), keeps its Step.
#pragma once

#include <cstddef>

#include "iteration_context.h"

namespace colour {

struct ColourFit {
    bool fitted = false;  // false: no values vary, or a wrong blend method number
    double redStep = 0.0, grnStep = 0.0, bluStep = 0.0;
    double renderFactor = 0.0;  // dFactor3
};

// The fit for the raw render values x[i], y[i] (before dFactor3) of a
// picture coloured with `ctx`'s blend method and controls.
ColourFit FitColours(const TIterationContext& ctx, const double* x, const double* y, size_t count);

}  // namespace colour
