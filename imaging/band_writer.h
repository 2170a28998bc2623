// Writing picture files a band of rows at a time, so that a picture larger
// than memory is saved holding a few bands (band_reader.h reads them so).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "image_options.h"
#include "picture.h"

namespace imaging {

// Writes a picture file from bands of whole rows, top to bottom, each band
// of any height. The format follows the extension, as SaveImageFile's.
//
// PNG and TIFF are written as the bands come, and the file is byte for byte
// the one SaveImageFile writes of the whole picture (which goes through
// this writer): the same options, the comment where SaveImageFile puts it
// (PNG: a tEXt chunk "Comment" before the picture data; TIFF: the
// ImageDescription tag).
// - TIFF: a picture of greys alone is written as a grey scale. When the
//   first band is the whole picture that is known at once; otherwise the
//   file is written in colour and, should every row prove grey, made again
//   as a grey scale at Finish from the temporary file, a row at a time.
// - TIFF becomes BigTIFF (64-bit offsets) where the file could pass 4 GiB:
//   where the rows as stored (uncompressed, or PackBits at its worst, a byte
//   in 128 more and two a row), 16 bytes a row for the strip tables, the
//   comment and 64 KiB for the tags come to more than 2^32 - 1 bytes. So
//   RGB pictures up to about 1.4 gigapixels stay plain TIFF.
// The other formats (BMP, JPEG, PBM, PGM, PPM, TGA) are written whole: the
// bands are gathered into a picture, which must be within Picture's limits
// (Open refuses a larger size), and saved at Finish.
//
// Files follow SaveImageFile's rules: symbolic links are followed, a
// read-only file is refused, an existing file keeps its owner and mode, and
// a file with other hard links is written in place at Finish. The bytes go
// to a temporary file in the target's folder, renamed into place at Finish:
// a write that fails, is abandoned, or whose writer is destroyed before
// Finish leaves no file under the final name (and an old file as it was).
// The temporary file has no name until Finish where the file system allows
// (O_TMPFILE: ext4, XFS, Btrfs, tmpfs), so a process killed while writing
// leaves nothing; elsewhere it leaves its hidden ".NAME.PID-N-A.tmp", never
// a part under the final name.
//
// Every call returns "" or one line naming the file and what went wrong;
// after a failure the writer is closed and its temporary file removed.
// Nothing throws.
class BandWriter {
public:
    // Each side of a picture written in bands; any number of pixels.
    static constexpr int32_t kMaxSide = Picture::kMaxSide;

    BandWriter();
    ~BandWriter();
    BandWriter(const BandWriter&) = delete;
    BandWriter& operator=(const BandWriter&) = delete;

    // Starts writing a `width` by `height` picture to `path`.
    [[nodiscard]] std::string Open(const std::string& path, int32_t width, int32_t height,
                                   const std::string& comment = {}, const ImageFileOptions& options = Options());
    // The next `rows` rows: packed R, G, B bytes, 3 * width a row, one row
    // after the other. No more rows than the picture has left.
    [[nodiscard]] std::string WriteRows(const uint8_t* rgb, int32_t rows);
    // The same from a picture of the full width.
    [[nodiscard]] std::string WriteBand(const Picture& band);
    // After the last row: ends the file and puts it under its name.
    [[nodiscard]] std::string Finish();
    // Gives the file up; the temporary file is removed.
    void Abandon();

    bool IsOpen() const;
    int32_t Width() const;
    int32_t Height() const;
    int32_t RowsWritten() const;

    // Whether the format of `path` is written as the bands come (PNG, TIFF)
    // rather than gathered whole.
    static bool Streams(const std::string& path);

    // TIFF: BigTIFF where the file could pass this many bytes (by default
    // 2^32 - 1); set before Open. Lets a small file be written as BigTIFF.
    void SetBigTiffAbove(uint64_t bytes);

private:
    struct State;
    std::unique_ptr<State> state_;
    uint64_t bigTiffAbove_ = 0xFFFFFFFFu;
};

}  // namespace imaging
