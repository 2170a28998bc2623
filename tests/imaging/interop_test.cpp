// Files written by other programs decode to the pixels those programs report
// (the fixture's .ppm, made by the tool itself; see fixtures/README.md).
#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"

namespace imaging {
namespace {

using test::Fixture;
using test::OptionsGuard;

struct Case {
    const char* file;
    const char* type;
    int tolerance;  // largest channel difference allowed
};

// Lossless files match exactly, except where widening 5-bit levels (netpbm
// truncates, we round) or narrowing 16-bit samples may differ by one level.
// JPEG files match djpeg exactly, as it is the same library and DCT.
const Case kCases[] = {
    {"bmp_1.bmp", "BMP", 0},           {"bmp_4.bmp", "BMP", 0},
    {"bmp_8.bmp", "BMP", 0},           {"bmp_rle8.bmp", "BMP", 0},
    {"bmp_16_555.bmp", "BMP", 1},      {"bmp_16_565.bmp", "BMP", 1},
    {"bmp_24_netpbm.bmp", "BMP", 0},   {"bmp_24_im3.bmp", "BMP", 0},
    {"bmp_32_v5.bmp", "BMP", 0},       {"bmp_os2.bmp", "BMP", 0},
    {"tga_1.tga", "TGA", 0},           {"tga_2.tga", "TGA", 0},
    {"tga_3.tga", "TGA", 0},           {"tga_9.tga", "TGA", 0},
    {"tga_10.tga", "TGA", 0},          {"tga_11.tga", "TGA", 0},
    {"pcx_1.pcx", "PCX", 0},           {"pcx_4planes.pcx", "PCX", 0},
    {"pcx_8.pcx", "PCX", 0},           {"pcx_24.pcx", "PCX", 0},
    {"pnm_plain.ppm", "PPM", 0},       {"pnm_raw16.ppm", "PPM", 1},
    {"pnm_plain1000.pgm", "PGM", 1},   {"pnm_raw.pbm", "PBM", 0},
    {"png_rgb8.png", "PNG", 0},        {"png_rgb8_interlaced.png", "PNG", 0},
    {"png_palette.png", "PNG", 0},     {"png_palette_trns.png", "PNG", 0},
    {"png_rgb16.png", "PNG", 1},       {"png_rgba8.png", "PNG", 0},
    {"png_grey1.png", "PNG", 0},       {"png_grey4.png", "PNG", 0},
    {"png_grey8.png", "PNG", 0},       {"png_grey16.png", "PNG", 1},
    {"png_greya.png", "PNG", 0},       {"png_gamma.png", "PNG", 0},
    {"jpeg_rgb.jpg", "JPEG", 0},       {"jpeg_progressive.jpg", "JPEG", 0},
    {"jpeg_grey.jpg", "JPEG", 0},      {"jpeg_cmyk_adobe.jpg", "JPEG", 3},
    {"tiff_none_le.tif", "TIFF", 0},   {"tiff_packbits_be.tif", "TIFF", 0},
    {"tiff_lzw.tif", "TIFF", 0},       {"tiff_zip_tiled.tif", "TIFF", 0},
    {"tiff_planar.tif", "TIFF", 0},    {"tiff_grey.tif", "TIFF", 0},
    {"tiff_palette.tif", "TIFF", 0},   {"tiff_rgb16.tif", "TIFF", 1},
};

TEST(Interoperability, FilesOfOtherProgramsDecodeToTheirPixels) {
    OptionsGuard guard;
    Options().GammaCorrectionOnRead = false;  // the tools report stored values
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.file);
        Picture expected, actual;
        ASSERT_EQ(LoadImageFile(Fixture(std::string(c.file) + ".ppm"), expected), "");
        ImageInfo info;
        ASSERT_EQ(LoadImageFile(Fixture(c.file), actual, &info), "");
        EXPECT_EQ(info.Type, c.type);
        EXPECT_EQ(info.Width, 7);
        EXPECT_EQ(info.Height, 5);
        EXPECT_EQ(info.GraphicCount, 1);
        EXPECT_FALSE(info.SubType.empty());
        EXPECT_LE(test::MaxDifference(actual, expected), c.tolerance);
    }
}

