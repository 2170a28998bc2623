// Windows and OS/2 bitmaps (BMP, DIB, RLE): 1, 2, 4, 8, 16, 24 and 32 bits,
// bottom-up and top-down, RLE4, RLE8 and bit fields. Writes 24-bit bottom-up.
#include <algorithm>
#include <array>
#include <string>

#include "byte_reader.h"
#include "codecs.h"

namespace imaging {

namespace {

enum BmpCompression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

// One colour channel of a bit-field pixel.
struct Field {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // mask >> shift

    explicit Field(uint32_t m = 0) : mask(m) {
        if (mask == 0) return;
        while (((mask >> shift) & 1u) == 0) ++shift;
        max = mask >> shift;
    }
    uint8_t Level(uint32_t pixel) const {
        if (max == 0) return 0;
        const uint64_t value = (pixel & mask) >> shift;
        return static_cast<uint8_t>((value * 255 + max / 2) / max);
    }
};

struct BmpHeader {
    bool core = false;  // OS/2 1.x header: 16-bit sizes, 3-byte palette entries
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0;  // always positive here
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t compression = kRgb;  // a BmpCompression, or a code we do not know
    uint32_t colorsUsed = 0;
    std::array<uint32_t, 3> masks{};
    bool hasMasks = false;
};

std::string Truncated(const char* what) { return std::string("truncated: the file ends inside the ") + what; }

std::string ReadHeader(ByteReader& r, size_t start, BmpHeader& h, size_t& afterHeader) {
    r.Seek(start);
    h.headerSize = r.U32le();
    if (r.Failed()) return Truncated("bitmap header");
    if (h.headerSize == 12) {
        h.core = true;
        h.width = r.U16le();
        h.height = r.U16le();
        r.U16le();
        h.bits = r.U16le();
    } else if ((h.headerSize >= 16 && h.headerSize <= 64) || h.headerSize == 108 || h.headerSize == 124) {
        h.width = r.S32le();
        const int64_t height = r.S32le();
        r.U16le();
        h.bits = r.U16le();
        if (h.headerSize >= 20) h.compression = r.U32le();
        if (h.headerSize >= 36) {
            r.Seek(start + 32);
            h.colorsUsed = r.U32le();
        }
        if (h.headerSize >= 52) {
            r.Seek(start + 40);
            for (uint32_t& mask : h.masks) mask = r.U32le();
            h.hasMasks = true;
        }
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        // OS/2 2.x reuses codes 3 and 4 for Huffman and RLE24.
        if (h.headerSize == 64 && (h.compression == 3 || h.compression == 4)) {
            return "OS/2 " + std::string(h.compression == 3 ? "Huffman" : "RLE24") + " compression is not supported";
        }
    } else {
        return "not a bitmap: unknown header size " + std::to_string(h.headerSize);
    }
    if (r.Failed() || start + h.headerSize > r.Size()) return Truncated("bitmap header");
    afterHeader = start + h.headerSize;

    switch (h.compression) {
        case kRgb:
            if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32) {
                return std::to_string(h.bits) + " bits per pixel are not a bitmap depth";
            }
            break;
        case kRle8:
        case kRle4:
            if (h.bits != (h.compression == kRle8 ? 8u : 4u)) {
                return "RLE" + std::to_string(h.compression == kRle8 ? 8 : 4) + " compression with " +
                       std::to_string(h.bits) + " bits per pixel";
            }
            break;
        case kBitFields:
        case kAlphaBitFields:
            if (h.bits != 16 && h.bits != 32) return "bit fields with " + std::to_string(h.bits) + " bits per pixel";
            if (!h.hasMasks) {
                r.Seek(afterHeader);
                for (uint32_t& mask : h.masks) mask = r.U32le();
                if (r.Failed()) return Truncated("bit-field masks");
                afterHeader += h.compression == kAlphaBitFields ? 16 : 12;
                h.hasMasks = true;
            }
            if (h.masks[0] == 0 && h.masks[1] == 0 && h.masks[2] == 0) return "the bit-field masks are all empty";
            break;
        case 4: return "JPEG-compressed bitmaps are not supported";
        case 5: return "PNG-compressed bitmaps are not supported";
        default: return "unknown compression " + std::to_string(h.compression);
    }
    if (h.compression != kBitFields && h.compression != kAlphaBitFields) {
        h.masks = h.bits == 16 ? std::array<uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                               : std::array<uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    }
    if (std::string error = CheckSize(h.width, h.height); !error.empty()) return error;
    return "";
}

// Decodes run-length-encoded indices into `picture` through `palette`;
// rows count from the bottom unless the bitmap is top-down. Without a
// picture it only checks that the data reaches its end-of-bitmap mark, so
// that a damaged file is refused before the picture is made.
std::string DecodeRle(const uint8_t* data, size_t size, const BmpHeader& h, const std::vector<uint32_t>& palette,
                      Picture* picture) {
    const bool four = h.compression == kRle4;
    const uint32_t background = palette.empty() ? 0 : palette[0];
    for (int32_t y = 0; picture && y < picture->Height(); ++y) {
        for (int32_t x = 0; x < picture->Width(); ++x) picture->SetPixel(x, y, background);
    }
    uint64_t x = 0, row = 0;
    auto put = [&](uint8_t index) {
        if (picture && x < static_cast<uint64_t>(h.width) && row < static_cast<uint64_t>(h.height)) {
            const uint32_t colour = index < palette.size() ? palette[index] : 0;
            const int64_t y = h.topDown ? static_cast<int64_t>(row) : h.height - 1 - static_cast<int64_t>(row);
            picture->SetPixel(static_cast<int32_t>(x), static_cast<int32_t>(y), colour);
        }
        ++x;
    };
    size_t pos = 0;
    for (;;) {
        if (size - pos < 2) return "truncated: the compressed data ends before the end-of-bitmap mark";
        const uint8_t count = data[pos];
        const uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            if (!picture) x += count;
            for (unsigned k = 0; picture && k < count; ++k) put(four ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value);
        } else if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return "";
        } else if (value == 2) {
            if (size - pos < 2) return "truncated: the compressed data ends inside a move";
            x += data[pos];
            row += data[pos + 1];
            pos += 2;
        } else {
            const size_t bytes = four ? (value + 1u) / 2 : value;
            const size_t padded = bytes + (bytes & 1);
            if (size - pos < padded) return "truncated: the compressed data ends inside a literal run";
            if (!picture) x += value;
            for (unsigned k = 0; picture && k < value; ++k) {
                const uint8_t byte = data[pos + (four ? k / 2 : k)];
                put(four ? (k % 2 == 0 ? byte >> 4 : byte & 0x0F) : byte);
            }
            pos += padded;
        }
    }
}

}  // namespace

