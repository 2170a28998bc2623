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
    const auto misiurewicz = deep_support::MisiurewiczPoint(static_cast<mpfr_prec_t>(depths.back() * 3.33) + 128);
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
                // Where the count crosses 3/4 of a limit that grows with the
                // depth: a smaller count's line is smooth at that depth (all
                // pixels on one level), this one is near the set's boundary.
                c.maxit = std::max(f.maxit, decades * 6);
                const auto start = std::chrono::steady_clock::now();
                const auto point = deep_support::BoundaryPoint(*library, f.number, c.maxit, c.maxit * 3 / 4, f.inside,
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
                // Beside a minibrot smaller than a pixel (found within a view's
                // width of the point), the reference 5 pixels from its nucleus;
                // and a minibrot about as large as the view.
                for (const double radius : {-decades * 3.33 + 2.0, -decades * 3.33 / 2}) {
                    const bool large = radius > -decades * 3.0;
                    // About a large one pixels escape only after many turns
                    // of its period: too long for the yardstick at 1e500.
                    if (large && decades > 200) continue;
                    int32_t period = 0;
                    const auto nucleus = deep_support::NearbyNucleus(c.centerX, c.centerY, radius, bitsDeep + 64,
                                                                     50000, period);
                    if (period == 0) continue;
                    DeepCase m = c;
                    // The large one's reference lies outside it: its pixels
                    // pass near 0 where the reference does not.
                    const double pixels = large ? width * 0.375 : 5.0;
                    m.centerX = Shifted(nucleus.first, pixels, decades, width, bitsDeep + 64);
                    m.centerY = nucleus.second;
                    m.maxit = std::max(f.maxit, period * (large ? 16 : 4));
                    rows.push_back({std::string(large ? "a minibrot" : "beside a minibrot") +
                                        ", period " + std::to_string(period),
                                    m});
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
                    row.c.magnification.c_str(), row.name.c_str(), row.c.maxit, row.c.render, deep_support::Colours(yardstick),
                    100.0 * d.share,
                    d.largestBlock, yardstickSeconds, deepSeconds);
        std::fflush(stdout);
    }
    // Where the deep path takes over: the double path's last depth.
    std::printf("\n| formula | switching magnification | colours | differing pixels, deep against double | largest group |\n|---|---|---|---|---|\n");
    for (const Formula& f : formulas) {
        const auto point =
            f.number == 7 ? deep_support::BoundaryPoint(*library, f.number, f.maxit, f.maxit * 3 / 4, f.inside, f.outside, 60)
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
            std::printf("| %d | %s | %d | %.2f %% | %d |\n", f.number, text, deep_support::Colours(deep), 100.0 * d.share,
                        d.largestBlock);
            std::fflush(stdout);
            break;
        }
    }
    return 0;
}
