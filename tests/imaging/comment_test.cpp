// Comments in picture files: written into PNG, JPEG and TIFF, read back
// without the picture data, and seen by the formats' own libraries.
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include "codecs.h"
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

std::string Compressed(const std::string& text) {
    uLongf size = compressBound(text.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()), text.size());
    out.resize(size);
    return out;
}

std::string Chunk(const std::string& type, const std::string& body) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(body.size() >> shift);
    const std::string typed = type + body;
    out += typed;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(crc >> shift);
    return out;
}

// A 1 by 1 PNG with `before` the picture data and `after` it.
std::vector<uint8_t> PngWith(const std::string& before, const std::string& after = "") {
    const std::string z(1, '\0');
    std::string file = "\x89PNG\r\n\x1A\n";
    file += Chunk("IHDR", std::string("\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 13));
    file += before;
    file += Chunk("IDAT", Compressed(std::string(4, '\0')));
    file += after;
    file += Chunk("IEND", "");
    return std::vector<uint8_t>(file.begin(), file.end());
}

struct TextCase {
    const char* name;
    std::vector<uint8_t> file;
    std::string comment;  // expected, or the start of the refusal
    bool refused = false;
};

TEST(Comments, PngTextChunksOfEveryKindAndKeywordCase) {
    const std::string z(1, '\0');
    const std::string text = "halvane picture settings\nsize 1x1\n";
    const std::string bomb = Compressed(std::string(kMaxCommentBytes + 1, 'x'));
    std::vector<uint8_t> pastTheEnd = PngWith(Chunk("tEXt", "Comment" + z + text));
    pastTheEnd[33 + 1] = 0x7F;  // the text chunk's length, after the signature and IHDR
    const TextCase cases[] = {
        {"tEXt", PngWith(Chunk("tEXt", "Comment" + z + text)), text},
        {"lower case keyword", PngWith(Chunk("tEXt", "comment" + z + text)), text},
        {"upper case keyword", PngWith(Chunk("tEXt", "COMMENT" + z + text)), text},
        {"another keyword", PngWith(Chunk("tEXt", "Comments" + z + text)), ""},
        {"zTXt", PngWith(Chunk("zTXt", "Comment" + z + z + Compressed(text))), text},
        {"zTXt of an unknown method", PngWith(Chunk("zTXt", "Comment" + z + "\1" + Compressed(text))), ""},
        {"zTXt after the picture data", PngWith("", Chunk("zTXt", "comment" + z + z + Compressed(text))), text},
        {"iTXt", PngWith(Chunk("iTXt", "Comment" + z + z + z + z + z + text)), text},
        {"iTXt with language and translation",
         PngWith(Chunk("iTXt", "Comment" + z + z + z + "en-GB" + z + "Kommentar" + z + text)), text},
        {"compressed iTXt", PngWith(Chunk("iTXt", "Comment" + z + "\1" + z + "de" + z + "K" + z + Compressed(text))),
         text},
        {"iTXt without its fields", PngWith(Chunk("iTXt", "Comment" + z + z + z + "en")), ""},
        {"the first of two", PngWith(Chunk("tEXt", "Comment" + z + "first") + Chunk("zTXt", "Comment" + z + z + Compressed(text))),
         "first"},
        {"other text first", PngWith(Chunk("tEXt", "Title" + z + "a title") + Chunk("tEXt", "Comment" + z + text)), text},
        {"larger than a comment when inflated", PngWith(Chunk("zTXt", "Comment" + z + z + bomb)), ""},
        {"damaged compressed text", PngWith(Chunk("zTXt", "Comment" + z + z + Compressed(text).substr(0, 12))),
         "damaged PNG file: its compressed comment", true},
        {"chunk past the end", pastTheEnd,
         "damaged PNG file: a chunk runs past the end", true},
    };
    test::TempFolder folder;
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string inMemory = "before", inFile = "before";
        const std::string memoryError = ReadImageCommentMemory(c.file.data(), c.file.size(), "t.png", inMemory);
        test::WriteBytes(folder.File("t.png"), c.file);
        const std::string fileError = ReadImageComment(folder.File("t.png"), inFile);
        if (c.refused) {
            EXPECT_EQ(memoryError.rfind("t.png: " + c.comment, 0), 0u) << memoryError;
            EXPECT_EQ(fileError.rfind(folder.File("t.png") + ": " + c.comment, 0), 0u) << fileError;
            EXPECT_EQ(inFile, "before");
        } else {
            EXPECT_EQ(memoryError, "");
            EXPECT_EQ(fileError, "");
            EXPECT_EQ(inMemory, c.comment);
            EXPECT_EQ(inFile, c.comment);
            // libpng itself finds the picture whole.
            Picture picture;
            EXPECT_EQ(LoadImageMemory(c.file.data(), c.file.size(), "t.png", picture), "");
        }
    }
}

// Counts what a comment reader reads.
class CountingSource : public MemorySource {
public:
    using MemorySource::MemorySource;
    size_t Read(uint64_t offset, void* buffer, size_t count) override {
        const size_t got = MemorySource::Read(offset, buffer, count);
        read += got;
        return got;
    }
    size_t read = 0;
};

TEST(Comments, OnlyWhatLeadsToTheCommentIsRead) {
    // Noise, so that the picture data is most of the file.
    Picture picture(600, 400);
    uint32_t seed = 99;
    for (uint8_t& byte : picture.Bytes()) byte = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    using Reader = std::string (*)(ByteSource&, std::string&);
    const std::pair<const char*, Reader> readers[] = {
        {"c.png", ReadPngComment}, {"c.jpg", ReadJpegComment}, {"c.tif", ReadTiffComment}};
    for (const auto& [name, reader] : readers) {
        SCOPED_TRACE(name);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(EncodeImage(picture, name, bytes, kComment), "");
        CountingSource source(bytes.data(), bytes.size());
        std::string comment;
        ASSERT_EQ(reader(source, comment), "");
        EXPECT_EQ(comment, kComment);
        EXPECT_LT(source.read, bytes.size() / 4) << source.read << " of " << bytes.size();
    }
}

TEST(Comments, JpegKeepsAsMuchAsOneMarkerHolds) {
    test::TempFolder folder;
    const Picture picture = test::Pattern(8, 8);
    // 65533 bytes and the marker's length field make the largest segment.
    for (const size_t length : {size_t{65533}, size_t{65534}, size_t{70000}}) {
        SCOPED_TRACE(length);
        std::string comment(length, 'c');
        comment[0] = 'a';
        comment[65532] = 'z';
        ASSERT_EQ(SaveImageFile(picture, folder.File("long.jpg"), comment), "");
        std::string read;
        ASSERT_EQ(ReadImageComment(folder.File("long.jpg"), read), "");
        EXPECT_EQ(read, comment.substr(0, 65533));
    }
}

}  // namespace
