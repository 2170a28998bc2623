// TIFF through libtiff, on memory streams. Reading goes through libtiff's
// RGBA interface, so every layout it knows is read, a strip or a tile of
// rows at a time; writing makes 8-bit RGB, CMYK or grey strips. libtiff's
// messages are collected, never printed: refusals say in plain words what
// is wrong.
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "codecs.h"

namespace imaging {

namespace {

// What libtiff reads and writes through: bytes in memory, a vector being
// written, or a file descriptor (pread and pwrite, any size).
struct TiffStream {
    const uint8_t* data = nullptr;        // reading memory
    std::vector<uint8_t>* out = nullptr;  // writing memory
    int fd = -1;                          // reading and writing a file
    ByteSource* source = nullptr;         // reading a source
    uint64_t pos = 0;
    uint64_t size = 0;  // of the memory read, or of the file
    int fileError = 0;  // errno of a failed read or write of the file
    char message[256] = "";

    uint64_t Size() const { return out ? out->size() : size; }
    // Memory streams stay within the largest file the readers take.
    uint64_t Limit() const {
        return fd >= 0 || source ? uint64_t{1} << 62 : static_cast<uint64_t>(kMaxFileBytes);
    }
};

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t count) {
    auto* s = static_cast<TiffStream*>(handle);
    if (count <= 0 || s->out) return 0;
    if (s->source) {
        const size_t got = s->source->Read(s->pos, buffer, static_cast<size_t>(count));
        s->pos += got;
        return static_cast<tmsize_t>(got);
    }
    if (s->fd >= 0) {
        size_t done = 0;
        while (done < static_cast<size_t>(count)) {
            const ssize_t got = pread(s->fd, static_cast<uint8_t*>(buffer) + done, static_cast<size_t>(count) - done,
                                      static_cast<off_t>(s->pos + done));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) s->fileError = errno;
            if (got <= 0) break;
            done += static_cast<size_t>(got);
        }
        s->pos += done;
        return static_cast<tmsize_t>(done);
    }
    if (s->pos >= s->size) return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t count) {
    auto* s = static_cast<TiffStream*>(handle);
    if ((!s->out && s->fd < 0) || count < 0) return -1;
    const uint64_t n = static_cast<uint64_t>(count);
    if (s->pos > s->Limit() || n > s->Limit() - s->pos) return -1;
    if (s->fd >= 0) {
        size_t done = 0;
        while (done < n) {
            const ssize_t put = pwrite(s->fd, static_cast<const uint8_t*>(buffer) + done, n - done,
                                       static_cast<off_t>(s->pos + done));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0) {
                s->fileError = errno;
                return -1;
            }
            done += static_cast<size_t>(put);
        }
        s->pos += n;
        s->size = std::max(s->size, s->pos);
        return count;
    }
    try {
        if (s->out->size() < s->pos + n) s->out->resize(s->pos + n);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (n > 0) std::memcpy(s->out->data() + s->pos, buffer, n);
    s->pos += n;
    return count;
}

toff_t StreamSeek(thandle_t handle, toff_t offset, int whence) {
    auto* s = static_cast<TiffStream*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = s->pos;
    else if (whence == SEEK_END) base = s->Size();
    else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
    if (offset > s->Limit() || base > s->Limit() - offset) return static_cast<toff_t>(-1);
    s->pos = base + offset;
    return s->pos;
}

int StreamClose(thandle_t) { return 0; }

toff_t StreamSize(thandle_t handle) { return static_cast<TiffStream*>(handle)->Size(); }

int NoMap(thandle_t, void**, toff_t*) { return 0; }

void NoUnmap(thandle_t, void*, toff_t) {}

// Keeps the first error; warnings are dropped.
int OnError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    auto* s = static_cast<TiffStream*>(user);
    if (s->message[0] == '\0') {
        char text[200];
        std::vsnprintf(text, sizeof text, format, arguments);
        if (module && *module) {
            std::snprintf(s->message, sizeof s->message, "%s: %s", module, text);
        } else {
            std::snprintf(s->message, sizeof s->message, "%s", text);
        }
        for (char* c = s->message; *c; ++c) {
            if (*c == '\n' || *c == '\r') *c = ' ';
        }
    }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// The few messages that do not go through a handle's handlers are silenced.
void SilenceGlobalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

TIFF* Open(TiffStream& stream, const char* mode, size_t memoryLimit = LibraryMemoryLimit()) {
    SilenceGlobalHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    // The largest single block libtiff may allocate for a hostile file.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(memoryLimit));
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &stream);
    TIFF* tif = TIFFClientOpenExt("picture", mode, &stream, StreamRead, StreamWrite, StreamSeek, StreamClose,
                                  StreamSize, NoMap, NoUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

std::string Failure(const TiffStream& stream, const char* fallback) {
    // A file that cannot be written is told in the system's words.
    if (stream.fileError != 0) return std::string("cannot save: ") + std::strerror(stream.fileError);
    return stream.message[0] ? std::string(stream.message) : std::string(fallback);
}

const char* PhotometricName(uint16_t photometric) {
    switch (photometric) {
        case PHOTOMETRIC_MINISWHITE: return "grey, white is zero";
        case PHOTOMETRIC_MINISBLACK: return "grey, black is zero";
        case PHOTOMETRIC_RGB: return "RGB";
        case PHOTOMETRIC_PALETTE: return "palette";
        case PHOTOMETRIC_SEPARATED: return "CMYK";
        case PHOTOMETRIC_YCBCR: return "YCbCr";
        case PHOTOMETRIC_CIELAB: return "CIE L*a*b*";
        default: return "other colour space";
    }
}

const char* CompressionName(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE: return "uncompressed";
        case COMPRESSION_CCITTRLE: return "CCITT RLE";
        case COMPRESSION_CCITTFAX3: return "CCITT group 3";
        case COMPRESSION_CCITTFAX4: return "CCITT group 4";
        case COMPRESSION_LZW: return "LZW";
        case COMPRESSION_OJPEG:
        case COMPRESSION_JPEG: return "JPEG";
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE: return "Deflate";
        case COMPRESSION_PACKBITS: return "PackBits";
        default: return "compressed";
    }
}

}  // namespace

namespace {

// The most a byte of each compression can stand for, to tell a file that
// cannot hold its pixels before memory is taken for them; 0: no limit known.
uint64_t MostBytesPerByte(uint16_t compression) {
    switch (compression) {
        case COMPRESSION_NONE: return 1;
        case COMPRESSION_PACKBITS: return 64;  // a two-byte run makes 128 bytes
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE: return 1032;  // a 258-byte match in two bits
        case COMPRESSION_LZW: return 4096;      // a 12-bit code's string is shorter
        default: return 0;
    }
}

// Checks every strip or tile the directory lists against the file: each
// must lie inside it, and together they must be able to hold the picture.
std::string CheckStriles(TIFF* tif, uint64_t fileSize) {
    const bool tiled = TIFFIsTiled(tif);
    const char* kind = tiled ? "tile" : "strip";
    const uint32_t count = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint32_t height = 0, rowsPerStrip = 0;
    uint16_t planar = PLANARCONFIG_CONTIG, samples = 1, compression = COMPRESSION_NONE;
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    if (count == 0) return std::string("damaged TIFF file: it lists no ") + kind + "s";
    const uint32_t perPlane =
        planar == PLANARCONFIG_SEPARATE ? std::max<uint32_t>(1, count / std::max<uint16_t>(samples, 1)) : count;
    const uint64_t most = MostBytesPerByte(compression);
    uint64_t stored = 0, needed = 0;
    for (uint32_t i = 0; i < count; ++i) {
        int failed = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, i, &failed);
        const uint64_t bytes = failed ? 0 : TIFFGetStrileByteCountWithErr(tif, i, &failed);
        const std::string which = std::string(kind) + " " + std::to_string(i + 1);
        if (failed || bytes == 0) return "damaged TIFF file: " + which + " is missing";
        if (offset > fileSize || bytes > fileSize - offset) {
            return "damaged TIFF file: " + which + " lies beyond the end of the file";
        }
        uint64_t decoded = 0;
        if (tiled) {
            decoded = TIFFTileSize64(tif);
        } else {
            const uint64_t first = uint64_t{i % perPlane} * rowsPerStrip;
            const uint64_t rows = first < height ? std::min<uint64_t>(rowsPerStrip, height - first) : 0;
            decoded = TIFFVStripSize64(tif, static_cast<uint32_t>(rows));
        }
        if (compression == COMPRESSION_NONE && bytes < decoded) {
            return "damaged TIFF file: " + which + " holds " + std::to_string(bytes) + " bytes of the " +
                   std::to_string(decoded) + " its pixels need";
        }
        stored += bytes;
        needed += decoded;
    }
    if (most > 0 && stored < (needed + most - 1) / most) {
        return "damaged TIFF file: " + std::to_string(stored) + " bytes of compressed data cannot hold its pixels";
    }
    return "";
}

