#pragma once

#include <filesystem>

namespace orvaneh {

// Where the application's read-only resources are: the "resources" directory beside the
// executable, or the directory named by ORVANEH_RESOURCES.
class Resources {
public:
    static std::filesystem::path directory();
    // directory() / relativePath
    static std::filesystem::path path(const std::filesystem::path& relativePath);
};

} // namespace orvaneh
