// Deep views for the tests and the verification program: set a view of any
// depth on a core, find points where a formula's picture has structure at
// any depth, and compare two pictures pixel by pixel.
#pragma once

#include <mpfr.h>

#include <algorithm>
#include <cfloat>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "deep_compute.h"
#include "generation.h"
#include "picture_settings.h"

namespace deep_support {

struct DeepCase {
    int32_t formula = 0;
    std::string centerX = "0", centerY = "0", magnification = "1";
    int32_t width = 64, height = 48, maxit = 1000;
    int32_t render = 4, blend = 20, rotation = 0, insideOut = 0;
    bool julia = false;
    std::string juliaX = "0", juliaY = "0";
};

inline double Nearest(const std::string& text) {
    double value = 0.0;
    engine::NearestDouble(text, value);
    return value;
}

// The case's settings and exact view on `core` (New defaults otherwise).
inline void Apply(engine::GenerationCore& core, const DeepCase& c) {
    TIterationContext& ctx = core.Context;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.FormulaNo = c.formula;
    ctx.ImageWidth = c.width;
    ctx.ImageHeight = c.height;
    ctx.Maxit = c.maxit;
    ctx.RenderNo = c.render;
    ctx.BlendNo = c.blend;
    ctx.RotationMode = c.rotation;
    ctx.InsideOut = c.insideOut;
    ctx.CenterX = Nearest(c.centerX);
    ctx.CenterY = Nearest(c.centerY);
    ctx.Magnification = Nearest(c.magnification);
    core.View = engine::ExactView{c.centerX, c.centerY, c.magnification, {}, {}};
    if (c.julia) {
        ctx.JuliaMode = 1;
        ctx.JuliaX = Nearest(c.juliaX);
        ctx.JuliaY = Nearest(c.juliaY);
        core.View.juliaX = c.juliaX;
        core.View.juliaY = c.juliaY;
    }
    core.LastFormulaNo = ctx.FormulaNo;
}

// The picture of `c` by `policy` (and directly in MPFR when `direct`).
inline imaging::Picture Render(const DeepCase& c, engine::DeepPolicy policy, bool direct, int threads,
                               const std::string& pluginFolder, bool* deepUsed = nullptr) {
    engine::GenerationHost host;
    engine::GenerationCore core(host);
    core.BindPlugin({pluginFolder});
    core.SetThreadCount(threads);
    core.Deep = policy;
    core.DeepDirect = direct;
    Apply(core, c);
    imaging::Picture picture(c.width, c.height);
    core.CurrentImage = &picture;
    core.Generate();
    if (deepUsed != nullptr) *deepUsed = core.DeepInUse();
    return picture;
}

struct Difference {
    double share = 0.0;        // of the pixels that differ
    int32_t largestBlock = 0;  // pixels in the largest 4-connected group of differing pixels
};

inline Difference Compare(const imaging::Picture& a, const imaging::Picture& b) {
    const int32_t w = std::min(a.Width(), b.Width()), h = std::min(a.Height(), b.Height());
    std::vector<char> wrong(static_cast<size_t>(w) * h, 0);
    int64_t count = 0;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const bool differs = !std::equal(a.Row(y) + x * 3, a.Row(y) + x * 3 + 3, b.Row(y) + x * 3);
            wrong[static_cast<size_t>(y) * w + x] = differs;
            count += differs;
        }
    }
    Difference d;
    d.share = w * h > 0 ? static_cast<double>(count) / (static_cast<double>(w) * h) : 0.0;
    std::vector<int32_t> stack;
    for (int32_t start = 0; start < w * h; ++start) {
        if (wrong[static_cast<size_t>(start)] != 1) continue;
        int32_t size = 0;
        stack.assign(1, start);
        wrong[static_cast<size_t>(start)] = 2;
        while (!stack.empty()) {
            const int32_t i = stack.back();
            stack.pop_back();
            ++size;
            const int32_t x = i % w, y = i / w;
            for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
                const int32_t nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                char& mark = wrong[static_cast<size_t>(ny) * w + nx];
                if (mark == 1) {
                    mark = 2;
                    stack.push_back(ny * w + nx);
                }
            }
        }
        d.largestBlock = std::max(d.largestBlock, size);
    }
    return d;
}

