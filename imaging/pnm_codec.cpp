// Portable bitmap, greymap and pixmap (PBM, PGM, PPM), plain and raw.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "byte_reader.h"
#include "codecs.h"

namespace imaging {

namespace {

enum class PnmFamily { Bitmap = 1, Greymap = 2, Pixmap = 3 };

// The header: "P1" to "P6", width, height and (but for bitmaps) the
// maximum value, as decimal numbers between white space and comments.
struct PnmHeader {
    PnmFamily family = PnmFamily::Pixmap;
    bool raw = false;  // P4 to P6: binary samples
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t maxval = 1;
};

// Reads the text parts of a file through the bounded reader.
struct PnmScanner {
    ByteReader& in;

    static bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
    static bool IsDigit(int c) { return c >= '0' && c <= '9'; }

    // Skips white space and comments.
    void SkipSeparators() {
        for (int c = in.Peek(); c >= 0; c = in.Peek()) {
            if (IsSpace(c)) {
                in.Skip(1);
            } else if (c == '#') {
                while (in.Peek() >= 0 && in.Peek() != '\n' && in.Peek() != '\r') in.Skip(1);
            } else {
                break;
            }
        }
    }

    // A decimal number of at most `limit`; false when there is none or it is larger.
    bool Number(uint32_t limit, uint32_t& value) {
        SkipSeparators();
        if (!IsDigit(in.Peek())) return false;
        uint64_t result = 0;
        while (IsDigit(in.Peek())) {
            result = result * 10 + static_cast<unsigned>(in.U8() - '0');
            if (result > limit) return false;
        }
        value = static_cast<uint32_t>(result);
        return true;
    }

