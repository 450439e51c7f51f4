#include "support/PeerProcess.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvaneh::test {

namespace {

// The Debian interpreter: it is the one that sees python3-pyftpdlib.
constexpr const char* kPython = "/usr/bin/python3";

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

PeerProcess::PeerProcess(const std::string& script, const std::vector<std::string>& arguments,
                         const std::string& logFile) {
    std::vector<std::string> command{kPython, script};
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
        if (!logFile.empty()) {
            int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
            dup2(log, STDERR_FILENO);
        }
        close(output[0]);
        close(output[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(output[1]);
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string pending;
    while (pid_ > 0 && port_ == 0 && std::chrono::steady_clock::now() < giveUp) {
        pollfd ready{output[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[256];
        ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos && port_ == 0;
             end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            auto space = line.find(' ');
            if (isNumber(line)) {
                port_ = std::atoi(line.c_str());
            } else if (space != std::string::npos && line.substr(0, space) == "PORT") {
                port_ = std::atoi(line.c_str() + space + 1);
            } else if (space != std::string::npos) {
                values_[line.substr(0, space)] = line.substr(space + 1);
            }
        }
    }
    close(output[0]);
}

PeerProcess::~PeerProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string PeerProcess::value(const std::string& name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::string() : found->second;
}

} // namespace orvaneh::test
