// ZSoft Paintbrush (PCX): 1-bit planes (2 to 16 colours), 2 and 4 bits
// packed, 8-bit with the 256-colour palette at the end, and 24-bit (three
// 8-bit planes, a fourth alpha plane ignored). Read only.
#include <string>

#include "codecs.h"

namespace imaging {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

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
    if (size < 128) return "truncated: the file is shorter than a PCX header";
    if (data[0] != 0x0A) return "not a PCX file (no 0A signature byte)";
    const unsigned version = data[1];
    const unsigned encoding = data[2];
    const unsigned bits = data[3];
    const int64_t xMin = U16(data + 4), yMin = U16(data + 6), xMax = U16(data + 8), yMax = U16(data + 10);
    const unsigned planes = data[65];
    const unsigned bytesPerLine = U16(data + 66);
    if (encoding > 1) return "unknown PCX encoding " + std::to_string(encoding);
    const bool indexed = (bits == 1 && planes >= 1 && planes <= 4) || ((bits == 2 || bits == 4) && planes == 1);
    const bool eightBit = bits == 8 && (planes == 1 || planes == 3 || planes == 4);
    if (!indexed && !eightBit) {
        return "PCX with " + std::to_string(bits) + " bits in " + std::to_string(planes) + " planes is not supported";
    }
    if (xMax < xMin || yMax < yMin) return "the picture window is empty";
    const int64_t width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (std::string error = CheckSize(width, height); !error.empty()) return error;
    if (uint64_t{bytesPerLine} * 8 < static_cast<uint64_t>(width) * bits) {
        return "the line length of " + std::to_string(bytesPerLine) + " bytes is too short for " +
               std::to_string(width) + " pixels";
    }

    // The 256-colour palette follows the picture data behind a 0C byte.
    const uint8_t* dataEnd = data + size;
    std::vector<uint32_t> palette;
    if (bits == 8 && planes == 1) {
        palette.resize(256);
        if (size >= 128 + 769 && data[size - 769] == 0x0C) {
            const uint8_t* p = data + size - 768;
            for (unsigned i = 0; i < 256; ++i) palette[i] = PackColour(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
            dataEnd = data + size - 769;
        } else {
            for (unsigned i = 0; i < 256; ++i) palette[i] = PackColour(i, i, i);
        }
    } else if (indexed) {
        palette.resize(16);
        for (unsigned i = 0; i < 16; ++i) palette[i] = PackColour(data[16 + 3 * i], data[17 + 3 * i], data[18 + 3 * i]);
        if (bits == 1 && planes == 1 && palette[0] == palette[1]) {
            palette[0] = 0;  // no usable palette: black and white
            palette[1] = PackColour(255, 255, 255);
        }
    }

    const size_t lineBytes = size_t{bytesPerLine} * planes;
    const uint64_t total = uint64_t{lineBytes} * static_cast<uint64_t>(height);
    const uint64_t available = static_cast<uint64_t>(dataEnd - (data + 128));
    // A two-byte run stands for at most 63 bytes.
    if ((encoding == 1 ? available * 63 : available) < total) {
        return "truncated: the picture data is too short for " + SizeText(width, height) + " pixels";
    }

    Picture result(static_cast<int32_t>(width), static_cast<int32_t>(height));
    std::vector<uint8_t> line(lineBytes);
    PcxStream stream{data + 128, dataEnd, encoding == 1};
    for (int32_t y = 0; y < result.Height(); ++y) {
        for (uint8_t& byte : line) {
            if (!stream.Next(byte)) return "truncated: the picture data ends in line " + std::to_string(y + 1);
        }
        uint8_t* out = result.Row(y);
        for (int32_t x = 0; x < result.Width(); ++x, out += 3) {
            uint32_t colour = 0;
            if (eightBit && planes >= 3) {
                colour = PackColour(line[x], line[bytesPerLine + x], line[2 * size_t{bytesPerLine} + x]);
            } else if (eightBit) {
                colour = palette[line[x]];
            } else if (bits == 1) {
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
    info.Options = encoding == 1 ? "RLE" : "uncompressed";
    info.Colors = eightBit && planes >= 3 ? 16777216 : int64_t{1} << (bits * planes);
    info.BitsPerPixel = static_cast<int32_t>(bits * planes);
    picture = std::move(result);
    return "";
}

}  // namespace imaging
