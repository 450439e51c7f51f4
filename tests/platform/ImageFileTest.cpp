#include "Platform/image/ImageFile.h"

#include "support/TestImages.h"
#include "support/TestProfile.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::Rgb;

std::string png(const void* pixels, int width, int height, png_uint_32 format) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    png_image_write_get_memory_size(image, size, 0, pixels, 0, nullptr);
    std::string bytes(size, '\0');
    EXPECT_NE(png_image_write_to_memory(&image, bytes.data(), &size, 0, pixels, 0, nullptr), 0);
    bytes.resize(size);
    return bytes;
}

// A CMYK JPEG as print software writes it (Adobe marker, inks stored inverted).
std::string cmykJpeg(const std::vector<JSAMPLE>& samples, int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPLE*>(&samples[info.next_scanline * static_cast<std::size_t>(width) * 4]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

std::uint32_t crc32(const std::string& bytes, std::size_t from, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < from + length; ++i) {
        crc ^= static_cast<unsigned char>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

void putBigEndian(std::string& bytes, std::size_t at, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * (count - 1 - i)));
    }
}

// The JPEG with the size its frame header declares replaced.
std::string withJpegSize(std::string bytes, std::uint32_t width, std::uint32_t height) {
    const auto frame = bytes.find("\xFF\xC0");
    EXPECT_NE(frame, std::string::npos);
    putBigEndian(bytes, frame + 5, height, 2);
    putBigEndian(bytes, frame + 7, width, 2);
    return bytes;
}

// The PNG with the size its header declares replaced, its checksum made right again.
std::string withPngSize(std::string bytes, std::uint32_t width, std::uint32_t height) {
    putBigEndian(bytes, 16, width, 4);
    putBigEndian(bytes, 20, height, 4);
    putBigEndian(bytes, 29, crc32(bytes, 12, 17), 4);
    return bytes;
}

const RgbImage kQuarters = test::quarters(32, 16, test::kRed, test::kGreen, test::kBlue, test::kWhite);

void expectQuarters(const ImageFile::Decoded& decoded, int width, int height,
                    const std::array<Rgb, 4>& colours) {
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    ASSERT_EQ(decoded.image.width(), width);
    ASSERT_EQ(decoded.image.height(), height);
    const auto found = test::quarterColours(decoded.image);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(test::near(found[i], colours[i]))
            << "quart " << i << " : " << found[i][0] << "," << found[i][1] << "," << found[i][2];
    }
}

TEST(ImageFileTest, DecodesJpegAndPngOfEveryLayoutIntoRgb) {
    const std::array<Rgb, 4> quarters{test::kRed, test::kGreen, test::kBlue, test::kWhite};
    expectQuarters(ImageFile::decode(test::jpeg(kQuarters)), 32, 16, quarters);
    expectQuarters(ImageFile::decode(png(kQuarters.data(), 32, 16, PNG_FORMAT_RGB)), 32, 16, quarters);

    // Transparent pixels are laid on white; opaque ones keep their colour.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool left = x < 16;
            rgba.insert(rgba.end(), {0, 0, 255, static_cast<std::uint8_t>(left ? 0 : 255)});
        }
    }
    expectQuarters(ImageFile::decode(png(rgba.data(), 32, 16, PNG_FORMAT_RGBA)), 32, 16,
                   {test::kWhite, test::kBlue, test::kWhite, test::kBlue});

    // Greyscale, 8 and 16 bits.
    std::vector<std::uint8_t> grey(32 * 16, 0);
    std::vector<std::uint16_t> deepGrey(32 * 16, 65535);
    for (std::size_t i = 0; i < grey.size(); ++i) {
        grey[i] = (i % 32) < 16 ? 0 : 255;
    }
    expectQuarters(ImageFile::decode(png(grey.data(), 32, 16, PNG_FORMAT_GRAY)), 32, 16,
                   {test::kBlack, test::kWhite, test::kBlack, test::kWhite});
    expectQuarters(ImageFile::decode(png(deepGrey.data(), 32, 16, PNG_FORMAT_LINEAR_Y)), 32, 16,
                   {test::kWhite, test::kWhite, test::kWhite, test::kWhite});

    // CMYK, inks stored inverted: red on the left, black on the right.
    std::vector<JSAMPLE> cmyk;
    for (int i = 0; i < 32 * 16; ++i) {
        const bool left = (i % 32) < 16;
        cmyk.insert(cmyk.end(), {255, 0, 0, static_cast<JSAMPLE>(left ? 255 : 0)});
    }
    expectQuarters(ImageFile::decode(cmykJpeg(cmyk, 32, 16)), 32, 16,
                   {test::kRed, test::kBlack, test::kRed, test::kBlack});

    const auto size = ImageFile::decodeSize(test::jpeg(kQuarters));
    EXPECT_TRUE(size.ok());
    EXPECT_EQ(size.width, 32);
    EXPECT_EQ(size.height, 16);
}

