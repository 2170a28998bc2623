// The generation core: view arithmetic, pixel placement, render buffers,
// the row interface, and bit-identical pictures on any number of threads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

#include "generation.h"
#include "picture_settings.h"
#include "plugin_fixture.h"
#include "recording_sink.h"

namespace {

using engine::GenerationCore;

class ScriptedHost : public RecordingHost {
public:
    std::function<void()> afterRow;
    int completions = 0;
    int ends = 0;
    void AfterRow() override {
        if (afterRow) afterRow();
    }
    void GenerationCompleted() override { ++completions; }
    void GenerationEnded() override { ++ends; }
};

struct Settings {
    int32_t formula = 0, render = 4, blend = 20, order = 3;
    int32_t rotation = 1, insideOut = 0, width = 40, height = 30, maxit = 60;
    int32_t juliaMode = 0;
    // Fixed Julia mode as a parameter file leaves it: c is the constant.
    bool juliaFixedAsLoaded = false;
    double juliaX = 0.0, juliaY = 0.0;
    double centerX = 0.0, centerY = 0.0, magnification = 1.0;
};

void Apply(const Settings& s, TIterationContext& ctx) {
    ctx.FormulaNo = s.formula;
    ctx.RenderNo = s.render;
    ctx.BlendNo = s.blend;
    ctx.ColorOrderNo = s.order;
    ctx.RotationMode = s.rotation;
    ctx.InsideOut = s.insideOut;
    ctx.ImageWidth = s.width;
    ctx.ImageHeight = s.height;
    ctx.Maxit = s.maxit;
    if (ctx.JuliaMode != s.juliaMode) ctx.JuliaFixed = 0;
    ctx.JuliaMode = s.juliaMode;
    ctx.JuliaX = s.juliaX;
    ctx.JuliaY = s.juliaY;
    if (s.juliaFixedAsLoaded) {
        ctx.JuliaFixed = 1;
        ctx.CRe = s.juliaX;
        ctx.CIm = s.juliaY;
    }
    ctx.CenterX = s.centerX;
    ctx.CenterY = s.centerY;
    ctx.Magnification = s.magnification;
}

// A strictly sequential generation, pixel after pixel on one record,
// written straight from the loop's steps; the oracle for the core.
struct SequentialReference {
    explicit SequentialReference(engine::FormulaEntryFn f) : formula(f) {
        engine::ApplyNewDefaults(ctx);
        engine::ResetCoordinates(ctx);
    }

    imaging::Picture Generate(const Settings& s, const std::function<void(int32_t)>& afterRow = {},
                              const imaging::Picture* startFrom = nullptr) {
        Apply(s, ctx);
        if (ctx.FormulaNo != lastFormulaNo) {
            ctx.JuliaX = ctx.JuliaY = 0.0;
            ctx.JuliaMode = ctx.JuliaFixed = 0;
            engine::ResetCoordinates(ctx);
        }
        lastFormulaNo = ctx.FormulaNo;
        if (ctx.Maxit > kMaxIterationLimit) ctx.Maxit = kMaxIterationLimit;
        engine::FitViewToImage(ctx);
        const engine::PixelGrid grid{ctx.XMin, ctx.YMin, (ctx.XMax - ctx.XMin) / ctx.ImageWidth,
                                     (ctx.YMax - ctx.YMin) / ctx.ImageHeight};
        imaging::Picture picture = startFrom ? *startFrom : imaging::Picture(ctx.ImageWidth, ctx.ImageHeight);
        colour::ColourWork work;
        colour::ColourPassReport report;
        for (int32_t row = 0; row < ctx.ImageHeight; ++row) {
            for (int32_t column = 0; column < ctx.ImageWidth; ++column) {
                engine::PlacePixel(ctx, column, row, grid, ctx.CRe, ctx.CIm);
                engine::EvaluatePixel(ctx, orbit, formula);
                if (engine::RenderBuffers::Fits(ctx.ImageWidth, ctx.ImageHeight)) {
                    buffers.AtX(column, row) = ctx.RenderX;
                    buffers.AtY(column, row) = ctx.RenderY;
                }
                ctx.RenderX = ctx.RenderX * ctx.dFactor3;
                ctx.RenderY = ctx.RenderY * ctx.dFactor3;
                colour::BlendAndColour(ctx, work, picture, column, row, report);
            }
            if (afterRow) afterRow(row);
        }
        ctx.JuliaFixed = ctx.JuliaMode;
        return picture;
    }

