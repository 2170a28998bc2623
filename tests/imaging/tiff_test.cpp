// TIFF writing with its options, checked in the file's own tags and with
// libtiff used directly; damaged files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <map>

#include "test_support.h"

namespace imaging {
namespace {

using test::OptionsGuard;
using test::TempFolder;

// The first directory's tags, read from the bytes without libtiff. Each tag
// maps to its values; a rational gives numerator and denominator.
struct Directory {
    bool bigEndian = false;
    std::map<uint16_t, std::vector<uint32_t>> tags;
};

Directory ParseFirstDirectory(const std::vector<uint8_t>& b) {
    Directory d;
    if (b.size() < 8) return d;
    d.bigEndian = b[0] == 'M';
    auto u16 = [&](size_t at) -> uint32_t {
        if (at + 2 > b.size()) return 0;
        return d.bigEndian ? (b[at] << 8) | b[at + 1] : b[at] | (b[at + 1] << 8);
    };
    auto u32 = [&](size_t at) -> uint32_t {
        return d.bigEndian ? (u16(at) << 16) | u16(at + 2) : u16(at) | (u16(at + 2) << 16);
    };
    if (u16(2) != 42) return d;
    const size_t ifd = u32(4);
    const uint32_t count = u16(ifd);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + 12 * size_t{i};
        const uint16_t tag = static_cast<uint16_t>(u16(entry));
        const uint32_t type = u16(entry + 2), n = u32(entry + 4);
        std::vector<uint32_t>& values = d.tags[tag];
        if (type == 3) {  // SHORT
            const size_t at = n <= 2 ? entry + 8 : u32(entry + 8);
            for (uint32_t k = 0; k < n && k < 16; ++k) values.push_back(u16(at + 2 * k));
        } else if (type == 4) {  // LONG
            const size_t at = n <= 1 ? entry + 8 : u32(entry + 8);
            for (uint32_t k = 0; k < n && k < 16; ++k) values.push_back(u32(at + 4 * k));
        } else if (type == 5) {  // RATIONAL
            const size_t at = u32(entry + 8);
            values = {u32(at), u32(at + 4)};
        }
    }
    return d;
}

std::vector<uint8_t> Encode(const Picture& picture, const std::string& name = "pic.tif") {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(EncodeImage(picture, name, bytes), "");
    return bytes;
}

TEST(TiffWrite, DefaultIsUncompressedLittleEndianRgbAt300DotsPerInch) {
    OptionsGuard guard;
    Options() = ImageFileOptions{};
    TempFolder folder;
    const Picture picture = test::Pattern(6, 5);
    ASSERT_EQ(SaveImageFile(picture, folder.File("pic.tif")), "");
    const std::vector<uint8_t> bytes = test::ReadBytes(folder.File("pic.tif"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("II*\0", 4));
    const Directory d = ParseFirstDirectory(bytes);
    EXPECT_EQ(d.tags.at(TIFFTAG_COMPRESSION), std::vector<uint32_t>{COMPRESSION_NONE});
    EXPECT_EQ(d.tags.at(TIFFTAG_PHOTOMETRIC), std::vector<uint32_t>{PHOTOMETRIC_RGB});
    EXPECT_EQ(d.tags.at(TIFFTAG_SAMPLESPERPIXEL), std::vector<uint32_t>{3});
    EXPECT_EQ(d.tags.at(TIFFTAG_BITSPERSAMPLE), (std::vector<uint32_t>{8, 8, 8}));
    EXPECT_EQ(d.tags.at(TIFFTAG_XRESOLUTION), (std::vector<uint32_t>{300, 1}));
    EXPECT_EQ(d.tags.at(TIFFTAG_YRESOLUTION), (std::vector<uint32_t>{300, 1}));
    EXPECT_EQ(d.tags.at(TIFFTAG_RESOLUTIONUNIT), std::vector<uint32_t>{RESUNIT_INCH});

    // libtiff itself reads the file and finds the picture's bytes in its lines.
    TIFFSetErrorHandler(nullptr);
    TIFF* tif = TIFFOpen(folder.File("pic.tif").c_str(), "r");
    ASSERT_NE(tif, nullptr);
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    EXPECT_EQ(width, 6u);
    EXPECT_EQ(height, 5u);
    std::vector<uint8_t> line(static_cast<size_t>(TIFFScanlineSize(tif)));
    ASSERT_EQ(line.size(), 18u);
    for (uint32_t y = 0; y < height; ++y) {
        ASSERT_EQ(TIFFReadScanline(tif, line.data(), y, 0), 1);
        EXPECT_TRUE(std::equal(line.begin(), line.end(), picture.Row(static_cast<int32_t>(y)))) << y;
    }
    TIFFClose(tif);

    ImageInfo info;
    Picture read;
    ASSERT_EQ(LoadImageFile(folder.File("pic.tif"), read, &info), "");
    EXPECT_EQ(read, picture);
    EXPECT_EQ(info.Type, "TIFF");
    EXPECT_EQ(info.SubType, "RGB, 8 bits per sample");
    EXPECT_EQ(info.Options, "uncompressed, little-endian");
}

TEST(TiffWrite, PackBitsBigEndianAndResolutionOptions) {
    OptionsGuard guard;
    Options().TiffCompression = 32773;
    Options().TiffByteOrder = 1;
    Options().TiffResolutionUnit = 2;
    Options().TiffResHorizN = 118;
    Options().TiffResHorizD = 1;
    Options().TiffResVertN = 59;
    Options().TiffResVertD = 1;
    Picture picture(40, 3);  // long runs for PackBits
    const std::vector<uint8_t> bytes = Encode(picture, "pic.TIFF");
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("MM\0*", 4));
    const Directory d = ParseFirstDirectory(bytes);
    EXPECT_EQ(d.tags.at(TIFFTAG_COMPRESSION), std::vector<uint32_t>{COMPRESSION_PACKBITS});
    EXPECT_EQ(d.tags.at(TIFFTAG_RESOLUTIONUNIT), std::vector<uint32_t>{RESUNIT_CENTIMETER});
    EXPECT_EQ(d.tags.at(TIFFTAG_XRESOLUTION), (std::vector<uint32_t>{118, 1}));
    EXPECT_EQ(d.tags.at(TIFFTAG_YRESOLUTION), (std::vector<uint32_t>{59, 1}));
    EXPECT_LT(bytes.size(), 40u * 3 * 3);  // compressed
    const Picture colours = test::Pattern(9, 7);
    ImageInfo info;
    EXPECT_EQ(test::RoundTrip(colours, "p.tif", &info), colours);
    EXPECT_EQ(info.Options, "PackBits, big-endian");
    Options().TiffResolutionUnit = 0;
    EXPECT_EQ(ParseFirstDirectory(Encode(picture)).tags.at(TIFFTAG_RESOLUTIONUNIT), std::vector<uint32_t>{RESUNIT_NONE});
    // A zero denominator is not divided by: that direction takes the other's
    // resolution, and with both unusable there is none.
    Options().TiffResHorizD = 0;
    EXPECT_EQ(ParseFirstDirectory(Encode(picture)).tags.at(TIFFTAG_XRESOLUTION), (std::vector<uint32_t>{59, 1}));
    Options().TiffResVertN = -5;
    EXPECT_EQ(ParseFirstDirectory(Encode(picture)).tags.count(TIFFTAG_XRESOLUTION), 0u);
    EXPECT_EQ(ParseFirstDirectory(Encode(picture)).tags.count(TIFFTAG_YRESOLUTION), 0u);
}

TEST(TiffWrite, CmykOption) {
    OptionsGuard guard;
    Options().TiffTrueColour = 1;
    const Picture picture = test::Pattern(8, 8);
    const Directory d = ParseFirstDirectory(Encode(picture));
    EXPECT_EQ(d.tags.at(TIFFTAG_PHOTOMETRIC), std::vector<uint32_t>{PHOTOMETRIC_SEPARATED});
    EXPECT_EQ(d.tags.at(TIFFTAG_SAMPLESPERPIXEL), std::vector<uint32_t>{4});
    EXPECT_EQ(d.tags.at(TIFFTAG_INKSET), std::vector<uint32_t>{INKSET_CMYK});
    // libtiff's conversion back to RGB truncates: within one level.
    EXPECT_LE(test::MaxDifference(test::RoundTrip(picture, "c.tif"), picture), 1);
    Picture extremes(3, 1);
    extremes.SetPixel(0, 0, PackColour(255, 255, 255));
    extremes.SetPixel(2, 0, PackColour(255, 0, 128));
    EXPECT_LE(test::MaxDifference(test::RoundTrip(extremes, "c.tif"), extremes), 1);
}

TEST(TiffWrite, CmykInksAreRoundedToTheNearestLevel) {
    OptionsGuard guard;
    Options().TiffTrueColour = 1;
    Picture picture(3, 1);
    picture.SetPixel(0, 0, PackColour(100, 50, 200));  // inks 255 - 127.5 and 255 - 63.75
    picture.SetPixel(1, 0, PackColour(0, 0, 0));        // black alone
    picture.SetPixel(2, 0, PackColour(7, 11, 13));      // inks 255 - 137.3 and 255 - 215.8
    const std::vector<uint8_t> bytes = Encode(picture);
    const size_t strip = ParseFirstDirectory(bytes).tags.at(TIFFTAG_STRIPOFFSETS).at(0);
    ASSERT_LE(strip + 12, bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + strip, bytes.begin() + strip + 12),
              (std::vector<uint8_t>{127, 191, 0, 55, 0, 0, 0, 255, 118, 39, 0, 242}));
}