inline int32_t Colours(const imaging::Picture& p) {
    std::set<uint32_t> seen;
    for (int32_t y = 0; y < p.Height(); ++y) {
        for (int32_t x = 0; x < p.Width(); ++x) {
            const uint8_t* v = p.Row(y) + x * 3;
            seen.insert(uint32_t{v[0]} << 16 | uint32_t{v[1]} << 8 | v[2]);
        }
    }
    return static_cast<int32_t>(seen.size());
}

// The count of one point of the formula's parameter plane (z = c), computed
// directly in MPFR by the deep library.
inline int32_t CountAt(const engine::DeepLibrary& library, int32_t formula, int32_t maxit, const std::string& x,
                       const std::string& y, int32_t bits) {
    HalvaneDeepView view{};
    view.formula = formula;
    view.maxit = maxit;
    view.bailout = 4;
    view.method = HALVANE_DEEP_DIRECT;
    view.precision = bits;
    view.cRe = view.zRe = x.c_str();
    view.cIm = view.zIm = y.c_str();
    std::vector<long double> block(static_cast<size_t>(library.Size(&view) + 15) / 16);
    if (library.Reference(&view, block.data(), static_cast<int64_t>(block.size() * 16), nullptr, nullptr) != 1) return -1;
    std::vector<double> orbitX(static_cast<size_t>(maxit) + 2), orbitY(orbitX.size());
    HalvaneDeepPixel px{};
    px.orbitX = orbitX.data();
    px.orbitY = orbitY.data();
    library.Pixels(&view, block.data(), &px, 1, nullptr, nullptr);
    return px.count;
}

inline std::string Text(mpfr_t v, int digits) {
    std::vector<char> buffer(static_cast<size_t>(digits) + 64);
    mpfr_snprintf(buffer.data(), buffer.size(), "%.*RNe", digits, v);
    return buffer.data();
}

