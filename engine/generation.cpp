#include "generation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "picture_settings.h"
#include "rounding.h"
#include "worker_pool.h"

namespace engine {

namespace {

// Each thread starts on its own stretch of the row and takes it a few
// columns at a time; a thread whose stretch is done takes over half of what
// another has left. So threads finish a row together, and a thread the
// system holds up delays the row by a few columns at most.
constexpr int32_t kColumnsPerBite = 8;

// A stretch of columns still to compute, [next, end), in one word that the
// owner and a thread taking over part of it both change by compare-exchange.
constexpr uint64_t Stretch(int32_t next, int32_t end) {
    return (uint64_t{static_cast<uint32_t>(end)} << 32) | static_cast<uint32_t>(next);
}
constexpr int32_t NextOf(uint64_t stretch) { return static_cast<int32_t>(stretch & 0xFFFFFFFFu); }
constexpr int32_t EndOf(uint64_t stretch) { return static_cast<int32_t>(stretch >> 32); }

inline void KeepOffZero(double& v) {
    if (std::fabs(v) < 1e-20) v = v > 0.0 ? 1e-20 : -1e-20;
}

inline void GuardLikeBlend22(double& v) {
    if (!(std::fabs(v) >= 1e-20)) v = 1e-20;
}

// A picture that swallows every pixel, for a row computed while the program
// shows no picture at all.
imaging::Picture& NoPicture() {
    static imaging::Picture none;
    return none;
}

}  // namespace

void PlacePixel(TIterationContext& ctx, int32_t column, int32_t row, const PixelGrid& grid,
                double fixedCRe, double fixedCIm) {
    ctx.RenderExtra1 = 0.0;
    ctx.RenderExtra2 = 0.0;
    ctx.RenderX = 0.0;
    ctx.RenderY = 0.0;
    ctx.IterCount = 0;
    ctx.ZRe = column * grid.stepX + grid.xMin;
    ctx.ZIm = row * grid.stepY + grid.yMin;
    if (ctx.JuliaMode == 0) {
        ctx.CRe = ctx.ZRe;
        ctx.CIm = ctx.ZIm;
    } else if (ctx.JuliaFixed == 0) {
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    } else {
        ctx.CRe = fixedCRe;
        ctx.CIm = fixedCIm;
    }
    KeepOffZero(ctx.ZRe);
    KeepOffZero(ctx.ZIm);
}

void CopyPixelState(const TIterationContext& from, TIterationContext& to) {
    to.CRe = from.CRe;
    to.CIm = from.CIm;
    to.ZRe = from.ZRe;
    to.ZIm = from.ZIm;
    to.RenderX = from.RenderX;
    to.RenderY = from.RenderY;
    to.RenderExtra1 = from.RenderExtra1;
    to.RenderExtra2 = from.RenderExtra2;
    to.IterCount = from.IterCount;
    to.FormulaName = from.FormulaName;
    to.RenderName = from.RenderName;
    to.OrbitX = from.OrbitX;
    to.OrbitY = from.OrbitY;
}

// One thread's private means to compute pixels: its own plug-in instance
// (the plug-in's working state is not shared), orbit buffers and record,
// and the pixels it computes, kept here until the row is taken in (threads
// writing neighbouring pixels of one picture would share cache lines).
struct alignas(64) GenerationCore::Worker {
    // The columns of the current row this worker has yet to take.
    std::atomic<uint64_t> stretch{0};
    alignas(64) size_t index = 0;
    std::unique_ptr<PluginInstance> ownInstance;
    FormulaEntryFn formula = nullptr;
    OrbitBuffers orbit;
    TIterationContext ctx{};
    colour::ColourWork work;
    colour::WaveMemo memo;
    colour::ColourPassReport report;
    // The job's pixel i at column i % width, row i / width: a job is never
    // more than two rows' worth.
    imaging::Picture jobPixels;
    std::vector<double> renderX;
    std::vector<double> renderY;
    // Runs of job pixels [first, end) computed here in the current job.
    std::vector<std::pair<int64_t, int64_t>> computed;
    int64_t iterations = 0;
    DeepWorkspace deep;
};

// Everything one job (a row, or runs of a pass) is computed from, fixed
// when it starts.
struct GenerationCore::RowJob {
    std::vector<PixelRun> runs;
    std::vector<int64_t> runBase;  // the job's index of each run's first pixel
    int64_t pixels = 0;
    int32_t block = 1;
    int32_t width = 0;  // the image's
    TIterationContext start{};  // the record as the job found it
    // The only value one pixel hands to the next is c in a fixed Julia run,
    // which blend method 22 may move off zero (once: the guard is idempotent).
    // Column 0 of row `firstRow` takes firstC, every other pixel laterC.
    int32_t firstRow = 0;
    double firstCRe = 0.0, firstCIm = 0.0;
    double laterCRe = 0.0, laterCIm = 0.0;
    PixelGrid grid;
    double entryZero = 0.0;
    bool fillBuffers = false;
    bool fillValues = false;  // Values keeps this job's pixels
    bool keepRenderValues = false;  // the workers keep each pixel's raw values
    // The job's pixels before: pixels that are not written (a wrong blend or
    // order number) keep their colour. Pixels outside the picture are 0.
    std::vector<uint8_t> before;
    // The pixel whose record the main record takes (-1: none in this job).
    int64_t lastIndex = -1;
    TIterationContext lastPixel{};
    std::function<void(size_t)> task;
    bool deep = false;  // computed by the deep path
    bool skip = false;  // nothing to compute: the reference orbit was stopped
    bool mayGiveWay = false;  // a job of the passes: GiveWay() cuts it short
    std::atomic<bool> gaveWay{false};
};

GenerationCore::GenerationCore(GenerationHost& host) : host_(host) {}

GenerationCore::~GenerationCore() {
    rowThread_.reset();  // finishes a row in hand before the workers go
}

bool GenerationCore::BindPlugin(const std::vector<std::string>& folders, const std::string& fileName) {
    pool_.reset();
    workers_.clear();
    binding_ = engine::BindPlugin(Context, host_, folders, fileName);
    deepLibrary_ = LoadDeepLibrary(folders);
    deepMissingReported_ = false;
    return binding_.Bound();
}

void GenerationCore::SetThreadCount(int threads) {
    requestedThreads_ = std::max(0, threads);
    pool_.reset();
    workers_.clear();
}

int GenerationCore::ThreadCount() const { return static_cast<int>(workers_.size()); }

void GenerationCore::SetPrivateInstances(bool on) {
    privateInstances_ = on;
    pool_.reset();
    workers_.clear();
}

void GenerationCore::EnsureWorkers() {
    if (pool_ || !binding_.Bound()) return;
    int wanted = requestedThreads_;
    if (wanted == 0) wanted = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::string path = binding_.instance->LoadedPath();
    auto first = std::make_unique<Worker>();
    if (privateInstances_ && !path.empty()) first->ownInstance = LoadPrivateCopy(path);
    first->formula = first->ownInstance ? first->ownInstance->FormulaEntry() : binding_.instance->FormulaEntry();
    workers_.push_back(std::move(first));
    for (int i = 1; i < wanted && !path.empty(); ++i) {
        auto worker = std::make_unique<Worker>();
        worker->ownInstance = LoadPrivateCopy(path);
        // Without an instance of its own a thread cannot iterate: use fewer.
        if (!worker->ownInstance) break;
        worker->formula = worker->ownInstance->FormulaEntry();
        workers_.push_back(std::move(worker));
    }
    for (size_t i = 0; i < workers_.size(); ++i) workers_[i]->index = i;
    pool_ = std::make_unique<WorkerPool>(workers_.size());
}

bool GenerationCore::BeginGeneration(const std::optional<ParameterDialogValues>& dialog, ComputeOrder order) {
    if (!binding_.Bound() || CurrentImage == nullptr) return false;
    TIterationContext& ctx = Context;
    // No row of a size that no picture can have is ever made (sizes of 0
    // compute nothing, as before), unless the image is held a band at a time.
    const int64_t width = std::max(0, ctx.ImageWidth);
    const int64_t height = std::max(0, ctx.ImageHeight);
    const bool sizeAllowed =
        ImageInBands ? width <= imaging::Picture::kMaxPixels : imaging::Picture::SizeAllowed(width, height);
    if (!sizeAllowed) return false;
    if (dialog) {
        ctx.Maxit = colour::RoundToInt32(dialog->Maxit);
        ctx.Bailout = colour::RoundToInt32(dialog->Bailout);
        ctx.epsilon = dialog->epsilon;
        ctx.JuliaX = dialog->JuliaX;
        ctx.JuliaY = dialog->JuliaY;
        View.juliaX = dialog->JuliaXText;
        View.juliaY = dialog->JuliaYText;
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    }
    // The orbit buffers grow for every limit up to kMaxIterationLimit; a
    // larger one (from a file or the command line) is lowered and kept lowered.
    if (ctx.Maxit > kMaxIterationLimit) ctx.Maxit = kMaxIterationLimit;
    if (ctx.FormulaNo != LastFormulaNo) {
        ctx.JuliaX = 0.0;
        ctx.JuliaY = 0.0;
        ctx.JuliaMode = 0;
        ctx.JuliaFixed = 0;
        ResetCoordinates(ctx);
        View = ExactView{};
    }
    LastFormulaNo = ctx.FormulaNo;
    FitViewToImage(ctx);
    ImageXMin = ctx.XMin;
    ImageYMin = ctx.YMin;
    ImageXMax = ctx.XMax;
    ImageYMax = ctx.YMax;
    StepX = ctx.ImageWidth > 0 ? (ImageXMax - ImageXMin) / ctx.ImageWidth : 0.0;
    StepY = ctx.ImageHeight > 0 ? (ImageYMax - ImageYMin) / ctx.ImageHeight : 0.0;
    deepPicture_ = Deep == DeepPolicy::Always ||
                   (Deep == DeepPolicy::Automatic && (!DoublesSeparate(ImageXMin, ImageXMax, StepX) ||
                                                      !DoublesSeparate(ImageYMin, ImageYMax, StepY)));
    startCRe_ = ctx.CRe;
    startCIm_ = ctx.CIm;
    if (order == ComputeOrder::Passes) {
        passes_.emplace(ctx.ImageWidth, ctx.ImageHeight);
    } else {
        passes_.reset();
    }
    lastBlock_ = 1;
    lastJobEndedPass_ = false;
    host_.SetAbortEnabled(true);
    StopRequested = false;
    giveWay_.store(false, std::memory_order_relaxed);
    redoJob_ = false;
    IterationsDone = 0;
    PixelY = passes_ && !passes_->Done() ? passes_->Current().runs.front().row : 0;
    ParamsValid = true;
    faultsSeen_ = {};
    faultsReported_ = {};
    if (KeepPictureValues && ctx.ImageWidth > 0 && ctx.ImageHeight > 0 &&
        int64_t{ctx.ImageWidth} * ctx.ImageHeight <= PictureValues::kMaxPixels) {
        const size_t pixels = static_cast<size_t>(ctx.ImageWidth) * static_cast<size_t>(ctx.ImageHeight);
        Values.width = ctx.ImageWidth;
        Values.height = ctx.ImageHeight;
        Values.X.assign(pixels, 0.0);
        Values.Y.assign(pixels, 0.0);
        Values.pixelsDone = 0;
    } else {
        Values = PictureValues{};
    }
    return true;
}

void GenerationCore::PrepareRow() {
    EnsureWorkers();
    TIterationContext& main = Context;
    if (main.Maxit > kMaxIterationLimit) main.Maxit = kMaxIterationLimit;
    ProgressRow = PixelY;
    if (!job_) job_ = std::make_unique<RowJob>();
    RowJob& job = *job_;
    job.width = std::max(0, main.ImageWidth);
    job.start = main;
    job.runs.clear();
    if (passes_) {
        const PixelJob& next = passes_->Current();
        job.runs = next.runs;
        job.block = next.block;
        // c as the first pixel of the picture found it, and guarded after it;
        // the plan's first job is the first pass's top row alone.
        job.firstRow = passes_->AtFirstJob() ? 0 : -1;
        job.firstCRe = job.laterCRe = startCRe_;
        job.firstCIm = job.laterCIm = startCIm_;
    } else {
        if (job.width > 0) job.runs.push_back(PixelRun{PixelY, 0, 1, job.width});
        job.block = 1;
        job.firstRow = PixelY;
        job.firstCRe = job.laterCRe = main.CRe;
        job.firstCIm = job.laterCIm = main.CIm;
    }
    if (main.BlendNo == 22) {
        GuardLikeBlend22(job.laterCRe);
        GuardLikeBlend22(job.laterCIm);
    }
    if (job.firstRow < 0) {
        job.firstCRe = job.laterCRe;
        job.firstCIm = job.laterCIm;
    }
    job.runBase.clear();
    job.pixels = 0;
    for (const PixelRun& run : job.runs) {
        job.runBase.push_back(job.pixels);
        job.pixels += run.count;
    }
    job.grid = PixelGrid{ImageXMin, ImageYMin, StepX, StepY};
    job.entryZero = orbitEntryZeroIsOne_ ? 1.0 : 0.0;
    job.fillBuffers = RenderBuffers::Fits(main.ImageWidth, main.ImageHeight);
    job.fillValues = Values.width == main.ImageWidth && Values.height == main.ImageHeight && Values.width > 0;
    job.keepRenderValues = job.fillBuffers || job.fillValues;
    const imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    job.before.assign(static_cast<size_t>(job.pixels) * 3, 0);
    job.lastIndex = -1;
    for (size_t r = 0; r < job.runs.size(); ++r) {
        const PixelRun& run = job.runs[r];
        const int32_t pictureRow = run.row - FirstPictureRow;
        if (pictureRow >= 0 && pictureRow < picture.Height()) {
            const uint8_t* from = picture.Row(pictureRow);
            uint8_t* to = job.before.data() + static_cast<size_t>(job.runBase[r]) * 3;
            for (int32_t i = 0; i < run.count; ++i) {
                const int32_t column = run.Column(i);
                if (column >= picture.Width()) break;
                std::copy_n(from + static_cast<size_t>(column) * 3, 3, to + static_cast<size_t>(i) * 3);
            }
        }
        // The record is left as the last pixel of the row (of the picture, in passes) left it.
        const int32_t lastColumn = run.Column(run.count - 1);
        if (lastColumn == job.width - 1 && (!passes_ || run.row == main.ImageHeight - 1)) {
            job.lastIndex = job.runBase[r] + run.count - 1;
        }
    }
    job.lastPixel = main;
    job.skip = false;
    job.mayGiveWay = passes_.has_value();
    job.gaveWay.store(false, std::memory_order_relaxed);
    job.deep = deepPicture_ && PrepareDeepRow();
    const int32_t threads = static_cast<int32_t>(workers_.size());
    for (int32_t i = 0; i < threads; ++i) {
        Worker& worker = *workers_[static_cast<size_t>(i)];
        worker.computed.clear();
        const auto from = [&](int32_t k) { return static_cast<int32_t>(job.pixels * k / threads); };
        worker.stretch.store(Stretch(from(i), from(i + 1)), std::memory_order_relaxed);
    }
    if (!job.task) job.task = [this](size_t worker) { ComputePixels(*workers_[worker]); };
}

void GenerationCore::ComputePixels(Worker& worker) {
    RowJob& job = *job_;
    TIterationContext& ctx = worker.ctx;
    ctx = job.start;
    worker.memo.Forget();  // the channel controls may differ from the last job's
    worker.orbit.Hold(job.start.Maxit);
    worker.orbit.X[0] = job.entryZero;
    worker.orbit.Y[0] = job.entryZero;
    if (job.pixels == 0 || job.skip) return;
    if (job.deep) worker.deep.Prepare(job.start.Maxit);
    // A job's pixels wait in rows of the picture's width: a run may start in
    // one row and end in the next.
    const int32_t rows = static_cast<int32_t>((job.pixels + job.width - 1) / std::max(job.width, 1)) + 1;
    if (worker.jobPixels.Width() != job.width || worker.jobPixels.Height() < rows) {
        worker.jobPixels = imaging::Picture(job.width, std::max(rows, 2), imaging::Picture::WideRows{});
    }
    if (job.keepRenderValues) {
        worker.renderX.resize(static_cast<size_t>(job.pixels));
        worker.renderY.resize(static_cast<size_t>(job.pixels));
    }
    for (;;) {
        if (job.mayGiveWay && giveWay_.load(std::memory_order_relaxed)) {
            job.gaveWay.store(true, std::memory_order_relaxed);
            return;
        }
        uint64_t stretch = worker.stretch.load(std::memory_order_acquire);
        if (NextOf(stretch) >= EndOf(stretch)) {
            if (!TakeOverColumns(worker)) return;
            continue;
        }
        const int32_t first = NextOf(stretch);
        const int32_t end = std::min(EndOf(stretch), first + kColumnsPerBite);
        if (!worker.stretch.compare_exchange_weak(stretch, Stretch(end, EndOf(stretch)), std::memory_order_acq_rel)) {
            continue;
        }
        ComputeIndices(worker, first, end);
        if (!worker.computed.empty() && worker.computed.back().second == first) {
            worker.computed.back().second = end;
        } else {
            worker.computed.emplace_back(first, end);
        }
    }
}

bool GenerationCore::TakeOverColumns(Worker& taker) {
    for (;;) {
        Worker* most = nullptr;
        uint64_t mostStretch = 0;
        int32_t mostLeft = 0;
        for (const auto& other : workers_) {
            const uint64_t stretch = other->stretch.load(std::memory_order_acquire);
            if (EndOf(stretch) - NextOf(stretch) > mostLeft) {
                most = other.get();
                mostStretch = stretch;
                mostLeft = EndOf(stretch) - NextOf(stretch);
            }
        }
        if (most == nullptr) return false;
        // The upper half, or the one column left.
        const int32_t split = NextOf(mostStretch) + mostLeft / 2;
        if (most->stretch.compare_exchange_strong(mostStretch, Stretch(NextOf(mostStretch), split),
                                                  std::memory_order_acq_rel)) {
            taker.stretch.store(Stretch(split, EndOf(mostStretch)), std::memory_order_release);
            return true;
        }
    }
}

void GenerationCore::ComputeIndices(Worker& worker, int64_t first, int64_t end) {
    const RowJob& job = *job_;
    for (size_t r = 0; r < job.runs.size() && first < end; ++r) {
        const int64_t base = job.runBase[r];
        const int64_t runEnd = base + job.runs[r].count;
        if (first >= runEnd) continue;
        const int64_t stop = std::min(end, runEnd);
        ComputeRun(worker, job.runs[r], base, static_cast<int32_t>(first - base), static_cast<int32_t>(stop - base));
        first = stop;
    }
}

void GenerationCore::ComputeRun(Worker& worker, const PixelRun& run, int64_t base, int32_t from, int32_t to) {
    RowJob& job = *job_;
    TIterationContext& ctx = worker.ctx;
    // Where job pixel `index` waits in jobPixels: (x, y).
    int64_t index = base + from;
    int32_t x = static_cast<int32_t>(index % job.width);
    int32_t y = static_cast<int32_t>(index / job.width);
    const auto next = [&] {
        ++index;
        if (++x == job.width) {
            x = 0;
            ++y;
        }
    };
    // Pixels that are not written (a wrong blend or order number) keep their colour.
    const auto keepBefore = [&] {
        std::copy_n(job.before.data() + index * 3, 3, worker.jobPixels.Row(y) + static_cast<size_t>(x) * 3);
    };
    const auto place = [&](int32_t column) {
        keepBefore();
        const bool first = column == 0 && run.row == job.firstRow;
        PlacePixel(ctx, column, run.row, job.grid, first ? job.firstCRe : job.laterCRe,
                   first ? job.firstCIm : job.laterCIm);
    };
    // What follows a pixel's evaluation: the buffers, the colour, the record.
    const auto take = [&] {
        worker.iterations += ctx.IterCount;
        if (job.keepRenderValues) {
            worker.renderX[static_cast<size_t>(index)] = ctx.RenderX;
            worker.renderY[static_cast<size_t>(index)] = ctx.RenderY;
        }
        ctx.RenderX = ctx.RenderX * ctx.dFactor3;
        ctx.RenderY = ctx.RenderY * ctx.dFactor3;
        colour::BlendAndColour(ctx, worker.work, worker.memo, worker.jobPixels, x, y, worker.report);
        // Only the worker that has this pixel writes it.
        if (index == job.lastIndex) job.lastPixel = ctx;
    };
    if (!job.deep) {
        for (int32_t i = from; i < to; ++i, next()) {
            place(run.Column(i));
            EvaluatePixel(ctx, worker.orbit, worker.formula);
            take();
        }
        return;
    }
    int32_t i = from;
    while (i < to) {
        const int32_t count = std::min(to - i, worker.deep.Capacity());
        const int32_t done = worker.deep.Compute(*deepLibrary_, deepFrame_, deepReference_, run.row, run.Column(i), count,
                                                 &GoOn, this, run.stride);
        for (int32_t k = 0; k < done; ++k, ++i, next()) {
            const int32_t column = run.Column(i);
            place(column);
            if (ctx.JuliaMode == 0) {
                ctx.CRe = deepFrame_.PointX(column);
                ctx.CIm = deepFrame_.PointY(run.row);
            }
            worker.deep.Finish(k, ctx, worker.orbit);
            take();
        }
        if (done < count) break;
    }
    // Stopped within the run: the pixels not computed keep their colour and values.
    for (; i < to; ++i, next()) {
        keepBefore();
        if (!job.fillBuffers) continue;
        const int32_t column = run.Column(i);
        worker.renderX[static_cast<size_t>(index)] = Buffers.AtX(column, run.row);
        worker.renderY[static_cast<size_t>(index)] = Buffers.AtY(column, run.row);
    }
}

int32_t GenerationCore::GoOn(void* core) {
    const GenerationCore& self = *static_cast<GenerationCore*>(core);
    if (self.StopRequested) return 0;
    if (self.job_->mayGiveWay && self.giveWay_.load(std::memory_order_relaxed)) {
        self.job_->gaveWay.store(true, std::memory_order_relaxed);
        return 0;
    }
    return 1;
}

bool GenerationCore::PrepareDeepRow() {
    if (!deepLibrary_) {
        if (!deepMissingReported_) {
            deepMissingReported_ = true;
            host_.ShowMessage(std::string("Error loading DLL: ") + HALVANE_DEEP_LIBRARY, "ERROR");
        }
        return false;
    }
    const RowJob& job = *job_;
    DeepFrame::Inputs in;
    in.start = job.start;
    in.exact = View;
    in.firstCRe = job.firstCRe;
    in.firstCIm = job.firstCIm;
    in.laterCRe = job.laterCRe;
    in.laterCIm = job.laterCIm;
    in.direct = DeepDirect;
    std::string key = DeepFrame::KeyOf(in);
    if (key != deepFrameKey_) {
        deepFrameKey_.clear();
        if (!deepFrame_.Build(in)) return false;
        deepFrameKey_ = std::move(key);
    }
    return true;
}

void GenerationCore::RunRow() {
    RowJob& job = *job_;
    // The reference orbit, once per picture, before any pixel needs it.
    if (job.deep && !(deepReference_.ready && deepReference_.key == deepFrameKey_)) {
        ++deepReferences_;
        const auto start = std::chrono::steady_clock::now();
        if (!EnsureReference(*deepLibrary_, deepFrame_, deepFrameKey_, deepReference_, &GoOn, this)) job.skip = true;
        deepReferenceSeconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    pool_->Run(job.task);
}

void GenerationCore::ComputeRow() {
    PrepareRow();
    RunRow();
    FinishRow();
}

void GenerationCore::StartRow(std::function<void()> ready) {
    PrepareRow();
    if (!rowThread_) rowThread_ = std::make_unique<JobThread>();
    rowInFlight_ = true;
    rowThread_->Post([this, ready = std::move(ready)] {
        // A row that fails (memory) still reports back; FinishRow rethrows.
        try {
            RunRow();
        } catch (...) {
            rowFault_ = std::current_exception();
        }
        ready();
    });
}

void GenerationCore::WaitForRow() {
    if (rowThread_) rowThread_->WaitUntilIdle();
}

void GenerationCore::FinishRow() {
    WaitForRow();
    rowInFlight_ = false;
    if (rowFault_) {
        // The row is lost: the generation ends here.
        StopRequested = true;
        for (const auto& worker : workers_) worker->computed.clear();
        std::rethrow_exception(std::exchange(rowFault_, nullptr));
    }
    const RowJob& job = *job_;
    const bool gaveWay = job.gaveWay.load(std::memory_order_relaxed);
    imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    for (const auto& owned : workers_) {
        Worker& worker = *owned;
        for (const auto& [first, end] : worker.computed) {
            for (size_t r = 0; r < job.runs.size(); ++r) {
                const PixelRun& run = job.runs[r];
                const int64_t base = job.runBase[r];
                const int64_t from = std::max(first, base);
                const int64_t to = std::min(end, base + run.count);
                if (from >= to) continue;
                const int32_t pictureRow = run.row - FirstPictureRow;
                uint8_t* target = pictureRow >= 0 && pictureRow < picture.Height() ? picture.Row(pictureRow) : nullptr;
                const int32_t x = static_cast<int32_t>(from % job.width);
                const int32_t y = static_cast<int32_t>(from / job.width);
                const int32_t count = static_cast<int32_t>(to - from);
                const int32_t firstColumn = run.Column(static_cast<int32_t>(from - base));
                // A run lies within one row of jobPixels unless it starts in the first and ends in the second.
                const auto source = [&](int32_t k) {
                    const int32_t at = x + k;
                    return at < job.width ? worker.jobPixels.Row(y) + static_cast<size_t>(at) * 3
                                          : worker.jobPixels.Row(y + 1) + static_cast<size_t>(at - job.width) * 3;
                };
                if (target != nullptr && run.stride == 1 && x + count <= job.width) {
                    const int32_t inPicture = std::min(count, picture.Width() - firstColumn);
                    if (inPicture > 0)
                        std::copy_n(source(0), static_cast<size_t>(inPicture) * 3,
                                    target + static_cast<size_t>(firstColumn) * 3);
                } else if (target != nullptr) {
                    for (int32_t k = 0; k < count; ++k) {
                        const int32_t column = firstColumn + k * run.stride;
                        if (column >= picture.Width()) break;
                        std::copy_n(source(k), 3, target + static_cast<size_t>(column) * 3);
                    }
                }
                if (job.fillBuffers) {
                    for (int64_t index = from; index < to; ++index) {
                        const int32_t column = run.Column(static_cast<int32_t>(index - base));
                        Buffers.AtX(column, run.row) = worker.renderX[static_cast<size_t>(index)];
                        Buffers.AtY(column, run.row) = worker.renderY[static_cast<size_t>(index)];
                    }
                }
                // A job stopped part way (Abort, or giving way) is not counted.
                if (job.fillValues && run.row >= 0 && run.row < Values.height && !StopRequested && !gaveWay) {
                    const size_t at = static_cast<size_t>(run.row) * static_cast<size_t>(Values.width);
                    for (int64_t index = from; index < to; ++index) {
                        const int32_t column = run.Column(static_cast<int32_t>(index - base));
                        if (column >= Values.width) break;
                        Values.X[at + static_cast<size_t>(column)] = worker.renderX[static_cast<size_t>(index)];
                        Values.Y[at + static_cast<size_t>(column)] = worker.renderY[static_cast<size_t>(index)];
                        ++Values.pixelsDone;
                    }
                }
            }
        }
        worker.computed.clear();
        IterationsDone += std::exchange(worker.iterations, 0);
        if (worker.orbit.X[0] == 1.0) orbitEntryZeroIsOne_ = true;
        faultsSeen_.wrongBlendNumber |= worker.report.wrongBlendNumber;
        faultsSeen_.wrongOrderNumber |= worker.report.wrongOrderNumber;
        worker.report = {};
    }
    // Unwritten pixels keep their colour; blocks of them would not.
    const TIterationContext& now = job.start;
    if (job.block > 1 && now.BlendNo >= 1 && now.BlendNo <= colour::kBlendMethodCount && now.ColorOrderNo >= 1 &&
        now.ColorOrderNo <= colour::kChannelOrderCount) {
        FillBlocks(picture);
    }
    // Leave the record as the last pixel left it, as a one-by-one run would;
    // settings changed while the row was computed stay.
    if (job.lastIndex >= 0 && !gaveWay) CopyPixelState(job.lastPixel, Context);
    Context.OrbitX = workers_[0]->orbit.X.data();
    Context.OrbitY = workers_[0]->orbit.Y.data();
    PixelX = job.width;
    lastBlock_ = job.block;
    lastJobEndedPass_ = passes_ && passes_->EndsPass() && !gaveWay;
    if (gaveWay) {
        // Unless a new generation replaces this one, the job is done again, whole.
        redoJob_ = true;
        giveWay_.store(false, std::memory_order_relaxed);
    }
    ReportFaults(faultsSeen_, faultsReported_);
}

void GenerationCore::FillBlocks(imaging::Picture& picture) {
    const RowJob& job = *job_;
    const int32_t width = std::min(job.width, picture.Width());
    if (width <= 0) return;
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (const PixelRun& run : job.runs) {
        const int32_t top = run.row - FirstPictureRow;
        if (top < 0 || top >= picture.Height()) continue;
        uint8_t* line = picture.Row(top);
        for (int32_t i = 0; i < run.count; ++i) {
            const int32_t column = run.Column(i);
            if (column >= width) break;
            const uint8_t* colour = line + static_cast<size_t>(column) * 3;
            for (int32_t x = column + 1; x < std::min(column + job.block, width); ++x)
                std::copy_n(colour, 3, line + static_cast<size_t>(x) * 3);
        }
        // The pixels of coarser passes in this row stand for blocks that
        // reach as far down: the whole row goes down the block.
        const int32_t bottom = std::min(top + job.block, picture.Height());
        for (int32_t y = top + 1; y < bottom; ++y) std::copy_n(line, rowBytes, picture.Row(y));
    }
}

void GenerationCore::ReportFaults(const colour::ColourPassReport& seen, colour::ColourPassReport& reported) {
    if (seen.wrongBlendNumber && !reported.wrongBlendNumber) {
        reported.wrongBlendNumber = true;
        host_.ShowMessage(colour::kWrongBlendMessage);
    }
    if (seen.wrongOrderNumber && !reported.wrongOrderNumber) {
        reported.wrongOrderNumber = true;
        host_.ShowMessage(colour::kWrongOrderMessage);
    }
}

void GenerationCore::NextRow() {
    if (!passes_) {
        ++PixelY;
        return;
    }
    if (std::exchange(redoJob_, false)) return;
    passes_->Next();
    if (!passes_->Done()) PixelY = passes_->Current().runs.front().row;
}

int32_t GenerationCore::RowsLeft() const {
    if (!passes_) return Context.ImageHeight - ProgressRow;
    if (passes_->Done()) return 0;
    // The rows' worth of pixels after the current job, and one for the job.
    const int64_t width = std::max(1, Context.ImageWidth);
    const int64_t after = passes_->PixelsLeft() - passes_->Current().Pixels();
    return static_cast<int32_t>(std::min<int64_t>((after + width - 1) / width + 1, std::max(1, Context.ImageHeight)));
}

void GenerationCore::EndGeneration() {
    if (ParamsValid) {
        StopRequested = true;
        host_.SetAbortEnabled(false);
        host_.PictureChanged();
        host_.GenerationCompleted();
        Context.JuliaFixed = Context.JuliaMode;
    }
    host_.GenerationEnded();
}

bool GenerationCore::Generate(const std::optional<ParameterDialogValues>& dialog, ComputeOrder order) {
    if (!BeginGeneration(dialog, order)) return false;
    while (RowsRemain()) {
        PixelX = 0;
        ComputeRow();
        host_.AfterRow();
        if (!ParamsValid) break;
        NextRow();
    }
    EndGeneration();
    return true;
}

bool GenerationCore::RecolourFromPictureValues() {
    TIterationContext& ctx = Context;
    if (!Values.Complete(ctx.ImageWidth, ctx.ImageHeight)) return false;
    imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    colour::ColourWork work;
    colour::WaveMemo memo;
    colour::ColourPassReport seen;
    for (int32_t row = 0; row < ctx.ImageHeight; ++row) {
        const size_t at = static_cast<size_t>(row) * static_cast<size_t>(Values.width);
        for (int32_t column = 0; column < ctx.ImageWidth; ++column) {
            ctx.RenderX = Values.X[at + static_cast<size_t>(column)] * ctx.dFactor3;
            ctx.RenderY = Values.Y[at + static_cast<size_t>(column)] * ctx.dFactor3;
            colour::BlendAndColour(ctx, work, memo, picture, column, row, seen);
        }
    }
    colour::ColourPassReport reported;  // a pass of its own
    ReportFaults(seen, reported);
    host_.PictureChanged();
    return true;
}

bool GenerationCore::RecolourFromBuffers() {
    TIterationContext& ctx = Context;
    if (!RenderBuffers::Fits(ctx.ImageWidth, ctx.ImageHeight)) return false;
    StepX = ctx.ImageWidth > 0 ? (ImageXMax - ImageXMin) / ctx.ImageWidth : 0.0;
    StepY = ctx.ImageHeight > 0 ? (ImageYMax - ImageYMin) / ctx.ImageHeight : 0.0;
    imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    colour::ColourWork work;
    colour::WaveMemo memo;
    colour::ColourPassReport seen;
    for (int32_t row = 0; row < ctx.ImageHeight; ++row) {
        for (int32_t column = 0; column < ctx.ImageWidth; ++column) {
            ctx.RenderX = Buffers.AtX(column, row) * ctx.dFactor3;
            ctx.RenderY = Buffers.AtY(column, row) * ctx.dFactor3;
            colour::BlendAndColour(ctx, work, memo, picture, column, row, seen);
        }
    }
    colour::ColourPassReport reported;  // a pass of its own
    ReportFaults(seen, reported);
    host_.PictureChanged();
    return true;
}

}  // namespace engine
