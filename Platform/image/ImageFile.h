#pragma once

#include "Platform/image/RgbImage.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvaneh {

// Reading a JPEG or PNG file (told apart by their first bytes) into an upright RGB image. Every
// refusal carries a French reason, and nothing is allocated for an image before its size has
// been checked against the limits below.
class ImageFile {
public:
    // Beyond what any camera makes; an RGB image of the largest size takes 300 MB.
    static constexpr int kMaxSide = 20000;
    static constexpr std::int64_t kMaxPixels = 100'000'000;
    static constexpr std::uintmax_t kMaxFileBytes = 256ull * 1024 * 1024;

    struct Decoded {
        RgbImage image;
        std::string error; // empty when decoded
        bool ok() const { return error.empty(); }
    };
    struct Size {
        int width = 0;
        int height = 0;
        std::string error; // empty when known
        bool ok() const { return error.empty(); }
    };

    // The whole image, turned upright as a JPEG's Exif orientation asks.
    static Decoded read(const std::filesystem::path& path);
    static Decoded decode(std::string_view bytes);
    // The size the header declares (before any Exif turn), without decoding the pixels.
    static Size readSize(const std::filesystem::path& path);
    static Size decodeSize(std::string_view bytes);

    // Why an image of that size is refused, in French; "" when it is accepted.
    static std::string dimensionProblem(std::int64_t width, std::int64_t height);

private:
    // The file's bytes, or the reason they cannot be read.
    static bool load(const std::filesystem::path& path, std::string& bytes, std::string& error);
};

} // namespace orvaneh
