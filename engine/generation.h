// The generation core: computes a picture row by row from the picture
// settings, on every core, with the same result as a strictly sequential run.
// No windows here: the desktop program drives it through GenerationHost.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "colour_mapping.h"
#include "iteration_context.h"
#include "messages.h"
#include "picture.h"
#include "pixel_evaluation.h"
#include "plugin_binding.h"

namespace engine {

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

// Values of the "Parameters" dialog, handed in while it is visible.
struct ParameterDialogValues {
    double Maxit = 0.0;
    double Bailout = 0.0;
    double epsilon = 0.0;
    double JuliaX = 0.0;
    double JuliaY = 0.0;
};

// What the core asks of the program around it. Every hook has a default
// that does nothing, which is what the headless renderer needs.
class GenerationHost : public MessageSink {
public:
    void ShowMessage(const std::string&, const std::string& = {}) override {}
    virtual void SetAbortEnabled(bool) {}
    // After every row: the desktop program processes its pending events here.
    // Anything may happen meanwhile, a new generation included.
    virtual void AfterRow() {}
    // The picture's pixels changed; the view should repaint.
    virtual void PictureChanged() {}
    // Completion: busy timer off, caption restored.
    virtual void GenerationCompleted() {}
    // The very end of every generation (tool buttons released, view mode).
    virtual void GenerationEnded() {}
};

class GenerationCore {
public:
    explicit GenerationCore(GenerationHost& host);
    ~GenerationCore();
    GenerationCore(const GenerationCore&) = delete;
    GenerationCore& operator=(const GenerationCore&) = delete;

    // The main settings record: zero at creation, like the main window's.
    TIterationContext Context{};
    RenderBuffers Buffers;
    // The picture generation writes into; the program may replace it
    // between rows (a zoom preview), and the next row goes to the new one.
    imaging::Picture* CurrentImage = nullptr;

    int32_t LastFormulaNo = 0;
    int32_t StopFlag = -1;    // 0 while a generation may go on, -1 otherwise
    int32_t ParamsValid = -1; // cleared by the parameter-file reader
    int32_t PixelX = 0;
    int32_t PixelY = 0;
    int32_t ProgressRow = 0;
    double StepX = 0.0;
    double StepY = 0.0;
    double ImageXMin = 0.0;
    double ImageYMin = 0.0;
    double ImageXMax = 0.0;
    double ImageYMax = 0.0;

    // Binds the plug-in (see InitializeDLL) and prepares the workers.
    bool BindPlugin(const std::vector<std::string>& folders = DefaultPluginFolders(),
                    const std::string& fileName = kPluginFileName);
    bool PluginBound() const { return binding_.Bound(); }

    // Threads to use: 0 means every hardware thread. Fewer are used when
    // private plug-in instances cannot be had.
    void SetThreadCount(int threads);
    int ThreadCount() const;

    // Computes the whole picture: returns whether it ran (a picture needs
    // the plug-in and a CurrentImage). `dialog` holds the parameters
    // dialog's values while it is visible.
    bool ApplyFractal(const std::optional<ParameterDialogValues>& dialog = std::nullopt);

    // Recolours the picture from the render buffers. Returns false, doing
    // nothing, when the image is larger than the buffers (regenerate then).
    bool RecolourFromBuffers();

    // Rows still to do of the generation in progress, for the busy caption.
    int32_t RowsLeft() const { return Context.ImageHeight - ProgressRow; }

private:
    struct Worker;
    class WorkerPool;

    void EnsureWorkers();
    void ComputeRow(int32_t row);
    // Shows each fault of a pass once: `seen` collects, `reported` remembers.
    void ReportFaults(colour::ColourPassReport& seen, colour::ColourPassReport& reported);

    GenerationHost& host_;
    PluginBinding binding_;
    std::unique_ptr<WorkerPool> pool_;
    int requestedThreads_ = 0;
    bool orbitEntryZeroIsOne_ = false;
};

}  // namespace engine