    engine::FormulaEntryFn formula;
    TIterationContext ctx{};
    engine::OrbitBuffers orbit;
    engine::RenderBuffers buffers;
    int32_t lastFormulaNo = 0;
};

class CoreUnderTest {
public:
    explicit CoreUnderTest(int threads) : core(host) {
        EXPECT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
        core.SetThreadCount(threads);
        engine::ApplyNewDefaults(core.Context);
        engine::ResetCoordinates(core.Context);
        core.LastFormulaNo = 0;
    }

    // Applies the settings and draws into `start` from then on.
    void Prepare(const Settings& s, imaging::Picture start) {
        Apply(s, core.Context);
        picture = std::move(start);
        core.CurrentImage = &picture;
    }

    imaging::Picture Generate(const Settings& s, engine::ComputeOrder order = engine::ComputeOrder::Rows) {
        Prepare(s, imaging::Picture(s.width, s.height));
        EXPECT_TRUE(core.Generate(std::nullopt, order));
        return picture;
    }

    ScriptedHost host;
    GenerationCore core;
    imaging::Picture picture;
};

// Compares bit patterns, so that NaN values compare equal to themselves.
bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

std::vector<Settings> CoverAllMethods() {
    std::vector<Settings> list;
    for (int32_t blend = 1; blend <= 26; ++blend) {
        Settings s;
        s.blend = blend;
        s.formula = (blend - 1) % 8;
        s.render = (blend - 1) % 9 + 1;
        s.order = (blend - 1) % 6 + 1;
        s.rotation = blend % 4;
        s.insideOut = blend % 5 == 0;
        s.width = blend % 3 == 0 ? 37 : 40;  // a partial chunk of columns too
        s.magnification = blend % 7 == 0 ? 3.0 : 1.0;
        list.push_back(s);
    }
    for (int32_t formula = 0; formula <= 7; ++formula) {
        for (int32_t render : {9, 5, 6, 7, 8, 1, 2, 3}) {  // 5 to 8 after a method-9 picture
            Settings s;
            s.formula = formula;
            s.render = render;
            s.blend = 1 + (formula * 3 + render) % 26;
            s.width = 24;
            s.height = 10;
            list.push_back(s);
        }
    }
    Settings julia;
    julia.juliaMode = 1;
    julia.juliaX = 0.0;  // a zero component that blend method 22 moves off zero
    julia.juliaY = 0.6;
    julia.blend = 22;
    list.push_back(julia);  // picks the constant per pixel
    list.push_back(julia);  // then carries the fixed constant from pixel to pixel
    // A fixed constant of (0, 0) from a file: the first pixel takes it as it
    // is, every later one as blend method 22 moved it; inverted, the two differ.
    Settings loaded = julia;
    loaded.juliaFixedAsLoaded = true;
    loaded.juliaY = 0.0;
    loaded.insideOut = 1;
    list.push_back(loaded);
    Settings big;
    big.width = 330;  // larger than the render buffers
    big.height = 6;
    big.blend = 25;
    list.push_back(big);
    Settings wrong;
    wrong.blend = 27;
    list.push_back(wrong);
    return list;
}

TEST(Generation, PicturesAreIdenticalOnOneOrManyThreadsAndMatchASequentialRun) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    ASSERT_NE(referencePlugin, nullptr);
    SequentialReference reference(referencePlugin->FormulaEntry());
    CoreUnderTest single(1);
    CoreUnderTest many(3);
    EXPECT_EQ(single.core.ThreadCount(), 0);  // workers start with the first picture
    int index = 0;
    for (const Settings& s : CoverAllMethods()) {
        SCOPED_TRACE("picture " + std::to_string(index++) + ": formula " + std::to_string(s.formula) +
                     " render " + std::to_string(s.render) + " blend " + std::to_string(s.blend));
        const imaging::Picture expected = reference.Generate(s);
        EXPECT_TRUE(single.Generate(s) == expected);
        EXPECT_TRUE(many.Generate(s) == expected);
        EXPECT_EQ(many.core.Context.CRe, reference.ctx.CRe);
        EXPECT_EQ(many.core.Context.ZIm, reference.ctx.ZIm);
        EXPECT_EQ(many.core.Context.RenderX, reference.ctx.RenderX);
        EXPECT_TRUE(SameBits(many.core.Buffers.X, reference.buffers.X));
        EXPECT_TRUE(SameBits(single.core.Buffers.Y, reference.buffers.Y));
    }
    EXPECT_EQ(many.core.ThreadCount(), 3);
    EXPECT_EQ(single.core.ThreadCount(), 1);
}

