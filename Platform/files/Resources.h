#pragma once

#include <filesystem>

namespace orvaneh {

// Where the application's read-only resources are: the directory named by ORVANEH_RESOURCES;
// otherwise the "resources" directory beside the executable (a build tree), or, for an installed
// program, <prefix>/share/orvaneh found from <prefix>/bin.
class Resources {
public:
    static std::filesystem::path directory();
    // directory() / relativePath
    static std::filesystem::path path(const std::filesystem::path& relativePath);
    // The resources of the executable at `executable`, ORVANEH_RESOURCES aside: the first of the
    // two places that is a directory, or the one beside it when neither is, so that what the
    // caller then cannot open names the place where it was expected.
    static std::filesystem::path directoryForExecutable(const std::filesystem::path& executable);
};

} // namespace orvaneh
