// Colour waves, channel orders and blend methods against worked levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "colour_mapping.h"
#include "rounding.h"
#include "picture_settings.h"

namespace {

using colour::ColourPassReport;
using colour::ColourWork;

class Colouring : public ::testing::Test {
protected:
    void SetUp() override { engine::ApplyNewDefaults(ctx); }

    // Runs blend method `method` on (x, y) and returns the written pixel.
    uint32_t Blend(int32_t method, double x, double y) {
        ctx.BlendNo = method;
        ctx.RenderX = x;
        ctx.RenderY = y;
        picture.SetPixel(0, 0, imaging::PackColour(1, 2, 3));
        colour::BlendAndColour(ctx, work, picture, 0, 0, report);
        return picture.Pixel(0, 0);
    }

    TIterationContext ctx{};
    ColourWork work;
    ColourPassReport report;
    imaging::Picture picture{2, 2};
};

TEST_F(Colouring, BlendOneWithDefaultsAndTheGbrOrder) {
    const uint32_t pixel = Blend(1, 0.5, 0.5);
    EXPECT_EQ(work.RedLevel, 62);
    EXPECT_EQ(work.GrnLevel, 164);
    EXPECT_EQ(work.BluLevel, 157);
    EXPECT_EQ(pixel, imaging::PackColour(164, 157, 62));
}

TEST_F(Colouring, EveryChannelOrderPlacesTheLevels) {
    const uint32_t expected[] = {imaging::PackColour(62, 164, 157), imaging::PackColour(62, 157, 164),
                                 imaging::PackColour(164, 157, 62), imaging::PackColour(164, 62, 157),
                                 imaging::PackColour(157, 62, 164), imaging::PackColour(157, 164, 62)};
    for (int32_t order = 1; order <= 6; ++order) {
        ctx.ColorOrderNo = order;
        EXPECT_EQ(Blend(1, 0.5, 0.5), expected[order - 1]) << order;
    }
    EXPECT_FALSE(report.wrongOrderNumber);
}

TEST_F(Colouring, WrongOrderWritesNothingButBlackStillGoesThrough) {
    for (int32_t order : {0, 7}) {
        ctx.ColorOrderNo = order;
        report = {};
        EXPECT_EQ(Blend(1, 0.5, 0.5), imaging::PackColour(1, 2, 3));
        EXPECT_TRUE(report.wrongOrderNumber);
        EXPECT_EQ(Blend(1, 0.0, 0.0), 0u);
    }
}

TEST_F(Colouring, WrongBlendNumberWritesNothing) {
    for (int32_t method : {0, 27, -4}) {
        report = {};
        EXPECT_EQ(Blend(method, 0.5, 0.5), imaging::PackColour(1, 2, 3));
        EXPECT_TRUE(report.wrongBlendNumber);
    }
}

TEST_F(Colouring, TriangleWaveOfMethod13) {
    Blend(13, 0.5, 0.25);
    EXPECT_EQ(ctx.RenderX, 127.5);
    EXPECT_EQ(ctx.RenderY, 63.75);
    EXPECT_EQ(work.RedLevel, 62);
    EXPECT_EQ(work.GrnLevel, 6);
    EXPECT_EQ(work.BluLevel, 30);
}

TEST_F(Colouring, OwnLevelsOfMethods9And10) {
    Blend(9, 0.5, 0.5);
    EXPECT_EQ(work.RedLevel, 62);
    EXPECT_EQ(work.GrnLevel, 164);
    EXPECT_EQ(work.BluLevel, 57);
    Blend(10, 0.5, 0.5);
    const double r = -std::sin(211.0 / 360.0 * colour::kTwoPi);
    const double g = -std::cos(197.0 / 360.0 * colour::kTwoPi);
    const double b = (std::sin(209.0 / 360.0 * colour::kTwoPi) + r + g) * 0.5;
    EXPECT_EQ(work.RedLevel, std::lround(r * 127 + 127));
    EXPECT_EQ(work.GrnLevel, std::lround(g * 127 + 127));
    EXPECT_EQ(work.BluLevel, std::lround(b * 127 + 127));
}

TEST_F(Colouring, GreyOfMethod6FollowsTheBlueControls) {
    ctx.RedStart = 3.0;
    ctx.GrnStart = 90.0;
    ctx.BluStart = 200.0;
    const uint32_t pixel = Blend(6, 0.3, 0.1);
    EXPECT_EQ(imaging::RedOf(pixel), imaging::GreenOf(pixel));
    EXPECT_EQ(imaging::GreenOf(pixel), imaging::BlueOf(pixel));
    const double angle = (0.2 * 360.0 + 200.0) / 360.0 * colour::kTwoPi;
    EXPECT_EQ(work.BluLevel, colour::RoundToInt32(std::cos(angle) * 127 + 127));
}

TEST_F(Colouring, ZeroRenderValuesGiveBlackExceptUnderMethod23) {
    for (int32_t method = 1; method <= 26; ++method) {
        if (method == 23) continue;
        EXPECT_EQ(Blend(method, 0.0, 0.0), 0u) << method;
    }
    EXPECT_NE(Blend(23, 0.0, 0.0), 0u);
    EXPECT_EQ(ctx.RenderX, 1e-20);
    EXPECT_EQ(ctx.RenderY, 1e-20);
}

TEST_F(Colouring, GuardsWriteBackIntoCAndZ) {
    ctx.CRe = 0.0;
    ctx.CIm = -0.0;
    Blend(22, 0.1, 0.1);
    EXPECT_EQ(ctx.CRe, 1e-20);
    EXPECT_EQ(ctx.CIm, 1e-20);
    ctx.ZRe = 0.5;
    ctx.ZIm = std::numeric_limits<double>::quiet_NaN();
    Blend(25, 0.1, 0.2);
    EXPECT_EQ(ctx.ZIm, 1e-20);
    EXPECT_EQ(ctx.ZRe, 0.5);
}

TEST_F(Colouring, Method25MixesAreQuarterTurnsTimesSquares) {
    ctx.ZRe = 0.3;
    ctx.ZIm = -2.0;
    ctx.RedStep = 0.0;  // keep the wave from hiding the mix values
    Blend(25, 0.5, 0.25);
    EXPECT_EQ(ctx.RenderX, 0.5);  // not scaled
    EXPECT_NEAR(work.RedMix, std::sin(31.0 / 360.0 * colour::kTwoPi), 1e-9);
}

TEST_F(Colouring, Method15OnEqualValues) {
    ctx.RedStep = ctx.GrnStep = ctx.BluStep = 0.0;
    ctx.RedStart = ctx.GrnStart = ctx.BluStart = 0.0;
    Blend(15, 0.2, 0.2);
    EXPECT_EQ(ctx.RenderX, 255.0 * 0.2);
}

TEST_F(Colouring, LevelsClampAndRoundHalvesToEven) {
    ctx.RenderX = 1.0;
    ctx.ColorOrderNo = 1;
    work.RedLevel = 255;
    work.GrnLevel = 256;
    work.BluLevel = -1;
    colour::ApplyColor(ctx, work, picture, 1, 1, report);
    EXPECT_EQ(picture.Pixel(1, 1), imaging::PackColour(255, 255, 0));
    EXPECT_EQ(colour::RoundToInt32(2.5), 2);
    EXPECT_EQ(colour::RoundToInt32(3.5), 4);
    EXPECT_EQ(colour::RoundToInt32(-2.5), -2);
    EXPECT_EQ(colour::RoundToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(colour::RoundToInt32(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(colour::RoundToInt32(-1e300), std::numeric_limits<int32_t>::min());
}

TEST_F(Colouring, HugeAnglesGiveZeroAndHugeLevelsSaturate) {
    EXPECT_EQ(colour::WaveSin(9223372036854775808.0), 0.0);
    EXPECT_EQ(colour::WaveCos(-1e300), 0.0);
    EXPECT_NE(colour::WaveSin(1e18), 0.0);
    EXPECT_TRUE(std::isnan(colour::WaveSin(std::nan(""))));
    // Render values of 1e300 and NaN run through every method without faults.
    for (int32_t method = 1; method <= 26; ++method) {
        Blend(method, 1e300, -1e300);
        Blend(method, std::nan(""), 0.5);
        Blend(method, -3.0, -2.0);  // negative square roots in method 8
        EXPECT_FALSE(report.wrongBlendNumber);
    }
}

TEST_F(Colouring, SineSineUsesCosineForGreenAndNegatedCosineForBlue) {
    work.RedMix = work.GrnMix = work.BluMix = 0.25;
    colour::SineSine(ctx, work);
    auto level = [](double wave) { return colour::RoundToInt32(wave * 127 + 127); };
    EXPECT_EQ(work.RedLevel, level(std::sin((90.0 + 31.0) / 360.0 * colour::kTwoPi)));
    EXPECT_EQ(work.GrnLevel, level(std::cos((90.0 + 17.0) / 360.0 * colour::kTwoPi)));
    EXPECT_EQ(work.BluLevel, level(-std::cos((90.0 + 29.0) / 360.0 * colour::kTwoPi)));
}

// Remembered levels must be the ones a fresh wave gives whenever any input
// differs: one render value, NaN, zeros of either sign, values whose mixes
// vanish (black or not), c or z, or the method (same mixes, other wave).
TEST_F(Colouring, RememberedLevelsEqualFreshOnesWheneverAnInputDiffers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<double, double> values[] = {{0.3, 0.2},  {0.3, 0.2},  {0.3, 0.25},  {0.35, 0.25},
                                                {nan, 0.25}, {nan, 0.25}, {0.35, 0.25}, {0.35, nan},
                                                {0.0, 0.0},  {-0.0, 0.0}, {1e-200, 1e-200}, {0.0, -0.0}};
    TIterationContext fresh = ctx;
    ColourWork freshWork;
    imaging::Picture freshPicture{2, 2};
    colour::WaveMemo memo;
    auto compare = [&](const char* what) {
        fresh.CRe = ctx.CRe;
        fresh.CIm = ctx.CIm;
        fresh.ZRe = ctx.ZRe;
        fresh.ZIm = ctx.ZIm;
        fresh.BlendNo = ctx.BlendNo;
        fresh.RenderX = ctx.RenderX;
        fresh.RenderY = ctx.RenderY;
        picture.SetPixel(0, 0, imaging::PackColour(1, 2, 3));
        freshPicture.SetPixel(0, 0, imaging::PackColour(1, 2, 3));
        colour::BlendAndColour(ctx, work, memo, picture, 0, 0, report);
        colour::BlendAndColour(fresh, freshWork, freshPicture, 0, 0, report);
        EXPECT_EQ(picture.Pixel(0, 0), freshPicture.Pixel(0, 0)) << "method " << ctx.BlendNo << ", " << what;
        EXPECT_EQ(work.RedLevel, freshWork.RedLevel) << "method " << ctx.BlendNo << ", " << what;
        EXPECT_EQ(work.GrnLevel, freshWork.GrnLevel) << "method " << ctx.BlendNo << ", " << what;
        EXPECT_EQ(work.BluLevel, freshWork.BluLevel) << "method " << ctx.BlendNo << ", " << what;
    };
    ctx.CRe = 0.4;
    ctx.CIm = 0.1;
    ctx.ZRe = 0.6;
    ctx.ZIm = -0.7;
    for (int32_t method = 1; method <= colour::kBlendMethodCount; ++method) {
        ctx.BlendNo = method;
        for (const auto& [x, y] : values) {
            ctx.RenderX = x;
            ctx.RenderY = y;
            compare(std::isnan(x) ? "NaN" : std::signbit(x) ? "-0" : "values");
        }
        for (double* z : {&ctx.CRe, &ctx.CIm, &ctx.ZRe, &ctx.ZIm}) {
            *z += 0.125;
            ctx.RenderX = ctx.RenderY = 0.3;
            compare("c or z");
        }
        ctx.RenderX = 0.3;  // the next method starts from the same values
        ctx.RenderY = 0.2;
        compare("the same values");
    }
    EXPECT_FALSE(report.wrongOrderNumber);
}

}  // namespace

namespace {

TEST(Rounding, MatchesNearbyIntAcrossTheRange) {
    const double values[] = {0.5, 1.5, 2.5, -0.5, -1.5, -2.5, 0.49999999999999994, -0.49999999999999994,
                             2147483646.5, 2147483647.4, -2147483647.5, -2147483648.4, 1e-300, -1e-300,
                             123456.789, -98765.4321, 4503599627370495.5, 0.0, -0.0};
    for (double v : values) {
        const double expected = std::nearbyint(v);
        const int32_t want = expected >= 2147483647.0    ? INT32_MAX
                             : expected <= -2147483648.0 ? INT32_MIN
                                                         : static_cast<int32_t>(expected);
        EXPECT_EQ(colour::RoundToInt32(v), want) << v;
    }
    EXPECT_EQ(colour::RoundToInt32(std::numeric_limits<double>::infinity()), INT32_MAX);
    EXPECT_EQ(colour::RoundToInt32(-std::numeric_limits<double>::infinity()), INT32_MIN);
}

}  // namespace
