#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvaneh {

// Writing a file whole or not at all.
class AtomicFile {
public:
    // Writes `contents` to a temporary file beside `path`, flushes it to disk, then renames
    // it over `path`. On failure `path` is untouched, the temporary file is removed and
    // `error` (if given) receives a French explanation. The file gets `permissions`.
    static bool write(const std::filesystem::path& path, std::string_view contents,
                      std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                                           std::filesystem::perms::owner_write,
                      std::string* error = nullptr);

    // Reads a whole file; nothing when it cannot be read.
    static std::optional<std::string> read(const std::filesystem::path& path);
};

} // namespace orvaneh
