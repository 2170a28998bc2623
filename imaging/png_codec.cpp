// PNG through libpng, with the compressed picture data made here on every
// core. libpng reports errors by calling our handler, which records the
// text and longjmps back into the small function that holds the setjmp;
// every C++ object those functions use lives in a state record owned by
// their caller, so no destructor is ever skipped.
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>

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
    int fileDepth = 0;
    int fileColourType = 0;
    uint64_t dataBytes = UINT64_MAX;  // in the IDAT chunks, when counted
    // Reading a file instead of memory, through a buffer of `data`'s size
    int fd = -1;
    std::vector<uint8_t> buffer;
    int fileError = 0;
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

// Refills the buffer from the file; false at its end or on a read error.
bool Refill(PngState* state) {
    for (;;) {
        const ssize_t got = read(state->fd, state->buffer.data(), state->buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) state->fileError = errno;
        if (got <= 0) return false;
        state->data = state->buffer.data();
        state->size = static_cast<size_t>(got);
        state->pos = 0;
        return true;
    }
}

void ReadBytes(png_structp png, png_bytep target, size_t count) {
    auto* state = static_cast<PngState*>(png_get_io_ptr(png));
    while (state->fd >= 0 && count > state->size - state->pos) {
        const size_t part = state->size - state->pos;
        if (part > 0) std::memcpy(target, state->data + state->pos, part);
        target += part;
        count -= part;
        state->pos = state->size;
        if (!Refill(state)) {
            if (state->fileError) Refuse(png, state, "cannot read the file");
            Refuse(png, state, "truncated: the file ends inside the PNG data");
        }
    }
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

// Reads the chunks up to the picture data and sets libpng to give 8-bit
// RGB rows, corrected for the screen's gamma when asked. Sides up to
// `maxSide`, and pictures readable whole when `whole`. Runs inside a
// function that holds the setjmp.
void StartReading(png_structp png, png_infop info, PngState* state, bool whole) {
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
    if (whole && !SizeReadable(width, height)) {
        char refusal[120];
        std::snprintf(refusal, sizeof refusal, "the picture size %lu by %lu is larger than this program accepts",
                      static_cast<unsigned long>(width), static_cast<unsigned long>(height));
        Refuse(png, state, refusal);
    }
    // Deflate makes at most 1032 bytes of one: a file whose picture data
    // cannot hold its rows is refused before memory is taken for them.
    const uint64_t stored = uint64_t{png_get_rowbytes(png, info)} * height;
    if (state->dataBytes < stored / 1032 + (stored % 1032 != 0)) {
        char refusal[160];
        std::snprintf(refusal, sizeof refusal, "damaged PNG file: %llu bytes of picture data cannot hold a %lu by %lu picture",
                      static_cast<unsigned long long>(state->dataBytes), static_cast<unsigned long>(width),
                      static_cast<unsigned long>(height));
        Refuse(png, state, refusal);
    }

    state->fileDepth = png_get_bit_depth(png, info);
    state->fileColourType = png_get_color_type(png, info);
    png_set_scale_16(png);
    png_set_palette_to_rgb(png);
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    double fileGamma = 0.0;
    if (state->correctGamma && png_get_gAMA(png, info, &fileGamma) && fileGamma > 0.0) {
        png_set_gamma(png, state->screenGamma, fileGamma);
    }
    if (whole) png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t{width} * 3) Refuse(png, state, "unexpected row layout after conversion");
}

