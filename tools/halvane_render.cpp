// halvane-render: computes a picture (or a zoom sequence of pictures) from
// the New defaults, an optional parameter file or picture that carries its
// settings, and the options given, exactly as the desktop program would,
// and writes it to a file.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "generation.h"
#include "image_file.h"
#include "image_options.h"
#include "parameter_file.h"
#include "picture_files.h"
#include "picture_settings.h"
#include "render_arguments.h"
#include "render_options.h"
#include "settings_record.h"
#include "supersampling.h"

namespace {

using render::Arguments;

// A progress bar on the terminal: done of total, and the time left.
class ProgressBar {
public:
    ProgressBar(bool show, const char* unit) : show_(show), unit_(unit) {}

    void Show(int64_t done, int64_t total) {
        if (!show_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done < total && now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const double left = done > 0 ? elapsed * static_cast<double>(total - done) / static_cast<double>(done) : 0.0;
        constexpr int kBarWidth = 30;
        const int filled = total > 0 ? static_cast<int>(kBarWidth * done / total) : kBarWidth;
        std::fprintf(stderr, "\r[%.*s%.*s] %s %lld/%lld, %.1f s left ", filled, "##############################",
                     kBarWidth - filled, "..............................", unit_, static_cast<long long>(done),
                     static_cast<long long>(total), left);
        if (done >= total) std::fputc('\n', stderr);
        std::fflush(stderr);
    }

private:
    bool show_;
    const char* unit_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_ = start_;
};

class RenderHost : public engine::GenerationHost {
public:
    void ShowMessage(const std::string& text, const std::string& title) override {
        std::cerr << "halvane-render: " << (title.empty() ? "" : title + ": ") << text << '\n';
    }
    void AfterRow() override {
        if (core != nullptr && rows != nullptr) rows->Show(core->PixelY + 1, core->Context.ImageHeight);
    }
    const engine::GenerationCore* core = nullptr;
    ProgressBar* rows = nullptr;
};

// The settings the arguments describe; false (reported) when the file given
// with --params cannot be read.
bool BuildSettings(const Arguments& a, TIterationContext& ctx, engine::MessageSink& messages) {
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    bool paramsValid = true;
    int32_t lastFormulaNo = 0;
    static params::NameBuffers names;
    const params::LoadTarget target{ctx, paramsValid, lastFormulaNo, names};
    if (a.params) {
        if (params::IsPictureFile(*a.params)) {
            std::string error;
            const std::optional<params::SettingsRecord> record = params::ReadSettingsFromPicture(*a.params, error);
            if (!record) {
                messages.ShowMessage(error);
                return false;
            }
            if (params::RestoreSettings(*record, target, messages, *a.params) != params::LoadOutcome::Loaded) return false;
        } else if (params::LoadParameters(*a.params, target, messages) != params::LoadOutcome::Loaded) {
            return false;
        }
    }
    if (a.size) {
        ctx.ImageWidth = a.size->first;
        ctx.ImageHeight = a.size->second;
    }
    if (a.formula) ctx.FormulaNo = *a.formula;
    if (a.render) ctx.RenderNo = *a.render;
    if (a.blend) ctx.BlendNo = *a.blend;
    if (a.order) ctx.ColorOrderNo = *a.order;
    if (a.maxit) ctx.Maxit = *a.maxit;
    if (a.bailout) ctx.Bailout = *a.bailout;
    if (a.center) {
        ctx.CenterX = a.center->first;
        ctx.CenterY = a.center->second;
    }
    if (a.magnification) ctx.Magnification = *a.magnification;
    if (a.julia) {
        ctx.JuliaMode = 1;
        ctx.JuliaFixed = 0;
        ctx.JuliaX = a.julia->first;
        ctx.JuliaY = a.julia->second;
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    }
    if (a.rotation) ctx.RotationMode = *a.rotation;
    if (a.insideOut) ctx.InsideOut = 1;
    return true;
}

// Computes the picture of `settings` at their size: directly, or with
// several samples per pixel. False (reported) when it cannot be made.
bool Compute(const Arguments& a, TIterationContext& settings, imaging::Picture& picture, ProgressBar* rows) {
    RenderHost host;
    if (a.supersample > 1) {
        engine::SupersampledPicture job;
        job.settings = settings;
        job.width = settings.ImageWidth;
        job.height = settings.ImageHeight;
        job.factor = a.supersample;
        job.threads = a.threads;
        return engine::ComputeSupersampled(job, picture, host, [rows](int32_t done, int32_t total) {
                   if (rows != nullptr) rows->Show(done, total);
                   return true;
               }) == engine::SupersampleOutcome::Done;
    }
    engine::GenerationCore core(host);
    host.core = &core;
    host.rows = rows;
    if (!core.BindPlugin()) return false;
    core.SetThreadCount(a.threads);
    core.Context = settings;
    // As after loading a parameter file: the view and Julia settings given
    // are kept, not reset for a change of formula.
    core.LastFormulaNo = core.Context.FormulaNo;
    picture = imaging::Picture(settings.ImageWidth, settings.ImageHeight);
    core.CurrentImage = &picture;
    core.Generate();
    settings = core.Context;
    return true;
}

bool Report(const std::string& error) {
    if (!error.empty()) std::cerr << "halvane-render: " << error << '\n';
    return error.empty();
}

int RenderOne(const Arguments& a, TIterationContext settings) {
    ProgressBar rows(!a.quiet && isatty(STDERR_FILENO), "rows");
    // The picture carries the settings it is computed from.
    const params::SettingsRecord record = params::RecordSettings(settings);
    imaging::Picture picture;
    if (!Compute(a, settings, picture, &rows)) return 1;
    if (!Report(params::SavePictureWithSettings(picture, a.output, record))) return 1;
    if (a.writeParams && !Report(params::WriteParameterFile(*a.writeParams, settings))) return 1;
    return 0;
}

// Frames first..last of a sequence of `frames` from the starting
// magnification to zoomTo. A frame's settings are its record, so that a
// frame is the same wherever it is made and its comment makes it again.
int RenderSequence(const Arguments& a, const TIterationContext& start) {
    const double from = start.Magnification;
    const double to = *a.zoomTo;
    const int32_t first = a.first.value_or(0);
    const int32_t last = a.last.value_or(a.frames - 1);
    ProgressBar bar(!a.quiet && isatty(STDERR_FILENO), "frames");
    RenderHost quiet;
    for (int32_t k = first; k <= last; ++k) {
        TIterationContext frame = start;
        frame.Magnification =
            k == a.frames - 1 ? to : from * std::pow(to / from, static_cast<double>(k) / (a.frames - 1));
        const params::SettingsRecord record = params::RecordSettings(frame);
        bool paramsValid = true;
        int32_t lastFormulaNo = 0;
        params::NameBuffers names;
        params::RestoreSettings(record, {frame, paramsValid, lastFormulaNo, names}, quiet, "frame");
        imaging::Picture picture;
        if (!Compute(a, frame, picture, nullptr)) return 1;
        if (!Report(params::SavePictureWithSettings(picture, render::FrameFileName(a.output, k), record))) return 1;
        bar.Show(k - first + 1, last - first + 1);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    try {
        arguments = render::ParseArguments(argc, argv);
    } catch (const render::UsageError& error) {
        std::cerr << "halvane-render: " << error.message << '\n';
        return 2;
    }
    if (arguments.help || arguments.version) {
        std::cout << (arguments.help ? render::HelpText() : render::VersionText()) << std::flush;
        return std::cout ? 0 : 1;
    }
    imaging::SetEncoderThreads(arguments.threads);
    imaging::Options() = arguments.image;

    RenderHost messages;
    TIterationContext settings{};
    if (!BuildSettings(arguments, settings, messages)) return 1;
    if (!engine::ImageSizeAllowed(settings.ImageWidth, settings.ImageHeight)) {
        std::cerr << "halvane-render: " << engine::ImageSizeRefusal(settings.ImageWidth, settings.ImageHeight)
                  << '\n';
        return 2;
    }
    if (arguments.zoomTo && (!(settings.Magnification > 0.0) || !std::isfinite(settings.Magnification))) {
        std::cerr << "halvane-render: the starting magnification " << settings.Magnification
                  << " cannot begin a zoom sequence\n";
        return 2;
    }
    return arguments.zoomTo ? RenderSequence(arguments, settings) : RenderOne(arguments, settings);
}
