#pragma once

#include "support/ProcessRunner.h"

#include <filesystem>
#include <map>
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

// The same with `input` on its standard input and `environment` added to its environment.
inline ProcessResult runCli(const std::filesystem::path& home, std::vector<std::string> arguments,
                            const std::string& input,
                            const std::map<std::string, std::string>& environment = {}) {
    arguments.insert(arguments.begin(), {ORVANEH_CLI_PATH, "--home", home.string()});
    return ProcessRunner::runWithInput(arguments, input, environment);
}

} // namespace orvaneh::test
