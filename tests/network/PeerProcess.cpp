#include "network/PeerProcess.h"

#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvaneh::test {

namespace {

// The Debian interpreter: it is the one that sees python3-pyftpdlib.
constexpr const char* kPython = "/usr/bin/python3";

// Reads the first line of `fd`, waiting at most 30 seconds in all.
std::string firstLine(int fd) {
    std::string line;
    for (int waited = 0; waited < 300 && line.find('\n') == std::string::npos; ++waited) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[64];
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        line.append(buffer, static_cast<std::size_t>(got));
    }
    return line;
}

} // namespace

PeerProcess::PeerProcess(const std::string& script, const std::vector<std::string>& arguments) {
    std::vector<std::string> command{kPython,
                                     std::string(ORVANEH_SOURCE_DIR) + "/tests/network/peers/" + script};
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : command) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int output[2];
    if (pipe(output) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // no orphan server when a test crashes
        dup2(output[1], STDOUT_FILENO);
        close(output[0]);
        close(output[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    if (pid_ > 0) {
        port_ = std::atoi(firstLine(output[0]).c_str());
    }
    close(output[0]);
}

PeerProcess::~PeerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

} // namespace orvaneh::test
