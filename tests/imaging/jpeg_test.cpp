// JPEG writing and reading, checked against libjpeg used directly.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "test_support.h"

namespace imaging {
namespace {

using test::OptionsGuard;

struct Reference {
    bool ok = false;
    bool progressive = false;
    int components = 0;
    int lumaSampling = 0;  // horizontal sampling factor of the first component
    J_COLOR_SPACE space = JCS_UNKNOWN;
    unsigned width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

struct ReferenceErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void Fail(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ReferenceErrors*>(cinfo->err)->jump, 1); }

void DecodeInto(jpeg_decompress_struct* cinfo, const std::vector<uint8_t>* bytes, Reference* out) {
    if (setjmp(reinterpret_cast<ReferenceErrors*>(cinfo->err)->jump)) return;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, bytes->data(), bytes->size());
    jpeg_read_header(cinfo, TRUE);
    out->progressive = cinfo->progressive_mode;
    out->space = cinfo->jpeg_color_space;
    out->components = cinfo->num_components;
    out->lumaSampling = cinfo->comp_info[0].h_samp_factor * 10 + cinfo->comp_info[0].v_samp_factor;
    cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    out->width = cinfo->output_width;
    out->height = cinfo->output_height;
    out->rgb.resize(size_t{out->width} * out->height * 3);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->rgb.data() + size_t{cinfo->output_scanline} * out->width * 3;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    out->ok = true;
}

// libjpeg's own decoding with its defaults.
Reference DecodeWithLibjpeg(const std::vector<uint8_t>& bytes) {
    Reference out;
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ReferenceErrors errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = Fail;
    DecodeInto(&cinfo, &bytes, &out);
    jpeg_destroy_decompress(&cinfo);
    return out;
}

// A smooth picture, as JPEG is made for.
Picture Smooth(int32_t width, int32_t height) {
    Picture picture(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            picture.SetPixel(x, y, PackColour(static_cast<uint8_t>(x * 255 / width), static_cast<uint8_t>(y * 255 / height),
                                              static_cast<uint8_t>(128 + (x - y) / 2)));
        }
    }
    return picture;
}

TEST(JpegWrite, DefaultsAreValidToLibjpegAndCloseToThePicture) {
    OptionsGuard guard;
    Options() = ImageFileOptions{};
    const Picture picture = Smooth(40, 24);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "pic.jpg", bytes), "");
    const Reference reference = DecodeWithLibjpeg(bytes);
    ASSERT_TRUE(reference.ok);
    EXPECT_FALSE(reference.progressive);
    EXPECT_EQ(reference.space, JCS_YCbCr);
    EXPECT_EQ(reference.width, 40u);
    EXPECT_EQ(reference.height, 24u);
    Picture ours;
    ImageInfo info;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "pic.jpeg", ours, &info), "");
    EXPECT_EQ(ours.Bytes(), reference.rgb);  // both the precise integer DCT
    EXPECT_LE(test::MaxDifference(ours, picture), 12);
    EXPECT_EQ(info.Type, "JPEG");
    EXPECT_EQ(info.SubType, "YCbCr, 3 components");
    EXPECT_EQ(info.Options, "baseline");
}

TEST(JpegWrite, ProgressiveOptionMakesAProgressiveFile) {
    OptionsGuard guard;
    Options().JpegProgressive = true;
    const Picture picture = Smooth(33, 17);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(picture, "p.JIF", bytes), "");
    const Reference reference = DecodeWithLibjpeg(bytes);
    ASSERT_TRUE(reference.ok);
    EXPECT_TRUE(reference.progressive);
    ImageInfo info;
    EXPECT_LE(test::MaxDifference(test::RoundTrip(picture, "p.jif", &info), picture), 12);
    EXPECT_EQ(info.Options, "progressive");
}

