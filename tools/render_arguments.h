// The command line of halvane-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "image_options.h"

namespace render {

struct UsageError {
    std::string message;
};

struct Arguments {
    std::optional<std::string> params;
    std::optional<std::pair<int32_t, int32_t>> size;
    std::optional<int32_t> formula, render, blend, order, maxit, bailout, rotation;
    std::optional<std::pair<double, double>> center, julia;
    std::optional<double> magnification;
    bool insideOut = false;
    int threads = 0;
    bool quiet = false;
    std::optional<std::string> writeParams;
    std::string output;
    imaging::ImageFileOptions image = imaging::Options();
    int32_t supersample = 1;
    // A zoom sequence: frames from the starting magnification to zoomTo.
    std::optional<double> zoomTo;
    int32_t frames = 0;
    std::optional<int32_t> first, last;
    // --help or --version: print that and nothing else.
    bool help = false;
    bool version = false;
};

// Parses argv (an option's value follows it, or its "=": --formula=3);
// throws UsageError naming the argument. Stops at --help or --version,
// without checking the rest.
Arguments ParseArguments(int argc, char** argv);

// The file of frame `frame` of a sequence: `pattern` with its one integer
// conversion (%d, %5d, %05d) filled in.
std::string FrameFileName(const std::string& pattern, int32_t frame);

}  // namespace render