// Coarse to fine: every pixel is computed once, exactly, whatever the order;
// the record and the render buffers end as a run row after row leaves them.
TEST(Generation, PassesGiveTheSamePictureRecordAndBuffersAsASequentialRun) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    ASSERT_NE(referencePlugin, nullptr);
    SequentialReference reference(referencePlugin->FormulaEntry());
    CoreUnderTest single(1);
    CoreUnderTest many(3);
    int index = 0;
    for (const Settings& s : CoverAllMethods()) {
        SCOPED_TRACE("picture " + std::to_string(index++) + ": formula " + std::to_string(s.formula) +
                     " render " + std::to_string(s.render) + " blend " + std::to_string(s.blend));
        const imaging::Picture expected = reference.Generate(s);
        EXPECT_TRUE(single.Generate(s, engine::ComputeOrder::Passes) == expected);
        EXPECT_TRUE(many.Generate(s, engine::ComputeOrder::Passes) == expected);
        for (CoreUnderTest* run : {&single, &many}) {
            EXPECT_EQ(run->core.Context.CRe, reference.ctx.CRe);
            EXPECT_EQ(run->core.Context.CIm, reference.ctx.CIm);
            EXPECT_EQ(run->core.Context.ZIm, reference.ctx.ZIm);
            EXPECT_EQ(run->core.Context.RenderX, reference.ctx.RenderX);
            EXPECT_EQ(run->core.Context.IterCount, reference.ctx.IterCount);
            EXPECT_TRUE(SameBits(run->core.Buffers.X, reference.buffers.X));
            EXPECT_TRUE(SameBits(run->core.Buffers.Y, reference.buffers.Y));
        }
    }
}

// Until a finer pass reaches it, a block shows its computed pixel; a
// picture smaller than the image (an opened file) takes what falls in it.
TEST(Generation, EachPassShowsBlocksOfExactPixels) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    Settings s;
    s.width = 43;
    s.height = 29;
    imaging::Picture opened(30, 21);
    const imaging::Picture expected = reference.Generate(s, {}, &opened);
    CoreUnderTest run(2);
    run.Prepare(s, opened);
    ASSERT_TRUE(run.core.BeginGeneration(std::nullopt, engine::ComputeOrder::Passes));
    std::vector<int32_t> blocksSeen;
    int32_t rowsLeft = s.height;  // for the busy caption: down to 1
    while (run.core.RowsRemain()) {
        run.core.ComputeRow();
        EXPECT_LE(run.core.RowsLeft(), rowsLeft);
        EXPECT_GE(run.core.RowsLeft(), 1);
        rowsLeft = run.core.RowsLeft();
        if (run.core.LastJobEndedPass()) {
            const int32_t block = run.core.LastBlock();
            blocksSeen.push_back(block);
            for (int32_t y = 0; y < opened.Height(); ++y)
                for (int32_t x = 0; x < opened.Width(); ++x)
                    ASSERT_EQ(run.picture.Pixel(x, y), expected.Pixel(x - x % block, y - y % block))
                        << "block " << block << " at " << x << "," << y;
        }
        run.core.NextRow();
    }
    run.core.EndGeneration();
    EXPECT_EQ(rowsLeft, 1);
    EXPECT_EQ(blocksSeen, (std::vector<int32_t>{8, 4, 2, 1}));
    EXPECT_TRUE(run.picture == expected);
}