TEST(TiffWrite, GreyPicturesAsBlackIsZeroOrWhiteIsZero) {
    OptionsGuard guard;
    const Picture picture = test::GreyPattern(5, 4);
    Directory d = ParseFirstDirectory(Encode(picture));
    EXPECT_EQ(d.tags.at(TIFFTAG_PHOTOMETRIC), std::vector<uint32_t>{PHOTOMETRIC_MINISBLACK});
    EXPECT_EQ(d.tags.at(TIFFTAG_SAMPLESPERPIXEL), std::vector<uint32_t>{1});
    EXPECT_EQ(test::RoundTrip(picture, "g.tif"), picture);
    Options().TiffGreyScale = 1;
    const std::vector<uint8_t> bytes = Encode(picture);
    d = ParseFirstDirectory(bytes);
    EXPECT_EQ(d.tags.at(TIFFTAG_PHOTOMETRIC), std::vector<uint32_t>{PHOTOMETRIC_MINISWHITE});
    // The first stored sample is the inverse of the first pixel.
    const uint32_t strip = d.tags.at(TIFFTAG_STRIPOFFSETS).at(0);
    ASSERT_LT(strip, bytes.size());
    EXPECT_EQ(bytes[strip], 255 - RedOf(picture.Pixel(0, 0)));
    ImageInfo info;
    EXPECT_EQ(test::RoundTrip(picture, "g.tif", &info), picture);
    EXPECT_EQ(info.SubType, "grey, white is zero, 8 bits per sample");
    // Colour pictures stay colour whatever the grey option.
    EXPECT_EQ(ParseFirstDirectory(Encode(test::Pattern(2, 2))).tags.at(TIFFTAG_PHOTOMETRIC),
              std::vector<uint32_t>{PHOTOMETRIC_RGB});
}

