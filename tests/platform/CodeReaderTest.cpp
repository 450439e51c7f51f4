// The code reader on pictures made by the real encoders: every code type, turned, scaled, on a
// busy background, several codes, a rectangle of interest, and pictures that cannot be read.
#include "Platform/image/CodeReader.h"

#include "support/CodeImages.h"
#include "support/TestImages.h"
#include "support/TestProfile.h"

#include <fstream>
#include <gtest/gtest.h>

namespace orvaneh {
namespace {

namespace fs = std::filesystem;
using test::CodeImages;

class CodeReaderTest : public ::testing::Test {
protected:
    test::TestProfile profile;
    CodeImages codes{profile.home()};

    static std::string describe(const CodeReader::Result& result) {
        std::string text = result.error;
        for (const auto& symbol : result.symbols) {
            text += " [" + symbol.type + "] " + symbol.text;
        }
        return text;
    }
    fs::path write(const std::string& name, const std::string& bytes) {
        const fs::path path = profile.home() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string bytesOf(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

TEST_F(CodeReaderTest, ReadsEveryCodeTypeZbarKnows) {
    struct Case {
        std::string encoder; // "qrencode", else zint's name of the code type
        std::string data;
        std::vector<std::string> options;
        std::string type;
        std::string text;
    };
    const std::string accented = "Dossier n° 2024-17 — Élodie Noël, Zürich";
    const std::vector<Case> cases{
        {"qrencode", accented, {}, "QR", accented},
        // Older encoders write ISO 8859-1 bytes.
        {"qrencode", "R\xE9\x66. 12", {}, "QR", "Réf. 12"},
        {"CODE128", "D-1204/ab", {}, "Code 128", "D-1204/ab"},
        {"CODE128", "D-1204", {"--rotate", "90"}, "Code 128", "D-1204"},
        {"CODE128", "D-1204", {"--rotate", "180"}, "Code 128", "D-1204"},
        {"CODE128", "D-1204", {"--rotate", "270"}, "Code 128", "D-1204"},
        {"CODE128", "GRAND", {"--scale", "5"}, "Code 128", "GRAND"},
        {"EANX", "400638133393", {}, "EAN-13", "4006381333931"},
        {"EANX", "9638507", {}, "EAN-8", "96385074"},
        {"UPCA", "03600029145", {}, "EAN-13", "0036000291452"},
        {"UPCE", "0123456", {}, "UPC-E", "01234565"},
        {"CODE39", "ABC-123", {}, "Code 39", "ABC-123"},
        // Mod 43: the check character is part of what the code carries.
        {"CODE39", "ABC-123", {"--vers", "1"}, "Code 39", "ABC-123W"},
        {"CODE93", "DOSSIER93", {}, "Code 93", "DOSSIER93"},
        {"C25INTER", "12345670", {}, "Interleaved 2 of 5", "12345670"},
        {"ITF14", "1234567890123", {"--box"}, "ITF-14", "12345678901231"},
    };
    for (const auto& each : cases) {
        const auto file = each.encoder == "qrencode" ? codes.qrFile(each.data)
                                                     : codes.zintFile(each.encoder, each.data, each.options);
        const std::string label = each.encoder + " " + each.data + " " + testing::PrintToString(each.options);
        const auto result = CodeReader::readFile(file);
        ASSERT_TRUE(result.ok()) << label << ": " << result.error;
        ASSERT_EQ(result.symbols.size(), 1u) << label << ":" << describe(result);
        EXPECT_EQ(result.symbols[0].type, each.type) << label;
        EXPECT_EQ(result.symbols[0].text, each.text) << label;
        EXPECT_EQ(result.symbols[0].corners.size(), 4u) << label;
    }
}

TEST_F(CodeReaderTest, CodesZbarCannotDecodeGiveNothingRatherThanAGuess) {
    // zbar has no Aztec nor Data Matrix decoder; its PDF417 decoder finds the code but does not
    // decode it.
    for (const auto& [type, data] : std::vector<std::pair<std::string, std::string>>{
             {"AZTEC", "AZ-42"}, {"DATAMATRIX", "DM-42"}, {"PDF417", "PDF-42"}}) {
        const auto result = CodeReader::readFile(codes.zintFile(type, data, {"--scale", "3"}));
        ASSERT_TRUE(result.ok()) << type << ": " << result.error;
        EXPECT_TRUE(result.symbols.empty()) << type << ":" << describe(result);
    }
}

TEST_F(CodeReaderTest, FindsCodesInRealisticPictures) {
    const RgbImage qr = CodeImages::read(codes.qrFile("Réf. 77-B", 5));
    const RgbImage bars = CodeImages::read(codes.zintFile("CODE128", "LOT-9", {"--scale", "2"}));

    // On a busy background, away from the corner.
    RgbImage desk = CodeImages::busyBackground(900, 700);
    desk.paste(qr, 480, 300);
    auto result = CodeReader::readImage(desk);
    ASSERT_EQ(result.symbols.size(), 1u) << describe(result);
    EXPECT_EQ(result.symbols[0].text, "Réf. 77-B");
    // The outline lies where the code was pasted, in the picture's pixels.
    for (const auto& corner : result.symbols[0].corners) {
        EXPECT_GE(corner.x, 480);
        EXPECT_LE(corner.x, 480 + qr.width());
        EXPECT_GE(corner.y, 300);
        EXPECT_LE(corner.y, 300 + qr.height());
    }

    // Held a little askew, and as a JPEG file.
    RgbImage canvas(600, 600, 255);
    canvas.paste(qr, (600 - qr.width()) / 2, (600 - qr.height()) / 2);
    result = CodeReader::readFile(write("penche.jpg", test::jpeg(CodeImages::rotated(canvas, 7), 85)));
    ASSERT_EQ(result.symbols.size(), 1u) << describe(result);
    EXPECT_EQ(result.symbols[0].text, "Réf. 77-B");

    // Two codes: both found, each with its own outline.
    desk.paste(bars, 40, 60);
    result = CodeReader::readImage(desk);
    ASSERT_EQ(result.symbols.size(), 2u) << describe(result);
    std::vector<std::string> texts{result.symbols[0].text, result.symbols[1].text};
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"LOT-9", "Réf. 77-B"}));

