#pragma once

#include "Platform/image/RgbImage.h"

#include <optional>
#include <string>

namespace orvaneh {

// Encoding an RGB image as a baseline JPEG (4:2:0, optimised Huffman tables) with libjpeg.
class JpegWriter {
public:
    // The JPEG stream at `quality` (1 to 100, clamped); nothing, with a French reason in
    // `error`, when the image is empty or libjpeg fails.
    static std::optional<std::string> encode(const RgbImage& image, int quality,
                                             std::string* error = nullptr);
};

} // namespace orvaneh
