// Computing views deeper than doubles can place pixels: the host's side of
// the deep formulas (vantrix01_deep.so, see halvane_deep.h).
//
// The generation core asks, per picture, whether doubles still separate its
// pixels; where they do not, it builds a DeepFrame (the reference point and
// every pixel's difference from it, by the same placement rules as the
// double path), has the reference orbit computed once, and computes runs of
// pixels through the library instead of vantrix01.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exact_view.h"
#include "halvane_deep.h"
#include "iteration_context.h"
#include "pixel_evaluation.h"

namespace engine {

// When the deep path computes a picture.
enum class DeepPolicy {
    Automatic,  // where doubles stop separating pixels
    Always,     // every picture (for comparing the two paths)
    Never       // no picture: doubles as before
};

// Doubles separate the pixels of an axis while the pixel step is at least
// kSeparatingUlps units in the last place of the largest coordinate the axis
// reaches (and a normal number): 20 bits below the step, which a chaotic
// orbit's rounding eats within a few hundred iterations. Much below that
// the double path's pictures stray from the exact ones, and at a few units
// they fall into blocks.
constexpr double kSeparatingUlps = 1048576.0;
bool DoublesSeparate(double min, double max, double step);

// The deep library, loaded once: it keeps no state, so every thread shares it.
class DeepLibrary {
public:
    using SizeFn = int64_t (*)(const HalvaneDeepView*);
    using ReferenceFn = int32_t (*)(const HalvaneDeepView*, void*, int64_t, HalvaneDeepGoOn, void*);
    using PixelsFn = int32_t (*)(const HalvaneDeepView*, const void*, HalvaneDeepPixel*, int32_t, HalvaneDeepGoOn,
                                 void*);
    DeepLibrary(void* handle, SizeFn size, ReferenceFn reference, PixelsFn pixels)
        : handle_(handle), Size(size), Reference(reference), Pixels(pixels) {}
    ~DeepLibrary();
    DeepLibrary(const DeepLibrary&) = delete;
    DeepLibrary& operator=(const DeepLibrary&) = delete;

private:
    void* handle_;

public:
    const SizeFn Size;
    const ReferenceFn Reference;
    const PixelsFn Pixels;
};

// Looks in each folder, then the normal library search; null when the
// library is missing or is not of this interface's version.
std::unique_ptr<DeepLibrary> LoadDeepLibrary(const std::vector<std::string>& folders,
                                             const std::string& fileName = HALVANE_DEEP_LIBRARY);

// Everything the pixels of one deep picture are computed from: the
// reference point (the view's centre; in Julia mode c is the Julia
// constant) and, per column and per row, the differences of a pixel's start
// z and c from it, before the plane transform. Built from the record and
// the exact view exactly as the double path places pixels: z and c at the
// pixel's point, z's parts kept at least 1e-20 from zero, c the point, the
// Julia constant or the fixed constant.
class DeepFrame {
public:
    struct Inputs {
        TIterationContext start{};  // the record as the row finds it
        ExactView exact;            // the texts in charge (EffectiveView)
        // c of column 0 and of the later columns in a fixed Julia run.
        double firstCRe = 0.0, firstCIm = 0.0, laterCRe = 0.0, laterCIm = 0.0;
        bool direct = false;  // every pixel directly in MPFR
    };
    // False when a text is not a number (then nothing deep can be done).
    bool Build(const Inputs& in);
    // A text naming everything Build used: equal keys, equal frames.
    static std::string KeyOf(const Inputs& in);

    const HalvaneDeepView& View() const { return view_; }
    // The inputs of the pixel at (column, row), after the plane transform;
    // the orbit fields are left to the caller.
    void Pixel(int32_t column, int32_t row, HalvaneDeepPixel& px) const;
    // The pixel's point in doubles, as the record's c keeps it afterwards.
    double PointX(int32_t column) const { return pointX_[static_cast<size_t>(column)]; }
    double PointY(int32_t row) const { return pointY_[static_cast<size_t>(row)]; }
    int32_t Precision() const { return view_.precision; }
    bool Extended() const { return view_.extended != 0; }

private:
    HalvaneDeepView view_{};
    std::string cRe_, cIm_, zRe_, zIm_;
    int32_t rotation_ = 0;
    bool julia_ = false;
    // Differences from the reference, before the plane transform.
    std::vector<HalvaneWide> zX_, zY_, cX_, cY_;
    HalvaneWide firstCX_{}, firstCY_{};  // c of column 0 in Julia mode
    std::vector<double> pointX_, pointY_;
};

// The reference block of one frame, computed once and kept while the frame's
// key stays the same (a new pass of the same view reuses it).
struct DeepReference {
    std::string key;
    std::vector<long double> block;  // 16-byte aligned storage
    bool ready = false;
    const void* Data() const { return block.data(); }
    int64_t Bytes() const { return static_cast<int64_t>(block.size() * sizeof(long double)); }
};

// Fills `reference` for `frame` unless it already holds it: false when the
// host's `goOn` stopped it (or the library refused the view).
bool EnsureReference(const DeepLibrary& library, const DeepFrame& frame, const std::string& key,
                     DeepReference& reference, HalvaneDeepGoOn goOn, void* user);

// Pixel orbits at most this many bytes per worker at once: the batch a
// worker hands the library holds fewer pixels for a larger limit.
constexpr int64_t kDeepBatchBytes = int64_t{32} << 20;
constexpr int32_t kDeepBatchPixels = 8;
int32_t DeepBatchPixels(int32_t maxit);

}  // namespace engine

namespace engine {

// One worker's means for deep pixels: a batch of pixel records and an orbit
// per pixel of the batch (DeepBatchPixels of them for the limit).
class DeepWorkspace {
public:
    // Sizes the batch and its orbits for `maxit`.
    void Prepare(int32_t maxit);
    int32_t Capacity() const { return static_cast<int32_t>(pixels_.size()); }
    // Computes `count` pixels of `row` from `firstColumn` on, `stride`
    // columns apart (count at most Capacity()); returns how many, from the
    // first on, are done.
    int32_t Compute(const DeepLibrary& library, const DeepFrame& frame, const DeepReference& reference, int32_t row,
                    int32_t firstColumn, int32_t count, HalvaneDeepGoOn goOn, void* user, int32_t stride = 1);
    // Takes pixel `k` of the last batch into the record as a pixel
    // evaluation leaves it (count, z, orbit, titles, render values). `entry`
    // is the worker's own orbit: its entry 0 is what entry 0 holds for this
    // pixel in a one-by-one run, and it keeps what the render method left there.
    void Finish(int32_t k, TIterationContext& ctx, OrbitBuffers& entry);

private:
    std::vector<OrbitBuffers> slots_;
    std::vector<HalvaneDeepPixel> pixels_;
};

}  // namespace engine
