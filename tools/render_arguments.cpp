// The command line of halvane-render: every argument, checked.
#include "render_arguments.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "band_writer.h"
#include "image_file.h"
#include "picture.h"

namespace render {

namespace {

constexpr const char* kUsage =
    "usage: halvane-render [--params FILE.vtx] [--size WxH] [--formula N] [--render N]\n"
    "                      [--blend N] [--order N] [--maxit N] [--bailout N] [--center X,Y]\n"
    "                      [--magnification M] [--julia X,Y] [--rotation N] [--inside-out]\n"
    "                      [--threads N] [--quiet] [--write-params FILE.vtx]\n"
    "                      [--option NAME=VALUE]... [--quality N] [--binary] [--supersample N]\n"
    "                      [--zoom-to MAG --frames N | --keyframes FILE] [--first K] [--last L]\n"
    "                      [--part I/N] [--video FILM [--fps F] [--crf N]] [--tile I/N]\n"
    "                      --output FILE\n"
    "       halvane-render --join-video FILM PART...\n"
    "       halvane-render --join-tiles FILE TILE... [--option NAME=VALUE]...\n"
    "\n"
    "Computes a picture from the New defaults (160x120), then the parameter file, then the\n"
    "options in the order above, and writes it; the format follows the output's extension\n"
    "(bmp, jpg, jpeg, jif, pbm, pgm, png, ppm, tga, tif, tiff). TIFF and PNG files are written a\n"
    "band of rows at a time, so they may be larger than memory (BigTIFF past 4 GB).\n"
    "  --size WxH          picture size in pixels\n"
    "  --formula N         formula 0 to 7        --render N   render method 1 to 9\n"
    "  --blend N           blend method 1 to 26  --order N    channel order 1 to 6\n"
    "  --maxit N           iteration limit (larger than 20000 is lowered to 20000)\n"
    "  --bailout N         escape threshold on the squared modulus\n"
    "  --center X,Y        view centre           --magnification M  (1 is the reset view)\n"
    "  --julia X,Y         Julia mode with this constant\n"
    "  --rotation N        0 none, 1 Rotate90, 2 Rotate90Mirror, 3 Mirror\n"
    "  --inside-out        iterate in the inverted plane\n"
    "  --threads N         threads to use (default: every hardware thread)\n"
    "  --quiet             no progress bar\n"
    "  --write-params F    also write the parameter file of the settings rendered\n"
    "  --option NAME=VALUE set an image file option (listed below); may be repeated\n"
    "  --quality N         JPEG quality: --option JpegQuality=N\n"
    "  --binary            binary PBM, PGM and PPM: --option PnmBinary=yes\n"
    "  --supersample N     N by N samples per pixel (1 to 4), averaged: smooth edges\n"
    "  --zoom-to MAG       a zoom sequence from the starting magnification to MAG about the\n"
    "                      same centre: frame k of N at m0*(MAG/m0)^(k/(N-1)); the output is a\n"
    "                      pattern such as frame-%05d.png\n"
    "  --frames N          frames in the whole zoom sequence (at least 2)\n"
    "  --keyframes FILE    a film of keys: FILE's lines are 'FRAME SETTINGS', a frame number\n"
    "                      (the first 0, then increasing) and a parameter file or a picture\n"
    "                      that carries its settings (relative to FILE's folder); '#' starts a\n"
    "                      comment line. The film's frames are 0 to the last key's; the size\n"
    "                      is --size or the first key's, and the other options apply to every\n"
    "                      key. Between neighbouring keys (t from 0 to 1):\n"
    "                        magnification geometric, m = mA*(mB/mA)^t;\n"
    "                        centre: the deeper key's centre moves to the middle of the\n"
    "                        picture in a straight line at an even speed on screen (its\n"
    "                        offset in picture widths at each frame's own magnification\n"
    "                        changes linearly; equal magnifications: the centre linearly);\n"
    "                        Julia constant, colour controls, render, filtering and scaling\n"
    "                        factors and bubble radius linear; Maxit and bailout geometric\n"
    "                        (linear unless both are positive), rounded;\n"
    "                        formula, render method, blend, channel order, rotation, Julia\n"
    "                        mode and Inside Out: the earlier key's up to the later key's frame.\n"
    "                      All in arbitrary precision from the keys' exact digits.\n"
    "  --first K, --last L compute frames K to L only (default: all), e.g. one part per machine\n"
    "  --part I/N          compute part I (1 to N) of N even parts of the frames: frames\n"
    "                      floor((I-1)*F/N) to floor(I*F/N)-1 of F\n"
    "  --video FILM        also (or only) make a film of the frames with the ffmpeg program:\n"
    "                      .mp4 and .mkv in H.264, .webm in VP9; frames K to L make a part,\n"
    "                      which --join-video puts together with the others\n"
    "  --fps F             frames per second of the film (default 30)\n"
    "  --crf N             the encoder's constant quality, 0 (best) to 51 for H.264 (default\n"
    "                      23; 0 is lossless), to 63 for VP9 (default 31)\n"
    "  --tile I/N          compute band I of N (1 to N) of the picture's rows into a TIFF or PNG\n"
    "                      file of its own that carries the settings and its place\n"
    "  --join-video FILM PART...  one film of the parts (ffmpeg's concat demuxer, no new\n"
    "                      encoding); parts made by --video are put in frame order and checked\n"
    "                      for missing and doubled frames\n"
    "  --join-tiles FILE TILE...  the picture of the tiles, written a band at a time; the tiles\n"
    "                      must be every tile of one picture, each once\n"
    "\n"
    "PNG, JPEG and TIFF files carry their settings in a comment; --params reads them back\n"
    "from such a picture as well as from a parameter file.\n";

void PrintHelp() {
    std::fputs(kUsage, stdout);
    std::fputs("\nImage file options (NAME=DEFAULT  what it sets):\n", stdout);
    for (const imaging::ImageOptionHelp& option : imaging::ImageOptionList()) {
        const std::string setting = option.Name + "=" + option.Default;
        std::printf("  %-34s %s\n", setting.c_str(), option.Meaning.c_str());
    }
}

void SetImageOption(Arguments& o, const std::string& arg, const std::string& setting) {
    const size_t equals = setting.find('=');
    if (equals == std::string::npos) throw UsageError{arg + ": expected NAME=VALUE, got '" + setting + "'"};
    const std::string error =
        imaging::SetImageOption(o.image, std::string_view(setting).substr(0, equals), std::string_view(setting).substr(equals + 1));
    if (!error.empty()) throw UsageError{arg + ": " + error};
}

int32_t ParseInt(const std::string& option, std::string_view text, int64_t low, int64_t high) {
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        throw UsageError{option + ": expected a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", got '" + std::string(text) + "'"};
    }
    return static_cast<int32_t>(value);
}

double ParseReal(const std::string& option, std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw UsageError{option + ": expected a number, got '" + std::string(text) + "'"};
    }
    return value;
}

std::pair<double, double> ParsePoint(const std::string& option, std::string_view text) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) {
        throw UsageError{option + ": expected X,Y, got '" + std::string(text) + "'"};
    }
    return {ParseReal(option, text.substr(0, comma)), ParseReal(option, text.substr(comma + 1))};
}

