#include "Platform/image/RgbImage.h"

#include <algorithm>
#include <cstring>

namespace orvaneh {

RgbImage::RgbImage(int width, int height, std::uint8_t fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      samples_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3, fill) {
    if (width_ == 0 || height_ == 0) {
        width_ = height_ = 0;
        samples_.clear();
    }
}

void RgbImage::paste(const RgbImage& image, int x, int y) {
    const int left = std::max(x, 0);
    const int right = std::min(x + image.width(), width_);
    const int top = std::max(y, 0);
    const int bottom = std::min(y + image.height(), height_);
    if (left >= right || top >= bottom) {
        return;
    }
    const auto bytes = static_cast<std::size_t>(right - left) * 3;
    for (int row = top; row < bottom; ++row) {
        std::memcpy(pixel(left, row), image.pixel(left - x, row - y), bytes);
    }
}

} // namespace orvaneh
