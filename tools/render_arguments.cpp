// The command line of halvane-render: every argument, checked against the
// option table (render_options.h), then the checks across options.
#include "render_arguments.h"

#include "band_writer.h"
#include "image_file.h"
#include "picture.h"
#include "render_options.h"

namespace render {

namespace {

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

void CheckCombinations(Arguments& o) {
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
        throw UsageError{"--size: " + std::to_string(o.size->first) + "x" + std::to_string(o.size->second) +
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
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // After --join-video or --join-tiles, a word that is no option is a part.
        if ((o.joinVideo || o.joinTiles) && !arg.starts_with("-")) {
            o.parts.push_back(arg);
            continue;
        }
        std::optional<std::string> attached;  // the value of --name=value
        const size_t equals = arg.find('=');
        if (arg.starts_with("--") && equals != std::string::npos) {
            attached = arg.substr(equals + 1);
            arg.resize(equals);
        }
        const RenderOption* option = FindRenderOption(arg);
        if (option == nullptr) throw UsageError{arg + ": unknown argument (see --help)"};
        std::string value;
        if (option->TakesValue()) {
            if (attached) {
                value = *attached;
            } else {
                if (i + 1 >= argc) throw UsageError{arg + ": missing value"};
                value = argv[++i];
            }
        } else if (attached) {
            throw UsageError{arg + ": takes no value"};
        }
        option->apply(o, *option, value);
        if (o.help || o.version) return o;
    }
    CheckCombinations(o);
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