// Returns false with state->message set when libpng or the checks refuse the file.
bool RunRead(png_structp png, png_infop info, PngState* state) {
    if (setjmp(png_jmpbuf(png))) return false;
    StartReading(png, info, state, true);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int depth = state->fileDepth;
    const int type = state->fileColourType;
    const int interlace = png_get_interlace_type(png, info);

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
bool StartFile(png_structp png, png_infop info, PngState* state, uint32_t width, uint32_t height, double fileGamma,
               const std::string& comment) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, state, WriteBytes, FlushBytes);
    // libpng's own limit on the sides (a million) is for reading files.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
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
// about as well as any on these pictures; the first has none. `above` is
// the row before, or null for the picture's first row.
void FilterRow(const uint8_t* row, const uint8_t* above, size_t rowBytes, uint8_t* out) {
    if (above == nullptr) {
        *out++ = 0;
        std::memcpy(out, row, rowBytes);
    } else {
        *out++ = 2;
        for (size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<uint8_t>(row[i] - above[i]);
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
    uint64_t dataBytes = 0;
    if (std::string error = WalkChunks(data, size, [&dataBytes](std::string_view type, std::string_view body) {
            if (type == "IDAT") dataBytes += body.size();
            return true;
        });
        !error.empty())
        return error;
    PngState state;
    state.dataBytes = dataBytes;
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

namespace {

bool IsCommentKeyword(std::string_view keyword) {
    static constexpr std::string_view kLower = "comment";
    if (keyword.size() != kLower.size()) return false;
    for (size_t i = 0; i < kLower.size(); ++i) {
        const char c = keyword[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kLower[i]) return false;
    }
    return true;
}

enum class Inflated { Whole, TooLong, Damaged };

// Inflates a zlib stream of a text chunk into `text`, at most
// kMaxCommentBytes of it.
Inflated Inflate(std::string_view compressed, std::string& text) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw std::bad_alloc();
    std::string out;
    char piece[16384];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    int result = Z_OK;
    Inflated outcome = Inflated::Whole;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(piece);
        stream.avail_out = sizeof piece;
        result = inflate(&stream, Z_NO_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) break;
        const size_t made = sizeof piece - stream.avail_out;
        if (out.size() + made > kMaxCommentBytes) {
            outcome = Inflated::TooLong;
            break;
        }
        out.append(piece, made);
        if (result == Z_OK && made == 0 && stream.avail_in == 0) result = Z_BUF_ERROR;  // the data stops early
    }
    inflateEnd(&stream);
    if (outcome == Inflated::Whole && result != Z_STREAM_END) outcome = Inflated::Damaged;
    if (outcome == Inflated::Whole) text.swap(out);
    return outcome;
}

// The text of a tEXt, zTXt or iTXt chunk whose keyword is "Comment":
// "" and `found` set, "" with `found` unset for another chunk, or why the
// chunk cannot be read.
std::string CommentOfChunk(std::string_view type, std::string_view body, std::string& text, bool& found) {
    found = false;
    const size_t keyEnd = body.find('\0');
    if (keyEnd == std::string_view::npos || !IsCommentKeyword(body.substr(0, keyEnd))) return "";
    std::string_view rest = body.substr(keyEnd + 1);
    bool compressed = type == "zTXt";
    if (type == "zTXt") {
        // The compression method, 0 for zlib, then the data.
        if (rest.empty() || rest[0] != 0) return "";
        rest.remove_prefix(1);
    } else if (type == "iTXt") {
        // The compression flag and method, then the language and the
        // translated keyword, each ended by a zero byte.
        if (rest.size() < 2 || (rest[0] != 0 && rest[0] != 1) || rest[1] != 0) return "";
        compressed = rest[0] == 1;
        rest.remove_prefix(2);
        for (int field = 0; field < 2; ++field) {
            const size_t end = rest.find('\0');
            if (end == std::string_view::npos) return "";
            rest.remove_prefix(end + 1);
        }
    }
    if (!compressed) {
        text.assign(rest);
        found = true;
        return "";
    }
    const Inflated outcome = Inflate(rest, text);
    found = outcome == Inflated::Whole;
    return outcome == Inflated::Damaged ? "damaged PNG file: its compressed comment cannot be read" : "";
}

}  // namespace

std::string ReadPngComment(ByteSource& source, std::string& comment) {
    uint8_t signature[8];
    if (!source.ReadExactly(0, signature, 8) || png_sig_cmp(signature, 0, 8) != 0) {
        if (!source.Error().empty()) return "cannot read: " + source.Error();
        return "not a PNG file (no PNG signature)";
    }
    // Chunk by chunk, reading the bodies of text chunks alone: the comment
    // comes before the picture data in the files of this program and of
    // the tools that keep it, and the data's chunks are only stepped over.
    const uint64_t size = source.Size();
    uint64_t pos = 8;
    std::string found;
    bool done = false;
    std::string body;
    while (!done && size - pos >= 12) {
        uint8_t head[8];
        if (!source.ReadExactly(pos, head, 8)) return "cannot read: " + source.Error();
        const uint32_t length = uint32_t{head[0]} << 24 | uint32_t{head[1]} << 16 | uint32_t{head[2]} << 8 | head[3];
        if (length > size - pos - 12) return "damaged PNG file: a chunk runs past the end of the file";
        const std::string_view type(reinterpret_cast<const char*>(head + 4), 4);
        if (type == "IEND") {
            done = true;
            break;
        }
        // A chunk longer than any comment kept is not one (zlib makes at
        // most 1032 bytes of one, so this bounds the compressed ones too).
        if ((type == "tEXt" || type == "zTXt" || type == "iTXt") && length <= kMaxCommentBytes + 100) {
            body.resize(length);
            if (!source.ReadExactly(pos + 8, body.data(), length)) return "cannot read: " + source.Error();
            bool isComment = false;
            if (std::string error = CommentOfChunk(type, body, found, isComment); !error.empty()) return error;
            done = isComment;
        }
        pos += 12 + uint64_t{length};
    }
    if (!done && pos < size) return "damaged PNG file: it ends inside a chunk";
    comment = std::move(found);
    return "";
}

namespace {

// The picture data is cut into pieces of whole rows, the same for a width
// whatever the bands: each piece is filtered and compressed apart, on the
// encoder threads, with its own Adler-32 checksum, and the checksums are
// combined for the stream's end. A piece that a band leaves unfinished is
// kept filtered until the next band completes it.
class PngEncoder : public RowEncoder {
public:
    PngEncoder(ByteSink& out, uint32_t width, uint32_t height)
        : width_(width), height_(height), rowBytes_(size_t{3} * width),
          rowsPerPiece_(RowsPerPiece(rowBytes_ + 1, kPieceBytes)),
          pieces_((int64_t{height} + rowsPerPiece_ - 1) / rowsPerPiece_) {
        state_.out = &out;
        previous_.resize(rowBytes_);
    }
    ~PngEncoder() override { png_destroy_write_struct(&png_, info_ ? &info_ : nullptr); }
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    std::string Start(const ImageFileOptions& options, const std::string& comment) {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state_, OnError, OnWarning);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) return "out of memory";
        const double fileGamma =
            options.WriteGamma && UsableScreenGamma(options.ScreenGamma) ? 1.0 / options.ScreenGamma : 0.0;
        if (!StartFile(png_, info_, &state_, width_, height_, fileGamma, comment)) return state_.message;
        return state_.refused ? kSinkRefused : "";
    }

    std::string Rows(const uint8_t* rgb, int32_t count) override {
        if (count < 0 || count > static_cast<int64_t>(height_) - next_) return "more rows than the picture has";
        if (!failure_.empty()) return failure_;
        if (count == 0) return "";
        try {
            failure_ = TakeRows(rgb, count);
        } catch (const std::bad_alloc&) {
            failure_ = "out of memory";
        }
        return failure_;
    }

    std::string Finish() override {
        if (!failure_.empty()) return failure_;
        if (next_ != static_cast<int64_t>(height_)) return "the picture's rows did not all come";
        const uint8_t end[4] = {static_cast<uint8_t>(checksum_ >> 24), static_cast<uint8_t>(checksum_ >> 16),
                                static_cast<uint8_t>(checksum_ >> 8), static_cast<uint8_t>(checksum_)};
        if (!WriteChunk(png_, "IDAT", end, sizeof end) || !WriteChunk(png_, "IEND", nullptr, 0)) {
            return failure_ = state_.refused ? kSinkRefused : state_.message;
        }
        return failure_ = state_.refused ? kSinkRefused : "";
    }

private:
    struct Piece {
        int64_t index;     // in the picture
        int32_t first;     // its first row in the band, or -1 for the kept piece
        int32_t count;     // rows
    };

    std::string TakeRows(const uint8_t* rgb, int32_t count) {
        std::vector<Piece> batch;
        int32_t pos = 0;
        if (keptRows_ > 0) {
            // The kept piece takes the band's first rows.
            const int32_t taken = std::min(count, PieceRows(piece_) - keptRows_);
            FilterInto(kept_, rgb, 0, taken);
            keptRows_ += taken;
            pos = taken;
            if (keptRows_ < PieceRows(piece_)) {
                EndBand(rgb, count);
                return "";
            }
            batch.push_back({piece_, -1, keptRows_});
        }
        // The whole pieces in the band, and the rows of one it leaves unfinished.
        int64_t index = piece_ + static_cast<int64_t>(batch.size());
        int32_t rest = 0;
        while (pos < count) {
            const int32_t rows = PieceRows(index);
            if (count - pos < rows) {
                rest = count - pos;
                break;
            }
            batch.push_back({index++, pos, rows});
            pos += rows;
        }
        const uint8_t* above = next_ > 0 ? previous_.data() : nullptr;
        std::vector<uLong> checksums(batch.size());
        std::string error = EncodeInOrder(batch.size(), [&](size_t i, ByteBuffer& buffer) {
            const Piece& piece = batch[i];
            std::unique_ptr<uint8_t[]> made;
            const uint8_t* filtered = kept_.Data();
            const size_t size = (rowBytes_ + 1) * static_cast<size_t>(piece.count);
            if (piece.first >= 0) {
                made.reset(new uint8_t[size]);
                uint8_t* out = made.get();
                for (int32_t r = piece.first; r < piece.first + piece.count; ++r, out += rowBytes_ + 1) {
                    const uint8_t* row = rgb + rowBytes_ * static_cast<size_t>(r);
                    FilterRow(row, r > 0 ? row - rowBytes_ : above, rowBytes_, out);
                }
                filtered = made.get();
            }
            checksums[i] = adler32(adler32(0, nullptr, 0), filtered, static_cast<uInt>(size));
            if (piece.index == 0) PutZlibHeader(buffer);
            Deflater().Compress(filtered, size, piece.index + 1 == pieces_, buffer);
        }, idat_);
        if (!error.empty()) return error == kSinkRefused && !state_.refused ? state_.message : error;
        if (state_.refused) return kSinkRefused;
        for (size_t i = 0; i < batch.size(); ++i) {
            const size_t size = (rowBytes_ + 1) * static_cast<size_t>(batch[i].count);
            checksum_ = batch[i].index == 0 ? checksums[i]
                                            : adler32_combine(checksum_, checksums[i], static_cast<z_off_t>(size));
        }
        piece_ = index;
        kept_.Clear();
        keptRows_ = 0;
        if (rest > 0) {
            // The band's last rows begin a piece that a later band ends.
            FilterInto(kept_, rgb, pos, rest);
            keptRows_ = rest;
        }
        EndBand(rgb, count);
        return "";
    }

    void EndBand(const uint8_t* rgb, int32_t count) {
        std::memcpy(previous_.data(), rgb + rowBytes_ * static_cast<size_t>(count - 1), rowBytes_);
        next_ += count;
    }

    // Filters rows first .. first + count - 1 of the band onto the end of `to`.
    void FilterInto(ByteBuffer& to, const uint8_t* rgb, int32_t first, int32_t count) {
        uint8_t* out = to.Extend((rowBytes_ + 1) * static_cast<size_t>(count));
        for (int32_t r = first; r < first + count; ++r, out += rowBytes_ + 1) {
            const uint8_t* row = rgb + rowBytes_ * static_cast<size_t>(r);
            const uint8_t* above = r > 0 ? row - rowBytes_ : next_ > 0 ? previous_.data() : nullptr;
            FilterRow(row, above, rowBytes_, out);
        }
    }

    int32_t PieceRows(int64_t index) const {
        return static_cast<int32_t>(std::min<int64_t>(rowsPerPiece_, int64_t{height_} - index * rowsPerPiece_));
    }

    // Puts each piece of the compressed data into an IDAT chunk of its own.
    class IdatSink : public ByteSink {
    public:
        explicit IdatSink(PngEncoder& encoder) : encoder_(encoder) {}
        bool Put(const uint8_t* data, size_t size) override {
            return WriteChunk(encoder_.png_, "IDAT", data, size) && !encoder_.state_.refused;
        }

    private:
        PngEncoder& encoder_;
    };

    PngState state_;
    std::string failure_;  // once a write fails, every later call says why
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
    uint32_t width_, height_;
    size_t rowBytes_;
    int32_t rowsPerPiece_;
    int64_t pieces_;
    int64_t next_ = 0;    // the next row to come
    int64_t piece_ = 0;   // the next piece to compress
    ByteBuffer kept_;     // the filtered rows of an unfinished piece
    int32_t keptRows_ = 0;
    std::vector<uint8_t> previous_;  // the last row of the band before
    uLong checksum_ = 0;
    IdatSink idat_{*this};
};

}  // namespace