std::string DecodeBmp(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    ByteReader r(data, size);
    size_t start = 0;
    uint32_t dataOffset = 0;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        r.Seek(10);
        dataOffset = r.U32le();
        if (r.Failed()) return Truncated("file header");
        start = 14;
    } else if (size >= 4 && (data[0] == 12 || data[0] == 40 || data[0] == 52 || data[0] == 56 || data[0] == 64 ||
                             data[0] == 108 || data[0] == 124) && data[1] == 0 && data[2] == 0 && data[3] == 0) {
        start = 0;  // a bitmap without file header, as on the clipboard
    } else {
        return "not a bitmap (no BM signature)";
    }
    BmpHeader h;
    size_t afterHeader = 0;
    if (std::string error = ReadHeader(r, start, h, afterHeader); !error.empty()) return error;

    // The palette: indexed bitmaps always have one, the others may list
    // colours that we do not need.
    std::vector<uint32_t> palette;
    const size_t entrySize = h.core ? 3 : 4;
    size_t paletteEntries = h.colorsUsed;
    if (h.bits <= 8) {
        if (paletteEntries == 0 || paletteEntries > (size_t{1} << h.bits)) paletteEntries = size_t{1} << h.bits;
        r.Seek(afterHeader);
        if (!r.Has(paletteEntries * entrySize)) {
            // Some writers announce full palettes but store fewer colours.
            paletteEntries = std::min(paletteEntries, r.Remaining() / entrySize);
            if (dataOffset == 0 || paletteEntries == 0) return Truncated("palette");
        }
        palette.resize(paletteEntries);
        for (uint32_t& colour : palette) {
            const uint8_t blue = r.U8(), green = r.U8(), red = r.U8();
            if (!h.core) r.U8();
            colour = PackColour(red, green, blue);
        }
    }
    if (dataOffset == 0) {
        const uint64_t listed = h.bits <= 8 ? paletteEntries : std::min<uint64_t>(h.colorsUsed, 1u << 16);
        dataOffset = static_cast<uint32_t>(std::min<uint64_t>(afterHeader + listed * entrySize, size));
    }
    if (dataOffset < afterHeader || dataOffset >= size) {
        return "the pixel data offset " + std::to_string(dataOffset) + " lies outside the file of " +
               std::to_string(size) + " bytes";
    }

    // The file must hold the pixel data before the picture is made.
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    const uint64_t stride = (static_cast<uint64_t>(h.width) * h.bits + 31) / 32 * 4;
    if (rle) {
        if (std::string error = DecodeRle(data + dataOffset, size - dataOffset, h, palette, nullptr); !error.empty()) {
            return error;
        }
    } else if (const uint64_t needed = stride * static_cast<uint64_t>(h.height); needed > size - dataOffset) {
        return "truncated: the pixel data needs " + std::to_string(needed) + " bytes from offset " +
               std::to_string(dataOffset) + ", the file has " + std::to_string(size - dataOffset);
    }

    Picture result(static_cast<int32_t>(h.width), static_cast<int32_t>(h.height));
    if (rle) {
        if (std::string error = DecodeRle(data + dataOffset, size - dataOffset, h, palette, &result); !error.empty()) {
            return error;
        }
    } else {
        const Field red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
        const bool plainBgr = (h.bits == 24) ||
                              (h.bits == 32 && h.masks == std::array<uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF});
        for (int64_t i = 0; i < h.height; ++i) {
            const uint8_t* in = data + dataOffset + stride * static_cast<uint64_t>(i);
            uint8_t* out = result.Row(static_cast<int32_t>(h.topDown ? i : h.height - 1 - i));
            for (int64_t x = 0; x < h.width; ++x, out += 3) {
                uint32_t colour = 0;
                if (h.bits <= 8) {
                    const uint64_t bit = static_cast<uint64_t>(x) * h.bits;
                    const unsigned index = (in[bit / 8] >> (8 - h.bits - bit % 8)) & ((1u << h.bits) - 1);
                    colour = index < palette.size() ? palette[index] : 0;
                } else if (plainBgr) {
                    const uint8_t* p = in + x * (h.bits / 8);
                    colour = PackColour(p[2], p[1], p[0]);
                } else {
                    const uint8_t* p = in + x * (h.bits / 8);
                    const uint32_t pixel = h.bits == 16 ? uint32_t{p[0]} | (uint32_t{p[1]} << 8)
                                                        : uint32_t{p[0]} | (uint32_t{p[1]} << 8) |
                                                              (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
                    colour = PackColour(red.Level(pixel), green.Level(pixel), blue.Level(pixel));
                }
                out[0] = RedOf(colour);
                out[1] = GreenOf(colour);
                out[2] = BlueOf(colour);
            }
        }
    }

    info.Type = "BMP";
    info.SubType = std::string(h.core ? "OS/2, " : "") + std::to_string(h.bits) + " bits per pixel";
    switch (h.compression) {
        case kRle8: info.Options = "RLE8"; break;
        case kRle4: info.Options = "RLE4"; break;
        case kBitFields:
        case kAlphaBitFields: info.Options = "bit fields"; break;
        default: info.Options = "";
    }
    if (h.topDown) info.Options += info.Options.empty() ? "top-down" : ", top-down";
    if (h.bits <= 8) {
        info.Colors = static_cast<int64_t>(palette.size());
    } else if (h.bits == 16) {
        info.Colors = h.compression == kRgb ? 32768 : 65536;
    } else {
        info.Colors = 16777216;
    }
    info.BitsPerPixel = static_cast<int32_t>(h.bits);
    picture = std::move(result);
    return "";
}

