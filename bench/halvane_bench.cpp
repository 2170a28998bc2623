// Prints halvane's generation time on two views, with one thread and with
// every thread, against the plain C loop on the same views and threads;
// then whole halvane-render commands that write each kind of file against
// the plain loop writing its picture, and the time of saving alone.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "generation.h"
#include "image_file.h"
#include "image_options.h"
#include "picture_settings.h"

namespace {

struct View {
    const char* name;
    int32_t width, height, maxit;
    double centerX, centerY, magnification;
};

class QuietHost : public engine::GenerationHost {};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Computes the view into `picture`; returns the time of the second run.
double HalvaneSeconds(const View& view, int threads, imaging::Picture* result = nullptr) {
    QuietHost host;
    engine::GenerationCore core(host);
    if (!core.BindPlugin()) std::exit(1);
    core.SetThreadCount(threads);
    TIterationContext& ctx = core.Context;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = view.width;
    ctx.ImageHeight = view.height;
    ctx.Maxit = view.maxit;
    ctx.RotationMode = 0;
    ctx.CenterX = view.centerX;
    ctx.CenterY = view.centerY;
    ctx.Magnification = view.magnification;
    core.LastFormulaNo = ctx.FormulaNo;
    imaging::Picture picture(view.width, view.height);
    core.CurrentImage = &picture;
    core.Generate();  // warms up the workers and their plug-in instances
    const auto start = std::chrono::steady_clock::now();
    core.Generate();
    const double seconds = Seconds(start);
    if (result) *result = std::move(picture);
    return seconds;
}

double CommandSeconds(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status == 0 ? Seconds(start) : -1.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A file kind as halvane-render writes it.
struct Output {
    const char* name;
    const char* file;
    const char* arguments;
};

constexpr Output kOutputs[] = {
    {"BMP", "a.bmp", ""},
    {"binary PPM", "a.ppm", "--binary"},
    {"PNG", "a.png", ""},
    {"ASCII PPM", "a.ppm", ""},
};

// The whole command, plug-in loading, computing and saving included, next
// to the plain loop on the same view, each the median of a few runs taken
// in turn so that a busy moment of the machine falls on all of them.
void WholeCommands(const std::filesystem::path& bin, const std::string& plainLoop, const std::string& folder) {
    constexpr int kRuns = 3;
    const std::string plain = "OMP_NUM_THREADS=2 '" + plainLoop + "' 3200 2400 0 0 2.3333333333333335 1000 '" +
                              folder + "/plain.ppm'";
    std::vector<double> plainTimes;
    std::vector<std::vector<double>> times(std::size(kOutputs));
    for (int run = 0; run < kRuns; ++run) {
        plainTimes.push_back(CommandSeconds(plain));
        for (size_t k = 0; k < std::size(kOutputs); ++k) {
            times[k].push_back(CommandSeconds("'" + (bin / "halvane-render").string() +
                                              "' --quiet --size 3200x2400 --maxit 1000 --rotation 0 --threads 2 " +
                                              kOutputs[k].arguments + " --output '" + folder + "/" + kOutputs[k].file + "'"));
        }
    }
    const double base = Median(plainTimes);
    std::printf("whole commands, 3200x2400, Maxit 1000, 2 threads (median of %d runs):\n", kRuns);
    std::printf("  plain loop, binary PPM         : %7.3f s\n", base);
    for (size_t k = 0; k < std::size(kOutputs); ++k) {
        const double t = Median(times[k]);
        std::printf("  halvane-render, %-14s: %7.3f s   ratio to the plain loop %.2f\n", kOutputs[k].name, t, t / base);
    }
}

// Saving alone: encoding and writing the computed picture, the best of a few.
void SavingTimes(const imaging::Picture& picture, const std::string& folder) {
    std::printf("saving the 3200x2400 picture, 2 threads (best of 3):\n");
    imaging::SetEncoderThreads(2);
    for (const Output& output : kOutputs) {
        imaging::Options().PnmBinary = std::string(output.arguments) == "--binary";
        const std::string path = folder + "/saved-" + output.file;
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            if (const std::string error = imaging::SaveImageFile(picture, path); !error.empty()) {
                std::printf("  %s\n", error.c_str());
                return;
            }
            best = std::min(best, Seconds(start));
        }
        std::printf("  %-14s: %7.3f s   %6.1f MB\n", output.name, best,
                    static_cast<double>(std::filesystem::file_size(path)) / 1e6);
    }
    imaging::Options() = imaging::ImageFileOptions{};
}

double PlainLoopSeconds(const std::string& plainLoop, const View& view, int threads) {
    const double halfWidth = (1.0 + static_cast<double>(view.width) / view.height) / view.magnification;
    char command[1024];
    std::snprintf(command, sizeof command, "OMP_NUM_THREADS=%d '%s' %d %d %.17g %.17g %.17g %d /dev/null 2>/dev/null",
                  threads, plainLoop.c_str(), view.width, view.height, view.centerX, view.centerY, halfWidth,
                  view.maxit);
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(command);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return status == 0 ? seconds : -1.0;
}

}  // namespace

int main() {
    const int all = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const std::filesystem::path bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string plainLoop = (bin / "plain_loop").string();
    const bool havePlain = std::filesystem::exists(plainLoop);
    const View views[] = {
        {"(a) reset view 3200x2400, Maxit 1000", 3200, 2400, 1000, 0.0, 0.0, 1.0},
        {"(b) half inside 1280x960, Maxit 2000", 1280, 960, 2000, -0.1226, 0.7449, 14.5833333333333},
    };
    std::printf("hardware threads: %d\n", all);
    imaging::Picture first;
    for (const View& view : views) {
        const double h1 = HalvaneSeconds(view, 1, first.Empty() ? &first : nullptr);
        const double hn = HalvaneSeconds(view, all);
        std::printf("%s\n", view.name);
        std::printf("  halvane   1 thread : %7.3f s\n", h1);
        std::printf("  halvane %2d threads: %7.3f s   speed-up %.2f\n", all, hn, h1 / hn);
        if (havePlain) {
            const double p1 = PlainLoopSeconds(plainLoop, view, 1);
            const double pn = PlainLoopSeconds(plainLoop, view, all);
            std::printf("  plain     1 thread : %7.3f s   halvane/plain %.2f\n", p1, h1 / p1);
            std::printf("  plain   %2d threads: %7.3f s   halvane/plain %.2f\n", all, pn, hn / pn);
        } else {
            std::printf("  (plain_loop not built: no ../shared/bench/plain_loop.c or no OpenMP)\n");
        }
    }

    std::string folder = (std::filesystem::temp_directory_path() / "halvane-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;
    if (havePlain) {
        WholeCommands(bin, plainLoop, folder);
    } else {
        std::printf("(no whole-command figures: plain_loop not built)\n");
    }
    SavingTimes(first, folder);
    std::filesystem::remove_all(folder);
    return 0;
}