TEST(JpegWrite, QualityAndMethodsAsTyped) {
    OptionsGuard guard;
    const Picture picture = test::Pattern(32, 32);  // busy: quality shows in the size
    std::vector<uint8_t> low, high, top;
    Options().JpegQuality = 10;
    ASSERT_EQ(EncodeImage(picture, "q.jpg", low), "");
    Options().JpegQuality = 95;
    ASSERT_EQ(EncodeImage(picture, "q.jpg", high), "");
    EXPECT_LT(low.size(), high.size());
    // 0 and values above 100 go to libjpeg, which takes them as 1 and 100.
    for (uint8_t quality : {0, 100, 101, 255}) {
        Options().JpegQuality = quality;
        ASSERT_EQ(EncodeImage(picture, "q.jpg", top), "") << int{quality};
        EXPECT_TRUE(DecodeWithLibjpeg(top).ok) << int{quality};
    }
    std::vector<uint8_t> hundred;
    Options().JpegQuality = 100;
    ASSERT_EQ(EncodeImage(picture, "q.jpg", hundred), "");
    EXPECT_EQ(top, hundred);  // 255 is clamped by libjpeg to 100
    // Every DCT method code, and codes out of range, write and read.
    Options().JpegQuality = 80;
    for (uint8_t method : {0, 1, 2, 3, 200}) {
        Options().JpegWriteMethod = method;
        Options().JpegReadMethod = method;
        EXPECT_LE(test::MaxDifference(test::RoundTrip(Smooth(16, 16), "m.jpg"), Smooth(16, 16)), 16) << int{method};
    }
}

TEST(JpegRead, ReadMethodChangesTheDecoding) {
    OptionsGuard guard;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeImage(test::Pattern(64, 64), "r.jpg", bytes), "");
    Picture precise, fast, floating;
    Options().JpegReadMethod = 0;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "r.jpg", precise), "");
    Options().JpegReadMethod = 1;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "r.jpg", fast), "");
    Options().JpegReadMethod = 2;
    ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "r.jpg", floating), "");
    EXPECT_NE(precise, fast);
    EXPECT_NE(precise, floating);
    EXPECT_NE(fast, floating);
    EXPECT_LE(test::MaxDifference(precise, fast), 16);
}

TEST(JpegWrite, EachDctMethodWritesItsOwnBytes) {
    OptionsGuard guard;
    std::vector<uint8_t> written[3];
    for (uint8_t method = 0; method < 3; ++method) {
        Options().JpegWriteMethod = method;
        ASSERT_EQ(EncodeImage(test::Pattern(64, 64), "m.jpg", written[method]), "");
    }
    EXPECT_NE(written[0], written[1]);
    EXPECT_NE(written[0], written[2]);
    EXPECT_NE(written[1], written[2]);
}

TEST(JpegWrite, ColourIsKeptWholeFromQualityNinety) {
    OptionsGuard guard;
    const Picture picture = Smooth(48, 32);
    for (const auto& [quality, sampling] : {std::pair{89, 22}, std::pair{90, 11}, std::pair{100, 11}}) {
        Options().JpegQuality = static_cast<uint8_t>(quality);
        std::vector<uint8_t> bytes;
        ASSERT_EQ(EncodeImage(picture, "s.jpg", bytes), "");
        const Reference reference = DecodeWithLibjpeg(bytes);
        ASSERT_TRUE(reference.ok);
        EXPECT_EQ(reference.lumaSampling, sampling) << quality;
    }
}

struct CmykFile {
    jpeg_compress_struct cinfo;
    ReferenceErrors errors;
    std::vector<uint8_t> row = std::vector<uint8_t>(8 * 4);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
};

bool RunCmyk(CmykFile* f, bool adobe) {
    if (setjmp(f->errors.jump)) return false;
    jpeg_create_compress(&f->cinfo);
    jpeg_mem_dest(&f->cinfo, &f->buffer, &f->length);
    f->cinfo.image_width = 8;
    f->cinfo.image_height = 8;
    f->cinfo.input_components = 4;
    f->cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&f->cinfo);
    jpeg_set_colorspace(&f->cinfo, JCS_CMYK);
    jpeg_set_quality(&f->cinfo, 100, TRUE);
    f->cinfo.write_Adobe_marker = adobe;
    jpeg_start_compress(&f->cinfo, TRUE);
    while (f->cinfo.next_scanline < f->cinfo.image_height) {
        JSAMPROW line = f->row.data();
        jpeg_write_scanlines(&f->cinfo, &line, 1);
    }
    jpeg_finish_compress(&f->cinfo);
    return true;
}

