#pragma once

#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvaneh::test {

// A program a test starts: a server it talks to or a command it runs to the end. Whatever
// happens it is stopped and reaped with the object, so that no test leaves a process behind.
class ChildProcess {
public:
    struct Launch {
        // The program first: a path, or a name looked up in PATH.
        std::vector<std::string> arguments;
        // Added to (or, with an empty value, removed from) this process's environment.
        std::map<std::string, std::string> environment;
        // Standard input: this text, or /dev/null without it.
        std::optional<std::string> input;
        // Standard output and error, appended to these files (they may be the same one); left
        // as this process's when empty.
        std::filesystem::path output;
        std::filesystem::path errors;
        // Standard output into a pipe instead, read through outputPipe().
        bool outputToPipe = false;
        // SIGTERM when this process dies, even killed: no orphan server after a crashed test.
        bool dieWithParent = false;
    };

    explicit ChildProcess(Launch launch);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False once it has ended (or when it could not be started).
    bool running();
    // The read end of the output pipe (-1 without one or once closed).
    int outputPipe() const { return pipe_; }
    // Past this the child's writes to its standard output fail instead of filling the pipe.
    void closeOutputPipe();
    // Waits for the end; the exit status, or -1 when it did not exit by itself.
    int wait();
    // `signal`, then SIGKILL if it is still there 5 seconds later.
    void stop(int signal = SIGTERM);

private:
    pid_t pid_ = -1;
    int pipe_ = -1;
};

} // namespace orvaneh::test
