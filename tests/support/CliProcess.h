#pragma once

#include "support/ProcessRunner.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace orvaneh::test {

// The real orvaneh-cli on the profile at `home`, run as a user runs it. For test programs only:
// ORVANEH_CLI_PATH is theirs.
inline ProcessResult runCli(const std::filesystem::path& home, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.string()});
    return ProcessRunner::run(arguments);
}

} // namespace orvaneh::test
