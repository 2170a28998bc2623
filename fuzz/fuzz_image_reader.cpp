// libFuzzer target for one image reader, chosen at compile time by the file
// name HALVANE_FUZZ_FILE_NAME (e.g. "input.bmp") whose extension selects it.
// Any input must be decoded or refused with a one-line message that names
// the file, and a refused input must leave the picture untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "image_file.h"
#include "image_options.h"

#ifndef HALVANE_FUZZ_FILE_NAME
#error "HALVANE_FUZZ_FILE_NAME must name the reader's extension"
#endif

namespace {

// Small enough that every input decodes in milliseconds; the size checks
// work the same at any limit.
constexpr int64_t kFuzzPixelLimit = int64_t{1} << 20;

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    imaging::SetLoadPixelLimit(kFuzzPixelLimit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string name = HALVANE_FUZZ_FILE_NAME;
    // Alternate the reading options that change the decoding paths.
    imaging::Options().JpegReadMethod = size % 3;
    imaging::Options().GammaCorrectionOnRead = size % 2 == 0;
    imaging::Picture picture(1, 1);
    picture.SetPixel(0, 0, 0x123456);
    imaging::ImageInfo info;
    const std::string error = imaging::LoadImageMemory(data, size, name, picture, &info);
    if (error.empty()) {
        Check(!picture.Empty());
        Check(picture.Width() * int64_t{picture.Height()} <= kFuzzPixelLimit);
        Check(picture.Bytes().size() == static_cast<size_t>(picture.Width()) * picture.Height() * 3);
        Check(info.Width == picture.Width() && info.Height == picture.Height() && info.GraphicCount == 1);
        Check(!info.Type.empty());
    } else {
        Check(error.rfind(name + ": ", 0) == 0);
        Check(error.find('\n') == std::string::npos);
        Check(picture.Width() == 1 && picture.Height() == 1 && picture.Pixel(0, 0) == 0x123456);
    }
    // The comment reader reads the same hostile bytes without the picture.
    std::string comment = "unchanged";
    const std::string commentError = imaging::ReadImageCommentMemory(data, size, name, comment);
    if (!commentError.empty()) {
        Check(commentError.rfind(name + ": ", 0) == 0);
        Check(comment == "unchanged");
    }
    return 0;
}
