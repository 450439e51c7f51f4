#pragma once

#include "Platform/image/RgbImage.h"

namespace orvaneh {

// Resampling to another size, each axis on its own: an axis that shrinks averages the source
// pixels each target pixel covers (in proportion to the part covered), an axis that grows
// interpolates linearly between the two nearest source pixels.
class ImageScaler {
public:
    // `image` at width × height (each at least 1); an empty image for an empty source.
    static RgbImage resize(const RgbImage& image, int width, int height);
};

} // namespace orvaneh
