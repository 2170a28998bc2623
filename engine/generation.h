// The generation core: computes a picture row by row from the picture
// settings, on every core, with the same result as a strictly sequential run.
// No windows here: the desktop program drives it through GenerationHost and
// the row-by-row interface, the headless renderer through Generate().
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "colour_mapping.h"
#include "deep_compute.h"
#include "exact_view.h"
#include "iteration_context.h"
#include "messages.h"
#include "picture.h"
#include "pixel_evaluation.h"
#include "plugin_binding.h"
#include "progressive_passes.h"

namespace engine {

// How a generation goes over the picture: row after row from the top, or in
// passes from coarse to fine (see PassPlan), each pixel standing for its
// block until a finer pass reaches it. Both give the same picture.
enum class ComputeOrder { Rows, Passes };

// The raw render values of the last picture of at most 320 by 240 pixels,
// indexed [column][row], kept so that the picture can be recoloured.
struct RenderBuffers {
    static constexpr int32_t kColumns = 320;
    static constexpr int32_t kRows = 240;
    std::vector<double> X = std::vector<double>(kColumns * kRows, 0.0);
    std::vector<double> Y = std::vector<double>(kColumns * kRows, 0.0);
    static constexpr bool Fits(int32_t width, int32_t height) {
        return width <= kColumns && height <= kRows;
    }
    double& AtX(int32_t column, int32_t row) { return X[static_cast<size_t>(column) * kRows + row]; }
    double& AtY(int32_t column, int32_t row) { return Y[static_cast<size_t>(column) * kRows + row]; }
};

// The raw render values of every pixel of the picture computed last, for
// recolouring any picture without computing it again ("Fit Colours to
// Picture"). Kept only where asked for and up to kMaxPixels (16 bytes a
// pixel); the 320 by 240 buffers above keep their own rules.
struct PictureValues {
    static constexpr int64_t kMaxPixels = 16'777'216;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<double> X, Y;      // [row * width + column]
    int64_t pixelsDone = 0;        // pixels of the picture computed so far (each once)
    // Whether the values of a whole width by height picture are here.
    bool Complete(int32_t w, int32_t h) const {
        return w == width && h == height && width > 0 && height > 0 && pixelsDone == int64_t{width} * height;
    }
};

// Where pixel (0, 0) lies and how far apart pixels are in the plane.
struct PixelGrid {
    double xMin = 0.0;
    double yMin = 0.0;
    double stepX = 0.0;
    double stepY = 0.0;
};

// Prepares the record for one pixel: clears the render values and the
// count, places z at the pixel's point (each part kept at least 1e-20 away
// from zero) and chooses c: the point itself, the Julia constant, or, once
// the Julia constant is fixed, `fixedC` (what c holds at that moment).
void PlacePixel(TIterationContext& ctx, int32_t column, int32_t row, const PixelGrid& grid,
                double fixedCRe, double fixedCIm);

// The fields that computing and colouring a pixel write into the record
// (the point, the iterate, the count, the render values, the orbit and
// name pointers); everything else is a setting that only the program changes.
void CopyPixelState(const TIterationContext& from, TIterationContext& to);

// Values of the "Parameters" dialog, handed in while it is visible.
struct ParameterDialogValues {
    double Maxit = 0.0;
    double Bailout = 0.0;
    double epsilon = 0.0;
    double JuliaX = 0.0;
    double JuliaY = 0.0;
    // The Julia constant's exact texts where the dialog holds more digits
    // than the doubles ("" where the doubles are the whole value).
    std::string JuliaXText, JuliaYText;
};

// What the core asks of the program around it. Every hook has a default
// that does nothing, which is what the headless renderer needs.
class GenerationHost : public MessageSink {
public:
    void ShowMessage(const std::string&, const std::string& = {}) override {}
    virtual void SetAbortEnabled(bool) {}
    // After every row of Generate(). Anything may happen here, a new
    // generation included.
    virtual void AfterRow() {}
    // The picture's pixels changed; the view should repaint.
    virtual void PictureChanged() {}
    // Completion: busy indication off, caption restored.
    virtual void GenerationCompleted() {}
    // The very end of every generation (the view's action mode).
    virtual void GenerationEnded() {}
};

class GenerationCore {
public:
    explicit GenerationCore(GenerationHost& host);
    // Waits for a row still being computed.
    ~GenerationCore();
    GenerationCore(const GenerationCore&) = delete;
    GenerationCore& operator=(const GenerationCore&) = delete;