// I/N with 1 <= I <= N <= most.
std::pair<int32_t, int32_t> ParsePlace(const std::string& option, const std::string& v, int32_t most) {
    const size_t slash = v.find('/');
    if (slash == std::string::npos) throw UsageError{option + ": expected I/N, got '" + v + "'"};
    const int32_t count = ParseInt(option, std::string_view(v).substr(slash + 1), 1, most);
    return {ParseInt(option, std::string_view(v).substr(0, slash), 1, count), count};
}

bool EndsWith(const std::string& text, std::string_view end) {
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        const char c = text[text.size() - end.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != end[i]) return false;
    }
    return true;
}

void CheckJoin(const Arguments& o) {
    const std::string mode = o.joinVideo ? "--join-video" : "--join-tiles";
    if (o.joinVideo && o.joinTiles) throw UsageError{"--join-video: not with --join-tiles"};
    if (o.parts.empty()) throw UsageError{mode + ": no parts given"};
    if (o.Sequence() || o.video || o.tile || !o.output.empty() || o.params || o.size || o.writeParams) {
        throw UsageError{mode + ": takes the file to make and its parts alone (see --help)"};
    }
    if (o.joinVideo && !VideoFormatProblem(*o.joinVideo).empty()) {
        throw UsageError{"--join-video: " + VideoFormatProblem(*o.joinVideo)};
    }
    if (o.joinTiles && !imaging::CanSave(*o.joinTiles)) {
        throw UsageError{"--join-tiles: cannot write this format: '" + *o.joinTiles + "'"};
    }
}

