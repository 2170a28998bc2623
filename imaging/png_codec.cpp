// PNG through libpng, with the compressed picture data made here on every
// core. libpng reports errors by calling our handler, which records the
// text and longjmps back into the small function that holds the setjmp;
// every C++ object those functions use lives in a state record owned by
// their caller, so no destructor is ever skipped.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codecs.h"

namespace imaging {

namespace {

constexpr const char* kCommentKeyword = "Comment";
constexpr png_alloc_size_t kMaxAncillaryChunk = png_alloc_size_t{1} << 20;


struct PngState {
    char message[240] = "";
    bool ownWords = false;  // the message is ours, not libpng's
    // Reading
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool correctGamma = false;
    double screenGamma = 1.0;
    Picture picture;
    std::vector<png_bytep> rows;
    ImageInfo info;
    // Writing
    ByteSink* out = nullptr;
    bool refused = false;
};

// Our own refusals go through png_error as well; libpng's are about a
// damaged file.
[[noreturn]] void Refuse(png_structp png, PngState* state, const char* message) {
    state->ownWords = true;
    png_error(png, message);
}

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s%s", state->ownWords ? "" : "damaged PNG file: ",
                  message ? message : "unknown libpng error");
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep target, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (count > state->size - state->pos) Refuse(png, state, "truncated: the file ends inside the PNG data");
    std::memcpy(target, state->data + state->pos, count);
    state->pos += count;
}

// Never longjmps: the calls that write run inside C++ code of ours.
void WriteBytes(png_structp png, png_bytep source, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    if (!state->refused && !state->out->Put(source, count)) state->refused = true;
}

void FlushBytes(png_structp) {}

const char* ColourTypeName(int type) {
    switch (type) {
        case PNG_COLOR_TYPE_GRAY: return "grey";
        case PNG_COLOR_TYPE_GRAY_ALPHA: return "grey with alpha";
        case PNG_COLOR_TYPE_PALETTE: return "palette";
        case PNG_COLOR_TYPE_RGB: return "RGB";
        case PNG_COLOR_TYPE_RGB_ALPHA: return "RGB with alpha";
        default: return "unknown colour type";
    }
}

// Returns false with state->message set when libpng or the checks refuse the file.
bool RunRead(png_structp png, png_infop info, PngState* state) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, state, ReadBytes);
    png_set_user_limits(png, Picture::kMaxSide, Picture::kMaxSide);
    // Ancillary chunks (text, profiles) are allocated as long as they claim
    // to be before their bytes are read; none that is kept needs more.
    png_set_chunk_malloc_max(png, kMaxAncillaryChunk);
    // libpng takes an sRGB chunk or an sRGB profile as gamma 1 / 2.2; only
    // a gAMA chunk gives a file's gamma here, so these are not read at all.
    static const png_byte kIgnored[] = "sRGB\0iCCP";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnored, 2);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = png_get_bit_depth(png, info);
    const int type = png_get_color_type(png, info);
    const int interlace = png_get_interlace_type(png, info);
    if (!SizeReadable(width, height)) {
        char refusal[120];
        std::snprintf(refusal, sizeof refusal, "the picture size %lu by %lu is larger than this program accepts",
                      static_cast<unsigned long>(width), static_cast<unsigned long>(height));
        Refuse(png, state, refusal);
    }

    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    double fileGamma = 0.0;
    if (state->correctGamma && png_get_gAMA(png, info, &fileGamma) && fileGamma > 0.0) {
        png_set_gamma(png, state->screenGamma, fileGamma);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 3) Refuse(png, state, "unexpected row layout after conversion");

    state->picture = Picture(static_cast<int32_t>(width), static_cast<int32_t>(height));
    state->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) state->rows[y] = state->picture.Row(static_cast<int32_t>(y));
    png_read_image(png, state->rows.data());
    png_read_end(png, nullptr);

    const int channels = type == PNG_COLOR_TYPE_GRAY ? 1 : type == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                       : type == PNG_COLOR_TYPE_PALETTE ? 1 : type == PNG_COLOR_TYPE_RGB ? 3 : 4;
    const int colourBits = depth * (type == PNG_COLOR_TYPE_RGB || type == PNG_COLOR_TYPE_RGB_ALPHA ? 3 : 1);
    state->info.Type = "PNG";
    state->info.SubType = std::string(ColourTypeName(type)) + ", " + std::to_string(depth) +
                          (depth == 1 ? " bit per sample" : " bits per sample");
    state->info.Options = interlace == PNG_INTERLACE_ADAM7 ? "interlaced" : "";
    png_colorp palette = nullptr;
    int entries = 0;
    if (type == PNG_COLOR_TYPE_PALETTE && png_get_PLTE(png, info, &palette, &entries)) {
        state->info.Colors = entries;
    } else {
        state->info.Colors = int64_t{1} << colourBits;
    }
    state->info.BitsPerPixel = depth * channels;
    return true;
}