TEST(ImageFileTest, RefusesWhatIsNotAWholeImageOfASaneSizeWithItsReason) {
    const std::string goodJpeg = test::jpeg(kQuarters);
    const std::string goodPng = png(kQuarters.data(), 32, 16, PNG_FORMAT_RGB);
    std::string badChecksum = goodPng;
    badChecksum[badChecksum.find("IDAT") + 6] ^= 0x55;
    struct Case {
        const char* what;
        std::string bytes;
        std::string reason;
    };
    const Case cases[] = {
        {"vide", "", "ce n'est pas une image JPEG ni PNG"},
        {"texte", "Bonjour", "ce n'est pas une image JPEG ni PNG"},
        {"JPEG à moitié", goodJpeg.substr(0, goodJpeg.size() / 2), "le fichier JPEG est tronqué"},
        {"JPEG sans image", goodJpeg.substr(0, 40), "le fichier JPEG est tronqué"},
        {"JPEG immense", withJpegSize(goodJpeg, 65000, 65000),
         "l'image est trop grande (65000 × 65000 pixels ; au plus 20000 pixels de côté et 100 millions de "
         "pixels)"},
        {"JPEG de trop de pixels", withJpegSize(goodJpeg, 15000, 15000),
         "l'image est trop grande (15000 × 15000"},
        {"JPEG trop large", withJpegSize(goodJpeg, 20001, 2), "l'image est trop grande (20001 × 2"},
        {"JPEG sans largeur", withJpegSize(goodJpeg, 0, 16), "le fichier JPEG est endommagé ("},
        {"JPEG en désordre", std::string("\xFF\xD8\xFF\x00\x13\x37garbage", 13), "le fichier JPEG est"},
        {"PNG à moitié", goodPng.substr(0, goodPng.size() / 2), "le fichier PNG est tronqué"},
        {"PNG immense", withPngSize(goodPng, 30000, 10), "l'image est trop grande (30000 × 10"},
        {"PNG de trop de pixels", withPngSize(goodPng, 12000, 12000),
         "l'image est trop grande (12000 × 12000"},
        {"PNG altéré", badChecksum, "le fichier PNG est endommagé ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto decoded = ImageFile::decode(c.bytes);
        EXPECT_FALSE(decoded.ok());
        EXPECT_EQ(decoded.error.find(c.reason), 0u) << decoded.error;
        EXPECT_TRUE(decoded.image.empty());
    }
    // The header alone tells the size is refused.
    EXPECT_EQ(
        ImageFile::decodeSize(withJpegSize(goodJpeg, 65000, 65000)).error.find("l'image est trop grande"),
        0u);
    EXPECT_EQ(ImageFile::decodeSize(withPngSize(goodPng, 30000, 10)).error.find("l'image est trop grande"),
              0u);
}

TEST(ImageFileTest, ReadsRegularFilesOnly) {
    test::TemporaryDirectory directory;
    const auto photo = directory.path() / "photo.jpg";
    std::ofstream(photo, std::ios::binary) << test::jpeg(kQuarters);
    EXPECT_TRUE(ImageFile::read(photo).ok());
    EXPECT_EQ(ImageFile::readSize(photo).width, 32);

    const auto tube = directory.path() / "tube";
    ASSERT_EQ(::mkfifo(tube.c_str(), 0600), 0);
    struct Case {
        fs::path path;
        std::string reason;
    };
    const Case cases[] = {
        {tube, "« " + tube.string() + " » n'est pas un fichier ordinaire"},
        {directory.path(), "« " + directory.path().string() + " » n'est pas un fichier ordinaire"},
        {directory.path() / "absente.jpg",
         "impossible de lire « " + (directory.path() / "absente.jpg").string()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        EXPECT_EQ(ImageFile::read(c.path).error.find(c.reason), 0u) << ImageFile::read(c.path).error;
        EXPECT_EQ(ImageFile::readSize(c.path).error.find(c.reason), 0u);
    }
}

} // namespace
} // namespace orvaneh
