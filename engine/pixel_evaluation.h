// The host side of one plug-in call: orbit buffers, plane transform, the
// call itself, and the render methods that reduce the orbit to two values.
#pragma once

#include <vector>

#include "iteration_context.h"
#include "plugin_binding.h"

namespace engine {

struct OrbitBuffers {
    std::vector<double> X = std::vector<double>(kOrbitBufferEntries, 0.0);
    std::vector<double> Y = std::vector<double>(kOrbitBufferEntries, 0.0);
};

// Lends the buffers, transforms c and z by `RotationMode`, calls `_formula`,
// restores c and runs the render method. `Maxit` above the buffers' limit is
// lowered (and stored back) before the call.
void EvaluatePixel(TIterationContext& ctx, OrbitBuffers& orbit, FormulaEntryFn formula);

// Fills `RenderX` and `RenderY` from `IterCount`, z and orbit entries
// 0 .. IterCount-1 by `RenderNo`; method 9 rewrites those entries in place.
void ApplyRenderMethod(TIterationContext& ctx, OrbitBuffers& orbit);

}  // namespace engine
