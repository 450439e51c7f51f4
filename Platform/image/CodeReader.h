#pragma once

#include "Platform/image/RgbImage.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// Finds the bar codes and 2-D codes in a picture with zbar: a JPEG or PNG file, or a frame
// already in memory (a camera's, the clipboard's), possibly only inside a rectangle. Reads
// Code 39 (a mod 43 check character stays in the text), Code 93, Code 128, EAN-8, EAN-13 (a UPC-A
// code reads as EAN-13 with a leading 0), UPC-E, Interleaved 2 of 5 (ITF-14 when it is one),
// PDF417 as far as zbar decodes it, and QR. zbar has no Aztec and no Data Matrix decoder.
// Every refusal carries a French reason; nothing is decoded beyond ImageFile's size limits.
class CodeReader {
public:
    enum class PixelFormat { Grey, Rgb };

    // Pixels of a picture, not owned; rows of `stride` bytes (0: packed).
    struct Frame {
        const std::uint8_t* data = nullptr;
        std::size_t size = 0; // bytes at `data`
        int width = 0;
        int height = 0;
        PixelFormat format = PixelFormat::Rgb;
        std::size_t stride = 0;

        static Frame of(const RgbImage& image);
    };

    // A rectangle of the picture, in pixels.
    struct Region {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };

    struct Point {
        double x = 0;
        double y = 0;
        bool operator==(const Point&) const = default;
    };

    struct Symbol {
        std::string type; // "QR", "EAN-13", "Code 128", ...
        std::string text; // UTF-8; "" for a code without data
        // The code's outline in the picture's pixels: the four corners of a 2-D code as zbar
        // gives them, the bounding box of the lines that read a bar code.
        std::vector<Point> corners;
    };

    struct Result {
        std::vector<Symbol> symbols;
        std::string error; // empty when the picture could be read (with or without codes)
        bool ok() const { return error.empty(); }
    };

    static Result readFile(const std::filesystem::path& path, std::optional<Region> region = std::nullopt);
    static Result readImage(const RgbImage& image, std::optional<Region> region = std::nullopt);
    static Result readFrame(const Frame& frame, std::optional<Region> region = std::nullopt);

    // The names of the code types read, as Symbol::type gives them.
    static std::vector<std::string> symbologies();
};

} // namespace orvaneh
