// Helpers shared by the picture-file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "image_file.h"
#include "image_options.h"
#include "picture.h"

namespace imaging::test {

// A picture whose every pixel differs from its neighbours in all channels.
Picture Pattern(int32_t width, int32_t height);

// A picture with only grey pixels (red = green = blue).
Picture GreyPattern(int32_t width, int32_t height);

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<std::string> FolderEntries(const std::string& folder);

// Path of a committed fixture file.
std::string Fixture(const std::string& name);

// Largest difference of any channel of any pixel; the pictures must be of one size.
int MaxDifference(const Picture& a, const Picture& b);

// A fresh folder removed with its contents at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Restores the process-wide options at the end of the test.
class OptionsGuard {
public:
    OptionsGuard() : saved_(Options()) {}
    ~OptionsGuard() { Options() = saved_; }

private:
    ImageFileOptions saved_;
};

// A malformed file, the name of its fault, and a part of the refusal.
struct Malformed {
    std::string name;
    std::vector<uint8_t> bytes;
    std::string expected;
};
std::vector<uint8_t> Text(const std::string& text);
inline std::string MalformedName(const testing::TestParamInfo<Malformed>& info) { return info.param.name; }
inline void PrintTo(const Malformed& malformed, std::ostream* out) { *out << malformed.name; }

// Loads the bytes as `fileName`: they must be refused in one line that
// starts with the name and holds the expected part, the picture untouched.
void ExpectRefused(const Malformed& malformed, const std::string& fileName);

// Encodes with the current options and decodes the bytes again.
Picture RoundTrip(const Picture& picture, const std::string& name, ImageInfo* info = nullptr);

}  // namespace imaging::test
