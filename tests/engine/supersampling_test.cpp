// Pictures with several samples per pixel: the block average of the picture
// computed that many times larger, a band at a time.
#include <gtest/gtest.h>

#include <algorithm>

#include "generation.h"
#include "picture_settings.h"
#include "plugin_fixture.h"
#include "recording_sink.h"
#include "supersampling.h"

namespace {

TIterationContext JuliaSettings() {
    TIterationContext ctx{};
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.FormulaNo = 7;
    ctx.RenderNo = 5;
    ctx.BlendNo = 13;
    ctx.JuliaMode = 1;
    ctx.JuliaX = 0.2;
    ctx.JuliaY = 0.4;
    ctx.CRe = 0.2;
    ctx.CIm = 0.4;
    return ctx;
}

imaging::Picture ComputeWhole(const TIterationContext& settings, int32_t width, int32_t height) {
    RecordingHost host;
    engine::GenerationCore core(host);
    EXPECT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
    core.Context = settings;
    core.Context.ImageWidth = width;
    core.Context.ImageHeight = height;
    core.LastFormulaNo = core.Context.FormulaNo;
    imaging::Picture picture(width, height);
    core.CurrentImage = &picture;
    EXPECT_TRUE(core.Generate());
    return picture;
}

TEST(Supersampling, EveryPixelIsTheRoundedAverageOfItsBlock) {
    for (int32_t factor : {1, 2, 3}) {
        SCOPED_TRACE("factor " + std::to_string(factor));
        const TIterationContext settings = JuliaSettings();
        const imaging::Picture large = ComputeWhole(settings, 21 * factor, 13 * factor);
        engine::SupersampledPicture job;
        job.settings = settings;
        job.width = 21;
        job.height = 13;
        job.factor = factor;
        job.threads = 2;
        job.pluginFolders = {HALVANE_BIN_DIR};
        RecordingHost messages;
        imaging::Picture out;
        ASSERT_EQ(engine::ComputeSupersampled(job, out, messages), engine::SupersampleOutcome::Done);
        ASSERT_EQ(out.Width(), 21);
        ASSERT_EQ(out.Height(), 13);
        const uint32_t n = static_cast<uint32_t>(factor * factor);
        for (int32_t y = 0; y < 13; ++y) {
            for (int32_t x = 0; x < 21; ++x) {
                uint32_t sum[3] = {0, 0, 0};
                for (int32_t dy = 0; dy < factor; ++dy)
                    for (int32_t dx = 0; dx < factor; ++dx) {
                        const uint32_t c = large.Pixel(x * factor + dx, y * factor + dy);
                        sum[0] += imaging::RedOf(c);
                        sum[1] += imaging::GreenOf(c);
                        sum[2] += imaging::BlueOf(c);
                    }
                const uint32_t expected = imaging::PackColour(static_cast<uint8_t>((sum[0] + n / 2) / n),
                                                              static_cast<uint8_t>((sum[1] + n / 2) / n),
                                                              static_cast<uint8_t>((sum[2] + n / 2) / n));
                ASSERT_EQ(out.Pixel(x, y), expected) << "pixel " << x << ", " << y;
            }
        }
    }
}

TEST(Supersampling, CancelledLeavesThePictureAloneAndSizesThatCannotBeAreRefused) {
    engine::SupersampledPicture job;
    job.settings = JuliaSettings();
    job.width = 30;
    job.height = 30;
    job.factor = 2;
    job.pluginFolders = {HALVANE_BIN_DIR};
    RecordingHost messages;
    imaging::Picture out(3, 3);
    int calls = 0;
    EXPECT_EQ(engine::ComputeSupersampled(job, out, messages, [&calls](int32_t done, int32_t total) {
                  EXPECT_EQ(total, 30);
                  EXPECT_EQ(done, ++calls);
                  return done < 4;
              }),
              engine::SupersampleOutcome::Cancelled);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(out.Width(), 3);
    EXPECT_TRUE(messages.messages.empty());

    job.factor = 5;
    EXPECT_EQ(engine::ComputeSupersampled(job, out, messages), engine::SupersampleOutcome::Failed);
    job.factor = 4;
    job.width = 70000;
    EXPECT_EQ(engine::ComputeSupersampled(job, out, messages), engine::SupersampleOutcome::Failed);
    job.width = 30;
    job.firstRow = 30;
    EXPECT_EQ(engine::ComputeSupersampled(job, out, messages), engine::SupersampleOutcome::Failed);
    EXPECT_EQ(messages.messages.size(), 3u);
}

// A fixed Julia constant at 0 with blend 22 and Inside Out: the first pixel
// of the picture takes c as it is, every later one the guarded c.
TIterationContext FixedJuliaAtZero() {
    TIterationContext ctx = JuliaSettings();
    ctx.FormulaNo = 0;
    ctx.BlendNo = 22;
    ctx.InsideOut = 1;
    ctx.JuliaFixed = 1;
    ctx.JuliaX = ctx.JuliaY = ctx.CRe = ctx.CIm = 0.0;
    return ctx;
}

TEST(Supersampling, BandsOfRowsAreTheWholePicturesRows) {
    const struct {
        const char* name;
        TIterationContext settings;
    } cases[] = {{"julia", JuliaSettings()}, {"fixed julia at 0", FixedJuliaAtZero()}};
    for (const auto& c : cases) {
        for (int32_t factor : {1, 2, 3}) {
            SCOPED_TRACE(std::string(c.name) + ", factor " + std::to_string(factor));
            engine::SupersampledPicture job;
            job.settings = c.settings;
            job.width = 17;
            job.height = 11;
            job.factor = factor;
            job.threads = 2;
            job.pluginFolders = {HALVANE_BIN_DIR};
            RecordingHost messages;
            imaging::Picture whole;
            ASSERT_EQ(engine::ComputeSupersampled(job, whole, messages), engine::SupersampleOutcome::Done);
            // Bands of 1, 2 and 4 rows from several starting rows.
            const struct {
                int32_t first, end, bandRows;
            } bands[] = {{0, 11, 4}, {1, 2, 1}, {3, 11, 2}, {5, 9, 4}};
            for (const auto& b : bands) {
                const int32_t first = b.first, end = b.end, bandRows = b.bandRows;
                job.firstRow = first;
                job.endRow = end;
                int32_t next = first;
                const auto outcome = engine::ComputeSupersampledBands(
                    job, messages,
                    [&](const imaging::Picture& band, int32_t rows, int32_t firstRow) {
                        EXPECT_EQ(firstRow, next);
                        EXPECT_LE(rows, bandRows);
                        for (int32_t row = 0; row < rows; ++row) {
                            EXPECT_TRUE(std::equal(band.Row(row), band.Row(row) + 17 * 3, whole.Row(firstRow + row)))
                                << "row " << firstRow + row << " of a band from " << first;
                        }
                        next += rows;
                        return true;
                    },
                    bandRows);
                EXPECT_EQ(outcome, engine::SupersampleOutcome::Done);
                EXPECT_EQ(next, end);
            }
        }
    }
}

TEST(Supersampling, AReceiverThatStopsEndsTheRunAndRowsWiderThanAPictureAreComputed) {
    engine::SupersampledPicture job;
    job.settings = JuliaSettings();
    job.settings.Maxit = 20;
    job.width = 20000;  // 80000 samples a row: wider than any picture
    job.height = 5;
    job.factor = 4;
    job.pluginFolders = {HALVANE_BIN_DIR};
    RecordingHost messages;
    int bands = 0;
    EXPECT_EQ(engine::ComputeSupersampledBands(
                  job, messages,
                  [&bands](const imaging::Picture& band, int32_t rows, int32_t) {
                      EXPECT_EQ(band.Width(), 20000);
                      EXPECT_EQ(rows, 2);
                      return ++bands < 2;
                  },
                  2),
              engine::SupersampleOutcome::Failed);
    EXPECT_EQ(bands, 2);
    EXPECT_TRUE(messages.messages.empty());

    // A band of an image of more pixels than any picture: the rows it has.
    job.width = 20000;
    job.height = 15000;
    job.factor = 1;
    job.firstRow = 7000;
    job.endRow = 7001;
    imaging::Picture band;
    ASSERT_EQ(engine::ComputeSupersampled(job, band, messages), engine::SupersampleOutcome::Done);
    EXPECT_NE(std::count(band.Bytes().begin(), band.Bytes().end(), uint8_t{0}), 20000 * 3) << "a black row";
    TIterationContext whole = job.settings;
    whole.ImageWidth = 20000;
    whole.ImageHeight = 15000;
    RecordingHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
    core.Context = whole;
    core.LastFormulaNo = whole.FormulaNo;
    core.ImageInBands = true;
    core.FirstPictureRow = 7000;
    imaging::Picture row(20000, 1);
    core.CurrentImage = &row;
    ASSERT_TRUE(core.BeginGeneration());
    core.PixelY = 6999;  // the row before, as the whole picture's run has it
    core.ComputeRow();
    core.NextRow();
    core.ComputeRow();
    EXPECT_TRUE(row == band);
    // Without bands, no size that no picture can have is computed.
    core.ImageInBands = false;
    EXPECT_FALSE(core.BeginGeneration());
}

}  // namespace
