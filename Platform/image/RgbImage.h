#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvaneh {

// An image of 8-bit red, green and blue samples, rows top to bottom, no padding.
class RgbImage {
public:
    RgbImage() = default;
    // Every pixel set to the grey level `fill`. The caller bounds the size (ImageFile's limits).
    RgbImage(int width, int height, std::uint8_t fill = 0);

    int width() const { return width_; }
    int height() const { return height_; }
    bool empty() const { return width_ == 0 || height_ == 0; }
    std::size_t rowBytes() const { return static_cast<std::size_t>(width_) * 3; }

    std::uint8_t* data() { return samples_.data(); }
    const std::uint8_t* data() const { return samples_.data(); }
    std::uint8_t* pixel(int x, int y) { return samples_.data() + offset(x, y); }
    const std::uint8_t* pixel(int x, int y) const { return samples_.data() + offset(x, y); }

    // Copies `image` with its top left corner at (x, y); what falls outside is left out.
    void paste(const RgbImage& image, int x, int y);

    bool operator==(const RgbImage&) const = default;

private:
    std::size_t offset(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(x)) *
               3;
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> samples_;
};

} // namespace orvaneh
