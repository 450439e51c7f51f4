#include "Platform/files/Resources.h"

#include <cstdlib>
#include <system_error>

namespace orvaneh {

std::filesystem::path Resources::directory() {
    if (const char* overridden = std::getenv("ORVANEH_RESOURCES");
        overridden != nullptr && *overridden != '\0') {
        return overridden;
    }
    std::error_code error;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        // Without /proc, the working directory is the best remaining guess.
        return std::filesystem::current_path(error) / "resources";
    }
    return executable.parent_path() / "resources";
}

std::filesystem::path Resources::path(const std::filesystem::path& relativePath) {
    return directory() / relativePath;
}

} // namespace orvaneh
