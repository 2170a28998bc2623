// TIFF through libtiff, on memory streams. Reading goes through libtiff's
// RGBA interface, so every layout it knows is read; writing makes 8-bit
// RGB, CMYK or grey strips. libtiff's messages are collected, never printed.
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

std::string DecodeTiff(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    if (size < 8 || !((data[0] == 'I' && data[1] == 'I') || (data[0] == 'M' && data[1] == 'M'))) {
        return "not a TIFF file (no II or MM byte order mark)";
    }
    TiffStream stream;
    stream.data = data;
    stream.size = size;
    TIFF* tif = Open(stream, "rm");
    if (!tif) return Failure(stream, "not a readable TIFF file");

    std::string error;
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    char refusal[1024] = "";
    if (std::string sizeError = CheckSize(width, height); !sizeError.empty()) {
        error = sizeError;
    } else if (!TIFFRGBAImageOK(tif, refusal)) {
        error = refusal[0] ? refusal : "libtiff cannot convert this TIFF to RGB";
    }
    Picture result;
    if (error.empty()) {
        try {
            std::vector<uint32_t> raster(size_t{width} * height);
            if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1)) {
                error = Failure(stream, "the TIFF picture data cannot be read");
            } else {
                result = Picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
                uint8_t* out = result.Bytes().data();
                for (const uint32_t abgr : raster) {
                    *out++ = static_cast<uint8_t>(TIFFGetR(abgr));
                    *out++ = static_cast<uint8_t>(TIFFGetG(abgr));
                    *out++ = static_cast<uint8_t>(TIFFGetB(abgr));
                }
            }
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

std::string EncodeTiff(const Picture& picture, const ImageFileOptions& options, ByteSink& out) {
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
