// halvane-render's films, tiles and big pictures from the outside: runs of
// the program, the files they leave, and ffmpeg's own tools looking at them.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "image_file.h"

extern char** environ;
#include "../command_run.h"

namespace {

namespace fs = std::filesystem;

using Result = test_support::CommandResult;

Result Run(const std::string& command) { return test_support::RunCommand(command); }

const std::string kRender = std::string(HALVANE_BIN_DIR) + "/halvane-render";

Result Render(const std::string& arguments, const std::string& environment = "") {
    return Run(environment + " " + kRender + " " + arguments);
}

int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

imaging::Picture Load(const fs::path& path) {
    imaging::Picture picture;
    EXPECT_EQ(imaging::LoadImageFile(path.string(), picture), "");
    return picture;
}

// The frames ffprobe counts in a film.
int CountedFrames(const fs::path& film) {
    const Result r = Run("ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames "
                         "-of csv=p=0 '" + film.string() + "'");
    return r.status == 0 ? std::atoi(r.output.c_str()) : -1;
}

// A checksum of every decoded frame: lossless films (--crf 0) made of the
// same frames decode alike, however they were cut into parts.
std::string DecodedFrames(const fs::path& film) {
    return Run("ffmpeg -v error -i '" + film.string() + "' -f framemd5 - | grep -v '^#' | cut -d, -f6").output;
}

class Films : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("halvane-film-test-" + std::to_string(getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string In(const std::string& name) const { return (folder / name).string(); }
    // The names in the folder (or one of its folders), sorted.
    std::vector<std::string> Names(const std::string& sub = "") const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder / sub)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder;
};

TEST_F(Films, KeyframeFramesMadeInPartsAreTheFramesOfOneRunAndEachCanBeMadeAlone) {
    // Three keys: two pictures and a parameter file with another formula.
    ASSERT_EQ(Render("--size 48x36 --formula 0 --rotation 0 --center -0.5,0 --maxit 60 --quiet --output " +
                     In("k0.png")).status, 0);
    ASSERT_EQ(Render("--size 48x36 --formula 1 --render 5 --blend 13 --center -0.7,0.2 --magnification 30 "
                     "--maxit 300 --julia -0.4,0.6 --quiet --output " + In("k1.png")).status, 0);
    ASSERT_EQ(Render("--size 48x36 --formula 0 --rotation 0 --center -0.745,0.11 --magnification 400 --maxit 500 "
                     "--quiet --output " + In("k2.png")).status, 0);
    fs::create_directories(folder / "keys");
    ASSERT_EQ(Render("--params " + In("k1.png") + " --quiet --output " + In("x.png") + " --write-params " +
                     In("keys/k1.vtx")).status, 0);
    std::ofstream(In("keys/film.txt")) << "# three keys\n0 ../k0.png\n3 k1.vtx\n7 ../k2.png\n";
    fs::create_directories(folder / "one");
    fs::create_directories(folder / "parts");
    const std::string film = "--keyframes " + In("keys/film.txt") + " --quiet ";
    const Result one = Render(film + "--output " + In("one/f-%02d.png"));
    ASSERT_EQ(one.status, 0) << one.output;
    // Three "hosts", in any order.
    for (const char* part : {"--part 3/3", "--first 0 --last 2", "--first 3 --last 4"}) {
        const Result r = Render(film + part + " --output " + In("parts/f-%02d.png"));
        ASSERT_EQ(r.status, 0) << part << ": " << r.output;
    }
    ASSERT_EQ(Names("one").size(), 8u);
    ASSERT_EQ(Names("parts"), Names("one"));
    for (const std::string& name : Names("one")) {
        EXPECT_EQ(Bytes(folder / "parts" / name), Bytes(folder / "one" / name)) << name;
    }
    // The keys' own pictures come back at the keys' frames; between them the film moves.
    EXPECT_TRUE(Load(folder / "one/f-00.png") == Load(In("k0.png")));
    EXPECT_TRUE(Load(folder / "one/f-07.png") == Load(In("k2.png")));
    EXPECT_FALSE(Load(folder / "one/f-05.png") == Load(folder / "one/f-06.png"));
    // Any frame, made alone from the settings it carries, is the same file.
    for (const char* name : {"f-02.png", "f-05.png"}) {
        const Result alone = Render("--params " + In(std::string("one/") + name) + " --quiet --output " + In("alone.png"));
        ASSERT_EQ(alone.status, 0) << alone.output;
        EXPECT_EQ(Bytes(In("alone.png")), Bytes(folder / "one" / name)) << name;
    }
    // A part outside the film, and a list that cannot make one.
    const Result outside = Render(film + "--first 6 --last 8 --output " + In("parts/f-%02d.png"));
    EXPECT_EQ(outside.status, 2);
    EXPECT_NE(outside.output.find("frames 6 to 8 are not within 0 to 7"), std::string::npos) << outside.output;
    std::ofstream(In("keys/bad.txt")) << "0 ../k0.png\n5 missing.vtx\n";
    const Result missing = Render("--keyframes " + In("keys/bad.txt") + " --quiet --output " + In("b-%d.png"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("bad.txt:2: the key of frame 5 cannot be read"), std::string::npos)
        << missing.output;
}

TEST_F(Films, PartsOfAFilmJoinInFrameOrderIntoTheFilmOfOneRun) {
    const std::string zoom = "--size 64x48 --formula 0 --rotation 0 --center -0.745,0.11 --maxit 100 --quiet "
                             "--zoom-to 40 --frames 6 --crf 0 ";
    ASSERT_EQ(Render(zoom + "--video " + In("one.mp4")).status, 0);
    EXPECT_EQ(CountedFrames(In("one.mp4")), 6);
    ASSERT_EQ(Render(zoom + "--first 0 --last 2 --video " + In("a.mp4")).status, 0);
    ASSERT_EQ(Render(zoom + "--first 3 --last 5 --video " + In("b.mp4") + " --output " + In("b-%d.png")).status, 0);
    EXPECT_EQ(CountedFrames(In("b.mp4")), 3);
    EXPECT_TRUE(fs::exists(In("b-5.png")));
    // Given the wrong way round, the parts go in frame order.
    const Result joined = Render("--join-video " + In("film.mp4") + " " + In("b.mp4") + " " + In("a.mp4"));
    ASSERT_EQ(joined.status, 0) << joined.output;
    EXPECT_EQ(CountedFrames(In("film.mp4")), 6);
    EXPECT_EQ(DecodedFrames(In("film.mp4")), DecodedFrames(In("one.mp4")));
    EXPECT_EQ(Lines(DecodedFrames(In("film.mp4"))), 6);

    ASSERT_EQ(Render("--size 64x48 --quiet --zoom-to 3 --frames 4 --crf 0 --first 3 --last 3 --video " +
                     In("other.mp4")).status, 0);
    const struct {
        std::string parts;
        const char* says;
    } bad[] = {
        {In("a.mp4"), "frames 3 to 5 of 6 are in no part"},
        {In("b.mp4"), "frames 0 to 2 of 6 are in no part"},
        {In("a.mp4") + " " + In("b.mp4") + " " + In("b.mp4"), "frames 3 to 5 are in both"},
        {In("a.mp4") + " " + In("b.mp4") + " " + In("other.mp4"), "is a part of another film"},
        {In("a.mp4") + " " + In("b-3.png"), "b-3.png (png 64x48 rgb24 25/1 frames/s) is not like"},
        {In("a.mp4") + " " + In("nothing.mp4"), "nothing.mp4: not a film ffprobe can read"},
    };
    for (const auto& c : bad) {
        const Result r = Render("--join-video " + In("bad.mp4") + " " + c.parts);
        EXPECT_EQ(r.status, 1) << c.parts;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        EXPECT_EQ(Lines(r.output), 1) << r.output;
        EXPECT_FALSE(fs::exists(In("bad.mp4")));
    }
}

TEST_F(Films, AFilmThatCannotBeFinishedLeavesNoFile) {
    const std::string zoom = "--size 64x48 --quiet --zoom-to 3 --frames 3 --video " + In("film.mp4");
    // No ffmpeg at all.
    const Result none = Render(zoom, "PATH=/nonexistent");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.output.find("needs the program ffmpeg, which is not installed (Debian package \"ffmpeg\")"),
              std::string::npos) << none.output;
    EXPECT_EQ(Lines(none.output), 1);
    // An ffmpeg that gives up at once, and one that fails at the end.
    fs::create_directories(folder / "bin");
    for (const char* script : {"#!/bin/sh\nexit 3\n", "#!/bin/sh\ncat >/dev/null\nexit 3\n"}) {
        std::ofstream(folder / "bin/ffmpeg") << script;
        fs::permissions(folder / "bin/ffmpeg", fs::perms::owner_all);
        const Result failing = Render(zoom, "PATH=" + In("bin") + ":$PATH");
        EXPECT_EQ(failing.status, 1) << script;
        EXPECT_NE(failing.output.find("Cannot write film: " + In("film.mp4")), std::string::npos) << failing.output;
        EXPECT_EQ(Names(), std::vector<std::string>{"bin"});
    }
    // A size H.264 cannot take.
    const Result odd = Render("--size 63x48 --quiet --zoom-to 3 --frames 3 --video " + In("film.mp4"));
    EXPECT_EQ(odd.status, 1);
    EXPECT_NE(odd.output.find("need an even width and height, not 63x48"), std::string::npos) << odd.output;
    EXPECT_EQ(Names(), std::vector<std::string>{"bin"});
}

TEST_F(Films, AnInterruptedRunLeavesWholeFramesAndNoFilm) {
    const std::vector<std::string> argv = {kRender,   "--size",  "96x72",   "--maxit",    "20000", "--quiet",
                                           "--zoom-to", "50",    "--frames", "400",       "--video", In("film.mp4"),
                                           "--output", In("f-%03d.png")};
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, kRender.c_str(), nullptr, nullptr, args.data(), environ), 0);
    // Once a frame is whole, the run is well under way.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(In("f-001.png")) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(fs::exists(In("f-001.png")));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    // Only whole frames: every file is a frame that reads.
    for (const std::string& name : Names()) {
        EXPECT_EQ(name.rfind("f-", 0), 0u) << name;
        imaging::Picture frame;
        EXPECT_EQ(imaging::LoadImageFile(In(name), frame), "") << name;
    }
    EXPECT_LT(Names().size(), 400u);
}

