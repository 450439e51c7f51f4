#include "Platform/image/ExifOrientation.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace orvaneh {

namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShortType = 3;

// Bounds-checked reads from the TIFF structure inside the segment.
class TiffReader {
public:
    explicit TiffReader(std::string_view bytes) : bytes_(bytes) {}

    bool readByteOrder() {
        if (bytes_.size() < 8) {
            return false;
        }
        if (bytes_.substr(0, 2) == "II") {
            little_ = true;
        } else if (bytes_.substr(0, 2) != "MM") {
            return false;
        }
        return u16(2) == std::optional<std::uint16_t>(42);
    }
    std::optional<std::uint16_t> u16(std::size_t offset) const {
        if (offset > bytes_.size() || bytes_.size() - offset < 2) {
            return std::nullopt;
        }
        const auto a = byte(offset);
        const auto b = byte(offset + 1);
        return static_cast<std::uint16_t>(little_ ? a | (b << 8) : (a << 8) | b);
    }
    std::optional<std::uint32_t> u32(std::size_t offset) const {
        auto high = u16(offset + (little_ ? 2 : 0));
        auto low = u16(offset + (little_ ? 0 : 2));
        if (offset > bytes_.size() || !high || !low) {
            return std::nullopt;
        }
        return (static_cast<std::uint32_t>(*high) << 16) | *low;
    }

private:
    unsigned byte(std::size_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }

    std::string_view bytes_;
    bool little_ = false;
};

std::optional<int> fromTiff(std::string_view tiff) {
    TiffReader reader(tiff);
    if (!reader.readByteOrder()) {
        return std::nullopt;
    }
    const auto directory = reader.u32(4);
    const auto count = directory ? reader.u16(*directory) : std::nullopt;
    if (!count) {
        return std::nullopt;
    }
    // At most 65535 entries of 12 bytes from an offset below 4 GiB: no overflow in size_t.
    for (std::size_t entry = 0; entry < *count; ++entry) {
        const std::size_t at = std::size_t{*directory} + 2 + entry * 12;
        const auto tag = reader.u16(at);
        if (!tag) {
            return std::nullopt;
        }
        if (*tag != kOrientationTag) {
            continue;
        }
        const auto type = reader.u16(at + 2);
        const auto values = reader.u32(at + 4);
        const auto value = reader.u16(at + 8);
        if (type != std::optional<std::uint16_t>(kShortType) || !values || *values < 1 || !value ||
            *value < 1 || *value > 8) {
            return std::nullopt;
        }
        return *value;
    }
    return std::nullopt;
}

} // namespace

std::optional<int> ExifOrientation::find(std::string_view jpeg) {
    auto byte = [&](std::size_t offset) { return static_cast<unsigned char>(jpeg[offset]); };
    if (jpeg.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) {
        return std::nullopt;
    }
    std::size_t at = 2;
    while (at + 2 <= jpeg.size()) {
        if (byte(at) != 0xFF) {
            return std::nullopt;
        }
        const unsigned marker = byte(at + 1);
        if (marker == 0xFF) { // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { // markers without a length
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) { // image data or end: no Exif after that
            return std::nullopt;
        }
        if (at + 4 > jpeg.size()) {
            return std::nullopt;
        }
        const std::size_t length = (std::size_t{byte(at + 2)} << 8) | byte(at + 3);
        if (length < 2 || jpeg.size() - (at + 2) < length) {
            return std::nullopt;
        }
        const std::string_view segment = jpeg.substr(at + 4, length - 2);
        if (marker == 0xE1 && segment.size() >= 6 &&
            segment.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
            return fromTiff(segment.substr(6));
        }
        at += 2 + length;
    }
    return std::nullopt;
}

RgbImage ExifOrientation::upright(const RgbImage& image, int orientation) {
    if (orientation < 2 || orientation > 8 || image.empty()) {
        return image;
    }
    const int w = image.width();
    const int h = image.height();
    const bool turned = orientation >= 5; // a quarter turn swaps width and height
    RgbImage result(turned ? h : w, turned ? w : h);
    for (int y = 0; y < result.height(); ++y) {
        for (int x = 0; x < result.width(); ++x) {
            // Where the pixel shown at (x, y) is stored.
            int sx = x;
            int sy = y;
            switch (orientation) {
            case 2:
                sx = w - 1 - x;
                break;
            case 3:
                sx = w - 1 - x;
                sy = h - 1 - y;
                break;
            case 4:
                sy = h - 1 - y;
                break;
            case 5:
                sx = y;
                sy = x;
                break;
            case 6:
                sx = y;
                sy = h - 1 - x;
                break;
            case 7:
                sx = w - 1 - y;
                sy = h - 1 - x;
                break;
            case 8:
                sx = w - 1 - y;
                sy = x;
                break;
            default:
                break;
            }
            std::memcpy(result.pixel(x, y), image.pixel(sx, sy), 3);
        }
    }
    return result;
}

} // namespace orvaneh
