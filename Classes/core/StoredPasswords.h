#pragma once

#include "Platform/secrets/SecretStore.h"

#include <string>

namespace orvaneh {

// The profile's passwords kept in the desktop's keyring (SecretStore::shared()) instead of its
// files. Each is an item of the profile ("site/3", "dossier/host/login"), found in the keyring
// by the application, the profile's documents directory and the item, so two profiles never
// share one.
//
// The profile's own copy says where a password is: a password written in the profile is used
// as it is; an empty one is looked for in the keyring once the profile has put passwords there
// (the file kMarkerFile in its documents directory says so, written before the first one goes;
// a file rather than a preference, which another process running on the profile could write
// over). So a password goes to the keyring first, is read back, and only then is the profile's
// copy emptied: a crash in between leaves it in both places, never in neither. The preference
// kUseKeyringKey (on when absent) set to false keeps passwords in the profile and brings back
// those of the keyring at the next start. Safe from any thread.
class StoredPasswords {
public:
    static constexpr const char* kUseKeyringKey = "UtiliserTrousseau";
    static constexpr const char* kApplication = "orvaneh";
    static constexpr const char* kMarkerFile = ".mots-de-passe-au-trousseau";

    // Whether the profile has put passwords in the keyring: only then is an empty password of the
    // profile looked for there.
    static bool profileUsesKeyring();
    // Once every password is back in the profile.
    static void profileLeftKeyring();

    // What the preference says (on when absent).
    static bool keyringAllowed();
    // Whether passwords go to the keyring: the preference allows it and a keyring answers.
    static bool keyringWanted();
    // Whether passwords of the keyring come back to the profile: the preference says so and a
    // keyring answers.
    static bool keyringRefused();
    static SecretStore::Lookup read(const std::string& item);
    // Marks the profile, then puts the password in the keyring. True only when the keyring gave
    // it back unchanged: the caller may then empty its own copy.
    static bool keep(const std::string& item, const std::string& label, const std::string& password);
    // Removes the keyring's copy; true when the keyring answered that none is left.
    static bool forget(const std::string& item);

    // The French sentence for a password the keyring holds but this session cannot reach:
    // "Le mot de passe <what> est gardé dans le trousseau du bureau, ..." then `remedy`.
    static std::string outOfReachMessage(const std::string& what, const std::string& remedy);

    static SecretStore::Key keyFor(const std::string& item);
};

} // namespace orvaneh