TEST(Interoperability, TheSourceIsNotUniform) {
    // Guards the comparison above against a source that could not tell rows
    // or columns apart.
    Picture source;
    ASSERT_EQ(LoadImageFile(Fixture("source.ppm"), source), "");
    for (int32_t y = 0; y + 1 < source.Height(); ++y) EXPECT_NE(source.Pixel(0, y), source.Pixel(0, y + 1));
    for (int32_t x = 0; x + 1 < source.Width(); ++x) EXPECT_NE(source.Pixel(x, 0), source.Pixel(x + 1, 0));
}

TEST(Interoperability, GammaChunkIsCorrectedForTheScreen) {
    OptionsGuard guard;
    Options().GammaCorrectionOnRead = true;
    Options().ScreenGamma = 1.8;
    Picture stored, corrected;
    ASSERT_EQ(LoadImageFile(Fixture("png_gamma.png.ppm"), stored), "");
    ASSERT_EQ(LoadImageFile(Fixture("png_gamma.png"), corrected), "");
    // File gamma 0.5 shown on a screen of gamma 1.8: v' = v^(1 / 0.9).
    for (size_t i = 0; i < stored.Bytes().size(); ++i) {
        const double want = 255.0 * std::pow(stored.Bytes()[i] / 255.0, 1.0 / 0.9);
        EXPECT_NEAR(corrected.Bytes()[i], want, 1.0) << "byte " << i;
    }
    // Files without a gAMA chunk are taken as they are, with an sRGB chunk too.
    Picture plain, expected, srgb;
    ASSERT_EQ(LoadImageFile(Fixture("png_rgb8.png"), plain), "");
    ASSERT_EQ(LoadImageFile(Fixture("png_rgb8.png.ppm"), expected), "");
    ASSERT_EQ(LoadImageFile(std::string(HALVANE_REGRESSIONS) + "/png/srgb-without-gama.png", srgb), "");
    EXPECT_EQ(plain, expected);
    EXPECT_EQ(srgb, expected);
}

TEST(Interoperability, InfoDescribesTheFiles) {
    ImageInfo info;
    Picture picture;
    ASSERT_EQ(LoadImageFile(Fixture("bmp_rle8.bmp"), picture, &info), "");
    EXPECT_EQ(info.Options, "RLE8");
    EXPECT_EQ(info.BitsPerPixel, 8);
    ASSERT_EQ(LoadImageFile(Fixture("png_rgb8_interlaced.png"), picture, &info), "");
    EXPECT_EQ(info.Options, "interlaced");
    ASSERT_EQ(LoadImageFile(Fixture("jpeg_progressive.jpg"), picture, &info), "");
    EXPECT_EQ(info.Options, "progressive");
    ASSERT_EQ(LoadImageFile(Fixture("jpeg_cmyk_adobe.jpg"), picture, &info), "");
    EXPECT_EQ(info.SubType.rfind("CMYK", 0) == 0 || info.SubType.rfind("YCCK", 0) == 0, true) << info.SubType;
    EXPECT_EQ(info.Options, "baseline, Adobe inverted");
    ASSERT_EQ(LoadImageFile(Fixture("tiff_packbits_be.tif"), picture, &info), "");
    EXPECT_EQ(info.Options, "PackBits, big-endian");
    ASSERT_EQ(LoadImageFile(Fixture("tga_9.tga"), picture, &info), "");
    EXPECT_EQ(info.SubType, "colour-mapped, 8 bits per pixel");
    EXPECT_EQ(info.Options, "RLE, bottom-left origin");
    ASSERT_EQ(LoadImageFile(Fixture("pcx_4planes.pcx"), picture, &info), "");
    EXPECT_EQ(info.Colors, 16);
    EXPECT_EQ(info.BitsPerPixel, 4);
}

}  // namespace
}  // namespace imaging
