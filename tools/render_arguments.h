// The command line of halvane-render.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image_options.h"

namespace render {

struct UsageError {
    std::string message;
};

struct Arguments {
    std::optional<std::string> params;
    std::optional<std::pair<int32_t, int32_t>> size;
    std::optional<int32_t> formula, render, blend, order, maxit, bailout, rotation;
    // The view as given, every digit kept: decimal texts ("." mark).
    std::optional<std::pair<std::string, std::string>> center, julia;
    std::optional<std::string> magnification;
    bool insideOut = false;
    int threads = 0;
    bool quiet = false;
    std::optional<std::string> writeParams;
    std::string output;
    imaging::ImageFileOptions image = imaging::Options();
    int32_t supersample = 1;
    bool supersampleGiven = false;  // else the samples a --params file names
    // A zoom sequence: frames from the starting magnification to zoomTo.
    std::optional<std::string> zoomTo;
    int32_t frames = 0;
    std::optional<int32_t> first, last;
    // Part I of N of the frames (I from 1): an even split, for job runners.
    std::optional<std::pair<int32_t, int32_t>> part;
    // A film of keys (see keyframe_list.h).
    std::optional<std::string> keyframes;
    // The frames of a sequence as a film through ffmpeg.
    std::optional<std::string> video;
    std::string fps = "30";
    std::optional<int32_t> crf;
    // Band I of N of the picture (I from 1), into a file of its own.
    std::optional<std::pair<int32_t, int32_t>> tile;
    // Joining: the film or picture to make and its parts, in the order given.
    std::optional<std::string> joinVideo, joinTiles;
    std::vector<std::string> parts;

    // --help or --version: print that and nothing else.
    bool help = false;
    bool version = false;

    bool Sequence() const { return zoomTo || keyframes; }
};

// Parses argv (an option's value follows it, or its "=": --formula=3);
// throws UsageError naming the argument. Stops at --help or --version,
// without checking the rest.
Arguments ParseArguments(int argc, char** argv);

// The frames of part I of N of a film of `frames`: an even split.
struct FrameRange {
    int32_t first = 0;
    int32_t last = 0;
};
FrameRange FramesOfPart(std::pair<int32_t, int32_t> part, int32_t frames);
// "" when the film has frames enough for the parts, else why not.
std::string PartProblem(std::pair<int32_t, int32_t> part, int32_t frames);

// "" when `path` names a film format (.mp4, .mkv, .webm), else why not.
std::string VideoFormatProblem(const std::string& path);

// The file of frame `frame` of a sequence: `pattern` with its one integer
// conversion (%d, %5d, %05d) filled in.
std::string FrameFileName(const std::string& pattern, int32_t frame);

}  // namespace render
