#pragma once

#include "Platform/image/RgbImage.h"

#include <optional>
#include <string_view>

namespace orvaneh {

// The orientation a camera records in a JPEG's Exif data (tag 0x0112 of the first image
// directory): 1 upright, 3 upside down, 6 to be turned a quarter clockwise, 8 a quarter
// anticlockwise, 2, 4, 5 and 7 the same mirrored.
class ExifOrientation {
public:
    // The orientation from the first Exif APP1 segment before the image data; nothing when the
    // stream has none, or anything about it is out of bounds or unexpected (the stream is
    // untrusted: every offset is checked before it is read).
    static std::optional<int> find(std::string_view jpeg);
    // The image as it is meant to be seen; an orientation outside 2 to 8 changes nothing.
    static RgbImage upright(const RgbImage& image, int orientation);
};

} // namespace orvaneh
