// The per-format readers and writers behind image_file.cpp.
//
// Every decoder reads from memory, treats the bytes as hostile and returns ""
// on success or a short description of what is wrong (the caller adds the
// file name). A decoder writes `picture` and `info` only on success.
// Every encoder appends the complete file to `out` and returns "" or why it
// could not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image_file.h"
#include "image_options.h"
#include "picture.h"

namespace imaging {

std::string DecodeBmp(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
std::string DecodeTga(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
std::string DecodePcx(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
std::string DecodePnm(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
std::string DecodePng(const uint8_t* data, size_t size, const ImageFileOptions& options,
                      Picture& picture, ImageInfo& info);
std::string DecodeJpeg(const uint8_t* data, size_t size, const ImageFileOptions& options,
                       Picture& picture, ImageInfo& info);
std::string DecodeTiff(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);

enum class PnmKind { Bitmap, Greymap, Pixmap };

std::string EncodeBmp(const Picture& picture, std::vector<uint8_t>& out);
std::string EncodeTga(const Picture& picture, std::vector<uint8_t>& out);
std::string EncodePnm(const Picture& picture, PnmKind kind, bool binary, std::vector<uint8_t>& out);
std::string EncodePng(const Picture& picture, const ImageFileOptions& options, std::vector<uint8_t>& out);
std::string EncodeJpeg(const Picture& picture, const ImageFileOptions& options, std::vector<uint8_t>& out);
std::string EncodeTiff(const Picture& picture, const ImageFileOptions& options, std::vector<uint8_t>& out);

// Grey level of a colour for the bilevel and grey writers: the Rec. 601
// luma, rounded, in 0..255.
inline uint8_t GreyOf(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

// A screen gamma outside 0.1 to 10 (or not a number) is taken as a mistake:
// the PNG writer then writes no gAMA chunk and the reader corrects nothing.
bool UsableScreenGamma(double gamma);

// "W by H" for messages.
std::string SizeText(int64_t width, int64_t height);

// Whether a reader may make a picture of this size (SizeAllowed and within
// LoadPixelLimit()).
bool SizeReadable(int64_t width, int64_t height);

// The most working memory a reader lets libjpeg or libtiff take at once.
size_t LibraryMemoryLimit();

// The common refusal of a size the picture cannot hold, or "" when it can.
std::string CheckSize(int64_t width, int64_t height);

}  // namespace imaging