    // The main settings record: zero at creation, like the main window's.
    TIterationContext Context{};
    // The view's exact digits where the record's doubles do not hold them.
    ExactView View;
    RenderBuffers Buffers;
    // Set, every picture of at most PictureValues::kMaxPixels pixels keeps
    // all its render values in Values.
    bool KeepPictureValues = false;
    PictureValues Values;
    // The picture generation writes into. The program may replace it
    // between rows (a zoom preview), never while a row is being computed;
    // the next row goes to the new one.
    imaging::Picture* CurrentImage = nullptr;
    // The image row that CurrentImage's top row holds: a picture may hold a
    // band of the image (a large image computed a few rows at a time).
    int32_t FirstPictureRow = 0;
    // Set by a caller that computes the image a band of rows at a time into
    // pictures of a few rows: the image may then be larger than any picture,
    // a row up to Picture::kMaxPixels wide.
    bool ImageInBands = false;

    int32_t LastFormulaNo = 0;
    // Cleared while a generation may go on; deep pixels and reference
    // orbits, which take long, also stop within a row when it is set.
    std::atomic<bool> StopRequested{true};
    bool ParamsValid = true;    // cleared by the parameter-file reader
    int32_t PixelX = 0;
    int32_t PixelY = 0;
    int32_t ProgressRow = 0;
    double StepX = 0.0;
    double StepY = 0.0;
    double ImageXMin = 0.0;
    double ImageYMin = 0.0;
    double ImageXMax = 0.0;
    double ImageYMax = 0.0;

    // When pictures are computed by the deep path (see deep_compute.h), and
    // whether it iterates every pixel directly in MPFR (the yardstick).
    DeepPolicy Deep = DeepPolicy::Automatic;
    bool DeepDirect = false;
    // Whether the generation in progress (or the last one) computes deep.
    bool DeepInUse() const { return deepPicture_; }
    // The loop-head tests (IterCount) of every pixel computed since the
    // generation began, for speed figures.
    int64_t IterationsDone = 0;
    // Reference orbits computed so far: one per view, none for a new pass.
    int32_t DeepReferencesComputed() const { return deepReferences_; }
    // The time those took, for speed figures.
    double DeepReferenceSeconds() const { return deepReferenceSeconds_; }

    // Binds the plug-in (see BindPlugin in plugin_binding.h), the deep
    // formulas' library beside it, and prepares the workers.
    bool BindPlugin(const std::vector<std::string>& folders = DefaultPluginFolders(),
                    const std::string& fileName = kPluginFileName);
    bool PluginBound() const { return binding_.Bound(); }

    // Threads to use: 0 means every hardware thread. Fewer are used when
    // private plug-in instances cannot be had.
    void SetThreadCount(int threads);
    int ThreadCount() const;
    // Every thread in a private copy of the plug-in, the first one too: for
    // a second core computing beside the first in the same process.
    void SetPrivateInstances(bool on);

    // Computes the whole picture, blocking: returns whether it ran (a
    // picture needs the plug-in, a CurrentImage and an image size that a
    // picture can have). `dialog` holds the
    // parameters dialog's values while it is visible.
    bool Generate(const std::optional<ParameterDialogValues>& dialog = std::nullopt,
                  ComputeOrder order = ComputeOrder::Rows);

