#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace orvaneh {

// An advisory lock (flock) on a file, held by this object until it unlocks or dies. The lock
// belongs to the open file, so two FileLock objects exclude each other even in one process,
// and the system releases it when the process ends, however it ends. The file is created
// owner-only (0600) and kept; its descriptor is closed on exec, so a child never inherits it.
class FileLock {
public:
    enum class Result {
        Acquired,      // held by this object
        HeldElsewhere, // another open file (another process, or another FileLock) holds it
        Failed,        // the file could not be opened or locked; see the error text
    };

    explicit FileLock(std::filesystem::path path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // One try, without waiting. Acquired also when this object already holds it.
    Result tryLock(std::string* error = nullptr);
    // Tries until it is acquired, it fails, or `timeout` has passed (HeldElsewhere then).
    Result lockWithin(std::chrono::milliseconds timeout, std::string* error = nullptr);
    void unlock();

    bool locked() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace orvaneh
