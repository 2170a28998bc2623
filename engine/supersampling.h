// Pictures of any size with smooth edges, computed a band at a time: the
// settings are computed as a picture `factor` times as wide and high, and
// every block of factor by factor pixels becomes one pixel, each channel
// (the block's sum + factor²/2) / factor² in integer arithmetic. Only a band
// of output rows and `factor` rows of the large picture are ever held, so a
// picture larger than memory can be handed on band by band to a file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "exact_view.h"
#include "iteration_context.h"
#include "messages.h"
#include "picture.h"
#include "plugin_binding.h"

namespace engine {

struct SupersampledPicture {
    // The picture's settings; the size below replaces their image size.
    TIterationContext settings{};
    // The view's exact digits where the settings' doubles do not hold them.
    ExactView view;
    int32_t width = 0;
    int32_t height = 0;
    int32_t factor = 1;  // samples per pixel in each direction, 1 to 4
    int threads = 0;     // 0: every hardware thread
    std::vector<std::string> pluginFolders = DefaultPluginFolders();
    // Output rows [firstRow, endRow) only (endRow 0: to the last row): a
    // band of the picture, pixel for pixel the rows the whole picture has.
    int32_t firstRow = 0;
    int32_t endRow = 0;
};

enum class SupersampleOutcome { Done, Cancelled, Failed };

// The widest output picture and the most samples per pixel.
constexpr int32_t kMaxSupersampleFactor = 4;

// Whether `job`'s size, samples and rows can be computed; otherwise the
// message that says why.
std::string SupersampleProblem(const SupersampledPicture& job);

// Receives the output rows in order: `band`'s first `rows` rows are output
// rows `firstRow` on. Returns false to stop (the receiver reports why).
using BandReceiver = std::function<bool(const imaging::Picture& band, int32_t rows, int32_t firstRow)>;

// Computes the job's rows and hands them on in bands of at most `bandRows`
// rows (0: about 8 MB each). `progress` is told the output rows done and
// their total after every row of the large picture and cancels by returning
// false. Messages of the computation go to `messages`; a failure (no
// plug-in, a size that cannot be) is one of them; a receiver that stops
// makes the outcome Failed. `finished`, where given, receives the settings
// record as the computation left it (the large picture's size).
SupersampleOutcome ComputeSupersampledBands(const SupersampledPicture& job, MessageSink& messages,
                                            const BandReceiver& receive, int32_t bandRows = 0,
                                            const std::function<bool(int32_t done, int32_t total)>& progress = {},
                                            TIterationContext* finished = nullptr);

// The whole picture (or the job's band of rows) into `out`, made to fit it.
SupersampleOutcome ComputeSupersampled(const SupersampledPicture& job, imaging::Picture& out,
                                       MessageSink& messages,
                                       const std::function<bool(int32_t done, int32_t total)>& progress = {});

}  // namespace engine
