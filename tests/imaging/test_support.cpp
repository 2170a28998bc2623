#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace imaging::test {

Picture Pattern(int32_t width, int32_t height) {
    Picture picture(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            picture.SetPixel(x, y, PackColour(static_cast<uint8_t>(x * 37 + y * 11), static_cast<uint8_t>(x * 5 + y * 53),
                                              static_cast<uint8_t>(255 - x * 13 - y * 29)));
        }
    }
    return picture;
}

Picture GreyPattern(int32_t width, int32_t height) {
    Picture picture(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const auto level = static_cast<uint8_t>(x * 41 + y * 17);
            picture.SetPixel(x, y, PackColour(level, level, level));
        }
    }
    return picture;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    return names;
}

std::string Fixture(const std::string& name) { return std::string(HALVANE_IMAGING_FIXTURES) + "/" + name; }

int MaxDifference(const Picture& a, const Picture& b) {
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    if (a.Bytes().size() != b.Bytes().size()) return 256;
    int most = 0;
    for (size_t i = 0; i < a.Bytes().size(); ++i) most = std::max(most, std::abs(a.Bytes()[i] - b.Bytes()[i]));
    return most;
}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "halvane-imaging-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

void ExpectRefused(const Malformed& malformed, const std::string& fileName) {
    const Picture before = Pattern(2, 2);
    Picture picture = before;
    const std::string error = LoadImageMemory(malformed.bytes.data(), malformed.bytes.size(), fileName, picture);
    EXPECT_EQ(error.rfind(fileName + ": ", 0), 0u) << error;
    EXPECT_NE(error.find(malformed.expected), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(picture, before);
}

Picture RoundTrip(const Picture& picture, const std::string& name, ImageInfo* info) {
    std::vector<uint8_t> bytes;
    const std::string saveError = EncodeImage(picture, name, bytes);
    EXPECT_EQ(saveError, "");
    Picture decoded;
    const std::string loadError = LoadImageMemory(bytes.data(), bytes.size(), name, decoded, info);
    EXPECT_EQ(loadError, "");
    return decoded;
}

}  // namespace imaging::test
