#include "Platform/files/FileLock.h"

#include "Platform/files/SystemErrorText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace orvaneh {

namespace {

// Short enough that a waiting sender starts soon after the other one ends.
constexpr std::chrono::milliseconds kRetryInterval{50};

FileLock::Result fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return FileLock::Result::Failed;
}

} // namespace

FileLock::FileLock(std::filesystem::path path) : path_(std::move(path)) {}

FileLock::~FileLock() {
    unlock();
}

FileLock::Result FileLock::tryLock(std::string* error) {
    if (fd_ >= 0) {
        return Result::Acquired;
    }
    int fd = -1;
    do {
        fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int cause = errno;
        return fail(error, "Impossible d'ouvrir le fichier de verrou « " + path_.string() +
                               " » : " + systemErrorText(cause));
    }
    int result = -1;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        const int cause = errno;
        ::close(fd);
        if (cause == EWOULDBLOCK) {
            return Result::HeldElsewhere;
        }
        return fail(error,
                    "Impossible de verrouiller « " + path_.string() + " » : " + systemErrorText(cause));
    }
    fd_ = fd;
    return Result::Acquired;
}

FileLock::Result FileLock::lockWithin(std::chrono::milliseconds timeout, std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const Result result = tryLock(error);
        if (result != Result::HeldElsewhere) {
            return result;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return Result::HeldElsewhere;
        }
        // flock cannot wait with a deadline: poll.
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kRetryInterval, deadline - now));
    }
}

void FileLock::unlock() {
    if (fd_ >= 0) {
        // Closing the only descriptor of the open file releases the lock.
        ::close(fd_);
        fd_ = -1;
    }
}

bool FileLock::writeNote(std::string_view note) {
    if (fd_ < 0 || ::ftruncate(fd_, 0) != 0) {
        return false;
    }
    std::size_t written = 0;
    while (written < note.size()) {
        const ssize_t result =
            ::pwrite(fd_, note.data() + written, note.size() - written, static_cast<off_t>(written));
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(result);
    }
    return true;
}

std::optional<std::string> FileLock::noteIfHeld(const std::filesystem::path& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return std::nullopt;
    }
    int result = -1;
    do {
        result = ::flock(fd, LOCK_SH | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0 || errno != EWOULDBLOCK) {
        ::close(fd); // free (the shared lock goes with the descriptor), or not a lock we can ask
        return std::nullopt;
    }
    // A note is a few bytes; more is not one of ours.
    char buffer[64];
    ssize_t size = -1;
    do {
        size = ::pread(fd, buffer, sizeof buffer, 0);
    } while (size < 0 && errno == EINTR);
    ::close(fd);
    if (size < 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(size));
}

} // namespace orvaneh
