// The table of halvane-render's options and the texts made from it.
#include "render_options.h"

#include <cfloat>
#include <charconv>
#include <cmath>

#include "deep_view.h"
#include "halvane_version.h"
#include "image_options.h"
#include "picture.h"

namespace render {

namespace {

int32_t ParseInt(const std::string& option, std::string_view text, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError{option + ": expected a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", got '" + std::string(text) + "'"};
    }
    return static_cast<int32_t>(value);
}

void SetImageOption(Arguments& o, const std::string& option, const std::string& setting) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos) throw UsageError{option + ": expected NAME=VALUE, got '" + setting + "'"};
    const std::string error = imaging::SetImageOption(o.image, std::string_view(setting).substr(0, equals),
                                                      std::string_view(setting).substr(equals + 1));
    if (!error.empty()) throw UsageError{option + ": " + error};
}

// I/N with 1 <= I <= N <= most.
std::pair<int32_t, int32_t> ParsePlace(const std::string& option, const std::string& v, int32_t most) {
    const size_t slash = v.find('/');
    if (slash == std::string::npos) throw UsageError{option + ": expected I/N, got '" + v + "'"};
    const int32_t count = ParseInt(option, std::string_view(v).substr(slash + 1), 1, most);
    return {ParseInt(option, std::string_view(v).substr(0, slash), 1, count), count};
}

void SetSize(Arguments& o, const RenderOption& option, const std::string& v) {
    const size_t x = v.find_first_of("xX");
    if (x == std::string::npos) throw UsageError{std::string(option.name) + ": expected WxH, got '" + v + "'"};
    const int32_t w = ParseInt(option.name, std::string_view(v).substr(0, x), 1, imaging::Picture::kMaxSide);
    const int32_t h = ParseInt(option.name, std::string_view(v).substr(x + 1), 1, imaging::Picture::kMaxSide);
    // How many pixels may be depends on the output (see CheckCombinations).
    o.size = {w, h};
}

using C = ValueCompletion;
using A = Arguments;
using O = RenderOption;
using V = std::string;

