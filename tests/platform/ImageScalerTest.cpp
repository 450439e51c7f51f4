#include "Platform/image/ImageScaler.h"

#include <gtest/gtest.h>
#include <vector>

namespace orvaneh {
namespace {

// A one-row (or one-column) image whose red samples are `values`.
RgbImage line(const std::vector<int>& values, bool vertical = false) {
    const int n = static_cast<int>(values.size());
    RgbImage image(vertical ? 1 : n, vertical ? n : 1);
    for (int i = 0; i < n; ++i) {
        image.pixel(vertical ? 0 : i, vertical ? i : 0)[0] =
            static_cast<std::uint8_t>(values[static_cast<std::size_t>(i)]);
    }
    return image;
}

std::vector<int> reds(const RgbImage& image) {
    std::vector<int> values;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            values.push_back(image.pixel(x, y)[0]);
        }
    }
    return values;
}

TEST(ImageScalerTest, ShrinkingAveragesWhatEachPixelCoversAndGrowingInterpolates) {
    struct Case {
        const char* what;
        std::vector<int> source;
        int length;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"moitié", {0, 100, 200, 40}, 2, {50, 120}}, {"deux tiers", {0, 90, 180}, 2, {30, 150}},
        {"un seul", {0, 100, 200, 255}, 1, {139}},   {"double", {0, 200}, 4, {0, 50, 150, 200}},
        {"identique", {3, 7, 250}, 3, {3, 7, 250}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(reds(ImageScaler::resize(line(c.source), c.length, 1)), c.expected);
        // The same along the other axis.
        EXPECT_EQ(reds(ImageScaler::resize(line(c.source, true), 1, c.length)), c.expected);
    }
}

TEST(ImageScalerTest, AFlatImageStaysFlatWhateverTheSizes) {
    RgbImage flat(37, 23);
    for (int y = 0; y < flat.height(); ++y) {
        for (int x = 0; x < flat.width(); ++x) {
            auto* pixel = flat.pixel(x, y);
            pixel[0] = 12;
            pixel[1] = 200;
            pixel[2] = 255;
        }
    }
    for (const auto& [width, height] :
         std::vector<std::pair<int, int>>{{1200, 800}, {5, 3}, {100, 2}, {1, 1}}) {
        const auto scaled = ImageScaler::resize(flat, width, height);
        ASSERT_EQ(scaled.width(), width);
        ASSERT_EQ(scaled.height(), height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto* pixel = scaled.pixel(x, y);
                ASSERT_EQ(pixel[0] * 65536 + pixel[1] * 256 + pixel[2], 12 * 65536 + 200 * 256 + 255)
                    << width << "×" << height << " en " << x << "," << y;
            }
        }
    }
    EXPECT_TRUE(ImageScaler::resize(RgbImage(), 10, 10).empty());
    EXPECT_TRUE(ImageScaler::resize(flat, 0, 10).empty());
}

} // namespace
} // namespace orvaneh
