// Comments in picture files: written into PNG, JPEG and TIFF, read back
// without the picture data, and seen by the formats' own libraries.
#include <png.h>
#include <tiffio.h>

#include "test_support.h"

namespace {

using namespace imaging;

const std::string kComment = "halvane picture settings\nsize 7x5\nversion-.001\n0\n4\n";

// What libpng itself finds in the file's text chunks.
std::string LibpngComment(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return "<cannot open>";
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::string found = "<none>";
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        png_textp texts = nullptr;
        const int count = png_get_text(png, info, &texts, nullptr);
        for (int i = 0; i < count; ++i)
            if (std::string(texts[i].key) == "Comment") found.assign(texts[i].text, texts[i].text_length);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return found;
}

std::string LibtiffDescription(const std::string& path) {
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (tif == nullptr) return "<cannot open>";
    const char* text = nullptr;
    const std::string found = TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text ? text : "<none>";
    TIFFClose(tif);
    return found;
}

TEST(Comments, PngJpegAndTiffKeepTheirCommentAndOtherFormatsHaveNone) {
    test::TempFolder folder;
    const Picture picture = test::Pattern(7, 5);
    for (const char* name : {"c.png", "c.jpg", "c.tif", "c.bmp", "c.ppm"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.Path() + "/" + name;
        ASSERT_EQ(SaveImageFile(picture, path, kComment), "");
        std::string comment = "before";
        ASSERT_EQ(ReadImageComment(path, comment), "");
        const bool keeps = std::string(name) == "c.png" || std::string(name) == "c.jpg" || std::string(name) == "c.tif";
        EXPECT_EQ(comment, keeps ? kComment : "");
        // The picture is as it would be without the comment.
        std::vector<uint8_t> plain, commented;
        ASSERT_EQ(EncodeImage(picture, name, plain), "");
        ASSERT_EQ(EncodeImage(picture, name, commented, kComment), "");
        Picture read;
        ASSERT_EQ(LoadImageFile(path, read), "");
        Picture expected;
        ASSERT_EQ(LoadImageMemory(plain.data(), plain.size(), name, expected), "");
        EXPECT_TRUE(read == expected);
        EXPECT_EQ(plain == commented, !keeps);
    }
    EXPECT_EQ(LibpngComment(folder.Path() + "/c.png"), kComment);
    EXPECT_EQ(LibtiffDescription(folder.Path() + "/c.tif"), kComment);

    // Without a comment there is none to read; a damaged file is named.
    const std::string bare = folder.Path() + "/bare.png";
    ASSERT_EQ(SaveImageFile(picture, bare), "");
    std::string comment = "before";
    ASSERT_EQ(ReadImageComment(bare, comment), "");
    EXPECT_EQ(comment, "");
    test::WriteBytes(folder.Path() + "/cut.png", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 1, 0, 't', 'E'});
    comment = "before";
    EXPECT_EQ(ReadImageComment(folder.Path() + "/cut.png", comment).rfind(folder.Path() + "/cut.png: damaged", 0), 0u);
    EXPECT_EQ(comment, "before");
}

}  // namespace
