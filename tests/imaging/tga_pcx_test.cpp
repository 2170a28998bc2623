// Targa and Paintbrush files.
#include <gtest/gtest.h>

#include "test_support.h"

namespace imaging {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Load(const Bytes& bytes, Picture& picture, const std::string& name, ImageInfo* info = nullptr) {
    return LoadImageMemory(bytes.data(), bytes.size(), name, picture, info);
}

Bytes TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, uint8_t descriptor,
                uint16_t mapLength = 0, uint8_t mapBits = 0) {
    return {0, static_cast<uint8_t>(mapLength ? 1 : 0), type, 0, 0,
            static_cast<uint8_t>(mapLength), static_cast<uint8_t>(mapLength >> 8), mapBits, 0, 0, 0, 0,
            static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8),
            static_cast<uint8_t>(height), static_cast<uint8_t>(height >> 8), depth, descriptor};
}

Bytes Join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

constexpr uint32_t kRed = PackColour(255, 0, 0);
constexpr uint32_t kGreen = PackColour(0, 255, 0);
constexpr uint32_t kBlue = PackColour(0, 0, 255);

TEST(TgaWrite, RoundTripsAndEndsWithTheVersionTwoFooter) {
    const Picture picture = test::Pattern(5, 3);
    ImageInfo info;
    EXPECT_EQ(test::RoundTrip(picture, "p.TGA", &info), picture);
    EXPECT_EQ(info.SubType, "true colour, 24 bits per pixel");
    Bytes bytes;
    ASSERT_EQ(EncodeImage(picture, "p.tga", bytes), "");
    ASSERT_EQ(bytes.size(), 18u + 45 + 26);
    EXPECT_EQ(std::string(bytes.end() - 18, bytes.end() - 1), "TRUEVISION-XFILE.");
}

TEST(TgaRead, EveryOrigin) {
    // 2 by 2, pixels stored red green / blue black (BGR order).
    const Bytes pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0};
    Picture p;
    ASSERT_EQ(Load(Join(TgaHeader(2, 2, 2, 24, 0x00), pixels), p, "a.tga"), "");  // bottom left
    EXPECT_EQ(p.Pixel(0, 1), kRed);
    EXPECT_EQ(p.Pixel(1, 1), kGreen);
    EXPECT_EQ(p.Pixel(0, 0), kBlue);
    ASSERT_EQ(Load(Join(TgaHeader(2, 2, 2, 24, 0x20), pixels), p, "a.tga"), "");  // top left
    EXPECT_EQ(p.Pixel(0, 0), kRed);
    EXPECT_EQ(p.Pixel(1, 0), kGreen);
    ASSERT_EQ(Load(Join(TgaHeader(2, 2, 2, 24, 0x30), pixels), p, "a.tga"), "");  // top right
    EXPECT_EQ(p.Pixel(1, 0), kRed);
    EXPECT_EQ(p.Pixel(0, 0), kGreen);
    ASSERT_EQ(Load(Join(TgaHeader(2, 2, 2, 24, 0x10), pixels), p, "a.tga"), "");  // bottom right
    EXPECT_EQ(p.Pixel(1, 1), kRed);
    EXPECT_EQ(p.Pixel(0, 1), kGreen);
    EXPECT_EQ(p.Pixel(1, 0), kBlue);
    EXPECT_EQ(p.Pixel(0, 0), 0u);
}

TEST(TgaRead, RunsCrossRowsAndSixteenBitColours) {
    // Type 10, 16 bits: one run of 3 red (0x7C00) then a raw packet of one blue, 2 by 2 top-left.
    const Bytes data = {0x82, 0x00, 0x7C, 0x00, 0x1F, 0x00};
    Picture p;
    ImageInfo info;
    ASSERT_EQ(Load(Join(TgaHeader(10, 2, 2, 16, 0x20), data), p, "a.tga", &info), "");
    EXPECT_EQ(p.Pixel(0, 0), kRed);
    EXPECT_EQ(p.Pixel(1, 0), kRed);
    EXPECT_EQ(p.Pixel(0, 1), kRed);
    EXPECT_EQ(p.Pixel(1, 1), kBlue);
    EXPECT_EQ(info.Options, "RLE, top-left origin");
    // Type 9 with a 24-bit map of two entries; index 7 is outside it.
    const Bytes map = {0, 0, 255, 255, 0, 0};
    ASSERT_EQ(Load(Join(Join(TgaHeader(9, 3, 1, 8, 0x20, 2, 24), map), {0x01, 1, 0, 0x00, 7}), p, "a.tga"), "");
    EXPECT_EQ(p.Pixel(0, 0), kBlue);
    EXPECT_EQ(p.Pixel(1, 0), kRed);
    EXPECT_EQ(p.Pixel(2, 0), 0u);
}

