// Choosing the codec by extension, reading whole files, and saving.
#include "image_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "band_writer.h"
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

Format SavedAs(const std::string& extension) {
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
    return SavedAs(extension);
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

bool CanSave(const std::string& path) { return SavedAs(LowerExtension(path)) != Format::None; }

bool CanLoad(const std::string& path) { return LoadFormat(LowerExtension(path)) != Format::None; }

namespace {

SaveFormat ToSaveFormat(Format format) {
    switch (format) {
        case Format::Bmp: return SaveFormat::Bmp;
        case Format::Jpeg: return SaveFormat::Jpeg;
        case Format::Pbm: return SaveFormat::Pbm;
        case Format::Pgm: return SaveFormat::Pgm;
        case Format::Ppm: return SaveFormat::Ppm;
        case Format::Png: return SaveFormat::Png;
        case Format::Tga: return SaveFormat::Tga;
        case Format::Tiff: return SaveFormat::Tiff;
        case Format::Pcx:
        case Format::None: break;
    }
    return SaveFormat::None;
}

std::string Encode(const Picture& picture, Format format, ByteSink& out, const std::string& comment) {
    return EncodeAs(picture, ToSaveFormat(format), Options(), out, comment);
}

}  // namespace

SaveFormat SaveFormatOf(const std::string& name) { return ToSaveFormat(SavedAs(LowerExtension(name))); }

std::string UnknownExtension(const std::string& path) { return UnknownExtension(path, LowerExtension(path)); }

std::string EncodeAs(const Picture& picture, SaveFormat format, const ImageFileOptions& options, ByteSink& out,
                     const std::string& comment) {
    try {
        switch (format) {
            case SaveFormat::Bmp: return EncodeBmp(picture, out);
            case SaveFormat::Jpeg: return EncodeJpeg(picture, options, out, comment);
            case SaveFormat::Pbm: return EncodePnm(picture, PnmKind::Bitmap, options.PnmBinary, out);
            case SaveFormat::Pgm: return EncodePnm(picture, PnmKind::Greymap, options.PnmBinary, out);
            case SaveFormat::Ppm: return EncodePnm(picture, PnmKind::Pixmap, options.PnmBinary, out);
            case SaveFormat::Png: return EncodePng(picture, options, out, comment);
            case SaveFormat::Tga: return EncodeTga(picture, out);
            case SaveFormat::Tiff: return EncodeTiff(picture, options, out, comment);
            case SaveFormat::None: break;
        }
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    return "cannot write this format";
}

namespace {

// The format to save `name` in, or why there is none.
std::string CheckSaving(const Picture& picture, const std::string& name, Format& format) {
    const std::string extension = LowerExtension(name);
    format = SavedAs(extension);
    if (format == Format::None) return UnknownExtension(name, extension);
    if (picture.Empty()) return name + ": there is no picture to save";
    return "";
}

}  // namespace

std::string EncodeImage(const Picture& picture, const std::string& name, std::vector<uint8_t>& bytes) {
    return EncodeImage(picture, name, bytes, std::string());
}

std::string EncodeImage(const Picture& picture, const std::string& name, std::vector<uint8_t>& bytes,
                        const std::string& comment) {
    Format format = Format::None;
    if (std::string error = CheckSaving(picture, name, format); !error.empty()) return error;
    std::vector<uint8_t> out;
    VectorSink sink(out);
    if (std::string error = Encode(picture, format, sink, comment); !error.empty()) {
        return name + ": " + (error == kSinkRefused ? "out of memory" : error);
    }
    bytes = std::move(out);
    return "";
}

std::string SaveImageFile(const Picture& picture, const std::string& path) {
    return SaveImageFile(picture, path, std::string());
}

std::string SaveImageFile(const Picture& picture, const std::string& path, const std::string& comment) {
    Format format = Format::None;
    if (std::string error = CheckSaving(picture, path, format); !error.empty()) return error;
    // PNG and TIFF have one writer, the band writer's.
    if (format == Format::Png || format == Format::Tiff) {
        BandWriter writer;
        if (std::string error = writer.Open(path, picture.Width(), picture.Height(), comment, Options());
            !error.empty())
            return error;
        if (std::string error = writer.WriteBand(picture); !error.empty()) return error;
        return writer.Finish();
    }
    // The bytes go to the file as they are made; an encoder's own failure
    // is told apart from the file's.
    std::string encoderError;
    const std::string error = ReplaceFileContents(path, [&](int fd) -> std::string {
        std::unique_ptr<FileSink> made;
        try {
            made = std::make_unique<FileSink>(fd);
        } catch (const std::bad_alloc&) {
            return encoderError = "out of memory";
        }
        FileSink& sink = *made;
        encoderError = Encode(picture, format, sink, comment);
        if (encoderError.empty() && !sink.Flush()) return sink.Error();
        if (encoderError == kSinkRefused && !sink.Error().empty()) {
            encoderError.clear();
            return sink.Error();
        }
        return encoderError;
    });
    if (!encoderError.empty()) return path + ": " + encoderError;
    if (!error.empty()) return path + ": cannot save: " + error;
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

namespace {
// The whole file, or why it cannot be read (with the file named).
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    int64_t size = 0;
    std::string error;
    const int fd = OpenRegularFile(path, size, error);
    if (fd < 0) return path + ": cannot open: " + error;
    if (size > kMaxFileBytes) {
        close(fd);
        return path + ": the file is larger than " + std::to_string(kMaxFileBytes / (1024 * 1024)) + " MB";
    }
    bytes.resize(static_cast<size_t>(size));
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
    return "";
}
}  // namespace

std::string LoadImageFile(const std::string& path, Picture& picture, ImageInfo* info) {
    const std::string extension = LowerExtension(path);
    if (LoadFormat(extension) == Format::None) return UnknownExtension(path, extension);
    std::vector<uint8_t> bytes;
    if (std::string error = ReadWholeFile(path, bytes); !error.empty()) return error;
    return LoadImageMemory(bytes.data(), bytes.size(), path, picture, info);
}

namespace {
// The comment of the file `source` holds, named `name`.
std::string ReadComment(ByteSource& source, Format format, const std::string& name, std::string& comment) {
    if (source.Size() == 0) return name + ": the file is empty";
    std::string found;
    std::string error;
    try {
        switch (format) {
            case Format::Png: error = ReadPngComment(source, found); break;
            case Format::Jpeg: error = ReadJpegComment(source, found); break;
            case Format::Tiff: error = ReadTiffComment(source, found); break;
            default: break;  // the other formats keep no comment
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!error.empty()) return name + ": " + error;
    comment = std::move(found);
    return "";
}
}  // namespace

std::string ReadImageCommentMemory(const uint8_t* data, size_t size, const std::string& name, std::string& comment) {
    const std::string extension = LowerExtension(name);
    const Format format = LoadFormat(extension);
    if (format == Format::None) return UnknownExtension(name, extension);
    MemorySource source(data, size);
    return ReadComment(source, format, name, comment);
}

std::string ReadImageComment(const std::string& path, std::string& comment) {
    const std::string extension = LowerExtension(path);
    const Format format = LoadFormat(extension);
    if (format == Format::None) return UnknownExtension(path, extension);
    // Only as much of the file as leads to the comment is read, whatever its size.
    int64_t size = 0;
    std::string reason;
    const int fd = OpenRegularFile(path, size, reason);
    if (fd < 0) return path + ": cannot open: " + reason;
    FileSource source(fd, static_cast<uint64_t>(size));
    const std::string error = ReadComment(source, format, path, comment);
    close(fd);
    return error;
}

}  // namespace imaging
