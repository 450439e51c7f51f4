#include "support/PrivatePulseServer.h"

#include "Platform/files/AtomicFile.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

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
    // A fresh log: log() tells of this server only.
    std::error_code ignored;
    fs::remove(directory / "server.log", ignored);
    // As root (CI) the server only warns; --system=no keeps it a per-user server whose state
    // lives under the test's directory.
    ChildProcess::Launch launch;
    launch.arguments = {"pulseaudio",
                        "-n",
                        "-F",
                        (directory / "server.pa").string(),
                        "--daemonize=no",
                        "--system=no",
                        "--exit-idle-time=-1",
                        "--disable-shm=yes",
                        "--use-pid-file=no",
                        "--realtime=no",
                        "--high-priority=no",
                        "--log-target=stderr"};
    launch.environment = {{"HOME", (directory / "home").string()},
                          {"XDG_RUNTIME_DIR", (directory / "runtime").string()},
                          {"XDG_CONFIG_HOME", (directory / "home").string()}};
    launch.output = launch.errors = directory / "server.log";
    server_.emplace(std::move(launch));
    const auto deadline = std::chrono::steady_clock::now() + 8s;
    while (!accepts() && std::chrono::steady_clock::now() < deadline) {
        if (!server_->running()) {
            return; // gone already: no server here
        }
        std::this_thread::sleep_for(20ms);
    }
    ready_ = server_->running() && accepts();
}

std::string PrivatePulseServer::log() const {
    return AtomicFile::read(directory_ / "server.log").value_or("");
}

void PrivatePulseServer::stop(int signal) {
    if (server_) {
        server_->stop(signal);
    }
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
