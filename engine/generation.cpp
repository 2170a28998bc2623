#include "generation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>

#include "picture_settings.h"

namespace engine {

namespace {

constexpr int32_t kColumnsPerBlock = 8;


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

// One thread's private means to compute pixels: its own plug-in instance
// (the plug-in's working state is not shared), orbit buffers and record.
struct GenerationCore::Worker {
    size_t index = 0;
    std::unique_ptr<PluginInstance> ownInstance;
    FormulaEntryFn formula = nullptr;
    OrbitBuffers orbit;
    TIterationContext ctx{};
    colour::ColourWork work;
    colour::ColourPassReport report;
    // The row being computed, coloured here first: threads writing into
    // neighbouring pixels of one picture would share cache lines.
    imaging::Picture rowPixels;
};

// Runs one task on every worker at once, the calling thread taking worker 0.
class GenerationCore::WorkerPool {
public:
    explicit WorkerPool(std::vector<std::unique_ptr<Worker>> workers) : workers_(std::move(workers)) {
        for (size_t i = 0; i < workers_.size(); ++i) workers_[i]->index = i;
        for (size_t i = 1; i < workers_.size(); ++i) {
            threads_.emplace_back([this, i] { ThreadLoop(*workers_[i]); });
        }
    }

    ~WorkerPool() {
        stopping_ = true;
        round_.fetch_add(1);
        round_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    size_t Size() const { return workers_.size(); }
    Worker& At(size_t i) { return *workers_[i]; }

    void Run(const std::function<void(Worker&)>& task) {
        task_ = &task;
        pending_.store(static_cast<int>(threads_.size()));
        round_.fetch_add(1);
        round_.notify_all();
        task(*workers_[0]);
        for (int spins = 0; pending_.load() != 0; ++spins) {
            if (spins < 2000) {
                std::this_thread::yield();
            } else {
                const int left = pending_.load();
                if (left != 0) pending_.wait(left);
            }
        }
        task_ = nullptr;
    }

private:
    void ThreadLoop(Worker& worker) {
        uint64_t seen = 0;
        for (;;) {
            uint64_t now = round_.load();
            for (int spins = 0; now == seen; ++spins) {
                if (spins < 2000) {
                    std::this_thread::yield();
                } else {
                    round_.wait(seen);
                }
                now = round_.load();
            }
            seen = now;
            if (stopping_) return;
            (*task_)(worker);
            if (pending_.fetch_sub(1) == 1) pending_.notify_one();
        }
    }

    std::vector<std::unique_ptr<Worker>> workers_;
    std::vector<std::thread> threads_;
    std::atomic<uint64_t> round_{0};
    std::atomic<int> pending_{0};
    std::atomic<bool> stopping_{false};
    const std::function<void(Worker&)>* task_ = nullptr;
};

GenerationCore::GenerationCore(GenerationHost& host) : host_(host) {}

GenerationCore::~GenerationCore() = default;

bool GenerationCore::BindPlugin(const std::vector<std::string>& folders, const std::string& fileName) {
    pool_.reset();
    binding_ = InitializeDLL(Context, host_, folders, fileName);
    return binding_.Bound();
}

void GenerationCore::SetThreadCount(int threads) {
    requestedThreads_ = std::max(0, threads);
    pool_.reset();
}

int GenerationCore::ThreadCount() const { return pool_ ? static_cast<int>(pool_->Size()) : 0; }

void GenerationCore::EnsureWorkers() {
    if (pool_ || !binding_.Bound()) return;
    int wanted = requestedThreads_;
    if (wanted == 0) wanted = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::unique_ptr<Worker>> workers;
    auto first = std::make_unique<Worker>();
    first->formula = binding_.instance->FormulaEntry();
    workers.push_back(std::move(first));
    const std::string path = binding_.instance->LoadedPath();
    for (int i = 1; i < wanted && !path.empty(); ++i) {
        auto worker = std::make_unique<Worker>();
        worker->ownInstance = LoadPrivateCopy(path);
        // Without an instance of its own a thread cannot iterate: use fewer.
        if (!worker->ownInstance) break;
        worker->formula = worker->ownInstance->FormulaEntry();
        workers.push_back(std::move(worker));
    }
    pool_ = std::make_unique<WorkerPool>(std::move(workers));
}

void GenerationCore::ComputeRow(int32_t row) {
    EnsureWorkers();
    TIterationContext& main = Context;
    if (main.Maxit > kMaxIterationLimit) main.Maxit = kMaxIterationLimit;
    ProgressRow = row;
    const int32_t width = main.ImageWidth;
    if (width <= 0) return;

    // Every pixel of a row starts from the record as the row found it; the
    // only value one pixel hands to the next is c in a fixed Julia run, which
    // blend method 22 may move off zero (once: the guard is idempotent).
    const double firstCRe = main.CRe;
    const double firstCIm = main.CIm;
    double laterCRe = firstCRe;
    double laterCIm = firstCIm;
    if (main.BlendNo == 22) {
        GuardLikeBlend22(laterCRe);
        GuardLikeBlend22(laterCIm);
    }
    const bool fillBuffers = RenderBuffers::Fits(main.ImageWidth, main.ImageHeight);
    imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    const PixelGrid grid{ImageXMin, ImageYMin, StepX, StepY};
    const double entryZero = orbitEntryZeroIsOne_ ? 1.0 : 0.0;
    // Threads take turns at blocks of a few columns: fine enough that each
    // gets its share of any costly stretch, with nothing to contend for.
    const size_t threads = pool_->Size();
    const bool rowInPicture = row < picture.Height();
    const int32_t columnsInPicture = rowInPicture ? std::min(width, picture.Width()) : 0;
    TIterationContext lastPixel{};

    const std::function<void(Worker&)> task = [&](Worker& worker) {
        TIterationContext& ctx = worker.ctx;
        ctx = main;
        worker.orbit.X[0] = entryZero;
        worker.orbit.Y[0] = entryZero;
        if (worker.rowPixels.Width() != width) worker.rowPixels = imaging::Picture(width, 1);
        // Pixels that are not written (a wrong blend or order number) keep their colour.
        if (columnsInPicture > 0) {
            std::copy_n(picture.Row(row), static_cast<size_t>(columnsInPicture) * 3, worker.rowPixels.Row(0));
        }
        for (int32_t first = static_cast<int32_t>(worker.index) * kColumnsPerBlock; first < width;
             first += static_cast<int32_t>(threads) * kColumnsPerBlock) {
            const int32_t end = std::min(width, first + kColumnsPerBlock);
            for (int32_t column = first; column < end; ++column) {
                PlacePixel(ctx, column, row, grid, column == 0 ? firstCRe : laterCRe,
                           column == 0 ? firstCIm : laterCIm);
                EvaluatePixel(ctx, worker.orbit, worker.formula);
                if (fillBuffers) {
                    Buffers.AtX(column, row) = ctx.RenderX;
                    Buffers.AtY(column, row) = ctx.RenderY;
                }
                ctx.RenderX = ctx.RenderX * ctx.dFactor3;
                ctx.RenderY = ctx.RenderY * ctx.dFactor3;
                colour::BlendMethods(ctx, worker.work, worker.rowPixels, column, 0, worker.report);
                if (column == width - 1) lastPixel = ctx;
            }
        }
    };
    pool_->Run(task);

    for (size_t i = 0; i < threads; ++i) {
        const imaging::Picture& computed = pool_->At(i).rowPixels;
        for (int32_t first = static_cast<int32_t>(i) * kColumnsPerBlock; first < columnsInPicture;
             first += static_cast<int32_t>(threads) * kColumnsPerBlock) {
            const int32_t count = std::min(columnsInPicture, first + kColumnsPerBlock) - first;
            std::copy_n(computed.Row(0) + static_cast<size_t>(first) * 3, static_cast<size_t>(count) * 3,
                        picture.Row(row) + static_cast<size_t>(first) * 3);
        }
    }

    // Leave the record as the last pixel left it, as a one-by-one run would.
    main = lastPixel;
    main.OrbitX = pool_->At(0).orbit.X.data();
    main.OrbitY = pool_->At(0).orbit.Y.data();
    for (size_t i = 0; i < pool_->Size(); ++i) {
        if (pool_->At(i).orbit.X[0] == 1.0) orbitEntryZeroIsOne_ = true;
    }
    PixelX = width;
}

void GenerationCore::ReportFaults(colour::ColourPassReport& seen, colour::ColourPassReport& reported) {
    if (pool_) {
        for (size_t i = 0; i < pool_->Size(); ++i) {
            colour::ColourPassReport& r = pool_->At(i).report;
            seen.wrongBlendNumber |= r.wrongBlendNumber;
            seen.wrongOrderNumber |= r.wrongOrderNumber;
            r = {};
        }
    }
    if (seen.wrongBlendNumber && !reported.wrongBlendNumber) {
        reported.wrongBlendNumber = true;
        host_.ShowMessage(colour::kWrongBlendMessage);
    }
    if (seen.wrongOrderNumber && !reported.wrongOrderNumber) {
        reported.wrongOrderNumber = true;
        host_.ShowMessage(colour::kWrongOrderMessage);
    }
}

bool GenerationCore::ApplyFractal(const std::optional<ParameterDialogValues>& dialog) {
    if (!binding_.Bound() || CurrentImage == nullptr) return false;
    TIterationContext& ctx = Context;
    if (dialog) {
        ctx.Maxit = RoundToInt32(dialog->Maxit);
        ctx.Bailout = RoundToInt32(dialog->Bailout);
        ctx.epsilon = dialog->epsilon;
        ctx.JuliaX = dialog->JuliaX;
        ctx.JuliaY = dialog->JuliaY;
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    }
    // The orbit buffers hold every limit up to kMaxIterationLimit; a larger
    // one (from a file or the command line) is lowered and kept lowered.
    if (ctx.Maxit > kMaxIterationLimit) ctx.Maxit = kMaxIterationLimit;
    if (ctx.FormulaNo != LastFormulaNo) {
        ctx.JuliaX = 0.0;
        ctx.JuliaY = 0.0;
        ctx.JuliaMode = 0;
        ctx.JuliaFixed = 0;
        ResetCoordinates(ctx);
    }
    LastFormulaNo = ctx.FormulaNo;
    AdjustCoords(ctx);
    ImageXMin = ctx.XMin;
    ImageYMin = ctx.YMin;
    ImageXMax = ctx.XMax;
    ImageYMax = ctx.YMax;
    StepX = ctx.ImageWidth > 0 ? (ImageXMax - ImageXMin) / ctx.ImageWidth : 0.0;
    StepY = ctx.ImageHeight > 0 ? (ImageYMax - ImageYMin) / ctx.ImageHeight : 0.0;
    host_.SetAbortEnabled(true);
    StopFlag = 0;
    PixelY = 0;
    ParamsValid = -1;

    colour::ColourPassReport seen, reported;
    while (StopFlag == 0 && PixelY < ctx.ImageHeight) {
        PixelX = 0;
        ComputeRow(PixelY);
        ReportFaults(seen, reported);
        host_.AfterRow();
        if (ParamsValid == 0) break;
        PixelY = PixelY + 1;
    }
    if (ParamsValid != 0) {
        StopFlag = -1;
        host_.SetAbortEnabled(false);
        host_.PictureChanged();
        host_.GenerationCompleted();
        ctx.JuliaFixed = ctx.JuliaMode;
    }
    host_.GenerationEnded();
    return true;
}

bool GenerationCore::RecolourFromBuffers() {
    TIterationContext& ctx = Context;
    if (!RenderBuffers::Fits(ctx.ImageWidth, ctx.ImageHeight)) return false;
    StepX = ctx.ImageWidth > 0 ? (ImageXMax - ImageXMin) / ctx.ImageWidth : 0.0;
    StepY = ctx.ImageHeight > 0 ? (ImageYMax - ImageYMin) / ctx.ImageHeight : 0.0;
    imaging::Picture& picture = CurrentImage != nullptr ? *CurrentImage : NoPicture();
    colour::ColourWork work;
    colour::ColourPassReport seen, reported;
    for (int32_t row = 0; row < ctx.ImageHeight; ++row) {
        for (int32_t column = 0; column < ctx.ImageWidth; ++column) {
            ctx.RenderX = Buffers.AtX(column, row) * ctx.dFactor3;
            ctx.RenderY = Buffers.AtY(column, row) * ctx.dFactor3;
            colour::BlendMethods(ctx, work, picture, column, row, seen);
        }
    }
    ReportFaults(seen, reported);
    host_.PictureChanged();
    return true;
}

}  // namespace engine
