#include "Classes/core/contextRequest.h"

#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

void contextRequest::initializeContextAndInsert(const std::string& contextName, std::int64_t userRowId) {
    context = contextName;
    idUser = userRowId;
    auto connection = openDatabase();
    if (!connection) {
        return;
    }
    SqlStatement statement(*connection, "INSERT INTO context(id_user,context) Values(?,?)");
    if (!statement.prepared()) {
        Log::write("Erreur lors de la création du Statement !, " + connection->errorMessage());
        return;
    }
    statement.bindInt(1, idUser);
    statement.bindText(2, std::string_view(context));
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + connection->errorMessage());
    }
}

const std::vector<std::string>& contextRequest::selectContextUser(std::int64_t userRowId) {
    tabContext.clear();
    if (userRowId < 1) {
        return tabContext;
    }
    auto connection = openDatabase();
    if (!connection) {
        return tabContext;
    }
    SqlStatement statement(*connection, "select * from context where id_user = ?");
    if (!statement.prepared()) {
        Log::write("Erreur lors de la création du Statement !, " + connection->errorMessage());
        return tabContext;
    }
    statement.bindInt(1, userRowId);
    while (statement.step() == SqlStatement::Step::Row) {
        tabContext.push_back(statement.columnText(1));
    }
    return tabContext;
}

void contextRequest::deleteAllcontext() {
    auto connection = openDatabase();
    if (!connection) {
        return;
    }
    SqlStatement statement(*connection, "delete from context");
    if (statement.prepared() && statement.step() == SqlStatement::Step::Done) {
        Log::write("Les enregistrements de la table [context] ont été supprimés !");
    }
}

} // namespace orvaneh