    // One digit 0 or 1 of a plain bitmap, which needs no separators.
    bool Bit(uint32_t& value) {
        SkipSeparators();
        if (in.Peek() != '0' && in.Peek() != '1') return false;
        value = static_cast<uint32_t>(in.U8() - '0');
        return true;
    }
};

std::string ReadHeader(PnmScanner& scan, PnmHeader& h) {
    const uint8_t p = scan.in.U8(), kind = scan.in.U8();
    if (scan.in.Failed() || p != 'P' || kind < '1' || kind > '6') {
        return "not a portable bitmap, greymap or pixmap (no P1 to P6 signature)";
    }
    h.raw = kind >= '4';
    h.family = static_cast<PnmFamily>(h.raw ? kind - '3' : kind - '0');
    if (!scan.Number(0xFFFFFFFFu, h.width) || !scan.Number(0xFFFFFFFFu, h.height)) {
        return "the header has no valid width and height";
    }
    if (std::string error = CheckSize(h.width, h.height); !error.empty()) return error;
    if (h.family != PnmFamily::Bitmap && (!scan.Number(65535, h.maxval) || h.maxval == 0)) {
        return "the header has no maximum value from 1 to 65535";
    }
    // Exactly one white-space character ends a raw file's header.
    if (h.raw && !PnmScanner::IsSpace(scan.in.U8())) return "the header does not end in white space";
    return "";
}

uint8_t Scale(uint32_t value, uint32_t maxval) {
    return static_cast<uint8_t>((value * 255u + maxval / 2) / maxval);
}

}  // namespace

std::string DecodePnm(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info) {
    ByteReader reader(data, size);
    PnmScanner scan{reader};
    PnmHeader h;
    if (std::string error = ReadHeader(scan, h); !error.empty()) return error;
    const bool raw = h.raw;
    const int family = static_cast<int>(h.family);  // 1 bitmap, 2 greymap, 3 pixmap
    const uint32_t width = h.width, height = h.height, maxval = h.maxval;
    const uint64_t pixels = uint64_t{width} * height;
    const int samples = h.family == PnmFamily::Pixmap ? 3 : 1;
    const uint64_t values = pixels * samples;
    if (raw) {
        const uint64_t bytes = family == 1 ? uint64_t{(width + 7) / 8} * height : values * (maxval > 255 ? 2 : 1);
        if (!reader.Has(bytes)) {
            return "truncated: the pixel data needs " + std::to_string(bytes) + " bytes, the file has " +
                   std::to_string(reader.Remaining());
        }
    } else {
        // Every value takes at least one character, and all but bits a separator too.
        const uint64_t least = family == 1 ? values : 2 * values - 1;
        if (!reader.Has(least)) return "truncated: too few characters for " + std::to_string(values) + " values";
    }

    Picture result(static_cast<int32_t>(width), static_cast<int32_t>(height));
    uint8_t* out = result.Bytes().data();
    if (family == 1 && raw) {
        const size_t stride = (width + 7) / 8;
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* row = reader.Here() + stride * y;
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t level = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
                out[0] = out[1] = out[2] = level;
                out += 3;
            }
        }
    } else if (raw) {
        const uint8_t* in = reader.Here();
        const bool wide = maxval > 255;
        for (uint64_t i = 0; i < values; ++i) {
            uint32_t value = wide ? (uint32_t{in[0]} << 8) | in[1] : in[0];
            in += wide ? 2 : 1;
            if (value > maxval) return "a sample value is larger than the maximum value " + std::to_string(maxval);
            const uint8_t level = Scale(value, maxval);
            if (samples == 1) {
                out[0] = out[1] = out[2] = level;
                out += 3;
            } else {
                *out++ = level;
            }
        }
    } else {
        for (uint64_t i = 0; i < values; ++i) {
            uint32_t value = 0;
            const bool ok = family == 1 ? scan.Bit(value) : scan.Number(maxval, value);
            if (!ok) {
                return reader.Remaining() == 0 ? "truncated: the file ends before the last pixel"
                                        : "value " + std::to_string(i + 1) + " is not a number from 0 to " +
                                              std::to_string(maxval);
            }
            const uint8_t level = family == 1 ? (value ? 0 : 255) : Scale(value, maxval);
            if (samples == 1) {
                out[0] = out[1] = out[2] = level;
                out += 3;
            } else {
                *out++ = level;
            }
        }
    }

    static const char* const kTypes[] = {"PBM", "PGM", "PPM"};
    info.Type = kTypes[family - 1];
    info.SubType = raw ? "binary" : "ASCII";
    info.Options = family == 1 ? "" : "maximum value " + std::to_string(maxval);
    const int64_t levels = int64_t{maxval} + 1;
    info.Colors = family == 1 ? 2 : family == 2 ? levels : levels * levels * levels;
    const int depth = family == 1 ? 1 : maxval > 255 ? 16 : 8;
    info.BitsPerPixel = depth * samples;
    picture = std::move(result);
    return "";
}

