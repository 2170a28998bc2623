#include "pixel_evaluation.h"

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

constexpr double kEpsilon = 1e-20;
constexpr const char* kFormulaTitle = "fractal formula";
constexpr const char* kRenderTitle = "render formula";

// Squashes a non-negative value into 0..2.
inline double Squash(double s) { return 2.0 - 1.0 / (s + 0.5); }

struct OrbitStatistics {
    double meanX = 0.0, meanY = 0.0;
    double devX = 0.0, devY = 0.0;
    double dimX = 0.0, dimY = 0.0;
    double maxX = -1e20, maxY = -1e20;
    double minX = 1e20, minY = 1e20;

    void Mean(const double* x, const double* y, int32_t n) {
        if (n < 1) return;
        double sumX = 0.0, sumY = 0.0;
        for (int32_t i = 0; i < n; ++i) {
            sumX += x[i];
            sumY += y[i];
        }
        meanX = sumX / n;
        meanY = sumY / n;
    }

    void Deviation(const double* x, const double* y, int32_t n) {
        if (n < 1) return;
        double sumX = 0.0, sumY = 0.0;
        for (int32_t i = 0; i < n; ++i) {
            const double dx = x[i] - meanX;
            const double dy = y[i] - meanY;
            sumX += dx * dx;
            sumY += dy * dy;
        }
        devX = std::sqrt(sumX + kEpsilon);
        devY = std::sqrt(sumY + kEpsilon);
    }

    void Extremes(const double* x, const double* y, int32_t n) {
        if (n < 1) return;
        for (int32_t i = 0; i < n; ++i) {
            if (x[i] > maxX) maxX = x[i];
            if (x[i] < minX) minX = x[i];
            if (y[i] > maxY) maxY = y[i];
            if (y[i] < minY) minY = y[i];
        }
    }

    static double AxisDimension(double max, double min, double dev, int32_t n, double l) {
        const double r = (max - min) / (n * dev + kEpsilon);
        double q = std::fabs(r / l);
        if (q > 100.0) q = 100.0;
        if (std::fabs(q) < kEpsilon) q = 0.01 + kEpsilon;
        return 2.0 - 1.0 / (-std::log(q) + kEpsilon);
    }

    void Dimension(int32_t n) {
        if (n < 1) return;
        const double l = (std::log(n + kEpsilon) + kEpsilon) / n;
        dimX = AxisDimension(maxX, minX, devX, n, l);
        dimY = AxisDimension(maxY, minY, devY, n, l);
    }
};

inline double ClampRatioPart(double v) {
    double a = std::fabs(v);
    if (a > 100.0) a = 100.0;
    if (std::fabs(a) < kEpsilon) a = kEpsilon;
    return a;
}

void RatioTransform(double* x, double* y, int32_t n) {
    for (int32_t i = 0; i < n; ++i) {
        const double a = ClampRatioPart(x[i]);
        const double b = ClampRatioPart(y[i]);
        x[i] = a / b;
        y[i] = b / a;
    }
}

}  // namespace

