#pragma once

#include "Platform/image/ImageFile.h"
#include "Platform/image/RgbImage.h"
#include "support/ProcessRunner.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace orvaneh::test {

// Pictures of codes made by the real encoders (qrencode, zint) for the code reader's tests.
class CodeImages {
public:
    explicit CodeImages(std::filesystem::path directory) : directory_(std::move(directory)) {}

    // A QR code of `text` (module of `scale` pixels, quiet zone of 4 modules) as a PNG file.
    std::filesystem::path qrFile(const std::string& text, int scale = 4) {
        return make({"/usr/bin/qrencode", "-s", std::to_string(scale), "-o", next(), text});
    }
    // A zint code ("CODE128", "EANX", "QRCODE", ...) as a PNG file; `extra` options follow.
    std::filesystem::path zintFile(const std::string& type, const std::string& data,
                                   const std::vector<std::string>& extra = {}) {
        std::vector<std::string> command{"/usr/bin/zint", "-b", type, "-w", "10", "--vwhitesp", "4", "-o",
                                         next(),          "-d", data};
        command.insert(command.end(), extra.begin(), extra.end());
        return make(command);
    }

    static RgbImage read(const std::filesystem::path& path) {
        auto decoded = ImageFile::read(path);
        EXPECT_TRUE(decoded.ok()) << decoded.error;
        return decoded.image;
    }

    // Grey noise over a diagonal gradient, like a photographed desk.
    static RgbImage busyBackground(int width, int height) {
        RgbImage image(width, height);
        std::uint32_t state = 12345;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                const int noise = static_cast<int>(state >> 27) - 16;
                const int level = 90 + 100 * (x + y) / (width + height) + noise;
                auto* pixel = image.pixel(x, y);
                pixel[0] = static_cast<std::uint8_t>(level);
                pixel[1] = static_cast<std::uint8_t>(level + 10);
                pixel[2] = static_cast<std::uint8_t>(level - 20);
            }
        }
        return image;
    }

    // `image` turned by `degrees` about its centre onto a white canvas of the same size.
    static RgbImage rotated(const RgbImage& image, double degrees) {
        RgbImage out(image.width(), image.height(), 255);
        const double angle = degrees * M_PI / 180;
        const double c = std::cos(angle), s = std::sin(angle);
        const double cx = image.width() / 2.0, cy = image.height() / 2.0;
        for (int y = 0; y < out.height(); ++y) {
            for (int x = 0; x < out.width(); ++x) {
                const int sx = static_cast<int>(std::lround(c * (x - cx) + s * (y - cy) + cx));
                const int sy = static_cast<int>(std::lround(-s * (x - cx) + c * (y - cy) + cy));
                if (sx >= 0 && sy >= 0 && sx < image.width() && sy < image.height()) {
                    const auto* from = image.pixel(sx, sy);
                    std::copy(from, from + 3, out.pixel(x, y));
                }
            }
        }
        return out;
    }

private:
    std::filesystem::path directory_;
    int count_ = 0;
    std::string last_;

    std::string next() {
        last_ = (directory_ / ("code-" + std::to_string(++count_) + ".png")).string();
        return last_;
    }
    std::filesystem::path make(const std::vector<std::string>& command) {
        const auto result = ProcessRunner::run(command);
        EXPECT_EQ(result.status, 0) << command.front() << ": " << result.err;
        return last_;
    }
};

} // namespace orvaneh::test
