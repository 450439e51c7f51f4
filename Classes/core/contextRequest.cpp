#include "Classes/core/contextRequest.h"

#include "Classes/core/SqlStatement.h"
#include "Platform/log/Log.h"

#include <string_view>

namespace orvaneh {

void contextRequest::initializeContextAndInsert(const std::string& contextName, std::int64_t userRowId) {
    context = contextName;
    idUser = userRowId;
    auto query = prepare("INSERT INTO context(id_user,context) Values(?,?)");
    if (!query) {
        return;
    }
    SqlStatement& statement = query->statement();
    statement.bindInt(1, idUser);
    statement.bindText(2, std::string_view(context));
    if (statement.step() != SqlStatement::Step::Done) {
        Log::write("Problème lors de la requête : \"INSERT INTO\" !, " + query->connection().errorMessage());
        noteFailure();
    }
}

const std::vector<std::string>& contextRequest::selectContextUser(std::int64_t userRowId) {
    tabContext = selectTexts("select * from context where id_user = ?", userRowId, 1);
    return tabContext;
}

void contextRequest::deleteAllcontext() {
    deleteAllRows("context");
}

} // namespace orvaneh
