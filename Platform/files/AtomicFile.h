#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// Writing a file whole or not at all.
class AtomicFile {
public:
    // Whether the contents reach the disk before the rename (a power cut then leaves the old
    // file or the new one whole), or may stay in the system's cache (a crash of the process
    // still leaves one or the other whole; for files that only describe other unsynced files).
    enum class Flush { ToDisk, Cached };

    // Writes `contents` to a temporary file beside `path`, flushes it to disk unless told
    // otherwise, then renames it over `path`. On failure `path` is untouched, the temporary
    // file is removed and `error` (if given) receives a French explanation. The file gets
    // `permissions`.
    static bool write(const std::filesystem::path& path, std::string_view contents,
                      std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_write,
                      std::string* error = nullptr, Flush flush = Flush::ToDisk);

    // Writes `contents` once, then gives the file the first name `nextName` offers that no entry
    // holds, without ever replacing one: a name another process takes in the meantime is
    // skipped and the next one asked for. `nextName` answers nothing to give up; its names must
    // be in one directory. The name used, or nothing with `error` (if given) in French, no file
    // left behind.
    static std::optional<std::filesystem::path>
    writeNew(const std::function<std::optional<std::filesystem::path>()>& nextName, std::string_view contents,
             std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::owner_write,
             std::string* error = nullptr, Flush flush = Flush::ToDisk);

    // Reads a whole file; nothing when it cannot be read.
    static std::optional<std::string> read(const std::filesystem::path& path);
};

} // namespace orvaneh
