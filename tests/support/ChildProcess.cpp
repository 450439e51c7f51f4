#include "support/ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace orvaneh::test {

using namespace std::chrono_literals;

namespace {

std::vector<std::string> environmentFor(const std::map<std::string, std::string>& changes) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (!changes.contains(std::string(text.substr(0, text.find('='))))) {
            entries.emplace_back(text);
        }
    }
    for (const auto& [name, value] : changes) {
        if (!value.empty()) {
            entries.push_back(name + "=" + value);
        }
    }
    return entries;
}

std::vector<char*> pointersTo(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (auto& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// A file in memory holding `text`, read from its start: unlike a pipe, it never blocks the
// writer however long the text, whether the child reads it or not.
int inputFile(const std::string& text) {
    const int fd = ::memfd_create("input", MFD_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
        if (count <= 0) {
            ::close(fd);
            return -1;
        }
        written += static_cast<std::size_t>(count);
    }
    ::lseek(fd, 0, SEEK_SET);
    return fd;
}

void redirect(const char* path, int flags, int target) {
    const int fd = ::open(path, flags, 0600);
    if (fd >= 0 && fd != target) {
        ::dup2(fd, target);
        ::close(fd);
    }
}

} // namespace

ChildProcess::ChildProcess(Launch launch) {
    // Everything the child needs is made before fork: other threads may hold locks then.
    auto arguments = std::move(launch.arguments);
    auto environment = environmentFor(launch.environment);
    const auto argv = pointersTo(arguments);
    const auto envp = pointersTo(environment);
    const std::string output = launch.output.string();
    const std::string errors = launch.errors.string();
    if (arguments.empty()) {
        return;
    }
    const int input = launch.input ? inputFile(*launch.input) : -1;
    if (launch.input && input < 0) {
        return;
    }
    int pipeEnds[2] = {-1, -1};
    if (launch.outputToPipe && ::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        if (input >= 0) {
            ::close(input);
        }
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        if (launch.dieWithParent) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        }
        if (input >= 0) {
            ::dup2(input, STDIN_FILENO);
        } else {
            redirect("/dev/null", O_RDONLY, STDIN_FILENO);
        }
        if (launch.outputToPipe) {
            ::dup2(pipeEnds[1], STDOUT_FILENO);
        } else if (!output.empty()) {
            redirect(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, STDOUT_FILENO);
        }
        if (!errors.empty()) {
            redirect(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, STDERR_FILENO);
        }
        ::execvpe(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (input >= 0) {
        ::close(input);
    }
    if (launch.outputToPipe) {
        ::close(pipeEnds[1]);
        pipe_ = pid_ > 0 ? pipeEnds[0] : -1;
        if (pid_ <= 0) {
            ::close(pipeEnds[0]);
        }
    }
}

ChildProcess::~ChildProcess() {
    stop();
    closeOutputPipe();
}

void ChildProcess::closeOutputPipe() {
    if (pipe_ >= 0) {
        ::close(pipe_);
        pipe_ = -1;
    }
}

bool ChildProcess::running() {
    if (pid_ <= 0) {
        return false;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
    }
    return pid_ > 0;
}

int ChildProcess::wait() {
    if (pid_ <= 0) {
        return -1;
    }
    int status = 0;
    pid_t waited = -1;
    do {
        waited = ::waitpid(pid_, &status, 0);
    } while (waited < 0 && errno == EINTR);
    pid_ = -1;
    return waited > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::stop(int signal) {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
}

} // namespace orvaneh::test
