#include "exact_view.h"

#include <gtest/gtest.h>

#include <cfloat>

namespace engine {
namespace {

TEST(ExactView, TextsHoldOnlyTheirNearestDouble) {
    struct Case {
        const char* text;
        double value;
        bool holds;
    } const cases[] = {
        {"-0.743643887037158704752191506114774", -0.7436438870371587, true},
        {"-0.743643887037158704752191506114774", -0.7436438870371588, false},
        {"0.1", 0.1, true},
        {"1E400", DBL_MAX, true},   // beyond the range: the largest double
        {"-1e400", -DBL_MAX, true},
        {"1E-400", 0.0, true},
        {"1E400", 1e300, false},
        {"", 0.0, false},
        {"1,5", 1.5, false},       // only "." is a decimal mark here
        {"nan", 0.0, false},
        {"inf", DBL_MAX, false},
        {"1e", 1.0, false},
        {".", 0.0, false},
        {"+.5e+0", 0.5, true},
    };
    for (const Case& c : cases) EXPECT_EQ(TextHolds(c.text, c.value), c.holds) << c.text;
}

TEST(ExactView, EffectiveViewFallsBackToTheDoublesAChangeLeft) {
    TIterationContext ctx{};
    ctx.CenterX = -0.7436438870371587;
    ctx.CenterY = 0.1;
    ctx.Magnification = 1e300;
    ExactView view{"-0.743643887037158704752191506114774", "0.10000000000000000000001", "", "junk", ""};
    const ExactView effective = EffectiveView(view, ctx);
    EXPECT_EQ(effective.centerX, view.centerX);
    EXPECT_EQ(effective.centerY, view.centerY);
    EXPECT_EQ(effective.magnification, "1e+300");
    EXPECT_EQ(effective.juliaX, "0");
    ctx.CenterX += 1e-12;  // a command moved the double alone
    EXPECT_EQ(EffectiveView(view, ctx).centerX, ShortestText(ctx.CenterX));
    double back = 0.0;
    ASSERT_TRUE(NearestDouble(ShortestText(ctx.CenterX), back));
    EXPECT_EQ(back, ctx.CenterX);
}

}  // namespace
}  // namespace engine
