// Prints the time and peak memory of halvane-render writing pictures larger
// than memory a band at a time, against the plain C loop on the same view
// (its time per sample, measured in the same run on a picture that fits).
//
// usage: halvane-poster-bench [WxH SAMPLES FORMAT MAXIT]...
//   default: 20000x15000 4 tif 100  and  40000x30000 2 tif 100
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct RunFigures {
    bool ok = false;
    double seconds = 0.0;
    double peakMegabytes = 0.0;
};

// Runs argv, timing it; the peak resident memory is the child's own.
RunFigures Measure(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {}) {
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envText(environment);
    for (char** e = environ; *e != nullptr; ++e) envText.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : envText) env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    RunFigures figures;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return figures;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid) return figures;
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return figures;
}

struct Poster {
    int width = 0, height = 0, samples = 1, maxit = 100;
    std::string format = "tif";
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<Poster> posters;
    for (int i = 1; i + 3 < argc; i += 4) {
        Poster p;
        if (std::sscanf(argv[i], "%dx%d", &p.width, &p.height) != 2) return 2;
        p.samples = std::atoi(argv[i + 1]);
        p.format = argv[i + 2];
        p.maxit = std::atoi(argv[i + 3]);
        posters.push_back(p);
    }
    if (posters.empty()) posters = {{20000, 15000, 4, 100, "tif"}, {40000, 30000, 2, 100, "tif"}};

    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const std::string render = (bin / "halvane-render").string();
    const std::string plainLoop = (bin / "plain_loop").string();
    std::string folder = (fs::temp_directory_path() / "halvane-poster-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) return 1;

    for (const Poster& p : posters) {
        const std::string view = "--rotation 0 --maxit " + std::to_string(p.maxit);
        const double samples = static_cast<double>(p.width) * p.height * p.samples * p.samples;
        // The yardstick: the plain loop's time per sample on the same view.
        const int yw = 3200, yh = yw * p.height / p.width;
        const double halfWidth = 1.0 + static_cast<double>(p.width) / p.height;
        char halfText[64];
        std::snprintf(halfText, sizeof halfText, "%.17g", halfWidth);
        const RunFigures plain = Measure({plainLoop, std::to_string(yw), std::to_string(yh), "0", "0", halfText,
                                          std::to_string(p.maxit), folder + "/plain.ppm"},
                                         {"OMP_NUM_THREADS=2"});
        const double plainPerSample = plain.ok ? plain.seconds / (static_cast<double>(yw) * yh) : 0.0;
        const std::string file = folder + "/poster." + p.format;
        const RunFigures run = Measure({render, "--quiet", "--threads", "2", "--size",
                                        std::to_string(p.width) + "x" + std::to_string(p.height), "--supersample",
                                        std::to_string(p.samples), "--rotation", "0", "--maxit",
                                        std::to_string(p.maxit), "--output", file});
        const double megabytes = run.ok ? static_cast<double>(fs::file_size(file)) / 1e6 : 0.0;
        std::printf("%dx%d, %d by %d samples, Maxit %d, %s, 2 threads: %s %.0f s, peak memory %.1f MB, file %.0f MB\n",
                    p.width, p.height, p.samples, p.samples, p.maxit, p.format.c_str(), run.ok ? "" : "FAILED",
                    run.seconds, run.peakMegabytes, megabytes);
        if (plain.ok) {
            std::printf("  %.1f ns a sample; the plain loop on the view: %.1f ns a sample; ratio %.2f\n",
                        run.seconds / samples * 1e9, plainPerSample * 1e9, run.seconds / samples / plainPerSample);
        }
        std::printf("  (the picture itself: %.0f MB)\n", static_cast<double>(p.width) * p.height * 3 / 1e6);
        std::fflush(stdout);
        fs::remove(file);
    }
    fs::remove_all(folder);
    return 0;
}
