// Choosing the format by extension, and saving through a temporary file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "test_support.h"

namespace imaging {
namespace {

using test::TempFolder;

TEST(ImageFile, ExtensionsChooseTheFormatWithoutRegardToCase) {
    for (const char* name : {"a.bmp", "a.JPG", "a.jpeg", "a.Jif", "a.pbm", "a.pgm", "a.PNG", "a.ppm", "a.tga",
                             "a.tif", "dir.x/a.TIFF"}) {
        EXPECT_TRUE(CanSave(name)) << name;
        EXPECT_TRUE(CanLoad(name)) << name;
    }
    for (const char* name : {"a.dib", "a.PCX", "a.rle"}) {
        EXPECT_FALSE(CanSave(name)) << name;
        EXPECT_TRUE(CanLoad(name)) << name;
    }
    for (const char* name : {"a.gif", "a", "dir.png/a", "a.png.", "a.vtx"}) {
        EXPECT_FALSE(CanSave(name)) << name;
        EXPECT_FALSE(CanLoad(name)) << name;
    }
}

TEST(ImageFile, UnknownExtensionIsAnErrorNamingIt) {
    TempFolder folder;
    Picture picture = test::Pattern(2, 2);
    EXPECT_EQ(SaveImageFile(picture, folder.File("pic.gif")),
              folder.File("pic.gif") + ": unknown image file extension \"gif\"");
    EXPECT_TRUE(test::FolderEntries(folder.Path()).empty());
    EXPECT_NE(LoadImageFile(folder.File("pic.xyz"), picture).find("\"xyz\""), std::string::npos);
    EXPECT_EQ(picture, test::Pattern(2, 2));
}

TEST(ImageFile, SaveReplacesTheFileAndLeavesNothingElse) {
    TempFolder folder;
    const std::string path = folder.File("Pic.PPM");
    test::WriteBytes(path, {'o', 'l', 'd'});
    const Picture picture = test::Pattern(5, 4);
    ASSERT_EQ(SaveImageFile(picture, path), "");
    EXPECT_EQ(test::FolderEntries(folder.Path()), std::vector<std::string>{"Pic.PPM"});
    Picture read;
    ImageInfo info;
    ASSERT_EQ(LoadImageFile(path, read, &info), "");
    EXPECT_EQ(read, picture);
    EXPECT_EQ(info.Width, 5);
    EXPECT_EQ(info.Height, 4);
    EXPECT_EQ(info.GraphicCount, 1);
}

TEST(ImageFile, ReplacedFileKeepsItsPermissionsAndLongNamesWork) {
    TempFolder folder;
    const std::string path = folder.File("private.bmp");
    test::WriteBytes(path, {'x'});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(SaveImageFile(test::Pattern(2, 2), path), "");
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    // A name near the file system's limit still leaves room for the temporary name.
    const std::string longName = folder.File(std::string(250, 'n') + ".png");
    EXPECT_EQ(SaveImageFile(test::Pattern(2, 2), longName), "");
    EXPECT_EQ(test::FolderEntries(folder.Path()).size(), 2u);
}

TEST(ImageFile, FailedSaveKeepsTheOldFileAndRemovesItsTemporary) {
    TempFolder folder;
    const std::string path = folder.File("keep.png");
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::WriteBytes(path, old);
    // A target that is a folder cannot be replaced by a file.
    const std::string folderTarget = folder.File("sub.png");
    ASSERT_EQ(mkdir(folderTarget.c_str(), 0755), 0);
    const std::string error = SaveImageFile(test::Pattern(3, 3), folderTarget);
    EXPECT_EQ(error.rfind(folderTarget + ": ", 0), 0u) << error;
    // A path through a plain file cannot be created at all.
    const std::string through = path + "/inner.png";
    EXPECT_EQ(SaveImageFile(test::Pattern(3, 3), through).rfind(through + ": ", 0), 0u);
    // A missing folder.
    EXPECT_NE(SaveImageFile(test::Pattern(3, 3), folder.File("missing/x.bmp")), "");
    auto entries = test::FolderEntries(folder.Path());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"keep.png", "sub.png"}));
    EXPECT_EQ(test::ReadBytes(path), old);

    // Root may write into a read-only folder, so this part needs an ordinary user.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
        EXPECT_NE(SaveImageFile(test::Pattern(3, 3), path).find("keep.png: "), std::string::npos);
        ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
        EXPECT_EQ(test::ReadBytes(path), old);
    }
}

TEST(ImageFile, LoadErrorsNameTheFile) {
    TempFolder folder;
    Picture picture = test::Pattern(2, 2);
    const std::string missing = folder.File("none.png");
    EXPECT_EQ(LoadImageFile(missing, picture).rfind(missing + ": cannot open", 0), 0u);
    test::WriteBytes(folder.File("empty.bmp"), {});
    EXPECT_EQ(LoadImageFile(folder.File("empty.bmp"), picture), folder.File("empty.bmp") + ": the file is empty");
    EXPECT_NE(LoadImageFile(folder.Path() + "/.", picture), "");
    EXPECT_EQ(picture, test::Pattern(2, 2));
}

TEST(ImageFile, EmptyPictureIsNotSaved) {
    TempFolder folder;
    EXPECT_NE(SaveImageFile(Picture(), folder.File("e.png")), "");
    EXPECT_TRUE(test::FolderEntries(folder.Path()).empty());
}

}  // namespace
}  // namespace imaging

namespace imaging {
namespace {

TEST(ImageFile, LoadPixelLimitRefusesLargerPictures) {
    std::vector<uint8_t> bytes;
    for (const char* name : {"l.png", "l.bmp", "l.tga", "l.ppm", "l.jpg", "l.tif"}) {
        ASSERT_EQ(EncodeImage(test::Pattern(10, 10), name, bytes), "") << name;
        SetLoadPixelLimit(99);
        Picture picture;
        const std::string error = LoadImageMemory(bytes.data(), bytes.size(), name, picture);
        SetLoadPixelLimit(Picture::kMaxPixels);
        EXPECT_NE(error.find("10 by 10 is larger than this program accepts"), std::string::npos) << error;
        EXPECT_EQ(LoadImageMemory(bytes.data(), bytes.size(), name, picture), "") << name;
    }
    SetLoadPixelLimit(0);  // kept at one pixel at least
    EXPECT_EQ(LoadPixelLimit(), 1);
    SetLoadPixelLimit(int64_t{1} << 40);
    EXPECT_EQ(LoadPixelLimit(), Picture::kMaxPixels);
}

}  // namespace
}  // namespace imaging
