#include "Platform/files/AtomicFile.h"

#include "Platform/files/SystemErrorText.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace orvaneh {

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failing close (delayed write error) is seen. Returns errno or 0.
    int close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

std::string randomSuffix() {
    static constexpr std::array<char, 36> alphabet{
        '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h',
        'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z'};
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string suffix(10, '0');
    for (auto& c : suffix) {
        c = alphabet[pick(generator)];
    }
    return suffix;
}

bool fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

std::string quoted(const std::filesystem::path& path) {
    return "« " + path.string() + " »";
}

} // namespace

bool AtomicFile::write(const std::filesystem::path& path, std::string_view contents,
                       std::filesystem::perms permissions, std::string* error) {
    auto directory = path.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    auto name = path.filename().string();
    if (name.empty()) {
        return fail(error, "Impossible d'écrire " + quoted(path) + " : ce n'est pas un nom de fichier");
    }

    // Created owner-only: the contents are never readable by others, even for a moment.
    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 20 && fd < 0; ++attempt) {
        temporary = directory / ("." + name + ".tmp-" + randomSuffix());
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        return fail(error, "Impossible de créer un fichier temporaire dans " + quoted(directory) + " : " +
                               systemErrorText(errno));
    }
    Descriptor file(fd);
    auto abandon = [&](const std::string& what, int errorNumber) {
        ::unlink(temporary.c_str());
        return fail(error, "Impossible d'écrire " + quoted(path) + " (" + what +
                               ") : " + systemErrorText(errorNumber));
    };

    const char* data = contents.data();
    std::size_t remaining = contents.size();
    while (remaining > 0) {
        auto written = ::write(file.get(), data, remaining);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return abandon("écriture", errno);
        }
        data += written;
        remaining -= static_cast<std::size_t>(written);
    }
    if (::fsync(file.get()) != 0) {
        return abandon("mise sur disque", errno);
    }
    if (::fchmod(file.get(), static_cast<mode_t>(permissions & std::filesystem::perms::mask)) != 0) {
        return abandon("droits d'accès", errno);
    }
    if (int closeError = file.close(); closeError != 0) {
        return abandon("fermeture", closeError);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        return abandon("remplacement", errno);
    }

    // The directory is not synced: after a crash the rename may be lost, but then the previous
    // file is there whole, and preferences are written often enough for the cost to matter.
    return true;
}

std::optional<std::string> AtomicFile::read(const std::filesystem::path& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    Descriptor file(fd);
    std::string contents;
    std::array<char, 65536> buffer{};
    for (;;) {
        auto count = ::read(file.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt; // a directory, or an I/O error: nothing rather than a part
        }
        if (count == 0) {
            return contents;
        }
        contents.append(buffer.data(), static_cast<std::size_t>(count));
    }
}

} // namespace orvaneh