std::unique_ptr<RowEncoder> MakePngEncoder(ByteSink& out, int32_t width, int32_t height,
                                           const ImageFileOptions& options, const std::string& comment,
                                           std::string& error) {
    if (width <= 0 || height <= 0) {
        error = "the picture size " + SizeText(width, height) + " is empty or negative";
        return nullptr;
    }
    try {
        auto encoder = std::make_unique<PngEncoder>(out, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
        error = encoder->Start(options, comment);
        if (!error.empty()) return nullptr;
        return encoder;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}

std::string EncodePng(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                      const std::string& comment) {
    if (picture.Empty()) return "there is no picture to save";
    std::string error;
    std::unique_ptr<RowEncoder> encoder =
        MakePngEncoder(out, picture.Width(), picture.Height(), options, comment, error);
    if (!encoder) return error;
    if (error = encoder->Rows(picture.Row(0), picture.Height()); !error.empty()) return error;
    return encoder->Finish();
}

namespace {

bool StartRows(png_structp png, png_infop info, PngState* state, bool& interlaced) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, state, ReadBytes);
    png_set_sig_bytes(png, 0);
    StartReading(png, info, state, false);
    interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    return true;
}

bool ReadRows(png_structp png, uint8_t* rgb, int32_t count, size_t rowBytes) {
    if (setjmp(png_jmpbuf(png))) return false;
    for (int32_t r = 0; r < count; ++r) png_read_row(png, rgb + rowBytes * static_cast<size_t>(r), nullptr);
    return true;
}

class PngRowDecoder : public RowDecoder {
public:
    ~PngRowDecoder() override { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }

    std::string Open(int fd, const ImageFileOptions& options, bool& interlaced) {
        state_.fd = fd;
        state_.buffer.resize(size_t{64} << 10);
        state_.correctGamma = options.GammaCorrectionOnRead && UsableScreenGamma(options.ScreenGamma);
        state_.screenGamma = options.ScreenGamma;
        if (!Refill(&state_) || state_.size < 8 || png_sig_cmp(state_.data, 0, 8) != 0) {
            return state_.fileError ? std::string("cannot read: ") + std::strerror(state_.fileError)
                                    : "not a PNG file (no PNG signature)";
        }
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state_, OnError, OnWarning);
        if (png_) info_ = png_create_info_struct(png_);
        if (!png_ || !info_) return "out of memory";
        if (!StartRows(png_, info_, &state_, interlaced)) return state_.message;
        width_ = static_cast<int32_t>(png_get_image_width(png_, info_));
        height_ = static_cast<int32_t>(png_get_image_height(png_, info_));
        return "";
    }

    std::string Rows(uint8_t* rgb, int32_t count) override {
        if (!ReadRows(png_, rgb, count, size_t{3} * static_cast<uint32_t>(width_))) return state_.message;
        return "";
    }

private:
    PngState state_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

}  // namespace

std::unique_ptr<RowDecoder> OpenPngRows(int fd, const ImageFileOptions& options, bool& interlaced,
                                        std::string& error) {
    interlaced = false;
    try {
        auto decoder = std::make_unique<PngRowDecoder>();
        error = decoder->Open(fd, options, interlaced);
        if (!error.empty() || interlaced) return nullptr;
        return decoder;
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return nullptr;
    }
}

}  // namespace imaging
