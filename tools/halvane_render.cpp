// halvane-render: computes a picture (or a zoom sequence or a film of keys)
// from the New defaults, an optional parameter file or picture that carries
// its settings, and the options given, exactly as the desktop program
// would, and writes it to a file (or a band of it, or a film through
// ffmpeg); and joins the parts that runs on many machines make.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "band_writer.h"
#include "deep_view.h"
#include "exact_view.h"
#include "file_access.h"
#include "frame_record.h"
#include "image_file.h"
#include "image_options.h"
#include "interruption.h"
#include "keyframe_list.h"
#include "keyframes.h"
#include "messages.h"
#include "parameter_file.h"
#include "picture_files.h"
#include "picture_settings.h"
#include "progress_bar.h"
#include "render_arguments.h"
#include "render_options.h"
#include "settings_record.h"
#include "supersampling.h"
#include "tiles.h"
#include "video_encoder.h"

namespace {

using params::RecordedPicture;
using render::Arguments;
using render::ProgressBar;

class RenderHost : public engine::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& title) override {
        std::cerr << "halvane-render: " << (title.empty() ? "" : title + ": ") << text << '\n';
    }
};

bool Report(const std::string& error) {
    if (!error.empty()) std::cerr << "halvane-render: " << error << '\n';
    return error.empty();
}

// The exit status of a run that stopped: interrupted, or failed (reported).
int Stopped(const std::string& what) {
    if (render::Interrupted()) {
        std::cerr << "halvane-render: interrupted; " << what << '\n';
        return render::InterruptedStatus();
    }
    return 1;
}

// The New defaults, then the settings of a parameter file or of a picture
// that carries them; false (reported) when the file cannot be read.
bool LoadSettingsFile(const std::string& path, RecordedPicture& picture, engine::MessageSink& messages) {
    TIterationContext& ctx = picture.settings;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    if (params::IsPictureFile(path)) {
        std::string error;
        const std::optional<params::SettingsRecord> record = params::ReadSettingsFromPicture(path, error);
        if (!record) {
            messages.ShowMessage(error);
            return false;
        }
        return params::RestorePicture(*record, picture, messages, path) == params::LoadOutcome::Loaded;
    }
    bool paramsValid = true;
    int32_t lastFormulaNo = 0;
    static params::NameBuffers names;
    picture.view = engine::ExactView{};
    picture.samples = 1;
    if (params::LoadParameters(path, {ctx, paramsValid, lastFormulaNo, names, &picture.view, &picture.samples},
                               messages) != params::LoadOutcome::Loaded) {
        return false;
    }
    ctx.FormulaName = params::KeptName(names.FormulaNameBuffer);
    ctx.RenderName = params::KeptName(names.RenderNameBuffer);
    return true;
}

// The settings options, in the order the usage lists them.
// The view's options keep every digit given.
void ApplyOptions(const Arguments& a, RecordedPicture& picture) {
    TIterationContext& ctx = picture.settings;
    engine::ExactView& view = picture.view;
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
        engine::SetFromText(a.center->first, ctx.CenterX, view.centerX);
        engine::SetFromText(a.center->second, ctx.CenterY, view.centerY);
    }
    if (a.magnification) engine::SetFromText(*a.magnification, ctx.Magnification, view.magnification);
    if (a.julia) {
        ctx.JuliaMode = 1;
        ctx.JuliaFixed = 0;
        engine::SetFromText(a.julia->first, ctx.JuliaX, view.juliaX);
        engine::SetFromText(a.julia->second, ctx.JuliaY, view.juliaY);
        ctx.CRe = ctx.JuliaX;
        ctx.CIm = ctx.JuliaY;
    }
    if (a.rotation) ctx.RotationMode = *a.rotation;
    if (a.insideOut) ctx.InsideOut = 1;
}

// The settings the arguments describe; false (reported) when the file given
// with --params cannot be read. The samples per pixel a file names stand
// for --supersample where it is not given.
bool BuildSettings(Arguments& a, RecordedPicture& picture, engine::MessageSink& messages) {
    engine::ApplyNewDefaults(picture.settings);
    engine::ResetCoordinates(picture.settings);
    if (a.params && !LoadSettingsFile(*a.params, picture, messages)) return false;
    if (!a.supersampleGiven) a.supersample = picture.samples;
    ApplyOptions(a, picture);
    picture.samples = a.supersample;
    return true;
}

engine::SupersampledPicture Job(const Arguments& a, const RecordedPicture& picture) {
    engine::SupersampledPicture job;
    job.settings = picture.settings;
    job.view = picture.view;
    job.width = picture.settings.ImageWidth;
    job.height = picture.settings.ImageHeight;
    job.factor = picture.samples;
    job.threads = a.threads;
    return job;
}

