// halvane-render from the outside: arguments, exit statuses, files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "generation.h"
#include "image_file.h"
#include "picture_settings.h"
#include "../command_run.h"

namespace {

namespace fs = std::filesystem;

using Result = test_support::CommandResult;

Result RunRender(const std::string& arguments) {
    return test_support::RunCommand(std::string(HALVANE_BIN_DIR) + "/halvane-render " + arguments);
}

class RenderTool : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("halvane-render-test-" + std::to_string(getpid()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string In(const std::string& name) const { return (folder / name).string(); }
    fs::path folder;
};

TEST_F(RenderTool, BadArgumentsNameTheArgumentAndExitWithTwo) {
    const struct {
        const char* arguments;
        const char* named;
    } cases[] = {
        {"--formula 8 --output x.png", "--formula"},
        {"--render 0 --output x.png", "--render"},
        {"--blend 27 --output x.png", "--blend"},
        {"--size 10 --output x.png", "--size"},
        {"--size 0x10 --output x.png", "--size"},
        {"--center 1 --output x.png", "--center"},
        {"--magnification 0 --output x.png", "--magnification"},
        {"--maxit abc --output x.png", "--maxit"},
        {"--colour 3 --output x.png", "--colour"},
        {"--formula 1", "--output"},
        {"--output picture.xyz", "--output"},
        {"--supersample 5 --output x.png", "--supersample"},
        {"--zoom-to 0 --frames 3 --output f%d.png", "--zoom-to"},
        {"--zoom-to 9 --frames 3 --output f.png", "--output"},
        {"--zoom-to 9 --frames 3 --output f%d-%d.png", "--output"},
        {"--zoom-to 9 --frames 3 --first 2 --last 5 --output f%d.png", "--first/--last"},
        // Frames are numbered 0 to N-1: frame N is none of them.
        {"--zoom-to 9 --frames 3 --last 3 --output f%d.png", "--first/--last"},
        {"--zoom-to 9 --frames 3 --first 2 --last 1 --output f%d.png", "--first/--last"},
        {"--zoom-to 9 --frames 3 --part 4/4 --output f%d.png", "--part"},
        {"--zoom-to 9 --frames 3 --part 0/2 --output f%d.png", "--part"},
        {"--zoom-to 9 --frames 3 --part 1/2 --first 0 --output f%d.png", "--part"},
        {"--part 1/2 --output f.png", "--zoom-to"},
        {"--zoom-to 9 --frames 3 --keyframes k.txt --output f%d.png", "--keyframes"},
        {"--keyframes k.txt --frames 3 --output f%d.png", "--frames"},
        {"--keyframes k.txt --output f.png", "--output"},
        {"--video f.mp4 --output f.png", "--video"},
        {"--zoom-to 9 --frames 3 --video f.avi", "--video"},
        {"--zoom-to 9 --frames 3 --video f.mp4 --crf 52", "--crf"},
        {"--zoom-to 9 --frames 3 --video f.webm --crf 64", "--crf"},
        {"--zoom-to 9 --frames 3 --video f.mp4 --fps 0", "--fps"},
        {"--zoom-to 9 --frames 3 --fps 25 --output f%d.png", "--fps"},
        {"--zoom-to 9 --frames 3 --crf 20 --output f%d.png", "--crf"},
        {"--zoom-to 9 --frames 3 --video f.mp4 --output f.png", "--output"},
        {"--tile 0/3 --output t.tif", "--tile"},
        {"--tile 4/3 --output t.tif", "--tile"},
        {"--tile 1/3 --output t.bmp", "--tile"},
        {"--tile 1/3 --zoom-to 9 --frames 3 --output t%d.tif", "--tile"},
        {"--size 20000x15000 --output big.jpg", "--size"},
        {"--size 20000x15000 --zoom-to 9 --frames 3 --output f%d.tif", "--size"},
        {"--join-video f.mp4", "--join-video"},
        {"--join-video f.avi a.mp4", "--join-video"},
        {"--join-video f.mp4 a.mp4 --output x.png", "--join-video"},
        {"--join-tiles t.xyz a.tif", "--join-tiles"},
        {"--join-tiles t.tif a.tif --join-video f.mp4", "--join-video"},
        {"--output x.png stray", "stray"},
        {"--zoom-to 9 --output f%d.png", "--frames"},
    };
    for (const auto& c : cases) {
        const Result r = RunRender(c.arguments);
        EXPECT_EQ(r.status, 2) << c.arguments;
        EXPECT_NE(r.output.find(c.named), std::string::npos) << r.output;
        EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
    }
}

TEST_F(RenderTool, HelpPrintsTheUsage) {
    const Result r = RunRender("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("Usage: halvane-render"), std::string::npos);
}

TEST_F(RenderTool, WritesThePictureTheCoreComputes) {
    const Result r = RunRender("--size 64x48 --formula 7 --render 5 --blend 13 --order 2 --maxit 300 "
                               "--center -0.1,0.2 --magnification 1.5 --rotation 2 --threads 2 --quiet "
                               "--output " + In("seven.ppm"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(r.output.empty()) << r.output;
    imaging::Picture written;
    ASSERT_EQ(imaging::LoadImageFile(In("seven.ppm"), written), "");

    engine::GenerationHost host;
    engine::GenerationCore core(host);
    ASSERT_TRUE(core.BindPlugin({HALVANE_BIN_DIR}));
    TIterationContext& ctx = core.Context;
    engine::ApplyNewDefaults(ctx);
    engine::ResetCoordinates(ctx);
    ctx.ImageWidth = 64;
    ctx.ImageHeight = 48;
    ctx.FormulaNo = 7;
    ctx.RenderNo = 5;
    ctx.BlendNo = 13;
    ctx.ColorOrderNo = 2;
    ctx.Maxit = 300;
    ctx.CenterX = -0.1;
    ctx.CenterY = 0.2;
    ctx.Magnification = 1.5;
    ctx.RotationMode = 2;
    core.LastFormulaNo = 7;
    imaging::Picture expected(64, 48);
    core.CurrentImage = &expected;
    core.Generate();
    EXPECT_TRUE(written == expected);
}

TEST_F(RenderTool, JuliaAndNegativeValues) {
    const Result r = RunRender("--size 32x24 --julia -0.75,0.1 --center -0.5,-0.25 --inside-out --quiet "
                               "--output " + In("julia.png"));
    ASSERT_EQ(r.status, 0) << r.output;
    imaging::Picture picture;
    EXPECT_EQ(imaging::LoadImageFile(In("julia.png"), picture), "");
    EXPECT_EQ(picture.Width(), 32);
}

TEST_F(RenderTool, FailedWriteExitsWithOneAndLeavesNoFile) {
    const std::string target = In("missing-folder/picture.png");
    const Result r = RunRender("--size 8x8 --quiet --output " + target);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("picture.png"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(RenderTool, ParameterFileInAndOut) {
    const Result first = RunRender("--size 40x30 --formula 2 --blend 7 --maxit 77 --quiet --output " +
                                   In("a.png") + " --write-params " + In("a.vtx"));
    ASSERT_EQ(first.status, 0) << first.output;
    ASSERT_TRUE(fs::exists(In("a.vtx")));
    const Result second =
        RunRender("--params " + In("a.vtx") + " --size 40x30 --quiet --output " + In("b.png"));
    ASSERT_EQ(second.status, 0) << second.output;
    imaging::Picture a, b;
    ASSERT_EQ(imaging::LoadImageFile(In("a.png"), a), "");
    ASSERT_EQ(imaging::LoadImageFile(In("b.png"), b), "");
    EXPECT_TRUE(a == b);
    const Result missing = RunRender("--params " + In("nothing.vtx") + " --quiet --output " + In("c.png"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(fs::exists(In("c.png")));
}

// Past where doubles separate pixels the deep path computes, whatever the
// thread count and with several samples per pixel; limits up to a million.
TEST_F(RenderTool, DeepViewsAndLimitsUpToAMillion) {
    const std::string view = "--size 24x18 --rotation 0 --center -0.15248775721021457,1.1034462393667825 "
                             "--magnification 1e14 --maxit 400 --quiet ";
    ASSERT_EQ(RunRender(view + "--threads 1 --output " + In("one.png")).status, 0);
    ASSERT_EQ(RunRender(view + "--threads 2 --output " + In("two.png")).status, 0);
    ASSERT_EQ(RunRender(view + "--supersample 2 --output " + In("smooth.png")).status, 0);
    imaging::Picture one, two, smooth;
    ASSERT_EQ(imaging::LoadImageFile(In("one.png"), one), "");
    ASSERT_EQ(imaging::LoadImageFile(In("two.png"), two), "");
    ASSERT_EQ(imaging::LoadImageFile(In("smooth.png"), smooth), "");
    EXPECT_TRUE(one == two);
    // Doubles give blocks of a few colours here; the deep path a picture.
    for (const imaging::Picture* p : {&one, &smooth}) {
        std::set<uint32_t> colours;
        for (int32_t y = 0; y < p->Height(); ++y)
            for (int32_t x = 0; x < p->Width(); ++x)
                colours.insert(uint32_t{p->Row(y)[x * 3]} << 16 | uint32_t{p->Row(y)[x * 3 + 1]} << 8 | p->Row(y)[x * 3 + 2]);
        EXPECT_GT(colours.size(), 60u);
    }
    const Result big = RunRender("--size 2x1 --maxit 1000000 --magnification 1e6 --quiet --output " + In("big.png") +
                                 " --write-params " + In("big.vtx"));
    ASSERT_EQ(big.status, 0) << big.output;
    std::ifstream params(In("big.vtx"));
    std::string line;
    bool limit = false;
    while (std::getline(params, line)) limit = limit || line.rfind("1000000", 0) == 0;
    EXPECT_TRUE(limit);
    EXPECT_NE(RunRender("--help").output.find("larger than 1000000 is lowered"), std::string::npos);
}

TEST_F(RenderTool, ZoomFramesAreTheSameWhereverMadeAndCarryTheirSettings) {
    const std::string common = "--size 48x36 --formula 0 --rotation 0 --center -0.745,0.11 --maxit 300 --quiet "
                               "--zoom-to 50 --frames 4 ";
    fs::create_directories(folder / "all");
    fs::create_directories(folder / "part");
    ASSERT_EQ(RunRender(common + "--output " + In("all/f-%03d.png")).status, 0);
    const Result part = RunRender(common + "--first 1 --last 2 --output " + In("part/f-%03d.png"));
    ASSERT_EQ(part.status, 0) << part.output;
    EXPECT_FALSE(fs::exists(In("part/f-000.png")));
    EXPECT_FALSE(fs::exists(In("part/f-003.png")));
    imaging::Picture whole, alone, again;
    ASSERT_EQ(imaging::LoadImageFile(In("all/f-002.png"), whole), "");
    ASSERT_EQ(imaging::LoadImageFile(In("part/f-002.png"), alone), "");
    EXPECT_TRUE(whole == alone);

    // The frame's own settings, size included, make the same picture again.
    const Result single = RunRender("--params " + In("all/f-002.png") + " --quiet --output " + In("single.png"));
    ASSERT_EQ(single.status, 0) << single.output;
    ASSERT_EQ(imaging::LoadImageFile(In("single.png"), again), "");
    EXPECT_TRUE(again == whole);
    // And so does one picture at that frame's magnification, 50^(2/3), as
    // the settings hold it (15 significant digits).
    const Result byMagnification =
        RunRender("--size 48x36 --formula 0 --rotation 0 --center -0.745,0.11 --maxit 300 --quiet "
                  "--magnification 13.5720880829745 --output " + In("m.png"));
    ASSERT_EQ(byMagnification.status, 0) << byMagnification.output;
    imaging::Picture atMagnification;
    ASSERT_EQ(imaging::LoadImageFile(In("m.png"), atMagnification), "");
    EXPECT_TRUE(atMagnification == whole);
    imaging::Picture first, last;
    ASSERT_EQ(imaging::LoadImageFile(In("all/f-000.png"), first), "");
    ASSERT_EQ(imaging::LoadImageFile(In("all/f-003.png"), last), "");
    EXPECT_FALSE(first == last);

    // A picture without settings gives one line and no picture.
    ASSERT_EQ(RunRender("--size 8x8 --quiet --output " + In("plain.bmp")).status, 0);
    const Result without = RunRender("--params " + In("plain.bmp") + " --quiet --output " + In("x.png"));
    EXPECT_EQ(without.status, 1);
    EXPECT_NE(without.output.find("carries no halvane settings"), std::string::npos) << without.output;
    EXPECT_EQ(std::count(without.output.begin(), without.output.end(), '\n'), 1) << without.output;
    EXPECT_FALSE(fs::exists(In("x.png")));
}

}  // namespace
