// Fit Colours to Picture: the nearly one-coloured deep picture gets
// its colours back, by colour controls alone, without computing again.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "fit_colours.h"
#include "picture_settings.h"

namespace engine {
namespace {

size_t Colours(const imaging::Picture& picture) {
    std::set<uint32_t> seen;
    for (int32_t y = 0; y < picture.Height(); ++y)
        for (int32_t x = 0; x < picture.Width(); ++x) seen.insert(picture.Pixel(x, y));
    return seen.size();
}

// Counts the formula's calls: a recolouring computes nothing.
class CountingHost : public GenerationHost {
public:
    void AfterRow() override { ++rows; }
    int rows = 0;
};

TIterationContext Seahorse(int32_t width, int32_t height) {
    TIterationContext ctx{};
    ApplyNewDefaults(ctx);
    ResetCoordinates(ctx);
    // The default Rotate90 shows (y, x): this is the seahorse valley.
    ctx.CenterX = 0.1318259042053119;
    ctx.CenterY = -0.7436438870371587;
    ctx.Magnification = 1e6;
    ctx.ImageWidth = width;
    ctx.ImageHeight = height;
    return ctx;
}

TEST(FitColours, TheSeahorseValleyAtAMillionGetsItsColoursBackWithoutComputing) {
    struct Case {
        int32_t width, height, blend;
        size_t before, atLeast;
    } const cases[] = {
        {160, 120, 20, 3, 1000},  // the picture: three colours in 19,200 pixels
        {330, 250, 13, 0, 1000},  // larger than the 320 by 240 buffers
        {160, 120, 6, 0, 40},     // grey from the blue wave alone
    };
    for (const Case& c : cases) {
        CountingHost host;
        GenerationCore core(host);
        ASSERT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
        core.SetThreadCount(2);
        core.KeepPictureValues = true;
        core.Context = Seahorse(c.width, c.height);
        core.Context.BlendNo = c.blend;
        core.LastFormulaNo = 0;
        imaging::Picture picture(c.width, c.height);
        core.CurrentImage = &picture;
        ASSERT_TRUE(core.Generate());
        if (c.before != 0) {
            EXPECT_EQ(Colours(picture), c.before);
        }
        const int rows = host.rows;

        ASSERT_EQ(FitColoursToPicture(core), FitOutcome::Fitted);
        EXPECT_EQ(host.rows, rows);  // recoloured, not computed
        EXPECT_GE(Colours(picture), c.atLeast) << c.blend;
        // Values the colour controls show as they are: opening them changes nothing.
        const TIterationContext& fitted = core.Context;
        for (const double step : {fitted.RedStep, fitted.GrnStep, fitted.BluStep}) {
            EXPECT_GE(step, 0.01);
            EXPECT_LE(step, 255.0);
            EXPECT_EQ(step, std::round(step * 100) / 100);
        }
        EXPECT_EQ(fitted.dFactor3, std::round(fitted.dFactor3 * 1000) / 1000);
        if (c.blend == 6) {  // the red and green waves are not used: their Steps stay
            EXPECT_EQ(fitted.RedStep, 1.0);
            EXPECT_EQ(fitted.GrnStep, 1.0);
        }
        // Only colour controls changed, and the picture is the one the fitted
        // settings compute.
        TIterationContext expected = Seahorse(c.width, c.height);
        expected.BlendNo = c.blend;
        EXPECT_EQ(fitted.Maxit, expected.Maxit);
        EXPECT_EQ(fitted.RedStart, expected.RedStart);
        EXPECT_EQ(fitted.BluSaturate, expected.BluSaturate);
        GenerationHost quiet;
        GenerationCore again(quiet);
        ASSERT_TRUE(again.BindPlugin({HALVANE_BIN_DIR}));
        again.Context = expected;
        again.Context.RedStep = fitted.RedStep;
        again.Context.GrnStep = fitted.GrnStep;
        again.Context.BluStep = fitted.BluStep;
        again.Context.dFactor3 = fitted.dFactor3;
        again.LastFormulaNo = 0;
        imaging::Picture computed(c.width, c.height);
        again.CurrentImage = &computed;
        ASSERT_TRUE(again.Generate());
        EXPECT_TRUE(computed == picture) << c.blend;
    }
}

TEST(FitColours, NothingChangesWithoutTheWholePictureOrVaryingValues) {
    GenerationHost host;
    GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
    core.Context = Seahorse(64, 48);
    core.LastFormulaNo = 0;
    imaging::Picture picture(64, 48);
    core.CurrentImage = &picture;
    ASSERT_TRUE(core.Generate());
    const TIterationContext before = core.Context;
    EXPECT_EQ(FitColoursToPicture(core), FitOutcome::NoValues);  // values not kept

    core.KeepPictureValues = true;
    ASSERT_TRUE(core.BeginGeneration());
    core.ComputeRow();  // one row of 48
    EXPECT_EQ(FitColoursToPicture(core), FitOutcome::NoValues);

    core.Context.RenderNo = 1;  // every pixel reaches the limit: one value
    ASSERT_TRUE(core.Generate());
    EXPECT_EQ(FitColoursToPicture(core), FitOutcome::NothingToFit);
    EXPECT_EQ(core.Context.RedStep, before.RedStep);
    EXPECT_EQ(core.Context.dFactor3, before.dFactor3);
}

}  // namespace
}  // namespace engine
