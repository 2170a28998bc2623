// Windows bitmaps: what we write, and the many forms other programs write.
#include <gtest/gtest.h>

#include <climits>

#include "test_support.h"

namespace imaging {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A bitmap with a 40-byte header, field by field; `extra` (masks, palette)
// follows the header and the pixel data follows that.
struct BmpFile {
    int32_t width = 4;
    int32_t height = 4;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    uint32_t headerSize = 40;
    int64_t dataOffset = -1;  // -1: right after the header and `extra`
    char signature[2] = {'B', 'M'};
    Bytes extra;
    Bytes pixels = Bytes(48, 7);

    Bytes Build() const {
        Bytes b = {static_cast<uint8_t>(signature[0]), static_cast<uint8_t>(signature[1])};
        Put32(b, static_cast<uint32_t>(54 + extra.size() + pixels.size()));
        Put32(b, 0);
        Put32(b, static_cast<uint32_t>(dataOffset >= 0 ? dataOffset : static_cast<int64_t>(54 + extra.size())));
        Put32(b, headerSize);
        Put32(b, static_cast<uint32_t>(width));
        Put32(b, static_cast<uint32_t>(height));
        Put16(b, 1);
        Put16(b, bits);
        Put32(b, compression);
        Put32(b, static_cast<uint32_t>(pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, colorsUsed);
        Put32(b, 0);
        b.insert(b.end(), extra.begin(), extra.end());
        b.insert(b.end(), pixels.begin(), pixels.end());
        return b;
    }
};

Bytes Bitmap(int32_t width, int32_t height, uint16_t bits, uint32_t compression, const Bytes& extra,
             const Bytes& pixels, uint32_t colorsUsed = 0) {
    BmpFile file;
    file.width = width, file.height = height, file.bits = bits, file.compression = compression;
    file.colorsUsed = colorsUsed, file.extra = extra, file.pixels = pixels;
    return file.Build();
}

// The usual bitmap with one change.
template <class Change>
Bytes With(Change change) {
    BmpFile file;
    change(file);
    return file.Build();
}

Bytes Cut(Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

std::string Load(const Bytes& bytes, Picture& picture, ImageInfo* info = nullptr, const std::string& name = "t.bmp") {
    return LoadImageMemory(bytes.data(), bytes.size(), name, picture, info);
}

const Bytes kTwoColours = {0, 0, 255, 0, /* red */ 255, 0, 0, 0 /* blue */};
constexpr uint32_t kRed = PackColour(255, 0, 0);
constexpr uint32_t kBlue = PackColour(0, 0, 255);

TEST(BmpWrite, RoundTripsEveryRowPadding) {
    for (int32_t width = 1; width <= 5; ++width) {
        const Picture picture = test::Pattern(width, 3);
        ImageInfo info;
        EXPECT_EQ(test::RoundTrip(picture, "p.bmp", &info), picture) << width;
        EXPECT_EQ(info.Type, "BMP");
        EXPECT_EQ(info.BitsPerPixel, 24);
        EXPECT_EQ(info.Options, "");
    }
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(test::Pattern(5, 3), "p.bmp", bytes), "");
    EXPECT_EQ(bytes.size(), 54u + 16 * 3);  // 15 bytes a row padded to 16
}

TEST(BmpRead, TopDownAndBottomUp) {
    const Bytes pixels = {0, 0, 255, 0 /* first stored row: red */, 255, 0, 0, 0 /* blue */};
    Picture picture;
    ImageInfo info;
    ASSERT_EQ(Load(Bitmap(1, 2, 24, 0, {}, pixels), picture, &info), "");
    EXPECT_EQ(picture.Pixel(0, 1), kRed);  // bottom-up: first row stored is the bottom one
    EXPECT_EQ(picture.Pixel(0, 0), kBlue);
    ASSERT_EQ(Load(Bitmap(1, -2, 24, 0, {}, pixels), picture, &info), "");
    EXPECT_EQ(picture.Pixel(0, 0), kRed);
    EXPECT_EQ(picture.Pixel(0, 1), kBlue);
    EXPECT_EQ(info.Options, "top-down");
}

TEST(BmpRead, PalettesOfOneTwoFourAndEightBits) {
    Picture picture;
    // 1 bit: 10 pixels 1011000001, row padded to 4 bytes.
    ASSERT_EQ(Load(Bitmap(10, 1, 1, 0, kTwoColours, {0xB0, 0x40, 0, 0}), picture), "");
    const uint32_t expected1[] = {kBlue, kRed, kBlue, kBlue, kRed, kRed, kRed, kRed, kRed, kBlue};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(picture.Pixel(x, 0), expected1[x]) << x;
    // 2 bits (Windows CE): indices 1 0 1 1.
    ASSERT_EQ(Load(Bitmap(4, 1, 2, 0, kTwoColours, {0x45, 0, 0, 0}, 2), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), kBlue);
    EXPECT_EQ(picture.Pixel(1, 0), kRed);
    // 4 bits with two colours listed: index 5 lies beyond the palette and is black.
    ASSERT_EQ(Load(Bitmap(3, 1, 4, 0, kTwoColours, {0x10, 0x50, 0, 0}, 2), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), kBlue);
    EXPECT_EQ(picture.Pixel(1, 0), kRed);
    EXPECT_EQ(picture.Pixel(2, 0), 0u);
    // 8 bits.
    ImageInfo info;
    ASSERT_EQ(Load(Bitmap(2, 1, 8, 0, kTwoColours, {1, 0, 0, 0}, 2), picture, &info), "");
    EXPECT_EQ(picture.Pixel(0, 0), kBlue);
    EXPECT_EQ(picture.Pixel(1, 0), kRed);
    EXPECT_EQ(info.Colors, 2);
}

TEST(BmpRead, SixteenAndThirtyTwoBitsWithAndWithoutBitFields) {
    Picture picture;
    // 16 bits default 5-5-5: pure red, and a mid green (16 of 31).
    ASSERT_EQ(Load(Bitmap(2, 1, 16, 0, {}, {0x00, 0x7C, 0x00, 0x02}), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), kRed);
    EXPECT_EQ(picture.Pixel(1, 0), PackColour(0, 132, 0));
    // 16 bits 5-6-5 bit fields: full green is 0x07E0.
    Bytes masks565;
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Put32(masks565, m);
    ASSERT_EQ(Load(Bitmap(2, 1, 16, 3, masks565, {0xE0, 0x07, 0x1F, 0x00}), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(0, 255, 0));
    EXPECT_EQ(picture.Pixel(1, 0), kBlue);
    // 32 bits with 10-10-10 fields: red 1023, green 0, blue 512.
    Bytes masks1010;
    for (uint32_t m : {0x3FF00000u, 0x000FFC00u, 0x000003FFu}) Put32(masks1010, m);
    const uint32_t pixel = (1023u << 20) | 512u;
    ASSERT_EQ(Load(Bitmap(1, 1, 32, 3, masks1010, {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8),
                                                   static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 24)}),
                   picture),
              "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(255, 0, 128));
    // 32 bits without fields: B G R X.
    ASSERT_EQ(Load(Bitmap(1, 1, 32, 0, {}, {1, 2, 3, 99}), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(3, 2, 1));
}

TEST(BmpRead, RunLengthEncoding) {
    Picture picture;
    ImageInfo info;
    // RLE8, 4 by 2: bottom row a run of two reds and one blue, end of line;
    // top row: move one right, one blue; end of bitmap. Unset pixels take colour 0.
    const Bytes rle8 = {2, 0,  1, 1,  0, 0,  0, 2, 1, 0,  1, 1,  0, 1};
    ASSERT_EQ(Load(Bitmap(4, 2, 8, 1, kTwoColours, rle8, 2), picture, &info), "");
    EXPECT_EQ(info.Options, "RLE8");
    EXPECT_EQ(picture.Pixel(0, 1), kRed);
    EXPECT_EQ(picture.Pixel(1, 1), kRed);
    EXPECT_EQ(picture.Pixel(2, 1), kBlue);
    EXPECT_EQ(picture.Pixel(3, 1), kRed);  // never set: colour 0
    EXPECT_EQ(picture.Pixel(0, 0), kRed);
    EXPECT_EQ(picture.Pixel(1, 0), kBlue);
    // RLE4, 6 by 1: a run alternating 1 0 1, then a literal of the three nibbles 0 1 0.
    const Bytes rle4 = {3, 0x10, 0, 3, 0x01, 0x00, 0, 1};
    ASSERT_EQ(Load(Bitmap(6, 1, 4, 2, kTwoColours, rle4, 2), picture, &info), "");
    EXPECT_EQ(info.Options, "RLE4");
    const uint32_t expected[] = {kBlue, kRed, kBlue, kRed, kBlue, kRed};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(picture.Pixel(x, 0), expected[x]) << x;
    // Runs past the row end are clipped, not wrapped.
    ASSERT_EQ(Load(Bitmap(2, 2, 8, 1, kTwoColours, {5, 1, 0, 0, 2, 1, 0, 1}, 2), picture), "");
    EXPECT_EQ(picture.Pixel(0, 1), kBlue);
    EXPECT_EQ(picture.Pixel(1, 1), kBlue);
    EXPECT_EQ(picture.Pixel(0, 0), kBlue);
}

TEST(BmpRead, PackedBitmapWithoutFileHeaderAsDib) {
    const Bytes full = Bitmap(1, 1, 24, 0, {}, {9, 8, 7, 0});
    const Bytes packed(full.begin() + 14, full.end());
    Picture picture;
    ASSERT_EQ(Load(packed, picture, nullptr, "clip.DIB"), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(7, 8, 9));
    ASSERT_EQ(Load(full, picture, nullptr, "x.rle"), "");
}

std::vector<test::Malformed> MalformedBitmaps() {
    return {
        {"PixelsCutShort", Cut(BmpFile().Build(), 54 + 43), "truncated"},
        {"HeaderCutShort", Cut(BmpFile().Build(), 30), "truncated"},
        {"HugeWidth", With([](BmpFile& f) { f.width = 0x7FFFFFFF; }), "larger than this program accepts"},
        {"MostNegativeHeight", With([](BmpFile& f) { f.height = INT32_MIN; }), "larger than this program accepts"},
        {"PixelsClaimedBeyondTheFile", With([](BmpFile& f) { f.width = f.height = 10000, f.pixels = Bytes(16, 0); }),
         "truncated: the pixel data needs 300000000 bytes from offset 54, the file has 16"},
        {"OffsetBeyondTheEnd", With([](BmpFile& f) { f.dataOffset = 0xFFFFF0; }), "outside the file"},
        {"UnknownHeaderSize", With([](BmpFile& f) { f.headerSize = 200; }), "header size 200"},
        {"SevenBitDepth", With([](BmpFile& f) { f.bits = 7; }), "7 bits per pixel"},
        {"RunsWithoutEndOfBitmap", Bitmap(2, 2, 8, 1, kTwoColours, {2, 1, 0, 0}, 2), "end-of-bitmap"},
        {"RunsWithoutEndOfBitmapForAHugePicture", Bitmap(10000, 10000, 8, 1, kTwoColours, {5, 1, 0, 0}, 2),
         "end-of-bitmap"},
        {"LiteralPastTheEnd", Bitmap(8, 1, 8, 1, kTwoColours, {0, 8, 1, 1}, 2), "literal"},
        {"Rle4WithEightBits", Bitmap(2, 2, 8, 2, kTwoColours, {0, 1}, 2), "RLE4"},
        {"EmptyBitFieldMasks", Bitmap(1, 1, 32, 3, Bytes(12, 0), Bytes(4, 0)), "masks"},
        {"NoSignature", Cut(With([](BmpFile& f) { f.signature[1] = 'A'; }), 4), "no BM signature"},
    };
}

class MalformedBitmap : public testing::TestWithParam<test::Malformed> {};

TEST_P(MalformedBitmap, IsRefusedNamingTheFile) { test::ExpectRefused(GetParam(), "broken.bmp"); }

INSTANTIATE_TEST_SUITE_P(BmpRead, MalformedBitmap, testing::ValuesIn(MalformedBitmaps()), test::MalformedName);

}  // namespace
}  // namespace imaging
