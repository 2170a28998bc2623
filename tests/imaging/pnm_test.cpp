// Portable bitmap, greymap and pixmap reading and writing.
#include <gtest/gtest.h>

#include <string>

#include "codecs.h"
#include "test_support.h"

namespace imaging {
namespace {

using test::OptionsGuard;

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Decode(const std::string& text, Picture& picture, const std::string& name = "t.ppm",
                   ImageInfo* info = nullptr) {
    return LoadImageMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), name, picture, info);
}

TEST(PnmWrite, DefaultPixmapIsAsciiWithShortLines) {
    OptionsGuard guard;
    Options() = ImageFileOptions{};
    const Picture picture = test::Pattern(40, 3);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "pic.ppm", bytes), "");
    const std::string text = Text(bytes);
    EXPECT_EQ(text.rfind("P3\n40 3\n255\n", 0), 0u) << text.substr(0, 20);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 70u);
        start = end + 1;
    }
    EXPECT_EQ(test::RoundTrip(picture, "pic.ppm"), picture);
}

TEST(PnmWrite, PlainLinesFillUpToSeventyCharactersAndEveryRowEndsItsLine) {
    OptionsGuard guard;
    Options().PnmBinary = false;
    // Seventeen 255s take 67 characters; " 22" fills the line to 70 exactly.
    Picture picture(7, 2);
    for (int32_t x = 0; x < 5; ++x) picture.SetPixel(x, 0, PackColour(255, 255, 255));
    picture.SetPixel(5, 0, PackColour(255, 255, 22));
    picture.SetPixel(6, 0, PackColour(5, 7, 9));
    picture.SetPixel(0, 1, PackColour(100, 0, 10));
    std::string first, second = "100 0 10";
    for (int i = 0; i < 17; ++i) first += "255 ";
    for (int i = 0; i < 18; ++i) second += " 0";
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "p.ppm", bytes), "");
    EXPECT_EQ(Text(bytes), "P3\n7 2\n255\n" + first + "22\n5 7 9\n" + second + "\n");
    // A bitmap's digits need no blanks: 70 to a line.
    Picture wide(75, 1);
    ASSERT_EQ(EncodeImage(wide, "w.pbm", bytes), "");
    EXPECT_EQ(Text(bytes), "P1\n75 1\n" + std::string(70, '1') + "\n" + std::string(5, '1') + "\n");
}

TEST(PnmWrite, BinaryOptionWritesRawForms) {
    OptionsGuard guard;
    Options().PnmBinary = true;
    const Picture picture = test::Pattern(9, 4);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "pic.ppm", bytes), "");
    EXPECT_EQ(Text(bytes).substr(0, 11), "P6\n9 4\n255\n");
    EXPECT_EQ(bytes.size(), 11u + 9 * 4 * 3);
    ASSERT_EQ(EncodeImage(picture, "pic.pgm", bytes), "");
    EXPECT_EQ(Text(bytes).substr(0, 11), "P5\n9 4\n255\n");
    EXPECT_EQ(bytes.size(), 11u + 9 * 4);
    ASSERT_EQ(EncodeImage(picture, "pic.pbm", bytes), "");
    EXPECT_EQ(Text(bytes).substr(0, 7), "P4\n9 4\n");
    EXPECT_EQ(bytes.size(), 7u + 2 * 4);  // nine pixels take two bytes a row
    EXPECT_EQ(test::RoundTrip(picture, "pic.ppm"), picture);
}

TEST(PnmWrite, GreymapAndBitmapConvertTheColours) {
    OptionsGuard guard;
    for (bool binary : {false, true}) {
        Options().PnmBinary = binary;
        Picture picture(3, 1);
        picture.SetPixel(0, 0, PackColour(255, 0, 0));      // luma 76
        picture.SetPixel(1, 0, PackColour(0, 255, 0));      // luma 150
        picture.SetPixel(2, 0, PackColour(200, 200, 200));  // grey stays
        const Picture grey = test::RoundTrip(picture, "pic.pgm");
        EXPECT_EQ(grey.Pixel(0, 0), PackColour(76, 76, 76));
        EXPECT_EQ(grey.Pixel(1, 0), PackColour(150, 150, 150));
        EXPECT_EQ(grey.Pixel(2, 0), PackColour(200, 200, 200));
        const Picture bilevel = test::RoundTrip(picture, "pic.pbm");
        EXPECT_EQ(bilevel.Pixel(0, 0), 0u);
        EXPECT_EQ(bilevel.Pixel(1, 0), PackColour(255, 255, 255));
        EXPECT_EQ(bilevel.Pixel(2, 0), PackColour(255, 255, 255));
    }
}

