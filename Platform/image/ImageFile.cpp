#include "Platform/image/ImageFile.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/image/ExifOrientation.h"
#include "Platform/image/JpegReader.h"
#include "Platform/image/PngReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {

namespace {

enum class Format { Jpeg, Png, Other };

Format formatOf(std::string_view bytes) {
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") {
        return Format::Jpeg;
    }
    if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") {
        return Format::Png;
    }
    return Format::Other;
}

const char* kNotAnImage = "ce n'est pas une image JPEG ni PNG";

} // namespace

std::string ImageFile::dimensionProblem(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        return "l'image n'a pas de pixels";
    }
    if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
        return "l'image est trop grande (" + std::to_string(width) + " × " + std::to_string(height) +
               " pixels ; au plus " + std::to_string(kMaxSide) + " pixels de côté et " +
               std::to_string(kMaxPixels / 1'000'000) + " millions de pixels)";
    }
    return {};
}

bool ImageFile::load(const std::filesystem::path& path, std::string& bytes, std::string& error) {
    // Opened without blocking, so that a tube given by mistake is refused instead of waited on.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = "impossible de lire « " + path.string() + " » : " + systemErrorText(errno);
        return false;
    }
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    if (!ok) {
        error = "impossible de lire « " + path.string() + " » : " + systemErrorText(errno);
    } else if (!S_ISREG(status.st_mode)) {
        error = "« " + path.string() + " » n'est pas un fichier ordinaire";
        ok = false;
    } else if (static_cast<std::uintmax_t>(status.st_size) > kMaxFileBytes) {
        error = "« " + path.string() + " » est trop volumineux pour une photo (plus de " +
                std::to_string(kMaxFileBytes / (1024 * 1024)) + " Mio)";
        ok = false;
    }
    if (ok) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                if (got < 0) {
                    error = "impossible de lire « " + path.string() + " » : " + systemErrorText(errno);
                    ok = false;
                }
                break; // shortened while read: what is there is decoded (and found truncated)
            }
            done += static_cast<std::size_t>(got);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return ok;
}

ImageFile::Decoded ImageFile::decode(std::string_view bytes) {
    switch (formatOf(bytes)) {
    case Format::Jpeg: {
        auto decoded = JpegReader::decode(bytes);
        if (decoded.ok()) {
            if (auto orientation = ExifOrientation::find(bytes)) {
                decoded.image = ExifOrientation::upright(decoded.image, *orientation);
            }
        }
        return decoded;
    }
    case Format::Png:
        return PngReader::decode(bytes);
    case Format::Other:
        break;
    }
    return {{}, kNotAnImage};
}

ImageFile::Size ImageFile::decodeSize(std::string_view bytes) {
    switch (formatOf(bytes)) {
    case Format::Jpeg:
        return JpegReader::decodeSize(bytes);
    case Format::Png:
        return PngReader::decodeSize(bytes);
    case Format::Other:
        break;
    }
    return {0, 0, kNotAnImage};
}

ImageFile::Decoded ImageFile::read(const std::filesystem::path& path) {
    std::string bytes;
    Decoded decoded;
    if (!load(path, bytes, decoded.error)) {
        return decoded;
    }
    return decode(bytes);
}

ImageFile::Size ImageFile::readSize(const std::filesystem::path& path) {
    std::string bytes;
    Size size;
    if (!load(path, bytes, size.error)) {
        return size;
    }
    return decodeSize(bytes);
}

} // namespace orvaneh
