// Reading picture files a band of rows at a time, so that a picture larger
// than memory is read holding a few bands.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "picture.h"

namespace imaging {

// Reads a picture file a band of rows at a time, top to bottom. PNG files
// that are not interlaced are decoded row by row and TIFF files strip by
// strip (or tile row by tile row), holding no more than the rows asked for
// and what libpng or libtiff need for one strip; any size up to kMaxSide
// each way. Interlaced PNG and the other formats are loaded whole, within
// the limits LoadImageFile keeps, and handed out in bands. The rows are
// those LoadImageFile gives, with the options of Options().
class BandReader {
public:
    static constexpr int32_t kMaxSide = Picture::kMaxSide;

    BandReader();
    ~BandReader();
    BandReader(const BandReader&) = delete;
    BandReader& operator=(const BandReader&) = delete;

    // "" or one line naming the file and what is wrong.
    [[nodiscard]] std::string Open(const std::string& path);
    bool IsOpen() const;
    int32_t Width() const;
    int32_t Height() const;
    int32_t RowsRead() const;
    // The comment the file keeps (PNG, JPEG, TIFF), "" when none.
    const std::string& Comment() const;

    // Reads the next `rows` rows, at most those left, into `rgb` (3 * width
    // bytes a row). A file found damaged here is closed.
    [[nodiscard]] std::string ReadRows(uint8_t* rgb, int32_t rows);
    // The same into a picture of the full width and the rows read (fewer
    // than `rows` at the end; `band` is left as it was on failure).
    [[nodiscard]] std::string ReadBand(int32_t rows, Picture& band);
    void Close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace imaging
