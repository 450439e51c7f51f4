#pragma once

#include "Classes/core/Request.h"
#include "Platform/json/Json.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvaneh {

// The users of the workflow directory (table user): authors ("Dictant") and typists
// ("Secretaire"). The public fields are the row being written; tabNameUser and tabIdUser
// hold the last list read, in the same order.
class userRequest : public Request {
public:
    static constexpr const char* kAuthorRole = "Dictant";
    static constexpr const char* kTypistRole = "Secretaire";

    std::string login_name;
    std::string role;
    std::string email;
    std::string displayName;
    std::string groupe; // used by the import only: the table's group column is not written
    std::string login_id;

    std::vector<std::string> tabNameUser;
    std::vector<std::int64_t> tabIdUser;
    int nbEnreg = 0; // authors read by selectAllAuteur
    // Why the last list could not be read whole (in French), nothing when it was.
    std::optional<std::string> unreadable;

    // The new row id; 0 when the login name exists already or on failure.
    std::int64_t insertUser();
    bool checkIfUserExistWithName(const std::string& login);
    void selectAllAuteur();
    void selectAllSecretaire();
    // The login id of the last row with that login name, "" when none.
    std::string selectLongIdForSecretaireId(const std::string& login);
    void deleteAlluser();

    // Catalogue import: maps with "Role", "LoginName", "DisplayName", "Email", "Groupe",
    // "LoginId" and "Context" (names separated by ";"). A typist's groups become typists
    // of their own.
    void saveDictionaryOfUser(const Json& entries);

private:
    void selectRole(const char* sql);
};

} // namespace orvaneh