std::vector<test::Malformed> MalformedTargas() {
    const Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 7};
    return {
        {"ShorterThanAHeader", Bytes(10, 0), "shorter than a Targa header"},
        {"AnotherFormat", png, "not a Targa file"},
        {"UnknownImageType", TgaHeader(78, 2, 2, 24, 0), "not a Targa file"},
        {"UnknownColourMapType", Join({0, 2, 2}, Bytes(15, 0)), "not a Targa file"},
        {"PixelsCutShort", Join(TgaHeader(2, 4, 4, 24, 0), Bytes(47, 0)), "truncated"},
        {"RunsCutShort", Join(TgaHeader(10, 4, 4, 24, 0), {0xFF, 1, 2}), "truncated"},
        {"HugePicture", Join(TgaHeader(10, 60000, 60000, 24, 0), Bytes(100, 0)), "larger than this program accepts"},
        {"RunsTooFewForTheSize", Join(TgaHeader(10, 65535, 1000, 24, 0), {0xFF, 1, 2, 3}), "truncated"},
        {"ColourMapCutShort", Join(TgaHeader(1, 2, 2, 8, 0, 300, 24), Bytes(20, 0)), "colour map"},
        {"NoWidth", TgaHeader(2, 0, 4, 24, 0), "empty"},
        {"TwelveBitPixels", TgaHeader(2, 2, 2, 12, 0), "12 bits"},
        {"HuffmanCompressed", TgaHeader(32, 2, 2, 8, 0), "image type 32"},
        {"ColourMappedWithoutAMap", TgaHeader(1, 2, 2, 8, 0), "without a colour map"},
    };
}

class MalformedTarga : public testing::TestWithParam<test::Malformed> {};

TEST_P(MalformedTarga, IsRefusedNamingTheFile) { test::ExpectRefused(GetParam(), "bad.tga"); }

INSTANTIATE_TEST_SUITE_P(TgaRead, MalformedTarga, testing::ValuesIn(MalformedTargas()), test::MalformedName);

Bytes PcxHeader(uint8_t bits, uint8_t planes, uint16_t width, uint16_t height, uint16_t bytesPerLine) {
    Bytes h(128, 0);
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = bits;
    h[8] = static_cast<uint8_t>(width - 1);
    h[9] = static_cast<uint8_t>((width - 1) >> 8);
    h[10] = static_cast<uint8_t>(height - 1);
    h[11] = static_cast<uint8_t>((height - 1) >> 8);
    h[65] = planes;
    h[66] = static_cast<uint8_t>(bytesPerLine);
    h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
    return h;
}

TEST(PcxRead, TwentyFourBitsWithRunsAcrossPlanesAndLines) {
    // 2 by 2, 2 bytes a plane line. Line 1: R 255 255 | G 0 0 | B 0 9;
    // line 2 is one run of six 1s across its three planes.
    const Bytes data = {0xC2, 255, 0xC2, 0, 0x00, 0x09, 0xC6, 1};
    Picture p;
    ImageInfo info;
    ASSERT_EQ(Load(Join(PcxHeader(8, 3, 2, 2, 2), data), p, "a.pcx", &info), "");
    EXPECT_EQ(p.Pixel(0, 0), kRed);
    EXPECT_EQ(p.Pixel(1, 0), PackColour(255, 0, 9));
    EXPECT_EQ(p.Pixel(0, 1), PackColour(1, 1, 1));
    EXPECT_EQ(info.Colors, 16777216);
    EXPECT_EQ(info.Options, "RLE");
    // Without the closing palette an 8-bit file reads as grey.
    ASSERT_EQ(Load(Join(PcxHeader(8, 1, 2, 1, 2), {7, 0xC1, 200}), p, "a.pcx"), "");
    EXPECT_EQ(p.Pixel(0, 0), PackColour(7, 7, 7));
    EXPECT_EQ(p.Pixel(1, 0), PackColour(200, 200, 200));
    // Old writers let a run go on into the next line.
    ASSERT_EQ(Load(Join(PcxHeader(8, 1, 2, 2, 2), {0xC4, 5}), p, "a.pcx"), "");
    EXPECT_EQ(p.Pixel(1, 1), PackColour(5, 5, 5));
}

std::vector<test::Malformed> MalformedPcxFiles() {
    Bytes noSignature = PcxHeader(8, 1, 1, 1, 2);
    noSignature[0] = 0x0B;
    return {
        {"ShorterThanAHeader", Bytes(100, 0x0A), "shorter than a PCX header"},
        {"NoSignature", noSignature, "signature"},
        {"RunsCutShort", Join(PcxHeader(8, 3, 4, 4, 4), {0xC9, 1}), "ends in line"},
        {"HugePicture", Join(PcxHeader(8, 3, 60000, 60000, 60000), {0xFF, 1}), "larger than this program accepts"},
        {"RunsTooFewForTheSize", Join(PcxHeader(8, 3, 8000, 8000, 8000), {0xFF, 1, 0xFF, 2}), "too short for 8000 by 8000"},
        {"LinesTooShortForTheWidth", Join(PcxHeader(8, 1, 100, 1, 50), Bytes(100, 0)), "line length of 50 bytes"},
        {"EightBitsInTwoPlanes", PcxHeader(8, 2, 4, 4, 4), "8 bits in 2 planes"},
        {"SixteenBits", PcxHeader(16, 1, 4, 4, 4), "16 bits"},
    };
}

class MalformedPcx : public testing::TestWithParam<test::Malformed> {};

TEST_P(MalformedPcx, IsRefusedNamingTheFile) { test::ExpectRefused(GetParam(), "bad.pcx"); }

INSTANTIATE_TEST_SUITE_P(PcxRead, MalformedPcx, testing::ValuesIn(MalformedPcxFiles()), test::MalformedName);

}  // namespace
}  // namespace imaging
