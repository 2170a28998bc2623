// The deep path: where it takes over, that it places and evaluates pixels
// by the same rules as the double path, that perturbation gives the
// pictures of the direct MPFR path at depth, and what the library's
// interface promises (stopping, batches, threads).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cfloat>
#include <cstdio>
#include <filesystem>

#include "deep_support.h"
#include "plugin_fixture.h"
#include "recording_sink.h"

namespace {

using deep_support::DeepCase;
using engine::DeepPolicy;

const std::string kBin = HALVANE_BIN_DIR;

std::string Shifted(const std::string& text, const char* by) {
    mpfr_t a, b;
    mpfr_inits2(400, a, b, static_cast<mpfr_ptr>(nullptr));
    mpfr_set_str(a, text.c_str(), 10, MPFR_RNDN);
    mpfr_set_str(b, by, 10, MPFR_RNDN);
    mpfr_add(a, a, b, MPFR_RNDN);
    std::string result = deep_support::Text(a, 110);
    mpfr_clears(a, b, static_cast<mpfr_ptr>(nullptr));
    return result;
}

TEST(DeepPath, DoublesSeparatePixelsWhileTheStepHoldsTwentyBitsBelowIt) {
    const double ulpOfOne = DBL_EPSILON;  // coordinates in [1, 2)
    struct Case {
        double min, max, step;
        bool separate;
    } const cases[] = {
        {-2.0, 2.0, 0.025, true},
        {1.0, 1.5, ulpOfOne * 1048576.0, true},
        {1.0, 1.5, ulpOfOne * 1048575.0, false},
        {-1.5, -1.0, ulpOfOne * 1048575.0, false},  // the sign does not matter
        {-1e-30, 1e-30, 1e-33, true},               // near zero the doubles are fine
        {0.5, 0.5, 0.0, false},                     // no step at all
        {0.5, 0.5, 1e-310, false},                  // a subnormal step
        {-DBL_MAX, DBL_MAX, 1.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(engine::DoublesSeparate(c.min, c.max, c.step), c.separate) << c.min << " " << c.max << " " << c.step;
    }
}

TEST(DeepPath, TakesOverOnlyWhereDoublesStopSeparatingPixels) {
    struct Case {
        const char* magnification;
        int32_t width;
        bool deep;
    } const cases[] = {
        {"80", 160, false},  // the deepest of the pictures compared elsewhere
        {"2E8", 160, false},
        {"2E8", 320, true},  // more pixels over the same span
        {"1E9", 160, true},
        {"1E400", 16, true},  // beyond the doubles: the record holds the largest double
    };
    for (const Case& c : cases) {
        DeepCase d;
        d.centerX = "-0.74";
        d.centerY = "0.13";
        d.magnification = c.magnification;
        d.width = c.width;
        d.height = c.width * 3 / 4;
        d.maxit = 20;
        bool used = false;
        deep_support::Render(d, DeepPolicy::Automatic, false, 1, kBin, &used);
        EXPECT_EQ(used, c.deep) << c.magnification << " at " << c.width;
    }
    EXPECT_EQ(deep_support::Nearest("1E400"), DBL_MAX);
}

// Shallow views, where the double path is right: the deep path (perturbation
// for formulas 0, 1 and 7, MPFR for the others) must give the same picture,
// which checks every placement rule (z kept off zero, the plane transforms,
// Inside Out, Julia mode) and every formula's own start.
TEST(DeepPath, GivesTheDoublePathsPicturesOnShallowViews) {
    struct Case {
        int32_t formula, rotation, insideOut;
        const char *x, *y, *magnification;
        bool julia;
        const char *jx, *jy;
        int32_t render;
    } const cases[] = {
        {0, 0, 0, "-0.7", "0.3", "1000", false, "", "", 4},
        {0, 1, 0, "0.3", "-0.7", "1000", false, "", "", 8},
        {0, 2, 0, "0.3", "-0.7", "1000", false, "", "", 5},
        {0, 3, 1, "-0.7", "0.3", "10", false, "", "", 4},
        {0, 0, 0, "0", "0.1", "1E19", false, "", "", 2},  // z's real part kept off zero, c's not
        {0, 1, 0, "0.1", "0.2", "100", true, "-0.75", "0.1", 4},
        {1, 0, 0, "-0.2", "1.1", "30", false, "", "", 8},
        {1, 1, 1, "0.4", "0.4", "3", false, "", "", 9},
        {2, 1, 0, "0.1", "0.2", "3", false, "", "", 4},
        {3, 0, 0, "0.1", "0.2", "3", false, "", "", 6},
        {4, 2, 0, "0.1", "0.2", "3", false, "", "", 4},
        {5, 1, 1, "0.1", "0.2", "10", false, "", "", 4},
        {6, 3, 0, "0.1", "0.2", "3", false, "", "", 7},
        {7, 1, 0, "-0.7", "0.3", "1000", false, "", "", 4},
        {7, 0, 1, "0.5", "0.5", "10", false, "", "", 4},
        {7, 0, 0, "0.1", "0.2", "10", true, "0.2", "0.4", 8},
    };
    for (const Case& k : cases) {
        DeepCase c;
        c.formula = k.formula;
        c.rotation = k.rotation;
        c.insideOut = k.insideOut;
        c.centerX = k.x;
        c.centerY = k.y;
        c.magnification = k.magnification;
        c.julia = k.julia;
        c.juliaX = k.jx;
        c.juliaY = k.jy;
        c.render = k.render;
        c.width = 16;
        c.height = 12;
        c.maxit = 80;
        const imaging::Picture doubles = deep_support::Render(c, DeepPolicy::Never, false, 2, kBin);
        const imaging::Picture deep = deep_support::Render(c, DeepPolicy::Always, false, 2, kBin);
        const deep_support::Difference d = deep_support::Compare(doubles, deep);
        EXPECT_LE(d.share, 0.02) << "formula " << k.formula << " rotation " << k.rotation << " inside out "
                                 << k.insideOut << " julia " << k.julia << " at " << k.x << "," << k.y;
        EXPECT_LE(d.largestBlock, 2) << "formula " << k.formula << " at " << k.x << "," << k.y;
    }
}

// Julia mode about 0 (a point of i's Julia set) at 1e21: every pixel's z
// starts at (+-1e-20, +-1e-20), an exact 0 at -1e-20, so z^2 + c takes two
// values by the sign of x times y and the picture shows two colours by
// quadrant (doubles cannot even hold the 2e-40 that tells them apart).
TEST(DeepPath, KeepsEveryPartOfZOffZeroAtDepth) {
    DeepCase c;
    c.julia = true;
    c.juliaX = "0";
    c.juliaY = "1";
    c.magnification = "1E21";
    c.width = 16;
    c.height = 12;
    c.maxit = 400;
    const imaging::Picture deep = deep_support::Render(c, DeepPolicy::Always, false, 2, kBin);
    const auto colour = [&](int32_t x, int32_t y) {
        const uint8_t* p = deep.Row(y) + x * 3;
        return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    };
    const uint32_t same = colour(0, 0), other = colour(15, 0);
    EXPECT_NE(same, other);
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            // Column 8 and row 6 lie on 0 exactly: their part starts at -1e-20.
            EXPECT_EQ(colour(x, y), (x <= 8) == (y <= 6) ? same : other) << x << "," << y;
        }
    }
}

