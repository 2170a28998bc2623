#include "picture.h"

#include <string>

namespace imaging {

Picture::Picture(int32_t width, int32_t height) {
    if (!SizeAllowed(width, height)) {
        throw std::invalid_argument("picture size " + std::to_string(width) + " by " +
                                    std::to_string(height) + " is not allowed");
    }
    width_ = width;
    height_ = height;
    rgb_.assign(static_cast<size_t>(width) * height * 3, 0);
}

Picture::Picture(int32_t width, int32_t height, WideRows) {
    if (width < 0 || height < 0 || int64_t{width} * height > kMaxPixels) {
        throw std::invalid_argument("rows of " + std::to_string(width) + " by " + std::to_string(height) +
                                    " pixels are not allowed");
    }
    width_ = width;
    height_ = height;
    rgb_.assign(static_cast<size_t>(width) * height * 3, 0);
}

uint32_t Picture::Pixel(int32_t column, int32_t row) const {
    if (column < 0 || row < 0 || column >= width_ || row >= height_) return 0;
    const uint8_t* p = &rgb_[(static_cast<size_t>(row) * width_ + column) * 3];
    return PackColour(p[0], p[1], p[2]);
}

void StretchCopy(const Picture& source, Rect from, Picture& target, Rect to) {
    if (to.width <= 0 || to.height <= 0 || from.width <= 0 || from.height <= 0) return;
    for (int64_t y = 0; y < to.height; ++y) {
        const int64_t ty = to.top + y;
        if (ty < 0 || ty >= target.Height()) continue;
        const int64_t sy = from.top + (y * from.height) / to.height;
        for (int64_t x = 0; x < to.width; ++x) {
            const int64_t tx = to.left + x;
            if (tx < 0 || tx >= target.Width()) continue;
            const int64_t sx = from.left + (x * from.width) / to.width;
            const bool inside = sx >= 0 && sy >= 0 && sx < source.Width() && sy < source.Height();
            target.SetPixel(static_cast<int32_t>(tx), static_cast<int32_t>(ty),
                            inside ? source.Pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)) : 0);
        }
    }
}

}  // namespace imaging
