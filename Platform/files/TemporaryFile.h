#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace orvaneh {

// A hidden file beside the file being written (".<name>.tmp-XXXXXX"), renamed over it once
// complete. The writer holds an advisory lock (flock) on it from creation to the end, so a
// clean-up run by another process on the same profile (the desktop application and the
// command line may run side by side) removes only the temporaries of writers that are gone.
class TemporaryFile {
public:
    TemporaryFile() = default;
    // Removes the file unless it was committed, and releases the lock.
    ~TemporaryFile();
    TemporaryFile(TemporaryFile&& other) noexcept;
    TemporaryFile& operator=(TemporaryFile&& other) noexcept;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Creates a new, empty, owner-only temporary beside `target` and locks it. False with
    // errno set when it cannot be created.
    bool create(const std::filesystem::path& target);
    bool exists() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // Open for reading and writing until commit() or discard().
    int descriptor() const { return descriptor_; }

    // Closes the descriptor (so that a delayed write error is seen), then renames the file over
    // `target`, still locked. 0, or the errno of the failed step, named in `step` ("fermeture" or
    // "remplacement"); on failure the temporary is removed.
    int commit(const std::filesystem::path& target, const char** step = nullptr);
    // Removes the file and releases the lock.
    void discard() noexcept;

    // Whether a directory entry is named like a temporary.
    static bool isTemporaryName(std::string_view name);
    // Removes from `directory` (not its subdirectories) every temporary that no live writer
    // holds; returns how many went. A temporary being written is never touched.
    static std::size_t removeAbandoned(const std::filesystem::path& directory);

private:
    std::string path_;
    int descriptor_ = -1; // holds the lock
};

} // namespace orvaneh
