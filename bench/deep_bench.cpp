// Speed of the deep path against the double path, measured in one run:
// iterations (loop-head tests, summed over the pixels) per second.
//  - formula 0, 640x480, Maxit 20,000, 2 threads: a shallow view half inside
//    the set by doubles; views at 1e50 and 1e200 filled by a minibrot
//    (perturbation), with the reference orbit's share of the time;
//  - formulas 2 to 6 (directly in MPFR) at 1e50 against the same formula's
//    shallow picture by doubles, on smaller pictures (the MPFR path is slow).
//
//   halvane-deep-bench [--quick]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "deep_support.h"

namespace {

using deep_support::DeepCase;

struct Timing {
    double seconds = 0.0;          // the whole picture, reference included
    double referenceSeconds = 0.0;
    int64_t iterations = 0;
    bool deep = false;
    double PerSecond() const { return seconds > 0.0 ? static_cast<double>(iterations) / seconds : 0.0; }
};

Timing Measure(const DeepCase& c, engine::DeepPolicy policy) {
    engine::GenerationHost host;
    engine::GenerationCore core(host);
    if (!core.BindPlugin({HALVANE_BIN_DIR})) std::exit(1);
    core.SetThreadCount(2);
    core.Deep = policy;
    deep_support::Apply(core, c);
    imaging::Picture picture(c.width, c.height);
    core.CurrentImage = &picture;
    Timing t;
    auto start = std::chrono::steady_clock::now();
    core.Generate();
    t.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    t.iterations = core.IterationsDone;
    t.deep = core.DeepInUse();
    t.referenceSeconds = core.DeepReferenceSeconds();
    return t;
}

// A view at magnification 10^decades about the nucleus of a minibrot about
// as large as the view (near a Misiurewicz point, where minibrots of every size lie).
DeepCase MinibrotView(int decades, int32_t width, int32_t height, int32_t maxit) {
    const auto misiurewicz = deep_support::MisiurewiczPoint(static_cast<mpfr_prec_t>(decades * 3.33) + 128);
    int32_t period = 0;
    const auto nucleus = deep_support::NearbyNucleus(misiurewicz.first, misiurewicz.second, -decades * 3.33 / 2,
                                                     static_cast<mpfr_prec_t>(decades * 3.33) + 128, 100000, period);
    DeepCase c;
    c.centerX = nucleus.first;
    c.centerY = nucleus.second;
    c.magnification = "1E" + std::to_string(decades);
    c.width = width;
    c.height = height;
    c.maxit = maxit;
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    const int32_t width = quick ? 160 : 640, height = quick ? 120 : 480;
    const int32_t maxit = quick ? 2000 : 20000;
    std::printf("Formula 0, %dx%d, Maxit %d, 2 threads\n\n", width, height, maxit);
    std::printf("| picture | path | time | iterations | iterations/s | against doubles | reference orbit's share |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    DeepCase shallow;
    shallow.centerX = "-0.5";
    shallow.centerY = "0";
    shallow.magnification = "1.5";
    shallow.width = width;
    shallow.height = height;
    shallow.maxit = maxit;
    const Timing doubles = Measure(shallow, engine::DeepPolicy::Never);
    std::printf("| shallow, half inside | doubles | %.2f s | %lld | %.3g | 1 | |\n", doubles.seconds,
                static_cast<long long>(doubles.iterations), doubles.PerSecond());
    for (int decades : {50, 200}) {
        const DeepCase c = MinibrotView(decades, width, height, maxit);
        const Timing deep = Measure(c, engine::DeepPolicy::Automatic);
        const double share = deep.seconds > 0.0 ? deep.referenceSeconds / deep.seconds : 0.0;
        std::printf("| 1e%d, a minibrot | %s | %.2f s | %lld | %.3g | %.2f | %.1f %% |\n", decades,
                    deep.deep ? "perturbation" : "doubles (?)", deep.seconds, static_cast<long long>(deep.iterations),
                    deep.PerSecond(), deep.PerSecond() / doubles.PerSecond(), 100.0 * share);
        std::fflush(stdout);
    }

    // Formulas 2 to 6: the shallow views of the README's gallery, then the
    // same centres at 1e50 directly in MPFR.
    struct Gallery {
        int32_t formula;
        const char *x, *y, *magnification;
    } const gallery[] = {
        {2, "0", "0", "3"}, {3, "0", "0.3", "2"}, {4, "0", "0", "4"}, {5, "0", "0.4", "1.5"}, {6, "0", "0", "2"},
    };
    const int32_t smallWidth = quick ? 40 : 80, smallHeight = quick ? 30 : 60;
    std::printf("\nFormulas 2 to 6, %dx%d, Maxit %d, 2 threads: directly in MPFR at 1e50\n\n", smallWidth,
                smallHeight, maxit);
    std::printf("| formula | doubles, shallow: iterations/s | MPFR at 1e50: iterations/s | against doubles | time |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const Gallery& g : gallery) {
        DeepCase c;
        c.formula = g.formula;
        c.centerX = g.x;
        c.centerY = g.y;
        c.magnification = g.magnification;
        c.width = smallWidth;
        c.height = smallHeight;
        c.maxit = maxit;
        c.rotation = 1;
        const Timing flat = Measure(c, engine::DeepPolicy::Never);
        c.centerX = "0.1234567890123456789012345678901234567890123456789012345678901";
        c.magnification = "1E50";
        const Timing mpfr = Measure(c, engine::DeepPolicy::Automatic);
        std::printf("| %d | %.3g | %.3g | %.4f | %.2f s |\n", g.formula, flat.PerSecond(), mpfr.PerSecond(),
                    mpfr.PerSecond() / flat.PerSecond(), mpfr.seconds);
        std::fflush(stdout);
    }
    return 0;
}
