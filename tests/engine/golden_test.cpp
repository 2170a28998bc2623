// Every golden case: the picture halvane computes from a parameter file must
// equal, pixel for pixel, the one an independent implementation computed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "generation.h"
#include "image_file.h"
#include "image_options.h"
#include "parameter_file.h"
#include "picture_settings.h"

namespace {

namespace fs = std::filesystem;

struct GoldenCase {
    std::string name;
    int32_t width = 0;
    int32_t height = 0;
};

class CollectingHost : public engine::GenerationHost {
public:
    void ShowMessage(const std::string& text, const std::string& title) override {
        messages += (title.empty() ? "" : title + ": ") + text + "\n";
    }
    std::string messages;
};

// Reads cases.tsv: a header line, then "name<TAB>WxH" per case.
std::vector<GoldenCase> ReadCases(const fs::path& list, std::string& error) {
    std::ifstream in(list);
    std::vector<GoldenCase> cases;
    if (!in) {
        error = "cannot open " + list.string();
        return cases;
    }
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        GoldenCase c;
        std::string size;
        char by = 0;
        fields >> c.name >> size;
        std::istringstream dims(size);
        if (c.name.empty() || !(dims >> c.width >> by >> c.height) || by != 'x' || c.width <= 0 ||
            c.height <= 0) {
            error = "malformed line in " + list.string() + ": '" + line + "'";
            return {};
        }
        cases.push_back(c);
    }
    return cases;
}

// As `halvane-render --params FILE --size WxH`: New defaults, reset view,
// the file, the size, the loaded view kept.
std::string Compute(const std::string& params, int32_t width, int32_t height, imaging::Picture& picture) {
    CollectingHost host;
    engine::GenerationCore core(host);
    if (!core.BindPlugin({HALVANE_BIN_DIR})) return "cannot bind the plug-in";
    TIterationContext& ctx = core.Context;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    params::NameBuffers names;
    if (params::LoadParameters(params, {ctx, core.ParamsValid, core.LastFormulaNo, names}, host) !=
        params::LoadOutcome::Loaded) {
        return "cannot load " + params + ": " + host.messages;
    }
    ctx.ImageWidth = width;
    ctx.ImageHeight = height;
    core.LastFormulaNo = ctx.FormulaNo;
    picture = imaging::Picture(width, height);
    core.CurrentImage = &picture;
    if (!core.Generate()) return "the generation did not run";
    return {};
}

// The stored samples, without the correction a gAMA chunk would bring.
std::string ReadStored(const std::string& path, imaging::Picture& picture) {
    bool& correct = imaging::Options().GammaCorrectionOnRead;
    const bool saved = correct;
    correct = false;
    const std::string error = imaging::LoadImageFile(path, picture);
    correct = saved;
    return error;
}

std::string Describe(uint32_t colour) {
    return "(" + std::to_string(imaging::RedOf(colour)) + ", " + std::to_string(imaging::GreenOf(colour)) +
           ", " + std::to_string(imaging::BlueOf(colour)) + ")";
}

TEST(GoldenPictures, EveryCaseGivesEveryPixel) {
    const fs::path folder = HALVANE_GOLDEN_DIR;
    ASSERT_TRUE(fs::is_directory(folder))
        << "the golden pictures are missing: expected them in " << folder.string()
        << " (the shared folder beside the source tree)";
    std::string error;
    const std::vector<GoldenCase> cases = ReadCases(folder / "cases.tsv", error);
    ASSERT_TRUE(error.empty()) << error;
    ASSERT_FALSE(cases.empty()) << "no cases in " << (folder / "cases.tsv").string();

    for (const GoldenCase& c : cases) {
        SCOPED_TRACE("golden case " + c.name);
        imaging::Picture expected;
        const std::string readError = ReadStored((folder / (c.name + ".png")).string(), expected);
        ASSERT_EQ(readError, "");
        ASSERT_EQ(expected.Width(), c.width);
        ASSERT_EQ(expected.Height(), c.height);

        imaging::Picture computed;
        const std::string computeError = Compute((folder / (c.name + ".vtx")).string(), c.width, c.height, computed);
        ASSERT_EQ(computeError, "");
        if (computed == expected) continue;

        int64_t differing = 0;
        std::string first;
        for (int32_t row = 0; row < c.height; ++row) {
            for (int32_t column = 0; column < c.width; ++column) {
                const uint32_t want = expected.Pixel(column, row);
                const uint32_t got = computed.Pixel(column, row);
                if (want == got) continue;
                if (differing++ == 0) {
                    first = "column " + std::to_string(column) + ", row " + std::to_string(row) +
                            ": expected " + Describe(want) + ", computed " + Describe(got);
                }
            }
        }
        ADD_FAILURE() << c.name << ": " << differing << " of " << int64_t{c.width} * c.height
                      << " pixels differ; the first at " << first;
    }
}

}  // namespace