// At depth, perturbation against the yardstick of every pixel in MPFR:
// about a Misiurewicz point (structure at every depth), next to a minibrot
// (the reference passes through 0), in the differences' long double range,
// and for formula 7 next to a point of its boundary.
TEST(DeepPath, PerturbationGivesTheDirectPathsPicturesAtDepth) {
    const auto library = engine::LoadDeepLibrary({kBin});
    ASSERT_NE(library, nullptr);
    const auto misiurewicz = deep_support::MisiurewiczPoint(1200);
    int32_t period = 0;
    const auto nucleus = deep_support::NearbyNucleus(misiurewicz.first, misiurewicz.second, -30 * 3.33, 200, 2000, period);
    ASSERT_GT(period, 0);
    // A minibrot about as large as the view, the reference outside it: the
    // pixels inside pass near 0 where the reference does not (glitches
    // without rebasing).
    auto minibrot = deep_support::NearbyNucleus(misiurewicz.first, misiurewicz.second, -15 * 3.33, 200, 2000, period);
    ASSERT_GT(period, 0);
    minibrot.first = Shifted(minibrot.first, "3E-30");
    // Where the count crosses 150 of 300: nearer the boundary than a smaller
    // count's line, which is smooth at this depth (all pixels on one level).
    const auto phoenix = deep_support::BoundaryPoint(*library, 7, 300, 150, {"0.01", "0.01"}, {"1", "1"}, 110);
    const auto fixedPoint = deep_support::JuliaFixedPoint("-0.75", "0.1", 200);
    struct Case {
        int32_t formula;
        std::pair<std::string, std::string> point;
        const char* magnification;
        int32_t render, maxit;
        bool julia;
    } const cases[] = {
        {0, misiurewicz, "1E30", 4, 300, false},
        {0, nucleus, "1E30", 4, 300, false},
        {0, minibrot, "1E30", 4, 300, false},
        {0, misiurewicz, "1E320", 8, 1500, false},  // the pixels part from the point after some 1000 steps
        {1, misiurewicz, "1E30", 8, 300, false},
        {7, phoenix, "1E30", 4, 300, false},
        {0, fixedPoint, "1E30", 4, 300, true},  // about a point of the Julia set of -0.75 + 0.1i
    };
    for (const Case& k : cases) {
        DeepCase c;
        c.formula = k.formula;
        c.centerX = k.point.first;
        c.centerY = k.point.second;
        c.julia = k.julia;
        c.juliaX = "-0.75";
        c.juliaY = "0.1";
        c.magnification = k.magnification;
        c.render = k.render;
        c.width = 16;
        c.height = 12;
        c.maxit = k.maxit;
        const imaging::Picture yardstick = deep_support::Render(c, DeepPolicy::Always, true, 2, kBin);
        const imaging::Picture deep = deep_support::Render(c, DeepPolicy::Always, false, 2, kBin);
        const imaging::Picture doubles = deep_support::Render(c, DeepPolicy::Never, false, 2, kBin);
        const deep_support::Difference d = deep_support::Compare(yardstick, deep);
        EXPECT_LE(d.share, 0.01) << "formula " << k.formula << " at " << k.magnification;
        EXPECT_LE(d.largestBlock, 1) << "formula " << k.formula << " at " << k.magnification;
        // The picture has structure, which doubles cannot show.
        EXPECT_GT(deep_support::Compare(doubles, deep).share, 0.2) << "formula " << k.formula;
        EXPECT_GE(deep_support::Colours(deep), 8) << "formula " << k.formula;
    }
}