// A job that gives way (a new view is coming) stops taking pixels, takes
// nothing in, and is computed again whole unless the generation is replaced.
TEST(Generation, AJobThatGivesWayIsComputedAgainWhole) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    Settings s;
    s.width = 300;
    s.height = 250;  // several jobs of the passes
    s.blend = 22;    // the record's c handed on from pixel to pixel
    imaging::Picture picture(s.width, s.height);
    const imaging::Picture expected = reference.Generate(s, {}, &picture);
    CoreUnderTest run(2);
    run.Prepare(s, picture);
    ASSERT_TRUE(run.core.BeginGeneration(std::nullopt, engine::ComputeOrder::Passes));
    int jobs = 0, givenWay = 0;
    while (run.core.RowsRemain()) {
        if (jobs++ % 3 == 1) {
            const imaging::Picture before = run.picture;
            run.core.GiveWay();
            run.core.ComputeRow();
            EXPECT_TRUE(run.picture == before) << "job " << jobs;
            EXPECT_FALSE(run.core.LastJobEndedPass());
            ++givenWay;
            run.core.NextRow();
        }
        run.core.ComputeRow();
        run.core.NextRow();
    }
    run.core.EndGeneration();
    EXPECT_GE(givenWay, 2);
    EXPECT_TRUE(run.core.AllDone());
    EXPECT_TRUE(run.picture == expected);
    EXPECT_EQ(run.core.Context.CRe, reference.ctx.CRe);
    EXPECT_EQ(run.core.Context.IterCount, reference.ctx.IterCount);
    // Rows never give way.
    CoreUnderTest rows(2);
    rows.Prepare(s, picture);
    ASSERT_TRUE(rows.core.BeginGeneration());
    rows.core.GiveWay();
    while (rows.core.RowsRemain()) {
        rows.core.ComputeRow();
        rows.core.NextRow();
    }
    rows.core.EndGeneration();
    EXPECT_TRUE(rows.picture == expected);
}

TEST(Generation, FallsBackToFewerThreadsWhenNoPrivateInstanceCanBeMade) {
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    setenv("TMPDIR", "/nonexistent-halvane-folder", 1);
    CoreUnderTest starved(3);
    Settings s;
    const imaging::Picture picture = starved.Generate(s);
    if (saved) setenv("TMPDIR", savedValue.c_str(), 1); else unsetenv("TMPDIR");
    EXPECT_EQ(starved.core.ThreadCount(), 1);
    CoreUnderTest normal(3);
    EXPECT_TRUE(normal.Generate(s) == picture);
    EXPECT_EQ(normal.core.ThreadCount(), 3);
}

TEST(Generation, SmallerPictureAndUnwrittenPixelsMatchASequentialRun) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    imaging::Picture opened(30, 21);  // smaller than the image size, as an opened file may be
    for (int32_t y = 0; y < opened.Height(); ++y)
        for (int32_t x = 0; x < opened.Width(); ++x) opened.SetPixel(x, y, imaging::PackColour(9, 99, 199));
    Settings s;
    s.order = 0;  // every pixel that is not black stays as it was
    s.render = 2;
    const imaging::Picture expected = reference.Generate(s, {}, &opened);
    CoreUnderTest many(3);
    many.Prepare(s, opened);
    many.core.Generate();
    EXPECT_TRUE(many.picture == expected);
    EXPECT_EQ(many.picture.Width(), 30);
    EXPECT_EQ(many.picture.Pixel(20, 20), imaging::PackColour(9, 99, 199));
    // In passes no block covers a pixel that keeps its colour.
    opened.SetPixel(8, 8, imaging::PackColour(1, 2, 3));
    const imaging::Picture expectedToo = reference.Generate(s, {}, &opened);
    CoreUnderTest passes(2);
    passes.Prepare(s, opened);
    passes.core.Generate(std::nullopt, engine::ComputeOrder::Passes);
    EXPECT_TRUE(passes.picture == expectedToo);
}

TEST(Generation, SettingsChangedBetweenRowsActFromTheNextRow) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    Settings s;
    auto change = [](TIterationContext& ctx, int32_t row) {
        if (row == 4) {
            ctx.BlendNo = 13;
            ctx.RedStart = 100.0;
            ctx.RenderNo = 7;
        }
    };
    const imaging::Picture expected =
        reference.Generate(s, [&](int32_t row) { change(reference.ctx, row); });
    CoreUnderTest many(2);
    many.host.afterRow = [&] { change(many.core.Context, many.core.PixelY); };
    EXPECT_TRUE(many.Generate(s) == expected);
}

// A worker remembers the last wave's levels; a colour setting changed
// between rows must act on the next row even where every pixel has the same
// mix values (all inside the set, render method 1).
TEST(Generation, AColourSettingChangedBetweenRowsActsOnAFlatRegion) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    Settings s;
    s.render = 1;
    s.rotation = 0;
    s.centerX = -0.3;
    s.magnification = 16.0;
    auto change = [](TIterationContext& ctx, int32_t row) {
        if (row == 4) ctx.GrnStart += 40.0;
    };
    const imaging::Picture expected =
        reference.Generate(s, [&](int32_t row) { change(reference.ctx, row); });
    EXPECT_NE(expected.Pixel(0, 4), expected.Pixel(0, 5));
    for (int threads : {1, 2}) {
        CoreUnderTest run(threads);
        run.host.afterRow = [&] { change(run.core.Context, run.core.PixelY); };
        EXPECT_TRUE(run.Generate(s) == expected) << threads << " threads";
    }
}

