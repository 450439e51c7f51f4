#include "Platform/image/ExifOrientation.h"
#include "Platform/image/ImageFile.h"
#include "support/TestImages.h"

#include <gtest/gtest.h>
#include <random>

namespace orvaneh {
namespace {

using test::Rgb;

// A camera held sideways stores the scene as its sensor saw it; the picture must come out as
// the photographer saw it. Stored: red, green / blue, white.
TEST(ImageExifTest, EveryOrientationComesOutUpright) {
    const RgbImage stored = test::quarters(32, 16, test::kRed, test::kGreen, test::kBlue, test::kWhite);
    const auto& [r, g, b, w] = std::array<Rgb, 4>{test::kRed, test::kGreen, test::kBlue, test::kWhite};
    struct Case {
        int orientation;
        bool turned; // a quarter turn: 16 × 32
        std::array<Rgb, 4> shown;
    };
    const Case cases[] = {
        {1, false, {r, g, b, w}}, {2, false, {g, r, w, b}}, {3, false, {w, b, g, r}},
        {4, false, {b, w, r, g}}, {5, true, {r, b, g, w}},  {6, true, {b, r, w, g}},
        {7, true, {w, g, b, r}},  {8, true, {g, w, r, b}},
    };
    for (const bool bigEndian : {true, false}) {
        for (const auto& c : cases) {
            SCOPED_TRACE("orientation " + std::to_string(c.orientation) + (bigEndian ? " MM" : " II"));
            const std::string file =
                test::withSegment(test::jpeg(stored), test::exifSegment(c.orientation, bigEndian));
            EXPECT_EQ(ExifOrientation::find(file), c.orientation);
            const auto decoded = ImageFile::decode(file);
            ASSERT_TRUE(decoded.ok()) << decoded.error;
            EXPECT_EQ(decoded.image.width(), c.turned ? 16 : 32);
            EXPECT_EQ(decoded.image.height(), c.turned ? 32 : 16);
            const auto found = test::quarterColours(decoded.image);
            for (std::size_t i = 0; i < 4; ++i) {
                EXPECT_TRUE(test::near(found[i], c.shown[i])) << "quart " << i;
            }
        }
    }
}

// Exif data comes from anywhere: whatever is wrong with it gives no orientation, never a read
// outside the stream.
TEST(ImageExifTest, HostileSegmentsGiveNoOrientation) {
    const std::string jpeg = test::jpeg(RgbImage(8, 8, 128));
    const std::string good = test::exifSegment(6);
    // Offsets into the segment: 4 marker and length, 6 "Exif\0\0", then the TIFF structure.
    auto patched = [&](std::size_t at, const std::string& bytes) {
        std::string segment = good;
        segment.replace(at, bytes.size(), bytes);
        return test::withSegment(jpeg, segment);
    };
    struct Case {
        const char* what;
        std::string file;
    };
    const Case cases[] = {
        {"pas de segment", jpeg},
        {"longueur au-delà du fichier", patched(2, "\xFF\xF0")},
        {"longueur trop courte", patched(2, std::string("\x00\x01", 2))},
        {"ordre des octets inconnu", patched(10, "XX")},
        {"nombre magique faux", patched(12, std::string("\x00\x2B", 2))},
        {"répertoire hors du segment", patched(14, "\xFF\xFF\xFF\xF0")},
        {"répertoire au bord du segment", patched(14, std::string("\x00\x00\x00\x19", 4))},
        {"entrées annoncées absentes", patched(18, std::string("\xFF\xFF\x01\x00", 4))},
        {"type LONG", patched(22, std::string("\x00\x04", 2))},
        {"aucune valeur", patched(24, std::string("\x00\x00\x00\x00", 4))},
        {"valeur 9", patched(28, std::string("\x00\x09", 2))},
        {"valeur 0", patched(28, std::string("\x00\x00", 2))},
        {"segment après l'image", jpeg.substr(0, jpeg.size() - 2) + good + "\xFF\xD9"},
        {"autre segment APP1", patched(4, "XMP\0\0\0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExifOrientation::find(c.file), std::nullopt);
    }

    // Every cut of the stream, and random damage to the segment: an orientation from 1 to 8 or none.
    const std::string file = test::withSegment(jpeg, good);
    for (std::size_t length = 0; length < 2 + good.size() + 8; ++length) {
        const auto found = ExifOrientation::find(std::string_view(file).substr(0, length));
        EXPECT_TRUE(!found || *found == 6) << length;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = file;
        for (int i = 0; i < 3; ++i) {
            damaged[2 + random() % good.size()] = static_cast<char>(random());
        }
        const auto found = ExifOrientation::find(damaged);
        EXPECT_TRUE(!found || (*found >= 1 && *found <= 8));
    }
}

} // namespace
} // namespace orvaneh
