// halvane-render with views of any depth: every digit given is kept and
// carried in the pictures' settings; views that are not numbers are refused.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "image_file.h"
#include "picture_files.h"
#include "../command_run.h"

namespace {

namespace fs = std::filesystem;

using Result = test_support::CommandResult;

Result Render(const std::string& arguments) {
    return test_support::RunCommand(std::string(HALVANE_BIN_DIR) + "/halvane-render --quiet " + arguments);
}

class DeepRender : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("halvane-deep-render-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string In(const std::string& name) const { return (folder / name).string(); }
    std::string Comment(const std::string& name) const {
        std::string comment;
        EXPECT_EQ(imaging::ReadImageComment(In(name), comment), "");
        return comment;
    }
    imaging::Picture Picture(const std::string& name) const {
        imaging::Picture picture;
        EXPECT_EQ(imaging::LoadImageFile(In(name), picture), "");
        return picture;
    }
    fs::path folder;
};

TEST_F(DeepRender, ViewsThatAreNotNumbersOrTooDeepAreRefusedInOneLine) {
    const struct {
        const char* arguments;
        const char* line;
    } cases[] = {
        {"--center nan,0", "--center: expected a number, got 'nan'"},
        {"--center 0,-inf", "--center: expected a number, got '-inf'"},
        {"--center 1e400,0", "--center: expected a number, got '1e400'"},
        {"--julia 0.5,NAN", "--julia: expected a number, got 'NAN'"},
        {"--magnification inf", "--magnification: expected a number, got 'inf'"},
        {"--magnification nan", "--magnification: expected a number, got 'nan'"},
        {"--magnification 1e-400", "--magnification: expected a number, got '1e-400'"},
        {"--magnification 1.5e10000", "--magnification: at most 1E10000, got '1.5e10000'"},
        {"--zoom-to infinity --frames 3", "--zoom-to: expected a number, got 'infinity'"},
    };
    for (const auto& c : cases) {
        const Result r = Render(std::string(c.arguments) + " --output " + In("x.png"));
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_EQ(r.output, "halvane-render: " + std::string(c.line) + "\n");
    }
    EXPECT_FALSE(fs::exists(In("x.png")));
}

TEST_F(DeepRender, EveryDigitGivenTravelsInThePicturesAndMakesThemAgain) {
    const std::string x = "0.13182590420532197049128359834517";
    const std::string y = "-0.74364388703715870475219150611477";
    const Result r = Render("--size 16x12 --supersample 2 --center " + x + "," + y +
                            " --magnification 1.5E1000 --julia 0.285000000000000000000001,0.01 --output " +
                            In("deep.png") + " --write-params " + In("deep.vtx"));
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string comment = Comment("deep.png");
    const std::string extension = "\nCenterX=" + x + "\nCenterY=" + y +
                                  "\nMagnification=1.5E1000\nJuliaX=0.285000000000000000000001\nSamples=2\n";
    EXPECT_NE(comment.find(extension), std::string::npos) << comment;
    // The parameter file says the same (CR LF).
    const std::optional<params::SettingsRecord> fromVtx = params::SettingsFromComment(
        "halvane picture settings\nsize 16x12\n" + [&] {
            std::string text;
            FILE* f = fopen(In("deep.vtx").c_str(), "rb");
            char buffer[4096];
            size_t n = 0;
            while (f != nullptr && (n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
            if (f != nullptr) fclose(f);
            return text;
        }());
    ASSERT_TRUE(fromVtx.has_value());
    EXPECT_EQ(fromVtx->samples, 2);

    // Its settings, samples included, make the same picture and settings.
    const Result again = Render("--params " + In("deep.png") + " --output " + In("again.png"));
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(Comment("again.png"), comment);
    EXPECT_TRUE(Picture("again.png") == Picture("deep.png"));
    // Given on the command line, the samples win.
    ASSERT_EQ(Render("--params " + In("deep.png") + " --supersample 1 --output " + In("one.png")).status, 0);
    EXPECT_EQ(Comment("one.png").find("Samples="), std::string::npos);
}

TEST_F(DeepRender, ZoomSequencesGoPastTheDoublesAndEachFrameCarriesItsView) {
    const Result r = Render("--size 8x6 --center 0.25,1E-700 --magnification 1E300 --zoom-to 1E1000 --frames 3 "
                            "--output " + In("f%d.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(Comment("f0.png").find("Magnification="), std::string::npos);  // 1E300: the doubles hold it
    EXPECT_NE(Comment("f1.png").find("\nMagnification=1E650\n"), std::string::npos) << Comment("f1.png");
    EXPECT_NE(Comment("f2.png").find("\nMagnification=1E1000\n"), std::string::npos);
    for (const std::string frame : {"f1.png", "f2.png"}) {
        EXPECT_NE(Comment(frame).find("\nCenterY=1E-700\n"), std::string::npos) << Comment(frame);
        const Result again = Render("--params " + In(frame) + " --output " + In("again-" + frame));
        ASSERT_EQ(again.status, 0) << again.output;
        EXPECT_EQ(Comment("again-" + frame), Comment(frame));
    }
}

}  // namespace
