// Shared pieces of the parameter-file tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "parameter_file.h"

namespace params_test {

class RecordingSink : public engine::MessageSink {
public:
    void ShowMessage(const std::string& text, const std::string& /*title*/ = {}) override {
        shown.push_back(text);
    }
    std::vector<std::string> shown;
};

// The settings a load writes into, as the main window holds them.
struct Settings {
    TIterationContext ctx{};
    bool ParamsValid = false;
    int32_t LastFormulaNo = -7;
    params::NameBuffers names;
    engine::ExactView view;
    int32_t samples = 0;
    params::LoadTarget Target() { return {ctx, ParamsValid, LastFormulaNo, names, &view, &samples}; }
};

// The picture settings of "New", with the view reset.
inline void ApplyNewSettings(TIterationContext& ctx) {
    ctx.RedStep = ctx.GrnStep = ctx.BluStep = 1.0;
    ctx.RedStart = 31.0;
    ctx.GrnStart = 17.0;
    ctx.BluStart = 29.0;
    ctx.RedSaturate = ctx.GrnSaturate = ctx.BluSaturate = 127.0;
    ctx.RedOffset = ctx.GrnOffset = ctx.BluOffset = 127.0;
    ctx.Maxit = 100;
    ctx.Bailout = 4;
    ctx.epsilon = 0.05;
    ctx.ImageWidth = 160;
    ctx.ImageHeight = 120;
    ctx.FormulaNo = 0;
    ctx.RenderNo = 4;
    ctx.ReservedNo = 1;
    ctx.BlendNo = 20;
    ctx.ColorOrderNo = 3;
    ctx.dFactor3 = ctx.dFactor4 = ctx.dFactor5 = 1.0;
    ctx.JuliaMode = ctx.JuliaFixed = ctx.InsideOut = 0;
    ctx.RotationMode = 1;
    ctx.Magnification = ctx.SelMagnification = 1.0;
    ctx.CenterX = ctx.CenterY = 0.0;
    ctx.XMin = ctx.YMin = -2.0;
    ctx.XMax = ctx.YMax = 2.0;
    ctx.FormulaName = "fractal formula";
    ctx.RenderName = "render formula";
}

// Every field the file carries, compared exactly.
inline void ExpectSameFileFields(const TIterationContext& a, const TIterationContext& b) {
    EXPECT_EQ(a.FormulaNo, b.FormulaNo);
    EXPECT_EQ(a.RenderNo, b.RenderNo);
    EXPECT_STREQ(a.FormulaName, b.FormulaName);
    EXPECT_STREQ(a.RenderName, b.RenderName);
    EXPECT_EQ(a.Magnification, b.Magnification);
    EXPECT_EQ(a.CenterX, b.CenterX);
    EXPECT_EQ(a.XMax, b.XMax);
    EXPECT_EQ(a.CenterY, b.CenterY);
    EXPECT_EQ(a.YMax, b.YMax);
    EXPECT_EQ(a.RedStart, b.RedStart);
    EXPECT_EQ(a.GrnStart, b.GrnStart);
    EXPECT_EQ(a.BluStart, b.BluStart);
    EXPECT_EQ(a.RedStep, b.RedStep);
    EXPECT_EQ(a.GrnStep, b.GrnStep);
    EXPECT_EQ(a.BluStep, b.BluStep);
    EXPECT_EQ(a.ReservedNo, b.ReservedNo);
    EXPECT_EQ(a.Maxit, b.Maxit);
    EXPECT_EQ(a.BlendNo, b.BlendNo);
    EXPECT_EQ(a.ColorOrderNo, b.ColorOrderNo);
    EXPECT_EQ(a.dFactor3, b.dFactor3);
    EXPECT_EQ(a.dFactor4, b.dFactor4);
    EXPECT_EQ(a.dFactor5, b.dFactor5);
    EXPECT_EQ(a.epsilon, b.epsilon);
    EXPECT_EQ(a.Bailout, b.Bailout);
    EXPECT_EQ(a.JuliaMode, b.JuliaMode);
    EXPECT_EQ(a.JuliaFixed, b.JuliaFixed);
    EXPECT_EQ(a.InsideOut, b.InsideOut);
    EXPECT_EQ(a.JuliaX, b.JuliaX);
    EXPECT_EQ(a.JuliaY, b.JuliaY);
    EXPECT_EQ(a.RotationMode, b.RotationMode);
    EXPECT_EQ(a.RedSaturate, b.RedSaturate);
    EXPECT_EQ(a.GrnSaturate, b.GrnSaturate);
    EXPECT_EQ(a.BluSaturate, b.BluSaturate);
    EXPECT_EQ(a.RedOffset, b.RedOffset);
    EXPECT_EQ(a.GrnOffset, b.GrnOffset);
    EXPECT_EQ(a.BluOffset, b.BluOffset);
}

inline const std::vector<std::string> kNewFileLines = {
    "version-.001", "0", "4", "0", "fractal formula", "render formula", "reservedtitle",
    "1", "0", "2", "0", "2", "31", "17", "29", "1", "1", "1", "1", "100",
    "20", "3", "1", "1", "1", "0.05", "4", "0", "0", "0", "0", "0", "1",
    "127", "127", "127", "127", "127", "127"};

inline std::string JoinLines(const std::vector<std::string>& lines, const std::string& end) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

// A fresh folder for the test's files, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "params_test_XXXXXX").string();
        if (!mkdtemp(pattern.data())) ADD_FAILURE() << "cannot create a temporary folder";
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& Path() const { return path_; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace params_test