TEST(PnmRead, PlainFormsWithCommentsAndOddMaxval) {
    Picture picture;
    ImageInfo info;
    ASSERT_EQ(Decode("P3 # comment\n2 1 # size\n7\n7 0 3  0 7 7\n", picture, "t.ppm", &info), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(255, 0, 109));  // 3 of 7 is 109.3
    EXPECT_EQ(picture.Pixel(1, 0), PackColour(0, 255, 255));
    EXPECT_EQ(info.Type, "PPM");
    EXPECT_EQ(info.SubType, "ASCII");
    EXPECT_EQ(info.Colors, 512);
    // A plain bitmap needs no separators between its digits; 1 is black.
    ASSERT_EQ(Decode("P1\n3 2\n010\n1 1 0", picture, "t.pbm"), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(255, 255, 255));
    EXPECT_EQ(picture.Pixel(1, 0), 0u);
    EXPECT_EQ(picture.Pixel(1, 1), 0u);
    EXPECT_EQ(picture.Pixel(2, 1), PackColour(255, 255, 255));
    ASSERT_EQ(Decode("P2\n2 1\n65535\n65535 32768\n", picture, "t.pgm"), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(255, 255, 255));
    EXPECT_EQ(picture.Pixel(1, 0), PackColour(128, 128, 128));
}

TEST(PnmRead, RawSixteenBitSamplesAreBigEndian) {
    const std::string text = std::string("P6\n1 1\n1000\n") + std::string("\x03\xE8\x01\xF4\x00\x00", 6);
    Picture picture;
    ImageInfo info;
    ASSERT_EQ(Decode(text, picture, "t.ppm", &info), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(255, 128, 0));  // 1000, 500, 0 of 1000
    EXPECT_EQ(info.BitsPerPixel, 48);
    EXPECT_EQ(info.SubType, "binary");
}

std::vector<test::Malformed> MalformedPnmFiles() {
    using test::Text;
    return {
        {"NoSignature", Text("P7\n1 1\n255\n"), "no P1 to P6"},
        {"RawPixelsCutShort", Text("P6\n4 4\n255\n\x01\x02"), "truncated"},
        {"PlainPixelsCutShort", Text("P3\n2 1\n255\n1 2 3 4 5"), "truncated"},
        {"HugePicture", Text("P6\n100000 100000\n255\n"), "larger than this program accepts"},
        {"NoWidth", Text("P5\n0 5\n255\n"), "empty"},
        {"MaximumBeyondSixteenBits", Text("P2\n1 1\n70000\n1"), "maximum value"},
        {"PlainValueAboveTheMaximum", Text("P2\n2 1\n10\n5 11\n"), "not a number from 0 to 10"},
        {"RawValueAboveTheMaximum", Text("P5\n1 1\n10\n\x0b"), "larger than the maximum value"},
        {"WidthBeyondThirtyTwoBits", Text("P6\n99999999999 1\n255\n"), "width and height"},
        {"RawHeaderWithoutItsLastSpace", Text("P5\n1 1\n255"), "white space"},
    };
}

class MalformedPnm : public testing::TestWithParam<test::Malformed> {};

TEST_P(MalformedPnm, IsRefusedNamingTheFile) { test::ExpectRefused(GetParam(), "bad.ppm"); }

INSTANTIATE_TEST_SUITE_P(PnmRead, MalformedPnm, testing::ValuesIn(MalformedPnmFiles()), test::MalformedName);

}  // namespace
}  // namespace imaging
