#include "support/PrivatePulseServer.h"

#include "Platform/files/AtomicFile.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvaneh::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

PrivatePulseServer::PrivatePulseServer(const fs::path& directory, bool withMicrophone)
    : directory_(directory) {
    fs::create_directories(directory / "home");
    fs::create_directories(directory / "runtime");
    std::ofstream script(directory / "server.pa");
    script << "load-module module-null-sink sink_name=silent\n"
           << "set-default-sink silent\n";
    if (withMicrophone) {
        // A microphone fed by the test (ToneMicrophone), in real time. Not module-sine-source:
        // it hands out its fixed latency (2 s) of tone ahead of the clock, so any recorder's take
        // (parecord's too) comes out rounded up to the next 2 s.
        script << "load-module module-pipe-source source_name=microphone file=" << microphone().string()
               << " format=s16le rate=16000 channels=1\n"
               << "set-default-source microphone\n";
    }
    // Last: once the socket answers, everything else is there.
    script << "load-module module-native-protocol-unix socket=" << socket().string() << " auth-anonymous=1\n";
    script.close();
    const std::string scriptPath = (directory / "server.pa").string();
    const std::string logPath = (directory / "server.log").string();
    // Everything the child needs is made before fork: other threads may hold locks then.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::string_view(*entry).find('='));
        if (name != "HOME" && name != "XDG_RUNTIME_DIR" && name != "XDG_CONFIG_HOME") {
            environment.emplace_back(*entry);
        }
    }
    // As root (CI) the server only warns; --system=no keeps it a per-user server whose state
    // lives under the test's directory.
    environment.push_back("HOME=" + (directory / "home").string());
    environment.push_back("XDG_RUNTIME_DIR=" + (directory / "runtime").string());
    environment.push_back("XDG_CONFIG_HOME=" + (directory / "home").string());
    std::vector<std::string> arguments{"pulseaudio",
                                       "-n",
                                       "-F",
                                       scriptPath,
                                       "--daemonize=no",
                                       "--system=no",
                                       "--exit-idle-time=-1",
                                       "--disable-shm=yes",
                                       "--use-pid-file=no",
                                       "--realtime=no",
                                       "--high-priority=no",
                                       "--log-target=stderr"};
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (log >= 0) {
            ::dup2(log, STDOUT_FILENO);
            ::dup2(log, STDERR_FILENO);
        }
        ::execvpe("pulseaudio", argv.data(), envp.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + 8s;
    while (pid_ > 0 && !accepts() && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1; // gone already: no server here
            break;
        }
        std::this_thread::sleep_for(20ms);
    }
    ready_ = pid_ > 0 && accepts();
}

PrivatePulseServer::~PrivatePulseServer() {
    stop(SIGTERM);
}

std::string PrivatePulseServer::log() const {
    return AtomicFile::read(directory_ / "server.log").value_or("");
}

void PrivatePulseServer::stop(int signal) {
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

bool PrivatePulseServer::accepts() const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket().string();
    if (fd < 0 || path.size() >= sizeof address.sun_path) {
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    std::copy(path.begin(), path.end(), address.sun_path);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace orvaneh::test