namespace {

// Plain files keep their lines to at most this many characters.
constexpr size_t kPlainLineLength = 70;

// A level as text, padded so that it can be stored with one 4-byte copy.
struct Decimal {
    char text[4];
    uint32_t length;
};

constexpr std::array<Decimal, 256> MakeDecimals() {
    std::array<Decimal, 256> table{};
    for (unsigned v = 0; v < 256; ++v) {
        Decimal& d = table[v];
        if (v >= 100) d.text[d.length++] = static_cast<char>('0' + v / 100);
        if (v >= 10) d.text[d.length++] = static_cast<char>('0' + v / 10 % 10);
        d.text[d.length++] = static_cast<char>('0' + v % 10);
    }
    return table;
}

constexpr std::array<Decimal, 256> kDecimals = MakeDecimals();

// Most characters a plain row takes, and room for the last 4-byte copy.
size_t PlainRowBound(int32_t width, PnmKind kind) {
    const size_t values = static_cast<size_t>(width) * (kind == PnmKind::Pixmap ? 3 : 1);
    return values * (kind == PnmKind::Bitmap ? 2 : 4) + 1 + 4;
}

// A plain greymap or pixmap row: levels separated by one blank, a new line
// instead where the line would grow past its limit, and a new line at the
// end. Returns the length written.
size_t PlainLevels(const uint8_t* row, int32_t width, bool grey, uint8_t* out) {
    uint8_t* p = out;
    size_t line = 0;
    auto level = [&](uint8_t value) {
        const Decimal& d = kDecimals[value];
        if (line > 0) {
            if (line + d.length + 1 > kPlainLineLength) {
                *p++ = '\n';
                line = 0;
            } else {
                *p++ = ' ';
                ++line;
            }
        }
        std::memcpy(p, d.text, sizeof d.text);
        p += d.length;
        line += d.length;
    };
    for (int32_t x = 0; x < width; ++x, row += 3) {
        if (grey) {
            level(GreyOf(row[0], row[1], row[2]));
        } else {
            level(row[0]);
            level(row[1]);
            level(row[2]);
        }
    }
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

// A plain bitmap row: one digit a pixel without separators, 1 for black.
size_t PlainBits(const uint8_t* row, int32_t width, uint8_t* out) {
    uint8_t* p = out;
    for (int32_t x = 0; x < width; ++x, row += 3) {
        if (x > 0 && x % kPlainLineLength == 0) *p++ = '\n';
        *p++ = GreyOf(row[0], row[1], row[2]) < 128 ? '1' : '0';
    }
    *p++ = '\n';
    return static_cast<size_t>(p - out);
}

size_t RawRowBytes(int32_t width, PnmKind kind) {
    const size_t pixels = static_cast<size_t>(width);
    return kind == PnmKind::Pixmap ? 3 * pixels : kind == PnmKind::Greymap ? pixels : (pixels + 7) / 8;
}

void RawRow(const uint8_t* row, int32_t width, PnmKind kind, uint8_t* out) {
    if (kind == PnmKind::Pixmap) {
        std::memcpy(out, row, RawRowBytes(width, kind));
    } else if (kind == PnmKind::Greymap) {
        for (int32_t x = 0; x < width; ++x, row += 3) out[x] = GreyOf(row[0], row[1], row[2]);
    } else {
        std::memset(out, 0, RawRowBytes(width, kind));
        for (int32_t x = 0; x < width; ++x, row += 3) {
            if (GreyOf(row[0], row[1], row[2]) < 128) out[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    }
}

}  // namespace

std::string EncodePnm(const Picture& picture, PnmKind kind, bool binary, ByteSink& out) {
    const char magic = static_cast<char>('0' + (kind == PnmKind::Bitmap ? 1 : kind == PnmKind::Greymap ? 2 : 3) + (binary ? 3 : 0));
    std::string header = std::string("P") + magic + "\n" + std::to_string(picture.Width()) + " " +
                         std::to_string(picture.Height()) + "\n";
    if (kind != PnmKind::Bitmap) header += "255\n";

    const int32_t width = picture.Width();
    const int32_t height = picture.Height();
    const size_t rowBound = binary ? RawRowBytes(width, kind) : PlainRowBound(width, kind);
    out.Expect(header.size() + rowBound * static_cast<size_t>(height));
    if (!out.Put(reinterpret_cast<const uint8_t*>(header.data()), header.size())) return kSinkRefused;
    // Every row is text of its own (each ends its last line), so pieces of
    // rows are made apart.
    const int32_t rows = RowsPerPiece(rowBound);
    const size_t pieces = (static_cast<size_t>(height) + rows - 1) / rows;
    return EncodeInOrder(pieces, [&](size_t piece, ByteBuffer& buffer) {
        const int32_t first = static_cast<int32_t>(piece) * rows;
        for (int32_t y = first; y < std::min(height, first + rows); ++y) {
            const size_t before = buffer.Size();
            uint8_t* to = buffer.Extend(rowBound);
            if (binary) {
                RawRow(picture.Row(y), width, kind, to);
            } else {
                const size_t length = kind == PnmKind::Bitmap
                                          ? PlainBits(picture.Row(y), width, to)
                                          : PlainLevels(picture.Row(y), width, kind == PnmKind::Greymap, to);
                buffer.Truncate(before + length);
            }
        }
    }, out);
}

}  // namespace imaging
