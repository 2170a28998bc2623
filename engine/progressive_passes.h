// The order in which a picture is computed coarse to fine: first one pixel
// in every block of 8 by 8 (16 by 16 and up for very large pictures, so that
// the first pass stays quick), then the pixels that make blocks of half the
// side, and so on, last every pixel not yet computed. Each pixel is computed
// once; until a finer pass reaches its block, it stands for the whole block.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine {

// Pixels of one row: columns firstColumn, firstColumn + stride, ...
// (count of them).
struct PixelRun {
    int32_t row = 0;
    int32_t firstColumn = 0;
    int32_t stride = 1;
    int32_t count = 0;
    int32_t Column(int32_t index) const { return firstColumn + index * stride; }
};

// Runs of one pass computed together: about kJobPixels pixels (at least a
// row's worth), few enough that taking each job in costs little against
// computing it; a new view makes a job give way part way (GiveWay()).
struct PixelJob {
    std::vector<PixelRun> runs;
    int32_t block = 1;  // the side of the square each pixel stands for
    int64_t Pixels() const;
};

class PassPlan {
public:
    // The first pass's block side is at least this, and grows (by powers of
    // two) until the first pass has at most kFirstPassPixels pixels.
    static constexpr int32_t kCoarsestBlock = 8;
    static constexpr int64_t kFirstPassPixels = 20000;
    static int32_t FirstBlock(int32_t width, int32_t height);
    static constexpr int64_t kJobPixels = 32768;
    // The most pixels a job of a picture this wide has.
    static int64_t MostJobPixels(int32_t width) { return std::max<int64_t>(width, kJobPixels) + width; }

    PassPlan() = default;
    // The passes over a picture of width by height pixels.
    PassPlan(int32_t width, int32_t height);

    bool Done() const { return next_ >= jobs_.size(); }
    // The first job is the first pass's top row alone: the one job with the
    // picture's first pixel, which alone takes c as the generation found it.
    bool AtFirstJob() const { return next_ == 0; }
    const PixelJob& Current() const { return jobs_[next_]; }
    void Next() { ++next_; }
    // Whether the current job is the last of its pass.
    bool EndsPass() const;
    // Pixels of the current job and of all later ones.
    int64_t PixelsLeft() const;
    int64_t TotalPixels() const { return total_; }

private:
    std::vector<PixelJob> jobs_;
    std::vector<int64_t> pixelsFrom_;  // pixels of job i and the jobs after it
    size_t next_ = 0;
    int64_t total_ = 0;
};

}  // namespace engine
