// Replays fuzz/regressions: one file per fault a reader had. Each is read
// as the fuzzers read their inputs: decoded, or refused in one line that
// names the file with the picture untouched, and never with much memory.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <filesystem>

#include "band_reader.h"
#include "test_support.h"

namespace imaging {
namespace {

std::vector<std::string> RegressionFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(HALVANE_REGRESSIONS)) {
        if (entry.is_regular_file() && CanLoad(entry.path().string())) files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
    std::string name = info.param.substr(std::string(HALVANE_REGRESSIONS).size() + 1);
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

int64_t PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

class Regression : public testing::TestWithParam<std::string> {};

TEST_P(Regression, IsReadOrRefusedInOneLineWithLittleMemory) {
    const std::string& path = GetParam();
    const int64_t before = PeakKilobytes();
    const Picture untouched = test::Pattern(1, 1);
    Picture picture = untouched;
    ImageInfo info;
    const std::string error = LoadImageFile(path, picture, &info);
    if (error.empty()) {
        EXPECT_FALSE(picture.Empty());
        EXPECT_EQ(info.Width, picture.Width());
        EXPECT_EQ(info.Height, picture.Height());
    } else {
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(picture, untouched);
    }
    // These files are a few hundred bytes whatever they claim.
    EXPECT_LT(PeakKilobytes() - before, 64 * 1024) << error;
}

// The comment reader and the band reader take the same files.
TEST_P(Regression, CommentAndBandsAreReadOrRefusedInOneLine) {
    const std::string& path = GetParam();
    const int64_t before = PeakKilobytes();
    std::string comment = "before";
    const std::string error = ReadImageComment(path, comment);
    if (!error.empty()) {
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(comment, "before");
    }
    BandReader reader;
    std::string bandError = reader.Open(path);
    std::vector<uint8_t> rows;
    while (bandError.empty() && reader.RowsRead() < reader.Height()) {
        const int32_t count = std::min(16, reader.Height() - reader.RowsRead());
        rows.resize(size_t{3} * static_cast<uint32_t>(reader.Width()) * static_cast<uint32_t>(count));
        bandError = reader.ReadRows(rows.data(), count);
    }
    if (!bandError.empty()) {
        EXPECT_EQ(bandError.rfind(path + ": ", 0), 0u) << bandError;
        EXPECT_EQ(bandError.find('\n'), std::string::npos) << bandError;
    }
    EXPECT_LT(PeakKilobytes() - before, 64 * 1024) << bandError;
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Regression, testing::ValuesIn(RegressionFiles()), TestName);

}  // namespace
}  // namespace imaging