TEST(TiffRead, DamagedFilesAreRefused) {
    OptionsGuard guard;
    const std::vector<uint8_t> good = Encode(test::Pattern(20, 20));
    const Directory d = ParseFirstDirectory(good);
    std::vector<std::vector<uint8_t>> cases;
    cases.emplace_back(good.begin(), good.begin() + 200);  // truncated pixel data
    cases.emplace_back(good.begin(), good.begin() + 6);
    std::vector<uint8_t> ifd = good;
    ifd[4] = 0xF0, ifd[5] = 0xFF, ifd[6] = 0xFF, ifd[7] = 0x00;  // directory far beyond the end
    cases.push_back(ifd);
    std::vector<uint8_t> huge = good;
    // The width entry holds its value in the entry itself.
    const size_t directory = good[4] | (good[5] << 8) | (good[6] << 16) | (size_t{good[7]} << 24);
    for (size_t e = directory + 2; e + 12 <= huge.size(); e += 12) {
        if ((huge[e] | (huge[e + 1] << 8)) == TIFFTAG_IMAGEWIDTH) {
            huge[e + 2] = 4;  // LONG
            huge[e + 8] = 0xFF, huge[e + 9] = 0xFF, huge[e + 10] = 0xFF, huge[e + 11] = 0x0F;
            break;
        }
    }
    cases.push_back(huge);
    cases.push_back({'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0});  // a directory without entries
    cases.push_back({'P', '6', ' ', '1'});
    ASSERT_EQ(d.tags.count(TIFFTAG_IMAGEWIDTH), 1u);
    for (const auto& bytes : cases) {
        Picture picture = test::Pattern(2, 2);
        const std::string error = LoadImageMemory(bytes.data(), bytes.size(), "bad.tif", picture);
        EXPECT_EQ(error.rfind("bad.tif: ", 0), 0u) << error;
        EXPECT_GT(error.size(), 12u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(picture, test::Pattern(2, 2));
    }
}

// Writes `picture` with libtiff itself, stored in `orientation` order, in
// strips of `rows` rows or in 16 by 16 tiles.
void WriteWithLibtiff(const Picture& picture, const std::string& path, uint16_t orientation, uint32_t rows, bool tiled) {
    const uint32_t width = static_cast<uint32_t>(picture.Width()), height = static_cast<uint32_t>(picture.Height());
    const bool flipRows = orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT;
    const bool flipColumns = orientation == ORIENTATION_TOPRIGHT || orientation == ORIENTATION_BOTRIGHT;
    std::vector<uint8_t> stored(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t colour = picture.Pixel(static_cast<int32_t>(flipColumns ? width - 1 - x : x),
                                                  static_cast<int32_t>(flipRows ? height - 1 - y : y));
            uint8_t* p = &stored[(size_t{y} * width + x) * 3];
            p[0] = RedOf(colour), p[1] = GreenOf(colour), p[2] = BlueOf(colour);
        }
    }
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, orientation);
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, 16);
        std::vector<uint8_t> tile(16 * 16 * 3);
        for (uint32_t ty = 0; ty < height; ty += 16) {
            for (uint32_t tx = 0; tx < width; tx += 16) {
                for (uint32_t y = 0; y < 16; ++y) {
                    for (uint32_t x = 0; x < 16; ++x) {
                        const bool inside = ty + y < height && tx + x < width;
                        for (int c = 0; c < 3; ++c) {
                            tile[(y * 16 + x) * 3 + c] = inside ? stored[((ty + y) * size_t{width} + tx + x) * 3 + c] : 0;
                        }
                    }
                }
                ASSERT_GT(TIFFWriteTile(tif, tile.data(), tx, ty, 0, 0), 0);
            }
        }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rows);
        for (uint32_t y = 0; y < height; ++y) ASSERT_EQ(TIFFWriteScanline(tif, &stored[size_t{y} * width * 3], y, 0), 1);
    }
    TIFFClose(tif);
}

