// Choosing the codec by extension, reading whole files, and saving.
#include "image_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

#include "codecs.h"
#include "file_access.h"

namespace imaging {

namespace {

enum class Format { None, Bmp, Jpeg, Pbm, Pgm, Ppm, Png, Tga, Tiff, Pcx };

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

Format SaveFormat(const std::string& extension) {
    if (extension == "bmp") return Format::Bmp;
    if (extension == "jpg" || extension == "jpeg" || extension == "jif") return Format::Jpeg;
    if (extension == "pbm") return Format::Pbm;
    if (extension == "pgm") return Format::Pgm;
    if (extension == "ppm") return Format::Ppm;
    if (extension == "png") return Format::Png;
    if (extension == "tga") return Format::Tga;
    if (extension == "tif" || extension == "tiff") return Format::Tiff;
    return Format::None;
}

Format LoadFormat(const std::string& extension) {
    if (extension == "dib" || extension == "rle") return Format::Bmp;
    if (extension == "pcx") return Format::Pcx;
    return SaveFormat(extension);
}

std::string UnknownExtension(const std::string& path, const std::string& extension) {
    if (extension.empty()) return path + ": the file name has no extension that names an image format";
    return path + ": unknown image file extension \"" + extension + "\"";
}

}  // namespace

std::string SizeText(int64_t width, int64_t height) {
    return std::to_string(width) + " by " + std::to_string(height);
}

namespace {
std::atomic<int64_t> loadPixelLimit{Picture::kMaxPixels};
}

void SetLoadPixelLimit(int64_t pixels) {
    loadPixelLimit = std::clamp<int64_t>(pixels, 1, Picture::kMaxPixels);
}

int64_t LoadPixelLimit() { return loadPixelLimit; }

bool SizeReadable(int64_t width, int64_t height) {
    return Picture::SizeAllowed(width, height) && width * height <= LoadPixelLimit();
}

size_t LibraryMemoryLimit() { return static_cast<size_t>(LoadPixelLimit()) * 8 + (size_t{16} << 20); }

std::string CheckSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) return "the picture size " + SizeText(width, height) + " is empty or negative";
    if (!SizeReadable(width, height)) {
        return "the picture size " + SizeText(width, height) + " is larger than this program accepts";
    }
    return "";
}

bool CanSave(const std::string& path) { return SaveFormat(LowerExtension(path)) != Format::None; }

bool CanLoad(const std::string& path) { return LoadFormat(LowerExtension(path)) != Format::None; }

std::string EncodeImage(const Picture& picture, const std::string& name, std::vector<uint8_t>& bytes) {
    const std::string extension = LowerExtension(name);
    const Format format = SaveFormat(extension);
    if (format == Format::None) return UnknownExtension(name, extension);
    if (picture.Empty()) return name + ": there is no picture to save";
    const ImageFileOptions& options = Options();
    std::vector<uint8_t> out;
    std::string error;
    switch (format) {
        case Format::Bmp: error = EncodeBmp(picture, out); break;
        case Format::Jpeg: error = EncodeJpeg(picture, options, out); break;
        case Format::Pbm: error = EncodePnm(picture, PnmKind::Bitmap, options.PnmBinary, out); break;
        case Format::Pgm: error = EncodePnm(picture, PnmKind::Greymap, options.PnmBinary, out); break;
        case Format::Ppm: error = EncodePnm(picture, PnmKind::Pixmap, options.PnmBinary, out); break;
        case Format::Png: error = EncodePng(picture, options, out); break;
        case Format::Tga: error = EncodeTga(picture, out); break;
        case Format::Tiff: error = EncodeTiff(picture, options, out); break;
        case Format::Pcx:
        case Format::None: break;
    }
    if (!error.empty()) return name + ": " + error;
    bytes = std::move(out);
    return "";
}

std::string SaveImageFile(const Picture& picture, const std::string& path) {
    std::vector<uint8_t> bytes;
    if (std::string error = EncodeImage(picture, path, bytes); !error.empty()) return error;
    if (std::string error = ReplaceFileContents(path, bytes.data(), bytes.size()); !error.empty()) {
        return path + ": cannot save: " + error;
    }
    return "";
}

std::string LoadImageMemory(const uint8_t* data, size_t size, const std::string& name, Picture& picture,
                            ImageInfo* info) {
    const std::string extension = LowerExtension(name);
    const Format format = LoadFormat(extension);
    if (format == Format::None) return UnknownExtension(name, extension);
    if (size == 0) return name + ": the file is empty";
    const ImageFileOptions& options = Options();
    Picture decoded;
    ImageInfo described;
    std::string error;
    switch (format) {
        case Format::Bmp: error = DecodeBmp(data, size, decoded, described); break;
        case Format::Jpeg: error = DecodeJpeg(data, size, options, decoded, described); break;
        case Format::Pbm:
        case Format::Pgm:
        case Format::Ppm: error = DecodePnm(data, size, decoded, described); break;
        case Format::Png: error = DecodePng(data, size, options, decoded, described); break;
        case Format::Tga: error = DecodeTga(data, size, decoded, described); break;
        case Format::Tiff: error = DecodeTiff(data, size, decoded, described); break;
        case Format::Pcx: error = DecodePcx(data, size, decoded, described); break;
        case Format::None: break;
    }
    if (!error.empty()) return name + ": " + error;
    described.Width = decoded.Width();
    described.Height = decoded.Height();
    described.GraphicCount = 1;
    picture = std::move(decoded);
    if (info) *info = std::move(described);
    return "";
}

std::string LoadImageFile(const std::string& path, Picture& picture, ImageInfo* info) {
    const std::string extension = LowerExtension(path);
    if (LoadFormat(extension) == Format::None) return UnknownExtension(path, extension);
    int64_t size = 0;
    std::string error;
    const int fd = OpenRegularFile(path, size, error);
    if (fd < 0) return path + ": cannot open: " + error;
    if (size > kMaxFileBytes) {
        close(fd);
        return path + ": the file is larger than " + std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB";
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = std::strerror(errno);
            break;
        }
        if (got == 0) break;
        done += static_cast<size_t>(got);
    }
    close(fd);
    if (!error.empty()) return path + ": cannot read: " + error;
    bytes.resize(done);
    return LoadImageMemory(bytes.data(), bytes.size(), path, picture, info);
}

}  // namespace imaging