void CheckCombinations(Arguments& o, const std::string& sizeText) {
    if (o.joinVideo || o.joinTiles) return CheckJoin(o);
    if (o.zoomTo && o.keyframes) throw UsageError{"--keyframes: not with --zoom-to"};
    if (o.keyframes && o.frames != 0) throw UsageError{"--frames: the keys give the frames of --keyframes"};
    if (o.part && (o.first || o.last)) throw UsageError{"--part: not with --first or --last"};
    if (!o.Sequence() && (o.frames != 0 || o.first || o.last || o.part)) {
        throw UsageError{"--zoom-to: missing for a zoom sequence (see --help)"};
    }
    if (o.video && !o.Sequence()) throw UsageError{"--video: needs --zoom-to or --keyframes"};
    if (!o.video && (o.crf || o.fps != "30")) throw UsageError{o.crf ? "--crf: needs --video" : "--fps: needs --video"};
    if (o.video) {
        const std::string problem = VideoFormatProblem(*o.video);
        if (!problem.empty()) throw UsageError{"--video: " + problem};
        const int32_t highest = EndsWith(*o.video, ".webm") ? 63 : 51;
        if (o.crf && *o.crf > highest) {
            throw UsageError{"--crf: expected a whole number from 0 to " + std::to_string(highest) + " for " +
                             *o.video + ", got '" + std::to_string(*o.crf) + "'"};
        }
    }
    if (o.output.empty() && !o.video) throw UsageError{"--output: missing (see --help)"};
    if (!o.output.empty() && !imaging::CanSave(o.output)) {
        throw UsageError{"--output: cannot write this format: '" + o.output + "'"};
    }
    if (o.tile) {
        if (o.Sequence()) throw UsageError{"--tile: not for a sequence"};
        if (!imaging::BandWriter::Streams(o.output)) {
            throw UsageError{"--tile: a tile is a TIFF or PNG file, not '" + o.output + "'"};
        }
    }
    if (o.size && !imaging::Picture::SizeAllowed(o.size->first, o.size->second) &&
        (o.Sequence() || !imaging::BandWriter::Streams(o.output))) {
        throw UsageError{"--size: " + sizeText +
                         " has more pixels than a picture may have (TIFF and PNG files may be larger)"};
    }
    if (o.zoomTo) {
        if (o.frames == 0) throw UsageError{"--frames: missing for a zoom sequence (see --help)"};
        if (o.part) {
            if (const std::string problem = PartProblem(*o.part, o.frames); !problem.empty()) throw UsageError{problem};
            return;
        }
        const int32_t first = o.first.value_or(0);
        const int32_t last = o.last.value_or(o.frames - 1);
        if (first > last || last >= o.frames) {
            throw UsageError{"--first/--last: frames " + std::to_string(first) + " to " + std::to_string(last) +
                             " are not within 0 to " + std::to_string(o.frames - 1)};
        }
        o.first = first;
        o.last = last;
    }
    if (o.Sequence()) {
        if (!o.output.empty()) FrameFileName(o.output, 0);  // checks the pattern
        if (o.writeParams) throw UsageError{"--write-params: every frame carries its settings; not for a sequence"};
    }
}

}  // namespace

FrameRange FramesOfPart(std::pair<int32_t, int32_t> part, int32_t frames) {
    const auto edge = [&](int64_t k) { return static_cast<int32_t>(k * frames / part.second); };
    return {edge(part.first - 1), edge(part.first) - 1};
}

std::string PartProblem(std::pair<int32_t, int32_t> part, int32_t frames) {
    if (part.second <= frames) return {};
    return "--part: " + std::to_string(part.second) + " parts of a film of " + std::to_string(frames) + " frames";
}

std::string VideoFormatProblem(const std::string& path) {
    for (const char* extension : {".mp4", ".mkv", ".webm"}) {
        if (EndsWith(path, extension)) return {};
    }
    return "a film is an .mp4, .mkv or .webm file, not '" + path + "'";
}

