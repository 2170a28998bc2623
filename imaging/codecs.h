// The per-format readers and writers behind image_file.cpp.
//
// Every decoder reads from memory, treats the bytes as hostile and returns ""
// on success or a short description of what is wrong (the caller adds the
// file name). A decoder writes `picture` and `info` only on success.
// Every encoder puts the complete file into a sink, in order, and returns ""
// or why it could not.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "image_file.h"
#include "image_options.h"
#include "picture.h"

namespace imaging {

// Where an encoder puts the file it makes: in order, in pieces of any size.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // The whole file's size, or a bound on it, when the encoder knows it.
    virtual void Expect(size_t /*bytes*/) {}
    // False when the bytes cannot be taken; the encoder then stops and
    // returns kSinkRefused (the sink knows why). Never throws.
    [[nodiscard]] virtual bool Put(const uint8_t* data, size_t size) = 0;
};

inline const std::string kSinkRefused = "the file could not be written";

// Collects the file in a vector.
class VectorSink : public ByteSink {
public:
    explicit VectorSink(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Expect(size_t bytes) override;
    [[nodiscard]] bool Put(const uint8_t* data, size_t size) override;

private:
    std::vector<uint8_t>& bytes_;
};

// Writes what it is given to a file descriptor, the small pieces (headers,
// chunk frames) gathered into larger writes.
class FileSink : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) { pending_.reserve(kGather); }
    [[nodiscard]] bool Put(const uint8_t* data, size_t size) override;
    // Writes what is gathered; false when the file refuses it.
    [[nodiscard]] bool Flush();
    // Why the file refused the bytes, or "".
    const std::string& Error() const { return error_; }

private:
    static constexpr size_t kGather = size_t{64} << 10;
    bool Write(const uint8_t* data, size_t size);
    int fd_;
    std::vector<uint8_t> pending_;
    std::string error_;
};

// The formats a file name's extension names for saving.
enum class SaveFormat { None, Bmp, Jpeg, Pbm, Pgm, Ppm, Png, Tga, Tiff };
SaveFormat SaveFormatOf(const std::string& name);
// Encodes `picture` in `format` with `options`; "" or why not (kSinkRefused
// when the sink refused the bytes).
[[nodiscard]] std::string EncodeAs(const Picture& picture, SaveFormat format, const ImageFileOptions& options,
                                   ByteSink& out, const std::string& comment);
// "NAME: unknown image file extension ..." and the like.
std::string UnknownExtension(const std::string& path);