// The options. Entries name their fields, so that one is added by copying
// its neighbour. A whole-number option's range is both what the parser
// accepts and, for Range completion, what the shell offers; its help text
// states it.
const std::vector<RenderOption> kOptions = {
    {.name = "--params", .value = "FILE",
     .help = "start from the settings in a parameter file (.vtx) or in a PNG, JPEG or TIFF picture that "
             "carries them",
     .completion = C::SettingsFile, .apply = [](A& a, const O&, const V& v) { a.params = v; }},
    {.name = "--size", .value = "WxH", .help = "picture size in pixels",
     .apply = SetSize},
    {.name = "--formula", .value = "N", .help = "formula, 0 to 7", .completion = C::Range, .low = 0, .high = 7,
     .apply = [](A& a, const O& o, const V& v) { a.formula = o.Integer(v); }},
    {.name = "--render", .value = "N", .help = "render method, 1 to 9", .completion = C::Range, .low = 1, .high = 9,
     .apply = [](A& a, const O& o, const V& v) { a.render = o.Integer(v); }},
    {.name = "--blend", .value = "N", .help = "blend method, 1 to 26", .completion = C::Range, .low = 1, .high = 26,
     .apply = [](A& a, const O& o, const V& v) { a.blend = o.Integer(v); }},
    {.name = "--order", .value = "N", .help = "channel order, 1 to 6", .completion = C::Range, .low = 1, .high = 6,
     .apply = [](A& a, const O& o, const V& v) { a.order = o.Integer(v); }},
    {.name = "--maxit", .value = "N", .help = "iteration limit (larger than 1000000 is lowered to 1000000)",
     .low = 0, .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.maxit = o.Integer(v); }},
    {.name = "--bailout", .value = "N", .help = "escape threshold on the squared modulus", .low = INT32_MIN,
     .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.bailout = o.Integer(v); }},
    {.name = "--center", .value = "X,Y", .help = "view centre, every digit given kept",
     .apply = [](A& a, const O& o, const V& v) { a.center = o.Point(v); }},
    {.name = "--magnification", .value = "M",
     .help = "magnification; 1 is the reset view, at most 1E10000, every digit given kept",
     .apply = [](A& a, const O& o, const V& v) { a.magnification = o.Magnification(v, "must be greater than 0"); }},
    {.name = "--julia", .value = "X,Y", .help = "Julia mode with this constant, every digit given kept",
     .apply = [](A& a, const O& o, const V& v) { a.julia = o.Point(v); }},
    {.name = "--rotation", .value = "N", .help = "0 none, 1 Rotate90, 2 Rotate90Mirror, 3 Mirror",
     .completion = C::Range, .low = 0, .high = 3,
     .apply = [](A& a, const O& o, const V& v) { a.rotation = o.Integer(v); }},
    {.name = "--inside-out", .help = "iterate in the inverted plane",
     .apply = [](A& a, const O&, const V&) { a.insideOut = true; }},
    {.name = "--threads", .value = "N", .help = "threads to use, 1 to 1024 (default: every hardware thread)",
     .low = 1, .high = 1024, .apply = [](A& a, const O& o, const V& v) { a.threads = o.Integer(v); }},
    {.name = "--quiet", .help = "no progress bar", .apply = [](A& a, const O&, const V&) { a.quiet = true; }},
    {.name = "--write-params", .value = "FILE", .help = "also write the parameter file of the settings rendered",
     .completion = C::ParameterFile, .apply = [](A& a, const O&, const V& v) { a.writeParams = v; }},
    {.name = "--option", .value = "NAME=VALUE",
     .help = "set an image file option (listed below); may be repeated", .completion = C::ImageOption,
     .apply = [](A& a, const O& o, const V& v) { SetImageOption(a, o.name, v); }},
    {.name = "--quality", .value = "N", .help = "JPEG quality: --option JpegQuality=N",
     .apply = [](A& a, const O& o, const V& v) { SetImageOption(a, o.name, "JpegQuality=" + v); }},
    {.name = "--binary", .help = "binary PBM, PGM and PPM: --option PnmBinary=yes",
     .apply = [](A& a, const O& o, const V&) { SetImageOption(a, o.name, "PnmBinary=yes"); }},
    {.name = "--supersample", .value = "N",
     .help = "N by N samples per pixel, 1 to 4, averaged: smooth edges (default: as the --params file or "
             "picture says, else 1)",
     .completion = C::Range, .low = 1, .high = 4,
     .apply =
         [](A& a, const O& o, const V& v) {
             a.supersample = o.Integer(v);
             a.supersampleGiven = true;
         }},
    {.name = "--zoom-to", .value = "MAG",
     .help = "a zoom sequence from the starting magnification m0 to MAG about the same centre, frame k of N "
             "at m0*(MAG/m0)^(k/(N-1));\nthe output is a pattern such as frame-%05d.png; magnifications to 15 "
             "digits, or in MPFR to 20 where an end lies beyond the doubles (up to 1E10000)",
     .apply =
         [](A& a, const O& o, const V& v) {
             a.zoomTo = o.Magnification(v, "the magnification must be greater than 0");
         }},
    {.name = "--frames", .value = "N", .help = "frames in the whole sequence (at least 2)", .low = 2,
     .high = 1000000, .apply = [](A& a, const O& o, const V& v) { a.frames = o.Integer(v); }},
    {.name = "--first", .value = "K", .help = "compute from frame K on (default: 0), e.g. one part per machine",
     .low = 0, .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.first = o.Integer(v); }},
    {.name = "--last", .value = "L", .help = "compute up to frame L (default: the last)", .low = 0,
     .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.last = o.Integer(v); }},
    {.name = "--part", .value = "I/N",
     .help = "compute part I (1 to N) of N even parts of the frames, frames floor((I-1)*F/N) to floor(I*F/N)-1 of "
             "F, instead of --first and --last: one part per machine or job",
     .apply = [](A& a, const O& o, const V& v) { a.part = ParsePlace(o.name, v, 1000000); }},
    {.name = "--keyframes", .value = "FILE",
     .help = "a film of keys: each line of FILE is a frame number (the first 0, then increasing) and a parameter "
             "file or a picture that carries its settings, relative to FILE's folder; '#' starts a comment line. "
             "The frames are 0 to the last key's, the size is --size or the first key's, and the other options "
             "apply to every key. Between two keys, with t from 0 to 1:"
             "\n- magnification geometric, m = mA*(mB/mA)^t;"
             "\n- the deeper key's centre moves to the middle of the picture in a straight line at an even speed "
             "on screen: its offset in picture widths at each frame's own magnification changes linearly (at one "
             "magnification the centre moves linearly);"
             "\n- Julia constant, colour controls, render, filtering and scaling factors and bubble radius linear;"
             "\n- Maxit and bailout geometric (linear unless both are positive), rounded;"
             "\n- formula, render method, blend, channel order, rotation, Julia mode and Inside Out the earlier "
             "key's up to the later key's frame."
             "\nAll in arbitrary precision from the keys' exact digits; the output is a pattern, as for --zoom-to",
     .completion = C::AnyFile, .apply = [](A& a, const O&, const V& v) { a.keyframes = v; }},
    {.name = "--video", .value = "FILM",
     .help = "also, or only, make a film of the frames with the ffmpeg program: .mp4 and .mkv in H.264, .webm in "
             "VP9; frames K to L (or a part) make a part that --join-video puts together with the others",
     .completion = C::FilmFile, .apply = [](A& a, const O&, const V& v) { a.video = v; }},
    {.name = "--fps", .value = "F", .help = "frames per second of the film (default 30)",
     .apply =
         [](A& a, const O& o, const V& v) {
             const double fps = o.Real(v);
             if (!(fps > 0.0 && fps <= 1000.0)) throw UsageError{std::string(o.name) + ": expected a number above 0 up to 1000"};
             a.fps = v;
         }},
    {.name = "--crf", .value = "N",
     .help = "the encoder's constant quality, 0 (best) to 51 for H.264 (default 23; 0 is lossless), to 63 for "
             "VP9 (default 31)",
     .low = 0, .high = 63, .apply = [](A& a, const O& o, const V& v) { a.crf = o.Integer(v); }},
    {.name = "--tile", .value = "I/N",
     .help = "compute band I (1 to N) of N bands of the picture's rows into a TIFF or PNG file of its own that "
             "carries the settings and its place, for --join-tiles",
     .apply = [](A& a, const O& o, const V& v) { a.tile = ParsePlace(o.name, v, imaging::Picture::kMaxSide); }},
    {.name = "--output", .alias = "-o", .value = "FILE",
     .help = "the picture to write; its extension picks the format (bmp, jpg, jpeg, jif, pbm, pgm, png, ppm, "
             "tga, tif, tiff); TIFF and PNG may have any number of pixels",
     .completion = C::PictureFile, .apply = [](A& a, const O&, const V& v) { a.output = v; }},
    {.name = "--join-video", .value = "FILM",
     .help = "one film of the parts that follow (ffmpeg's concat demuxer, the streams copied); parts made by "
             "--video go in frame order and must hold every frame once",
     .completion = C::FilmFile, .apply = [](A& a, const O&, const V& v) { a.joinVideo = v; }},
    {.name = "--join-tiles", .value = "FILE",
     .help = "the picture of the tiles that follow, written a band at a time; they must be every tile of one "
             "picture, each once",
     .completion = C::PictureFile, .apply = [](A& a, const O&, const V& v) { a.joinTiles = v; }},
    {.name = "--help", .alias = "-h", .help = "print this help and exit",
     .apply = [](A& a, const O&, const V&) { a.help = true; }},
    {.name = "--version", .help = "print the version and exit",
     .apply = [](A& a, const O&, const V&) { a.version = true; }},
};

