#include "support/ProcessRunner.h"

#include "support/ChildProcess.h"
#include "support/TestProfile.h"

#include <fstream>
#include <sstream>

namespace orvaneh::test {

namespace {

std::string contentsOf(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

} // namespace

ProcessResult ProcessRunner::run(const std::vector<std::string>& command,
                                 const std::map<std::string, std::string>& environment) {
    return start(command, nullptr, environment);
}

ProcessResult ProcessRunner::runWithInput(const std::vector<std::string>& command, const std::string& input,
                                          const std::map<std::string, std::string>& environment) {
    return start(command, &input, environment);
}

ProcessResult ProcessRunner::start(const std::vector<std::string>& command, const std::string* input,
                                   const std::map<std::string, std::string>& environment) {
    ProcessResult result;
    if (command.empty()) {
        return result;
    }
    // The output goes to files read once the child is gone: no pipe can fill up and block it.
    TemporaryDirectory directory;
    ChildProcess::Launch launch;
    launch.arguments = command;
    launch.environment = environment;
    launch.output = directory.path() / "out";
    launch.errors = directory.path() / "err";
    if (input) {
        launch.input = *input;
    }
    ChildProcess child(std::move(launch));
    result.status = child.wait();
    result.out = contentsOf(directory.path() / "out");
    result.err = contentsOf(directory.path() / "err");
    return result;
}

} // namespace orvaneh::test
