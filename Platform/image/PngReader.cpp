#include "Platform/image/PngReader.h"

#include "Platform/log/Log.h"

#include <png.h>

namespace orvaneh {

namespace {

// libpng's simplified interface catches its own errors and says why in `message`.
std::string reason(const png_image& image) {
    std::string message = image.message;
    if (message.find("EOF") != std::string::npos || message.find("end of") != std::string::npos ||
        message.find("Read Error") != std::string::npos) {
        return "le fichier PNG est tronqué";
    }
    // The library speaks English: its words go to the log, the user gets a French reason.
    Log::write("Lecture PNG refusée par la bibliothèque : " + message);
    const char* what = "données invalides";
    if (message.find("CRC") != std::string::npos) {
        what = "somme de contrôle fausse";
    } else if (message.find("IHDR") != std::string::npos) {
        what = "en-tête invalide";
    } else if (message.find("signature") != std::string::npos) {
        what = "signature PNG absente";
    }
    return std::string("le fichier PNG est endommagé (") + what + ")";
}

// Reads the header into `image`; the size, or why it is refused (the image is then freed).
ImageFile::Size begin(png_image& image, std::string_view bytes) {
    ImageFile::Size size;
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()) == 0) {
        size.error = reason(image);
        png_image_free(&image);
        return size;
    }
    size.width = static_cast<int>(image.width);
    size.height = static_cast<int>(image.height);
    size.error = ImageFile::dimensionProblem(image.width, image.height);
    if (!size.ok()) {
        png_image_free(&image);
    }
    return size;
}

} // namespace

ImageFile::Decoded PngReader::decode(std::string_view bytes) {
    ImageFile::Decoded decoded;
    png_image image{};
    const auto size = begin(image, bytes);
    if (!size.ok()) {
        decoded.error = size.error;
        return decoded;
    }
    image.format = PNG_FORMAT_RGB;
    decoded.image = RgbImage(size.width, size.height);
    const png_color white{255, 255, 255};
    if (png_image_finish_read(&image, &white, decoded.image.data(), 0, nullptr) == 0) {
        decoded.error = reason(image);
        decoded.image = RgbImage();
    }
    png_image_free(&image);
    return decoded;
}

ImageFile::Size PngReader::decodeSize(std::string_view bytes) {
    png_image image{};
    auto size = begin(image, bytes);
    if (size.ok()) {
        png_image_free(&image);
    }
    return size;
}

} // namespace orvaneh
