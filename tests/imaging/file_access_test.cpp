// Opening and replacing files, for pictures and parameter files alike.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "band_writer.h"
#include "parameter_file.h"
#include "test_support.h"

namespace imaging {
namespace {

using test::TempFolder;

// The two kinds of file the program saves, each written the same way.
struct Writer {
    const char* name;
    const char* extension;
    std::string (*write)(const std::string& path);
};

std::string SavePicture(const std::string& path) { return SaveImageFile(test::Pattern(3, 2), path); }

std::string SaveInBands(const std::string& path) {
    const Picture picture = test::Pattern(3, 2);
    BandWriter writer;
    if (std::string error = writer.Open(path, 3, 2, "comment"); !error.empty()) return error;
    for (int32_t y = 0; y < 2; ++y) {
        if (std::string error = writer.WriteRows(picture.Row(y), 1); !error.empty()) return error;
    }
    return writer.Finish();
}

std::string SaveParameters(const std::string& path) {
    TIterationContext ctx{};
    ctx.Maxit = 321;
    return params::WriteParameterFile(path, ctx, '.');
}

class ReplaceFile : public testing::TestWithParam<Writer> {
protected:
    std::string File(const std::string& stem) const { return folder_.File(stem + GetParam().extension); }
    std::string Write(const std::string& path) const { return GetParam().write(path); }
    // What the writer puts into a file of its own.
    std::vector<uint8_t> Contents() const {
        TempFolder elsewhere;
        const std::string path = elsewhere.File(std::string("fresh") + GetParam().extension);
        EXPECT_EQ(GetParam().write(path), "");
        return test::ReadBytes(path);
    }
    static struct stat Status(const std::string& path) {
        struct stat status {};
        EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
        return status;
    }

    TempFolder folder_;
    const std::vector<uint8_t> old_ = {'o', 'l', 'd'};
};

TEST_P(ReplaceFile, SymbolicLinkStaysAndItsTargetGetsTheContents) {
    ASSERT_EQ(mkdir(folder_.File("real").c_str(), 0755), 0);
    const std::string target = File("real/target");
    test::WriteBytes(target, old_);
    const std::string link = File("link");
    ASSERT_EQ(symlink((std::string("real/target") + GetParam().extension).c_str(), link.c_str()), 0);
    ASSERT_EQ(Write(link), "");
    EXPECT_TRUE(S_ISLNK(Status(link).st_mode));
    EXPECT_EQ(test::ReadBytes(target), Contents());
    // A link to a file not yet there makes that file.
    const std::string dangling = File("dangling");
    ASSERT_EQ(symlink("made-by-saving", dangling.c_str()), 0);
    ASSERT_EQ(Write(dangling), "");
    EXPECT_EQ(test::ReadBytes(folder_.File("made-by-saving")), Contents());
    EXPECT_EQ(test::FolderEntries(folder_.Path()).size(), 4u);
}

TEST_P(ReplaceFile, HardLinksAllSeeTheNewContents) {
    const std::string first = File("first");
    const std::string second = File("second");
    // Longer than the new contents: the file is cut to their length.
    test::WriteBytes(first, std::vector<uint8_t>(100000, 'x'));
    ASSERT_EQ(link(first.c_str(), second.c_str()), 0);
    ASSERT_EQ(Write(first), "");
    EXPECT_EQ(Status(first).st_ino, Status(second).st_ino);
    EXPECT_EQ(test::ReadBytes(second), Contents());
    EXPECT_EQ(test::FolderEntries(folder_.Path()).size(), 2u);
}

TEST_P(ReplaceFile, ReadOnlyFileIsRefusedEvenInAWritableFolder) {
    const std::string path = File("kept");
    test::WriteBytes(path, old_);
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    const std::string error = Write(path);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(test::ReadBytes(path), old_);
    EXPECT_EQ(test::FolderEntries(folder_.Path()).size(), 1u);
}

TEST_P(ReplaceFile, ReplacedFileKeepsOwnerAndMode) {
    const std::string path = File("owned");
    test::WriteBytes(path, old_);
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    // Only the superuser can give a file away; others check the mode alone.
    const bool giveAway = geteuid() == 0;
    if (giveAway) {
        ASSERT_EQ(chown(path.c_str(), 4321, 4322), 0);
    }
    const struct stat before = Status(path);
    ASSERT_EQ(Write(path), "");
    const struct stat after = Status(path);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(test::ReadBytes(path), Contents());
}

TEST_P(ReplaceFile, NamesNearTheLengthLimitStillSave) {
    const std::string path = File(std::string(250, 'n'));
    ASSERT_EQ(Write(path), "");
    // A name of many-byte characters is shortened for the temporary name
    // without cutting one in half.
    std::string accented;
    while (accented.size() < 248) accented += "\xC3\xA9";
    ASSERT_EQ(Write(File(accented)), "");
    EXPECT_EQ(test::FolderEntries(folder_.Path()).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Write, ReplaceFile,
                         testing::Values(Writer{"Picture", ".png", SavePicture},
                                         Writer{"PictureInBands", ".tif", SaveInBands},
                                         Writer{"ParameterFile", ".vtx", SaveParameters}),
                         [](const testing::TestParamInfo<Writer>& info) { return info.param.name; });

// Runs `load`, which must return at once although `fifo` has no writer; if
// it still waits after two seconds, a writer is opened to set it free and
// the test fails.
template <class Load>
void ExpectNoWait(const std::string& fifo, Load load) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (done) return;
        ADD_FAILURE() << "opening " << fifo << " waited for a writer";
        const int fd = open(fifo.c_str(), O_RDWR | O_NONBLOCK);
        while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (fd >= 0) close(fd);
    });
    load();
    done = true;
    watchdog.join();
}

TEST(LoadFile, NamedPipeIsRefusedWithoutWaiting) {
    TempFolder folder;
    const std::string picturePipe = folder.File("pipe.png");
    const std::string paramsPipe = folder.File("pipe.vtx");
    ASSERT_EQ(mkfifo(picturePipe.c_str(), 0644), 0);
    ASSERT_EQ(mkfifo(paramsPipe.c_str(), 0644), 0);
    ExpectNoWait(picturePipe, [&] {
        Picture picture = test::Pattern(2, 2);
        EXPECT_EQ(LoadImageFile(picturePipe, picture), picturePipe + ": cannot open: not a regular file");
        EXPECT_EQ(picture, test::Pattern(2, 2));
    });
    ExpectNoWait(paramsPipe, [&] {
        struct Sink : engine::MessageSink {
            void ShowMessage(const std::string& text, const std::string&) override { shown = text; }
            std::string shown;
        } sink;
        TIterationContext ctx{};
        bool valid = false;
        int32_t lastFormula = 5;
        params::NameBuffers names;
        EXPECT_EQ(params::LoadParameters(paramsPipe, {ctx, valid, lastFormula, names}, sink),
                  params::LoadOutcome::CannotOpen);
        EXPECT_EQ(sink.shown, "Cannot open parameter file: " + paramsPipe + " (not a regular file)");
        EXPECT_FALSE(valid);
        EXPECT_EQ(lastFormula, 5);
    });
}

}  // namespace
}  // namespace imaging
