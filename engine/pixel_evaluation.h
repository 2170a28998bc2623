// The host side of one plug-in call: orbit buffers, plane transform, the
// call itself, and the render methods that reduce the orbit to two values.
#pragma once

#include <algorithm>
#include <vector>

#include "iteration_context.h"
#include "plugin_binding.h"

namespace engine {

// The orbit of one pixel: as long as the limit needs (16 bytes per entry,
// 16 MB at the largest limit), grown when a larger limit comes and never
// shrunk, so entries above the count keep what earlier pixels left.
struct OrbitBuffers {
    std::vector<double> X = std::vector<double>(OrbitEntriesFor(100), 0.0);
    std::vector<double> Y = std::vector<double>(OrbitEntriesFor(100), 0.0);
    // Makes room for a call with limit `maxit` (new entries are 0.0).
    void Hold(int32_t maxit) {
        const size_t entries = static_cast<size_t>(OrbitEntriesFor(maxit));
        if (X.size() < entries) X.resize(entries, 0.0);
        if (Y.size() < entries) Y.resize(entries, 0.0);
    }
    int32_t Entries() const { return static_cast<int32_t>(std::min(X.size(), Y.size())); }
};

// Lends the buffers (grown for `Maxit` first), transforms c and z by
// `RotationMode`, calls `_formula`, restores c and runs the render method.
// `Maxit` above kMaxIterationLimit is lowered (and stored back) before the call.
void EvaluatePixel(TIterationContext& ctx, OrbitBuffers& orbit, FormulaEntryFn formula);

// What EvaluatePixel sets before the call: the orbit pointers and the two titles.
void LendOrbit(TIterationContext& ctx, OrbitBuffers& orbit);

// Fills `RenderX` and `RenderY` from `IterCount`, z and orbit entries
// 0 .. IterCount-1 by `RenderNo`; method 9 rewrites those entries in place.
void ApplyRenderMethod(TIterationContext& ctx, OrbitBuffers& orbit);

}  // namespace engine
