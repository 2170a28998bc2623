// Formula steps, render methods and blend methods against values worked out
// here, not by the engine's own functions: the generation tests share those
// with their sequential oracle, so a fault inside them would pass there.
// Inputs are off the real axis and unlike in x and y, so that a confused
// part or axis shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <ostream>
#include <string>

#include "colour_mapping.h"
#include "picture_settings.h"
#include "rounding.h"
#include "plugin_fixture.h"

namespace {

using Complex = std::complex<double>;

::testing::AssertionResult Close(Complex got, Complex want) {
    if (std::abs(got - want) <= 4e-15 * std::abs(want)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.real() << ", " << got.imag() << "), want ("
                                         << want.real() << ", " << want.imag() << ")";
}

TEST_F(PluginTest, TwoStepsOfFormulas1To4OffTheRealAxis) {
    const Complex c(-0.2, 0.35);
    const Complex start(0.3, -0.45);
    struct Case {
        int32_t formula;
        Complex first;  // the formula's own starting value
        std::function<Complex(Complex)> step;
    };
    const Case cases[] = {
        {1, start, [&](Complex z) { return z * z + c; }},
        {2, start + 1.0, [&](Complex z) { return z - (z * z * z * z - 1.0) / (3.0 * z * z * z - 1.0) + c; }},
        {3, 1.0, [&](Complex z) { return z - (z * z * z * z - 1.0) / (3.0 * z * z * z) + c; }},
        {4, 1.0, [&](Complex z) { return z - (z * z * z * z - z) / (4.0 * z * z * z - z) + c; }},
    };
    ctx.Maxit = 2;
    for (const Case& k : cases) {
        SCOPED_TRACE("formula " + std::to_string(k.formula));
        Run(k.formula, start.real(), start.imag(), c.real(), c.imag());
        const Complex z1 = k.step(k.first);
        const Complex z2 = k.step(z1);
        ASSERT_EQ(ctx.IterCount, 3);
        EXPECT_EQ(Complex(orbit.X[1], orbit.Y[1]), k.first);
        EXPECT_TRUE(Close({orbit.X[2], orbit.Y[2]}, z1));
        EXPECT_TRUE(Close({ctx.ZRe, ctx.ZIm}, z2));
        EXPECT_EQ(Complex(orbit.X[3], orbit.Y[3]), Complex(ctx.ZRe, ctx.ZIm));
    }
    // The squaring step's products are fixed in order: equal to the last bit.
    Run(1, start.real(), start.imag(), c.real(), c.imag());
    const Complex z1 = start * start + c;
    EXPECT_EQ(Complex(ctx.ZRe, ctx.ZIm), z1 * z1 + c);
}

// Entries 0 .. n-1 of an orbit unlike in X and Y, and an outlier in entry n
// that the statistics must leave out.
class AsymmetricOrbit : public ::testing::Test {
protected:
    static constexpr int32_t kCount = 5;
    static constexpr double kX[kCount + 1] = {0.5, -1.25, 2.0, 0.75, 1.5, 9.0};
    static constexpr double kY[kCount + 1] = {-0.3, 0.1, 0.4, -1.1, 0.2, -7.0};

    struct Axis {
        double mean = 0.0, deviation = 0.0, range = 0.0, dimension = 0.0;
    };

    static Axis Statistics(const double* v) {
        Axis a;
        for (int32_t i = 0; i < kCount; ++i) a.mean += v[i];
        a.mean /= kCount;
        double squares = 0.0;
        for (int32_t i = 0; i < kCount; ++i) squares += (v[i] - a.mean) * (v[i] - a.mean);
        a.deviation = std::sqrt(squares + 1e-20);
        const auto [low, high] = std::minmax_element(v, v + kCount);
        a.range = *high - *low;
        const double l = std::log(kCount) / kCount;
        const double q = std::min(100.0, std::fabs(a.range / (kCount * a.deviation) / l));
        a.dimension = 2.0 - 1.0 / -std::log(q);
        return a;
    }

    static double Squash(double s) { return 2.0 - 1.0 / (s + 0.5); }

    void Render(int32_t method) {
        std::copy(kX, kX + kCount + 1, orbit.X.begin());
        std::copy(kY, kY + kCount + 1, orbit.Y.begin());
        ctx.RenderNo = method;
        ctx.IterCount = kCount;
        engine::ApplyRenderMethod(ctx, orbit);
    }

    engine::OrbitBuffers orbit;
    TIterationContext ctx{};
};

TEST_F(AsymmetricOrbit, StatisticsMethodsTakeEachAxisFromItsOwnEntries) {
    const Axis x = Statistics(kX);
    const Axis y = Statistics(kY);
    const struct {
        int32_t method;
        double x, y;
    } expected[] = {
        {5, Squash(x.mean * x.mean), Squash(y.mean * y.mean)},
        {6, Squash(x.deviation * x.deviation), Squash(y.deviation * y.deviation)},
        {7, Squash(x.range * x.range), Squash(y.range * y.range)},
        {8, x.dimension, y.dimension},
    };
    for (const auto& e : expected) {
        Render(e.method);
        EXPECT_NEAR(ctx.RenderX, e.x, 1e-13 * std::fabs(e.x)) << "method " << e.method;
        EXPECT_NEAR(ctx.RenderY, e.y, 1e-13 * std::fabs(e.y)) << "method " << e.method;
        EXPECT_NE(ctx.RenderX, ctx.RenderY) << "method " << e.method;
    }
}

// Levels as the colouring forms them, from mix values computed here.
class BlendExactness : public ::testing::Test {
protected:
    void SetUp() override {
        engine::ApplyNewDefaults(ctx);
        ctx.CRe = 0.3;
        ctx.CIm = -0.8;
        ctx.ZRe = 0.6;
        ctx.ZIm = -0.45;
    }

    struct Mix {
        double r, g, b;
    };
    struct Levels {
        int32_t r, g, b;
        bool operator==(const Levels&) const = default;
        friend void PrintTo(const Levels& l, std::ostream* os) {
            *os << "levels " << l.r << ", " << l.g << ", " << l.b;
        }
    };
    enum class Wave { SineCosine, SineSine, Triangle };

    static int32_t Level(double wave, double saturate, double offset) {
        return std::clamp(colour::RoundToInt32(wave * saturate + offset), 0, 255);
    }
    static double Angle(double mix, double factor, double step, double start) {
        return 1.0 / 360.0 * (mix * factor * step + start) * colour::kTwoPi;
    }
    Levels Waves(Mix m, Wave wave) const {
        const double f = wave == Wave::Triangle ? 360.0 / 255.0 : 360.0;
        const double r = std::sin(Angle(m.r, f, ctx.RedStep, ctx.RedStart));
        const double a = Angle(m.g, f, ctx.GrnStep, ctx.GrnStart);
        const double b = Angle(m.b, f, ctx.BluStep, ctx.BluStart);
        const double g = wave == Wave::SineSine ? std::cos(a) : -std::sin(a);
        const double u = wave == Wave::SineSine ? -std::cos(b) : std::cos(b);
        return {Level(r, ctx.RedSaturate, ctx.RedOffset), Level(g, ctx.GrnSaturate, ctx.GrnOffset),
                Level(u, ctx.BluSaturate, ctx.BluOffset)};
    }

    // The levels blend method `method` should give for render values (x, y).
    Levels Expected(int32_t method, double x, double y) const {
        const double h = 0.707;
        auto own = [&](double s) {  // methods 9 and 10 form their own waves
            const double r = Angle(x, 360.0, ctx.RedStep, ctx.RedStart);
            const double g = Angle(y, 360.0, ctx.GrnStep, ctx.GrnStart);
            const double b = Angle((x + y) * 0.5, 360.0, ctx.BluStep, ctx.BluStart);
            const double wr = s * std::sin(r);
            const double wg = method == 9 ? -std::sin(g) : -std::cos(g);
            const double wb = ((method == 9 ? std::cos(b) : std::sin(b)) + wr + wg) * 0.5;
            return Levels{Level(wr, ctx.RedSaturate, ctx.RedOffset), Level(wg, ctx.GrnSaturate, ctx.GrnOffset),
                          Level(wb, ctx.BluSaturate, ctx.BluOffset)};
        };
        double X = x, Y = y;
        switch (method) {
            case 1: return Waves({x, y, (x + y) * h}, Wave::SineCosine);
            case 2: return Waves({x, y, (x + y) * h}, Wave::SineSine);
            case 3: return Waves({std::sqrt(x * x + y * y + 1e-20), x, y}, Wave::SineSine);
            case 4: return Waves({std::fabs(x + y) * 0.5, std::fabs(x + y) * 0.5, (x + y) * h}, Wave::SineSine);
            case 5: return Waves({std::fabs(x - y), std::fabs(x - y), (x + y) * h}, Wave::SineCosine);
            case 6: {
                const int32_t grey = Waves({0.0, 0.0, (x + y) * 0.5}, Wave::SineCosine).b;
                return {grey, grey, grey};
            }
            case 7: return Waves({2 * x, 2 * y, (2 * x + 2 * y) * h}, Wave::SineCosine);
            case 8: return Waves({std::sqrt(2 * x), std::sqrt(x + y), std::sqrt(2 * y)}, Wave::SineCosine);
            case 9: return own(1.0);
            case 10: return own(-1.0);
            case 11: X = 10 * x, Y = 10 * y; return Waves({X * X, Y * Y, (X * X + Y * Y) * h}, Wave::Triangle);
            case 12: {
                X = 10 * x, Y = 10 * y;
                const double r = X * X + Y * Y;
                return Waves({r, (X * X + r) * 0.5, (Y * Y + r) * 0.5}, Wave::Triangle);
            }
            case 13: X = 255 * x, Y = 255 * y; return Waves({X, Y, (X + Y) * h}, Wave::Triangle);
            case 14:
            case 15: {
                X = 255 * x, Y = 255 * y;
                const double r = X + h * Y;
                const double g = method == 14 ? Y + h * X : Y - h * X;
                return Waves({r, g, (r + g) * h}, Wave::Triangle);
            }
            case 16: {
                X = 10 * x, Y = 10 * y;
                const double r = X * X + h * Y, g = Y * Y + h * X;
                return Waves({r, g, (r + g) * h}, Wave::Triangle);
            }
            case 17: {
                X = 15 * x, Y = 15 * y;
                const double r = X * X + h * (Y * Y), g = Y * Y + h * (X * X);
                return Waves({r, g, (r + g) * h}, Wave::Triangle);
            }
            case 18: {
                X = 15 * x, Y = 15 * y;
                const double r = X + h * X * Y, g = Y + h * X * Y;
                return Waves({r, g, (r + g) * h}, Wave::Triangle);
            }
            case 19: {
                X = 800 * x, Y = 800 * y;
                const double r = std::sqrt(X * X + Y * Y);
                return Waves({r, X + r, Y + r}, Wave::Triangle);
            }
            case 20: X = 10 * x, Y = 10 * y; return Waves({X * X + Y * Y, X * X, Y * Y}, Wave::Triangle);
            case 21: {
                X = 3 * x, Y = 3 * y;
                const double x3 = X * X * X, y3 = Y * Y * Y, r = (x3 + y3) * 0.5;
                return Waves({r, (x3 + r) * 0.5, (y3 + r) * 0.5}, Wave::Triangle);
            }
            case 22: {
                const double b = (x + y + std::atan(std::fabs(ctx.CRe / ctx.CIm))) * 0.5;
                const double g = (x + y + std::atan(std::fabs(ctx.CIm / ctx.CRe))) * 0.5;
                X = 8 * x, Y = 8 * y;
                return Waves({(X * X + Y * Y) * ((b + g) * 0.5), X * X * g, Y * Y * b}, Wave::Triangle);
            }
            case 23: {
                const double r = (x + y) * 25.0;
                const double b = (std::sin(std::fabs((ctx.ZRe * ctx.ZRe + x) * 100.0)) + r) * 10.0;
                const double g = (std::sin(std::fabs((ctx.ZIm * ctx.ZIm + y) * 100.0)) + r) * 10.0;
                return Waves({x * x + y * y + r, x * x + g, y * y + b}, Wave::Triangle);
            }
            case 24: {
                X = 10 * x, Y = 10 * y;
                const double a = std::fabs(X * Y), g = X * X + a, b = Y * Y + a;
                return Waves({(g + b) * 0.5, g, b}, Wave::Triangle);
            }
            case 25: {
                const double q = std::atan(std::fabs(ctx.ZRe / ctx.ZIm)) + std::atan(std::fabs(ctx.ZIm / ctx.ZRe));
                return Waves({q, 10 * x * x * q * 10, 10 * y * y * q * 10}, Wave::Triangle);
            }
            case 26: {
                X = 2 * x, Y = 2 * y;
                const double r = std::fabs(X + Y);
                return Waves({r, X * X * r, Y * Y * r}, Wave::Triangle);
            }
        }
        return {-1, -1, -1};
    }

    Levels Blend(int32_t method, double x, double y) {
        ctx.BlendNo = method;
        ctx.RenderX = x;
        ctx.RenderY = y;
        colour::BlendAndColour(ctx, work, picture, 0, 0, report);
        return {work.RedLevel, work.GrnLevel, work.BluLevel};
    }

    TIterationContext ctx{};
    colour::ColourWork work;
    colour::ColourPassReport report;
    imaging::Picture picture{1, 1};
};

TEST_F(BlendExactness, EveryMethodTellsXFromY) {
    for (int32_t method = 1; method <= colour::kBlendMethodCount; ++method) {
        for (const auto& [x, y] : {std::pair{0.37, 0.11}, std::pair{0.11, 0.37}}) {
            const Levels want = Expected(method, x, y);
            const Levels got = Blend(method, x, y);
            EXPECT_EQ(got, want) << "method " << method << " at (" << x << ", " << y << ")";
        }
    }
    EXPECT_FALSE(report.wrongBlendNumber);
}

}  // namespace
