#include "support/PrivateSecretService.h"

#include "support/ProcessRunner.h"

#include <chrono>
#include <thread>
#include <vector>

namespace orvaneh::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kKeyringPassword = "trousseau-de-test";

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
    // Each daemon with its log under `directory` and a home, data and settings of the test's own.
    const auto launch = [&](std::vector<std::string> arguments, const char* log) {
        ChildProcess::Launch daemon;
        daemon.arguments = std::move(arguments);
        daemon.environment = {{"HOME", (directory / "home").string()},
                              {"XDG_RUNTIME_DIR", (directory / "runtime").string()},
                              {"XDG_DATA_HOME", (directory / "home" / "data").string()},
                              {"XDG_CONFIG_HOME", (directory / "home" / "config").string()},
                              {"DBUS_SESSION_BUS_ADDRESS", busAddress()}};
        daemon.output = daemon.errors = directory / log;
        return daemon;
    };
    bus_.emplace(
        launch({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + busAddress()},
               "bus.log"));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!fs::exists(directory / "bus") && std::chrono::steady_clock::now() < deadline) {
        if (!bus_->running()) {
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    if (!withKeyring) {
        ready_ = bus_->running() && fs::exists(directory / "bus");
        return;
    }
    // --unlock reads the login keyring's password on standard input (and makes the keyring).
    auto keyring = launch(
        {"/usr/bin/gnome-keyring-daemon", "--foreground", "--unlock", "--components=secrets"}, "keyring.log");
    keyring.input = kKeyringPassword;
    keyring_.emplace(std::move(keyring));
    while (!keyringOnBus() && std::chrono::steady_clock::now() < deadline) {
        if (!keyring_->running()) {
            return;
        }
        std::this_thread::sleep_for(20ms);
    }
    ready_ = keyring_->running() && keyringOnBus();
}

PrivateSecretService::~PrivateSecretService() {
    // The keyring first: it would see its bus go away.
    keyring_.reset();
    bus_.reset();
}

void PrivateSecretService::stopKeyring() {
    keyring_.reset();
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
