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

// Fills the temporary with `contents`, flushed to disk unless told otherwise, with the
// permissions. 0, or the errno of the failed step, named in `step`.
int fill(const TemporaryFile& temporary, std::string_view contents, std::filesystem::perms permissions,
         AtomicFile::Flush flush, const char*& step) {
    const char* data = contents.data();
    std::size_t remaining = contents.size();
    while (remaining > 0) {
        auto written = ::write(temporary.descriptor(), data, remaining);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            step = "écriture";
            return errno;
        }
        data += written;
        remaining -= static_cast<std::size_t>(written);
    }
    if (flush == AtomicFile::Flush::ToDisk && ::fsync(temporary.descriptor()) != 0) {
        step = "mise sur disque";
        return errno;
    }
    if (::fchmod(temporary.descriptor(), static_cast<mode_t>(permissions & std::filesystem::perms::mask)) !=
        0) {
        step = "droits d'accès";
        return errno;
    }
    return 0;
}

// The errors of link(2) on a file system that has no hard links.
bool linksUnsupported(int errorNumber) {
    return errorNumber == EPERM || errorNumber == ENOTSUP || errorNumber == EOPNOTSUPP ||
           errorNumber == ENOSYS;
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
    const char* step = "";
    if (int fillError = fill(temporary, contents, permissions, flush, step); fillError != 0) {
        return abandon(step, fillError);
    }
    if (int commitError = temporary.commit(path, &step); commitError != 0) {
        return abandon(step, commitError);
    }

    // The directory is not synced: after a crash the rename may be lost, but then the previous
    // file is there whole, and preferences are written often enough for the cost to matter.
    return true;
}

std::optional<std::filesystem::path>
AtomicFile::writeNew(const std::function<std::optional<std::filesystem::path>()>& nextName,
                     std::string_view contents, std::filesystem::perms permissions, std::string* error,
                     Flush flush) {
    auto candidate = nextName();
    if (!candidate || candidate->filename().empty()) {
        fail(error, "Impossible d'écrire le fichier : aucun nom de fichier proposé");
        return std::nullopt;
    }
    const std::filesystem::path first = *candidate;
    TemporaryFile temporary;
    if (!temporary.create(first)) {
        fail(error, "Impossible de créer un fichier temporaire pour " + quoted(first) + " : " +
                        systemErrorText(errno));
        return std::nullopt;
    }
    auto abandon = [&](const std::filesystem::path& path, const std::string& what, int errorNumber) {
        temporary.discard();
        fail(error,
             "Impossible d'écrire " + quoted(path) + " (" + what + ") : " + systemErrorText(errorNumber));
        return std::nullopt;
    };
    const char* step = "";
    if (int fillError = fill(temporary, contents, permissions, flush, step); fillError != 0) {
        return abandon(first, step, fillError);
    }
    // A new link fails on any existing entry, so a name taken since the caller looked (by
    // another process adding to the same directory) is never replaced.
    for (; candidate; candidate = nextName()) {
        if (::link(temporary.path().c_str(), candidate->c_str()) == 0) {
            temporary.discard(); // only the temporary's name goes: the file stays under the new one
            return candidate;
        }
        const int linkError = errno;
        if (linkError == EEXIST) {
            continue;
        }
        if (!linksUnsupported(linkError)) {
            return abandon(*candidate, "publication", linkError);
        }
        // No hard links here: the name is reserved by an exclusive creation, then the complete
        // file renamed over the reservation (a reader may see it empty for that instant).
        const int reserved = ::open(candidate->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                    S_IRUSR | S_IWUSR);
        if (reserved < 0) {
            const int reserveError = errno;
            if (reserveError == EEXIST) {
                continue;
            }
            return abandon(*candidate, "réservation du nom", reserveError);
        }
        ::close(reserved);
        if (int commitError = temporary.commit(*candidate, &step); commitError != 0) {
            ::unlink(candidate->c_str());
            return abandon(*candidate, step, commitError);
        }
        return candidate;
    }
    temporary.discard();
    fail(error, "Impossible d'écrire " + quoted(first) + " : tous les noms proposés sont déjà pris");
    return std::nullopt;
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
