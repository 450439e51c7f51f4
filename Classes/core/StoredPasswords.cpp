#include "Classes/core/StoredPasswords.h"

#include "Classes/core/UserDefaultManager.h"
#include "Platform/files/AtomicFile.h"
#include "Platform/log/Log.h"
#include "Platform/profile/Profile.h"

#include <filesystem>

namespace orvaneh {

namespace {

std::filesystem::path markerFile() {
    return Profile::current().documentsDirectory() / StoredPasswords::kMarkerFile;
}

} // namespace

bool StoredPasswords::profileUsesKeyring() {
    std::error_code error;
    return std::filesystem::exists(markerFile(), error);
}

void StoredPasswords::profileLeftKeyring() {
    std::error_code error;
    if (std::filesystem::remove(markerFile(), error)) {
        Log::write("Trousseau du bureau : tous les mots de passe sont revenus dans le profil.");
    }
}

bool StoredPasswords::keyringAllowed() {
    return !UserDefaultManager::getObjectForKey(kUseKeyringKey) ||
           UserDefaultManager::getBoolForKey(kUseKeyringKey);
}

bool StoredPasswords::keyringWanted() {
    return keyringAllowed() && SecretStore::shared().available();
}

bool StoredPasswords::keyringRefused() {
    return !keyringAllowed() && SecretStore::shared().available();
}

SecretStore::Key StoredPasswords::keyFor(const std::string& item) {
    std::error_code error;
    auto profile =
        std::filesystem::absolute(Profile::current().documentsDirectory(), error).lexically_normal();
    return {kApplication, profile.string(), item};
}

SecretStore::Lookup StoredPasswords::read(const std::string& item) {
    auto found = SecretStore::shared().lookup(keyFor(item));
    if (found.status == SecretStore::Status::Found) {
        Log::registerSecret(found.secret);
    }
    return found;
}

bool StoredPasswords::keep(const std::string& item, const std::string& label, const std::string& password) {
    Log::registerSecret(password);
    SecretStore& store = SecretStore::shared();
    if (!profileUsesKeyring()) {
        std::string error;
        const auto owner = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
        if (!AtomicFile::write(markerFile(),
                               "Des mots de passe de ce profil sont gardés dans le trousseau du bureau.\n",
                               owner, &error)) {
            Log::write("Trousseau du bureau : le profil n'a pas pu être marqué (" + error +
                       ") ; les mots de passe restent dans le profil.");
            return false;
        }
    }
    const auto key = keyFor(item);
    if (!store.store(key, label, password)) {
        return false;
    }
    const auto back = store.lookup(key);
    if (back.status != SecretStore::Status::Found || back.secret != password) {
        Log::write("Trousseau du bureau : « " + item +
                   " » n'a pas été relu tel quel ; gardé dans le profil.");
        return false;
    }
    return true;
}

bool StoredPasswords::forget(const std::string& item) {
    return SecretStore::shared().clear(keyFor(item));
}

std::string StoredPasswords::outOfReachMessage(const std::string& what, const std::string& remedy) {
    return "Le mot de passe " + what +
           " est gardé dans le trousseau du bureau, inaccessible dans cette session (pas de trousseau "
           "joignable, ou il ne l'a plus). " +
           remedy;
}

} // namespace orvaneh
