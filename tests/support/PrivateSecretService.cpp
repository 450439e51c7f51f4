#include "support/PrivateSecretService.h"

#include "support/ProcessRunner.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <string_view>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace orvaneh::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kKeyringPassword = "trousseau-de-test";

// Starts `arguments` with `environment` in place of this process's, its output into `log`
// and, with `input`, that text on its standard input.
pid_t spawn(std::vector<std::string> arguments, std::vector<std::string> environment, const fs::path& log,
            const char* input) {
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
    int pipeEnds[2] = {-1, -1};
    if (input != nullptr && ::pipe(pipeEnds) != 0) {
        return -1;
    }
    const std::string logPath = log.string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int logFile = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (logFile >= 0) {
            ::dup2(logFile, STDOUT_FILENO);
            ::dup2(logFile, STDERR_FILENO);
        }
        if (input != nullptr) {
            ::dup2(pipeEnds[0], STDIN_FILENO);
            ::close(pipeEnds[0]);
            ::close(pipeEnds[1]);
        } else {
            const int none = ::open("/dev/null", O_RDONLY);
            ::dup2(none, STDIN_FILENO);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (input != nullptr) {
        ::close(pipeEnds[0]);
        const std::string_view text(input);
        [[maybe_unused]] const auto written = ::write(pipeEnds[1], text.data(), text.size());
        ::close(pipeEnds[1]);
    }
    return pid;
}

void stop(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    pid = -1;
}

bool gone(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

} // namespace

std::map<std::string, std::string> withoutSessionBus() {
    // No address, and no runtime directory where a user bus could be found.
    return {{"DBUS_SESSION_BUS_ADDRESS", ""}, {"XDG_RUNTIME_DIR", ""}};
}

PrivateSecretService::PrivateSecretService(const fs::path& directory, bool withKeyring)
    : directory_(directory) {
    if (!fs::exists("/usr/bin/dbus-daemon") ||
        (withKeyring && !fs::exists("/usr/bin/gnome-keyring-daemon"))) {
        return;
    }
    fs::create_directories(directory / "home");
    fs::create_directories(directory / "runtime");
    fs::permissions(directory / "runtime", fs::perms::owner_all);
    // Everything the children need is made before fork: other threads may hold locks then.
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view name(*entry, std::string_view(*entry).find('='));
        if (name != "HOME" && name != "XDG_RUNTIME_DIR" && name != "XDG_DATA_HOME" &&
            name != "DBUS_SESSION_BUS_ADDRESS" && name != "XDG_CONFIG_HOME") {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("HOME=" + (directory / "home").string());
    environment.push_back("XDG_RUNTIME_DIR=" + (directory / "runtime").string());
    environment.push_back("XDG_DATA_HOME=" + (directory / "home" / "data").string());
    environment.push_back("XDG_CONFIG_HOME=" + (directory / "home" / "config").string());
    environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress());
    bus_ =
        spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + busAddress()},
              environment, directory / "bus.log", nullptr);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (bus_ > 0 && !fs::exists(directory / "bus") && std::chrono::steady_clock::now() < deadline) {
        if (gone(bus_)) {
            bus_ = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    if (!withKeyring) {
        ready_ = bus_ > 0 && fs::exists(directory / "bus");
        return;
    }
    // --unlock reads the login keyring's password on standard input (and makes the keyring).
    keyring_ = spawn({"/usr/bin/gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"},
                     environment, directory / "keyring.log", kKeyringPassword);
    while (keyring_ > 0 && !keyringOnBus() && std::chrono::steady_clock::now() < deadline) {
        if (gone(keyring_)) {
            keyring_ = -1;
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    ready_ = keyring_ > 0 && keyringOnBus();
}

PrivateSecretService::~PrivateSecretService() {
    stopKeyring();
    stop(bus_);
}

void PrivateSecretService::stopKeyring() {
    stop(keyring_);
}

std::map<std::string, std::string> PrivateSecretService::environment() const {
    return {{"DBUS_SESSION_BUS_ADDRESS", busAddress()},
            {"XDG_RUNTIME_DIR", (directory_ / "runtime").string()}};
}

bool PrivateSecretService::keyringOnBus() const {
    const auto answer = ProcessRunner::run(
        {"/usr/bin/dbus-send", "--bus=" + busAddress(), "--print-reply", "--dest=org.freedesktop.DBus",
         "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner", "string:org.freedesktop.secrets"});
    return answer.status == 0 && answer.out.find("boolean true") != std::string::npos;
}

std::optional<std::string>
PrivateSecretService::lookup(const std::map<std::string, std::string>& attributes) const {
    std::vector<std::string> command{"/usr/bin/secret-tool", "lookup"};
    for (const auto& [name, value] : attributes) {
        command.push_back(name);
        command.push_back(value);
    }
    const auto answer = ProcessRunner::run(command, environment());
    if (answer.status != 0) {
        return std::nullopt;
    }
    return answer.out;
}

int PrivateSecretService::count(const std::map<std::string, std::string>& attributes) const {
    std::vector<std::string> command{"/usr/bin/secret-tool", "search", "--all"};
    for (const auto& [name, value] : attributes) {
        command.push_back(name);
        command.push_back(value);
    }
    const auto answer = ProcessRunner::run(command, environment());
    // Each item starts with its path: "[/org/freedesktop/secrets/collection/login/1]".
    int items = 0;
    for (std::size_t at = answer.out.find("[/"); at != std::string::npos;
         at = answer.out.find("[/", at + 1)) {
        ++items;
    }
    return items;
}

} // namespace orvaneh::test
