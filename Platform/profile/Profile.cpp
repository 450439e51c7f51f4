#include "Platform/profile/Profile.h"

#include "Platform/files/SystemErrorText.h"
#include "Platform/services/ProcessWide.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvaneh {

namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

std::filesystem::path userHome() {
    if (auto home = environment("HOME")) {
        return *home;
    }
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return found->pw_dir;
    }
    std::error_code error;
    return std::filesystem::current_path(error);
}

// An XDG base directory: the variable when it holds an absolute path (relative ones are to be
// ignored), else the fallback under the user's home.
std::filesystem::path xdgDirectory(const char* variable, const std::filesystem::path& fallbackInHome) {
    if (auto value = environment(variable)) {
        std::filesystem::path path(*value);
        if (path.is_absolute()) {
            return path;
        }
    }
    return userHome() / fallbackInHome;
}

// A relative --home would move with the working directory; the profile must not.
std::filesystem::path absolutePath(const std::filesystem::path& path) {
    std::error_code error;
    auto result = std::filesystem::absolute(path, error);
    return error ? path : result;
}

// Creates `directory` and its missing parents, each owner-only; then makes the directory
// itself owner-only even when it already existed.
bool createPrivateDirectory(const std::filesystem::path& directory, std::string* error) {
    std::filesystem::path prefix;
    for (const auto& part : directory) {
        prefix /= part;
        if (::mkdir(prefix.c_str(), 0700) == 0) {
            // Whatever the umask, so that the next level can be created inside.
            ::chmod(prefix.c_str(), 0700);
        } else if (errno != EEXIST) {
            if (error != nullptr) {
                *error = "Impossible de créer le répertoire « " + prefix.string() +
                         " » : " + systemErrorText(errno);
            }
            return false;
        }
    }
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        if (error != nullptr) {
            *error = "« " + directory.string() + " » existe mais n'est pas un répertoire";
        }
        return false;
    }
    if ((status.st_mode & 07777) != 0700 && ::chmod(directory.c_str(), 0700) != 0) {
        if (error != nullptr) {
            *error = "Impossible de protéger le répertoire « " + directory.string() +
                     " » : " + systemErrorText(errno);
        }
        return false;
    }
    return true;
}

ProcessWide<const Profile>& registry() {
    static auto* instance = new ProcessWide<const Profile>([]() -> std::shared_ptr<const Profile> {
        return std::make_shared<const Profile>(Profile::resolve(std::nullopt));
    });
    return *instance;
}

} // namespace

Profile::Profile(std::filesystem::path documentsDirectory, std::filesystem::path configurationDirectory)
    : documents_(std::move(documentsDirectory)), configuration_(std::move(configurationDirectory)) {}

Profile Profile::inHome(const std::filesystem::path& home) {
    return Profile(home / "Documents", home / "config");
}

Profile Profile::resolve(const std::optional<std::filesystem::path>& homeOption) {
    if (homeOption.has_value() && !homeOption->empty()) {
        return inHome(absolutePath(*homeOption));
    }
    if (auto home = environment("ORVANEH_HOME")) {
        return inHome(absolutePath(*home));
    }
    return Profile(xdgDirectory("XDG_DATA_HOME", ".local/share") / "orvaneh" / "Documents",
                   xdgDirectory("XDG_CONFIG_HOME", ".config") / "orvaneh");
}

bool Profile::createDirectories(std::string* error) const {
    return createPrivateDirectory(documents_, error) && createPrivateDirectory(configuration_, error);
}

const Profile& Profile::current() {
    return registry().get();
}

void Profile::install(const Profile& profile) {
    registry().install(std::make_shared<const Profile>(profile));
}

} // namespace orvaneh
