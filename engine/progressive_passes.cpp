#include "progressive_passes.h"

#include <algorithm>

namespace engine {

namespace {
int32_t ColumnsFrom(int32_t first, int32_t stride, int32_t width) {
    return first < width ? (width - 1 - first) / stride + 1 : 0;
}
}  // namespace

int64_t PixelJob::Pixels() const {
    int64_t pixels = 0;
    for (const PixelRun& run : runs) pixels += run.count;
    return pixels;
}

int32_t PassPlan::FirstBlock(int32_t width, int32_t height) {
    int32_t block = kCoarsestBlock;
    const auto pixels = [&](int64_t b) { return ((width + b - 1) / b) * ((height + b - 1) / b); };
    while (block < 1024 && pixels(block) > kFirstPassPixels) block *= 2;
    return block;
}

PassPlan::PassPlan(int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return;
    const int32_t first = FirstBlock(width, height);
    for (int32_t block = first; block >= 1; block /= 2) {
        PixelJob job;
        job.block = block;
        int64_t inJob = 0;
        for (int32_t row = 0; row < height; row += block) {
            PixelRun run;
            run.row = row;
            if (block == first) {
                run.stride = block;
            } else if (row % (2 * block) == 0) {
                // Every other pixel of this row was computed by a coarser pass.
                run.firstColumn = block;
                run.stride = 2 * block;
            } else {
                run.stride = block;
            }
            run.count = ColumnsFrom(run.firstColumn, run.stride, width);
            if (run.count == 0) continue;
            job.runs.push_back(run);
            inJob += run.count;
            if (inJob >= std::max<int64_t>(width, kJobPixels) || jobs_.empty()) {
                jobs_.push_back(std::move(job));
                job = PixelJob{};
                job.block = block;
                inJob = 0;
            }
        }
        if (!job.runs.empty()) jobs_.push_back(std::move(job));
    }
    pixelsFrom_.assign(jobs_.size() + 1, 0);
    for (size_t i = jobs_.size(); i-- > 0;) pixelsFrom_[i] = pixelsFrom_[i + 1] + jobs_[i].Pixels();
    total_ = pixelsFrom_[0];
}

bool PassPlan::EndsPass() const {
    return !Done() && (next_ + 1 == jobs_.size() || jobs_[next_ + 1].block != jobs_[next_].block);
}

int64_t PassPlan::PixelsLeft() const { return Done() ? 0 : pixelsFrom_[next_]; }

}  // namespace engine
