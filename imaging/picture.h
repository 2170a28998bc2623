// The true-colour picture that generation draws into, the view shows and the
// codecs read and write.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace imaging {

// A colour value packs red in bits 0-7, green in 8-15 and blue in 16-23.
constexpr uint32_t PackColour(uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t{red} | (uint32_t{green} << 8) | (uint32_t{blue} << 16);
}
constexpr uint8_t RedOf(uint32_t colour) { return colour & 0xFF; }
constexpr uint8_t GreenOf(uint32_t colour) { return (colour >> 8) & 0xFF; }
constexpr uint8_t BlueOf(uint32_t colour) { return (colour >> 16) & 0xFF; }

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const Rect&) const = default;
};

class Picture {
public:
    // Larger pictures are refused: every reader checks a file's claimed size
    // against this before it allocates anything.
    static constexpr int64_t kMaxPixels = 100'000'000;
    static constexpr int32_t kMaxSide = 65'535;

    static bool SizeAllowed(int64_t width, int64_t height) {
        return width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide &&
               width * height <= kMaxPixels;
    }

    Picture() = default;
    // A black picture; throws std::invalid_argument for a size that is not allowed.
    Picture(int32_t width, int32_t height);
    // A few rows of an image wider than any picture (one computed a band of
    // rows at a time): any width, at most kMaxPixels pixels.
    struct WideRows {};
    Picture(int32_t width, int32_t height, WideRows);

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // Writes outside the picture are ignored: generation may run over a
    // picture smaller than the image size (an opened file).
    void SetPixel(int32_t column, int32_t row, uint32_t colour) {
        if (column < 0 || row < 0 || column >= width_ || row >= height_) return;
        uint8_t* p = &rgb_[(static_cast<size_t>(row) * width_ + column) * 3];
        p[0] = RedOf(colour);
        p[1] = GreenOf(colour);
        p[2] = BlueOf(colour);
    }
    uint32_t Pixel(int32_t column, int32_t row) const;

    // Rows of packed R, G, B bytes, top row first, no padding.
    uint8_t* Row(int32_t row) { return &rgb_[static_cast<size_t>(row) * width_ * 3]; }
    const uint8_t* Row(int32_t row) const { return &rgb_[static_cast<size_t>(row) * width_ * 3]; }
    const std::vector<uint8_t>& Bytes() const { return rgb_; }
    std::vector<uint8_t>& Bytes() { return rgb_; }

    bool operator==(const Picture& other) const = default;

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::vector<uint8_t> rgb_;
};

// Nearest-neighbour stretch of `source` rectangle `from` onto `target`
// rectangle `to`. Source pixels outside the source picture read as black;
// destination pixels outside the target are skipped.
void StretchCopy(const Picture& source, Rect from, Picture& target, Rect to);

}  // namespace imaging