// A byte buffer that grows without clearing what it adds.
class ByteBuffer {
public:
    // Adds `count` bytes of unspecified value at the end and returns the first.
    uint8_t* Extend(size_t count);
    // Keeps the first `size` bytes.
    void Truncate(size_t size) { size_ = std::min(size, size_); }
    void Clear() { size_ = 0; }
    uint8_t* Data() { return data_.get(); }
    const uint8_t* Data() const { return data_.get(); }
    size_t Size() const { return size_; }

private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Makes pieces 0 to count - 1 of a file with make(index, buffer), each into
// an empty buffer, spread over the encoder threads, and puts them into
// `sink` in order as they are done. `make` may throw std::bad_alloc.
// Returns "", "out of memory" or kSinkRefused.
[[nodiscard]] std::string EncodeInOrder(size_t count, const std::function<void(size_t, ByteBuffer&)>& make,
                                        ByteSink& sink);

// Rows a piece of a row-by-row encoder holds: about `bytes` worth of rows of
// `rowBytes` each, one at least. The pieces, and so the file, never depend
// on the thread count.
inline int32_t RowsPerPiece(size_t rowBytes, size_t bytes = size_t{1} << 20) {
    return static_cast<int32_t>(std::clamp<size_t>(bytes / std::max<size_t>(rowBytes, 1), 1, Picture::kMaxSide));
}

[[nodiscard]] std::string DecodeBmp(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodeTga(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodePcx(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodePnm(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodePng(const uint8_t* data, size_t size, const ImageFileOptions& options,
                                    Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodeJpeg(const uint8_t* data, size_t size, const ImageFileOptions& options,
                                     Picture& picture, ImageInfo& info);
[[nodiscard]] std::string DecodeTiff(const uint8_t* data, size_t size, Picture& picture, ImageInfo& info);

enum class PnmKind { Bitmap, Greymap, Pixmap };

[[nodiscard]] std::string EncodeBmp(const Picture& picture, ByteSink& out);
[[nodiscard]] std::string EncodeTga(const Picture& picture, ByteSink& out);
[[nodiscard]] std::string EncodePnm(const Picture& picture, PnmKind kind, bool binary, ByteSink& out);
// The three formats that keep a text comment write `comment` (when it is not
// empty): PNG as a tEXt chunk "Comment" before the picture data, JPEG as a
// COM marker, TIFF as the ImageDescription tag.
[[nodiscard]] std::string EncodePng(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                                    const std::string& comment = {});

// Encodes a picture from its rows as they come, top to bottom, in bands of
// any height; the file is the same whatever the bands. Rows are packed R, G,
// B bytes, 3 * width a row, one band's rows after each other.
class RowEncoder {
public:
    virtual ~RowEncoder() = default;
    // Takes the next `count` rows; no more than the picture has left.
    [[nodiscard]] virtual std::string Rows(const uint8_t* rgb, int32_t count) = 0;
    // Ends the file once every row has come.
    [[nodiscard]] virtual std::string Finish() = 0;
};

// The PNG writer: the header chunks (with the comment) go to `out` at once,
// the picture data as its pieces are compressed. "" in `error` or why not.
std::unique_ptr<RowEncoder> MakePngEncoder(ByteSink& out, int32_t width, int32_t height,
                                           const ImageFileOptions& options, const std::string& comment,
                                           std::string& error);

// Where a TIFF writer writes: libtiff goes back to fill in the header, so
// the target is a vector or a file open for reading and writing.
struct TiffTarget {
    std::vector<uint8_t>* bytes = nullptr;
    int fd = -1;
};
// How a TIFF file is laid out: grey pictures are written as a grey scale
// (decided before the first row), and BigTIFF's 64-bit offsets are used
// where the file could pass `bigTiffAbove` bytes.
struct TiffLayout {
    bool grey = false;
    uint64_t bigTiffAbove = 0xFFFFFFFFu;
};
std::unique_ptr<RowEncoder> MakeTiffEncoder(TiffTarget target, int32_t width, int32_t height,
                                            const ImageFileOptions& options, const std::string& comment,
                                            const TiffLayout& layout, std::string& error);
// Reads back every row of a TIFF file this writer made in colour (RGB or
// CMYK) and hands them to `to` as RGB; for making a grey file of one whose
// rows proved all grey. "" or why not.
[[nodiscard]] std::string CopyTiffRows(int fd, int32_t width, int32_t height, RowEncoder& to);
// Decodes a picture's rows as they are asked for, top to bottom, into packed
// R, G, B bytes.
class RowDecoder {
public:
    virtual ~RowDecoder() = default;
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // The next `count` rows; no more than are left.
    [[nodiscard]] virtual std::string Rows(uint8_t* rgb, int32_t count) = 0;

protected:
    int32_t width_ = 0;
    int32_t height_ = 0;
};
// Readers of the rows of a PNG file (none, with `interlaced` set, for an
// interlaced one) and of a TIFF file of `size` bytes open at `fd` (the
// descriptor stays the caller's); sides up to Picture::kMaxSide, any number
// of pixels. None, with `error` set, for a file they refuse.
std::unique_ptr<RowDecoder> OpenPngRows(int fd, const ImageFileOptions& options, bool& interlaced,
                                        std::string& error);
std::unique_ptr<RowDecoder> OpenTiffRows(int fd, uint64_t size, std::string& error);

// Whether every pixel of the rows is grey (red = green = blue).
bool RowsAreGrey(const uint8_t* rgb, size_t pixels);
[[nodiscard]] std::string EncodeJpeg(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                                     const std::string& comment = {});
[[nodiscard]] std::string EncodeTiff(const Picture& picture, const ImageFileOptions& options, ByteSink& out,
                                     const std::string& comment = {});

// The bytes of a file in memory or on disk, read where they are needed:
// the comment readers read no more of a file than leads to its comment.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads up to `count` bytes at `offset` and returns how many it read:
    // fewer at the end, or after a read error (Error() then says which).
    virtual size_t Read(uint64_t offset, void* buffer, size_t count) = 0;
    // Reads exactly `count` bytes at `offset`, or returns false.
    bool ReadExactly(uint64_t offset, void* buffer, size_t count) { return Read(offset, buffer, count) == count; }
    const std::string& Error() const { return error_; }

protected:
    std::string error_;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, void* buffer, size_t count) override;

private:
    const uint8_t* data_;
    size_t size_;
};

// A file open for reading (the descriptor stays the caller's).
class FileSource : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, void* buffer, size_t count) override;

private:
    int fd_;
    uint64_t size_;
};

// Their comment readers, which read no picture data: "" and the comment
// ("" when there is none), or why the file cannot be read. PNG: the first
// text chunk (tEXt, zTXt or iTXt, compressed or not) whose keyword is
// "Comment" in any case; JPEG: the first COM marker before the picture data;
// TIFF: the first directory's ImageDescription.
[[nodiscard]] std::string ReadPngComment(ByteSource& source, std::string& comment);
[[nodiscard]] std::string ReadJpegComment(ByteSource& source, std::string& comment);
[[nodiscard]] std::string ReadTiffComment(ByteSource& source, std::string& comment);
// The longest comment read; a longer one is taken for none of ours.
constexpr size_t kMaxCommentBytes = size_t{1} << 20;

// Grey level of a colour for the bilevel and grey writers: the Rec. 601
// luma, rounded, in 0..255.
inline uint8_t GreyOf(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<uint8_t>((299u * red + 587u * green + 114u * blue + 500u) / 1000u);
}

// A screen gamma outside 0.1 to 10 (or not a number) is taken as a mistake:
// the PNG writer then writes no gAMA chunk and the reader corrects nothing.
bool UsableScreenGamma(double gamma);

// "W by H" for messages.
std::string SizeText(int64_t width, int64_t height);

// Whether a reader may make a picture of this size (SizeAllowed and within
// LoadPixelLimit()).
bool SizeReadable(int64_t width, int64_t height);

// The most working memory a reader lets libjpeg or libtiff take at once.
size_t LibraryMemoryLimit();

// The common refusal of a size the picture cannot hold, or "" when it can.
std::string CheckSize(int64_t width, int64_t height);

}  // namespace imaging
