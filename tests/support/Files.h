#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace orvaneh::test {

// Names of a directory's entries (hidden ones too), sorted; none when it cannot be read.
inline std::vector<std::string> entryNames(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace orvaneh::test
