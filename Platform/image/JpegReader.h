#pragma once

#include "Platform/image/ImageFile.h"

#include <string_view>

namespace orvaneh {

// Decoding JPEG streams with libjpeg: greyscale, colour and CMYK images come out as RGB. The
// size is checked against ImageFile's limits before the pixels are allocated.
class JpegReader {
public:
    static ImageFile::Decoded decode(std::string_view bytes);
    static ImageFile::Size decodeSize(std::string_view bytes);
};

} // namespace orvaneh
