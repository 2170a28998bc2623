// The deep path against its yardstick: every pixel iterated directly in
// MPFR. For formulas 0, 1 and 7 at magnifications 1e20, 1e60, 1e200 and
// 1e500 (64x48), about points where the picture has structure at that
// depth, and for formula 0 also next to a minibrot (the reference orbit at
// a minibrot's nucleus passes through 0, where glitches appear): the share
// of pixels that differ and the largest group of touching differing pixels.
// Then, at the depth where the deep path takes over, the deep path against
// the double path.
//
//   halvane-deep-verify [--quick]   (--quick: 32x24, the first two depths)
#include <mpfr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "deep_support.h"

namespace {

using deep_support::DeepCase;

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Folder() { return HALVANE_BIN_DIR; }

// The nucleus of the largest minibrot within `radius` of (x, y) (formula 0):
// its period by the ball method, then Newton's method.
std::pair<std::string, std::string> NearbyNucleus(const std::string& x, const std::string& y, double radiusLog2,
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
            // c -= z / z'
            mpfr_sqr(m, dx, MPFR_RNDN);
            mpfr_sqr(t, dy, MPFR_RNDN);
            mpfr_add(m, m, t, MPFR_RNDN);
            mpfr_mul(t, zx, dx, MPFR_RNDN);
            mpfr_mul(u, zy, dy, MPFR_RNDN);
            mpfr_add(t, t, u, MPFR_RNDN);
            mpfr_div(t, t, m, MPFR_RNDN);
            mpfr_mul(u, zy, dx, MPFR_RNDN);
            mpfr_mul(r, zx, dy, MPFR_RNDN);
            mpfr_sub(u, u, r, MPFR_RNDN);
            mpfr_div(u, u, m, MPFR_RNDN);
            mpfr_sub(cx, cx, t, MPFR_RNDN);
            mpfr_sub(cy, cy, u, MPFR_RNDN);
        }
    }
    const int digits = static_cast<int>(bits * 0.302) + 4;
    std::pair<std::string, std::string> result{deep_support::Text(cx, digits), deep_support::Text(cy, digits)};
    mpfr_clears(cx, cy, zx, zy, dx, dy, t, u, r, m, static_cast<mpfr_ptr>(nullptr));
    return result;
}

