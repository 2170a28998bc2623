#include "codecs.h"
namespace imaging {
std::string DecodeBmp(const uint8_t*, size_t, Picture&, ImageInfo&) { return "BMP reading is not available yet"; }
std::string DecodeTga(const uint8_t*, size_t, Picture&, ImageInfo&) { return "TGA reading is not available yet"; }
std::string DecodePcx(const uint8_t*, size_t, Picture&, ImageInfo&) { return "PCX reading is not available yet"; }
std::string DecodeJpeg(const uint8_t*, size_t, const ImageFileOptions&, Picture&, ImageInfo&) { return "JPEG reading is not available yet"; }
std::string DecodeTiff(const uint8_t*, size_t, Picture&, ImageInfo&) { return "TIFF reading is not available yet"; }
std::string EncodeBmp(const Picture&, std::vector<uint8_t>&) { return "BMP writing is not available yet"; }
std::string EncodeTga(const Picture&, std::vector<uint8_t>&) { return "TGA writing is not available yet"; }
std::string EncodeJpeg(const Picture&, const ImageFileOptions&, std::vector<uint8_t>&) { return "JPEG writing is not available yet"; }
std::string EncodeTiff(const Picture&, const ImageFileOptions&, std::vector<uint8_t>&) { return "TIFF writing is not available yet"; }
}
