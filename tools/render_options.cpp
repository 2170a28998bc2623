// The table of halvane-render's options and the texts made from it.
#include "render_options.h"

#include <charconv>
#include <cmath>

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

void SetSize(Arguments& o, const RenderOption& option, const std::string& v) {
    const size_t x = v.find_first_of("xX");
    if (x == std::string::npos) throw UsageError{std::string(option.name) + ": expected WxH, got '" + v + "'"};
    const int32_t w = ParseInt(option.name, std::string_view(v).substr(0, x), 1, imaging::Picture::kMaxSide);
    const int32_t h = ParseInt(option.name, std::string_view(v).substr(x + 1), 1, imaging::Picture::kMaxSide);
    if (!imaging::Picture::SizeAllowed(w, h)) {
        throw UsageError{std::string(option.name) + ": " + v + " has more pixels than a picture may have"};
    }
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
    {.name = "--center", .value = "X,Y", .help = "view centre",
     .apply = [](A& a, const O& o, const V& v) { a.center = o.Point(v); }},
    {.name = "--magnification", .value = "M", .help = "magnification; 1 is the reset view",
     .apply =
         [](A& a, const O& o, const V& v) {
             a.magnification = o.Real(v);
             if (!(*a.magnification > 0.0)) throw UsageError{std::string(o.name) + ": must be greater than 0"};
         }},
    {.name = "--julia", .value = "X,Y", .help = "Julia mode with this constant",
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
     .help = "N by N samples per pixel, 1 to 4, averaged: smooth edges", .completion = C::Range, .low = 1,
     .high = 4, .apply = [](A& a, const O& o, const V& v) { a.supersample = o.Integer(v); }},
    {.name = "--zoom-to", .value = "MAG",
     .help = "a zoom sequence from the starting magnification m0 to MAG about the same centre, frame k of N "
             "at m0*(MAG/m0)^(k/(N-1));\nthe output is a pattern such as frame-%05d.png",
     .apply =
         [](A& a, const O& o, const V& v) {
             a.zoomTo = o.Real(v);
             if (!(*a.zoomTo > 0.0)) {
                 throw UsageError{std::string(o.name) + ": the magnification must be greater than 0"};
             }
         }},
    {.name = "--frames", .value = "N", .help = "frames in the whole sequence (at least 2)", .low = 2,
     .high = 1000000, .apply = [](A& a, const O& o, const V& v) { a.frames = o.Integer(v); }},
    {.name = "--first", .value = "K", .help = "compute from frame K on (default: 0), e.g. one part per machine",
     .low = 0, .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.first = o.Integer(v); }},
    {.name = "--last", .value = "L", .help = "compute up to frame L (default: the last)", .low = 0,
     .high = INT32_MAX, .apply = [](A& a, const O& o, const V& v) { a.last = o.Integer(v); }},
    {.name = "--output", .alias = "-o", .value = "FILE",
     .help = "the picture to write; its extension picks the format (bmp, jpg, jpeg, jif, pbm, pgm, png, ppm, "
             "tga, tif, tiff)",
     .completion = C::PictureFile, .apply = [](A& a, const O&, const V& v) { a.output = v; }},
    {.name = "--help", .alias = "-h", .help = "print this help and exit",
     .apply = [](A& a, const O&, const V&) { a.help = true; }},
    {.name = "--version", .help = "print the version and exit",
     .apply = [](A& a, const O&, const V&) { a.version = true; }},
};

const char* const kUsage[] = {
    "halvane-render [OPTION]... --output FILE",
    "halvane-render [OPTION]... --zoom-to MAG --frames N --output PATTERN",
};

constexpr const char* kDescription =
    "Computes a picture, or a zoom sequence of pictures, exactly as the desktop program halvane would, and "
    "writes it. The settings start from the New defaults (160x120), then the parameter file or picture given "
    "with --params, then the options in the order below.";

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

std::pair<double, double> RenderOption::Point(std::string_view text) const {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        throw UsageError{std::string(name) + ": expected X,Y, got '" + std::string(text) + "'"};
    }
    return {Real(text.substr(0, comma)), Real(text.substr(comma + 1))};
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