// The signature and the chunks before the picture data.
bool StartFile(png_structp png, png_infop info, PngState* state, const Picture& picture, double fileGamma,
               const std::string& comment) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, state, WriteBytes, FlushBytes);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width()), static_cast<png_uint_32>(picture.Height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (fileGamma > 0.0) png_set_gAMA(png, info, fileGamma);
    if (!comment.empty()) {
        png_text text{};
        text.compression = PNG_TEXT_COMPRESSION_NONE;
        text.key = const_cast<png_charp>(kCommentKeyword);
        text.text = const_cast<png_charp>(comment.c_str());
        text.text_length = comment.size();
        png_set_text(png, info, &text, 1);
    }
    png_write_info(png, info);
    return true;
}

bool WriteChunk(png_structp png, const char* type, const uint8_t* data, size_t size) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_chunk(png, reinterpret_cast<png_const_bytep>(type), data, size);
    return true;
}

// Puts each piece of the compressed data into an IDAT chunk of its own.
class IdatSink : public ByteSink {
public:
    IdatSink(png_structp png, const PngState& state) : png_(png), state_(state) {}
    bool Put(const uint8_t* data, size_t size) override {
        return WriteChunk(png_, "IDAT", data, size) && !state_.refused;
    }

private:
    png_structp png_;
    const PngState& state_;
};

// Speed over size: level 1 takes a quarter of the time of zlib's default
// level 6 on a 3200 by 2400 picture, for a file about 40 % larger.
constexpr int kCompressionLevel = 1;
// Filtered bytes compressed apart; the pieces are joined as one stream.
constexpr size_t kPieceBytes = size_t{512} << 10;

class Deflater {
public:
    Deflater() {
        if (deflateInit2(&stream_, kCompressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            throw std::bad_alloc();
        }
    }
    ~Deflater() { deflateEnd(&stream_); }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // Appends `size` bytes compressed to `out`: the last piece ends the
    // stream, the others end on a byte boundary (a sync flush) so that the
    // next piece's blocks follow on.
    void Compress(const uint8_t* data, size_t size, bool last, ByteBuffer& out) {
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = static_cast<uInt>(size);
        const size_t start = out.Size();
        size_t room = deflateBound(&stream_, size) + 16;
        size_t produced = 0;
        out.Extend(room);
        for (;;) {
            stream_.next_out = out.Data() + start + produced;
            stream_.avail_out = static_cast<uInt>(room - produced);
            const int result = deflate(&stream_, flush);
            produced = room - stream_.avail_out;
            if (result == Z_STREAM_END || (!last && result == Z_OK && stream_.avail_out > 0)) break;
            // zlib fails here only for want of room, which it gets.
            if (result != Z_OK && result != Z_BUF_ERROR) throw std::bad_alloc();
            out.Extend(room);
            room *= 2;
        }
        out.Truncate(start + produced);
    }

private:
    z_stream stream_{};
};

// The filter of every row but the first is Up, which is quick and does
// about as well as any on these pictures; the first has none.
void FilterRows(const Picture& picture, int32_t first, int32_t count, uint8_t* out) {
    const size_t rowBytes = size_t{3} * static_cast<uint32_t>(picture.Width());
    for (int32_t y = first; y < first + count; ++y) {
        const uint8_t* row = picture.Row(y);
        if (y == 0) {
            *out++ = 0;
            std::memcpy(out, row, rowBytes);
        } else {
            *out++ = 2;
            const uint8_t* above = picture.Row(y - 1);
            for (size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<uint8_t>(row[i] - above[i]);
        }
        out += rowBytes;
    }
}

// The zlib stream header for the compression level (RFC 1950).
void PutZlibHeader(ByteBuffer& out) {
    const unsigned levelFlag = kCompressionLevel == 1 ? 0 : kCompressionLevel < 6 ? 1 : kCompressionLevel == 6 ? 2 : 3;
    const unsigned method = 0x78;  // deflate, 32 KB window
    unsigned flags = levelFlag << 6;
    flags += 31 - (method * 256 + flags) % 31;
    uint8_t* p = out.Extend(2);
    p[0] = static_cast<uint8_t>(method);
    p[1] = static_cast<uint8_t>(flags);
}

// Walks the chunks up to IEND, handing each type and body to `visit` until
// it returns false. Returns why the file is damaged when a chunk claims more
// bytes than the file holds: libpng would allocate what it claims first.
std::string WalkChunks(const uint8_t* data, size_t size,
                       const std::function<bool(std::string_view type, std::string_view body)>& visit) {
    size_t pos = 8;
    while (size - pos >= 12) {
        const uint32_t length = uint32_t{data[pos]} << 24 | uint32_t{data[pos + 1]} << 16 |
                                uint32_t{data[pos + 2]} << 8 | data[pos + 3];
        if (length > size - pos - 12) return "damaged PNG file: a chunk runs past the end of the file";
        const std::string_view type(reinterpret_cast<const char*>(data + pos + 4), 4);
        if (type == "IEND") return "";
        if (!visit(type, std::string_view(reinterpret_cast<const char*>(data + pos + 8), length))) return "";
        pos += 12 + size_t{length};
    }
    if (pos < size) return "damaged PNG file: it ends inside a chunk";
    return "";
}

}  // namespace

bool UsableScreenGamma(double gamma) { return std::isfinite(gamma) && gamma >= 0.1 && gamma <= 10.0; }

std::string DecodePng(const uint8_t* data, size_t size, const ImageFileOptions& options, Picture& picture,
                      ImageInfo& info) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return "not a PNG file (no PNG signature)";
    if (std::string error = WalkChunks(data, size, [](std::string_view, std::string_view) { return true; });
        !error.empty())
        return error;
    PngState state;
    state.data = data;
    state.size = size;
    state.correctGamma = options.GammaCorrectionOnRead && UsableScreenGamma(options.ScreenGamma);
    state.screenGamma = options.ScreenGamma;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png) return "out of memory";
    png_infop pngInfo = png_create_info_struct(png);
    bool ok = false;
    if (pngInfo) {
        try {
            ok = RunRead(png, pngInfo, &state);
        } catch (const std::bad_alloc&) {
            std::snprintf(state.message, sizeof state.message, "out of memory");
        }
    } else {
        std::snprintf(state.message, sizeof state.message, "out of memory");
    }
    png_destroy_read_struct(&png, pngInfo ? &pngInfo : nullptr, nullptr);
    if (!ok) return state.message;
    picture = std::move(state.picture);
    info = std::move(state.info);
    return "";
}