// The Misiurewicz point of formula 0 whose orbit from 0 lands after 3
// steps on a cycle of 2 (z_5 = z_3), near -0.2282 + 1.1151i: the picture
// about it has structure at every depth, neither coordinate is near 0, and
// formula 1's steps do not die away there (the cycle has two points).
std::pair<std::string, std::string> MisiurewiczPoint(mpfr_prec_t bits) {
    mpfr_t cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m;
    mpfr_inits2(bits, cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_d(cx, -0.2282, MPFR_RNDN);
    mpfr_set_d(cy, 1.1151, MPFR_RNDN);
    for (int step = 0; step < 64; ++step) {
        mpfr_set_zero(zx, 1);
        mpfr_set_zero(zy, 1);
        mpfr_set_zero(dx, 1);
        mpfr_set_zero(dy, 1);
        for (int n = 1; n <= 5; ++n) {
            if (n == 4) {  // z_3 and its derivative
                mpfr_set(gx, zx, MPFR_RNDN);
                mpfr_set(gy, zy, MPFR_RNDN);
                mpfr_set(hx, dx, MPFR_RNDN);
                mpfr_set(hy, dy, MPFR_RNDN);
            }
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
        // g = z_5 - z_3, g' = z_5' - z_3'; c -= g / g'
        mpfr_sub(gx, zx, gx, MPFR_RNDN);
        mpfr_sub(gy, zy, gy, MPFR_RNDN);
        mpfr_sub(hx, dx, hx, MPFR_RNDN);
        mpfr_sub(hy, dy, hy, MPFR_RNDN);
        mpfr_sqr(m, hx, MPFR_RNDN);
        mpfr_sqr(t, hy, MPFR_RNDN);
        mpfr_add(m, m, t, MPFR_RNDN);
        mpfr_mul(t, gx, hx, MPFR_RNDN);
        mpfr_mul(u, gy, hy, MPFR_RNDN);
        mpfr_add(t, t, u, MPFR_RNDN);
        mpfr_div(t, t, m, MPFR_RNDN);
        mpfr_mul(u, gy, hx, MPFR_RNDN);
        mpfr_mul(zx, gx, hy, MPFR_RNDN);
        mpfr_sub(u, u, zx, MPFR_RNDN);
        mpfr_div(u, u, m, MPFR_RNDN);
        mpfr_sub(cx, cx, t, MPFR_RNDN);
        mpfr_sub(cy, cy, u, MPFR_RNDN);
    }
    const int digits = static_cast<int>(bits * 0.302) + 4;
    std::pair<std::string, std::string> result{deep_support::Text(cx, digits), deep_support::Text(cy, digits)};
    mpfr_clears(cx, cy, zx, zy, dx, dy, gx, gy, hx, hy, t, u, m, static_cast<mpfr_ptr>(nullptr));
    return result;
}

// Moves a text coordinate by `pixels` pixels of a view at magnification 10^decades.
std::string Shifted(const std::string& text, double pixels, int decades, int32_t width, mpfr_prec_t bits) {
    mpfr_t v, d;
    mpfr_inits2(bits, v, d, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(v, text.c_str(), 10, MPFR_RNDN);
    mpfr_set_ui(d, 10, MPFR_RNDN);
    mpfr_pow_si(d, d, -decades, MPFR_RNDN);
    mpfr_mul_d(d, d, 4.0 * pixels / width, MPFR_RNDN);
    mpfr_add(v, v, d, MPFR_RNDN);
    std::string result = deep_support::Text(v, static_cast<int>(bits * 0.302) + 4);
    mpfr_clears(v, d, static_cast<mpfr_ptr>(nullptr));
    return result;
}

int32_t Colours(const imaging::Picture& p) {
    std::set<uint32_t> seen;
    for (int32_t y = 0; y < p.Height(); ++y) {
        for (int32_t x = 0; x < p.Width(); ++x) {
            const uint8_t* v = p.Row(y) + x * 3;
            seen.insert(uint32_t{v[0]} << 16 | uint32_t{v[1]} << 8 | v[2]);
        }
    }
    return static_cast<int32_t>(seen.size());
}

struct Row {
    std::string name;
    DeepCase c;
};

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const auto library = engine::LoadDeepLibrary({Folder()});
    if (!library) {
        std::fprintf(stderr, "cannot load %s\n", HALVANE_DEEP_LIBRARY);
        return 1;
    }
    const int32_t width = quick ? 32 : 64, height = quick ? 24 : 48;
    const std::vector<int> depths = quick ? std::vector<int>{20, 60} : std::vector<int>{20, 60, 200, 500};
    struct Formula {
        int32_t number, maxit;
        std::pair<std::string, std::string> inside, outside;
    };
    const Formula formulas[] = {
        {0, 2000, {"-0.1", "0.1"}, {"-0.7", "0.6"}},
        {1, 2000, {"-1.0", "0.05"}, {"-1.0", "0.6"}},
        {7, 2000, {"0.01", "0.01"}, {"1", "1"}},
    };
    std::vector<Row> rows;
    const auto misiurewicz = MisiurewiczPoint(static_cast<mpfr_prec_t>(depths.back() * 3.33) + 128);
    for (const Formula& f : formulas) {
        for (int decades : depths) {
            const int32_t bitsDeep = static_cast<int32_t>(decades * 3.33) + 24;
            DeepCase c;
            c.formula = f.number;
            c.magnification = "1E" + std::to_string(decades);
            c.width = width;
            c.height = height;
            c.maxit = f.maxit;
            // Formula 1 stops on steps of 1e10: the size of z says nothing; the
            // orbit's statistics do.
            if (f.number == 1) c.render = 8;
            if (f.number == 7) {
                const auto start = std::chrono::steady_clock::now();
                const auto point = deep_support::BoundaryPoint(*library, f.number, f.maxit, f.maxit / 4, f.inside,
                                                               f.outside, bitsDeep);
                std::fprintf(stderr, "formula 7 1e%d: boundary point in %.1f s\n", decades, Seconds(start));
                c.centerX = point.first;
                c.centerY = point.second;
                rows.push_back({"boundary", c});
                continue;
            }
            c.centerX = misiurewicz.first;
            c.centerY = misiurewicz.second;
            rows.push_back({"Misiurewicz point", c});
            if (f.number == 0) {
                int32_t period = 0;
                const auto nucleus = NearbyNucleus(c.centerX, c.centerY, -decades * 3.33 + 2.0, bitsDeep + 64,
                                                   50000, period);
                if (period > 0) {
                    DeepCase m = c;
                    m.centerX = Shifted(nucleus.first, 5.0, decades, width, bitsDeep + 64);
                    m.centerY = nucleus.second;
                    m.maxit = std::max(f.maxit, period * 4);
                    rows.push_back({"minibrot, period " + std::to_string(period), m});
                }
            }
        }
    }
    std::printf("| formula | magnification | location | Maxit | render | colours | differing pixels | largest group | yardstick s | deep s |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& row : rows) {
        auto start = std::chrono::steady_clock::now();
        const imaging::Picture yardstick = deep_support::Render(row.c, engine::DeepPolicy::Always, true, 2, Folder());
        const double yardstickSeconds = Seconds(start);
        start = std::chrono::steady_clock::now();
        const imaging::Picture deep = deep_support::Render(row.c, engine::DeepPolicy::Always, false, 2, Folder());
        const double deepSeconds = Seconds(start);
        const deep_support::Difference d = deep_support::Compare(yardstick, deep);
        std::printf("| %d | %s | %s | %d | %d | %d | %.2f %% | %d | %.2f | %.2f |\n", row.c.formula,
                    row.c.magnification.c_str(), row.name.c_str(), row.c.maxit, row.c.render, Colours(yardstick),
                    100.0 * d.share,
                    d.largestBlock, yardstickSeconds, deepSeconds);
        std::fflush(stdout);
    }
    // Where the deep path takes over: the double path's last depth.
    std::printf("\n| formula | switching magnification | colours | differing pixels, deep against double | largest group |\n|---|---|---|---|---|\n");
    for (const Formula& f : formulas) {
        const auto point =
            f.number == 7 ? deep_support::BoundaryPoint(*library, f.number, f.maxit, f.maxit / 4, f.inside, f.outside, 60)
                          : misiurewicz;
        DeepCase c;
        c.formula = f.number;
        c.centerX = point.first;
        c.centerY = point.second;
        c.width = width;
        c.height = height;
        c.maxit = f.maxit;
        if (f.number == 1) c.render = 8;
        // The first magnification (in steps of a tenth of a decade) that the
        // deep path takes by itself.
        for (int tenths = 40; tenths < 160; ++tenths) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1fE%d", std::pow(10.0, (tenths % 10) / 10.0), tenths / 10);
            c.magnification = text;
            bool deepUsed = false;
            deep_support::Render(c, engine::DeepPolicy::Automatic, false, 2, Folder(), &deepUsed);
            if (!deepUsed) continue;
            const imaging::Picture doubles = deep_support::Render(c, engine::DeepPolicy::Never, false, 2, Folder());
            const imaging::Picture deep = deep_support::Render(c, engine::DeepPolicy::Always, false, 2, Folder());
            const deep_support::Difference d = deep_support::Compare(doubles, deep);
            std::printf("| %d | %s | %d | %.2f %% | %d |\n", f.number, text, Colours(deep), 100.0 * d.share,
                        d.largestBlock);
            std::fflush(stdout);
            break;
        }
    }
    return 0;
}
