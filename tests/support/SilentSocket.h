#pragma once

#include <cstring>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvaneh::test {

// A Unix socket that takes connections (the kernel queues them) and never answers: a peer
// that hangs, or a place that tells whether anyone came. Closed and removed with the object.
class SilentSocket {
public:
    explicit SilentSocket(std::filesystem::path path) : path_(std::move(path)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
        // Non-blocking: takeConnections() stops at the end of the queue.
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (fd_ >= 0 && (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
                         ::listen(fd_, 16) != 0)) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~SilentSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }
    SilentSocket(const SilentSocket&) = delete;
    SilentSocket& operator=(const SilentSocket&) = delete;

    bool ready() const { return fd_ >= 0; }
    // As a D-Bus address.
    std::string busAddress() const { return "unix:path=" + path_.string(); }
    // How many connections came since the last call; they are closed.
    int takeConnections() {
        int count = 0;
        for (int client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC); client >= 0;
             client = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) {
            ::close(client);
            ++count;
        }
        return count;
    }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace orvaneh::test
