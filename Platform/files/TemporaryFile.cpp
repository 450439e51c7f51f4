#include "Platform/files/TemporaryFile.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/log/Log.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvaneh {

namespace {

constexpr std::string_view kMarker = ".tmp-";

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Waits for the lock, whatever signals come.
bool lockWaiting(int descriptor) {
    while (::flock(descriptor, LOCK_EX) != 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return true;
}

} // namespace

TemporaryFile::~TemporaryFile() {
    discard();
}

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : path_(std::exchange(other.path_, {})), descriptor_(std::exchange(other.descriptor_, -1)) {}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
    if (this != &other) {
        discard();
        path_ = std::exchange(other.path_, {});
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

bool TemporaryFile::create(const std::filesystem::path& target) {
    discard();
    auto directory = target.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    const std::string pattern =
        directory.string() + "/." + target.filename().string() + std::string(kMarker) + "XXXXXX";
    // A clean-up may lock and remove the new file in the instant before this writer locks it:
    // once locked, the file must still be the one under the name, or another is made.
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string name = pattern;
        const int descriptor = ::mkostemp(name.data(), O_CLOEXEC);
        if (descriptor < 0) {
            return false;
        }
        struct stat opened {};
        struct stat named {};
        if (!lockWaiting(descriptor) || ::fstat(descriptor, &opened) != 0) {
            const int error = errno;
            ::unlink(name.c_str());
            ::close(descriptor);
            errno = error;
            return false;
        }
        if (::stat(name.c_str(), &named) == 0 && sameFile(opened, named)) {
            path_ = std::move(name);
            descriptor_ = descriptor;
            return true;
        }
        ::close(descriptor);
    }
    errno = EAGAIN;
    return false;
}

int TemporaryFile::commit(const std::filesystem::path& target, const char** step) {
    auto failed = [&](const char* what, int error) {
        if (step != nullptr) {
            *step = what;
        }
        discard();
        return error;
    };
    // The duplicate shares the open file, hence the lock, while the writer's descriptor is
    // closed to see its errors.
    const int holder = ::dup(descriptor_);
    if (holder < 0) {
        return failed("fermeture", errno);
    }
    const int closed = ::close(std::exchange(descriptor_, holder));
    if (closed != 0) {
        return failed("fermeture", errno);
    }
    if (::rename(path_.c_str(), target.c_str()) != 0) {
        return failed("remplacement", errno);
    }
    path_.clear();
    ::close(std::exchange(descriptor_, -1));
    return 0;
}

void TemporaryFile::discard() noexcept {
    if (!path_.empty()) {
        ::unlink(path_.c_str()); // before the lock goes, so no one else sees it unlocked
        path_.clear();
    }
    if (descriptor_ >= 0) {
        ::close(std::exchange(descriptor_, -1));
    }
}

bool TemporaryFile::isTemporaryName(std::string_view name) {
    const auto marker = name.find(kMarker);
    return name.size() > 1 && name.front() == '.' && marker != std::string_view::npos && marker > 1 &&
           marker + kMarker.size() < name.size();
}

std::size_t TemporaryFile::removeAbandoned(const std::filesystem::path& directory) {
    std::size_t removed = 0;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!isTemporaryName(name)) {
            continue;
        }
        const std::string path = entry->path().string();
        // Non-blocking, no links followed: whatever lies under such a name, the clean-up never
        // waits on it nor reaches beyond the directory.
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (descriptor < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
            sameFile(opened, named)) {
            if (::unlink(path.c_str()) == 0) {
                ++removed;
                Log::write("Fichier temporaire abandonné supprimé : « " + path + " » (" +
                           std::to_string(opened.st_size) + " octets)");
            } else {
                Log::write("Impossible de supprimer le fichier temporaire « " + path +
                           " » : " + systemErrorText(errno));
            }
        }
        ::close(descriptor);
    }
    return removed;
}

} // namespace orvaneh