// libtiff's reason for refusing a layout, without its apology.
std::string Unsupported(const char* reason) {
    std::string text = reason;
    for (const char* noise : {"Sorry, ", "can not handle "}) {
        if (text.rfind(noise, 0) == 0) text.erase(0, std::strlen(noise));
    }
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return "unsupported TIFF file: " + (text.empty() ? std::string("libtiff cannot convert it to RGB") : text);
}

// Reads the picture a band of rows at a time through libtiff's RGBA
// interface, the band as tall as a strip or tile so that each is decoded
// once, into `picture`.
std::string ReadRows(TIFF* tif, uint32_t width, uint32_t height, Picture& picture) {
    char refusal[1024] = "";
    TIFFRGBAImage image;
    std::memset(&image, 0, sizeof image);
    if (!TIFFRGBAImageBegin(&image, tif, 1, refusal)) return Unsupported(refusal);
    // Colours beside unassociated alpha are kept as stored, as PNG, TGA and
    // BMP colours are, not multiplied by the alpha as libtiff would.
    if (image.alpha == EXTRASAMPLE_UNASSALPHA && image.UaToAa != nullptr) {
        for (unsigned alpha = 0; alpha < 256; ++alpha) {
            for (unsigned value = 0; value < 256; ++value) image.UaToAa[(alpha << 8) | value] = static_cast<uint8_t>(value);
        }
    }
    image.req_orientation = ORIENTATION_TOPLEFT;
    // Files stored bottom up come flipped within each band.
    const bool bottomUp = image.orientation == ORIENTATION_BOTLEFT || image.orientation == ORIENTATION_BOTRIGHT ||
                          image.orientation == ORIENTATION_LEFTBOT || image.orientation == ORIENTATION_RIGHTBOT;
    uint32_t band = 0;
    if (TIFFIsTiled(tif)) {
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &band);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &band);
    }
    band = std::clamp<uint32_t>(band, 1, height);
    std::string error;
    try {
        std::vector<uint32_t> raster(size_t{width} * band);
        for (uint32_t row = 0; row < height && error.empty(); row += band) {
            const uint32_t rows = std::min(band, height - row);
            image.row_offset = static_cast<int>(row);
            image.col_offset = 0;
            if (!TIFFRGBAImageGet(&image, raster.data(), width, rows)) {
                error = "damaged TIFF file: the picture data of rows " + std::to_string(row + 1) + " to " +
                        std::to_string(row + rows) + " cannot be decoded";
                break;
            }
            const uint32_t top = bottomUp ? height - row - rows : row;
            uint8_t* out = picture.Row(static_cast<int32_t>(top));
            for (size_t i = 0; i < size_t{width} * rows; ++i) {
                *out++ = static_cast<uint8_t>(TIFFGetR(raster[i]));
                *out++ = static_cast<uint8_t>(TIFFGetG(raster[i]));
                *out++ = static_cast<uint8_t>(TIFFGetB(raster[i]));
            }
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    TIFFRGBAImageEnd(&image);
    return error;
}

// Opens a file in memory at its first directory, or says why it cannot.
TIFF* OpenForReading(const uint8_t* data, size_t size, TiffStream& stream, std::string& error) {
    if (size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) {
        error = "not a TIFF file";
        return nullptr;
    }
    stream.data = data;
    stream.size = size;
    TIFF* tif = Open(stream, "rm");
    if (!tif) error = "damaged TIFF file: its first directory cannot be read";
    return tif;
}

}  // namespace

