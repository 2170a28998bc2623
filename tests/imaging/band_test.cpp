// Pictures written and read a band of rows at a time.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "band_reader.h"
#include "band_writer.h"
#include "test_support.h"

namespace imaging {
namespace {

using test::OptionsGuard;
using test::TempFolder;

const std::string kComment = "halvane picture settings\nsize 300x1300\nversion-.001\n";

// Writes `picture` in bands of `rows` rows (the last band takes what is left).
std::string WriteInBands(BandWriter& writer, const Picture& picture, const std::string& path, int32_t rows,
                         const std::string& comment = kComment) {
    if (std::string error = writer.Open(path, picture.Width(), picture.Height(), comment); !error.empty()) return error;
    for (int32_t y = 0; y < picture.Height(); y += rows) {
        const int32_t count = std::min(rows, picture.Height() - y);
        if (std::string error = writer.WriteRows(picture.Row(y), count); !error.empty()) return error;
    }
    return writer.Finish();
}

std::string WriteInBands(const Picture& picture, const std::string& path, int32_t rows,
                         const std::string& comment = kComment) {
    BandWriter writer;
    return WriteInBands(writer, picture, path, rows, comment);
}

struct Layout {
    const char* name;
    const char* extension;
    void (*set)(ImageFileOptions&);
};

const Layout kLayouts[] = {
    {"png", ".png", [](ImageFileOptions&) {}},
    {"tiff", ".tif", [](ImageFileOptions&) {}},
    {"tiff_packbits_big_endian", ".tiff",
     [](ImageFileOptions& o) {
         o.TiffCompression = 32773;
         o.TiffByteOrder = 1;
     }},
    {"tiff_cmyk_white_is_zero", ".tif",
     [](ImageFileOptions& o) {
         o.TiffTrueColour = 1;
         o.TiffGreyScale = 1;
     }},
    {"bmp_gathered_whole", ".bmp", [](ImageFileOptions&) {}},
    {"jpeg_gathered_whole", ".jpg", [](ImageFileOptions&) {}},
};

TEST(BandWriter, BandsOfAnyHeightMakeTheFileOfTheWholePicture) {
    OptionsGuard guard;
    TempFolder folder;
    // Tall enough for PNG's pieces (581 rows at this width) to span bands;
    // the other writers take a row at a time whatever the band.
    const Picture colour = test::Pattern(300, 1300), smallColour = test::Pattern(60, 50);
    const Picture grey = test::GreyPattern(300, 1300), smallGrey = test::GreyPattern(60, 50);
    for (const Layout& layout : kLayouts) {
        Options() = ImageFileOptions{};
        layout.set(Options());
        const bool png = std::string(layout.extension) == ".png";
        const bool tiff = std::string(layout.extension).rfind(".tif", 0) == 0;
        // Only TIFF writes grey pictures otherwise.
        for (const Picture* picture : {png ? &colour : &smallColour, png ? &grey : &smallGrey}) {
            if (picture == &smallGrey && !tiff) continue;
            if (picture == &grey) continue;
            const std::string whole = folder.File(std::string("whole") + layout.extension);
            ASSERT_EQ(SaveImageFile(*picture, whole, kComment), "");
            const std::vector<uint8_t> expected = test::ReadBytes(whole);
            for (const int32_t rows : {1, 7, 582, 1300}) {
                SCOPED_TRACE(std::string(layout.name) + (picture->Bytes()[0] == picture->Bytes()[1] ? " grey" : " colour") + " in bands of " +
                             std::to_string(rows));
                const std::string path = folder.File(std::string("bands") + layout.extension);
                ASSERT_EQ(WriteInBands(*picture, path, rows), "");
                EXPECT_TRUE(test::ReadBytes(path) == expected);
            }
            std::string comment;
            ASSERT_EQ(ReadImageComment(whole, comment), "");
            EXPECT_EQ(comment, std::string(layout.extension) == ".bmp" ? "" : kComment);
        }
    }
    // A grey picture of many strips is a grey-scale TIFF file, band by band too.
    Options() = ImageFileOptions{};
    ASSERT_EQ(SaveImageFile(grey, folder.File("grey-whole.tif"), kComment), "");
    ASSERT_EQ(WriteInBands(grey, folder.File("grey.tif"), 100), "");
    const std::vector<uint8_t> greyFile = test::ReadBytes(folder.File("grey.tif"));
    EXPECT_TRUE(greyFile == test::ReadBytes(folder.File("grey-whole.tif")));
    EXPECT_LT(greyFile.size(), size_t{300} * 1300 + 4096);
    Picture read;
    ASSERT_EQ(LoadImageFile(folder.File("grey.tif"), read), "");
    EXPECT_EQ(read, grey);
    EXPECT_EQ(test::FolderEntries(folder.Path()).size(), 12u);
}

TEST(BandWriter, BigTiffRoundTripsWithItsComment) {
    TempFolder folder;
    const Picture picture = test::Pattern(41, 29);
    for (const uint8_t order : {0, 1}) {
        OptionsGuard guard;
        Options().TiffByteOrder = order;
        BandWriter writer;
        writer.SetBigTiffAbove(0);
        const std::string path = folder.File("big.tif");
        ASSERT_EQ(WriteInBands(writer, picture, path, 5), "");
        const std::vector<uint8_t> bytes = test::ReadBytes(path);
        // BigTIFF is version 43 with 8-byte offsets.
        ASSERT_GE(bytes.size(), 16u);
        EXPECT_EQ(order == 0 ? bytes[2] : bytes[3], 43);
        Picture read;
        ASSERT_EQ(LoadImageFile(path, read), "");
        EXPECT_EQ(read, picture);
        std::string comment;
        ASSERT_EQ(ReadImageComment(path, comment), "");
        EXPECT_EQ(comment, kComment);
        // Under the threshold it stays plain TIFF, version 42.
        ASSERT_EQ(WriteInBands(picture, path, 5), "");
        EXPECT_EQ(test::ReadBytes(path)[order == 0 ? 2 : 3], 42);
    }
}

// Fills the file size limit so that writes fail as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }

private:
    rlimit saved_{};
    void (*signal_)(int) = nullptr;
};

TEST(BandWriter, AFailedOrUnfinishedWriteLeavesNoFileUnderTheName) {
    TempFolder folder;
    // Noise, which no format compresses below the size limit.
    Picture picture(200, 300);
    uint32_t seed = 12345;
    for (uint8_t& byte : picture.Bytes()) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(seed >> 24);
    }
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    for (const char* name : {"p.png", "p.tif", "p.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.File(name);
        const std::string kept = folder.File(std::string("kept-") + name);
        test::WriteBytes(kept, old);
        {
            // Destroyed half way.
            BandWriter writer;
            ASSERT_EQ(writer.Open(path, 200, 300, kComment), "");
            ASSERT_EQ(writer.WriteRows(picture.Row(0), 100), "");
        }
        // Finished too early, or given too many rows: refused, named.
        BandWriter writer;
        ASSERT_EQ(writer.Open(kept, 200, 300, kComment), "");
        ASSERT_EQ(writer.WriteRows(picture.Row(0), 299), "");
        EXPECT_EQ(writer.Finish().rfind(kept + ": ", 0), 0u);
        EXPECT_FALSE(writer.IsOpen());
        ASSERT_EQ(writer.Open(kept, 200, 2, kComment), "");
        EXPECT_EQ(writer.WriteRows(picture.Row(0), 3).rfind(kept + ": ", 0), 0u);
        // The disk fills.
        {
            FileSizeLimit limit(4000);
            const std::string error = WriteInBands(picture, kept, 64);
            EXPECT_EQ(error.rfind(kept + ": cannot save: ", 0), 0u) << error;
        }
        EXPECT_EQ(test::ReadBytes(kept), old);
        EXPECT_EQ(test::FolderEntries(folder.Path()).size(), 1u);
        std::remove(kept.c_str());
    }
    // A process killed half way leaves nothing under the name, and where the
    // file system has nameless files (O_TMPFILE), nothing at all.
    const pid_t child = fork();
    if (child == 0) {
        BandWriter writer;
        if (writer.Open(folder.File("killed.tif"), 200, 300, kComment).empty() &&
            writer.WriteRows(picture.Row(0), 100).empty()) {
            raise(SIGKILL);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    const int nameless = open(folder.Path().c_str(), O_RDWR | O_TMPFILE, 0600);
    if (nameless >= 0) {
        close(nameless);
        EXPECT_TRUE(test::FolderEntries(folder.Path()).empty());
    }
    EXPECT_NE(access(folder.File("killed.tif").c_str(), F_OK), 0);
    for (const std::string& entry : test::FolderEntries(folder.Path())) std::remove(folder.File(entry).c_str());

    // Sizes the format or the program cannot hold are refused at once.
    BandWriter writer;
    EXPECT_NE(writer.Open(folder.File("x.png"), 65536, 10), "");
    EXPECT_NE(writer.Open(folder.File("x.bmp"), 20000, 20000), "");
    EXPECT_NE(writer.Open(folder.File("x.gif"), 10, 10), "");
    EXPECT_TRUE(test::FolderEntries(folder.Path()).empty());
}

TEST(BandReader, BandsAreTheRowsLoadImageFileGives) {
    TempFolder folder;
    const Picture picture = test::Pattern(300, 1300);
    ASSERT_EQ(SaveImageFile(picture, folder.File("p.png"), kComment), "");
    ASSERT_EQ(SaveImageFile(picture, folder.File("p.tif"), kComment), "");
    std::vector<std::string> files = {folder.File("p.png"), folder.File("p.tif")};
    for (const char* fixture : {"png_rgb8.png", "png_rgb8_interlaced.png", "png_palette_trns.png", "png_grey16.png",
                                "png_gamma.png", "tiff_none_le.tif", "tiff_packbits_be.tif", "tiff_lzw.tif",
                                "tiff_zip_tiled.tif", "tiff_planar.tif", "tiff_palette.tif", "bmp_rle8.bmp"}) {
        files.push_back(test::Fixture(fixture));
    }
    for (const std::string& file : files) {
        Picture expected;
        ASSERT_EQ(LoadImageFile(file, expected), "");
        for (const int32_t rows : {1, 3, 1300}) {
            SCOPED_TRACE(file + " in bands of " + std::to_string(rows));
            BandReader reader;
            ASSERT_EQ(reader.Open(file), "");
            ASSERT_EQ(reader.Width(), expected.Width());
            ASSERT_EQ(reader.Height(), expected.Height());
            Picture band;
            int32_t y = 0;
            while (reader.RowsRead() < reader.Height()) {
                ASSERT_EQ(reader.ReadBand(rows, band), "");
                for (int32_t r = 0; r < band.Height(); ++r, ++y) {
                    ASSERT_TRUE(std::equal(band.Row(r), band.Row(r) + band.Width() * 3, expected.Row(y))) << y;
                }
            }
            EXPECT_EQ(y, expected.Height());
            ASSERT_EQ(reader.ReadBand(rows, band), "");
            EXPECT_TRUE(band.Empty());
        }
    }
    BandReader reader;
    ASSERT_EQ(reader.Open(folder.File("p.tif")), "");
    EXPECT_EQ(reader.Comment(), kComment);
    std::vector<uint8_t> rows(300 * 3 * 2);
    EXPECT_NE(reader.ReadRows(rows.data(), 1301), "");
    // A file cut short is refused when its rows run out, in one named line.
    std::vector<uint8_t> cut = test::ReadBytes(folder.File("p.png"));
    cut.resize(cut.size() / 2);
    test::WriteBytes(folder.File("cut.png"), cut);
    ASSERT_EQ(reader.Open(folder.File("cut.png")), "");
    std::string error;
    while (error.empty() && reader.RowsRead() < reader.Height()) error = reader.ReadRows(rows.data(), 2);
    EXPECT_EQ(error.rfind(folder.File("cut.png") + ": ", 0), 0u) << error;
    EXPECT_FALSE(reader.IsOpen());
}

}  // namespace
}  // namespace imaging
