#pragma once

#include "Platform/image/JpegWriter.h"
#include "Platform/image/RgbImage.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace orvaneh::test {

using Rgb = std::array<int, 3>;

inline const Rgb kRed{255, 0, 0};
inline const Rgb kGreen{0, 255, 0};
inline const Rgb kBlue{0, 0, 255};
inline const Rgb kWhite{255, 255, 255};
inline const Rgb kBlack{0, 0, 0};

inline Rgb colourAt(const RgbImage& image, int x, int y) {
    const auto* pixel = image.pixel(x, y);
    return {pixel[0], pixel[1], pixel[2]};
}

// Within what JPEG compression moves a flat colour.
inline bool near(const Rgb& actual, const Rgb& expected, int tolerance = 40) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::abs(actual[i] - expected[i]) > tolerance) {
            return false;
        }
    }
    return true;
}

inline void fill(RgbImage& image, int x0, int y0, int x1, int y1, const Rgb& colour) {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            auto* pixel = image.pixel(x, y);
            for (std::size_t i = 0; i < 3; ++i) {
                pixel[i] = static_cast<std::uint8_t>(colour[i]);
            }
        }
    }
}

// Four flat quarters: top left, top right, bottom left, bottom right.
inline RgbImage quarters(int width, int height, const Rgb& topLeft, const Rgb& topRight,
                         const Rgb& bottomLeft, const Rgb& bottomRight) {
    RgbImage image(width, height);
    fill(image, 0, 0, width / 2, height / 2, topLeft);
    fill(image, width / 2, 0, width, height / 2, topRight);
    fill(image, 0, height / 2, width / 2, height, bottomLeft);
    fill(image, width / 2, height / 2, width, height, bottomRight);
    return image;
}

// The colours at the centres of the four quarters, in the order quarters() takes them.
inline std::array<Rgb, 4> quarterColours(const RgbImage& image) {
    const int w = image.width();
    const int h = image.height();
    return {colourAt(image, w / 4, h / 4), colourAt(image, 3 * w / 4, h / 4),
            colourAt(image, w / 4, 3 * h / 4), colourAt(image, 3 * w / 4, 3 * h / 4)};
}

inline std::string jpeg(const RgbImage& image, int quality = 95) {
    return JpegWriter::encode(image, quality).value_or("");
}

// A camera's Exif segment holding only the orientation tag, in either byte order.
inline std::string exifSegment(int orientation, bool bigEndian = true) {
    auto u16 = [&](unsigned value) {
        const char high = static_cast<char>(value >> 8);
        const char low = static_cast<char>(value & 0xFF);
        return bigEndian ? std::string{high, low} : std::string{low, high};
    };
    auto u32 = [&](unsigned value) {
        return bigEndian ? u16(value >> 16) + u16(value & 0xFFFF) : u16(value & 0xFFFF) + u16(value >> 16);
    };
    std::string tiff = bigEndian ? "MM" : "II";
    tiff += u16(42) + u32(8); // header, first directory
    tiff += u16(1);           // one entry
    tiff += u16(0x0112) + u16(3) + u32(1) + u16(static_cast<unsigned>(orientation)) + u16(0); // SHORT
    tiff += u32(0); // no next directory
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const auto length = payload.size() + 2;
    return std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) +
           payload;
}

// The JPEG stream with `segment` right after its start marker, where cameras put it.
inline std::string withSegment(std::string jpegBytes, const std::string& segment) {
    return jpegBytes.insert(2, segment);
}

} // namespace orvaneh::test