void ApplyRenderMethod(TIterationContext& ctx, OrbitBuffers& orbit) {
    ctx.RenderX = 0.0;
    ctx.RenderY = 0.0;
    // The plug-in never reports more iterations than the buffers hold; a
    // count from elsewhere is kept within them all the same.
    const int32_t n = std::min<int32_t>(ctx.IterCount, orbit.Entries());
    double* x = orbit.X.data();
    double* y = orbit.Y.data();
    const double zr = ctx.ZRe;
    const double zi = ctx.ZIm;
    OrbitStatistics stats;
    switch (ctx.RenderNo) {
        case 1: {
            const double value = ctx.Maxit == 0 ? 0.0 : static_cast<double>(n) / ctx.Maxit;
            ctx.RenderX = value;
            ctx.RenderY = value;
            break;
        }
        case 2:
            ctx.RenderX = 2.0 - 1.0 / (zr * zr + 0.5 + kEpsilon);
            ctx.RenderY = 2.0 - 1.0 / (zi * zi + 0.5 + kEpsilon);
            break;
        case 3:
            if (n >= 1) {
                const double power = std::exp(n * std::log(2.0));
                const double value = -ctx.dFactor4 * std::log(zr * zr + zi * zi + kEpsilon) / power;
                ctx.RenderX = value;
                ctx.RenderY = value;
            }
            break;
        case 4: {
            const double value = 2.0 - 1.0 / (zr * zr + 0.5 + zi * zi + kEpsilon);
            ctx.RenderX = value;
            ctx.RenderY = value;
            break;
        }
        case 5:
            stats.Mean(x, y, n);
            ctx.RenderX = Squash(stats.meanX * stats.meanX);
            ctx.RenderY = Squash(stats.meanY * stats.meanY);
            break;
        case 6:
            stats.Mean(x, y, n);
            stats.Deviation(x, y, n);
            ctx.RenderX = Squash(stats.devX * stats.devX);
            ctx.RenderY = Squash(stats.devY * stats.devY);
            break;
        case 7: {
            stats.Mean(x, y, n);
            stats.Deviation(x, y, n);
            stats.Extremes(x, y, n);
            const double rangeX = stats.maxX - stats.minX;
            const double rangeY = stats.maxY - stats.minY;
            ctx.RenderX = Squash(rangeX * rangeX);
            ctx.RenderY = Squash(rangeY * rangeY);
            break;
        }
        case 9:
            RatioTransform(x, y, n);
            [[fallthrough]];
        case 8:
            stats.Mean(x, y, n);
            stats.Deviation(x, y, n);
            stats.Extremes(x, y, n);
            stats.Dimension(n);
            ctx.RenderX = stats.dimX;
            ctx.RenderY = stats.dimY;
            break;
        default:
            break;
    }
}

void LendOrbit(TIterationContext& ctx, OrbitBuffers& orbit) {
    ctx.OrbitX = orbit.X.data();
    ctx.OrbitY = orbit.Y.data();
    ctx.FormulaName = kFormulaTitle;
    ctx.RenderName = kRenderTitle;
}

void EvaluatePixel(TIterationContext& ctx, OrbitBuffers& orbit, FormulaEntryFn formula) {
    if (ctx.Maxit > kMaxIterationLimit) ctx.Maxit = kMaxIterationLimit;
    orbit.Hold(ctx.Maxit);
    LendOrbit(ctx, orbit);
    const int32_t clearCount = std::clamp<int32_t>(ctx.IterCount, 0, orbit.Entries());
    std::fill_n(orbit.X.begin(), clearCount, 0.0);
    std::fill_n(orbit.Y.begin(), clearCount, 0.0);

    const double savedCRe = ctx.CRe;
    const double savedCIm = ctx.CIm;
    const double cre = ctx.CRe, cim = ctx.CIm, zre = ctx.ZRe, zim = ctx.ZIm;
    switch (ctx.RotationMode) {
        case 1:
            ctx.CRe = cim;
            ctx.CIm = cre;
            ctx.ZRe = zim;
            ctx.ZIm = zre;
            break;
        case 2:
            ctx.CRe = cim * -1.0;
            ctx.CIm = cre * -1.0;
            ctx.ZRe = zim * -1.0;
            ctx.ZIm = zre * -1.0;
            break;
        case 3:
            ctx.CRe = cre * -1.0;
            ctx.CIm = cim * -1.0;
            ctx.ZRe = zre * -1.0;
            ctx.ZIm = zim * -1.0;
            break;
        default:
            break;
    }
    if (formula != nullptr) formula(&ctx);
    ctx.CRe = savedCRe;
    ctx.CIm = savedCIm;
    ApplyRenderMethod(ctx, orbit);
}

}  // namespace engine