class CountingHost : public RecordingHost {};

TEST(DeepPath, SameOnAnyThreadCountAndTheReferenceComputedOncePerView) {
    const auto misiurewicz = deep_support::MisiurewiczPoint(300);
    for (int32_t formula : {0, 5, 7}) {
        DeepCase c;
        c.formula = formula;
        c.centerX = misiurewicz.first;
        c.centerY = misiurewicz.second;
        c.magnification = "1E40";
        c.width = 13;
        c.height = 5;
        c.maxit = 150;
        c.render = 9;  // rewrites the orbit's entries and entry 0
        const imaging::Picture one = deep_support::Render(c, DeepPolicy::Automatic, false, 1, kBin);
        const imaging::Picture three = deep_support::Render(c, DeepPolicy::Automatic, false, 3, kBin);
        EXPECT_TRUE(one == three) << "formula " << formula;
    }
    CountingHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({kBin}));
    core.SetThreadCount(2);
    DeepCase c;
    c.centerX = misiurewicz.first;
    c.centerY = misiurewicz.second;
    c.magnification = "1E40";
    c.width = 8;
    c.height = 4;
    c.maxit = 100;
    deep_support::Apply(core, c);
    imaging::Picture picture(8, 4);
    core.CurrentImage = &picture;
    core.Generate();
    ASSERT_TRUE(core.DeepInUse());
    EXPECT_EQ(core.DeepReferencesComputed(), 1);
    const imaging::Picture first = picture;
    core.Generate();  // the same view again
    EXPECT_EQ(core.DeepReferencesComputed(), 1);
    EXPECT_TRUE(picture == first);
    core.Context.Maxit = 120;  // another reference
    core.Generate();
    EXPECT_EQ(core.DeepReferencesComputed(), 2);
    EXPECT_TRUE(host.messages.empty());
}

