// Pictures with several samples per pixel: the block average of the picture
// computed that many times larger, a band at a time.
#include <gtest/gtest.h>

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
    job.width = 20000;
    EXPECT_EQ(engine::ComputeSupersampled(job, out, messages), engine::SupersampleOutcome::Failed);
    EXPECT_EQ(messages.messages.size(), 2u);
}

}  // namespace
