// PNG reading and writing, checked against libpng used directly.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstring>

#include "codecs.h"
#include "test_support.h"

namespace imaging {
namespace {

using test::OptionsGuard;

// Decodes with libpng's own low-level reader, without any transformation
// but palette expansion, so the bytes are what the file holds.
struct ReferencePng {
    bool ok = false;
    png_uint_32 width = 0, height = 0;
    int colourType = -1, depth = 0;
    std::vector<uint8_t> rgb;
};

struct Source {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

void ReadSource(png_structp png, png_bytep target, size_t count) {
    auto* source = static_cast<Source*>(png_get_io_ptr(png));
    if (count > source->bytes->size() - source->pos) png_error(png, "truncated");
    std::memcpy(target, source->bytes->data() + source->pos, count);
    source->pos += count;
}

void Silent(png_structp, png_const_charp) {}

void DecodeInto(png_structp png, png_infop info, Source* source, ReferencePng* result) {
    if (setjmp(png_jmpbuf(png))) return;
    png_set_read_fn(png, source, ReadSource);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, nullptr, nullptr, nullptr);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    png_read_update_info(png, info);
    result->rgb.resize(png_get_rowbytes(png, info) * height);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, result->rgb.data() + y * png_get_rowbytes(png, info), nullptr);
    png_read_end(png, nullptr);
    result->width = width;
    result->height = height;
    result->depth = depth;
    result->colourType = type;
    result->ok = true;
}

ReferencePng DecodeWithLibpng(const std::vector<uint8_t>& bytes) {
    ReferencePng result;
    Source source{&bytes, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Silent, Silent);
    png_infop info = png_create_info_struct(png);
    DecodeInto(png, info, &source, &result);
    png_destroy_read_struct(&png, &info, nullptr);
    return result;
}

// The gAMA value of a PNG, found by walking its chunks; 0 when there is none.
double GammaChunk(const std::vector<uint8_t>& bytes) {
    size_t pos = 8;
    while (pos + 12 <= bytes.size()) {
        const uint32_t length = (uint32_t{bytes[pos]} << 24) | (bytes[pos + 1] << 16) | (bytes[pos + 2] << 8) | bytes[pos + 3];
        const std::string type(bytes.begin() + pos + 4, bytes.begin() + pos + 8);
        if (type == "gAMA" && length == 4) {
            const uint8_t* v = &bytes[pos + 8];
            return ((uint32_t{v[0]} << 24) | (v[1] << 16) | (v[2] << 8) | v[3]) / 100000.0;
        }
        pos += 12 + length;
    }
    return 0;
}

TEST(PngWrite, DefaultFileIsValidToLibpngAndRoundTripsExactly) {
    OptionsGuard guard;
    Options() = ImageFileOptions{};
    const Picture picture = test::Pattern(17, 9);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "pic.png", bytes), "");
    // The gAMA chunk states the gamma of the screen the picture was made for.
    EXPECT_NEAR(GammaChunk(bytes), 1 / 1.8, 1e-5);
    const ReferencePng reference = DecodeWithLibpng(bytes);
    ASSERT_TRUE(reference.ok);
    EXPECT_EQ(reference.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(reference.depth, 8);
    EXPECT_EQ(reference.width, 17u);
    EXPECT_EQ(reference.height, 9u);
    EXPECT_EQ(reference.rgb, picture.Bytes());
    // Reading corrects from the file's gamma to the same screen gamma: no change.
    ImageInfo info;
    EXPECT_EQ(test::RoundTrip(picture, "pic.png", &info), picture);
    EXPECT_EQ(info.Type, "PNG");
    EXPECT_EQ(info.SubType, "RGB, 8 bits per sample");
    EXPECT_EQ(info.BitsPerPixel, 24);
    EXPECT_EQ(info.GraphicCount, 1);
}

// The zlib stream the IDAT chunks of a PNG hold together, and their count.
std::vector<uint8_t> IdatStream(const std::vector<uint8_t>& bytes, int& chunks) {
    std::vector<uint8_t> stream;
    chunks = 0;
    for (size_t pos = 8; pos + 12 <= bytes.size();) {
        const uint32_t length = (uint32_t{bytes[pos]} << 24) | (bytes[pos + 1] << 16) | (bytes[pos + 2] << 8) | bytes[pos + 3];
        if (std::string(bytes.begin() + pos + 4, bytes.begin() + pos + 8) == "IDAT") {
            stream.insert(stream.end(), bytes.begin() + pos + 8, bytes.begin() + pos + 8 + length);
            ++chunks;
        }
        pos += 12 + length;
    }
    return stream;
}

