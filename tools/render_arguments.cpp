// The command line of halvane-render: every argument, checked against the
// option table (render_options.h), then the checks across options.
#include "render_arguments.h"

#include "image_file.h"
#include "render_options.h"

namespace render {

Arguments ParseArguments(int argc, char** argv) {
    Arguments o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
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
    if (o.output.empty()) throw UsageError{"--output: missing (see --help)"};
    if (!imaging::CanSave(o.output)) {
        throw UsageError{"--output: cannot write this format: '" + o.output + "'"};
    }
    const bool sequence = o.zoomTo || o.frames != 0 || o.first || o.last;
    if (sequence) {
        if (!o.zoomTo) throw UsageError{"--zoom-to: missing for a zoom sequence (see --help)"};
        if (o.frames == 0) throw UsageError{"--frames: missing for a zoom sequence (see --help)"};
        const int32_t first = o.first.value_or(0);
        const int32_t last = o.last.value_or(o.frames - 1);
        if (first > last || last >= o.frames) {
            throw UsageError{"--first/--last: frames " + std::to_string(first) + " to " + std::to_string(last) +
                             " are not within 0 to " + std::to_string(o.frames - 1)};
        }
        o.first = first;
        o.last = last;
        FrameFileName(o.output, 0);  // checks the pattern
        if (o.writeParams) throw UsageError{"--write-params: every frame carries its settings; not for a sequence"};
    }
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