// A point between `inside` and `outside` (pairs of decimal texts) where the
// count crosses `threshold`, to within 2^-bitsDeep: there the formula's
// picture has structure at every depth down to about 2^-bitsDeep.
inline std::pair<std::string, std::string> BoundaryPoint(const engine::DeepLibrary& library, int32_t formula,
                                                         int32_t maxit, int32_t threshold,
                                                         std::pair<std::string, std::string> inside,
                                                         std::pair<std::string, std::string> outside,
                                                         int32_t bitsDeep) {
    const mpfr_prec_t bits = bitsDeep + 64;
    const int digits = static_cast<int>(bits * 0.302) + 4;
    mpfr_t ax, ay, bx, by, mx, my;
    mpfr_inits2(bits, ax, ay, bx, by, mx, my, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(ax, inside.first.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(ay, inside.second.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(bx, outside.first.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(by, outside.second.c_str(), 10, MPFR_RNDN);
    for (int32_t step = 0; step < bitsDeep; ++step) {
        mpfr_add(mx, ax, bx, MPFR_RNDN);
        mpfr_div_2ui(mx, mx, 1, MPFR_RNDN);
        mpfr_add(my, ay, by, MPFR_RNDN);
        mpfr_div_2ui(my, my, 1, MPFR_RNDN);
        const bool in =
            CountAt(library, formula, maxit, Text(mx, digits), Text(my, digits), static_cast<int32_t>(bits)) >=
            threshold;
        mpfr_set(in ? ax : bx, mx, MPFR_RNDN);
        mpfr_set(in ? ay : by, my, MPFR_RNDN);
    }
    std::pair<std::string, std::string> result{Text(ax, digits), Text(ay, digits)};
    mpfr_clears(ax, ay, bx, by, mx, my, static_cast<mpfr_ptr>(nullptr));
    return result;
}

// One step of formula 0 with its derivative in c: z' := 2 z z' + 1;
// z := z^2 + c (t, u, m are scratch).
inline void StepWithDerivative(mpfr_t zx, mpfr_t zy, mpfr_t dx, mpfr_t dy, mpfr_t cx, mpfr_t cy, mpfr_t t, mpfr_t u,
                               mpfr_t m) {
    mpfr_mul(t, zx, dx, MPFR_RNDN);
    mpfr_mul(u, zy, dy, MPFR_RNDN);
    mpfr_sub(t, t, u, MPFR_RNDN);
    mpfr_mul(u, zx, dy, MPFR_RNDN);
    mpfr_mul(m, zy, dx, MPFR_RNDN);
    mpfr_add(u, u, m, MPFR_RNDN);
    mpfr_mul_2ui(dx, t, 1, MPFR_RNDN);
    mpfr_add_ui(dx, dx, 1, MPFR_RNDN);
    mpfr_mul_2ui(dy, u, 1, MPFR_RNDN);
    mpfr_sqr(t, zx, MPFR_RNDN);
    mpfr_sqr(u, zy, MPFR_RNDN);
    mpfr_sub(t, t, u, MPFR_RNDN);
    mpfr_mul(u, zx, zy, MPFR_RNDN);
    mpfr_mul_2ui(zy, u, 1, MPFR_RNDN);
    mpfr_add(zy, zy, cy, MPFR_RNDN);
    mpfr_add(zx, t, cx, MPFR_RNDN);
}

// c -= a / b, a Newton step (t, u, m, s are scratch).
inline void SubtractQuotient(mpfr_t cx, mpfr_t cy, mpfr_t ax, mpfr_t ay, mpfr_t bx, mpfr_t by, mpfr_t t, mpfr_t u,
                             mpfr_t m, mpfr_t s) {
    mpfr_sqr(m, bx, MPFR_RNDN);
    mpfr_sqr(t, by, MPFR_RNDN);
    mpfr_add(m, m, t, MPFR_RNDN);
    mpfr_mul(t, ax, bx, MPFR_RNDN);
    mpfr_mul(u, ay, by, MPFR_RNDN);
    mpfr_add(t, t, u, MPFR_RNDN);
    mpfr_div(t, t, m, MPFR_RNDN);
    mpfr_mul(u, ay, bx, MPFR_RNDN);
    mpfr_mul(s, ax, by, MPFR_RNDN);
    mpfr_sub(u, u, s, MPFR_RNDN);
    mpfr_div(u, u, m, MPFR_RNDN);
    mpfr_sub(cx, cx, t, MPFR_RNDN);
    mpfr_sub(cy, cy, u, MPFR_RNDN);
}

// The nucleus of the largest minibrot within `radius` of (x, y) (formula 0):
// its period by the ball method, then Newton's method.
inline std::pair<std::string, std::string> NearbyNucleus(const std::string& x, const std::string& y, double radiusLog2,
                                                  mpfr_prec_t bits, int32_t maxPeriod, int32_t& period) {
    mpfr_t cx, cy, zx, zy, dx, dy, t, u, r, m;
    mpfr_inits2(bits, cx, cy, zx, zy, dx, dy, t, u, r, m, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(cx, x.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(cy, y.c_str(), 10, MPFR_RNDN);
    mpfr_set_ui(r, 1, MPFR_RNDN);
    mpfr_mul_2si(r, r, static_cast<long>(radiusLog2), MPFR_RNDN);
    mpfr_set_zero(zx, 1);
    mpfr_set_zero(zy, 1);
    mpfr_set_zero(dx, 1);
    mpfr_set_zero(dy, 1);
    period = 0;
    // z' := 2 z z' + 1; z := z^2 + c; the ball of radius r holds a root of
    // z_n once |z_n| < r |z_n'|.
    for (int32_t n = 1; n <= maxPeriod && period == 0; ++n) {
        StepWithDerivative(zx, zy, dx, dy, cx, cy, t, u, m);
        mpfr_hypot(t, zx, zy, MPFR_RNDN);
        mpfr_hypot(u, dx, dy, MPFR_RNDN);
        mpfr_mul(u, u, r, MPFR_RNDN);
        if (mpfr_less_p(t, u)) period = n;
    }
    if (period > 0) {
        for (int step = 0; step < 80; ++step) {
            mpfr_set_zero(zx, 1);
            mpfr_set_zero(zy, 1);
            mpfr_set_zero(dx, 1);
            mpfr_set_zero(dy, 1);
            for (int32_t n = 0; n < period; ++n) {
                StepWithDerivative(zx, zy, dx, dy, cx, cy, t, u, m);
            }
            SubtractQuotient(cx, cy, zx, zy, dx, dy, t, u, m, r);  // c -= z / z'
        }
    }
    const int digits = static_cast<int>(bits * 0.302) + 4;
    std::pair<std::string, std::string> result{Text(cx, digits), Text(cy, digits)};
    mpfr_clears(cx, cy, zx, zy, dx, dy, t, u, r, m, static_cast<mpfr_ptr>(nullptr));
    return result;
}

// The Misiurewicz point of formula 0 whose orbit from 0 lands after 4
// steps on a cycle of 2 (z_6 = z_4), near -0.1525 + 1.1034i: the picture
// about it has structure at every depth, neither coordinate is near 0, and
// formula 1's steps do not die away there (the cycle has two points).
inline std::pair<std::string, std::string> MisiurewiczPoint(mpfr_prec_t bits) {
    mpfr_t cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m;
    mpfr_inits2(bits, cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(cx, -0.15248775721, MPFR_RNDN);
    mpfr_set_d(cy, 1.103446239367, MPFR_RNDN);
    for (int step = 0; step < 64; ++step) {
        mpfr_set_zero(zx, 1);
        mpfr_set_zero(zy, 1);
        mpfr_set_zero(dx, 1);
        mpfr_set_zero(dy, 1);
        for (int n = 1; n <= 6; ++n) {
            if (n == 5) {  // z_4 and its derivative
                mpfr_set(gx, zx, MPFR_RNDN);
                mpfr_set(gy, zy, MPFR_RNDN);
                mpfr_set(hx, dx, MPFR_RNDN);
                mpfr_set(hy, dy, MPFR_RNDN);
            }
            StepWithDerivative(zx, zy, dx, dy, cx, cy, t, u, m);
        }
        // g = z_6 - z_4, g' = z_6' - z_4'; c -= g / g'
        mpfr_sub(gx, zx, gx, MPFR_RNDN);
        mpfr_sub(gy, zy, gy, MPFR_RNDN);
        mpfr_sub(hx, dx, hx, MPFR_RNDN);
        mpfr_sub(hy, dy, hy, MPFR_RNDN);
        SubtractQuotient(cx, cy, gx, gy, hx, hy, t, u, m, zx);
    }
    const int digits = static_cast<int>(bits * 0.302) + 4;
    std::pair<std::string, std::string> result{Text(cx, digits), Text(cy, digits)};
    mpfr_clears(cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m, static_cast<mpfr_ptr>(nullptr));
    return result;
}

// The repelling fixed point (1 + sqrt(1 - 4c)) / 2 of z^2 + c: a point of
// the Julia set of c, with structure about it at every depth.
inline std::pair<std::string, std::string> JuliaFixedPoint(const std::string& x, const std::string& y, mpfr_prec_t bits) {
    mpfr_t a, b, r, t;
    mpfr_inits2(bits, a, b, r, t, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(a, x.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(b, y.c_str(), 10, MPFR_RNDN);
    mpfr_mul_si(a, a, -4, MPFR_RNDN);  // w = 1 - 4c
    mpfr_add_ui(a, a, 1, MPFR_RNDN);
    mpfr_mul_si(b, b, -4, MPFR_RNDN);
    mpfr_hypot(r, a, b, MPFR_RNDN);
    mpfr_add(t, r, a, MPFR_RNDN);  // sqrt w = sqrt((r + a)/2) + i sgn(b) sqrt((r - a)/2)
    mpfr_div_2ui(t, t, 1, MPFR_RNDN);
    mpfr_sqrt(t, t, MPFR_RNDN);
    mpfr_sub(r, r, a, MPFR_RNDN);
    mpfr_div_2ui(r, r, 1, MPFR_RNDN);
    mpfr_sqrt(r, r, MPFR_RNDN);
    if (mpfr_sgn(b) < 0) mpfr_neg(r, r, MPFR_RNDN);
    mpfr_add_ui(t, t, 1, MPFR_RNDN);
    mpfr_div_2ui(t, t, 1, MPFR_RNDN);
    mpfr_div_2ui(r, r, 1, MPFR_RNDN);
    const int digits = static_cast<int>(bits * 0.302) + 4;
    std::pair<std::string, std::string> result{Text(t, digits), Text(r, digits)};
    mpfr_clears(a, b, r, t, static_cast<mpfr_ptr>(nullptr));
    return result;
}

}  // namespace deep_support
