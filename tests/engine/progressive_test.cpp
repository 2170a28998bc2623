// The coarse-to-fine order: every pixel once, coarse passes first, each
// pass's pixels on its grid, jobs of a few rows; a job that gives way.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "deep_support.h"
#include "progressive_passes.h"

namespace {

TEST(PassPlan, EveryPixelOnceCoarsestFirstInJobsOfAboutARow) {
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {7, 3}, {8, 8}, {9, 17}, {37, 30}, {320, 240}, {5, 64}, {2000, 700}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        engine::PassPlan plan(width, height);
        EXPECT_EQ(plan.TotalPixels(), int64_t{width} * height);
        std::vector<int32_t> block(static_cast<size_t>(width) * height, 0);
        const int32_t first = engine::PassPlan::FirstBlock(width, height);
        int32_t lastBlock = first;
        std::vector<int32_t> passEnds;
        int64_t done = 0;
        for (; !plan.Done(); plan.Next()) {
            const engine::PixelJob& job = plan.Current();
            EXPECT_EQ(plan.PixelsLeft(), plan.TotalPixels() - done);
            EXPECT_LE(job.block, lastBlock);
            lastBlock = job.block;
            EXPECT_GT(job.Pixels(), 0);
            EXPECT_LT(job.Pixels(), engine::PassPlan::MostJobPixels(width));
            if (plan.EndsPass()) passEnds.push_back(job.block);
            for (const engine::PixelRun& run : job.runs) {
                EXPECT_EQ(run.row % job.block, 0);
                for (int32_t i = 0; i < run.count; ++i) {
                    const int32_t column = run.Column(i);
                    ASSERT_GE(column, 0);
                    ASSERT_LT(column, width);
                    EXPECT_EQ(column % job.block, 0);
                    // A finer pass never computes what a coarser one did.
                    if (job.block < first) {
                        EXPECT_FALSE(column % (2 * job.block) == 0 && run.row % (2 * job.block) == 0);
                    }
                    int32_t& seen = block[static_cast<size_t>(run.row) * width + column];
                    EXPECT_EQ(seen, 0) << "twice: " << column << "," << run.row;
                    seen = job.block;
                }
                done += run.count;
            }
        }
        EXPECT_EQ(plan.PixelsLeft(), 0);
        // The picture's first pixel is in a job of its own row alone.
        engine::PassPlan fresh(width, height);
        ASSERT_TRUE(fresh.AtFirstJob());
        EXPECT_EQ(fresh.Current().runs.size(), 1u);
        EXPECT_EQ(fresh.Current().runs.front().row, 0);
        fresh.Next();
        EXPECT_FALSE(fresh.AtFirstJob());
        for (int32_t v : block) EXPECT_NE(v, 0);
        EXPECT_EQ(block[0], first);
        ASSERT_FALSE(passEnds.empty());
        EXPECT_EQ(passEnds.front(), first);
        for (size_t i = 1; i < passEnds.size(); ++i) EXPECT_EQ(passEnds[i], passEnds[i - 1] / 2);
    }
    // The first pass stays small: 8 by 8 up to about a megapixel, then coarser.
    EXPECT_EQ(engine::PassPlan::FirstBlock(1280, 800), 8);
    EXPECT_EQ(engine::PassPlan::FirstBlock(2560, 1600), 16);
    EXPECT_EQ(engine::PassPlan::FirstBlock(65535, 1500), 128);
    EXPECT_TRUE(engine::PassPlan(0, 5).Done());
    EXPECT_TRUE(engine::PassPlan(5, -1).Done());
}

// Views computed by the deep path: the passes hand the library runs of
// every other pixel, and give the picture and record of rows.
TEST(PassPlan, DeepViewsInPassesAreTheirPicturesInRows) {
    const auto misiurewicz = deep_support::MisiurewiczPoint(300);
    for (const bool julia : {false, true}) {
        deep_support::DeepCase c;
        c.centerX = misiurewicz.first;
        c.centerY = misiurewicz.second;
        c.magnification = "1E40";
        c.width = 21;
        c.height = 11;
        c.maxit = 120;
        c.render = 9;
        c.julia = julia;
        c.juliaX = "0";  // blend 22 moves the constant's zero part off zero after the first pixel
        c.juliaY = "0.6";
        if (julia) c.blend = 22;
        std::vector<imaging::Picture> pictures;
        std::vector<TIterationContext> records;
        for (const engine::ComputeOrder order : {engine::ComputeOrder::Rows, engine::ComputeOrder::Passes}) {
            engine::GenerationHost host;
            engine::GenerationCore core(host);
            ASSERT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
            core.SetThreadCount(2);
            core.Deep = engine::DeepPolicy::Always;
            deep_support::Apply(core, c);
            imaging::Picture picture(c.width, c.height);
            core.CurrentImage = &picture;
            for (int run = 0; run < 2; ++run) core.Generate(std::nullopt, order);  // then with c fixed
            ASSERT_TRUE(core.DeepInUse());
            pictures.push_back(picture);
            records.push_back(core.Context);
        }
        EXPECT_TRUE(pictures[0] == pictures[1]) << "julia " << julia;
        // The record's fields are packed: compare copies, not references into it.
        const double cRe[2] = {records[0].CRe, records[1].CRe}, zIm[2] = {records[0].ZIm, records[1].ZIm};
        const int32_t iterations[2] = {records[0].IterCount, records[1].IterCount};
        EXPECT_EQ(cRe[0], cRe[1]);
        EXPECT_EQ(zIm[0], zIm[1]);
        EXPECT_EQ(iterations[0], iterations[1]);
    }
}

}  // namespace