std::string EncodeBmp(const Picture& picture, ByteSink& out) {
    const int32_t width = picture.Width();
    const int32_t height = picture.Height();
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) / 4 * 4;
    const uint32_t imageSize = stride * static_cast<uint32_t>(height);  // at most 100 million pixels: fits
    constexpr uint32_t kHeaderBytes = 54;
    uint8_t header[kHeaderBytes];
    uint8_t* p = header;
    *p++ = 'B';
    *p++ = 'M';
    p = PutU32le(p, kHeaderBytes + imageSize);
    p = PutU32le(p, 0);
    p = PutU32le(p, kHeaderBytes);
    p = PutU32le(p, 40);
    p = PutU32le(p, static_cast<uint32_t>(width));
    p = PutU32le(p, static_cast<uint32_t>(height));  // positive: bottom-up, the form every reader knows
    p = PutU16le(p, 1);
    p = PutU16le(p, 24);
    p = PutU32le(p, kRgb);
    p = PutU32le(p, imageSize);
    p = PutU32le(p, 2835);  // 72 dots per inch
    p = PutU32le(p, 2835);
    p = PutU32le(p, 0);
    PutU32le(p, 0);
    out.Expect(kHeaderBytes + size_t{imageSize});
    if (!out.Put(header, sizeof header)) return kSinkRefused;

    const int32_t rows = RowsPerPiece(stride);
    const size_t pieces = (static_cast<size_t>(height) + rows - 1) / rows;
    return EncodeInOrder(pieces, [&](size_t piece, ByteBuffer& buffer) {
        // The bottom row first.
        const int32_t first = height - 1 - static_cast<int32_t>(piece) * rows;
        for (int32_t y = first; y >= std::max(0, first - rows + 1); --y) {
            const uint8_t* in = picture.Row(y);
            uint8_t* to = buffer.Extend(stride);
            for (int32_t x = 0; x < width; ++x, in += 3, to += 3) {
                to[0] = in[2];
                to[1] = in[1];
                to[2] = in[0];
            }
            for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < stride; ++pad) *to++ = 0;
        }
    }, out);
}

}  // namespace imaging