TEST(TiffRead, StripsAndTilesAreReadInBandsInEveryOrientation) {
    TempFolder folder;
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    // Five rows in strips of two: the last band is shorter.
    const Picture picture = test::Pattern(20, 35);
    for (uint16_t orientation : {ORIENTATION_TOPLEFT, ORIENTATION_TOPRIGHT, ORIENTATION_BOTRIGHT, ORIENTATION_BOTLEFT}) {
        for (const bool tiled : {false, true}) {
            SCOPED_TRACE(std::to_string(orientation) + (tiled ? " tiled" : " in strips"));
            const std::string path = folder.File("o.tif");
            WriteWithLibtiff(picture, path, orientation, 2, tiled);
            Picture read;
            ASSERT_EQ(LoadImageFile(path, read), "");
            EXPECT_EQ(read, picture);
        }
    }
}

std::string Regression(const std::string& name) { return std::string(HALVANE_REGRESSIONS) + "/tiff/" + name; }

TEST(TiffRead, ColoursBesideUnassociatedAlphaAreKeptAsStored) {
    Picture picture;
    ASSERT_EQ(LoadImageFile(Regression("unassociated-alpha.tif"), picture), "");
    EXPECT_EQ(picture.Pixel(0, 0), PackColour(95, 0, 60));  // alpha 128
    EXPECT_EQ(picture.Pixel(1, 0), PackColour(200, 100, 50));
}

TEST(TiffRead, HostileFilesAreRefusedInPlainWords) {
    const struct {
        const char* file;
        const char* expected;
    } cases[] = {
        {"directory-beyond-the-end.tif", ": damaged TIFF file: its first directory cannot be read"},
        {"strip-beyond-the-end.tif", ": damaged TIFF file: strip 1 lies beyond the end of the file"},
        {"claims-10000x10000-in-200-bytes.tif", ": damaged TIFF file: strip 1 lies beyond the end of the file"},
        {"deflate-too-short-for-its-size.tif", ": damaged TIFF file: 26 bytes of compressed data cannot hold its pixels"},
        {"strip-shorter-than-its-rows.tif", ": damaged TIFF file: strip 2 holds 10 bytes of the 24 its pixels need"},
    };
    for (const auto& c : cases) {
        Picture picture;
        EXPECT_EQ(LoadImageFile(Regression(c.file), picture), Regression(c.file) + c.expected);
    }
}

}  // namespace
}  // namespace imaging
