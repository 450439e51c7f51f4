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
    return directoryForExecutable(executable);
}

std::filesystem::path Resources::directoryForExecutable(const std::filesystem::path& executable) {
    const auto bin = executable.parent_path();
    auto beside = bin / "resources";
    std::error_code error;
    if (std::filesystem::is_directory(beside, error)) {
        return beside;
    }
    // Installed: <prefix>/bin/orvaneh reads <prefix>/share/orvaneh (cmake --install, the package).
    auto installed = bin.parent_path() / "share" / "orvaneh";
    if (std::filesystem::is_directory(installed, error)) {
        return installed;
    }
    return beside;
}

std::filesystem::path Resources::path(const std::filesystem::path& relativePath) {
    return directory() / relativePath;
}

} // namespace orvaneh
