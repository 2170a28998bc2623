#include "fit_colours.h"

#include "colour_fit.h"

namespace engine {

FitOutcome FitColoursToPicture(GenerationCore& core) {
    TIterationContext& ctx = core.Context;
    const PictureValues& values = core.Values;
    if (!values.Complete(ctx.ImageWidth, ctx.ImageHeight)) return FitOutcome::NoValues;
    const colour::ColourFit fit = colour::FitColours(ctx, values.X.data(), values.Y.data(), values.X.size());
    if (!fit.fitted) return FitOutcome::NothingToFit;
    ctx.RedStep = fit.redStep;
    ctx.GrnStep = fit.grnStep;
    ctx.BluStep = fit.bluStep;
    ctx.dFactor3 = fit.renderFactor;
    core.RecolourFromPictureValues();
    return FitOutcome::Fitted;
}

}  // namespace engine
