#include "Platform/files/AtomicFile.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/files/TemporaryFile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
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

private:
    int fd_;
};

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
                       std::filesystem::perms permissions, std::string* error, Flush flush) {
    auto name = path.filename().string();
    if (name.empty()) {
        return fail(error, "Impossible d'écrire " + quoted(path) + " : ce n'est pas un nom de fichier");
    }

    // Created owner-only: the contents are never readable by others, even for a moment.
    TemporaryFile temporary;
    if (!temporary.create(path)) {
        return fail(error, "Impossible de créer un fichier temporaire pour " + quoted(path) + " : " +
                               systemErrorText(errno));
    }
    auto abandon = [&](const std::string& what, int errorNumber) {
        temporary.discard();
        return fail(error, "Impossible d'écrire " + quoted(path) + " (" + what +
                               ") : " + systemErrorText(errorNumber));
    };

    const char* data = contents.data();
    std::size_t remaining = contents.size();
    while (remaining > 0) {
        auto written = ::write(temporary.descriptor(), data, remaining);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return abandon("écriture", errno);
        }
        data += written;
        remaining -= static_cast<std::size_t>(written);
    }
    if (flush == Flush::ToDisk && ::fsync(temporary.descriptor()) != 0) {
        return abandon("mise sur disque", errno);
    }
    if (::fchmod(temporary.descriptor(), static_cast<mode_t>(permissions & std::filesystem::perms::mask)) !=
        0) {
        return abandon("droits d'accès", errno);
    }
    const char* step = "";
    if (int commitError = temporary.commit(path, &step); commitError != 0) {
        return abandon(step, commitError);
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
