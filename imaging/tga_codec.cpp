// Truevision Targa: colour-mapped, true-colour and grey pictures, plain
// (types 1, 2, 3) or run-length encoded (9, 10, 11), any origin.
// Writes uncompressed 24-bit true colour with the origin at the bottom left.
#include <algorithm>
#include <cstring>
#include <string>

#include "byte_reader.h"
#include "codecs.h"

namespace imaging {

namespace {

enum class TgaType : uint8_t {
    NoPicture = 0,
    ColourMapped = 1,
    TrueColour = 2,
    Grey = 3,
    RleColourMapped = 9,
    RleTrueColour = 10,
    RleGrey = 11,
    HuffmanColourMapped = 32,
    HuffmanQuadtreeColourMapped = 33,
};

// The 18-byte header, field by field.
struct TgaHeader {
    uint8_t idLength = 0;
    uint8_t mapType = 0;  // 0 none, 1 a colour map follows the identification
    TgaType type = TgaType::NoPicture;
    uint16_t mapFirst = 0;
    uint16_t mapLength = 0;
    uint8_t mapEntryBits = 0;
    uint16_t xOrigin = 0;
    uint16_t yOrigin = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 0;
    uint8_t descriptor = 0;  // bit 4: right origin, bit 5: top origin

    bool Rle() const { return static_cast<uint8_t>(type) >= 9 && static_cast<uint8_t>(type) <= 11; }
    // 1 colour-mapped, 2 true colour, 3 grey.
    unsigned Kind() const { return static_cast<uint8_t>(type) - (Rle() ? 8u : 0u); }
};

constexpr size_t kHeaderBytes = 18;

TgaHeader ReadHeader(ByteReader& r) {
    TgaHeader h;
    h.idLength = r.U8();
    h.mapType = r.U8();
    h.type = static_cast<TgaType>(r.U8());
    h.mapFirst = r.U16le();
    h.mapLength = r.U16le();
    h.mapEntryBits = r.U8();
    h.xOrigin = r.U16le();
    h.yOrigin = r.U16le();
    h.width = r.U16le();
    h.height = r.U16le();
    h.depth = r.U8();
    h.descriptor = r.U8();
    return h;
}

// Targa has no signature: a header is taken for one when its map type and
// image type are among the defined ones.
bool LooksLikeTarga(const TgaHeader& h) {
    switch (h.type) {
        case TgaType::NoPicture:
        case TgaType::ColourMapped:
        case TgaType::TrueColour:
        case TgaType::Grey:
        case TgaType::RleColourMapped:
        case TgaType::RleTrueColour:
        case TgaType::RleGrey:
        case TgaType::HuffmanColourMapped:
        case TgaType::HuffmanQuadtreeColourMapped: break;
        default: return false;
    }
    return h.mapType <= 1;
}

uint8_t FiveBits(unsigned value) { return static_cast<uint8_t>((value * 255 + 15) / 31); }

// A colour stored in `bytes` bytes, as Targa lays out pixels and map entries.
uint32_t TrueColour(const uint8_t* p, unsigned bytes) {
    if (bytes == 2) {
        const unsigned v = p[0] | (p[1] << 8);
        return PackColour(FiveBits((v >> 10) & 31), FiveBits((v >> 5) & 31), FiveBits(v & 31));
    }
    return PackColour(p[2], p[1], p[0]);
}

}  // namespace

std::string DecodeTga(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    if (size < kHeaderBytes) return "not a Targa file (shorter than a Targa header)";
    ByteReader r(data, size);
    const TgaHeader h = ReadHeader(r);
    if (!LooksLikeTarga(h)) return "not a Targa file";
    const unsigned kind = h.Kind();
    const unsigned depth = h.depth;
    if (h.type == TgaType::NoPicture) return "the Targa file holds no picture";
    if (h.type == TgaType::HuffmanColourMapped || h.type == TgaType::HuffmanQuadtreeColourMapped) {
        return "Huffman-compressed Targa files (image type " + std::to_string(static_cast<unsigned>(h.type)) +
               ") are not supported";
    }
    if (kind == 1 && h.mapType != 1) return "a colour-mapped Targa picture without a colour map";
    if (kind == 1 && depth != 8 && depth != 16) return "colour-mapped Targa with " + std::to_string(depth) + "-bit indices";
    if (kind == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32) {
        return "true-colour Targa with " + std::to_string(depth) + " bits per pixel";
    }
    if (kind == 3 && depth != 8 && depth != 16) return "grey Targa with " + std::to_string(depth) + " bits per pixel";
    if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32) {
        return "Targa colour map entries of " + std::to_string(h.mapEntryBits) + " bits";
    }
    const int64_t width = h.width, height = h.height;
    if (std::string error = CheckSize(width, height); !error.empty()) return error;

    r.Skip(h.idLength);
    if (r.Failed()) return "truncated: the file ends inside the image identification";
    std::vector<uint32_t> map;
    if (h.mapType == 1) {
        const unsigned entryBytes = (h.mapEntryBits + 7) / 8;
        const size_t mapBytes = size_t{h.mapLength} * entryBytes;
        if (!r.Has(mapBytes)) return "truncated: the file ends inside the colour map";
        if (kind == 1) {
            map.resize(h.mapLength);
            for (unsigned i = 0; i < h.mapLength; ++i) map[i] = TrueColour(r.Here() + size_t{i} * entryBytes, entryBytes);
        }
        r.Skip(mapBytes);
    }