    // A rectangle of interest sees only what is inside it, with outlines still in picture pixels.
    result = CodeReader::readImage(desk, CodeReader::Region{450, 270, 300, 300});
    ASSERT_EQ(result.symbols.size(), 1u) << describe(result);
    EXPECT_EQ(result.symbols[0].text, "Réf. 77-B");
    EXPECT_GE(result.symbols[0].corners[0].x, 480);
    // A rectangle partly or wholly outside the picture is clipped, not a fault.
    EXPECT_EQ(CodeReader::readImage(desk, CodeReader::Region{450, 270, 100000, 100000}).symbols.size(), 1u);
    result = CodeReader::readImage(desk, CodeReader::Region{-50, -50, 20, 20});
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.symbols.empty());

    // No code at all.
    result = CodeReader::readImage(CodeImages::busyBackground(400, 300));
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.symbols.empty());
}

TEST_F(CodeReaderTest, FramesInMemoryGreyOrRgbWithRowPadding) {
    const RgbImage qr = CodeImages::read(codes.qrFile("TRAME-1"));
    // Grey, each row padded to a multiple of 64 bytes as cameras deliver them.
    const std::size_t stride = (static_cast<std::size_t>(qr.width()) + 63) / 64 * 64;
    std::vector<std::uint8_t> grey(stride * static_cast<std::size_t>(qr.height()), 0xAB);
    for (int y = 0; y < qr.height(); ++y) {
        for (int x = 0; x < qr.width(); ++x) {
            grey[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x)] = qr.pixel(x, y)[1];
        }
    }
    CodeReader::Frame frame{grey.data(), grey.size(), qr.width(), qr.height(), CodeReader::PixelFormat::Grey,
                            stride};
    auto result = CodeReader::readFrame(frame);
    ASSERT_EQ(result.symbols.size(), 1u) << describe(result);
    EXPECT_EQ(result.symbols[0].text, "TRAME-1");

    const std::size_t lastRowEnd =
        stride * static_cast<std::size_t>(qr.height() - 1) + static_cast<std::size_t>(qr.width());
    EXPECT_TRUE(CodeReader::readFrame(
                    {grey.data(), lastRowEnd, qr.width(), qr.height(), CodeReader::PixelFormat::Grey, stride})
                    .ok());
    // Frames that do not hold what they claim are refused, not read past their end.
    const std::vector<std::pair<std::string, CodeReader::Frame>> bad{
        // The last row needs no padding: one byte short of its pixels.
        {"trop court",
         {grey.data(), lastRowEnd - 1, qr.width(), qr.height(), CodeReader::PixelFormat::Grey, stride}},
        {"rangée trop étroite",
         {grey.data(), grey.size(), qr.width(), qr.height(), CodeReader::PixelFormat::Rgb, stride}},
        {"sans pixels", {grey.data(), grey.size(), 0, qr.height(), CodeReader::PixelFormat::Grey, 0}},
        // Rows far apart: stride × (height − 1) wraps to 0 in 64 bits.
        {"pas démesuré",
         {grey.data(), grey.size(), qr.width(), 3, CodeReader::PixelFormat::Grey, SIZE_MAX / 2 + 1}},
        {"sans données", {nullptr, 0, 10, 10, CodeReader::PixelFormat::Grey, 0}},
        {"gigantesque", {grey.data(), grey.size(), 200000, 200000, CodeReader::PixelFormat::Grey, 0}},
    };
    for (const auto& [label, each] : bad) {
        result = CodeReader::readFrame(each);
        EXPECT_FALSE(result.ok()) << label;
        EXPECT_EQ(result.error.rfind("L'image n'a pas pu être lue : ", 0), 0u)
            << label << ": " << result.error;
    }
}

TEST_F(CodeReaderTest, UnreadableFilesAreRefusedWithAReason) {
    const std::string png = bytesOf(codes.qrFile("COUPÉ"));
    const std::string jpeg = test::jpeg(CodeImages::read(codes.qrFile("COUPÉ")));
    std::string scrambled = png;
    for (std::size_t i = 60; i < scrambled.size(); i += 7) {
        scrambled[i] = static_cast<char>(scrambled[i] ^ 0x5A);
    }
    const std::vector<std::pair<std::string, std::string>> files{
        {"tronque.png", png.substr(0, png.size() / 2)},
        {"tronque.jpg", jpeg.substr(0, jpeg.size() / 3)},
        {"brouille.png", scrambled},
        {"texte.png", "ceci n'est pas une image"},
        {"vide.jpg", ""},
    };
    for (const auto& [name, bytes] : files) {
        const auto result = CodeReader::readFile(write(name, bytes));
        EXPECT_FALSE(result.ok()) << name << ":" << describe(result);
        EXPECT_EQ(result.error.rfind("L'image n'a pas pu être lue : ", 0), 0u)
            << name << ": " << result.error;
    }
    EXPECT_FALSE(CodeReader::readFile(profile.home() / "absent.png").ok());
}

} // namespace
} // namespace orvaneh
