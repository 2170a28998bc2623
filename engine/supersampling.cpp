#include "supersampling.h"

#include <algorithm>

#include "generation.h"

namespace engine {

namespace {

constexpr int32_t kMaxFactor = 4;

// Averages each finished band of the large picture into an output row.
class BandHost : public GenerationHost {
public:
    BandHost(MessageSink& messages, imaging::Picture& out, int32_t factor,
             const std::function<bool(int32_t, int32_t)>& progress)
        : messages_(messages), out_(out), factor_(factor), progress_(progress) {}

    void ShowMessage(const std::string& text, const std::string& title) override {
        messages_.ShowMessage(text, title);
    }

    void AfterRow() override {
        const int32_t row = core_->PixelY;
        if ((row + 1) % factor_ != 0) return;
        const int32_t outRow = row / factor_;
        AverageBand(outRow);
        // The next band starts from black, as a new picture does.
        std::fill(band_->Bytes().begin(), band_->Bytes().end(), uint8_t{0});
        core_->FirstPictureRow = row + 1;
        if (progress_ && !progress_(outRow + 1, out_.Height())) {
            cancelled_ = true;
            core_->StopRequested = true;
        }
    }

    void Attach(GenerationCore& core, imaging::Picture& band) {
        core_ = &core;
        band_ = &band;
    }
    bool Cancelled() const { return cancelled_; }

private:
    void AverageBand(int32_t outRow) {
        const uint32_t samples = static_cast<uint32_t>(factor_ * factor_);
        uint8_t* target = out_.Row(outRow);
        for (int32_t x = 0; x < out_.Width(); ++x) {
            for (int channel = 0; channel < 3; ++channel) {
                uint32_t sum = 0;
                for (int32_t dy = 0; dy < factor_; ++dy) {
                    const uint8_t* source = band_->Row(dy) + static_cast<size_t>(x) * factor_ * 3 + channel;
                    for (int32_t dx = 0; dx < factor_; ++dx) sum += source[static_cast<size_t>(dx) * 3];
                }
                target[static_cast<size_t>(x) * 3 + channel] = static_cast<uint8_t>((sum + samples / 2) / samples);
            }
        }
    }

    MessageSink& messages_;
    imaging::Picture& out_;
    int32_t factor_;
    const std::function<bool(int32_t, int32_t)>& progress_;
    GenerationCore* core_ = nullptr;
    imaging::Picture* band_ = nullptr;
    bool cancelled_ = false;
};

}  // namespace

SupersampleOutcome ComputeSupersampled(const SupersampledPicture& job, imaging::Picture& out,
                                       MessageSink& messages,
                                       const std::function<bool(int32_t done, int32_t total)>& progress) {
    const int64_t largeWidth = int64_t{job.width} * job.factor;
    const int64_t largeHeight = int64_t{job.height} * job.factor;
    if (job.factor < 1 || job.factor > kMaxFactor || job.width <= 0 || job.height <= 0 ||
        !imaging::Picture::SizeAllowed(job.width, job.height) || largeWidth > imaging::Picture::kMaxSide ||
        largeHeight > INT32_MAX) {
        messages.ShowMessage("The picture size " + std::to_string(job.width) + " by " + std::to_string(job.height) +
                             " with " + std::to_string(job.factor) + " by " + std::to_string(job.factor) +
                             " samples per pixel is not possible");
        return SupersampleOutcome::Failed;
    }
    imaging::Picture result(job.width, job.height);
    imaging::Picture band(static_cast<int32_t>(largeWidth), job.factor);
    BandHost host(messages, result, job.factor, progress);
    GenerationCore core(host);
    if (!core.BindPlugin(job.pluginFolders)) return SupersampleOutcome::Failed;
    core.SetPrivateInstances(true);
    core.SetThreadCount(job.threads);
    core.Context = job.settings;
    core.View = job.view;
    core.Context.ImageWidth = static_cast<int32_t>(largeWidth);
    core.Context.ImageHeight = static_cast<int32_t>(largeHeight);
    // The view and Julia settings given are kept, as after a loaded file.
    core.LastFormulaNo = core.Context.FormulaNo;
    core.CurrentImage = &band;
    core.FirstPictureRow = 0;
    host.Attach(core, band);
    core.Generate();
    if (host.Cancelled()) return SupersampleOutcome::Cancelled;
    out = std::move(result);
    return SupersampleOutcome::Done;
}

}  // namespace engine