    const bool rle = h.Rle();
    const unsigned pixelBytes = (depth + 7) / 8;
    const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    const size_t available = r.Remaining();
    // A packet holds at most 128 pixels, so this many bytes at least.
    const uint64_t least = rle ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
    if (least > available) {
        return "truncated: " + SizeText(width, height) + " pixels need at least " + std::to_string(least) +
               " bytes of data, the file has " + std::to_string(available);
    }

    auto colourOf = [&](const uint8_t* p) -> uint32_t {
        if (kind == 1) {
            const unsigned index = depth == 8 ? p[0] : p[0] | (p[1] << 8);
            return index >= h.mapFirst && index - h.mapFirst < map.size() ? map[index - h.mapFirst] : 0;
        }
        if (kind == 3) return PackColour(p[0], p[0], p[0]);
        return TrueColour(p, pixelBytes == 4 ? 3 : pixelBytes);
    };

    Picture result(static_cast<int32_t>(width), static_cast<int32_t>(height));
    const bool topOrigin = h.descriptor & 0x20;
    const bool rightOrigin = h.descriptor & 0x10;
    uint64_t done = 0;
    auto store = [&](uint32_t colour) {
        const int64_t column = static_cast<int64_t>(done % static_cast<uint64_t>(width));
        const int64_t row = static_cast<int64_t>(done / static_cast<uint64_t>(width));
        result.SetPixel(static_cast<int32_t>(rightOrigin ? width - 1 - column : column),
                        static_cast<int32_t>(topOrigin ? row : height - 1 - row), colour);
        ++done;
    };
    // The pixel data is read straight from memory: its length was checked
    // above, and each packet's below.
    const uint8_t* in = r.Here();
    const uint8_t* end = data + size;
    while (done < pixels) {
        if (!rle) {
            store(colourOf(in));
            in += pixelBytes;
            continue;
        }
        if (end - in < 1 + static_cast<ptrdiff_t>(pixelBytes)) return "truncated: the file ends inside the compressed data";
        const uint8_t packet = *in++;
        const unsigned count = (packet & 0x7F) + 1u;
        if (packet & 0x80) {
            const uint32_t colour = colourOf(in);
            in += pixelBytes;
            for (unsigned k = 0; k < count && done < pixels; ++k) store(colour);
        } else {
            if (static_cast<size_t>(end - in) < size_t{count} * pixelBytes) {
                return "truncated: the file ends inside the compressed data";
            }
            for (unsigned k = 0; k < count; ++k, in += pixelBytes) {
                if (done < pixels) store(colourOf(in));
            }
        }
    }

    static const char* const kKinds[] = {"colour-mapped", "true colour", "grey"};
    info.Type = "TGA";
    info.SubType = std::string(kKinds[kind - 1]) + ", " + std::to_string(depth) + " bits per pixel";
    info.Options = std::string(rle ? "RLE, " : "") + (topOrigin ? "top" : "bottom") + (rightOrigin ? "-right" : "-left") +
                   " origin";
    info.Colors = kind == 1 ? static_cast<int64_t>(map.size()) : kind == 3 ? 256
                  : depth <= 16 ? 32768 : 16777216;
    info.BitsPerPixel = static_cast<int32_t>(depth);
    picture = std::move(result);
    return "";
}

std::string EncodeTga(const Picture& picture, ByteSink& out) {
    const int32_t width = picture.Width();
    const int32_t height = picture.Height();
    if (width > 65535 || height > 65535) return "a Targa picture is at most 65535 pixels wide and high";
    uint8_t header[kHeaderBytes] = {};
    header[2] = static_cast<uint8_t>(TgaType::TrueColour);  // uncompressed
    PutU16le(header + 12, static_cast<uint32_t>(width));
    PutU16le(header + 14, static_cast<uint32_t>(height));
    header[16] = 24;
    header[17] = 0;  // bottom-left origin, no alpha bits
    // Version 2 footer: no extension or developer area, then the signature
    // with its terminating zero.
    const char signature[] = "TRUEVISION-XFILE.";
    uint8_t footer[8 + sizeof signature] = {};
    std::memcpy(footer + 8, signature, sizeof signature);

    const size_t rowBytes = size_t{3} * static_cast<uint32_t>(width);
    out.Expect(sizeof header + rowBytes * static_cast<uint32_t>(height) + sizeof footer);
    if (!out.Put(header, sizeof header)) return kSinkRefused;
    const int32_t rows = RowsPerPiece(rowBytes);
    const size_t pieces = (static_cast<size_t>(height) + rows - 1) / rows;
    const std::string error = EncodeInOrder(pieces, [&](size_t piece, ByteBuffer& buffer) {
        // The bottom row first.
        const int32_t first = height - 1 - static_cast<int32_t>(piece) * rows;
        for (int32_t y = first; y >= std::max(0, first - rows + 1); --y) {
            const uint8_t* in = picture.Row(y);
            uint8_t* to = buffer.Extend(rowBytes);
            for (int32_t x = 0; x < width; ++x, in += 3, to += 3) {
                to[0] = in[2];
                to[1] = in[1];
                to[2] = in[0];
            }
        }
    }, out);
    if (!error.empty()) return error;
    return out.Put(footer, sizeof footer) ? "" : kSinkRefused;
}

}  // namespace imaging
