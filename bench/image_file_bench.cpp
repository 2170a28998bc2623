// Memory and time of writing and reading picture files (figures, not tests).
//
//   halvane-image-bench [FOLDER] [WIDTH HEIGHT [ROWS]]
//
// Each measurement runs in a child process of its own and reports that
// process's peak resident memory. Writing a picture in bands of ROWS rows
// (PNG and TIFF) is set against writing the same bytes raw with write(2),
// the yardstick; then the whole-picture saver at a size that fits memory,
// the settings comment read from the large files, and the files read back
// a band at a time. The files are written to FOLDER (default /tmp) and
// removed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "band_reader.h"
#include "band_writer.h"
#include "image_file.h"

namespace {

using Clock = std::chrono::steady_clock;

// A smooth picture with detail, as fractals are: compresses as they do.
void FillBand(std::vector<uint8_t>& band, int32_t width, int32_t first, int32_t rows) {
    band.resize(size_t{3} * static_cast<uint32_t>(width) * static_cast<uint32_t>(rows));
    uint8_t* p = band.data();
    for (int32_t y = first; y < first + rows; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t v = static_cast<uint32_t>(x) * static_cast<uint32_t>(y) / 97u + static_cast<uint32_t>(x ^ y);
            *p++ = static_cast<uint8_t>(v);
            *p++ = static_cast<uint8_t>(v >> 3);
            *p++ = static_cast<uint8_t>(x + y);
        }
    }
}

// Runs `work` in a child; prints its time and peak memory. "" or an error.
void Measure(const char* what, const std::function<std::string()>& work) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const std::string error = work();
        if (!error.empty()) std::fprintf(stderr, "%s: %s\n", what, error.c_str());
        std::_Exit(error.empty() ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-52s %8.2f s %9.1f MB peak%s\n", what, seconds, usage.ru_maxrss / 1024.0,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "  FAILED");
}

double Elapsed(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : "/tmp";
    const int32_t width = argc > 3 ? std::atoi(argv[2]) : 20000;
    const int32_t height = argc > 3 ? std::atoi(argv[3]) : 15000;
    const int32_t rows = argc > 4 ? std::atoi(argv[4]) : 64;
    const std::string stem = folder + "/halvane-bench-" + std::to_string(getpid());
    std::printf("%d x %d in bands of %d rows (%.0f MB of pixels)\n", width, height, rows,
                3.0 * width * height / 1e6);

    const auto yardstick = Clock::now();
    Measure("yardstick: the raw bytes with write(2)", [&]() -> std::string {
        FILE* file = std::fopen((stem + ".raw").c_str(), "wb");
        if (!file) return "cannot create";
        std::vector<uint8_t> band;
        for (int32_t y = 0; y < height; y += rows) {
            FillBand(band, width, y, std::min(rows, height - y));
            if (std::fwrite(band.data(), 1, band.size(), file) != band.size()) return "cannot write";
        }
        if (std::fflush(file) != 0 || fsync(fileno(file)) != 0) return "cannot sync";
        std::fclose(file);
        return "";
    });
    const double raw = Elapsed(yardstick);
    std::remove((stem + ".raw").c_str());

    for (const char* extension : {".tif", ".png"}) {
        const std::string path = stem + extension;
        const auto start = Clock::now();
        Measure((std::string("BandWriter ") + extension).c_str(), [&]() -> std::string {
            imaging::BandWriter writer;
            if (std::string error = writer.Open(path, width, height, "halvane picture settings\nsize 1x1\n");
                !error.empty())
                return error;
            std::vector<uint8_t> band;
            for (int32_t y = 0; y < height; y += rows) {
                const int32_t count = std::min(rows, height - y);
                FillBand(band, width, y, count);
                if (std::string error = writer.WriteRows(band.data(), count); !error.empty()) return error;
            }
            return writer.Finish();
        });
        std::printf("    %.2f times the yardstick's time\n", Elapsed(start) / raw);
        Measure((std::string("ReadImageComment ") + extension).c_str(), [&]() -> std::string {
            std::string comment;
            return imaging::ReadImageComment(path, comment);
        });
        Measure((std::string("BandReader ") + extension).c_str(), [&]() -> std::string {
            imaging::BandReader reader;
            if (std::string error = reader.Open(path); !error.empty()) return error;
            std::vector<uint8_t> band;
            while (reader.RowsRead() < reader.Height()) {
                const int32_t count = std::min(rows, reader.Height() - reader.RowsRead());
                band.resize(size_t{3} * static_cast<uint32_t>(width) * static_cast<uint32_t>(count));
                if (std::string error = reader.ReadRows(band.data(), count); !error.empty()) return error;
            }
            return "";
        });
        std::remove(path.c_str());
    }

    // The whole-picture savers at the largest size a picture holds.
    const int32_t side = 10000;
    for (const char* extension : {".tif", ".png", ".bmp", ".ppm"}) {
        Measure((std::string("SaveImageFile 10000 x 10000 ") + extension).c_str(), [&]() -> std::string {
            imaging::Picture picture(side, side);
            FillBand(picture.Bytes(), side, 0, side);
            imaging::Options().PnmBinary = true;
            return imaging::SaveImageFile(picture, stem + extension);
        });
        std::remove((stem + extension).c_str());
    }
    return 0;
}
