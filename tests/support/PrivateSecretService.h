#pragma once

#include "support/ChildProcess.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace orvaneh::test {

// A session bus of the test's own under `directory` and, unless `withKeyring` is false, a
// GNOME keyring on it, unlocked with a password given on its standard input. Both are stopped
// (and reaped) with the object. ready() is false where they cannot start (dbus-daemon or
// gnome-keyring-daemon missing): the test skips then.
class PrivateSecretService {
public:
    explicit PrivateSecretService(const std::filesystem::path& directory, bool withKeyring = true);
    ~PrivateSecretService();
    PrivateSecretService(const PrivateSecretService&) = delete;
    PrivateSecretService& operator=(const PrivateSecretService&) = delete;

    bool ready() const { return ready_; }
    std::string busAddress() const { return "unix:path=" + (directory_ / "bus").string(); }
    // What a program run by the test needs to find this bus, and only it.
    std::map<std::string, std::string> environment() const;
    // Stops the keyring, leaving the bus without a Secret Service.
    void stopKeyring();

    // The keyring's secret under these attributes (through secret-tool), nothing when none.
    std::optional<std::string> lookup(const std::map<std::string, std::string>& attributes) const;
    // How many of the keyring's secrets carry these attributes.
    int count(const std::map<std::string, std::string>& attributes) const;
    // Whether a Secret Service owns its name on the bus.
    bool keyringOnBus() const;

    static constexpr const char* kSkipMessage =
        "Pas de bus de session ni de trousseau de test (dbus-daemon, gnome-keyring-daemon) / no private "
        "keyring could be started";

private:
    std::filesystem::path directory_;
    std::optional<ChildProcess> bus_;
    std::optional<ChildProcess> keyring_;
    bool ready_ = false;
};

// Environment entries that leave a program without any session bus.
std::map<std::string, std::string> withoutSessionBus();

} // namespace orvaneh::test
