#include "supersampling.h"

#include <algorithm>

#include "generation.h"

namespace engine {

namespace {

// About this many bytes of output rows are handed on at a time.
constexpr int64_t kBandBytes = int64_t{8} << 20;

class ForwardingHost : public GenerationHost {
public:
    explicit ForwardingHost(MessageSink& messages) : messages_(messages) {}
    void ShowMessage(const std::string& text, const std::string& title) override {
        messages_.ShowMessage(text, title);
    }

private:
    MessageSink& messages_;
};

// Output row `outRow` of `band`: the rounded average of each block of the
// large rows.
void AverageBlocks(const imaging::Picture& large, int32_t factor, imaging::Picture& band, int32_t outRow) {
    const uint32_t samples = static_cast<uint32_t>(factor * factor);
    uint8_t* target = band.Row(outRow);
    for (int32_t x = 0; x < band.Width(); ++x) {
        for (int channel = 0; channel < 3; ++channel) {
            uint32_t sum = 0;
            for (int32_t dy = 0; dy < factor; ++dy) {
                const uint8_t* source = large.Row(dy) + static_cast<size_t>(x) * factor * 3 + channel;
                for (int32_t dx = 0; dx < factor; ++dx) sum += source[static_cast<size_t>(dx) * 3];
            }
            target[static_cast<size_t>(x) * 3 + channel] = static_cast<uint8_t>((sum + samples / 2) / samples);
        }
    }
}

int32_t EndRow(const SupersampledPicture& job) { return job.endRow == 0 ? job.height : job.endRow; }

}  // namespace

std::string SupersampleProblem(const SupersampledPicture& job) {
    const int32_t end = EndRow(job);
    const bool sizeOk = job.factor >= 1 && job.factor <= kMaxSupersampleFactor && job.width > 0 &&
                        job.height > 0 && job.width <= imaging::Picture::kMaxSide &&
                        job.height <= imaging::Picture::kMaxSide;
    if (!sizeOk) {
        return "The picture size " + std::to_string(job.width) + " by " + std::to_string(job.height) + " with " +
               std::to_string(job.factor) + " by " + std::to_string(job.factor) +
               " samples per pixel is not possible";
    }
    if (job.firstRow < 0 || job.firstRow >= end || end > job.height) {
        return "Rows " + std::to_string(job.firstRow) + " to " + std::to_string(end) + " are not rows of a picture " +
               std::to_string(job.height) + " high";
    }
    return {};
}

SupersampleOutcome ComputeSupersampledBands(const SupersampledPicture& job, MessageSink& messages,
                                            const BandReceiver& receive, int32_t bandRows,
                                            const std::function<bool(int32_t done, int32_t total)>& progress,
                                            TIterationContext* finished) {
    const std::string problem = SupersampleProblem(job);
    if (!problem.empty()) {
        messages.ShowMessage(problem);
        return SupersampleOutcome::Failed;
    }
    const int32_t factor = job.factor;
    const int32_t first = job.firstRow;
    const int32_t end = EndRow(job);
    if (bandRows <= 0) bandRows = static_cast<int32_t>(std::clamp<int64_t>(kBandBytes / (int64_t{job.width} * 3), 1, 4096));
    bandRows = std::min(bandRows, end - first);
    imaging::Picture band(job.width, bandRows);
    imaging::Picture large(job.width * factor, factor, imaging::Picture::WideRows{});

    ForwardingHost host(messages);
    GenerationCore core(host);
    if (!core.BindPlugin(job.pluginFolders)) return SupersampleOutcome::Failed;
    core.SetPrivateInstances(true);
    core.SetThreadCount(job.threads);
    core.Context = job.settings;
    core.Context.ImageWidth = job.width * factor;
    core.Context.ImageHeight = job.height * factor;
    core.View = job.view;
    // The view and Julia settings given are kept, as after a loaded file.
    core.LastFormulaNo = core.Context.FormulaNo;
    core.CurrentImage = &large;
    core.ImageInBands = true;
    if (!core.BeginGeneration()) return SupersampleOutcome::Failed;
    if (first > 0) {
        // The row before the band leaves the record as the whole picture's
        // run leaves it there (a fixed Julia constant hands its c on), so
        // the band's first row is the whole picture's row. It lies outside
        // the large rows held and is not kept.
        core.FirstPictureRow = first * factor;
        core.PixelY = first * factor - 1;
        core.PixelX = 0;
        core.ComputeRow();
        core.NextRow();
    }
    int32_t bandFirst = first;
    for (int32_t outRow = first; outRow < end; ++outRow) {
        // Every block starts from black, as a new picture does: pixels that
        // are not written (a wrong blend or order number) stay black.
        std::fill(large.Bytes().begin(), large.Bytes().end(), uint8_t{0});
        core.FirstPictureRow = outRow * factor;
        for (int32_t dy = 0; dy < factor; ++dy) {
            core.PixelX = 0;
            core.ComputeRow();
            core.NextRow();
        }
        AverageBlocks(large, factor, band, outRow - bandFirst);
        const int32_t held = outRow - bandFirst + 1;
        if (held == bandRows || outRow + 1 == end) {
            if (!receive(band, held, bandFirst)) {
                core.EndGeneration();
                return SupersampleOutcome::Failed;
            }
            bandFirst = outRow + 1;
        }
        if (progress && !progress(outRow - first + 1, end - first)) {
            core.EndGeneration();
            return SupersampleOutcome::Cancelled;
        }
    }
    core.EndGeneration();
    if (finished != nullptr) *finished = core.Context;
    return SupersampleOutcome::Done;
}

SupersampleOutcome ComputeSupersampled(const SupersampledPicture& job, imaging::Picture& out,
                                       MessageSink& messages,
                                       const std::function<bool(int32_t done, int32_t total)>& progress) {
    const int32_t rows = EndRow(job) - job.firstRow;
    if (SupersampleProblem(job).empty() && !imaging::Picture::SizeAllowed(job.width, rows)) {
        messages.ShowMessage("The picture size " + std::to_string(job.width) + " by " + std::to_string(rows) +
                             " has more pixels than a picture may have");
        return SupersampleOutcome::Failed;
    }
    imaging::Picture result;
    const SupersampleOutcome outcome = ComputeSupersampledBands(
        job, messages,
        [&result, &job, rows](const imaging::Picture& band, int32_t count, int32_t firstRow) {
            if (result.Empty()) result = imaging::Picture(job.width, rows);
            std::copy_n(band.Row(0), static_cast<size_t>(count) * job.width * 3, result.Row(firstRow - job.firstRow));
            return true;
        },
        0, progress);
    if (outcome == SupersampleOutcome::Done) out = std::move(result);
    return outcome;
}

}  // namespace engine