Arguments ParseArguments(int argc, char** argv) {
    Arguments o;
    std::string sizeText;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((o.joinVideo || o.joinTiles) && !arg.starts_with("-")) {
            o.parts.push_back(arg);
            continue;
        }
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw UsageError{arg + ": missing value"};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            std::exit(0);
        } else if (arg == "--params") {
            o.params = value();
        } else if (arg == "--size") {
            const std::string v = value();
            const size_t x = v.find_first_of("xX");
            if (x == std::string::npos) throw UsageError{arg + ": expected WxH, got '" + v + "'"};
            const int32_t w = ParseInt(arg, std::string_view(v).substr(0, x), 1, imaging::Picture::kMaxSide);
            const int32_t h = ParseInt(arg, std::string_view(v).substr(x + 1), 1, imaging::Picture::kMaxSide);
            o.size = {w, h};
            sizeText = v;
        } else if (arg == "--formula") {
            o.formula = ParseInt(arg, value(), 0, 7);
        } else if (arg == "--render") {
            o.render = ParseInt(arg, value(), 1, 9);
        } else if (arg == "--blend") {
            o.blend = ParseInt(arg, value(), 1, 26);
        } else if (arg == "--order") {
            o.order = ParseInt(arg, value(), 1, 6);
        } else if (arg == "--maxit") {
            o.maxit = ParseInt(arg, value(), 0, INT32_MAX);
        } else if (arg == "--bailout") {
            o.bailout = ParseInt(arg, value(), INT32_MIN, INT32_MAX);
        } else if (arg == "--center") {
            o.center = ParsePoint(arg, value());
        } else if (arg == "--magnification") {
            o.magnification = ParseReal(arg, value());
            if (!(*o.magnification > 0.0)) throw UsageError{arg + ": must be greater than 0"};
        } else if (arg == "--julia") {
            o.julia = ParsePoint(arg, value());
        } else if (arg == "--rotation") {
            o.rotation = ParseInt(arg, value(), 0, 3);
        } else if (arg == "--inside-out") {
            o.insideOut = true;
        } else if (arg == "--threads") {
            o.threads = ParseInt(arg, value(), 1, 1024);
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--write-params") {
            o.writeParams = value();
        } else if (arg == "--option") {
            SetImageOption(o, arg, value());
        } else if (arg == "--quality") {
            SetImageOption(o, arg, "JpegQuality=" + value());
        } else if (arg == "--binary") {
            SetImageOption(o, arg, "PnmBinary=yes");
        } else if (arg == "--supersample") {
            o.supersample = ParseInt(arg, value(), 1, 4);
            o.supersampleGiven = true;
        } else if (arg == "--zoom-to") {
            o.zoomTo = ParseReal(arg, value());
            if (!(*o.zoomTo > 0.0)) throw UsageError{arg + ": the magnification must be greater than 0"};
        } else if (arg == "--frames") {
            o.frames = ParseInt(arg, value(), 2, 1000000);
        } else if (arg == "--first") {
            o.first = ParseInt(arg, value(), 0, INT32_MAX);
        } else if (arg == "--last") {
            o.last = ParseInt(arg, value(), 0, INT32_MAX);
        } else if (arg == "--keyframes") {
            o.keyframes = value();
        } else if (arg == "--video") {
            o.video = value();
        } else if (arg == "--fps") {
            o.fps = value();
            const double fps = ParseReal(arg, o.fps);
            if (!(fps > 0.0 && fps <= 1000.0)) throw UsageError{arg + ": expected a number above 0 up to 1000"};
        } else if (arg == "--crf") {
            o.crf = ParseInt(arg, value(), 0, 63);
        } else if (arg == "--tile") {
            o.tile = ParsePlace(arg, value(), imaging::Picture::kMaxSide);
        } else if (arg == "--part") {
            o.part = ParsePlace(arg, value(), 1000000);
        } else if (arg == "--join-video") {
            o.joinVideo = value();
        } else if (arg == "--join-tiles") {
            o.joinTiles = value();
        } else if (arg == "--output" || arg == "-o") {
            o.output = value();
        } else {
            throw UsageError{arg + ": unknown argument (see --help)"};
        }
    }
    CheckCombinations(o, sizeText);
    return o;
}

std::string FrameFileName(const std::string& pattern, int32_t frame) {
    const auto bad = [&pattern] {
        return UsageError{"--output: a zoom sequence needs a file pattern with one %d, %5d or %05d: '" + pattern + "'"};
    };
    const size_t percent = pattern.find('%');
    if (percent == std::string::npos) throw bad();
    size_t at = percent + 1;
    const bool zeros = at < pattern.size() && pattern[at] == '0';
    if (zeros) ++at;
    size_t digitsEnd = at;
    while (digitsEnd < pattern.size() && pattern[digitsEnd] >= '0' && pattern[digitsEnd] <= '9') ++digitsEnd;
    if (digitsEnd >= pattern.size() || pattern[digitsEnd] != 'd' || digitsEnd - at > 2) throw bad();
    if (pattern.find('%', digitsEnd) != std::string::npos) throw bad();
    const size_t width = at == digitsEnd ? 0 : std::stoul(pattern.substr(at, digitsEnd - at));
    std::string number = std::to_string(frame);
    if (number.size() < width) number.insert(0, width - number.size(), zeros ? '0' : ' ');
    return pattern.substr(0, percent) + number + pattern.substr(digitsEnd + 1);
}


}  // namespace render