TEST(Generation, ViewAndPixelPlacement) {
    TIterationContext ctx{};
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = 320;
    ctx.ImageHeight = 240;
    engine::FitViewToImage(ctx);
    EXPECT_NEAR(ctx.XMin, -2.33333333333, 1e-11);
    EXPECT_NEAR(ctx.XMax, 2.33333333333, 1e-11);
    EXPECT_DOUBLE_EQ(ctx.YMin, -1.75);
    EXPECT_DOUBLE_EQ(ctx.YMax, 1.75);
    EXPECT_DOUBLE_EQ((ctx.XMax - ctx.XMin) / (ctx.YMax - ctx.YMin), 320.0 / 240.0);

    const engine::PixelGrid grid{ctx.XMin, ctx.YMin, (ctx.XMax - ctx.XMin) / 320, (ctx.YMax - ctx.YMin) / 240};
    engine::PlacePixel(ctx, 0, 0, grid, 9.0, 9.0);
    EXPECT_EQ(ctx.ZRe, ctx.XMin);
    EXPECT_EQ(ctx.ZIm, ctx.YMin);
    EXPECT_EQ(ctx.CRe, ctx.XMin);
    // A point with a zero part: z moves off zero, c does not.
    const engine::PixelGrid zero{0.0, 0.0, 1.0, 1.0};
    engine::PlacePixel(ctx, 0, 0, zero, 9.0, 9.0);
    EXPECT_EQ(ctx.ZRe, -1e-20);
    EXPECT_EQ(ctx.CRe, 0.0);
    ctx.JuliaMode = 1;
    ctx.JuliaX = 0.5;
    ctx.JuliaY = -0.5;
    engine::PlacePixel(ctx, 3, 0, zero, 9.0, 9.0);
    EXPECT_EQ(ctx.CRe, 0.5);
    EXPECT_EQ(ctx.ZRe, 3.0);
    ctx.JuliaFixed = 1;
    engine::PlacePixel(ctx, 3, 0, zero, 9.0, 8.0);
    EXPECT_EQ(ctx.CIm, 8.0);
}

TEST(Generation, ResetAndDefaults) {
    TIterationContext ctx{};
    ctx.JuliaX = 0.25;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    EXPECT_EQ(ctx.RotationMode, 1);
    EXPECT_EQ(ctx.BlendNo, 20);
    EXPECT_EQ(ctx.ColorOrderNo, 3);
    EXPECT_EQ(ctx.RenderNo, 4);
    EXPECT_EQ(ctx.GrnStart, 17.0);
    EXPECT_EQ(ctx.BluStart, 29.0);
    EXPECT_EQ(ctx.JuliaX, 0.25);  // New leaves the Julia constant alone
    EXPECT_EQ(ctx.CenterX, 0.0);
    EXPECT_EQ(ctx.SelXMax, 2.0);
    EXPECT_EQ(ctx.Magnification, 1.0);
}

TEST(Generation, FirstPictureStepAndFormulaChangeReset) {
    CoreUnderTest run(2);
    Settings s;
    s.width = 160;
    s.height = 120;
    s.juliaX = 0.3;
    s.centerX = 1.0;
    run.Generate(s);
    EXPECT_EQ(run.core.StepX, (run.core.Context.XMax - run.core.Context.XMin) / 160);
    EXPECT_EQ(run.core.Context.JuliaX, 0.3);  // the formula did not change
    s.formula = 2;
    s.juliaMode = 1;
    s.juliaX = 0.3;
    s.centerX = 1.0;
    run.Generate(s);
    EXPECT_EQ(run.core.Context.JuliaX, 0.0);
    EXPECT_EQ(run.core.Context.JuliaMode, 0);
    EXPECT_EQ(run.core.Context.CenterX, 0.0);
    EXPECT_EQ(run.core.LastFormulaNo, 2);
}