TEST_F(Films, TilesJoinIntoThePictureMadeInOneRun) {
    for (const std::string extension : {"tif", "png"}) {
        SCOPED_TRACE(extension);
        const std::string picture = "--size 71x53 --formula 7 --julia 0.2,0.4 --render 5 --blend 13 --supersample 2 "
                                    "--quiet ";
        ASSERT_EQ(Render(picture + "--output " + In("whole." + extension)).status, 0);
        std::string tiles;
        for (int i = 1; i <= 3; ++i) {
            const std::string tile = In("tile-" + std::to_string(i) + "." + extension);
            const Result r = Render(picture + "--tile " + std::to_string(i) + "/3 --output " + tile);
            ASSERT_EQ(r.status, 0) << r.output;
            tiles = tile + " " + tiles;  // the wrong way round
        }
        EXPECT_EQ(Load(In("tile-2." + extension)).Height(), 18);
        const Result joined = Render("--quiet --join-tiles " + In("joined." + extension) + " " + tiles);
        ASSERT_EQ(joined.status, 0) << joined.output;
        EXPECT_EQ(Bytes(In("joined." + extension)), Bytes(In("whole." + extension)));
        // A tile carries the whole picture's settings.
        ASSERT_EQ(Render("--params " + In("tile-1." + extension) + " --output " + In("again." + extension)).status, 0);
        EXPECT_EQ(Bytes(In("again." + extension)), Bytes(In("whole." + extension)));
    }
    ASSERT_EQ(Render("--size 71x53 --quiet --tile 1/3 --output " + In("foreign.tif")).status, 0);
    const struct {
        std::string tiles;
        const char* says;
    } bad[] = {
        {In("tile-1.tif") + " " + In("tile-3.tif"), "tile 2 of 3 is missing"},
        {In("tile-1.tif"), "tiles 2, 3 of 3 are missing"},
        {In("tile-1.tif") + " " + In("tile-2.tif") + " " + In("tile-2.tif") + " " + In("tile-3.tif"),
         "tile 2/3 is given twice"},
        {In("tile-2.tif") + " " + In("foreign.tif"), "foreign.tif is a tile of another picture than"},
        {In("whole.tif"), "whole.tif: not a tile made by halvane-render --tile"},
        {In("tile-1.png") + " " + In("tile-2.png") + " " + In("nothing.png"), "nothing.png"},
    };
    for (const auto& c : bad) {
        const Result r = Render("--join-tiles " + In("bad.tif") + " " + c.tiles);
        EXPECT_EQ(r.status, 1) << c.tiles;
        EXPECT_NE(r.output.find(c.says), std::string::npos) << r.output;
        EXPECT_EQ(Lines(r.output), 1) << r.output;
        EXPECT_FALSE(fs::exists(In("bad.tif")));
    }
}

TEST_F(Films, PicturesLargerThanAPictureAreWrittenABandAtATime) {
    // 300 million pixels: one row of it, as a tile, shows the size is taken.
    const Result row = Render("--size 20000x15000 --maxit 5 --quiet --tile 1/15000 --output " + In("row.tif"));
    ASSERT_EQ(row.status, 0) << row.output;
    const imaging::Picture first = Load(In("row.tif"));
    EXPECT_EQ(first.Width(), 20000);
    EXPECT_EQ(first.Height(), 1);
    // Formats written whole keep the limit.
    const Result whole = Render("--size 20000x15000 --quiet --output " + In("big.bmp"));
    EXPECT_EQ(whole.status, 2);
    EXPECT_NE(whole.output.find("--size: 20000x15000 has more pixels than a picture may have"), std::string::npos);
    EXPECT_FALSE(fs::exists(In("big.bmp")));
}

}  // namespace
