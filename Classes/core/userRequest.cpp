#include "Classes/core/userRequest.h"

#include "Classes/core/CatalogueValue.h"
#include "Classes/core/SqlConnection.h"
#include "Classes/core/SqlStatement.h"
#include "Classes/core/StringExtension.h"
#include "Classes/core/contextRequest.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

std::int64_t userRequest::insertUser() {
    if (checkIfUserExistWithName(login_name)) {
        return 0;
    }
    auto query = prepare("insert INTO user(login_name,role,email,displayName,login_id) values(?,?,?,?,?)");
    if (!query) {
        return 0;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, std::string_view(login_name));
    statement.bindText(2, std::string_view(role));
    statement.bindText(3, std::string_view(email));
    statement.bindText(4, std::string_view(displayName));
    statement.bindText(5, std::string_view(login_id));
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage());
        noteFailure();
        return 0;
    }
    return query->connection().lastInsertRowId();
}

bool userRequest::checkIfUserExistWithName(const std::string& login) {
    auto query = prepare("select * from user where login_name=?");
    if (!query) {
        return false;
    }
    query->statement().bindText(1, std::string_view(login));
    const auto step = query->statement().step();
    if (step == SqlStatement::Step::Error) {
        noteFailure();
    }
    return step == SqlStatement::Step::Row;
}

void userRequest::selectRole(const char* sql) {
    tabNameUser.clear();
    tabIdUser.clear();
    unreadable.reset();
    auto query = prepare(sql);
    if (!query) {
        unreadable = failure() ? failure()->text() : "erreur de la base de données";
        return;
    }
    SqlStatement& statement = query->statement();
    SqlStatement::Step step = SqlStatement::Step::Row;
    while ((step = statement.step()) == SqlStatement::Step::Row) {
        tabIdUser.push_back(statement.columnInt(0));
        tabNameUser.push_back(statement.columnText(1));
    }
    if (step == SqlStatement::Step::Error) {
        unreadable = query->connection().lastFailure().text();
    }
}

void userRequest::selectAllAuteur() {
    selectRole("select * from user where role = 'Dictant'");
    nbEnreg = static_cast<int>(tabNameUser.size());
}

void userRequest::selectAllSecretaire() {
    selectRole("select * from user where role = 'Secretaire'");
}

std::string userRequest::selectLongIdForSecretaireId(const std::string& login) {
    std::string longId;
    auto query = prepare("select login_id from user where login_name =?");
    if (!query) {
        return longId;
    }
    SqlStatement& statement = query->statement();
    statement.bindText(1, std::string_view(login));
    while (statement.step() == SqlStatement::Step::Row) {
        longId = statement.columnText(0);
    }
    return longId;
}

void userRequest::deleteAlluser() {
    if (auto error = deleteAllRows("user")) {
        Log::write("Les enregistrements de la table [user] n'ont pas été supprimés ! " + *error);
    }
}

void userRequest::saveDictionaryOfUser(const Json& entries) {
    if (!entries.is_array()) {
        return;
    }
    contextRequest contexts;
    contexts.joinTransaction(transaction());
    for (const auto& entry : entries) {
        role = CatalogueValue::text(entry, "Role");
        login_name = CatalogueValue::text(entry, "LoginName");
        displayName = CatalogueValue::text(entry, "DisplayName");
        email = CatalogueValue::text(entry, "Email");
        groupe = CatalogueValue::text(entry, "Groupe");
        login_id = CatalogueValue::text(entry, "LoginId");
        const std::int64_t userId = insertUser();

        if (role == kTypistRole && !groupe.empty()) {
            // A group becomes a typist that can be chosen like a person.
            const std::string groups = groupe;
            for (const auto& part : CatalogueValue::split(groups, ';')) {
                if (StringExtension::stringWithoutSpace(part).empty()) {
                    continue;
                }
                login_name = part;
                displayName = part;
                groupe = part;
                email.clear();
                login_id.clear();
                insertUser();
            }
        }

        for (const auto& part : CatalogueValue::split(CatalogueValue::text(entry, "Context"), ';')) {
            if (!StringExtension::stringWithoutSpace(part).empty()) {
                contexts.initializeContextAndInsert(part, userId);
            }
        }
    }
}

} // namespace orvaneh