TEST(Generation, RenderBuffersFillOnlyUpTo320By240) {
    CoreUnderTest run(2);
    Settings s;
    s.width = 320;
    s.height = 240;
    s.maxit = 10;
    std::fill(run.core.Buffers.X.begin(), run.core.Buffers.X.end(), -7.0);
    run.Generate(s);
    EXPECT_EQ(std::count(run.core.Buffers.X.begin(), run.core.Buffers.X.end(), -7.0), 0);
    std::fill(run.core.Buffers.X.begin(), run.core.Buffers.X.end(), -7.0);
    s.width = 321;
    run.Generate(s);
    EXPECT_EQ(std::count(run.core.Buffers.X.begin(), run.core.Buffers.X.end(), -7.0),
              static_cast<long>(run.core.Buffers.X.size()));
}

TEST(Generation, LimitsUpToTheLargestAreKeptAndALargerOneIsLowered) {
    CoreUnderTest run(2);
    Settings s;
    s.width = 4;
    s.height = 3;
    s.maxit = 30000;  // above the old buffers' 20000
    s.render = 1;
    run.Generate(s);
    EXPECT_EQ(run.core.Context.Maxit, 30000);
    // Pixel (0, 0) is far outside: it escapes at once, so its value is 1/Maxit.
    EXPECT_EQ(run.core.Buffers.AtX(0, 0), 1.0 / 30000);
    s.maxit = kMaxIterationLimit + 7;
    run.Generate(s);
    EXPECT_EQ(run.core.Context.Maxit, kMaxIterationLimit);
    EXPECT_EQ(run.core.Buffers.AtX(0, 0), 1.0 / kMaxIterationLimit);
}

TEST(Generation, APointInsideRunsToTheLargestLimit) {
    CoreUnderTest run(2);
    Settings s;
    s.width = 2;
    s.height = 1;
    s.maxit = kMaxIterationLimit;
    s.render = 5;  // reads every orbit entry
    s.magnification = 1e6;  // both pixels near 0, inside the set
    run.Generate(s);
    EXPECT_EQ(run.core.Context.IterCount, kMaxIterationLimit + 1);
    EXPECT_GT(run.core.Buffers.AtX(1, 0), 0.0);
}

TEST(Generation, AbortLetsTheRowFinishAndKeepsTheRest) {
    CoreUnderTest run(2);
    Settings s;
    s.width = 20;
    s.height = 20;
    imaging::Picture previous(20, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) previous.SetPixel(x, y, imaging::PackColour(1, 1, 1));
    run.Prepare(s, previous);
    run.host.afterRow = [&] {
        if (run.core.PixelY == 10) run.core.StopRequested = true;
    };
    run.core.Generate();
    EXPECT_EQ(run.picture.Pixel(5, 11), imaging::PackColour(1, 1, 1));
    EXPECT_NE(run.picture.Pixel(5, 10), imaging::PackColour(1, 1, 1));
    EXPECT_EQ(run.host.completions, 1);
    EXPECT_TRUE(run.core.StopRequested);
    EXPECT_EQ(run.core.Context.JuliaFixed, run.core.Context.JuliaMode);
}

TEST(Generation, ClearedParamsValidEndsWithoutCompletion) {
    CoreUnderTest run(1);
    Settings s;
    s.width = 8;
    s.height = 8;
    run.host.afterRow = [&] { run.core.ParamsValid = false; };
    run.Generate(s);
    EXPECT_EQ(run.core.PixelY, 0);
    EXPECT_EQ(run.host.completions, 0);
    EXPECT_EQ(run.host.ends, 1);
    EXPECT_FALSE(run.core.StopRequested);
}

TEST(Generation, AGenerationStartedBetweenRowsSupersedesTheRunningOne) {
    CoreUnderTest fresh(2);
    Settings newer;
    newer.formula = 0;
    newer.render = 2;
    const imaging::Picture expected = fresh.Generate(newer);

    CoreUnderTest run(2);
    Settings older;
    older.render = 6;
    run.Prepare(older, imaging::Picture(older.width, older.height));
    bool started = false;
    run.host.afterRow = [&] {
        if (run.core.PixelY == 3 && !started) {
            started = true;
            run.core.Context.RenderNo = 2;
            run.core.Generate();
        }
    };
    run.core.Generate();
    EXPECT_TRUE(run.picture == expected);
    EXPECT_EQ(run.host.completions, 2);
}

