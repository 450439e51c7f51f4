#include "Classes/core/Request.h"

#include "Classes/core/SqlStatement.h"
#include "Classes/core/UserDefaultManager.h"
#include "Platform/log/Log.h"

namespace orvaneh {

Request::Request()
    : databaseName_(UserDefaultManager::getStringForKey("databaseName").value_or("")),
      databasePath_(UserDefaultManager::getStringForKey("databasePath").value_or("")) {}

std::unique_ptr<SqlConnection> Request::openDatabase() const {
    return SqlConnection::open(databasePath_);
}

bool Request::executeSqlStatement(const SqlConnection& connection, const std::string& sql) {
    SqlStatement statement(connection, sql);
    if (!statement.prepared()) {
        Log::write("Erreur lors de la création du Statement !, " + connection.errorMessage());
        return false;
    }
    if (statement.step() == SqlStatement::Step::Error) {
        Log::write("NOK " + connection.errorMessage() + " !");
        return false;
    }
    return true;
}

} // namespace orvaneh
