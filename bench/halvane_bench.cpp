// Prints halvane's generation time on two views, with one thread and with
// every thread, against the plain C loop on the same views and threads.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "generation.h"
#include "picture_settings.h"

namespace {

struct View {
    const char* name;
    int32_t width, height, maxit;
    double centerX, centerY, magnification;
};

class QuietHost : public engine::GenerationHost {};

double HalvaneSeconds(const View& view, int threads) {
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
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
    const std::string plainLoop =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "plain_loop").string();
    const bool havePlain = std::filesystem::exists(plainLoop);
    const View views[] = {
        {"(a) reset view 3200x2400, Maxit 1000", 3200, 2400, 1000, 0.0, 0.0, 1.0},
        {"(b) half inside 1280x960, Maxit 2000", 1280, 960, 2000, -0.1226, 0.7449, 14.5833333333333},
    };
    std::printf("hardware threads: %d\n", all);
    for (const View& view : views) {
        const double h1 = HalvaneSeconds(view, 1);
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
    return 0;
}
