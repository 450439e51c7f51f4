#pragma once

#include "Platform/image/ImageFile.h"

#include <string_view>

namespace orvaneh {

// Decoding PNG streams with libpng: every colour type and depth comes out as 8-bit RGB, what is
// transparent laid on white. The size is checked against ImageFile's limits before the pixels
// are allocated.
class PngReader {
public:
    static ImageFile::Decoded decode(std::string_view bytes);
    static ImageFile::Size decodeSize(std::string_view bytes);
};

} // namespace orvaneh