// The picture, or tile, written a band at a time as it is computed.
int RenderPicture(const Arguments& a, const RecordedPicture& picture) {
    ProgressBar rows(!a.quiet && isatty(STDERR_FILENO), "rows");
    // The picture carries the settings it is computed from.
    const params::SettingsRecord record = params::RecordPicture(picture);
    engine::SupersampledPicture job = Job(a, picture);
    std::string comment = params::SettingsComment(record);
    if (a.tile) {
        const render::TileRows place = render::RowsOfTile(a.tile->first, a.tile->second, job.height);
        job.firstRow = place.first;
        job.endRow = place.end;
        comment = render::TileComment(comment, a.tile->first, a.tile->second);
    }
    const int32_t firstRow = job.firstRow;
    const int32_t endRow = job.endRow == 0 ? job.height : job.endRow;
    imaging::BandWriter writer;
    if (!Report(writer.Open(a.output, job.width, endRow - firstRow, comment))) return 1;
    std::string writeError;
    RenderHost messages;
    TIterationContext finished{};
    const engine::SupersampleOutcome outcome = engine::ComputeSupersampledBands(
        job, messages,
        [&](const imaging::Picture& band, int32_t count, int32_t) {
            writeError = writer.WriteRows(band.Row(0), count);
            return writeError.empty();
        },
        0,
        [&](int32_t done, int32_t total) {
            rows.Show(done, total);
            return !render::Interrupted();
        },
        &finished);
    if (outcome != engine::SupersampleOutcome::Done) {
        writer.Abandon();
        rows.Stop();
        Report(writeError);
        return Stopped("no picture written");
    }
    if (!Report(writer.Finish())) return 1;
    if (a.writeParams) {
        // As after the desktop program's generation where one sample is taken.
        const TIterationContext& written = picture.samples == 1 && !a.tile ? finished : picture.settings;
        if (!Report(params::WriteParameterFile(*a.writeParams, written, picture.view, picture.samples))) return 1;
    }
    return 0;
}

// A film: its frames' settings, each made from the frame number alone.
struct Film {
    int32_t frames = 0;
    std::function<RecordedPicture(int32_t)> frame;
    std::string identity;  // what tells this film's parts from another's
};

