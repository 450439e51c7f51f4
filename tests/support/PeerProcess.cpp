#include "support/PeerProcess.h"

#include <chrono>
#include <cstdlib>
#include <poll.h>
#include <unistd.h>

namespace orvaneh::test {

namespace {

// The Debian interpreter: it is the one that sees python3-pyftpdlib.
constexpr const char* kPython = "/usr/bin/python3";

bool isNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

ChildProcess::Launch peer(const std::string& script, const std::vector<std::string>& arguments,
                          const std::string& logFile) {
    ChildProcess::Launch launch;
    launch.arguments = {kPython, script};
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.errors = logFile;
    launch.outputToPipe = true;
    launch.dieWithParent = true;
    return launch;
}

} // namespace

PeerProcess::PeerProcess(const std::string& script, const std::vector<std::string>& arguments,
                         const std::string& logFile)
    : process_(peer(script, arguments, logFile)) {
    const int output = process_.outputPipe();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string pending;
    while (output >= 0 && port_ == 0 && std::chrono::steady_clock::now() < giveUp) {
        pollfd ready{output, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[256];
        ssize_t got = read(output, buffer, sizeof buffer);
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
    process_.closeOutputPipe();
}

std::string PeerProcess::value(const std::string& name) const {
    auto found = values_.find(name);
    return found == values_.end() ? std::string() : found->second;
}

} // namespace orvaneh::test
