#include "colour_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "colour_mapping.h"

namespace colour {

namespace {

constexpr double kMinStep = 0.01;
constexpr double kMaxStep = 255.0;
constexpr double kMinFactor = 0.001;
constexpr double kMaxFactor = 10000.0;
constexpr size_t kMaxSamples = 16384;
constexpr double kLow = 0.02;
constexpr double kHigh = 0.98;
constexpr double kFullWave = 360.0;

struct Sample {
    double x, y;
};

// The Steps that make each used channel's spread one wave at factor d;
// 0 for a channel that does not vary or is not used.
struct Needed {
    bool valid = false;  // a known blend method
    std::array<double, 3> step{};
};

double Spread(std::vector<double>& values) {
    if (values.size() < 2) return 0.0;
    const auto at = [&values](double share) {
        const size_t k = static_cast<size_t>(share * static_cast<double>(values.size() - 1));
        std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
        return values[k];
    };
    const double low = at(kLow);
    const double high = at(kHigh);
    return high - low;
}

Needed StepsAt(const TIterationContext& ctx, const std::vector<Sample>& samples, double factor) {
    Needed needed;
    std::array<std::vector<double>, 3> mixes;
    for (auto& m : mixes) m.reserve(samples.size());
    TIterationContext c = ctx;
    ColourWork work;
    Wave wave = Wave::Triangle;
    for (const Sample& s : samples) {
        c.RenderX = s.x * factor;
        c.RenderY = s.y * factor;
        if (!MixValues(c, work, wave)) return needed;
        const double values[3] = {work.RedMix, work.GrnMix, work.BluMix};
        for (size_t i = 0; i < 3; ++i)
            if (std::isfinite(values[i])) mixes[i].push_back(values[i]);
    }
    needed.valid = true;
    const double waveFactor = WaveFactor(wave);
    for (size_t i = 0; i < 3; ++i) {
        // Method 6 is grey from the blue wave alone.
        if (wave == Wave::Method6 && i != 2) continue;
        const double spread = Spread(mixes[i]);
        if (spread > 0.0 && std::isfinite(spread)) needed.step[i] = kFullWave / (waveFactor * spread);
    }
    return needed;
}

// How far the Steps needed lie outside their range, as the largest ratio's
// logarithm; 0 where all lie within.
double Overshoot(const Needed& needed) {
    double worst = 0.0;
    for (const double step : needed.step) {
        if (step <= 0.0) continue;
        if (!std::isfinite(step)) return HUGE_VAL;
        worst = std::max({worst, std::log(step / kMaxStep), std::log(kMinStep / step)});
    }
    return worst;
}

double RoundTo(double value, double unit, double low, double high) {
    return std::clamp(std::round(value / unit) * unit, low, high);
}

}  // namespace

ColourFit FitColours(const TIterationContext& ctx, const double* x, const double* y, size_t count) {
    ColourFit fit;
    std::vector<Sample> samples;
    size_t coloured = 0;
    for (size_t i = 0; i < count; ++i) coloured += (x[i] != 0.0 || y[i] != 0.0) ? 1 : 0;
    const size_t stride = std::max<size_t>(1, (coloured + kMaxSamples - 1) / kMaxSamples);
    for (size_t i = 0, seen = 0; i < count; ++i) {
        if (x[i] == 0.0 && y[i] == 0.0) continue;
        if (seen++ % stride == 0) samples.push_back(Sample{x[i], y[i]});
    }
    const double current =
        ctx.dFactor3 > 0.0 && std::isfinite(ctx.dFactor3) ? std::clamp(ctx.dFactor3, kMinFactor, kMaxFactor) : 1.0;
    const Needed here = StepsAt(ctx, samples, current);
    if (!here.valid || std::all_of(here.step.begin(), here.step.end(), [](double s) { return s <= 0.0; })) return fit;

    double chosen = current;
    double bestOvershoot = Overshoot(here);
    if (bestOvershoot > 0.0) {
        // Factors from 0.001 to 10000, ten to a decade, the nearest first:
        // the first whose Steps all fit is the one.
        std::vector<double> factors;
        for (int k = -30; k <= 40; ++k) factors.push_back(std::pow(10.0, k / 10.0));
        std::stable_sort(factors.begin(), factors.end(), [current](double a, double b) {
            return std::fabs(std::log(a / current)) < std::fabs(std::log(b / current));
        });
        for (const double factor : factors) {
            const double overshoot = Overshoot(StepsAt(ctx, samples, factor));
            if (overshoot < bestOvershoot) {
                bestOvershoot = overshoot;
                chosen = factor;
            }
            if (overshoot == 0.0) break;
        }
    }
    fit.renderFactor = RoundTo(chosen, 0.001, kMinFactor, kMaxFactor);
    const Needed steps = StepsAt(ctx, samples, fit.renderFactor);
    const double old[3] = {ctx.RedStep, ctx.GrnStep, ctx.BluStep};
    double* out[3] = {&fit.redStep, &fit.grnStep, &fit.bluStep};
    for (size_t i = 0; i < 3; ++i)
        *out[i] = steps.step[i] > 0.0 ? RoundTo(steps.step[i], 0.01, kMinStep, kMaxStep) : old[i];
    fit.fitted = true;
    return fit;
}

}  // namespace colour
