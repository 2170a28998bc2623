// ZSoft Paintbrush (PCX): 1-bit planes (2 to 16 colours), 2 and 4 bits
// packed, 8-bit with the 256-colour palette at the end, and 24-bit (three
// 8-bit planes, a fourth alpha plane ignored). Read only.
#include <algorithm>
#include <string>

#include "byte_reader.h"
#include "codecs.h"

namespace imaging {

namespace {

enum class PcxEncoding : uint8_t { None = 0, Rle = 1 };

// The pixel layouts read.
enum class PcxLayout {
    BitPlanes,   // 1 bit in 1 to 4 planes: 2 to 16 colours from the header palette
    PackedBits,  // 2 or 4 bits in one plane, from the header palette
    Indexed,     // 8 bits in one plane, the 256-colour palette at the end
    Rgb,         // 8 bits in 3 planes (a 4th, alpha, ignored)
    Unsupported,
};

// The 128-byte header, field by field.
struct PcxHeader {
    uint8_t signature = 0;  // 0x0A
    uint8_t version = 0;
    PcxEncoding encoding = PcxEncoding::None;
    uint8_t bits = 0;  // per pixel in each plane
    uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    uint8_t palette[48] = {};  // 16 colours, R G B
    uint8_t planes = 0;
    uint16_t bytesPerLine = 0;  // of one plane

    PcxLayout Layout() const {
        if (bits == 1 && planes >= 1 && planes <= 4) return PcxLayout::BitPlanes;
        if ((bits == 2 || bits == 4) && planes == 1) return PcxLayout::PackedBits;
        if (bits == 8 && planes == 1) return PcxLayout::Indexed;
        if (bits == 8 && (planes == 3 || planes == 4)) return PcxLayout::Rgb;
        return PcxLayout::Unsupported;
    }
};

constexpr size_t kHeaderBytes = 128;

PcxHeader ReadHeader(ByteReader& r) {
    PcxHeader h;
    h.signature = r.U8();
    h.version = r.U8();
    h.encoding = static_cast<PcxEncoding>(r.U8());
    h.bits = r.U8();
    h.xMin = r.U16le();
    h.yMin = r.U16le();
    h.xMax = r.U16le();
    h.yMax = r.U16le();
    r.Skip(4);  // resolution
    for (uint8_t& value : h.palette) value = r.U8();
    r.Skip(1);  // reserved
    h.planes = r.U8();
    h.bytesPerLine = r.U16le();
    r.Seek(kHeaderBytes);
    return h;
}

// Yields the decoded bytes of the picture data, runs carried across lines.
struct PcxStream {
    const uint8_t* in;
    const uint8_t* end;
    bool compressed;
    unsigned runLeft = 0;
    uint8_t runValue = 0;

