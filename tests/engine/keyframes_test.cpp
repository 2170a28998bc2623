// The settings of the frames between keys.
#include <gtest/gtest.h>

#include <mpreal.h>

#include <cmath>

#include "keyframes.h"
#include "picture_settings.h"

namespace {

using mpfr::mpreal;

TIterationContext Settings(double centerX, double centerY, double magnification) {
    TIterationContext ctx{};
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = 64;
    ctx.ImageHeight = 48;
    ctx.CenterX = centerX;
    ctx.CenterY = centerY;
    ctx.Magnification = magnification;
    return ctx;
}

engine::Keyframe Key(int32_t frame, const TIterationContext& settings, engine::ExactView view = {}) {
    return {frame, settings, view};
}


TEST(Keyframes, TheKeysThemselvesAndTheSwitchesAtTheKey) {
    TIterationContext a = Settings(-0.5, 0.0, 1.0);
    TIterationContext b = Settings(-0.74, 0.13, 100.0);
    b.FormulaNo = 7;
    b.RenderNo = 5;
    b.BlendNo = 13;
    b.ColorOrderNo = 2;
    b.RotationMode = 3;
    b.JuliaMode = 1;
    b.InsideOut = 1;
    const engine::ExactView deepB{"-0.7400000000000000000000001", "", "", "", ""};
    b.CenterX = -0.74;  // the text's nearest double: the text is in charge
    const std::vector<engine::Keyframe> keys = {Key(0, a), Key(10, b, deepB)};
    const engine::FrameSettings first = engine::InterpolateKeyframes(keys, 0);
    EXPECT_EQ(first.settings.Magnification, 1.0);
    EXPECT_EQ(first.settings.CenterX, -0.5);
    EXPECT_TRUE(first.view.Empty());
    const engine::FrameSettings last = engine::InterpolateKeyframes(keys, 10);
    EXPECT_EQ(last.view, deepB);
    EXPECT_EQ(last.settings.Magnification, 100.0);
    const engine::FrameSettings before = engine::InterpolateKeyframes(keys, 9);
    for (const auto& [field, name] : {std::pair{&TIterationContext::FormulaNo, "formula"},
                                      {&TIterationContext::RenderNo, "render"},
                                      {&TIterationContext::BlendNo, "blend"},
                                      {&TIterationContext::ColorOrderNo, "order"},
                                      {&TIterationContext::RotationMode, "rotation"},
                                      {&TIterationContext::JuliaMode, "julia mode"},
                                      {&TIterationContext::InsideOut, "inside out"}}) {
        EXPECT_EQ(before.settings.*field, a.*field) << name << " before the key";
        EXPECT_EQ(last.settings.*field, b.*field) << name << " at the key";
    }
}

TEST(Keyframes, MagnificationGeometricAndCentreEvenOnScreen) {
    // Zooming in, zooming out and panning at one magnification.
    const struct {
        const char* name;
        alignas(8) TIterationContext a;  // read through member pointers
        alignas(8) TIterationContext b;
    } cases[] = {
        {"in", Settings(-0.5, 0.0, 1.0), Settings(-0.74, 0.13, 1e6)},
        {"out", Settings(-0.74, 0.13, 1e6), Settings(-0.5, 0.25, 2.0)},
        {"across", Settings(-1.0, 0.5, 4.0), Settings(0.25, -0.5, 4.0)},
    };
    for (const auto& c : cases) {
        const std::vector<engine::Keyframe> keys = {Key(0, c.a), Key(20, c.b)};
        const bool inward = c.b.Magnification >= c.a.Magnification;
        const TIterationContext& deep = inward ? c.b : c.a;
        const TIterationContext& shallow = inward ? c.a : c.b;
        for (int32_t k = 1; k < 20; ++k) {
            SCOPED_TRACE(std::string(c.name) + ", frame " + std::to_string(k));
            const double t = k / 20.0;
            const engine::FrameSettings f = engine::InterpolateKeyframes(keys, k);
            const double m = f.settings.Magnification;
            EXPECT_NEAR(std::log(m), std::log(c.a.Magnification) * (1 - t) + std::log(c.b.Magnification) * t, 1e-12);
            // The deeper key's centre, in picture widths at the frame's own
            // magnification, goes linearly from the shallower key's offset to 0.
            const double s = inward ? 1 - t : t;
            for (const auto& [field, axis] :
                 {std::pair{&TIterationContext::CenterX, "x"}, {&TIterationContext::CenterY, "y"}}) {
                const double onScreen = (f.settings.*field - deep.*field) * m;
                const double expected = (shallow.*field - deep.*field) * shallow.Magnification * s;
                EXPECT_NEAR(onScreen, expected, 1e-9 * std::max(1.0, m)) << axis;
            }
        }
        // The way back is the same way: frame k of A to B is frame 20 - k of B to A.
        const std::vector<engine::Keyframe> back = {Key(0, c.b), Key(20, c.a)};
        for (int32_t k = 1; k < 20; ++k) {
            const engine::FrameSettings there = engine::InterpolateKeyframes(keys, k);
            const engine::FrameSettings again = engine::InterpolateKeyframes(back, 20 - k);
            EXPECT_NEAR(there.settings.CenterX, again.settings.CenterX, 1e-15) << c.name << " frame " << k;
            EXPECT_NEAR(there.settings.Magnification / again.settings.Magnification, 1.0, 1e-14);
        }
    }
}

TEST(Keyframes, LinearControlsAndGeometricCounts) {
    TIterationContext a = Settings(0, 0, 1);
    TIterationContext b = Settings(0, 0, 1);
    a.RedStep = 1.0, b.RedStep = 3.0;
    a.GrnStart = 17.0, b.GrnStart = 217.0;
    a.BluOffset = 127.0, b.BluOffset = 27.0;
    a.dFactor3 = 1.0, b.dFactor3 = 2.0;
    a.dFactor4 = 2.0, b.dFactor4 = 4.0;
    a.epsilon = 0.05, b.epsilon = 0.15;
    a.JuliaX = -1.0, b.JuliaX = 1.0;
    a.Maxit = 100, b.Maxit = 10000;
    a.Bailout = 0, b.Bailout = 40;
    const std::vector<engine::Keyframe> keys = {Key(0, a), Key(4, b)};
    const engine::FrameSettings f = engine::InterpolateKeyframes(keys, 1);
    EXPECT_DOUBLE_EQ(f.settings.RedStep, 1.5);
    EXPECT_DOUBLE_EQ(f.settings.GrnStart, 67.0);
    EXPECT_DOUBLE_EQ(f.settings.BluOffset, 102.0);
    EXPECT_DOUBLE_EQ(f.settings.dFactor3, 1.25);
    EXPECT_DOUBLE_EQ(f.settings.dFactor4, 2.5);
    EXPECT_DOUBLE_EQ(f.settings.epsilon, 0.075);
    EXPECT_DOUBLE_EQ(f.settings.JuliaX, -0.5);
    EXPECT_EQ(f.settings.CRe, f.settings.JuliaX);
    EXPECT_EQ(f.settings.Maxit, 316);   // 100 * 100^(1/4) = 316.2
    EXPECT_EQ(f.settings.Bailout, 10);  // linear from 0
    EXPECT_EQ(engine::InterpolateKeyframes(keys, 2).settings.Maxit, 1000);
}

TEST(Keyframes, DeepViewsAreInterpolatedInEveryDigit) {
    // Two keys whose centres have the same double: only their texts differ,
    // in the 25th digit, at a magnification of 1e22.
    TIterationContext a = Settings(-0.75, 0.1, 1e22);
    TIterationContext b = a;
    const engine::ExactView viewA{"-0.7500000000000000000000010", "0.1", "", "", ""};
    const engine::ExactView viewB{"-0.7500000000000000000000030", "0.1", "", "", ""};
    ASSERT_TRUE(engine::TextHolds(viewA.centerX, a.CenterX));
    ASSERT_TRUE(engine::TextHolds(viewB.centerX, b.CenterX));
    const std::vector<engine::Keyframe> keys = {Key(0, a, viewA), Key(2, b, viewB)};
    const engine::FrameSettings middle = engine::InterpolateKeyframes(keys, 1);
    ASSERT_FALSE(middle.view.centerX.empty());
    EXPECT_TRUE(engine::TextHolds(middle.view.centerX, middle.settings.CenterX));
    EXPECT_LT(abs(mpreal(middle.view.centerX, 4000) - mpreal("-0.7500000000000000000000020", 4000)),
              mpreal("1e-30", 4000))
        << middle.view.centerX;
    EXPECT_TRUE(middle.view.centerY.empty()) << "15 digits hold 0.1";

    // Beyond the doubles' range the magnification is a text.
    TIterationContext deep = a;
    deep.Magnification = 1.7976931348623157e308;
    const engine::ExactView viewDeep{"-0.75", "0.1", "1E400", "", ""};
    const std::vector<engine::Keyframe> far = {Key(0, a, viewA), Key(10, deep, viewDeep)};
    const engine::FrameSettings f = engine::InterpolateKeyframes(far, 9);
    ASSERT_FALSE(f.view.magnification.empty());
    const mpreal m(f.view.magnification, 4000);
    EXPECT_LT(abs(log10(m) - (22 + 0.9 * (400 - 22))), 1e-12) << f.view.magnification;
    // The centre keeps the digits a thousandth of a pixel needs there.
    EXPECT_GE(f.view.centerX.size(), 360u) << f.view.centerX;

    // A shallow film has no texts at all.
    const std::vector<engine::Keyframe> shallow = {Key(0, Settings(-0.5, 0.0, 1.0)),
                                                   Key(30, Settings(-0.7436, 0.1318, 5000.0))};
    for (int32_t k = 0; k <= 30; ++k) EXPECT_TRUE(engine::InterpolateKeyframes(shallow, k).view.Empty()) << k;
}

TEST(Keyframes, KeysThatCannotMakeAFilm) {
    const TIterationContext plain = Settings(0, 0, 1);
    TIterationContext flat = plain;
    flat.Magnification = 0.0;
    const struct {
        std::vector<engine::Keyframe> keys;
        const char* says;
    } cases[] = {
        {{Key(0, plain)}, "at least two keys"},
        {{Key(1, plain), Key(5, plain)}, "first key must be frame 0"},
        {{Key(0, plain), Key(5, plain), Key(5, plain)}, "must increase"},
        {{Key(0, plain), Key(5, flat)}, "magnification of 0"},
    };
    for (const auto& c : cases) EXPECT_NE(engine::KeyframeProblem(c.keys).find(c.says), std::string::npos) << c.says;
    EXPECT_EQ(engine::KeyframeProblem({Key(0, plain), Key(5, plain)}), "");
}

}  // namespace
