// halvane-render: computes one picture from the New defaults, an optional
// parameter file and the options given, exactly as the desktop program
// would, and writes it to a file.
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "generation.h"
#include "image_file.h"
#include "image_options.h"
#include "parameter_file.h"
#include "picture_settings.h"

namespace {

constexpr const char* kUsage =
    "usage: halvane-render [--params FILE.vtx] [--size WxH] [--formula N] [--render N]\n"
    "                      [--blend N] [--order N] [--maxit N] [--bailout N] [--center X,Y]\n"
    "                      [--magnification M] [--julia X,Y] [--rotation N] [--inside-out]\n"
    "                      [--threads N] [--quiet] [--write-params FILE.vtx]\n"
    "                      [--option NAME=VALUE]... [--quality N] [--binary] --output FILE\n"
    "\n"
    "Computes a picture from the New defaults (160x120), then the parameter file, then the\n"
    "options in the order above, and writes it; the format follows the output's extension\n"
    "(bmp, jpg, jpeg, jif, pbm, pgm, png, ppm, tga, tif, tiff).\n"
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
    "  --binary            binary PBM, PGM and PPM: --option PnmBinary=yes\n";

struct UsageError {
    std::string message;
};

struct Options {
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
};

void PrintHelp() {
    std::fputs(kUsage, stdout);
    std::fputs("\nImage file options (NAME=DEFAULT  what it sets):\n", stdout);
    for (const imaging::ImageOptionHelp& option : imaging::ImageOptionList()) {
        const std::string setting = option.Name + "=" + option.Default;
        std::printf("  %-34s %s\n", setting.c_str(), option.Meaning.c_str());
    }
}

void SetImageOption(Options& o, const std::string& arg, const std::string& setting) {
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

Options ParseArguments(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
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
            if (!imaging::Picture::SizeAllowed(w, h)) {
                throw UsageError{arg + ": " + v + " has more pixels than a picture may have"};
            }
            o.size = {w, h};
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
        } else if (arg == "--output" || arg == "-o") {
            o.output = value();
        } else {
            throw UsageError{arg + ": unknown argument (see --help)"};
        }
    }
    if (o.output.empty()) throw UsageError{"--output: missing (see --help)"};
    if (!imaging::CanSave(o.output)) {
        throw UsageError{"--output: cannot write this format: '" + o.output + "'"};
    }
    return o;
}

class RenderHost : public engine::GenerationHost {
public:
    explicit RenderHost(bool showProgress) : showProgress_(showProgress) {}

    void ShowMessage(const std::string& text, const std::string& title) override {
        std::cerr << "halvane-render: " << (title.empty() ? "" : title + ": ") << text << '\n';
    }

    void Attach(const engine::GenerationCore& core) { core_ = &core; }

    void AfterRow() override {
        if (!showProgress_ || core_ == nullptr) return;
        const auto now = std::chrono::steady_clock::now();
        const int32_t total = core_->Context.ImageHeight;
        const int32_t done = core_->PixelY + 1;
        if (done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double left = done > 0 ? elapsed * (total - done) / done : 0.0;
        constexpr int kBarWidth = 30;
        const int filled = total > 0 ? static_cast<int>(static_cast<int64_t>(kBarWidth) * done / total) : kBarWidth;
        std::fprintf(stderr, "\r[%.*s%.*s] rows %d/%d, %.1f s left ", filled,
                     "##############################", kBarWidth - filled,
                     "..............................", done, total, left);
        if (done >= total) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

    void Start() { start_ = lastDraw_ = std::chrono::steady_clock::now(); }

private:
    bool showProgress_;
    const engine::GenerationCore* core_ = nullptr;
    std::chrono::steady_clock::time_point start_, lastDraw_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const UsageError& error) {
        std::cerr << "halvane-render: " << error.message << '\n';
        return 2;
    }

    RenderHost host(!options.quiet && isatty(STDERR_FILENO));
    engine::GenerationCore core(host);
    host.Attach(core);
    if (!core.BindPlugin()) return 1;
    core.SetThreadCount(options.threads);
    imaging::SetEncoderThreads(options.threads);
    imaging::Options() = options.image;

    TIterationContext& ctx = core.Context;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);

    params::NameBuffers names;
    if (options.params) {
        const params::LoadOutcome outcome = params::LoadParameters(
            *options.params, {ctx, core.ParamsValid, core.LastFormulaNo, names}, host);
        if (outcome != params::LoadOutcome::Loaded) return 1;
    }
    if (options.size) {
        ctx.ImageWidth = options.size->first;
        ctx.ImageHeight = options.size->second;
    }
    if (options.formula) ctx.FormulaNo = *options.formula;
    if (options.render) ctx.RenderNo = *options.render;
    if (options.blend) ctx.BlendNo = *options.blend;
    if (options.order) ctx.ColorOrderNo = *options.order;
    if (options.maxit) ctx.Maxit = *options.maxit;
    if (options.bailout) ctx.Bailout = *options.bailout;
    if (options.center) {
        ctx.CenterX = options.center->first;
        ctx.CenterY = options.center->second;
    }
    if (options.magnification) ctx.Magnification = *options.magnification;
    if (options.julia) {
        ctx.JuliaMode = 1;
        ctx.JuliaFixed = 0;
        ctx.JuliaX = options.julia->first;
        ctx.JuliaY = options.julia->second;
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    }
    if (options.rotation) ctx.RotationMode = *options.rotation;
    if (options.insideOut) ctx.InsideOut = 1;
    // As after loading a parameter file: the view and Julia settings given
    // are kept, not reset for a change of formula.
    core.LastFormulaNo = ctx.FormulaNo;

    if (!imaging::Picture::SizeAllowed(ctx.ImageWidth, ctx.ImageHeight) || ctx.ImageWidth <= 0 ||
        ctx.ImageHeight <= 0) {
        std::cerr << "halvane-render: the picture size " << ctx.ImageWidth << "x" << ctx.ImageHeight
                  << " is not allowed\n";
        return 2;
    }
    imaging::Picture picture(ctx.ImageWidth, ctx.ImageHeight);
    core.CurrentImage = &picture;
    host.Start();
    core.Generate();

    const std::string error = imaging::SaveImageFile(picture, options.output);
    if (!error.empty()) {
        std::cerr << "halvane-render: " << error << '\n';
        return 1;
    }
    if (options.writeParams) {
        const std::string paramsError = params::WriteParameterFile(*options.writeParams, ctx);
        if (!paramsError.empty()) {
            std::cerr << "halvane-render: " << paramsError << '\n';
            return 1;
        }
    }
    return 0;
}
