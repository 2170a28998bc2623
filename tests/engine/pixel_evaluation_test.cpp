// The host side of a plug-in call and the nine render methods.
#include <gtest/gtest.h>

#include <cmath>

#include "pixel_evaluation.h"
#include "plugin_fixture.h"

namespace {

// A formula that records what it was given and scribbles over c.
TIterationContext seen;
void Spy(TIterationContext* ctx) {
    seen = *ctx;
    ctx->CRe = 123.0;
    ctx->CIm = 456.0;
    ctx->ZRe = 7.0;
    ctx->IterCount = 1;
}

class PixelEvaluation : public ::testing::Test {
protected:
    void SetUp() override {
        ctx.CRe = 0.25;
        ctx.CIm = -0.5;
        ctx.ZRe = 0.1;
        ctx.ZIm = 0.2;
        ctx.Maxit = 100;
    }
    engine::OrbitBuffers orbit;
    TIterationContext ctx{};
};

TEST_F(PixelEvaluation, RotationModesTransformCAndZAndCIsRestored) {
    struct Case {
        int32_t mode;
        double cre, cim, zre, zim;
    };
    for (const Case& k : {Case{0, 0.25, -0.5, 0.1, 0.2}, Case{1, -0.5, 0.25, 0.2, 0.1},
                          Case{2, 0.5, -0.25, -0.2, -0.1}, Case{3, -0.25, 0.5, -0.1, -0.2},
                          Case{4, 0.25, -0.5, 0.1, 0.2}, Case{-1, 0.25, -0.5, 0.1, 0.2}}) {
        SetUp();
        ctx.RotationMode = k.mode;
        engine::EvaluatePixel(ctx, orbit, Spy);
        EXPECT_EQ(seen.CRe, k.cre) << k.mode;
        EXPECT_EQ(seen.CIm, k.cim) << k.mode;
        EXPECT_EQ(seen.ZRe, k.zre) << k.mode;
        EXPECT_EQ(seen.ZIm, k.zim) << k.mode;
        EXPECT_EQ(ctx.CRe, 0.25);
        EXPECT_EQ(ctx.CIm, -0.5);
        EXPECT_EQ(ctx.ZRe, 7.0);  // z keeps what the plug-in left
    }
}

TEST_F(PixelEvaluation, LendsBuffersAndTitlesAndClearsOnlyThePreviousCount) {
    orbit.X[4] = 9.0;
    orbit.X[5] = 9.0;
    ctx.IterCount = 5;
    engine::EvaluatePixel(ctx, orbit, [](TIterationContext* c) {
        EXPECT_EQ(c->OrbitX[4], 0.0);
        EXPECT_EQ(c->OrbitX[5], 9.0);
        EXPECT_STREQ(c->FormulaName, "fractal formula");
        EXPECT_STREQ(c->RenderName, "render formula");
    });
    EXPECT_EQ(ctx.OrbitX, orbit.X.data());
}

TEST_F(PixelEvaluation, BuffersGrowForTheLimitAndALimitAboveTheLargestIsLowered) {
    struct Case {
        int32_t maxit, lent;
    } const cases[] = {{50000, 50000}, {kMaxIterationLimit + 1, kMaxIterationLimit}, {300, kMaxIterationLimit}};
    for (const Case& k : cases) {
        ctx.Maxit = k.maxit;
        ctx.IterCount = 0;
        static int32_t seen;
        static size_t room;
        engine::EvaluatePixel(ctx, orbit, [](TIterationContext* c) { seen = c->Maxit; });
        room = orbit.X.size();
        EXPECT_EQ(seen, std::min(k.maxit, kMaxIterationLimit)) << k.maxit;
        EXPECT_EQ(ctx.Maxit, std::min(k.maxit, kMaxIterationLimit)) << k.maxit;
        // Never shrunk: a later smaller limit keeps the room of the larger one.
        EXPECT_EQ(room, static_cast<size_t>(OrbitEntriesFor(k.lent))) << k.maxit;
        EXPECT_EQ(ctx.OrbitX, orbit.X.data());
        EXPECT_EQ(orbit.Y.size(), room);
    }
}

class RenderMethods : public ::testing::Test {
protected:
    void Render(int32_t method, int32_t n, double zr = 0.0, double zi = 0.0) {
        ctx.RenderNo = method;
        ctx.IterCount = n;
        ctx.ZRe = zr;
        ctx.ZIm = zi;
        engine::ApplyRenderMethod(ctx, orbit);
    }
    engine::OrbitBuffers orbit;
    TIterationContext ctx{};
};

TEST_F(RenderMethods, UnknownMethodsGiveZero) {
    ctx.RenderX = 5.0;
    for (int32_t method : {0, 10, -3}) {
        Render(method, 5, 1.0, 1.0);
        EXPECT_EQ(ctx.RenderX, 0.0);
        EXPECT_EQ(ctx.RenderY, 0.0);
    }
}

TEST_F(RenderMethods, ConstantTimeMethods) {
    ctx.Maxit = 100;
    Render(1, 50);
    EXPECT_EQ(ctx.RenderX, 0.5);
    EXPECT_EQ(ctx.RenderY, 0.5);
    ctx.Maxit = 0;
    Render(1, 1);
    EXPECT_EQ(ctx.RenderX, 0.0);
    Render(2, 3, 0.0, 0.0);
    EXPECT_EQ(ctx.RenderX, 0.0);
    EXPECT_EQ(ctx.RenderY, 0.0);
    Render(4, 3, 1.0, 1.0);
    EXPECT_DOUBLE_EQ(ctx.RenderX, 1.6);
    EXPECT_EQ(ctx.RenderX, ctx.RenderY);
    ctx.dFactor4 = 2.0;
    Render(3, 2, 3.0, 4.0);
    EXPECT_DOUBLE_EQ(ctx.RenderX, -2.0 * std::log(25.0) / 4.0);
    Render(3, 0, 3.0, 4.0);
    EXPECT_EQ(ctx.RenderX, 0.0);
}

TEST_F(RenderMethods, EmptyOrbitValues) {
    const double expected[][2] = {{0, 0}, {0, 0}, {0, 0}, {2, 2}, {0, 0}, {0, 0}};
    for (int32_t method = 4; method <= 9; ++method) {
        if (method == 4) continue;
        Render(method, 0);
        EXPECT_EQ(ctx.RenderX, expected[method - 4][0]) << method;
        EXPECT_EQ(ctx.RenderY, expected[method - 4][1]) << method;
    }
}

TEST_F(RenderMethods, DeviationIsTheRootOfThePlainSum) {
    orbit.X[0] = 1.0;
    orbit.X[1] = 3.0;
    Render(6, 2);
    EXPECT_DOUBLE_EQ(ctx.RenderX, 1.6);
}

TEST_F(RenderMethods, DimensionOfASinglePoint) {
    Render(8, 1);
    EXPECT_NEAR(ctx.RenderX, 2.0 - 1.0 / std::log(100.0), 1e-12);
    EXPECT_NEAR(ctx.RenderY, 1.78285, 1e-5);
}

TEST_F(RenderMethods, AveragingAndRange) {
    orbit.X[0] = 0.0;
    orbit.X[1] = 1.0;
    orbit.Y[0] = 0.0;
    orbit.Y[1] = -1.0;
    Render(5, 2);
    EXPECT_DOUBLE_EQ(ctx.RenderX, 2.0 - 1.0 / (0.25 + 0.5));
    Render(7, 2);
    EXPECT_DOUBLE_EQ(ctx.RenderX, 2.0 - 1.0 / 1.5);
    EXPECT_DOUBLE_EQ(ctx.RenderY, 2.0 - 1.0 / 1.5);
}

TEST_F(RenderMethods, RatioTransformRewritesTheOrbitAndLeavesOneInEntryZero) {
    orbit.X[1] = 0.0;
    orbit.Y[1] = 200.0;
    Render(9, 2);
    EXPECT_EQ(orbit.X[0], 1.0);
    EXPECT_EQ(orbit.Y[0], 1.0);
    EXPECT_DOUBLE_EQ(orbit.X[1], 1e-22);
    EXPECT_DOUBLE_EQ(orbit.Y[1], 1e22);
}

TEST_F(PluginTest, OrbitEntryZeroTurnsOneForGoodAfterMethodNine) {
    ctx.RenderNo = 5;
    ctx.RotationMode = 0;
    ctx.IterCount = 0;
    ctx.ZRe = ctx.CRe = 0.3;
    ctx.ZIm = ctx.CIm = 0.1;
    engine::EvaluatePixel(ctx, orbit, plugin->FormulaEntry());
    const double before = ctx.RenderX;
    EXPECT_EQ(orbit.X[0], 0.0);
    ctx.RenderNo = 9;
    ctx.IterCount = 0;
    engine::EvaluatePixel(ctx, orbit, plugin->FormulaEntry());
    ctx.RenderNo = 5;
    ctx.IterCount = 0;
    ctx.ZRe = ctx.CRe = 0.3;
    ctx.ZIm = ctx.CIm = 0.1;
    engine::EvaluatePixel(ctx, orbit, plugin->FormulaEntry());
    EXPECT_EQ(orbit.X[0], 1.0);
    EXPECT_NE(ctx.RenderX, before);
}

}  // namespace
