// Reading and writing picture files; the format follows the file name's
// extension, without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "picture.h"

namespace imaging {

// What the about box shows of the picture file last set up.
struct ImageInfo {
    std::string Type;      // e.g. "PNG"
    std::string SubType;   // e.g. "RGB, 8 bits per sample"
    std::string Options;   // e.g. "interlaced", "progressive", "RLE8"
    int32_t Width = 0;
    int32_t Height = 0;
    int64_t Colors = 0;
    int32_t BitsPerPixel = 0;
    int32_t GraphicCount = 0;
};

// Extensions the save dialog offers (bmp jpg jpeg jif pbm pgm png ppm tga tif tiff)
// and the ones the readers accept (those plus dib pcx rle).
bool CanSave(const std::string& path);
bool CanLoad(const std::string& path);

// Writes `picture` to `path` with the options of Options(), as
// ReplaceFileContents (file_access.h) writes files: through symbolic links,
// never over a read-only file, keeping owner and mode, and leaving an
// existing file whole when saving fails. Returns "" on success, else one
// line naming the file and what went wrong.
[[nodiscard]] std::string SaveImageFile(const Picture& picture, const std::string& path);
// The same with a text comment in the file, where the format keeps one (PNG,
// JPEG, TIFF; other programs show it as the picture's comment).
[[nodiscard]] std::string SaveImageFile(const Picture& picture, const std::string& path, const std::string& comment);

// The comment a PNG, JPEG or TIFF file keeps ("" when it has none, or for
// another format), read without the picture data: no more of the file is
// read than leads to the comment, whatever the file's size. PNG comments are
// found in tEXt, zTXt and iTXt chunks, compressed or not, before or after
// the picture data, with the keyword "Comment" in any case. Returns "" on
// success, else one line naming the file and what is wrong.
[[nodiscard]] std::string ReadImageComment(const std::string& path, std::string& comment);
[[nodiscard]] std::string ReadImageCommentMemory(const uint8_t* data, size_t size, const std::string& name,
                                                 std::string& comment);

// Reads `path` into `picture` (left untouched on failure) and describes it.
// Anything but a regular file is refused without waiting on it. Returns ""
// on success, else one line naming the file and what is wrong.
[[nodiscard]] std::string LoadImageFile(const std::string& path, Picture& picture, ImageInfo* info = nullptr);

// Readers refuse pictures of more pixels than this (at most, and by default,
// Picture::kMaxPixels), and scale the working memory they allow the
// libraries by it. The fuzzing targets lower it to keep each input cheap.
void SetLoadPixelLimit(int64_t pixels);
int64_t LoadPixelLimit();

// Threads the writers may spread their work over (PNG compression, the text
// of plain PBM, PGM and PPM): 0, the default, means one per hardware thread.
// The bytes written never depend on it.
void SetEncoderThreads(int threads);
int EncoderThreads();

// Files larger than this are refused before they are read.
constexpr int64_t kMaxFileBytes = int64_t{2} << 30;

// As LoadImageFile, from `size` bytes in memory; `name` gives the format by
// its extension and is the name the error names.
[[nodiscard]] std::string LoadImageMemory(const uint8_t* data, size_t size, const std::string& name, Picture& picture,
                            ImageInfo* info = nullptr);

// Encodes `picture` in the format of `name`'s extension with the options of
// Options(), into `bytes` (left untouched on failure); SaveImageFile without
// the file.
[[nodiscard]] std::string EncodeImage(const Picture& picture, const std::string& name, std::vector<uint8_t>& bytes);
[[nodiscard]] std::string EncodeImage(const Picture& picture, const std::string& name, std::vector<uint8_t>& bytes,
                                      const std::string& comment);

}  // namespace imaging