std::string Fingerprint(const std::string& text) {
    uint64_t hash = 14695981039346656037u;  // FNV-1a
    for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211u;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

// Frames first..last of the film, as pictures and/or a film. A frame's
// settings are its record, so that a frame is the same wherever it is made
// and its comment makes it again.
int RenderFilm(const Arguments& a, const Film& film) {
    if (a.part) {
        if (const std::string problem = render::PartProblem(*a.part, film.frames); !problem.empty()) {
            std::cerr << "halvane-render: " << problem << '\n';
            return 2;
        }
    }
    const render::FrameRange range = a.part ? render::FramesOfPart(*a.part, film.frames)
                                             : render::FrameRange{a.first.value_or(0), a.last.value_or(film.frames - 1)};
    const int32_t first = range.first;
    const int32_t last = range.last;
    if (first > last || last >= film.frames) {
        std::cerr << "halvane-render: --first/--last: frames " << first << " to " << last
                  << " are not within 0 to " << film.frames - 1 << '\n';
        return 2;
    }
    ProgressBar bar(!a.quiet && isatty(STDERR_FILENO), "frames");
    RenderHost messages;
    render::VideoEncoder video;
    if (a.video) {
        const RecordedPicture one = film.frame(first);
        render::VideoOptions options;
        options.fps = a.fps;
        options.crf = a.crf;
        options.threads = a.threads;
        const render::FilmPart part{first, last, film.frames,
                                    Fingerprint(film.identity + "\n" + a.fps + "\n" + std::to_string(a.supersample))};
        if (!Report(video.Open(*a.video, one.settings.ImageWidth, one.settings.ImageHeight, options, part))) return 1;
    }
    for (int32_t k = first; k <= last; ++k) {
        RecordedPicture frame = film.frame(k);
        frame.samples = a.supersample;
        const params::SettingsRecord record = params::RecordPicture(frame);
        params::RestorePicture(record, frame, messages, "frame");
        imaging::Picture picture;
        const engine::SupersampleOutcome outcome = engine::ComputeSupersampled(
            Job(a, frame), picture, messages, [](int32_t, int32_t) { return !render::Interrupted(); });
        if (outcome != engine::SupersampleOutcome::Done) {
            video.Abandon();
            bar.Stop();
            return Stopped(a.video ? "no film written" : "the frames written so far are whole");
        }
        if (!a.output.empty() &&
            !Report(params::SavePictureWithSettings(picture, render::FrameFileName(a.output, k), record))) {
            video.Abandon();
            return 1;
        }
        if (a.video && !Report(video.AddFrame(picture))) return Stopped("no film written");
        bar.Show(k - first + 1, last - first + 1);
    }
    if (a.video && !Report(video.Finish())) return Stopped("no film written");
    return 0;
}

// The zoom sequence from the starting magnification to --zoom-to, about the
// same centre. Between magnifications the doubles hold, as it always was:
// m0*(m1/m0)^(k/(N-1)) in doubles, to 15 digits; where either end lies
// beyond them, exactly.
Film ZoomFilm(const Arguments& a, const RecordedPicture& start) {
    Film film;
    film.frames = a.frames;
    const std::string from = engine::ExactText(start.view.magnification, start.settings.Magnification);
    const std::string toText = *a.zoomTo;
    double to = 0.0;
    engine::NearestDouble(toText, to);
    const bool exactly = !engine::TextBeyondDouble(from, start.settings.Magnification).empty() ||
                         !engine::TextBeyondDouble(toText, to).empty();
    const int32_t frames = a.frames;
    film.frame = [start, from, toText, to, exactly, frames](int32_t k) {
        RecordedPicture frame = start;
        if (exactly) {
            engine::SetFromText(engine::InterpolateMagnification(from, toText, k, frames - 1),
                                frame.settings.Magnification, frame.view.magnification);
            return frame;
        }
        const double m0 = start.settings.Magnification;
        const double m = k == frames - 1 ? to : m0 * std::pow(to / m0, static_cast<double>(k) / (frames - 1));
        frame.settings.Magnification = params::ParseReal(params::FormatReal(m, '.')).value_or(m);
        frame.view.magnification.clear();
        return frame;
    };
    film.identity = "zoom\n" + params::RecordPicture(start).lines + "\n" + toText + "\n" + std::to_string(a.frames);
    return film;
}

// The film of the keys in the --keyframes list; false (reported) when a
// key cannot be had.
bool KeyframeFilm(const Arguments& a, Film& film) {
    std::vector<render::KeyEntry> entries;
    if (!Report(render::ReadKeyframeList(*a.keyframes, entries))) return false;
    RenderHost messages;
    std::vector<engine::Keyframe> keys;
    film.identity = "keys\n";
    for (const render::KeyEntry& entry : entries) {
        RecordedPicture key;
        if (!LoadSettingsFile(entry.path, key, messages)) {
            Report(*a.keyframes + ":" + std::to_string(entry.line) + ": the key of frame " +
                   std::to_string(entry.frame) + " cannot be read");
            return false;
        }
        ApplyOptions(a, key);
        if (!keys.empty()) {
            // Every frame has the film's size: --size, or the first key's.
            key.settings.ImageWidth = keys.front().settings.ImageWidth;
            key.settings.ImageHeight = keys.front().settings.ImageHeight;
        }
        keys.push_back({entry.frame, key.settings, key.view});
        film.identity += std::to_string(entry.frame) + "\n" + params::RecordPicture(key).lines;
    }
    if (const std::string problem = engine::KeyframeProblem(keys); !problem.empty()) {
        Report(*a.keyframes + ": " + problem);
        return false;
    }
    film.frames = keys.back().frame + 1;
    film.frame = [keys = std::move(keys)](int32_t k) {
        const engine::FrameSettings frame = engine::InterpolateKeyframes(keys, k);
        return RecordedPicture{frame.settings, frame.view, 1};
    };
    return true;
}

// Pictures written a band at a time may have any number of pixels.
bool SizeProblem(const Arguments& a, const TIterationContext& ctx) {
    const int32_t w = ctx.ImageWidth, h = ctx.ImageHeight;
    const bool streamed = !a.Sequence() && imaging::BandWriter::Streams(a.output);
    if (streamed ? w > 0 && h > 0 && w <= imaging::Picture::kMaxSide && h <= imaging::Picture::kMaxSide
                 : engine::ImageSizeAllowed(w, h)) {
        if (a.tile && a.tile->second > h) {
            std::cerr << "halvane-render: --tile: " << a.tile->second << " tiles of a picture " << h
                      << " rows high\n";
            return true;
        }
        return false;
    }
    std::cerr << "halvane-render: " << engine::ImageSizeRefusal(w, h) << '\n';
    return true;
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
    render::CatchInterruptions();

    if (arguments.joinVideo) {
        if (!Report(render::JoinFilms(*arguments.joinVideo, arguments.parts))) return Stopped("no film written");
        return 0;
    }
    if (arguments.joinTiles) {
        ProgressBar rows(!arguments.quiet && isatty(STDERR_FILENO), "rows");
        const std::string error = render::JoinTiles(*arguments.joinTiles, arguments.parts, rows);
        if (!error.empty()) rows.Stop();
        if (error != "interrupted" && !Report(error)) return 1;
        return error.empty() ? 0 : Stopped("no picture written");
    }

    RenderHost messages;
    RecordedPicture start;
    if (!BuildSettings(arguments, start, messages)) return 1;
    if (arguments.keyframes) {
        Film film;
        if (!KeyframeFilm(arguments, film)) return 1;
        if (SizeProblem(arguments, film.frame(0).settings)) return 2;
        return RenderFilm(arguments, film);
    }
    if (SizeProblem(arguments, start.settings)) return 2;
    if (arguments.zoomTo) {
        const double m = start.settings.Magnification;
        if (!(m > 0.0) || !std::isfinite(m)) {
            std::cerr << "halvane-render: the starting magnification " << m << " cannot begin a zoom sequence\n";
            return 2;
        }
        return RenderFilm(arguments, ZoomFilm(arguments, start));
    }
    return RenderPicture(arguments, start);
}