TEST(PngWrite, PiecesCompressedApartMakeOneStreamWhateverTheThreadCount) {
    OptionsGuard guard;
    // Tall enough for several pieces of rows, each compressed on its own.
    const Picture picture = test::Pattern(512, 1100);
    std::vector<uint8_t> one, three;
    SetEncoderThreads(1);
    ASSERT_EQ(EncodeImage(picture, "t.png", one), "");
    SetEncoderThreads(3);
    ASSERT_EQ(EncodeImage(picture, "t.png", three), "");
    SetEncoderThreads(0);
    EXPECT_EQ(one, three);
    // zlib itself checks the joined stream, its end and its checksum,
    // which libpng does not.
    int chunks = 0;
    const std::vector<uint8_t> stream = IdatStream(one, chunks);
    EXPECT_GE(chunks, 3);
    std::vector<uint8_t> filtered(size_t{512 * 3 + 1} * 1100 + 1);
    uLongf length = filtered.size();
    ASSERT_EQ(uncompress(filtered.data(), &length, stream.data(), stream.size()), Z_OK);
    EXPECT_EQ(length, filtered.size() - 1);
    const ReferencePng reference = DecodeWithLibpng(three);
    ASSERT_TRUE(reference.ok);
    EXPECT_EQ(reference.rgb, picture.Bytes());
}

TEST(PngWrite, GammaChunkFollowsTheOptions) {
    OptionsGuard guard;
    std::vector<uint8_t> bytes;
    Options().ScreenGamma = 2.2;
    ASSERT_EQ(EncodeImage(test::Pattern(2, 2), "a.png", bytes), "");
    EXPECT_NEAR(GammaChunk(bytes), 1 / 2.2, 1e-5);
    Options().WriteGamma = false;
    ASSERT_EQ(EncodeImage(test::Pattern(2, 2), "a.png", bytes), "");
    EXPECT_EQ(GammaChunk(bytes), 0.0);
    Options().WriteGamma = true;
    Options().ScreenGamma = std::nan("");
    ASSERT_EQ(EncodeImage(test::Pattern(2, 2), "a.png", bytes), "");
    EXPECT_EQ(GammaChunk(bytes), 0.0);
}

TEST(PngRead, GammaCorrectionAppliesOnlyWhenAsked) {
    OptionsGuard guard;
    Picture picture(1, 1);
    picture.SetPixel(0, 0, PackColour(128, 64, 255));
    Options().ScreenGamma = 1.0;  // file gamma 1.0
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "g.png", bytes), "");
    Options().ScreenGamma = 2.0;  // screen 2.0: values become v^(1/2)
    Picture read;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "g.png", read), "");
    EXPECT_NEAR(RedOf(read.Pixel(0, 0)), 255 * std::sqrt(128 / 255.0), 1.0);
    EXPECT_NEAR(GreenOf(read.Pixel(0, 0)), 255 * std::sqrt(64 / 255.0), 1.0);
    EXPECT_EQ(BlueOf(read.Pixel(0, 0)), 255);
    Options().GammaCorrectionOnRead = false;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "g.png", read), "");
    EXPECT_EQ(read, picture);
}

TEST(PngRead, DamagedFilesAreRefused) {
    OptionsGuard guard;
    std::vector<uint8_t> good;
    ASSERT_EQ(EncodeImage(test::Pattern(20, 20), "p.png", good), "");
    const Picture before = test::Pattern(3, 3);

    std::vector<std::vector<uint8_t>> bad;
    bad.emplace_back(good.begin(), good.begin() + good.size() / 2);  // truncated
    bad.push_back(good);
    bad.back()[0] = 'X';  // no signature
    bad.push_back(good);
    bad.back()[16] = 0x7F;  // width 2 billion (and a CRC error)
    bad.push_back(good);
    bad.back()[40] ^= 0xFF;  // damaged compressed data
    for (const auto& bytes : bad) {
        Picture picture = before;
        const std::string error = LoadImageMemory(bytes.data(), bytes.size(), "damaged.png", picture);
        EXPECT_EQ(error.rfind("damaged.png: ", 0), 0u) << error;
        EXPECT_GT(error.size(), 14u);
        EXPECT_EQ(picture, before);
    }

    // A chunk that claims more than the file holds is refused before libpng
    // takes what it claims.
    const std::vector<uint8_t> claims = test::ReadBytes(std::string(HALVANE_REGRESSIONS) + "/png/text-chunk-claims-8-mb.png");
    Picture picture = before;
    EXPECT_EQ(LoadImageMemory(claims.data(), claims.size(), "claims.png", picture),
              "claims.png: damaged PNG file: a chunk runs past the end of the file");
}

}  // namespace
}  // namespace imaging
