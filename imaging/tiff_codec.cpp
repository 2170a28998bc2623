// TIFF through libtiff, on memory streams. Reading goes through libtiff's
// RGBA interface, so every layout it knows is read, a strip or a tile of
// rows at a time; writing makes 8-bit RGB, CMYK or grey strips. libtiff's
// messages are collected, never printed: refusals say in plain words what
// is wrong.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "codecs.h"

namespace imaging {

namespace {

struct TiffStream {
    const uint8_t* data = nullptr;    // reading
    std::vector<uint8_t>* out = nullptr;  // writing
    uint64_t pos = 0;
    char message[256] = "";

    uint64_t Size() const { return out ? out->size() : size; }
    uint64_t size = 0;
};

tmsize_t StreamRead(thandle_t handle, void* buffer, tmsize_t count) {
    auto* s = static_cast<TiffStream*>(handle);
    if (count <= 0 || s->out || s->pos >= s->size) return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s->size - s->pos);
    std::memcpy(buffer, s->data + s->pos, n);
    s->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t StreamWrite(thandle_t handle, void* buffer, tmsize_t count) {
    auto* s = static_cast<TiffStream*>(handle);
    if (!s->out || count < 0) return -1;
    const uint64_t n = static_cast<uint64_t>(count);
    if (s->pos > kMaxFileBytes || n > static_cast<uint64_t>(kMaxFileBytes) - s->pos) return -1;
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
    if (offset > static_cast<toff_t>(kMaxFileBytes) || base + offset > static_cast<uint64_t>(kMaxFileBytes)) {
        return static_cast<toff_t>(-1);
    }
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

TIFF* Open(TiffStream& stream, const char* mode) {
    SilenceGlobalHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    // The largest single block libtiff may allocate for a hostile file.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(LibraryMemoryLimit()));
    TIFFOpenOptionsSetErrorHandlerExtR(options, OnError, &stream);
    TIFFOpenOptionsSetWarningHandlerExtR(options, OnWarning, &stream);
    TIFF* tif = TIFFClientOpenExt("picture", mode, &stream, StreamRead, StreamWrite, StreamSeek, StreamClose,
                                  StreamSize, NoMap, NoUnmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

std::string Failure(const TiffStream& stream, const char* fallback) {
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

std::string ReadTiffComment(const uint8_t* data, size_t size, std::string& comment) {
    TiffStream stream;
    std::string error;
    TIFF* tif = OpenForReading(data, size, stream, error);
    if (!tif) return error;
    const char* text = nullptr;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &text) == 1 && text != nullptr) {
        comment = text;
    } else {
        comment.clear();
    }
    TIFFClose(tif);
    return "";
}

std::string EncodeTiff(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                       const std::string& comment) {
    const uint32_t width = static_cast<uint32_t>(picture.Width());
    const uint32_t height = static_cast<uint32_t>(picture.Height());
    // A picture of greys alone is written as a grey scale.
    bool grey = true;
    const std::vector<uint8_t>& bytes = picture.Bytes();
    for (size_t i = 0; grey && i < bytes.size(); i += 3) grey = bytes[i] == bytes[i + 1] && bytes[i] == bytes[i + 2];
    const bool whiteIsZero = options.TiffGreyScale == 1;
    const bool cmyk = !grey && options.TiffTrueColour == 1;
    const uint16_t samples = grey ? 1 : cmyk ? 4 : 3;

    // libtiff goes back to fill in the header: the file is made in memory,
    // sized for its strips so that it never moves while it grows.
    std::vector<uint8_t> file;
    try {
        file.reserve(size_t{width} * height * samples + 4096);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    TiffStream stream;
    stream.out = &file;
    TIFF* tif = Open(stream, options.TiffByteOrder == 1 ? "wb" : "wl");
    if (!tif) return Failure(stream, "libtiff cannot start a file");

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                 grey ? (whiteIsZero ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK)
                      : cmyk ? PHOTOMETRIC_SEPARATED : PHOTOMETRIC_RGB);
    if (cmyk) TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    // Compression codes other than PackBits write uncompressed strips.
    TIFFSetField(tif, TIFFTAG_COMPRESSION,
                 options.TiffCompression == COMPRESSION_PACKBITS ? COMPRESSION_PACKBITS : COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    const uint16_t unit = options.TiffResolutionUnit == 0   ? RESUNIT_NONE
                          : options.TiffResolutionUnit == 2 ? RESUNIT_CENTIMETER
                                                            : RESUNIT_INCH;
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unit);
    // libtiff writes both resolutions or neither. One whose numerator or
    // denominator is not positive takes the other's value (square pixels);
    // with neither usable, the resolution is left out.
    const bool horizontal = options.TiffResHorizN > 0 && options.TiffResHorizD > 0;
    const bool vertical = options.TiffResVertN > 0 && options.TiffResVertD > 0;
    if (horizontal || vertical) {
        const double x = horizontal ? static_cast<double>(options.TiffResHorizN) / options.TiffResHorizD : 0.0;
        const double y = vertical ? static_cast<double>(options.TiffResVertN) / options.TiffResVertD : 0.0;
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, horizontal ? x : y);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, vertical ? y : x);
    }
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "halvane");
    // A comment cannot hold a zero byte: it would end the text there.
    if (!comment.empty()) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, comment.c_str());

    std::string error;
    std::vector<uint8_t> line(size_t{width} * samples);
    for (uint32_t y = 0; y < height && error.empty(); ++y) {
        const uint8_t* in = picture.Row(static_cast<int32_t>(y));
        uint8_t* p = line.data();
        for (uint32_t x = 0; x < width; ++x, in += 3) {
            if (grey) {
                *p++ = whiteIsZero ? static_cast<uint8_t>(255 - in[0]) : in[0];
            } else if (cmyk) {
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
        if (TIFFWriteScanline(tif, line.data(), y, 0) < 0) error = Failure(stream, "libtiff cannot write a line");
    }
    if (error.empty() && !TIFFFlush(tif)) error = Failure(stream, "libtiff cannot finish the file");
    TIFFClose(tif);
    if (error.empty() && stream.message[0]) error = stream.message;
    if (error.empty() && !out.Put(file.data(), file.size())) error = kSinkRefused;
    return error;
}

}  // namespace imaging