// An 8 by 8 CMYK JPEG of one colour written by libjpeg, with or without Adobe's marker.
std::vector<uint8_t> EncodeCmyk(const uint8_t cmyk[4], bool adobe) {
    CmykFile f;
    std::memset(&f.cinfo, 0, sizeof f.cinfo);
    f.cinfo.err = jpeg_std_error(&f.errors.manager);
    f.errors.manager.error_exit = Fail;
    for (size_t i = 0; i < f.row.size(); ++i) f.row[i] = cmyk[i % 4];
    std::vector<uint8_t> out;
    if (RunCmyk(&f, adobe)) out.assign(f.buffer, f.buffer + f.length);
    jpeg_destroy_compress(&f.cinfo);
    std::free(f.buffer);
    return out;
}

TEST(JpegRead, CmykPlainAndAdobeInverted) {
    // Ink values: cyan 0, magenta 255, yellow 255, black 64 (plain form) is
    // red at 75 %; Adobe files store 255 minus each ink.
    const uint8_t plain[4] = {0, 255, 255, 64};
    const uint8_t inverted[4] = {255, 0, 0, 191};
    for (bool adobe : {false, true}) {
        const std::vector<uint8_t> bytes = EncodeCmyk(adobe ? inverted : plain, adobe);
        ASSERT_FALSE(bytes.empty());
        Picture picture;
        ImageInfo info;
        ASSERT_EQ(LoadImageMemory(bytes.data(), bytes.size(), "c.jpg", picture, &info), "");
        EXPECT_NEAR(RedOf(picture.Pixel(3, 3)), 191, 2) << adobe;
        EXPECT_NEAR(GreenOf(picture.Pixel(3, 3)), 0, 2) << adobe;
        EXPECT_NEAR(BlueOf(picture.Pixel(3, 3)), 0, 2) << adobe;
        EXPECT_EQ(info.SubType, "CMYK, 4 components");
        EXPECT_EQ(info.Options, adobe ? "baseline, Adobe inverted" : "baseline");
    }
}

TEST(JpegRead, DamagedFilesAreRefused) {
    std::vector<uint8_t> good;
    ASSERT_EQ(EncodeImage(test::Pattern(40, 40), "g.jpg", good), "");
    std::vector<std::pair<std::vector<uint8_t>, const char*>> cases;
    cases.push_back({std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2), "Premature end"});
    cases.push_back({std::vector<uint8_t>(good.begin(), good.begin() + 100), ""});
    cases.push_back({{0x89, 'P', 'N', 'G'}, "no SOI marker"});
    std::vector<uint8_t> huge = good;
    // The SOF0 marker's height and width: set both to 65000.
    for (size_t i = 0; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFD, huge[i + 6] = 0xE8, huge[i + 7] = 0xFD, huge[i + 8] = 0xE8;
            break;
        }
    }
    cases.push_back({huge, "larger than this program accepts"});
    // The scan cut short by an end-of-picture marker: libjpeg would warn
    // and fill the rest with grey.
    size_t scan = 0;
    for (size_t i = 0; i + 1 < good.size() && scan == 0; ++i) {
        if (good[i] == 0xFF && good[i + 1] == 0xDA) scan = i + 2 + (good[i + 2] << 8 | good[i + 3]);
    }
    ASSERT_GT(scan, 0u);
    std::vector<uint8_t> cut(good.begin(), good.begin() + scan + (good.size() - scan) / 2);
    cut.insert(cut.end(), {0xFF, 0xD9});
    cases.push_back({cut, "damaged JPEG file: Corrupt JPEG data: premature end of data segment"});
    std::vector<uint8_t> tooSmall = test::ReadBytes(std::string(HALVANE_REGRESSIONS) +
                                                    "/jpeg/claims-10000x10000-data-ends-at-a-marker.jpg");
    cases.push_back({tooSmall, "damaged JPEG file: 675 bytes cannot hold a 10000 by 10000 picture"});
    for (const auto& [bytes, expected] : cases) {
        Picture picture = test::Pattern(2, 2);
        const std::string error = LoadImageMemory(bytes.data(), bytes.size(), "bad.jpg", picture);
        EXPECT_EQ(error.rfind("bad.jpg: ", 0), 0u) << error;
        EXPECT_GT(error.size(), 10u) << error;
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(picture, test::Pattern(2, 2));
    }
}

}  // namespace
}  // namespace imaging