TEST(Generation, RecolouringReproducesTheColoursAndFollowsTheFactor) {
    CoreUnderTest run(2);
    Settings s;
    s.render = 2;
    s.blend = 3;
    const imaging::Picture generated = run.Generate(s);
    run.picture = imaging::Picture(s.width, s.height);
    EXPECT_TRUE(run.core.RecolourFromBuffers());
    EXPECT_TRUE(run.picture == generated);
    run.core.Context.dFactor3 = 0.0;
    EXPECT_TRUE(run.core.RecolourFromBuffers());
    EXPECT_EQ(run.picture.Pixel(7, 7), 0u);
    run.core.Context.BlendNo = 23;  // the one method that colours zero values
    EXPECT_TRUE(run.core.RecolourFromBuffers());
    EXPECT_NE(run.picture.Pixel(7, 7), 0u);
    run.core.Context.ImageWidth = 321;
    EXPECT_FALSE(run.core.RecolourFromBuffers());
}

TEST(Generation, WrongNumbersAreReportedOncePerPass) {
    CoreUnderTest run(2);
    Settings s;
    s.blend = 27;
    run.Generate(s);
    s.blend = 1;
    s.order = 0;
    run.Generate(s);
    EXPECT_TRUE(run.core.RecolourFromBuffers());
    ASSERT_EQ(run.host.messages.size(), 3u);
    EXPECT_EQ(run.host.messages[0].first, "Wrong blendingmethod number");
    EXPECT_EQ(run.host.messages[1].first, "Wrong coloringorder number");
    EXPECT_EQ(run.host.messages[2].first, "Wrong coloringorder number");
}

}  // namespace

namespace {

// Every field a pixel writes is one CopyPixelState carries: nothing else of
// the record may change while a row is computed in the background.
TEST(Generation, APixelWritesOnlyThePixelFieldsOfTheRecord) {
    auto plugin = engine::LoadPrivateCopy(BuiltPluginPath());
    ASSERT_NE(plugin, nullptr);
    engine::OrbitBuffers orbit;
    colour::ColourWork work;
    colour::ColourPassReport report;
    imaging::Picture picture(4, 4);
    for (const Settings& s : CoverAllMethods()) {
        TIterationContext before{};
        engine::ApplyNewDefaults(before);
        engine::ResetCoordinates(before);
        Apply(s, before);
        engine::FitViewToImage(before);
        TIterationContext ctx = before;
        const engine::PixelGrid grid{ctx.XMin, ctx.YMin, 0.01, 0.01};
        engine::PlacePixel(ctx, 2, 1, grid, 0.0, 0.5);
        engine::EvaluatePixel(ctx, orbit, plugin->FormulaEntry());
        colour::BlendAndColour(ctx, work, picture, 2, 1, report);
        TIterationContext expected = before;
        engine::CopyPixelState(ctx, expected);
        EXPECT_EQ(std::memcmp(&expected, &ctx, sizeof ctx), 0)
            << "formula " << s.formula << " render " << s.render << " blend " << s.blend;
    }
}

// A row computed on the worker threads uses the settings of its start;
// what changes meanwhile acts from the next row on and is not lost.
TEST(Generation, SettingsChangedWhileARowIsComputedActFromTheNextRow) {
    auto referencePlugin = engine::LoadPrivateCopy(BuiltPluginPath());
    SequentialReference reference(referencePlugin->FormulaEntry());
    Settings s;
    auto change = [](TIterationContext& ctx) {
        ctx.BlendNo = 13;
        ctx.RedStart = 100.0;
        ctx.RenderNo = 7;
    };
    const imaging::Picture expected = reference.Generate(s, [&](int32_t row) {
        if (row == 5) change(reference.ctx);
    });

    CoreUnderTest run(2);
    run.Prepare(s, imaging::Picture(s.width, s.height));
    ASSERT_TRUE(run.core.BeginGeneration());
    while (run.core.RowsRemain()) {
        std::atomic<bool> ready{false};
        run.core.StartRow([&ready] { ready = true; });
        EXPECT_TRUE(run.core.RowInFlight());
        if (run.core.PixelY == 5) change(run.core.Context);
        run.core.WaitForRow();
        EXPECT_TRUE(ready);
        run.core.FinishRow();
        run.core.NextRow();
    }
    run.core.EndGeneration();
    EXPECT_TRUE(run.picture == expected);
    EXPECT_EQ(run.core.Context.BlendNo, 13);
    EXPECT_EQ(run.core.Context.ZIm, reference.ctx.ZIm);
}

}  // namespace