TEST(DeepPath, LimitsAboveTheOldBuffersAtDepth) {
    // Inside the minibrot: every pixel runs to the limit, its orbit 40,002 entries.
    const auto misiurewicz = deep_support::MisiurewiczPoint(300);
    int32_t period = 0;
    const auto nucleus = deep_support::NearbyNucleus(misiurewicz.first, misiurewicz.second, -20 * 3.33, 200, 2000, period);
    ASSERT_GT(period, 0);
    engine::GenerationHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({kBin}));
    DeepCase c;
    c.centerX = nucleus.first;
    c.centerY = nucleus.second;
    c.magnification = "1E60";
    c.width = 2;
    c.height = 1;
    c.maxit = 40000;
    c.render = 1;
    deep_support::Apply(core, c);
    imaging::Picture picture(2, 1);
    core.CurrentImage = &picture;
    core.Generate();
    ASSERT_TRUE(core.DeepInUse());
    EXPECT_EQ(core.Context.IterCount, 40001);
    EXPECT_EQ(core.Buffers.AtX(1, 0), 40001.0 / 40000.0);
}

TEST(DeepPath, WithoutTheLibraryDeepViewsAreComputedWithDoublesAndSaySo) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "halvane-no-deep";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(kBin + "/vantrix01.so", folder / "vantrix01.so",
                               std::filesystem::copy_options::overwrite_existing);
    CountingHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({folder.string()}));
    DeepCase c;
    c.centerX = "-0.74";
    c.centerY = "0.13";
    c.magnification = "1E30";
    c.width = 4;
    c.height = 2;
    deep_support::Apply(core, c);
    imaging::Picture picture(4, 2);
    core.CurrentImage = &picture;
    core.Generate();
    core.Generate();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].first, "Error loading DLL: vantrix01_deep.so");
    EXPECT_EQ(deep_support::Colours(picture), 1);  // the double path: every pixel at the centre
    std::filesystem::remove_all(folder);
}

// The library's interface: it stops when asked, takes pixels in batches
// whose results do not depend on each other, and refuses what it cannot use.
TEST(DeepLibraryInterface, StopsWhenAskedAndBatchesDoNotMix) {
    const auto library = engine::LoadDeepLibrary({kBin});
    ASSERT_NE(library, nullptr);
    HalvaneDeepView view{};
    view.formula = 0;
    view.maxit = 100000;
    view.bailout = 4;
    view.precision = 128;
    view.cRe = view.zRe = "-0.1";
    view.cIm = view.zIm = "0.1";  // inside: every pixel runs to the limit
    std::vector<long double> block(static_cast<size_t>(library->Size(&view) + 15) / 16);
    const int64_t bytes = static_cast<int64_t>(block.size() * 16);
    const HalvaneDeepGoOn stop = [](void*) -> int32_t { return 0; };
    EXPECT_EQ(library->Reference(&view, block.data(), bytes, stop, nullptr), 0);
    EXPECT_EQ(library->Reference(&view, block.data(), bytes - 16, nullptr, nullptr), -1);
    ASSERT_EQ(library->Reference(&view, block.data(), bytes, nullptr, nullptr), 1);

    std::vector<double> orbits(4 * 100002);
    HalvaneDeepPixel pixels[2]{};
    for (int k = 0; k < 2; ++k) {
        pixels[k].orbitX = orbits.data() + 2 * k * 100002;
        pixels[k].orbitY = pixels[k].orbitX + 100002;
    }
    pixels[1].dcRe = HalvaneWide{0.75, -3};  // -0.1 + 0.09375: still inside
    EXPECT_EQ(library->Pixels(&view, block.data(), pixels, 2, stop, nullptr), 0);
    ASSERT_EQ(library->Pixels(&view, block.data(), pixels, 2, nullptr, nullptr), 2);
    HalvaneDeepPixel alone = pixels[1];
    alone.count = 0;
    std::vector<double> aloneOrbit(2 * 100002);
    alone.orbitX = aloneOrbit.data();
    alone.orbitY = aloneOrbit.data() + 100002;
    ASSERT_EQ(library->Pixels(&view, block.data(), &alone, 1, nullptr, nullptr), 1);
    EXPECT_EQ(alone.count, pixels[1].count);
    EXPECT_EQ(alone.zRe, pixels[1].zRe);
    EXPECT_EQ(pixels[0].count, 100001);
    EXPECT_NE(pixels[0].orbitX[500], pixels[1].orbitX[500]);

    view.precision = 32;  // below what the library takes
    EXPECT_EQ(library->Size(&view), -1);
    view.precision = 128;
    view.cRe = "0.1x";
    EXPECT_EQ(library->Reference(&view, block.data(), bytes, nullptr, nullptr), -1);
}

}  // namespace