std::string DecodeTiff(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    TiffStream stream;
    std::string error;
    TIFF* tif = OpenForReading(data, size, stream, error);
    if (!tif) return error;

    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    char refusal[1024] = "";
    if (std::string sizeError = CheckSize(width, height); !sizeError.empty()) {
        error = sizeError;
    } else if (!TIFFRGBAImageOK(tif, refusal)) {
        error = Unsupported(refusal);
    } else {
        error = CheckStriles(tif, size);
    }
    Picture result;
    if (error.empty()) {
        try {
            result = Picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
            error = ReadRows(tif, width, height, result);
        } catch (const std::bad_alloc&) {
            error = "out of memory";
        }
    }
    if (error.empty()) {
        uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK, compression = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        info.Type = "TIFF";
        info.SubType = std::string(PhotometricName(photometric)) + ", " + std::to_string(bits) +
                       (bits == 1 ? " bit per sample" : " bits per sample");
        info.Options = std::string(CompressionName(compression)) + (TIFFIsBigEndian(tif) ? ", big-endian" : ", little-endian");
        const int colourSamples = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ||
                                          photometric == PHOTOMETRIC_PALETTE
                                      ? 1
                                      : 3;
        info.Colors = int64_t{1} << std::min(24, bits * colourSamples);
        info.BitsPerPixel = bits * samples;
        picture = std::move(result);
    }
    TIFFClose(tif);
    return error;
}

std::string ReadTiffComment(ByteSource& source, std::string& comment) {
    uint8_t order[2] = {};
    if (source.Size() < 8 || !source.ReadExactly(0, order, 2) ||
        !((order[0] == 'I' && order[1] == 'I') || (order[0] == 'M' && order[1] == 'M'))) {
        if (!source.Error().empty()) return "cannot read: " + source.Error();
        return "not a TIFF file";
    }
    TiffStream stream;
    stream.source = &source;
    stream.size = source.Size();
    // The strip tables are not read at all ("O": only on demand).
    TIFF* tif = Open(stream, "rmO");
    if (!tif) {
        if (!source.Error().empty()) return "cannot read: " + source.Error();
        return "damaged TIFF file: its first directory cannot be read";
    }
    const char* text = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text != nullptr) {
        comment = text;
    } else {
        comment.clear();
    }
    TIFFClose(tif);
    return "";
}

namespace {

// Rows of a TIFF file through libtiff's RGBA interface, as DecodeTiff reads
// them, for the rows asked for only.
class TiffRowDecoder : public RowDecoder {
public:
    ~TiffRowDecoder() override {
        if (begun_) TIFFRGBAImageEnd(&image_);
        if (tif_) TIFFClose(tif_);
    }

    std::string Start(int fd, uint64_t size) {
        stream_.fd = fd;
        stream_.size = size;
        char head[4] = {};
        if (size < 8 || pread(fd, head, 2, 0) != 2 || !((head[0] == 'I' && head[1] == 'I') || (head[0] == 'M' && head[1] == 'M'))) {
            return "not a TIFF file";
        }
        tif_ = Open(stream_, "rm");
        if (!tif_) return "damaged TIFF file: its first directory cannot be read";
        uint32_t width = 0, height = 0;
        TIFFGetField(tif_, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif_, TIFFTAG_IMAGELENGTH, &height);
        if (width == 0 || height == 0) return "the picture size " + SizeText(width, height) + " is empty or negative";
        if (width > static_cast<uint32_t>(Picture::kMaxSide) || height > static_cast<uint32_t>(Picture::kMaxSide)) {
            return "the picture size " + SizeText(width, height) + " is larger than this program accepts";
        }
        char refusal[1024] = "";
        if (!TIFFRGBAImageOK(tif_, refusal)) return Unsupported(refusal);
        if (std::string error = CheckStriles(tif_, size); !error.empty()) return error;
        std::memset(&image_, 0, sizeof image_);
        if (!TIFFRGBAImageBegin(&image_, tif_, 1, refusal)) return Unsupported(refusal);
        begun_ = true;
        if (image_.alpha == EXTRASAMPLE_UNASSALPHA && image_.UaToAa != nullptr) {
            for (unsigned alpha = 0; alpha < 256; ++alpha) {
                for (unsigned value = 0; value < 256; ++value) image_.UaToAa[(alpha << 8) | value] = static_cast<uint8_t>(value);
            }
        }
        image_.req_orientation = ORIENTATION_TOPLEFT;
        bottomUp_ = image_.orientation == ORIENTATION_BOTLEFT || image_.orientation == ORIENTATION_BOTRIGHT ||
                    image_.orientation == ORIENTATION_LEFTBOT || image_.orientation == ORIENTATION_RIGHTBOT;
        width_ = static_cast<int32_t>(width);
        height_ = static_cast<int32_t>(height);
        return "";
    }