    bool Next(uint8_t& value) {
        if (!compressed) {
            if (in == end) return false;
            value = *in++;
            return true;
        }
        while (runLeft == 0) {
            if (in == end) return false;
            const uint8_t c = *in++;
            if ((c & 0xC0) != 0xC0) {
                value = c;
                return true;
            }
            if (in == end) return false;
            runLeft = c & 0x3F;
            runValue = *in++;
        }
        --runLeft;
        value = runValue;
        return true;
    }
};

}  // namespace

std::string DecodePcx(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    if (size < kHeaderBytes) return "truncated: the file is shorter than a PCX header";
    ByteReader r(data, size);
    const PcxHeader h = ReadHeader(r);
    if (h.signature != 0x0A) return "not a PCX file (no 0A signature byte)";
    const unsigned version = h.version;
    const unsigned bits = h.bits;
    const unsigned planes = h.planes;
    const unsigned bytesPerLine = h.bytesPerLine;
    if (h.encoding != PcxEncoding::None && h.encoding != PcxEncoding::Rle) {
        return "unknown PCX encoding " + std::to_string(static_cast<unsigned>(h.encoding));
    }
    const PcxLayout layout = h.Layout();
    if (layout == PcxLayout::Unsupported) {
        return "PCX with " + std::to_string(bits) + " bits in " + std::to_string(planes) + " planes is not supported";
    }
    const bool indexed = layout == PcxLayout::BitPlanes || layout == PcxLayout::PackedBits;
    if (h.xMax < h.xMin || h.yMax < h.yMin) return "the picture window is empty";
    const int64_t width = int64_t{h.xMax} - h.xMin + 1, height = int64_t{h.yMax} - h.yMin + 1;
    if (std::string error = CheckSize(width, height); !error.empty()) return error;
    if (uint64_t{bytesPerLine} * 8 < static_cast<uint64_t>(width) * bits) {
        return "the line length of " + std::to_string(bytesPerLine) + " bytes is too short for " +
               std::to_string(width) + " pixels";
    }

    // The 256-colour palette follows the picture data behind a 0C byte.
    const uint8_t* dataEnd = data + size;
    std::vector<uint32_t> palette;
    if (layout == PcxLayout::Indexed) {
        palette.resize(256);
        constexpr size_t kTrailer = 1 + 256 * 3;
        r.Seek(size - std::min(size, kTrailer));
        if (size >= kHeaderBytes + kTrailer && r.U8() == 0x0C) {
            for (uint32_t& colour : palette) {
                const uint8_t red = r.U8(), green = r.U8(), blue = r.U8();
                colour = PackColour(red, green, blue);
            }
            dataEnd = data + size - kTrailer;
        } else {
            for (unsigned i = 0; i < 256; ++i) palette[i] = PackColour(i, i, i);
        }
    } else if (indexed) {
        palette.resize(16);
        for (unsigned i = 0; i < 16; ++i) palette[i] = PackColour(h.palette[3 * i], h.palette[3 * i + 1], h.palette[3 * i + 2]);
        if (bits == 1 && planes == 1 && palette[0] == palette[1]) {
            palette[0] = 0;  // no usable palette: black and white
            palette[1] = PackColour(255, 255, 255);
        }
    }

    const size_t lineBytes = size_t{bytesPerLine} * planes;
    const uint64_t total = uint64_t{lineBytes} * static_cast<uint64_t>(height);
    const uint64_t available = static_cast<uint64_t>(dataEnd - (data + kHeaderBytes));
    // A two-byte run stands for at most 63 bytes.
    const bool compressed = h.encoding == PcxEncoding::Rle;
    if ((compressed ? available * 63 : available) < total) {
        return "truncated: the picture data is too short for " + SizeText(width, height) + " pixels";
    }

    Picture result(static_cast<int32_t>(width), static_cast<int32_t>(height));
    std::vector<uint8_t> line(lineBytes);
    PcxStream stream{data + kHeaderBytes, dataEnd, compressed};
    for (int32_t y = 0; y < result.Height(); ++y) {
        for (uint8_t& byte : line) {
            if (!stream.Next(byte)) return "truncated: the picture data ends in line " + std::to_string(y + 1);
        }
        uint8_t* out = result.Row(y);
        for (int32_t x = 0; x < result.Width(); ++x, out += 3) {
            uint32_t colour = 0;
            if (layout == PcxLayout::Rgb) {
                colour = PackColour(line[x], line[bytesPerLine + x], line[2 * size_t{bytesPerLine} + x]);
            } else if (layout == PcxLayout::Indexed) {
                colour = palette[line[x]];
            } else if (layout == PcxLayout::BitPlanes) {
                unsigned index = 0;
                for (unsigned p = 0; p < planes; ++p) {
                    index |= ((line[p * size_t{bytesPerLine} + x / 8] >> (7 - x % 8)) & 1u) << p;
                }
                colour = palette[index];
            } else {
                const size_t bit = size_t{static_cast<uint32_t>(x)} * bits;
                colour = palette[(line[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1)];
            }
            out[0] = RedOf(colour);
            out[1] = GreenOf(colour);
            out[2] = BlueOf(colour);
        }
    }

    info.Type = "PCX";
    info.SubType = "version " + std::to_string(version) + ", " + std::to_string(bits) + (bits == 1 ? " bit" : " bits") +
                   " in " + std::to_string(planes) + (planes == 1 ? " plane" : " planes");
    info.Options = compressed ? "RLE" : "uncompressed";
    info.Colors = layout == PcxLayout::Rgb ? 16777216 : int64_t{1} << (bits * planes);
    info.BitsPerPixel = static_cast<int32_t>(bits * planes);
    picture = std::move(result);
    return "";
}

}  // namespace imaging
