#include "support/ProcessRunner.h"

#include "support/TestProfile.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

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
    const std::string outPath = (directory.path() / "out").string();
    const std::string errPath = (directory.path() / "err").string();
    const std::string inPath = input ? (directory.path() / "in").string() : std::string("/dev/null");
    if (input) {
        std::ofstream(inPath, std::ios::binary) << *input;
    }
    std::vector<char*> argv;
    for (const auto& argument : command) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        for (const auto& [name, value] : environment) {
            value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        }
        dup2(open(inPath.c_str(), O_RDONLY), STDIN_FILENO);
        dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
        dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0) {
        return result;
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = contentsOf(outPath);
    result.err = contentsOf(errPath);
    return result;
}

} // namespace orvaneh::test