    std::string Rows(uint8_t* rgb, int32_t count) override {
        const uint32_t width = static_cast<uint32_t>(width_);
        raster_.resize(size_t{width} * static_cast<uint32_t>(count));
        // A file stored bottom up gives the rows asked for from its end.
        const int64_t offset = bottomUp_ ? int64_t{height_} - next_ - count : next_;
        image_.row_offset = static_cast<int>(offset);
        image_.col_offset = 0;
        if (!TIFFRGBAImageGet(&image_, raster_.data(), width, static_cast<uint32_t>(count))) {
            return "damaged TIFF file: the picture data of rows " + std::to_string(next_ + 1) + " to " +
                   std::to_string(next_ + count) + " cannot be decoded";
        }
        for (size_t i = 0; i < raster_.size(); ++i) {
            *rgb++ = static_cast<uint8_t>(TIFFGetR(raster_[i]));
            *rgb++ = static_cast<uint8_t>(TIFFGetG(raster_[i]));
            *rgb++ = static_cast<uint8_t>(TIFFGetB(raster_[i]));
        }
        next_ += count;
        return "";
    }

private:
    TiffStream stream_;
    TIFF* tif_ = nullptr;
    TIFFRGBAImage image_;
    bool begun_ = false;
    bool bottomUp_ = false;
    int64_t next_ = 0;
    std::vector<uint32_t> raster_;
};

}  // namespace

