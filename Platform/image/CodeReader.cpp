#include "Platform/image/CodeReader.h"

#include "Platform/image/ImageFile.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <zbar.h>

namespace orvaneh {

namespace {

// zbar.h declares its C interface in namespace zbar when compiled as C++.
using namespace zbar;

const char* kUnreadable = "L'image n'a pas pu être lue : ";

struct Symbology {
    zbar_symbol_type_t type;
    const char* name;
};

// UPC-A and ISBN stay off: their codes come out as EAN-13, which is what they are.
constexpr Symbology kSymbologies[] = {
    {ZBAR_QRCODE, "QR"},      {ZBAR_EAN13, "EAN-13"},           {ZBAR_EAN8, "EAN-8"},
    {ZBAR_UPCE, "UPC-E"},     {ZBAR_CODE128, "Code 128"},       {ZBAR_CODE39, "Code 39"},
    {ZBAR_CODE93, "Code 93"}, {ZBAR_I25, "Interleaved 2 of 5"}, {ZBAR_PDF417, "PDF417"},
};
constexpr const char* kItf14 = "ITF-14";

// An ITF-14 is an Interleaved 2 of 5 of 14 digits whose last is the GS1 check digit.
bool isItf14(const std::string& text) {
    if (text.size() != 14 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    int sum = 0;
    for (std::size_t i = 0; i < 13; ++i) {
        sum += (text[i] - '0') * (i % 2 == 0 ? 3 : 1);
    }
    return (10 - sum % 10) % 10 == text[13] - '0';
}

bool isUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Over-long forms, surrogates and values beyond Unicode.
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// Codes carry bytes: UTF-8 for most 2-D codes printed today, ISO 8859-1 by the older standards
// (a QR code without an ECI, a Code 128's extended characters). zbar's own guess between the
// two is turned off, because it reads some accented UTF-8 as Shift JIS.
std::string toUtf8(const std::string& bytes) {
    if (isUtf8(bytes)) {
        return bytes;
    }
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string typeName(zbar_symbol_type_t type, const std::string& text) {
    if (type == ZBAR_I25 && isItf14(text)) {
        return kItf14;
    }
    for (const auto& each : kSymbologies) {
        if (each.type == type) {
            return each.name;
        }
    }
    return zbar_get_symbol_name(type);
}

std::vector<CodeReader::Point> outline(const zbar_symbol_t* symbol, int dx, int dy) {
    const unsigned count = zbar_symbol_get_loc_size(symbol);
    std::vector<CodeReader::Point> points;
    if (count == 0) {
        return points;
    }
    if (count == 4 && zbar_symbol_get_type(symbol) == ZBAR_QRCODE) {
        for (unsigned i = 0; i < count; ++i) {
            points.push_back({static_cast<double>(zbar_symbol_get_loc_x(symbol, i) + dx),
                              static_cast<double>(zbar_symbol_get_loc_y(symbol, i) + dy)});
        }
        return points;
    }
    // A bar code's location is the ends of every scan line that read it.
    int left = std::numeric_limits<int>::max(), top = left;
    int right = std::numeric_limits<int>::min(), bottom = right;
    for (unsigned i = 0; i < count; ++i) {
        const int x = zbar_symbol_get_loc_x(symbol, i);
        const int y = zbar_symbol_get_loc_y(symbol, i);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    const double l = left + dx, r = right + dx, t = top + dy, b = bottom + dy;
    return {{l, t}, {r, t}, {r, b}, {l, b}};
}

struct ScannerDeleter {
    void operator()(zbar_image_scanner_t* scanner) const { zbar_image_scanner_destroy(scanner); }
};
struct ImageDeleter {
    void operator()(zbar_image_t* image) const { zbar_image_destroy(image); }
};

// zbar reads grey pixels; `grey` holds the region's, `origin` where it lies in the picture.
CodeReader::Result scan(const std::vector<std::uint8_t>& grey, int width, int height, int originX,
                        int originY) {
    CodeReader::Result result;
    std::unique_ptr<zbar_image_scanner_t, ScannerDeleter> scanner(zbar_image_scanner_create());
    std::unique_ptr<zbar_image_t, ImageDeleter> image(zbar_image_create());
    if (!scanner || !image) {
        result.error = std::string(kUnreadable) + "mémoire insuffisante pour le lecteur de codes";
        return result;
    }
    zbar_image_scanner_set_config(scanner.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
    for (const auto& each : kSymbologies) {
        zbar_image_scanner_set_config(scanner.get(), each.type, ZBAR_CFG_ENABLE, 1);
    }
    zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_BINARY, 1);
    zbar_image_scanner_set_config(scanner.get(), ZBAR_PDF417, ZBAR_CFG_BINARY, 1);

    zbar_image_set_format(image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar_image_set_size(image.get(), static_cast<unsigned>(width), static_cast<unsigned>(height));
    // The pixels stay ours: no clean-up handler.
    zbar_image_set_data(image.get(), grey.data(), grey.size(), nullptr);
    if (zbar_scan_image(scanner.get(), image.get()) < 0) {
        result.error = std::string(kUnreadable) + "le lecteur de codes a échoué";
        return result;
    }
    for (const zbar_symbol_t* symbol = zbar_image_first_symbol(image.get()); symbol != nullptr;
         symbol = zbar_symbol_next(symbol)) {
        const char* data = zbar_symbol_get_data(symbol);
        const std::string bytes =
            data ? std::string(data, zbar_symbol_get_data_length(symbol)) : std::string();
        CodeReader::Symbol found;
        found.text = toUtf8(bytes);
        found.type = typeName(zbar_symbol_get_type(symbol), found.text);
        found.corners = outline(symbol, originX, originY);
        result.symbols.push_back(std::move(found));
    }
    return result;
}

} // namespace

CodeReader::Frame CodeReader::Frame::of(const RgbImage& image) {
    return {image.data(),     image.rowBytes() * static_cast<std::size_t>(image.height()),
            image.width(),    image.height(),
            PixelFormat::Rgb, image.rowBytes()};
}

std::vector<std::string> CodeReader::symbologies() {
    std::vector<std::string> names;
    for (const auto& each : kSymbologies) {
        names.emplace_back(each.name);
    }
    names.emplace_back(kItf14);
    return names;
}

CodeReader::Result CodeReader::readFile(const std::filesystem::path& path, std::optional<Region> region) {
    const auto decoded = ImageFile::read(path);
    if (!decoded.ok()) {
        Result result;
        result.error = kUnreadable + decoded.error;
        return result;
    }
    return readImage(decoded.image, region);
}

CodeReader::Result CodeReader::readImage(const RgbImage& image, std::optional<Region> region) {
    return readFrame(Frame::of(image), region);
}

CodeReader::Result CodeReader::readFrame(const Frame& frame, std::optional<Region> region) {
    Result result;
    if (std::string problem = ImageFile::dimensionProblem(frame.width, frame.height); !problem.empty()) {
        result.error = kUnreadable + problem;
        return result;
    }
    const std::size_t pixelBytes = frame.format == PixelFormat::Rgb ? 3 : 1;
    const std::size_t packed = static_cast<std::size_t>(frame.width) * pixelBytes;
    const std::size_t stride = frame.stride == 0 ? packed : frame.stride;
    // The last row need not carry its padding. Divided rather than multiplied: a stride given
    // by mistake must not wrap around.
    const auto rowsBefore = static_cast<std::size_t>(frame.height - 1);
    if (frame.data == nullptr || stride < packed || frame.size < packed ||
        (rowsBefore > 0 && (frame.size - packed) / rowsBefore < stride)) {
        result.error = std::string(kUnreadable) + "les données de l'image sont incomplètes";
        return result;
    }

    Region area{0, 0, frame.width, frame.height};
    if (region) {
        const int left = std::max(0, region->x);
        const int top = std::max(0, region->y);
        // In 64 bits: a region may be given with any size.
        const auto right = std::min<std::int64_t>(frame.width, std::int64_t{region->x} + region->width);
        const auto bottom = std::min<std::int64_t>(frame.height, std::int64_t{region->y} + region->height);
        if (right <= left || bottom <= top) {
            return result; // nothing of the picture to look at
        }
        area = {left, top, static_cast<int>(right - left), static_cast<int>(bottom - top)};
    }

    std::vector<std::uint8_t> grey(static_cast<std::size_t>(area.width) *
                                   static_cast<std::size_t>(area.height));
    auto out = grey.begin();
    for (int y = area.y; y < area.y + area.height; ++y) {
        const std::uint8_t* row = frame.data + static_cast<std::size_t>(y) * stride;
        if (frame.format == PixelFormat::Grey) {
            out = std::copy(row + area.x, row + area.x + area.width, out);
            continue;
        }
        for (const std::uint8_t* p = row + static_cast<std::size_t>(area.x) * 3;
             p < row + static_cast<std::size_t>(area.x + area.width) * 3; p += 3) {
            // ITU-R BT.601 luma, in fixed point.
            *out++ = static_cast<std::uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
        }
    }
    return scan(grey, area.width, area.height, area.x, area.y);
}

} // namespace orvaneh