const char* const kUsage[] = {
    "halvane-render [OPTION]... --output FILE",
    "halvane-render [OPTION]... --tile I/N --output FILE",
    "halvane-render [OPTION]... --zoom-to MAG --frames N --output PATTERN",
    "halvane-render [OPTION]... --zoom-to MAG --frames N --video FILM",
    "halvane-render [OPTION]... --keyframes FILE --output PATTERN",
    "halvane-render [OPTION]... --keyframes FILE --video FILM",
    "halvane-render --join-video FILM PART...",
    "halvane-render --join-tiles FILE TILE...",
};

constexpr const char* kDescription =
    "Computes a picture, a zoom sequence or a film of keys exactly as the desktop program halvane would, and "
    "writes it; TIFF and PNG files a band of rows at a time, so that they may be larger than memory (BigTIFF "
    "past 4 GB), and films through the ffmpeg program. The settings start from the New defaults (160x120), then "
    "the parameter file or picture given with --params, then the options in the order below.";

constexpr const char* kClosing =
    "PNG, JPEG and TIFF files carry their settings in a comment; --params reads them back from such a picture "
    "as well as from a parameter file.";

constexpr size_t kWidth = 80;    // of the help text
constexpr size_t kColumn = 24;   // where an option's description starts

// `text` broken into lines of at most kWidth characters at spaces, each
// after `indent` spaces, the first after `first` as given. A "\n" in `text`
// starts a new line (the manual page joins them again: help2man takes a line
// indented otherwise for the end of the option).
std::string Wrap(std::string_view text, size_t indent, std::string first = {}) {
    std::string out = std::move(first);
    size_t column = out.size();
    while (true) {
        const size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        if (column < indent) {
            out.append(indent - column, ' ');
            column = indent;
        }
        bool lineEmpty = true;
        while (!line.empty()) {
            const size_t space = line.find(' ');
            const std::string_view word = line.substr(0, space);
            line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
            if (word.empty()) continue;
            if (!lineEmpty && column + 1 + word.size() > kWidth) {
                out += '\n';
                out.append(indent, ' ');
                column = indent;
                lineEmpty = true;
            }
            if (!lineEmpty) {
                out += ' ';
                ++column;
            }
            out += word;
            column += word.size();
            lineEmpty = false;
        }
        out += '\n';
        column = 0;
        if (newline == std::string_view::npos) return out;
        text.remove_prefix(newline + 1);
    }
}