std::unique_ptr<RowDecoder> OpenTiffRows(int fd, uint64_t size, std::string& error) {
    try {
        auto decoder = std::make_unique<TiffRowDecoder>();
        error = decoder->Start(fd, size);
        if (!error.empty()) return nullptr;
        return decoder;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}

namespace {

// The most bytes a file of this layout can take: the strips as stored
// (PackBits adds a byte in 128 at worst, and one a row), the strip tables
// and the tags.
uint64_t TiffFileBound(uint32_t width, uint32_t height, uint16_t samples, bool packBits, size_t comment) {
    const uint64_t rowBytes = uint64_t{width} * samples;
    uint64_t strips = rowBytes * height;
    if (packBits) strips += (rowBytes / 128 + 2) * height;
    return strips + uint64_t{height} * 16 + comment + (uint64_t{64} << 10);
}

class TiffEncoder : public RowEncoder {
public:
    TiffEncoder(TiffTarget target, uint32_t width, uint32_t height, const ImageFileOptions& options, bool grey)
        : width_(width), height_(height), grey_(grey), whiteIsZero_(options.TiffGreyScale == 1),
          cmyk_(!grey && options.TiffTrueColour == 1), samples_(grey ? 1 : cmyk_ ? 4 : 3) {
        stream_.out = target.bytes;
        stream_.fd = target.fd;
    }
    ~TiffEncoder() override {
        if (tif_) TIFFClose(tif_);
    }
    TiffEncoder(const TiffEncoder&) = delete;
    TiffEncoder& operator=(const TiffEncoder&) = delete;

    std::string Start(const ImageFileOptions& options, const std::string& comment, uint64_t bigTiffAbove) {
        const bool packBits = options.TiffCompression == COMPRESSION_PACKBITS;
        const bool big = TiffFileBound(width_, height_, samples_, packBits, comment.size()) > bigTiffAbove;
        const char* mode = options.TiffByteOrder == 1 ? (big ? "wb8" : "wb") : (big ? "wl8" : "wl");
        tif_ = Open(stream_, mode);
        if (!tif_) return Failure(stream_, "libtiff cannot start a file");
        TIFFSetField(tif_, TIFFTAG_IMAGEWIDTH, width_);
        TIFFSetField(tif_, TIFFTAG_IMAGELENGTH, height_);
        TIFFSetField(tif_, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif_, TIFFTAG_SAMPLESPERPIXEL, samples_);
        TIFFSetField(tif_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif_, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tif_, TIFFTAG_PHOTOMETRIC,
                     grey_ ? (whiteIsZero_ ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK)
                           : cmyk_ ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB);
        if (cmyk_) TIFFSetField(tif_, TIFFTAG_INKSET, INKSET_CMYK);
        // Compression codes other than PackBits write uncompressed strips.
        TIFFSetField(tif_, TIFFTAG_COMPRESSION, packBits ? COMPRESSION_PACKBITS : COMPRESSION_NONE);
        TIFFSetField(tif_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif_, 0));
        const uint16_t unit = options.TiffResolutionUnit == 0   ? RESUNIT_NONE
                              : options.TiffResolutionUnit == 2 ? RESUNIT_CENTIMETER
                                                                : RESUNIT_INCH;
        TIFFSetField(tif_, TIFFTAG_RESOLUTIONUNIT, unit);
        // libtiff writes both resolutions or neither. One whose numerator or
        // denominator is not positive takes the other's value (square pixels);
        // with neither usable, the resolution is left out.
        const bool horizontal = options.TiffResHorizN > 0 && options.TiffResHorizD > 0;
        const bool vertical = options.TiffResVertN > 0 && options.TiffResVertD > 0;
        if (horizontal || vertical) {
            const double x = horizontal ? static_cast<double>(options.TiffResHorizN) / options.TiffResHorizD : 0.0;
            const double y = vertical ? static_cast<double>(options.TiffResVertN) / options.TiffResVertD : 0.0;
            TIFFSetField(tif_, TIFFTAG_XRESOLUTION, horizontal ? x : y);
            TIFFSetField(tif_, TIFFTAG_YRESOLUTION, vertical ? y : x);
        }
        TIFFSetField(tif_, TIFFTAG_SOFTWARE, "halvane");
        // A comment cannot hold a zero byte: it would end the text there.
        if (!comment.empty()) TIFFSetField(tif_, TIFFTAG_IMAGEDESCRIPTION, comment.c_str());
        line_.resize(size_t{width_} * samples_);
        return "";
    }

    std::string Rows(const uint8_t* rgb, int32_t count) override {
        if (!failure_.empty()) return failure_;
        if (count < 0 || count > static_cast<int64_t>(height_) - next_) return "more rows than the picture has";
        for (int32_t r = 0; r < count; ++r, rgb += size_t{3} * width_) {
            Convert(rgb);
            if (TIFFWriteScanline(tif_, line_.data(), static_cast<uint32_t>(next_), 0) < 0) {
                return failure_ = Failure(stream_, "libtiff cannot write a line");
            }
            ++next_;
        }
        return "";
    }

    std::string Finish() override {
        if (!failure_.empty()) return failure_;
        if (next_ != static_cast<int64_t>(height_)) return "the picture's rows did not all come";
        const bool flushed = TIFFFlush(tif_) != 0;
        TIFFClose(tif_);
        tif_ = nullptr;
        if (!flushed || stream_.message[0] || stream_.fileError) {
            return failure_ = Failure(stream_, "libtiff cannot finish the file");
        }
        return "";
    }

private:
    void Convert(const uint8_t* in) {
        uint8_t* p = line_.data();
        for (uint32_t x = 0; x < width_; ++x, in += 3) {
            if (grey_) {
                *p++ = whiteIsZero_ ? static_cast<uint8_t>(255 - in[0]) : in[0];
            } else if (cmyk_) {
                // Black takes what the three inks share; the inks are scaled so
                // that (255 - ink) * (255 - black) / 255 gives the colour back.
                const unsigned maxLevel = std::max({in[0], in[1], in[2]});
                const unsigned black = 255 - maxLevel;
                for (int c = 0; c < 3; ++c) {
                    *p++ = maxLevel == 0 ? 0 : static_cast<uint8_t>(255 - (in[c] * 255u + maxLevel / 2) / maxLevel);
                }
                *p++ = static_cast<uint8_t>(black);
            } else {
                *p++ = in[0];
                *p++ = in[1];
                *p++ = in[2];
            }
        }
    }

    TiffStream stream_;
    TIFF* tif_ = nullptr;
    uint32_t width_, height_;
    bool grey_, whiteIsZero_, cmyk_;
    uint16_t samples_;
    int64_t next_ = 0;
    std::vector<uint8_t> line_;
    std::string failure_;
};

}  // namespace

