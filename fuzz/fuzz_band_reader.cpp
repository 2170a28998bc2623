// libFuzzer target for reading picture files from disk a band at a time, and
// their comments: the input is a PNG file when it starts as one, else a TIFF
// file. Every input must be read whole or refused with one line naming the
// file, and a refused comment must be left as it was.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "band_reader.h"
#include "image_file.h"
#include "image_options.h"

namespace {

std::string folderPath, pngPath, tiffPath;
int fileFd = -1;

void RemoveFolder() {
    unlink(pngPath.c_str());
    unlink(tiffPath.c_str());
    rmdir(folderPath.c_str());
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    imaging::SetLoadPixelLimit(int64_t{1} << 20);
    // One file in memory, under both names.
    fileFd = memfd_create("fuzz-input", MFD_CLOEXEC);
    char folder[] = "/tmp/halvane-fuzz-XXXXXX";
    Check(fileFd >= 0 && mkdtemp(folder) != nullptr);
    const std::string target = "/proc/self/fd/" + std::to_string(fileFd);
    pngPath = std::string(folder) + "/input.png";
    tiffPath = std::string(folder) + "/input.tif";
    folderPath = folder;
    Check(symlink(target.c_str(), pngPath.c_str()) == 0 && symlink(target.c_str(), tiffPath.c_str()) == 0);
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Check(ftruncate(fileFd, 0) == 0);
    Check(size == 0 || pwrite(fileFd, data, size, 0) == static_cast<ssize_t>(size));
    const std::string& path = size > 0 && data[0] == 0x89 ? pngPath : tiffPath;
    imaging::Options().GammaCorrectionOnRead = size % 2 == 0;

    std::string comment = "unchanged";
    const std::string commentError = imaging::ReadImageComment(path, comment);
    if (!commentError.empty()) {
        Check(commentError.rfind(path + ": ", 0) == 0 && commentError.find('\n') == std::string::npos);
        Check(comment == "unchanged");
    }

    imaging::BandReader reader;
    std::string error = reader.Open(path);
    std::vector<uint8_t> rows;
    // Bands of uneven heights; a bounded amount of output per input.
    int64_t budget = int64_t{64} << 20;
    for (int32_t band = 1; error.empty() && reader.RowsRead() < reader.Height() && budget > 0; band = band % 5 + 1) {
        const int32_t count = std::min(band, reader.Height() - reader.RowsRead());
        rows.resize(size_t{3} * static_cast<uint32_t>(reader.Width()) * static_cast<uint32_t>(count));
        error = reader.ReadRows(rows.data(), count);
        budget -= static_cast<int64_t>(rows.size());
    }
    if (!error.empty()) {
        Check(error.rfind(path + ": ", 0) == 0 && error.find('\n') == std::string::npos);
        Check(!reader.IsOpen());
    }
    return 0;
}
