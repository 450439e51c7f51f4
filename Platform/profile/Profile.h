#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvaneh {

// The places of one user's data: the documents directory (database, recordings, pictures,
// job files) and the configuration directory (preferences, log).
//
// By default they follow XDG: $XDG_DATA_HOME/orvaneh/Documents (~/.local/share/...) and
// $XDG_CONFIG_HOME/orvaneh (~/.config/orvaneh). A home directory given by --home or by the
// environment variable ORVANEH_HOME holds one whole profile: HOME/Documents and HOME/config.
class Profile {
public:
    Profile(std::filesystem::path documentsDirectory, std::filesystem::path configurationDirectory);

    // The whole profile inside `home`.
    static Profile inHome(const std::filesystem::path& home);
    // --home if given, else ORVANEH_HOME if set and not empty, else the XDG locations.
    static Profile resolve(const std::optional<std::filesystem::path>& homeOption);

    // Creates both directories, owner-only (0700), with their parents. False with a French
    // explanation in `error` when that fails.
    bool createDirectories(std::string* error = nullptr) const;

    const std::filesystem::path& documentsDirectory() const { return documents_; }
    const std::filesystem::path& configurationDirectory() const { return configuration_; }
    std::filesystem::path preferencesFile() const { return configuration_ / "preferences.json"; }
    std::filesystem::path logFile() const { return configuration_ / "orvaneh.log"; }

    // The profile in use by this process. Set once at start-up (tests set their own).
    static const Profile& current();
    static void install(const Profile& profile);

private:
    std::filesystem::path documents_;
    std::filesystem::path configuration_;
};

} // namespace orvaneh
