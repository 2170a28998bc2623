// Pictures of any size with smooth edges, computed a band at a time: the
// settings are computed as a picture `factor` times as wide and high, and
// every block of factor by factor pixels becomes one pixel, each channel
// (the block's sum + factor²/2) / factor² in integer arithmetic. Only the
// output picture and `factor` rows of the large one are ever held.
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
    ExactView view;  // their view's exact digits
    int32_t width = 0;
    int32_t height = 0;
    int32_t factor = 1;  // samples per pixel in each direction, 1 to 4
    int threads = 0;     // 0: every hardware thread
    std::vector<std::string> pluginFolders = DefaultPluginFolders();
};

enum class SupersampleOutcome { Done, Cancelled, Failed };

// Computes the picture into `out` (made width by height). `progress` is told
// the output rows done and their total after every row of the large picture
// and cancels by returning false. Messages of the computation go to
// `messages`; a failure (no plug-in, a size that cannot be) is one of them.
SupersampleOutcome ComputeSupersampled(const SupersampledPicture& job, imaging::Picture& out,
                                       MessageSink& messages,
                                       const std::function<bool(int32_t done, int32_t total)>& progress = {});

}  // namespace engine
