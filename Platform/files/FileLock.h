#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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

    // Replaces what the locked file holds by `note`, a short text for whoever finds the lock
    // held (what the holder is doing). False when not locked or the write failed.
    bool writeNote(std::string_view note);
    // The note of the lock at `path` while another open file holds it; nothing when the lock
    // is free (a note left by a holder that ended means nothing), or the file is absent or
    // unreadable. It looks without waiting, through a shared lock taken for an instant when
    // the lock is free.
    static std::optional<std::string> noteIfHeld(const std::filesystem::path& path);

    bool locked() const { return fd_ >= 0; }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

} // namespace orvaneh