    // The same a row at a time, for a caller that must stay responsive:
    //   if (BeginGeneration()) { while (RowsRemain()) { ComputeRow() or
    //   StartRow() ... FinishRow(); NextRow(); } EndGeneration(); }
    // Settings changed between rows act from the next row on; while a row is
    // computed on the worker threads, only the settings fields of Context
    // may change (the record's pixel fields, the picture, the buffers and
    // the generation's own fields wait for FinishRow).
    // In passes, a "row" of this interface is a job of the PassPlan (about a
    // row's worth of pixels); PixelY is then the first row it touches.
    bool BeginGeneration(const std::optional<ParameterDialogValues>& dialog = std::nullopt,
                         ComputeOrder order = ComputeOrder::Rows);
    bool RowsRemain() const {
        return !StopRequested && (passes_ ? !passes_->Done() : PixelY < Context.ImageHeight);
    }
    // Computes row PixelY (or the current job) into the picture, buffers and record.
    void ComputeRow();
    // Computes row PixelY on the worker threads without waiting; `ready`
    // then runs on one of them, after which FinishRow() takes the row in.
    void StartRow(std::function<void()> ready);
    bool RowInFlight() const { return rowInFlight_; }
    // Blocks until a started row is ready (then FinishRow is still due).
    void WaitForRow();
    // Takes the row in; rethrows what computing it threw (std::bad_alloc),
    // with the generation stopped and the row not taken in.
    void FinishRow();
    // Moves on to the next row or job; a job that gave way is computed again.
    void NextRow();
    // In passes: the job in flight stops taking pixels (a new view is on its
    // way, so it ends within a few pixels' time rather than the job's); the
    // job is computed again unless the generation is replaced. Rows ignore it.
    void GiveWay() { giveWay_.store(true, std::memory_order_relaxed); }
    // Whether the generation in progress (or the last) goes in passes.
    bool InPasses() const { return passes_.has_value(); }
    // Whether every row (every job of the passes) has been computed.
    bool AllDone() const { return passes_ ? passes_->Done() : PixelY >= Context.ImageHeight; }
    // The block side of the job FinishRow last took in (1 for rows), and
    // whether that job ended its pass.
    int32_t LastBlock() const { return lastBlock_; }
    bool LastJobEndedPass() const { return lastJobEndedPass_; }
    // Completion (unless the parameter-file reader cleared ParamsValid),
    // then the end of the generation.
    void EndGeneration();

    // Recolours the picture from the render buffers. Returns false, doing
    // nothing, when the image is larger than the buffers (regenerate then).
    bool RecolourFromBuffers();
    // The same from Values, for a picture of any size; false, doing nothing,
    // unless they hold the whole picture.
    bool RecolourFromPictureValues();

    // Rows still to do of the generation in progress, for the busy caption
    // (in passes: the pixels left, counted in whole rows).
    int32_t RowsLeft() const;

private:
    struct Worker;
    struct RowJob;

    void EnsureWorkers();
    void PrepareRow();
    // A worker's part of the job: its own stretch, then parts of others'.
    void ComputePixels(Worker& worker);
    // Moves half of the longest stretch left to `taker`; false when none is left.
    bool TakeOverColumns(Worker& taker);
    // Pixels [first, end) of the job, counted over its runs in order.
    void ComputeIndices(Worker& worker, int64_t first, int64_t end);
    // The one place that computes pixels, by doubles or by the deep path:
    // pixels [from, to) of `run`, the job's pixels from index `base` on
    // being the run's.
    void ComputeRun(Worker& worker, const PixelRun& run, int64_t base, int32_t from, int32_t to);
    // Each pixel of the job's runs stands for its block until refined.
    void FillBlocks(imaging::Picture& picture);
    // Builds the deep frame for the row about to start; false: doubles.
    bool PrepareDeepRow();
    // What a row does on its own thread before the workers: the reference orbit.
    void RunRow();
    static int32_t GoOn(void* core);
    // Shows each fault of a pass once: `reported` remembers what was shown.
    void ReportFaults(const colour::ColourPassReport& seen, colour::ColourPassReport& reported);

    GenerationHost& host_;
    PluginBinding binding_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::unique_ptr<class WorkerPool> pool_;
    std::unique_ptr<class JobThread> rowThread_;
    std::unique_ptr<RowJob> job_;
    std::optional<PassPlan> passes_;
    std::atomic<bool> giveWay_{false};
    bool redoJob_ = false;  // the last job gave way: NextRow stays on it
    // c as the generation found it: the first pixel's, guarded for the rest.
    double startCRe_ = 0.0, startCIm_ = 0.0;
    int32_t lastBlock_ = 1;
    bool lastJobEndedPass_ = false;
    bool rowInFlight_ = false;
    std::exception_ptr rowFault_;  // what a row on the worker threads threw
    int requestedThreads_ = 0;
    bool privateInstances_ = false;
    bool orbitEntryZeroIsOne_ = false;
    colour::ColourPassReport faultsSeen_, faultsReported_;
    std::unique_ptr<DeepLibrary> deepLibrary_;
    bool deepPicture_ = false;
    bool deepMissingReported_ = false;
    DeepFrame deepFrame_;
    std::string deepFrameKey_;
    DeepReference deepReference_;
    int32_t deepReferences_ = 0;
    double deepReferenceSeconds_ = 0.0;
};

}  // namespace engine