std::string OptionHeading(const RenderOption& option) {
    std::string heading = option.alias != nullptr ? std::string("  ") + option.alias + ", " : std::string(6, ' ');
    heading += option.name;
    if (option.TakesValue()) heading += std::string(" ") + option.value;
    return heading;
}

}  // namespace

int32_t RenderOption::Integer(std::string_view text) const { return ParseInt(name, text, low, high); }

double RenderOption::Real(std::string_view text) const {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw UsageError{std::string(name) + ": expected a number, got '" + std::string(text) + "'"};
    }
    return value;
}

std::string RenderOption::Coordinate(std::string_view text) const {
    const std::string value(text);
    double nearest = 0.0;
    double parsed = 0.0;
    const auto error = std::from_chars(text.data(), text.data() + text.size(), parsed).ec;
    const bool valid = engine::ValidViewText(value) && engine::NearestDouble(value, nearest);
    // Beyond the largest double is refused as ever; below the smallest is deep.
    const bool overflow = error == std::errc::result_out_of_range && std::fabs(nearest) == DBL_MAX;
    if (!valid || overflow || value[0] == '+') {
        throw UsageError{std::string(name) + ": expected a number, got '" + value + "'"};
    }
    return value;
}

std::pair<std::string, std::string> RenderOption::Point(std::string_view text) const {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        throw UsageError{std::string(name) + ": expected X,Y, got '" + std::string(text) + "'"};
    }
    return {Coordinate(text.substr(0, comma)), Coordinate(text.substr(comma + 1))};
}

std::string RenderOption::Magnification(std::string_view text, const char* notPositive) const {
    const std::string value(text);
    double nearest = 0.0;
    if (!engine::ValidViewText(value) || value[0] == '+' || !engine::NearestDouble(value, nearest) ||
        (nearest == 0.0 && engine::MagnificationInRange(value))) {
        throw UsageError{std::string(name) + ": expected a number, got '" + value + "'"};
    }
    if (!(nearest > 0.0)) throw UsageError{std::string(name) + ": " + notPositive};
    if (!engine::MagnificationInRange(value)) {
        throw UsageError{std::string(name) + ": at most " + engine::kDeepestMagnification + ", got '" + value + "'"};
    }
    return value;
}

const std::vector<RenderOption>& RenderOptions() { return kOptions; }

const RenderOption* FindRenderOption(std::string_view name) {
    for (const RenderOption& option : kOptions) {
        if (name == option.name || (option.alias != nullptr && name == option.alias)) return &option;
    }
    return nullptr;
}

std::vector<std::string> CompletionExtensions(ValueCompletion kind) {
    switch (kind) {
        case ValueCompletion::SettingsFile:
            return {"vtx", "png", "jpg", "jpeg", "jif", "tif", "tiff"};
        case ValueCompletion::PictureFile:
            return {"bmp", "jpg", "jpeg", "jif", "pbm", "pgm", "png", "ppm", "tga", "tif", "tiff"};
        case ValueCompletion::ParameterFile:
            return {"vtx"};
        case ValueCompletion::FilmFile:
            return {"mp4", "mkv", "webm"};
        default:
            return {};
    }
}

std::string HelpText() {
    std::string text;
    for (const char* usage : kUsage) text += (text.empty() ? "Usage: " : "  or:  ") + std::string(usage) + '\n';
    text += Wrap(kDescription, 0);
    text += "\nOptions:\n";
    for (const RenderOption& option : kOptions) {
        std::string heading = OptionHeading(option);
        if (heading.size() + 2 > kColumn) {
            text += heading + '\n';
            heading.clear();
        }
        text += Wrap(option.help, kColumn, heading);
    }
    text += "\nImage file options (--option NAME=VALUE; shown with the default value):\n";
    for (const imaging::ImageOptionHelp& option : imaging::ImageOptionList()) {
        std::string heading = "  " + option.Name + "=" + option.Default;
        if (heading.size() + 2 > kColumn) {
            text += heading + '\n';
            heading.clear();
        }
        text += Wrap(option.Meaning, kColumn, heading);
    }
    text += '\n' + Wrap(kClosing, 0);
    return text;
}

std::string VersionText() { return std::string("halvane-render ") + HALVANE_VERSION + '\n'; }

}  // namespace render