bool RowsAreGrey(const uint8_t* rgb, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, rgb += 3) {
        if (rgb[0] != rgb[1] || rgb[0] != rgb[2]) return false;
    }
    return true;
}

std::unique_ptr<RowEncoder> MakeTiffEncoder(TiffTarget target, int32_t width, int32_t height,
                                            const ImageFileOptions& options, const std::string& comment,
                                            const TiffLayout& layout, std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "the picture size " + SizeText(width, height) + " is empty or negative";
        return nullptr;
    }
    try {
        auto encoder = std::make_unique<TiffEncoder>(target, static_cast<uint32_t>(width),
                                                     static_cast<uint32_t>(height), options, layout.grey);
        error = encoder->Start(options, comment, layout.bigTiffAbove);
        if (!error.empty()) return nullptr;
        return encoder;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}

std::string CopyTiffRows(int fd, int32_t width, int32_t height, RowEncoder& to) {
    TiffStream stream;
    stream.fd = fd;
    struct stat status {};
    if (fstat(fd, &status) != 0) return std::strerror(errno);
    stream.size = static_cast<uint64_t>(status.st_size);
    TIFF* tif = Open(stream, "rm");
    if (!tif) return Failure(stream, "libtiff cannot read the file back");
    uint16_t photometric = PHOTOMETRIC_RGB, samples = 3;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    std::string error;
    if (samples != (photometric == PHOTOMETRIC_SEPARATED ? 4 : 3) || TIFFScanlineSize64(tif) != uint64_t{samples} * width) {
        error = "the file read back is not the one written";
    }
    try {
        std::vector<uint8_t> line(size_t{samples} * static_cast<uint32_t>(width));
        std::vector<uint8_t> rgb(size_t{3} * static_cast<uint32_t>(width));
        for (int32_t y = 0; y < height && error.empty(); ++y) {
            if (TIFFReadScanline(tif, line.data(), static_cast<uint32_t>(y), 0) < 0) {
                error = Failure(stream, "libtiff cannot read a line back");
                break;
            }
            for (size_t x = 0; x < static_cast<uint32_t>(width); ++x) {
                const uint8_t* in = &line[x * samples];
                for (int c = 0; c < 3; ++c) {
                    // CMYK gives a grey back exactly: its level is 255 - black.
                    rgb[3 * x + c] = samples == 4 ? static_cast<uint8_t>(((255u - in[c]) * (255u - in[3]) + 127) / 255)
                                                  : in[c];
                }
            }
            error = to.Rows(rgb.data(), 1);
        }
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    TIFFClose(tif);
    return error;
}

std::string EncodeTiff(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                       const std::string& comment) {
    // libtiff goes back to fill in the header: the file is made in memory,
    // sized for its strips so that it never moves while it grows.
    if (picture.Empty()) return "there is no picture to save";
    std::vector<uint8_t> file;
    TiffLayout layout;
    layout.grey = RowsAreGrey(picture.Row(0), size_t{static_cast<uint32_t>(picture.Width())} * picture.Height());
    const size_t samples = layout.grey ? 1 : options.TiffTrueColour == 1 ? 4 : 3;
    try {
        file.reserve(size_t{static_cast<uint32_t>(picture.Width())} * picture.Height() * samples + 4096);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    std::string error;
    TiffTarget target;
    target.bytes = &file;
    std::unique_ptr<RowEncoder> encoder =
        MakeTiffEncoder(target, picture.Width(), picture.Height(), options, comment, layout, error);
    if (!encoder) return error;
    if (error = encoder->Rows(picture.Row(0), picture.Height()); !error.empty()) return error;
    if (error = encoder->Finish(); !error.empty()) return error;
    encoder.reset();
    if (!out.Put(file.data(), file.size())) return kSinkRefused;
    return "";
}

}  // namespace imaging