std::string ReadPngComment(const uint8_t* data, size_t size, std::string& comment) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return "not a PNG file (no PNG signature)";
    // A tEXt or uncompressed iTXt chunk with the keyword "Comment" holds it.
    std::string found;
    const std::string error = WalkChunks(data, size, [&found](std::string_view type, std::string_view body) {
        const size_t keyEnd = body.find('\0');
        if ((type != "tEXt" && type != "iTXt") || keyEnd == std::string_view::npos ||
            body.substr(0, keyEnd) != kCommentKeyword)
            return true;
        std::string_view text = body.substr(keyEnd + 1);
        if (type == "iTXt") {
            // Compression flag and method, then the language and the
            // translated keyword, each ended by a zero byte.
            if (text.size() < 2 || text[0] != 0) return true;
            text.remove_prefix(2);
            for (int field = 0; field < 2; ++field) {
                const size_t end = text.find('\0');
                text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            }
        }
        found.assign(text);
        return false;
    });
    if (!error.empty()) return error;
    comment = std::move(found);
    return "";
}

std::string EncodePng(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                      const std::string& comment) {
    PngState state;
    state.out = &out;
    const double fileGamma = options.WriteGamma && UsableScreenGamma(options.ScreenGamma) ? 1.0 / options.ScreenGamma : 0.0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png) return "out of memory";
    png_infop pngInfo = png_create_info_struct(png);
    std::string error;
    if (!pngInfo) {
        error = "out of memory";
    } else if (!StartFile(png, pngInfo, &state, picture, fileGamma, comment)) {
        error = state.message;
    } else {
        // Pieces of rows are filtered and compressed apart, each with its
        // own Adler-32 checksum, which are then combined for the stream's end.
        const size_t rowBytes = size_t{3} * static_cast<uint32_t>(picture.Width()) + 1;
        const int32_t rows = RowsPerPiece(rowBytes, kPieceBytes);
        const int32_t height = picture.Height();
        const size_t pieces = (static_cast<size_t>(height) + rows - 1) / rows;
        std::vector<uLong> checksums(pieces);
        IdatSink idat(png, state);
        error = EncodeInOrder(pieces, [&](size_t piece, ByteBuffer& buffer) {
            const int32_t first = static_cast<int32_t>(piece) * rows;
            const int32_t count = std::min(rows, height - first);
            const size_t size = rowBytes * static_cast<size_t>(count);
            std::unique_ptr<uint8_t[]> filtered(new uint8_t[size]);
            FilterRows(picture, first, count, filtered.get());
            checksums[piece] = adler32(adler32(0, nullptr, 0), filtered.get(), static_cast<uInt>(size));
            if (piece == 0) PutZlibHeader(buffer);
            Deflater().Compress(filtered.get(), size, piece + 1 == pieces, buffer);
        }, idat);
        if (error.empty()) {
            uLong checksum = checksums[0];
            for (size_t piece = 1; piece < pieces; ++piece) {
                const int32_t count = std::min(rows, height - static_cast<int32_t>(piece) * rows);
                checksum = adler32_combine(checksum, checksums[piece], static_cast<z_off_t>(rowBytes * count));
            }
            const uint8_t end[4] = {static_cast<uint8_t>(checksum >> 24), static_cast<uint8_t>(checksum >> 16),
                                    static_cast<uint8_t>(checksum >> 8), static_cast<uint8_t>(checksum)};
            if (!WriteChunk(png, "IDAT", end, sizeof end) || !WriteChunk(png, "IEND", nullptr, 0)) {
                error = state.message;
            }
        }
        if (error == kSinkRefused || (error.empty() && state.refused)) error = kSinkRefused;
    }
    png_destroy_write_struct(&png, pngInfo ? &pngInfo : nullptr);
    return error;
}

}  // namespace imaging
